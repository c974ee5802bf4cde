// The resistance block of the report.
#include "core/section/resistance_report.h"

#include "core/base/number_text.h"

namespace qv {
namespace {

// The system the lists and the second value of a line are in: N-mm adds kN and kN m to its own.
UnitSystem Large(UnitSystem units) { return units == UnitSystem::NMm ? UnitSystem::KNm : units; }

// N-mm writes a value in N (mm) and in kN (m); another system its own unit alone.
std::string Value(double nmm, Quantity quantity, const char* nmmUnit, UnitSystem units) {
  const UnitSystem large = Large(units);
  std::string text = FormatFixed(InUnits(nmm, quantity, large), 10, 3) + " " +
                     std::string(UnitText(quantity, large));
  if (units == UnitSystem::NMm) text = FormatGeneral(nmm, 6, 3) + " " + nmmUnit + " = " + text;
  return text;
}

}  // namespace

std::vector<std::string> ResistanceReport(const ResistanceOutcome& outcome, UnitSystem units) {
  const auto force = [&](double n) { return Value(n, Quantity::Force, "N", units); };
  const auto moment = [&](double nmm) { return Value(nmm, Quantity::Moment, "Nmm", units); };
  const UnitSystem large = Large(units);
  const std::string listUnits = "N [" + std::string(UnitText(Quantity::Force, large)) + "], M ";
  const std::string momentUnit = "[" + std::string(UnitText(Quantity::Moment, large)) + "]";
  const auto column = [&](double v, Quantity quantity) {
    return FormatFixed(InUnits(v, quantity, large), 12, 3);
  };
  std::vector<std::string> lines = {"RESISTANCE"};
  if (!outcome.values) {
    lines.push_back("resistance: none, " + outcome.missing);
    return lines;
  }
  const ResistanceSection& r = *outcome.values;
  lines.push_back("ultimate resistance, stress-strain laws (compression negative):");
  std::string laws = "    laws:";
  for (std::size_t i = 0; i < r.laws.size(); ++i) {
    laws += (i == 0 ? " " : ", ") + r.laws[i].first + " " + r.laws[i].second;
  }
  lines.push_back(laws);
  lines.push_back("    pure compression: N = " + force(r.nCompression));
  lines.push_back("    pure tension:     N = " + force(r.nTension));
  lines.push_back("    ultimate moments at N = " + force(r.n) + ", about the elastic centre:");
  const auto axis = [&](const ResistanceAxis& a, const char* title, const char* first,
                        const char* second, const char* position) {
    lines.push_back(std::string("    ") + title + ":");
    const auto side = [&](const char* name, const std::optional<double>& m,
                          const std::optional<double>& at) {
      std::string line = std::string("      ") + name + " compressed: ";
      if (!m) {
        lines.push_back(line + "none, N lies beyond the resistance");
        return;
      }
      line += "M = " + moment(*m);
      if (at)
        line += ", strain 0 at " + std::string(position) + " = " + LengthText(*at, units) + " " +
                std::string(UnitText(Quantity::Length, units)) + " from UL";
      lines.push_back(line);
    };
    side(first, a.mFirstCompressed, a.axisFirstCompressed);
    side(second, a.mSecondCompressed, a.axisSecondCompressed);
  };
  axis(r.horizontal, "horizontal axis", "top   ", "bottom", "ver");
  axis(r.vertical, "vertical axis", "left  ", "right ", "hor");
  const auto interaction = [&](const ResistanceAxis& a, const char* title, const char* first,
                               const char* second) {
    if (a.interaction.empty()) return;
    lines.push_back(std::string("    interaction about the ") + title + ": " + listUnits + first +
                    " compressed, M " + second + " compressed " + momentUnit);
    for (const auto& [n, m1, m2] : a.interaction) {
      lines.push_back("      " + column(n, Quantity::Force) + "  " + column(m1, Quantity::Moment) +
                      "  " + column(m2, Quantity::Moment));
    }
  };
  interaction(r.horizontal, "horizontal axis", "top", "bottom");
  interaction(r.vertical, "vertical axis", "left", "right");
  if (r.asked.momentCurvature) {
    lines.push_back("    moment-curvature at N, the top (left) side compressed:");
    const auto curve = [&](const ResistanceAxis& a, const char* title) {
      if (a.momentCurvature.empty()) {
        lines.push_back(std::string("      ") + title + ": none, N lies beyond the resistance");
        return;
      }
      lines.push_back(std::string("      ") + title + ": " +
                      std::to_string(a.momentCurvature.size()) + " points");
      const auto point = [&](const char* name, const std::array<double, 2>& p) {
        lines.push_back(std::string("        ") + name +
                        "k = " + FormatGeneral(InUnits(p[0], Quantity::Curvature, units), 6, 3) +
                        " " + std::string(UnitText(Quantity::Curvature, units)) +
                        ", M = " + moment(p[1]));
      };
      if (a.firstYield) point("first yield: ", *a.firstYield);
      point(a.curveEndsAtFailure ? "failure:     " : "end:         ", a.momentCurvature.back());
    };
    curve(r.horizontal, "horizontal axis");
    curve(r.vertical, "vertical axis");
  }
  if (r.asked.biaxialAngles > 0) {
    if (r.biaxial.empty()) {
      lines.push_back("    biaxial at N: none, N lies beyond the resistance");
    } else {
      lines.push_back(
          "    biaxial at N: angle of the neutral axis [deg], My (top compressed +), Mz (left "
          "compressed +) " +
          momentUnit);
    }
    for (const auto& [angle, my, mz] : r.biaxial) {
      lines.push_back("      " + FormatFixed(angle, 12, 3) + "  " + column(my, Quantity::Moment) +
                      "  " + column(mz, Quantity::Moment));
    }
  }
  return lines;
}

}  // namespace qv
