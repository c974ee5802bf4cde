// Section pictures drawn from shapes in mm, and the rectangle's exact torsion constant.
#include "support/section_pictures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/grid_builder.h"

namespace qv::test {
namespace {
constexpr std::uint32_t kNone = 0x00FFFFFF;
}

DrawnSection DrawSection(double widthMm, double heightMm, double pixelMm, const ShapeFn& shape,
                         int margin) {
  const int w = static_cast<int>(std::ceil(widthMm / pixelMm - 1e-9));
  const int h = static_cast<int>(std::ceil(heightMm / pixelMm - 1e-9));
  DrawnSection s;
  s.grid = PixelGrid(w + 2 * margin, h + 2 * margin, kNone);
  // Half-integer offsets from the middle are exact, so mirrored pixels see mirrored points.
  for (int y = 0; y < h; ++y) {
    std::uint32_t* row = s.grid.Row(y + margin) + margin;
    const double v = (y + 0.5 - h / 2.0) * pixelMm;
    for (int x = 0; x < w; ++x) row[x] = shape((x + 0.5 - w / 2.0) * pixelMm, v);
  }
  s.bounds = {margin, margin, margin + w - 1, margin + h - 1};
  s.widthMm = w * pixelMm;
  s.heightMm = h * pixelMm;
  return s;
}

DrawnSection DrawSmoothedSection(double widthMm, double heightMm, double pixelMm,
                                 const ShapeFn& shape, int margin, int samples) {
  const int w = static_cast<int>(std::ceil(widthMm / pixelMm - 1e-9));
  const int h = static_cast<int>(std::ceil(heightMm / pixelMm - 1e-9));
  DrawnSection s;
  s.grid = PixelGrid(w + 2 * margin, h + 2 * margin, kNone);
  const double step = 1.0 / samples;
  const double count = static_cast<double>(samples) * samples;
  for (int y = 0; y < h; ++y) {
    std::uint32_t* row = s.grid.Row(y + margin) + margin;
    for (int x = 0; x < w; ++x) {
      double sum[3] = {0, 0, 0};
      for (int j = 0; j < samples; ++j) {
        const double v = (y + (j + 0.5) * step - h / 2.0) * pixelMm;
        for (int i = 0; i < samples; ++i) {
          const std::uint32_t c = shape((x + (i + 0.5) * step - w / 2.0) * pixelMm, v);
          for (int k = 0; k < 3; ++k) sum[k] += (c >> (8 * k)) & 0xFF;
        }
      }
      std::uint32_t mean = 0;
      for (int k = 0; k < 3; ++k) {
        mean |= static_cast<std::uint32_t>(std::lround(sum[k] / count)) << (8 * k);
      }
      row[x] = mean;
    }
  }
  s.bounds = {margin, margin, margin + w - 1, margin + h - 1};
  s.widthMm = w * pixelMm;
  s.heightMm = h * pixelMm;
  return s;
}

ShapeFn Shifted(const ShapeFn& shape, double du, double dv) {
  return [=](double u, double v) { return shape(u - du, v - dv); };
}

ShapeFn Turned(const ShapeFn& shape, double degrees) {
  const double a = degrees * std::numbers::pi / 180;
  const double c = std::cos(a);
  const double s = std::sin(a);
  // The point that lands on (u, v) after the turn.
  return [=](double u, double v) { return shape(c * u + s * v, -s * u + c * v); };
}

ShapeFn Box(double width, double height, std::uint32_t colour) {
  return [=](double u, double v) {
    return std::abs(u) <= width / 2 && std::abs(v) <= height / 2 ? colour : kNone;
  };
}

ShapeFn Rectangle(std::uint32_t colour) {
  return [colour](double, double) { return colour; };
}

ShapeFn Ring(double outer, double inner, std::uint32_t colour, std::uint32_t core) {
  return [=](double u, double v) {
    const double r = std::hypot(u, v);
    if (r > outer) return kNone;
    return r < inner ? core : colour;
  };
}

ShapeFn Ellipse(double a, double b, std::uint32_t colour) {
  return [=](double u, double v) {
    return (u / a) * (u / a) + (v / b) * (v / b) > 1 ? kNone : colour;
  };
}

ShapeFn ISection(double h, double b, double tw, double tf, double r, std::uint32_t colour) {
  // A web of a whole number of pixels whose faces fall on pixel centres (7.1 mm at 0.1 mm per
  // pixel) needs a rule for the tie: [left face, right face) takes exactly the nominal width.
  const double tie = 1e-9 * std::max(h, b);
  return [=](double u, double v) {
    const double y = h / 2 - std::abs(v);  // distance from the nearer outer face
    if (std::abs(u) > b / 2 || y < 0) return kNone;
    if (y <= tf) return colour;  // flange
    const double left = -tw / 2 - tie;
    const double right = tw / 2 - tie;
    if (u >= left && u < right) return colour;  // web
    if (y <= tf + r) {
      // Root fillets: the corner squares outside the circles of radius r.
      if (u < left && u >= left - r && std::hypot(u - (left - r), y - (tf + r)) >= r) return colour;
      if (u >= right && u < right + r && std::hypot(u - (right + r), y - (tf + r)) >= r)
        return colour;
    }
    return kNone;
  };
}

ShapeFn Channel(double h, double b, double t, bool mirrored, std::uint32_t colour) {
  return [=](double u, double v) {
    const double x = (mirrored ? -u : u) + b / 2;  // from the web's outer face
    const double y = h / 2 - std::abs(v);          // from the nearer flange's outer face
    if (x < 0 || x > b || y < 0) return kNone;
    if (x <= t || y <= t) return colour;
    return kNone;
  };
}

DrawnSection ReinforcedBeam(bool barsAtTheTopToo) {
  // The top bars, when there are none, are drawn in the concrete's colour.
  const std::uint32_t top = barsAtTheTopToo ? kRed : kBlue;
  return {MakeGrid(304, 504, kWhite,
                   {{2, 2, 301, 501, kBlue},
                    {42, 442, 61, 461, kRed},
                    {142, 442, 161, 461, kRed},
                    {242, 442, 261, 461, kRed},
                    {42, 42, 61, 61, top},
                    {142, 42, 161, 61, top},
                    {242, 42, 261, 61, top}}),
          {2, 2, 301, 501},
          300,
          500};
}

DrawnSection SlabOnWeldedI() {
  return {MakeGrid(1004, 454, kWhite,
                   {{2, 2, 1001, 151, kBlue},
                    {427, 152, 576, 161, kRed},
                    {499, 162, 504, 441, kRed},
                    {427, 442, 576, 451, kRed}}),
          {2, 2, 1001, 451},
          1000,
          450};
}

double RectangleTorsionConstant(double a, double b) {
  if (a < b) std::swap(a, b);
  constexpr double kPi = std::numbers::pi;
  double sum = 0;
  for (int n = 1; n < 2001; n += 2) sum += std::tanh(n * kPi * a / (2 * b)) / std::pow(n, 5);
  return a * b * b * b * (1.0 / 3 - 64 / std::pow(kPi, 5) * (b / a) * sum);
}

}  // namespace qv::test
