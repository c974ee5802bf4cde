// The ultimate resistance of the drawn section: every pixel a fibre with its material's
// stress-strain law, the strain plane at failure found from the materials' strain limits.
#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/library/law_table.h"
#include "core/library/strength_table.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/section/section_result.h"
#include "core/section/strip_counts.h"

namespace qv {

class TPROPClass;

/// The strain a material whose law sets no limit is taken to, so that its stress block is the
/// large-strain one (within (yield strain / 10)^2 of the rigid-plastic moment).
inline constexpr double kUnlimitedStrain = 10;

/// The ultimate moments about one axis (horizontal: stresses vary down the section; vertical:
/// across it) at the axial force N. "First" is the side above a horizontal axis or left of a
/// vertical one, "second" the side below or right of it. Moments are about the elastic centre.
struct ResistanceAxis {
  /// The moment with the first side compressed, N mm; none when N lies beyond the resistance
  /// to pure compression or tension.
  std::optional<double> mFirstCompressed;
  std::optional<double> mSecondCompressed;
  /// Where the strain is 0 at failure: mm from the top (left) edge of the section box; none
  /// when the strain is the same everywhere.
  std::optional<double> axisFirstCompressed;
  std::optional<double> axisSecondCompressed;
  /// With an interaction asked for: [n, m first compressed, m second compressed] from the
  /// resistance to pure compression to that to pure tension; moments signed in their sense.
  std::vector<std::array<double, 3>> interaction;
  /// With the moment-curvature asked for: [curvature 1/mm, moment N mm] at the force N with the
  /// first side compressed, from 0 to failure (or to 30 times the first yield curvature when
  /// the failure comes from a material without limits); empty where N lies beyond the
  /// resistances.
  std::vector<std::array<double, 2>> momentCurvature;
  /// On that curve: [curvature, moment] where a fibre first reaches a kink of its law other
  /// than at zero strain (none when none does before the end), and whether the curve ends at
  /// the failure state (else at 30 times that curvature).
  std::optional<std::array<double, 2>> firstYield;
  bool curveEndsAtFailure = false;
};

/// What is computed besides the resistances and the ultimate moments at the force N.
struct ResistanceAsk {
  int interactionPoints = 0;     ///< points of each interaction list (none below 2)
  bool momentCurvature = false;  ///< the moment-curvature lists
  int biaxialAngles = 0;         ///< directions of the biaxial list (none at 0)
};

struct ResistanceSection {
  double nCompression = 0;  ///< N, at most 0
  double nTension = 0;      ///< N, at least 0
  double n = 0;             ///< the axial force the moments hold with, N
  ResistanceAxis horizontal;
  ResistanceAxis vertical;
  /// With a biaxial list asked for: [angle degrees, My N mm, Mz N mm] at the force N, the
  /// angle that of the neutral axis (0 horizontal with the top compressed, turning
  /// anticlockwise on the screen), My positive where it compresses the top, Mz the left side.
  /// Empty where N lies beyond the resistances.
  std::vector<std::array<double, 3>> biaxial;
  /// The lists asked for (each present in the reports even where it is empty).
  ResistanceAsk asked;
  /// The label and law text of each material carrying load, in library order.
  std::vector<std::pair<std::string, std::string>> laws;
};

struct ResistanceOutcome {
  std::optional<ResistanceSection> values;
  std::string missing;  ///< one line, such as "no strength given for clBlue"; empty with values
};

/// The resistance of the materials in use of `library` on the `pixels` in `bounds`, with
/// the pixel size and elastic centre of `section`. Each material with E above 0 follows its law
/// from `laws` (else the default of its strength); a law that needs a strength the material
/// lacks, or one that bounds no stress (linear, no-tension), leaves no values, `missing` telling
/// why. The strain plane at failure reaches a material's limit (parabola-rectangle: ecu at its
/// most compressed fibre, and ec2 at the pivot of a wholly compressed part; elastic-plastic: eu;
/// points: a table end of non-zero stress); a material without limits is taken to
/// kUnlimitedStrain. `ask` adds the lists. Set, `cancel` stops the lists between points and
/// leaves no values (missing "cancelled").
ResistanceOutcome ComputeResistance(const SectionPixels& pixels, const SectionBounds& bounds,
                                    const TPROPClass& library, const StrengthTable& strengths,
                                    const LawTable& laws, const SectionResult& section, double n,
                                    const ResistanceAsk& ask,
                                    const std::atomic<bool>* cancel = nullptr);

}  // namespace qv
