// An analysis as asked for: the section's sizes and colours, the materials given for the run
// with their Poisson's ratios and strengths, the convention, the precision, the reading of edges,
// torsion and the actions, each value checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/units.h"
#include "core/library/material_law.h"
#include "core/session/session.h"

namespace qv {

/// A material given for one run (--material LABEL@NAME@E@RHO): the entry of that colour gets
/// the name, E and rho, or is added.
struct MaterialOverride {
  std::string label;
  std::string name;
  double E = 1;
  double rho = 1;
};

/// Every value of an analysis, checked: what the batch tool's options and the Python module's
/// keywords say.
struct AnalysisRequest {
  SectionSize size;
  /// --use: the colours of the section, in the order given.
  std::vector<std::string> uses;
  /// --torsion: the extended values too.
  bool torsion = false;
  /// --max-cells: the most cells the torsion solve takes before it coarsens into blocks (0: as
  /// the memory budget allows).
  std::int64_t maxCells = 0;
  SignConvention convention = SignConvention::DorvastPelkam;
  double eps = 1.0;
  std::vector<MaterialOverride> materials;
  /// --nu: Poisson's ratios by label, in the order given, each label once.
  std::vector<std::pair<std::string, double>> nus;
  /// --fy: strengths by label, in the order given, each label once.
  std::vector<std::pair<std::string, Strength>> strengths;
  /// --law: stress-strain laws by label, in the order given, each label once.
  std::vector<std::pair<std::string, MaterialLaw>> laws;
  /// --resistance: the ultimate resistance at the axial force N of the actions (0 without).
  bool resistance = false;
  /// --interaction: the points of each N-M interaction list (0: none); asks for the resistance.
  int interaction = 0;
  /// --moment-curvature: the moment-curvature lists about both axes; asks for the resistance.
  bool momentCurvature = false;
  /// --interaction-biaxial: the directions of the biaxial list (0: none); asks for the
  /// resistance.
  int biaxial = 0;
  /// --cracked: the cracked service analysis under the actions N, My, Mz.
  bool cracked = false;
  /// --action: the actions given, in their formal kinds (the convention's names read), in the
  /// order given.
  std::vector<std::pair<ActionKind, double>> actions;
  /// --stress-field: what the --stress-map shows.
  StressKind stressField = StressKind::VonMises;
  /// --edges: how smoothed edges are read (flat unless given).
  EdgeMode edges = EdgeMode::Flat;
  /// --units: the units of the report text; the JSON document stays in N and mm.
  UnitSystem units = UnitSystem::NMm;
  /// What the run makes besides the analysed session.
  struct Outputs {
    bool report = false;          ///< the report text, with every block computed
    bool json = false;            ///< the JSON document
    bool overlay = false;         ///< the drawing over the picture (which is then held in memory)
    bool stressMap = false;       ///< the map of `stressField` (needs actions)
    bool resistancePlot = false;  ///< the interaction and moment-curvature diagrams
  } outputs;
};

/// The resistance is computed: asked for itself or with its interaction lists.
inline bool WantsResistance(const AnalysisRequest& request) {
  return request.resistance || request.interaction > 0 || request.momentCurvature ||
         request.biaxial > 0;
}

/// The strengths and laws are read: for the resistance, and for the cracked section, whose
/// materials without tension they name.
inline bool TakesLaws(const AnalysisRequest& request) {
  return WantsResistance(request) || request.cracked;
}

/// The actions of `request` as one value, or nothing when none is given.
std::optional<SectionActions> ActionsOf(const AnalysisRequest& request);

/// `text` with its control characters written as "\r", "\n", "\t" or "\xHH": a value
/// quoted in a refusal, or the refusal itself, can then neither split the one line it is given on
/// standard error nor forge another.
std::string Escaped(std::string_view text);

}  // namespace qv
