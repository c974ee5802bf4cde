// The plastic moments' lines of the extended values' block.
#include "core/section/plastic_report.h"

#include "core/base/number_text.h"

namespace qv {
namespace {

// N-mm writes both the N mm and the kN m of a moment; another system its own unit alone.
std::string Moment(double nmm, UnitSystem units) {
  const UnitSystem large = units == UnitSystem::NMm ? UnitSystem::KNm : units;
  std::string text = FormatFixed(InUnits(nmm, Quantity::Moment, large), 10, 3) + " " +
                     std::string(UnitText(Quantity::Moment, large));
  if (units == UnitSystem::NMm) text = FormatGeneral(nmm, 6, 3) + " Nmm = " + text;
  return text;
}

}  // namespace

std::vector<std::string> PlasticReport(const PlasticOutcome& outcome, UnitSystem units) {
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
  const std::string length(UnitText(Quantity::Length, units));
  const auto axis = [&](const PlasticAxis& a, const char* title, const char* first,
                        const char* second, const char* position) {
    lines.push_back(std::string("    ") + title + ":");
    lines.push_back(std::string("      ") + first + " compressed: Mpl = " +
                    Moment(a.mplFirstCompressed, units) + ", axis at " + position + " = " +
                    LengthText(a.axisFirstCompressed, units) + " " + length + " from UL");
    lines.push_back(std::string("      ") + second + " compressed: Mpl = " +
                    Moment(a.mplSecondCompressed, units) + ", axis at " + position + " = " +
                    LengthText(a.axisSecondCompressed, units) + " " + length + " from UL");
    if (a.wpl) {
      std::string line = "      Wpl = Mpl / fy = " +
                         FormatGeneral(InUnits(*a.wpl, Quantity::Modulus, units), 6, 3) + " " +
                         std::string(UnitText(Quantity::Modulus, units));
      if (a.shapeFactor) line += ", shape factor Wpl / Wel = " + FormatFixed(*a.shapeFactor, 6, 3);
      lines.push_back(line);
    }
  };
  axis(p.horizontal, "horizontal axis", "top   ", "bottom", "ver");
  axis(p.vertical, "vertical axis", "left  ", "right ", "hor");
  return lines;
}

std::vector<DesignValue> PlasticDesignValues(const PlasticSection& p, UnitSystem units) {
  std::vector<DesignValue> rows;
  // In N-mm the second column holds what tables list (kN m, cm^3); another system has it all.
  const auto row = [&](const std::string& symbol, const std::string& meaning, double v,
                       Quantity quantity, UnitSystem table) {
    DesignValue value{
        symbol, meaning, InUnits(v, quantity, units), std::string(UnitText(quantity, units)),
        0,      ""};
    if (units == UnitSystem::NMm && table != UnitSystem::NMm) {
      value.tableValue = InUnits(v, quantity, table);
      value.tableUnit = UnitText(quantity, table);
    }
    rows.push_back(value);
  };
  const auto axis = [&](const PlasticAxis& a, const std::string& title, const std::string& first,
                        const std::string& second, const std::string& position) {
    const auto moment = [&](double mpl, double at, const std::string& side) {
      row("Mpl", title + ", " + side + " compressed", mpl, Quantity::Moment, UnitSystem::KNm);
      row(position, "  its neutral axis from UL", at, Quantity::Length, UnitSystem::NMm);
    };
    moment(a.mplFirstCompressed, a.axisFirstCompressed, first);
    moment(a.mplSecondCompressed, a.axisSecondCompressed, second);
    if (a.wpl) {
      row("Wpl", title + ", Mpl / fy", *a.wpl, Quantity::Modulus, UnitSystem::KNcm);
      if (a.shapeFactor)
        rows.push_back({"Wpl/Wel", title + ", shape factor", *a.shapeFactor, "", 0, ""});
    }
  };
  axis(p.horizontal, "horizontal axis", "top", "bottom", "ver");
  axis(p.vertical, "vertical axis", "left", "right", "hor");
  return rows;
}

}  // namespace qv
