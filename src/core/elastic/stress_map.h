// The stress field drawn as a map: its colour scales, the map at the size of the window's view
// (from the field alone, never from the picture) and the map picture with its colour bar, the
// extremes and the actions written on it, for saving.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/base/units.h"
#include "core/elastic/stress_field.h"
#include "core/picture/pixel_grid.h"
#include "core/section/overlay.h"

namespace qv {

/// Colours (0x00BBGGRR) along the two scales, t from 0 to 1 (clamped): viridis, perceptually
/// uniform from dark blue to yellow, for the magnitudes; and the smooth cool-to-warm diverging
/// scale, blue through light grey (t = 1/2) to red, for the signed sigma.
std::uint32_t ViridisColour(double t);
std::uint32_t CoolWarmColour(double t);

/// What a map shows and the values at the ends of its colour bar.
struct StressScale {
  StressKind kind = StressKind::VonMises;
  double low = 0;   ///< N/mm^2, at the bar's bottom
  double high = 0;  ///< at its top
  bool diverging = false;
  /// The colour of `value`; values beyond the ends take the end colours.
  std::uint32_t Colour(double value) const;
};

/// The scale of `kind` over `field`: from 0 to the largest tau or von Mises value, viridis; for
/// sigma symmetric about 0 (-m .. m with m the largest |sigma|), diverging, so 0 is always the
/// scale's middle. A field without stress gets 0 .. 1.
StressScale ScaleOf(const StressField& field, StressKind kind);

/// The picture pixel shown at view pixel `viewPos` of a view `viewSize` pixels long over
/// `pictureSize` pixels: the one under the view pixel's centre.
int PictureOfViewPixel(int viewPos, int viewSize, int pictureSize);

/// Where the window's view shows the map and where its colour bar goes. The bar never covers
/// the section: it goes beside the section's box on the side with more room, and where neither
/// side has room for it the map is shown smaller, in the same proportions, beside the bar.
struct StressViewLayout {
  int mapLeft = 0;  ///< the view pixels showing the picture: mapWidth x mapHeight from here
  int mapTop = 0;
  int mapWidth = 0;
  int mapHeight = 0;
  int barLeft = 0;  ///< the colour bar's left edge; its values and unit lie right of and above it
  int barTop = 0;
  int barWidth = 0;
  int barHeight = 0;
  int legendWidth = 0;  ///< the bar with its values, from barLeft
  int margin = 0;       ///< white round the legend
  /// The picture pixel view pixel (x, y) shows (as PictureOfViewPixel within the map), or
  /// nothing off the map.
  std::optional<PixelPoint> PictureAt(int x, int y, int pictureWidth, int pictureHeight) const;
};

/// The layout of a view `viewWidth` x `viewHeight` over a picture `pictureWidth` x
/// `pictureHeight` whose section lies in `bounds`, with labels at `dpi`.
StressViewLayout LayOutStressView(const SectionBounds& bounds, int pictureWidth, int pictureHeight,
                                  int viewWidth, int viewHeight, int dpi);

/// A drawing: the pixels, and the labels and marks a painter adds over them.
struct StressDrawing {
  PixelGrid picture;
  OverlayOps ops;
};

/// The field's colours for the window's view: `viewWidth` x `viewHeight` pixels over a picture
/// of `pictureWidth` x `pictureHeight` laid out by LayOutStressView, each map pixel the colour of
/// the picture pixel under its centre, white off the section; with the colour bar beside the
/// section, its end and middle values in `font` at `dpi`, in the stress unit of `units`. Only the
/// view's pixels are made: nothing of the size of the picture is read or allocated.
StressDrawing DrawStressView(const StressField& field, const StressScale& scale, int pictureWidth,
                             int pictureHeight, int viewWidth, int viewHeight,
                             const GraphicsFont& font, int dpi, UnitSystem units = UnitSystem::NMm);

/// What the saved map says besides its colours.
struct StressMapText {
  std::string pictureName;             ///< the picture's file name
  std::vector<std::string> actions;    ///< "N = 1000 N", ... (ActionTexts)
  UnitSystem units = UnitSystem::NMm;  ///< of the stresses and the extremes' positions
};

/// The map picture for saving: the picture's size with the section in the scale's colours and
/// the rest white, and a panel on the right with the picture's name, the field and its unit, the
/// actions and the colour bar with its values; the extremes are marked with circles and their
/// values written beside them. Labels are sized for a picture shown `boxHeight` pixels high on a
/// screen of `screenDpi` (as the overlay's), in `font`'s family and style.
StressDrawing DrawStressPicture(const StressField& field, const StressScale& scale,
                                int pictureWidth, int pictureHeight, const StressMapText& text,
                                const GraphicsFont& font, int boxHeight = 401, int screenDpi = 96);

/// A value of the scale or a label as the map writes it: four significant digits.
std::string StressValueText(double value);

}  // namespace qv
