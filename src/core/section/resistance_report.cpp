// The resistance block of the report.
#include "core/section/resistance_report.h"

#include "core/base/number_text.h"

namespace qv {
namespace {

std::string Force(double n) {
  return FormatGeneral(n, 6, 3) + " N = " + FormatFixed(n / 1e3, 10, 3) + " kN";
}

std::string Moment(double nmm) {
  return FormatGeneral(nmm, 6, 3) + " Nmm = " + FormatFixed(nmm / 1e6, 10, 3) + " kNm";
}

}  // namespace

std::vector<std::string> ResistanceReport(const ResistanceOutcome& outcome) {
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
  lines.push_back("    pure compression: N = " + Force(r.nCompression));
  lines.push_back("    pure tension:     N = " + Force(r.nTension));
  lines.push_back("    ultimate moments at N = " + Force(r.n) + ", about the elastic centre:");
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
      line += "M = " + Moment(*m);
      if (at)
        line += ", strain 0 at " + std::string(position) + " = " + FormatFixed(*at, 8, 2) +
                " mm from UL";
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
    lines.push_back(std::string("    interaction about the ") + title + ": N [kN], M " + first +
                    " compressed, M " + second + " compressed [kNm]");
    for (const auto& [n, m1, m2] : a.interaction) {
      lines.push_back("      " + FormatFixed(n / 1e3, 12, 3) + "  " + FormatFixed(m1 / 1e6, 12, 3) +
                      "  " + FormatFixed(m2 / 1e6, 12, 3));
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
        lines.push_back(std::string("        ") + name + "k = " + FormatGeneral(p[0], 6, 3) +
                        " 1/mm, M = " + Moment(p[1]));
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
          "compressed +) [kNm]");
    }
    for (const auto& [angle, my, mz] : r.biaxial) {
      lines.push_back("      " + FormatFixed(angle, 12, 3) + "  " + FormatFixed(my / 1e6, 12, 3) +
                      "  " + FormatFixed(mz / 1e6, 12, 3));
    }
  }
  return lines;
}

}  // namespace qv
