// The rules of an analysis request.
#include "core/analysis/analysis_check.h"

#include <algorithm>
#include <cmath>

#include "core/base/error.h"
#include "core/base/field_number.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "core/elastic/section_solver.h"
#include "core/library/dd_props.h"
#include "core/library/poisson_table.h"
#include "core/library/strength_table.h"
#include "core/settings/program_settings.h"

namespace qv {

int SectionSizeOf(std::string_view text) {
  const std::optional<std::int32_t> value = ParseIntegerText(text);
  if (!value) throw Error(InvalidIntegerMessage(text));
  const std::string problem = SectionSizeProblem(*value);
  if (!problem.empty()) throw Error(problem);
  return *value;
}

std::string SectionSizeProblem(double mm) {
  const bool whole = mm == std::floor(mm);
  if (!(mm >= 0 && mm <= kMaxSectionMm) || (!whole && mm < kMinSectionMm)) {
    // Whole sizes are refused as the window's integer fields refuse them.
    return "the size must be " + (whole ? std::string("1") : FormatNumber(kMinSectionMm)) + ".." +
           IntegerText(kMaxSectionMm) + " mm";
  }
  // The window offers no "analyse" while a size is 0; every result would be zero anyway.
  if (mm == 0) return "a section of 0 mm cannot be analysed";
  return {};
}

namespace {

// A decimal with a fraction and nothing else: an exponent would hide how many mm are meant.
std::optional<double> ParsePlainDecimal(std::string_view text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return std::nullopt;
  if (text[i] == '+' || text[i] == '-') ++i;
  const std::size_t point = text.find('.', i);
  if (point == std::string_view::npos || point + 1 == text.size()) return std::nullopt;
  const auto digits = [](std::string_view part) {
    return part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(text.substr(i, point - i)) || !digits(text.substr(point + 1))) return std::nullopt;
  return ParseRealText(text);
}

}  // namespace

void ReadSectionSize(std::string_view text, int& mm, std::optional<double>& decimal) {
  decimal.reset();
  if (ParseIntegerText(text)) {
    mm = SectionSizeOf(text);
    return;
  }
  const std::optional<double> value = ParsePlainDecimal(text);
  if (!value) throw Error(InvalidRealMessage(text));
  const std::string problem = SectionSizeProblem(*value);
  if (!problem.empty()) throw Error(problem);
  mm = static_cast<int>(std::lround(*value));
  // "300.0" is 300 mm: the whole number takes the integer path and its results exactly.
  if (*value != std::floor(*value)) decimal = *value;
}

std::string PixelSizeProblem(double mm) {
  if (!(mm > 0 && mm <= kMaxSectionMm)) {
    return "the pixel size must be above 0 and at most " + IntegerText(kMaxSectionMm) + " mm";
  }
  return {};
}

SignConvention SignConventionOf(int number) {
  if (number != 0 && number != 1) throw Error("the sign convention must be 0 or 1");
  return number == 1 ? SignConvention::EuroCode : SignConvention::DorvastPelkam;
}

EdgeMode EdgeModeOfName(std::string_view name) {
  const std::optional<EdgeMode> edges = EdgeModeOf(name);
  if (!edges) throw Error("the edges are read flat or as coverage");
  return *edges;
}

StressKind StressKindOfName(std::string_view name) {
  const std::optional<StressKind> kind = StressKindOfKey(name);
  if (!kind) throw Error("the field must be sigma, tau or von_mises");
  return *kind;
}

LabelFault LabelFaultOf(std::string_view label, const std::vector<std::string>& uses,
                        const std::vector<std::string>& given) {
  if (label.empty()) return LabelFault::kEmpty;
  if (std::find(uses.begin(), uses.end(), label) == uses.end()) return LabelFault::kNotInSection;
  if (std::find(given.begin(), given.end(), label) != given.end()) return LabelFault::kGivenTwice;
  return LabelFault::kNone;
}

std::string LabelFaultText(LabelFault fault, std::string_view label) {
  switch (fault) {
    case LabelFault::kNone:
      break;
    case LabelFault::kEmpty:
      return "the colour label is empty";
    case LabelFault::kNotInSection:
      return std::string(label) + " is not a colour of the section";
    case LabelFault::kGivenTwice:
      return std::string(label) + " is given twice";
  }
  return {};
}

bool ActionNeedsTorsion(ActionKind kind) {
  return kind == ActionKind::Vy || kind == ActionKind::Vz || kind == ActionKind::T;
}

ActionKind ActionOfNameChecked(std::string_view name, SignConvention convention) {
  const std::optional<ActionKind> kind = ActionOfName(name, convention);
  if (!kind) throw Error("the action must be N, My, Mz, Vy, Vz or T");
  return *kind;
}

std::string MaterialOverrideProblem(const MaterialOverride& m) {
  if (m.label.empty()) return LabelFaultText(LabelFault::kEmpty, m.label);
  // What the property dialog would not take, the run does not take either.
  return MaterialInputProblem(m.name, m.E, m.rho);
}

std::string InteractionPointsProblem(double points) {
  if (points >= 2 && points <= kMaxInteractionPoints && points == std::floor(points)) return {};
  return "the interaction needs 2.." + IntegerText(kMaxInteractionPoints) + " points";
}

std::string BiaxialAnglesProblem(double angles) {
  if (angles >= kMinBiaxialAngles && angles <= kMaxBiaxialAngles && angles == std::floor(angles)) {
    return {};
  }
  return "the biaxial interaction needs " + IntegerText(kMinBiaxialAngles) + ".." +
         IntegerText(kMaxBiaxialAngles) + " angles";
}

std::string MaxCellsProblem(double cells) {
  if (cells >= 1 && cells <= static_cast<double>(ElasticOptions::kMaxCellLimit) &&
      cells == std::floor(cells)) {
    return {};
  }
  return "the cell cap must be a whole number of 1.." + IntegerText(ElasticOptions::kMaxCellLimit) +
         " cells";
}

namespace {

void Refuse(const std::string& problem) {
  if (!problem.empty()) throw Error(problem);
}

// The labels of `values`, each checked against the section's colours and the labels before it.
template <typename Value>
void CheckLabels(const std::vector<std::pair<std::string, Value>>& values,
                 const std::vector<std::string>& uses) {
  std::vector<std::string> given;
  for (const auto& [label, value] : values) {
    Refuse(LabelFaultText(LabelFaultOf(label, uses, given), label));
    given.push_back(label);
  }
}

bool SizeGiven(const std::string& text, const std::optional<double>& decimal) {
  return !text.empty() || decimal.has_value();
}

}  // namespace

void CheckRequest(const AnalysisRequest& r) {
  if (r.size.pixelSizeMm) Refuse(PixelSizeProblem(*r.size.pixelSizeMm));
  // A size left out is a drawing's own (a picture without one is refused once it is known
  // not to be a drawing); one given is checked, also beside a drawing's pixel size.
  if (SizeGiven(r.size.widthText, r.size.widthDecimalMm)) {
    if (const std::string problem = SectionSizeProblem(r.size.Width()); !problem.empty()) {
      throw Error("width: " + problem);
    }
  }
  if (SizeGiven(r.size.heightText, r.size.heightDecimalMm)) {
    if (const std::string problem = SectionSizeProblem(r.size.Height()); !problem.empty()) {
      throw Error("height: " + problem);
    }
  }
  // A value that would change nothing is more likely a forgotten torsion.
  if (!r.torsion) {
    if (!r.nus.empty()) throw Error("Poisson's ratios are used by the torsion analysis only");
    if (r.maxCells != 0) throw Error("the cell cap is used by the torsion analysis only");
    if (!r.strengths.empty() && !TakesLaws(r)) {
      throw Error("strengths are used by the torsion analysis only");
    }
    for (const auto& [kind, value] : r.actions) {
      if (ActionNeedsTorsion(kind)) {
        throw Error("the action " + std::string(ActionName(kind, r.convention)) +
                    " needs the torsion analysis");
      }
    }
  }
  if (!r.laws.empty() && !TakesLaws(r)) {
    throw Error("stress-strain laws are used by the resistance only");
  }
  if (r.cracked) {
    // The cracked section is found under N, My and Mz; the shear forces and torque are the
    // linear stresses' alone.
    const bool bending = std::any_of(r.actions.begin(), r.actions.end(), [](const auto& a) {
      return a.first == ActionKind::N || a.first == ActionKind::My || a.first == ActionKind::Mz;
    });
    if (!bending) throw Error("the cracked section needs actions: N, My or Mz");
    if (r.outputs.stressMap && r.stressField != StressKind::Sigma) {
      throw Error(
          "the cracked section's map shows sigma only: tau and von Mises are those of "
          "the uncracked section");
    }
  }
  if (r.maxCells != 0) Refuse(MaxCellsProblem(static_cast<double>(r.maxCells)));
  if (r.interaction != 0) Refuse(InteractionPointsProblem(r.interaction));
  if (r.biaxial != 0) Refuse(BiaxialAnglesProblem(r.biaxial));
  if (r.outputs.stressMap && r.actions.empty()) throw Error("a stress map needs actions");
  Refuse(AngleToleranceProblem(r.eps));
  for (const MaterialOverride& m : r.materials) Refuse(MaterialOverrideProblem(m));
  CheckLabels(r.nus, r.uses);
  for (const auto& [label, nu] : r.nus) Refuse(PoissonTable::Problem(label, nu));
  CheckLabels(r.strengths, r.uses);
  for (const auto& [label, strength] : r.strengths) {
    Refuse(StrengthTable::Problem(label, strength.compression));
    Refuse(StrengthTable::Problem(label, strength.tension));
  }
  CheckLabels(r.laws, r.uses);
  std::vector<ActionKind> given;
  for (const auto& [kind, value] : r.actions) {
    if (std::find(given.begin(), given.end(), kind) != given.end()) {
      throw Error(std::string(ActionName(kind, r.convention)) + " is given twice");
    }
    if (!std::isfinite(value)) throw Error("an action must be a finite number");
    given.push_back(kind);
  }
}

std::optional<SectionActions> ActionsOf(const AnalysisRequest& request) {
  if (request.actions.empty()) return std::nullopt;
  SectionActions actions;
  for (const auto& [kind, value] : request.actions) ActionValue(actions, kind) = value;
  return actions;
}

}  // namespace qv
