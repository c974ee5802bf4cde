// The drawings over the picture (section frame, result overlay) as exact integer operations.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/base/colour_label.h"
#include "core/section/section_result.h"
#include "core/settings/program_settings.h"

namespace qv {

/// The graphics font of every label: family, size in points and FontStyleFlag bits, as built by
/// the window from the three font settings (after its fallback to an installed font).
struct GraphicsFont {
  std::string Family = "Arial";
  int PointSize = 14;
  unsigned Style = 0;  ///< kFontBold | kFontItalic

  friend bool operator==(const GraphicsFont&, const GraphicsFont&) = default;
};

/// Everything a drawing reads, taken at the moment of drawing.
struct OverlayInput {
  int Width = 0;   ///< picture width W, pixels
  int Height = 0;  ///< picture height H, pixels; decides the pen width and the label resolution
  SectionBounds Bounds;
  PixelPoint NC;     ///< normal force centre, pixels
  PixelPoint MC;     ///< mass centre, pixels
  double Alpha = 0;  ///< principal angle, radian, from the y-axis (left) towards z (down)
  ColourValue AxesColour = 0x00FF0000;
  ColourValue MassCentreColour = 0x00FFFFFF;
  ColourValue PrincipalAxesColour = 0x00FF0000;
  double AngleTolerance = 1.0;  ///< degrees
  /// Other values than the two conventions draw no axis labels.
  qv::SignConvention SignConvention = qv::SignConvention::DorvastPelkam;
  GraphicsFont Font;
  int BoxHeight = 401;  ///< height of the picture view on screen, pixels
  int ScreenDpi = 96;   ///< the screen's vertical resolution, dots per inch
};

/// Collects the inputs from the window's state; the caller adds the font and the screen values
/// when they differ from the defaults.
OverlayInput MakeOverlayInput(int width, int height, const SectionBounds& bounds,
                              const SectionResult& result, const ProgramSettings& settings);

/// An open line through the points in order (two points for a plain line).
struct PolylineOp {
  std::vector<PixelPoint> Points;
  ColourValue Colour = 0;
  int PenWidth = 2;  ///< pixels
  friend bool operator==(const PolylineOp&, const PolylineOp&) = default;
};

/// The unfilled outline of the ellipse inscribed in the rectangle TopLeft..BottomRight.
struct EllipseOp {
  PixelPoint TopLeft;
  PixelPoint BottomRight;
  ColourValue Colour = 0;
  int PenWidth = 2;  ///< pixels
  friend bool operator==(const EllipseOp&, const EllipseOp&) = default;
};

/// A text on a transparent background whose first character cell has its top-left corner at
/// Position. The font's point size is turned into pixels at FontDpi dots per inch.
struct LabelOp {
  PixelPoint Position;
  std::string Text;
  ColourValue Colour = 0;
  GraphicsFont Font;
  int FontDpi = 96;
  friend bool operator==(const LabelOp&, const LabelOp&) = default;
};

/// One drawing step; a drawing is the list of its steps in painting order.
using DrawOp = std::variant<PolylineOp, EllipseOp, LabelOp>;
using OverlayOps = std::vector<DrawOp>;

/// Cross and circle mark the corner UL and the centres; the diamond marks the shear centre.
enum class MarkerKind { Cross, Circle, Diamond };

/// Colour of the shear centre's marker: fuchsia, a colour of its own beside the settings'
/// colours of the axes and the mass centre.
inline constexpr ColourValue kShearCentreColour = 0x00FF00FF;

/// Rounds to the nearest integer, halves to the even neighbour (12.5 -> 12, 13.5 -> 14).
/// Values beyond the 32-bit range saturate and NaN gives 0, so a degenerate angle can never make
/// a position undefined; such far points are off the picture anyway.
int RoundEven(double v);

/// The picture pixel under position `viewPos` of a view `viewSize` pixels long that shows
/// `pictureSize` pixels stretched: pictureSize * viewPos / viewSize rounded, halves to even (the
/// mouse readout of the window's picture).
long long PictureOfView(double viewPos, double viewSize, double pictureSize);

/// Pen width of every line, arrow and marker for a picture `height` pixels high: 2, 3 from 600
/// rows, 4 from 1000 rows.
int PenWidthFor(int height);

/// Resolution at which label fonts are sized: the screen's own, or screenDpi * height / boxHeight
/// rounded when the picture is taller than its box, so labels keep their size on screen. A box
/// height of 0 or less (a collapsed view) keeps the screen's resolution.
int LabelDpiFor(int height, int boxHeight, int screenDpi);

/// How the principal axes relate to the y/z-axes, after the angle tolerance (degrees).
enum class PrincipalAxesCase {
  None,     ///< Alpha within the tolerance of 0 (or not a number): the y/z-axes are principal
  Swapped,  ///< Alpha within the tolerance of a quarter turn: the y/z-axes with names swapped
  Turned,   ///< any other angle: axes of their own
};
PrincipalAxesCase PrincipalAxesOf(double alpha, double angleTolerance);

/// Names of the first principal axis (the direction of Alpha, EI1) and the second, as the sign
/// convention calls them: "(1)" and "(2)" for Dorvast/Pelkam, the other way round for the
/// EURO-code; nothing for any other value.
std::optional<std::pair<std::string_view, std::string_view>> PrincipalAxisNames(
    SignConvention convention);

/// Builds the operations of one drawing. The functions only describe; whoever paints the result
/// into the picture must clear the window's PictureFresh flag, because the picture in memory no
/// longer equals its file from then on (DrawSectionFrame included, even when it adds nothing).
class OverlayDrawing {
 public:
  explicit OverlayDrawing(const OverlayInput& input);

  /// A line from p to q; nothing when any coordinate is negative.
  void DrawLine(PixelPoint p, PixelPoint q, ColourValue colour);
  /// An arrow from p with its unfilled head at q, as the one polyline p, S, B, q, A, S (S the end
  /// of the shaft, A and B the corners of the head); nothing when any coordinate is negative.
  void DrawArrow(PixelPoint p, PixelPoint q, ColourValue colour);
  /// A cross of two 10-pixel lines, the circle in the 10 x 10 square around p, or a closed
  /// diamond with corners 8 pixels from p (around the circle, should both meet); drawn also at
  /// negative coordinates (the painter cuts it off).
  void DrawMarker(PixelPoint p, ColourValue colour, MarkerKind kind);
  /// A label at p in the graphics font, enlarged for pictures taller than their box; drawn
  /// wherever it falls.
  void DrawLabel(PixelPoint p, std::string_view text, ColourValue colour);

  /// The rectangle around the section bounds in the axes colour; nothing while they are unset.
  void DrawSectionFrame();
  /// Centres, axes, upper-left corner and principal axes of an analysis.
  void DrawResultOverlay();
  /// The two principal axes: none within the angle tolerance of the y/z-axes, the y/z-axes
  /// swapped near a quarter turn, else two arrows ending on the margin rectangle around the
  /// section.
  void DrawPrincipalAxes();

  const OverlayOps& Ops() const { return mOps; }
  OverlayOps TakeOps() { return std::move(mOps); }

 private:
  void AddLine(std::vector<PixelPoint> points, ColourValue colour);

  OverlayInput mInput;
  int mPenWidth;
  int mLabelDpi;
  OverlayOps mOps;
};

/// The operations of the section frame alone.
OverlayOps DrawSectionFrame(const OverlayInput& input);
/// The operations of the whole result overlay.
OverlayOps DrawResultOverlay(const OverlayInput& input);

/// The pixel whose centre is nearest to the point horMm, verMm from the section box's upper-left
/// corner (the left edge of its first column, the top edge of its first row), at dx and dy mm per
/// pixel; halves go to the even pixel, as NC's do. Nothing for a scale that is not above 0 or a
/// point that is not finite.
std::optional<PixelPoint> PixelOfPoint(const SectionBounds& bounds, double horMm, double verMm,
                                       double dx, double dy);

/// The shear centre's marker, painted after the result overlay: the diamond in
/// kShearCentreColour at PixelOfPoint and the label " SC " beside it, below and to the right,
/// moved down below the label " MC " where it would cover it (a section symmetric about both
/// axes has both centres in one place). Nothing when the point has no pixel.
OverlayOps DrawShearCentre(const OverlayInput& input, double horMm, double verMm, double dx,
                           double dy);

/// Height of one label line in picture pixels, taken generously (the graphics font's size at the
/// label resolution, with a line spacing of 1.4), so labels kept this far apart do not touch
/// whichever font draws them.
int LabelLineHeight(const OverlayInput& input);

/// What to tell the user when the shear centre's pixel lies off a picture of `width` x `height`
/// pixels (a channel's lies beyond its web), so its marker cannot be seen: "The shear centre SC
/// lies outside the picture, at hor = -35.20 mm, ver = 100.00 mm from upper left corner UL." with
/// the position as the report writes it. Nothing when it lies on the picture or has no pixel.
std::optional<std::string> ShearCentreOffPictureNote(int width, int height,
                                                     const SectionBounds& bounds, double horMm,
                                                     double verMm, double dx, double dy);

/// The picture point horMm, verMm from the section box's upper-left corner (as PixelOfPoint
/// measures them) at dx and dy mm per pixel, not rounded: PixelOfPoint gives the pixel whose
/// centre is nearest to it. Nothing for a scale that is not above 0 or a point that is not finite.
std::optional<PicturePoint> PictureOfPoint(const SectionBounds& bounds, double horMm, double verMm,
                                           double dx, double dy);
/// The reverse: the mm from the box's upper-left corner of the picture point `at`, negative left
/// of and above the corner. Nothing for a scale that is not above 0 or a point that is not finite.
std::optional<SectionPoint> PointOfPicture(const SectionBounds& bounds, PicturePoint at, double dx,
                                           double dy);

/// One axis through NC: its positive direction in picture coordinates (x to the right, y
/// downwards) of unit length, and its name ("" where the sign convention gives none).
struct SectionAxis {
  PicturePoint Direction;
  std::string Name;
  friend bool operator==(const SectionAxis&, const SectionAxis&) = default;
};

/// The result overlay's marks in picture coordinates, for a view that draws them at its own
/// scale: the same points, axes and names as DrawResultOverlay and DrawShearCentre.
struct SectionMarks {
  /// The rounded NC pixel's coordinates, where the overlay draws it: measured with
  /// PointOfPicture they give the centre texts (|NC.x - xmin| * Dx, ...) exactly, and the
  /// stiffnesses are taken about this point.
  PicturePoint NC;
  std::optional<PicturePoint> MC;  ///< likewise; nothing when the section has no mass
  SectionAxis Y;                   ///< to the left of NC
  SectionAxis Z;                   ///< downwards
  /// The first (along Alpha, EI1) and the second principal axis; none in PrincipalAxesCase::None.
  std::vector<SectionAxis> Principal;
  std::optional<PicturePoint> SC;  ///< the shear centre, once computed (PictureOfPoint)
};

/// The marks of the analysis `result` of the section in `bounds`, named after the settings' sign
/// convention and angle tolerance, with the shear centre (mm from the box's upper-left corner)
/// once it is computed.
SectionMarks MakeSectionMarks(const SectionBounds& bounds, const SectionResult& result,
                              const ProgramSettings& settings,
                              const std::optional<SectionPoint>& shearCentre);

}  // namespace qv
