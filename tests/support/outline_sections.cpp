// Outline sections for the tests and benchmarks.
#include "support/outline_sections.h"

#include <cmath>
#include <sstream>

namespace qv::test {

OutlineLoop RolledILoop() {
  const double q = std::sqrt(2.0) - 1;  // the bulge of a quarter arc
  const double x = 75;
  const double y = 150;
  const double w = 3.55;
  const double f = y - 10.7;
  const double r = 15;
  return {{{-x, -y, 0},
           {x, -y, 0},
           {x, -f, 0},
           {w + r, -f, -q},
           {w, -f + r, 0},
           {w, f - r, -q},
           {w + r, f, 0},
           {x, f, 0},
           {x, y, 0},
           {-x, y, 0},
           {-x, f, 0},
           {-w - r, f, -q},
           {-w, f - r, 0},
           {-w, -f + r, -q},
           {-w - r, -f, 0},
           {-x, -f, 0}}};
}

OutlineDrawing SlabOverI(std::uint32_t steel, std::uint32_t slab) {
  const double f = 150 - 10.7;
  OutlineLoop box{{{-200, f, 0}, {200, f, 0}, {200, 250, 0}, {-200, 250, 0}}};
  return {{{steel, {RolledILoop()}}, {slab, {box}}}};
}

std::string DxfOf(const OutlineDrawing& drawing) {
  std::ostringstream s;
  s.precision(17);
  s << "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
  for (const OutlineShape& shape : drawing.shapes) {
    // True colour is 0xRRGGBB; the pixel value is 0x00BBGGRR.
    const std::uint32_t rgb = ((shape.colour & 0xFFU) << 16U) | (shape.colour & 0xFF00U) |
                              ((shape.colour >> 16U) & 0xFFU);
    for (const OutlineLoop& loop : shape.loops) {
      s << "0\nLWPOLYLINE\n8\n0\n420\n" << rgb << "\n90\n" << loop.vertices.size() << "\n70\n1\n";
      for (const OutlineVertex& v : loop.vertices) {
        s << "10\n" << v.x << "\n20\n" << v.y << "\n";
        if (v.bulge != 0) s << "42\n" << v.bulge << "\n";
      }
    }
  }
  s << "0\nENDSEC\n0\nEOF\n";
  return s.str();
}

}  // namespace qv::test
