// Cross-sections drawn as pictures for the elastic solver's tests, benchmarks and studies.
#pragma once

#include <cstdint>
#include <functional>

#include "core/picture/pixel_grid.h"
#include "core/section/section_result.h"

namespace qv::test {

/// A drawn section: the picture, its section box and the box's size in mm.
struct DrawnSection {
  PixelGrid grid;
  SectionBounds bounds;
  double widthMm = 0;
  double heightMm = 0;
};

/// Colour of the point (u, v) in mm from the shape's centre (u to the right, v downwards), white
/// outside the shape. Pixel centres mirror exactly in these coordinates, so a symmetric shape
/// gives a mirror-symmetric picture.
using ShapeFn = std::function<std::uint32_t(double u, double v)>;

/// Draws a widthMm x heightMm shape at `pixelMm` per pixel (rounded up to whole pixels, the shape
/// centred in them) with a `margin` of white pixels round it: a pixel takes the colour of its
/// centre. The box is the picture less the margin, so its size in mm is the pixel count times
/// pixelMm.
DrawnSection DrawSection(double widthMm, double heightMm, double pixelMm, const ShapeFn& shape,
                         int margin = 3);

/// DrawSection as a paint program draws with smoothing (anti-aliasing): a pixel takes the mean
/// colour of samples x samples points spread evenly over it, channel by channel, rounded to 8
/// bits. Its edge pixels blend the colours on either side by the share of the pixel each
/// covers (to within the sampling).
DrawnSection DrawSmoothedSection(double widthMm, double heightMm, double pixelMm,
                                 const ShapeFn& shape, int margin = 3, int samples = 16);

/// `shape` moved by (du, dv) mm.
ShapeFn Shifted(const ShapeFn& shape, double du, double dv);
/// `shape` turned by `degrees` about its centre, from u towards v (clockwise on the picture).
ShapeFn Turned(const ShapeFn& shape, double degrees);

/// A solid rectangle filling the box.
ShapeFn Rectangle(std::uint32_t colour);
/// A width x height rectangle centred on the shape's centre.
ShapeFn Box(double width, double height, std::uint32_t colour);
/// A disc of `outer` radius; with inner > 0 a ring, the hole white unless `core` names a colour.
ShapeFn Ring(double outer, double inner, std::uint32_t colour, std::uint32_t core = 0x00FFFFFF);

/// An ellipse of semi-axes a (along u) and b (along v).
ShapeFn Ellipse(double a, double b, std::uint32_t colour);
/// Rolled I-section with root fillets (h, b, tw, tf, r in mm).
ShapeFn ISection(double h, double b, double tw, double tf, double r, std::uint32_t colour);
/// Channel of height h, flange width b, flange and web thickness t: web on the left, flanges
/// open to the right; `mirrored` puts the web on the right.
ShapeFn Channel(double h, double b, double t, bool mirrored, std::uint32_t colour);

/// A composite at 1 mm per pixel: a concrete slab 1000 x 150 mm (clBlue) on a welded steel I
/// (clRed) centred below it, 150 wide and 300 deep, flanges 10 mm and web 6 mm; 2 white pixels
/// about the 1000 x 450 mm box.
DrawnSection SlabOnWeldedI();

/// Concrete 300 x 500 (clBlue) with three 20 x 20 bars (clRed) from depth 440 to 460 mm, 1 mm
/// pixels, 2 white pixels about the box; `barsAtTheTopToo` adds three more from depth 40 to 60.
DrawnSection ReinforcedBeam(bool barsAtTheTopToo);

/// Exact St Venant J of an a x b rectangle (series, converged to rounding), mm^4.
double RectangleTorsionConstant(double a, double b);

}  // namespace qv::test
