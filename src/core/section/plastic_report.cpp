// The plastic moments' lines of the extended values' block.
#include "core/section/plastic_report.h"

#include "core/base/number_text.h"

namespace qv {
namespace {

std::string Moment(double nmm) {
  return FormatGeneral(nmm, 6, 3) + " Nmm = " + FormatFixed(nmm / 1e6, 10, 3) + " kNm";
}

}  // namespace

std::vector<std::string> PlasticReport(const PlasticOutcome& outcome) {
  std::vector<std::string> lines;
  lines.emplace_back();
  if (!outcome.values) {
    lines.push_back("plastic moments: none, " + outcome.missing);
    return lines;
  }
  const PlasticSection& p = *outcome.values;
  lines.push_back("plastic moments, rigid-plastic stress blocks:");
  std::string strengths = "    strengths fc / ft [N/mm^2]:";
  for (std::size_t i = 0; i < p.strengths.size(); ++i) {
    const auto& [label, s] = p.strengths[i];
    strengths += (i == 0 ? " " : ", ") + label + " " + FormatNumber(s.compression) + " / " +
                 FormatNumber(s.tension);
  }
  lines.push_back(strengths);
  const auto axis = [&](const PlasticAxis& a, const char* title, const char* first,
                        const char* second, const char* position) {
    lines.push_back(std::string("    ") + title + ":");
    lines.push_back(std::string("      ") + first +
                    " compressed: Mpl = " + Moment(a.mplFirstCompressed) + ", axis at " + position +
                    " = " + FormatFixed(a.axisFirstCompressed, 8, 2) + " mm from UL");
    lines.push_back(std::string("      ") + second +
                    " compressed: Mpl = " + Moment(a.mplSecondCompressed) + ", axis at " +
                    position + " = " + FormatFixed(a.axisSecondCompressed, 8, 2) + " mm from UL");
    if (a.wpl) {
      std::string line = "      Wpl = Mpl / fy = " + FormatGeneral(*a.wpl, 6, 3) + " mm^3";
      if (a.shapeFactor) line += ", shape factor Wpl / Wel = " + FormatFixed(*a.shapeFactor, 6, 3);
      lines.push_back(line);
    }
  };
  axis(p.horizontal, "horizontal axis", "top   ", "bottom", "ver");
  axis(p.vertical, "vertical axis", "left  ", "right ", "hor");
  return lines;
}

std::vector<DesignValue> PlasticDesignValues(const PlasticSection& p) {
  std::vector<DesignValue> rows;
  const auto axis = [&](const PlasticAxis& a, const std::string& title, const std::string& first,
                        const std::string& second, const std::string& position) {
    const auto moment = [&](double mpl, double at, const std::string& side) {
      rows.push_back({"Mpl", title + ", " + side + " compressed", mpl, "Nmm", mpl / 1e6, "kNm"});
      rows.push_back({position, "  its neutral axis from UL", at, "mm", 0, ""});
    };
    moment(a.mplFirstCompressed, a.axisFirstCompressed, first);
    moment(a.mplSecondCompressed, a.axisSecondCompressed, second);
    if (a.wpl) {
      rows.push_back({"Wpl", title + ", Mpl / fy", *a.wpl, "mm^3", *a.wpl / 1e3, "cm^3"});
      if (a.shapeFactor)
        rows.push_back({"Wpl/Wel", title + ", shape factor", *a.shapeFactor, "", 0, ""});
    }
  };
  axis(p.horizontal, "horizontal axis", "top", "bottom", "ver");
  axis(p.vertical, "vertical axis", "left", "right", "hor");
  return rows;
}

}  // namespace qv
