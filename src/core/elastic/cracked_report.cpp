// The cracked section's block of the report.
#include "core/elastic/cracked_report.h"

#include "core/base/number_text.h"
#include "core/elastic/stress_field.h"

namespace qv {
namespace {

std::string Mm(double v) { return FormatFixed(v, 8, 2); }
std::string Stress(double v) { return FormatGeneral(v, 5, 1); }

std::string Range(const CrackedRange& r) {
  return "sigma min = " + Stress(r.min) + ", max = " + Stress(r.max) + " N/mm^2";
}

}  // namespace

std::vector<std::string> CrackedReport(const CrackedOutcome& outcome, SignConvention convention) {
  std::vector<std::string> lines = {"CRACKED SECTION"};
  if (!outcome.values) {
    lines.push_back("cracked section: none, " + outcome.missing);
    return lines;
  }
  const CrackedSection& c = *outcome.values;
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
                  ", ky = " + FormatGeneral(c.plane.ky, 6, 3) +
                  " 1/mm, kz = " + FormatGeneral(c.plane.kz, 6, 3) + " 1/mm (" +
                  IntegerText(c.iterations) + (c.iterations == 1 ? " step)" : " steps)"));
  if (c.neutralAxis) {
    const auto& [a, b] = *c.neutralAxis;
    lines.push_back("    neutral axis from hor = " + Mm(a.Hor) + " mm, ver = " + Mm(a.Ver) +
                    " mm to hor = " + Mm(b.Hor) + " mm, ver = " + Mm(b.Ver) + " mm from UL");
  } else {
    lines.push_back("    neutral axis: none, the strain keeps its sign over the section");
  }
  lines.push_back("    whole section: " + Range(c.sigma));
  for (const CrackedMaterial& m : c.materials) {
    if (m.sigma) lines.push_back("    " + m.label + ": " + Range(*m.sigma));
  }
  lines.push_back("    stiffness of the carrying part about its elastic centre at hor = " +
                  Mm(c.crackedCentre.Hor) + " mm, ver = " + Mm(c.crackedCentre.Ver) + " mm:");
  const auto line = [&](std::string_view name, double value, const char* unit) {
    std::string text = "      " + std::string(name);
    text.resize(11, ' ');
    lines.push_back(text + "= " + FormatNumber(value) + unit);
  };
  line("EA", c.EA, " N");
  if (const std::optional<ConventionTerms> terms = TermsOf(convention)) {
    if (terms->zzFirst) {
      line(terms->eizz, c.EIzz, " Nmm^2");
      line(terms->eiyy, c.EIyy, " Nmm^2");
    } else {
      line(terms->eiyy, c.EIyy, " Nmm^2");
      line(terms->eizz, c.EIzz, " Nmm^2");
    }
    line("EIyz", c.EIyz, " Nmm^2");
  }
  return lines;
}

}  // namespace qv
