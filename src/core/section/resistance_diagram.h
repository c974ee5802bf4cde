// The resistance as pictures: the N-M interaction about each axis and the moment-curvature, as
// drawing operations that the window and the batch tool paint alike.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/base/section_actions.h"
#include "core/section/overlay.h"
#include "core/section/resistance.h"

namespace qv {

/// The size of the diagrams' picture, pixels.
inline constexpr int kResistancePlotWidth = 1200;
inline constexpr int kResistancePlotHeight = 900;

/// The interaction points a diagram is drawn with when no number is asked for.
inline constexpr int kPlotInteractionPoints = 60;

/// The colours of the curves: the interaction, and the moment-curvature about the horizontal
/// axis (first) and the vertical one (second).
inline constexpr ColourValue kDiagramFirstCurveColour = 0x00C05000;   // blue
inline constexpr ColourValue kDiagramSecondCurveColour = 0x000070E0;  // orange

/// The colours of an action's point within the interaction curve and beyond it.
inline constexpr ColourValue kDiagramInsideColour = 0x00008000;
inline constexpr ColourValue kDiagramOutsideColour = 0x000000FF;

/// What the diagrams show besides the resistance.
struct ResistanceDiagramInput {
  int Width = kResistancePlotWidth;
  int Height = kResistancePlotHeight;
  /// The labels' family and style; their size follows the picture's height (12 points at 96
  /// dots per inch for 900 rows), so that the texts keep their room whatever the window's
  /// graphics font size.
  GraphicsFont Font;
  /// The actions whose points are marked (their N with Mz about the horizontal axis, with My
  /// about the vertical one), or none.
  std::optional<SectionActions> Actions;
  /// What the sign convention calls the formal My and Mz, for the actions' labels.
  std::string MyName = "My";
  std::string MzName = "Mz";
};

/// One panel's plotting area and the values at its edges. Interaction: x is M in kNm (positive
/// with the first side compressed: top, resp. left), y is N in kN (compression negative).
/// Moment-curvature: x is the curvature in 1/km, y is M in kNm.
struct DiagramFrame {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  double XMin = 0;
  double XMax = 1;
  double YMin = 0;
  double YMax = 1;

  /// The pixel of the value (x, y), rounded; x grows to the right, y upwards.
  PixelPoint ToPixel(double x, double y) const;
};

/// The panels: the interaction about the horizontal and about the vertical axis, side by side,
/// and below them the moment-curvature when either list has points.
struct ResistanceDiagramLayout {
  DiagramFrame Horizontal;
  DiagramFrame Vertical;
  std::optional<DiagramFrame> Curvature;
};
ResistanceDiagramLayout LayoutResistanceDiagrams(const ResistanceSection& r,
                                                 const ResistanceDiagramInput& input);

/// The point of an action on the interaction diagram of one axis: M in kNm with the first side
/// compressed positive, N in kN.
struct DiagramPoint {
  double m = 0;
  double n = 0;
};
/// The actions' points about the horizontal axis (Mz: positive stresses growing downwards, so
/// the top compressed) and the vertical axis (My: growing to the left, so the right
/// compressed, drawn negative).
DiagramPoint HorizontalActionPoint(const SectionActions& actions);
DiagramPoint VerticalActionPoint(const SectionActions& actions);

/// The closed interaction curve of `list` ([n, m first compressed, m second compressed], N and
/// N mm) in the diagram's units: up the first side's moments, back down the second side's,
/// negated.
std::vector<DiagramPoint> InteractionCurve(const std::vector<std::array<double, 3>>& list);

/// True when `p` lies within the closed `curve` or on it: the section resists it. False for a
/// curve of fewer than three points.
bool WithinInteraction(const std::vector<DiagramPoint>& curve, DiagramPoint p);

/// The operations of the whole picture: a white background is the painter's (the batch tool
/// paints into a white picture), the operations draw the frames, the grid at round values
/// with their labels, the axes through 0, the titles with their units, the curves and the
/// actions' points, green within the curve and red beyond it, each labelled "inside" or
/// "outside".
OverlayOps DrawResistanceDiagrams(const ResistanceSection& r, const ResistanceDiagramInput& input);

}  // namespace qv
