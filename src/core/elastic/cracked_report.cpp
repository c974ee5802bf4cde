// The cracked section's block of the report.
#include "core/elastic/cracked_report.h"

#include "core/base/number_text.h"
#include "core/elastic/stress_field.h"

namespace qv {
namespace {

std::string Range(const CrackedRange& r, UnitSystem units) {
  const auto stress = [&](double v) {
    return FormatGeneral(InUnits(v, Quantity::Stress, units), 5, 1);
  };
  return "sigma min = " + stress(r.min) + ", max = " + stress(r.max) + " " +
         std::string(UnitText(Quantity::Stress, units));
}

}  // namespace

std::vector<std::string> CrackedReport(const CrackedOutcome& outcome, SignConvention convention,
                                       UnitSystem units) {
  std::vector<std::string> lines = {"CRACKED SECTION"};
  if (!outcome.values) {
    lines.push_back("cracked section: none, " + outcome.missing);
    return lines;
  }
  const CrackedSection& c = *outcome.values;
  const auto mm = [&](double v) { return LengthText(v, units); };
  const std::string length(UnitText(Quantity::Length, units));
  const std::string curvature(UnitText(Quantity::Curvature, units));
  const auto perLength = [&](double k) {
    return FormatGeneral(InUnits(k, Quantity::Curvature, units), 6, 3);
  };
  std::string cracking;
  for (const CrackedMaterial& m : c.materials) {
    if (m.cracks) cracking += (cracking.empty() ? "" : ", ") + m.label;
  }
  lines.push_back("cracked service analysis, no tension in " +
                  (cracking.empty() ? std::string("no material") : cracking) +
                  ", the other materials linear:");
  lines.push_back("    actions (N and Nmm, about the elastic centre):");
  // N, My and Mz: the shear forces and the torque play no part in it.
  const std::vector<std::string> actions = ActionTexts(c.actions, convention);
  for (std::size_t i = 0; i < 3 && i < actions.size(); ++i) lines.push_back("      " + actions[i]);
  lines.push_back("    strain eps0 = " + FormatGeneral(c.plane.eps0, 6, 3) +
                  ", ky = " + perLength(c.plane.ky) + " " + curvature +
                  ", kz = " + perLength(c.plane.kz) + " " + curvature + " (" +
                  IntegerText(c.iterations) + (c.iterations == 1 ? " step)" : " steps)"));
  if (c.neutralAxis) {
    const auto& [a, b] = *c.neutralAxis;
    lines.push_back("    neutral axis from hor = " + mm(a.Hor) + " " + length +
                    ", ver = " + mm(a.Ver) + " " + length + " to hor = " + mm(b.Hor) + " " +
                    length + ", ver = " + mm(b.Ver) + " " + length + " from UL");
  } else {
    lines.push_back("    neutral axis: none, the strain keeps its sign over the section");
  }
  lines.push_back("    whole section: " + Range(c.sigma, units));
  for (const CrackedMaterial& m : c.materials) {
    if (m.sigma) lines.push_back("    " + m.label + ": " + Range(*m.sigma, units));
  }
  lines.push_back("    stiffness of the carrying part about its elastic centre at hor = " +
                  mm(c.crackedCentre.Hor) + " " + length + ", ver = " + mm(c.crackedCentre.Ver) +
                  " " + length + ":");
  const auto line = [&](std::string_view name, double value, Quantity quantity) {
    std::string text = "      " + std::string(name);
    text.resize(11, ' ');
    lines.push_back(text + "= " + FormatNumber(InUnits(value, quantity, units)) + " " +
                    std::string(UnitText(quantity, units)));
  };
  line("EA", c.EA, Quantity::Force);
  if (const std::optional<ConventionTerms> terms = TermsOf(convention)) {
    if (terms->zzFirst) {
      line(terms->eizz, c.EIzz, Quantity::Stiffness);
      line(terms->eiyy, c.EIyy, Quantity::Stiffness);
    } else {
      line(terms->eiyy, c.EIyy, Quantity::Stiffness);
      line(terms->eizz, c.EIzz, Quantity::Stiffness);
    }
    line("EIyz", c.EIyz, Quantity::Stiffness);
  }
  return lines;
}

}  // namespace qv
