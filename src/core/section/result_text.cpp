// The texts of the result box and the plain-text report.
#include "core/section/result_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/library/dd_props.h"

namespace qv {
namespace {

// Positions are whole pixel differences; 64 bits keep the difference exact for any int pair.
double DistanceMm(int position, int origin, double mmPerPixel) {
  const std::int64_t difference = std::int64_t{position} - std::int64_t{origin};
  return static_cast<double>(difference < 0 ? -difference : difference) * mmPerPixel;
}

}  // namespace

CentreTexts FormatCentreTexts(const SectionResult& result, const SectionBounds& bounds,
                              UnitSystem units) {
  CentreTexts texts;
  char count[24];
  texts.relevantPixels.assign(
      count, std::to_chars(count, count + sizeof count, result.RelevantPixels).ptr);
  texts.ea = FormatGeneral(InUnits(result.EA, Quantity::Force, units), 5, 3);
  texts.ncHor = LengthText(DistanceMm(result.NC.x, bounds.xmin, result.Dx), units);
  texts.ncVer = LengthText(DistanceMm(result.NC.y, bounds.ymin, result.Dy), units);
  texts.mass = FormatGeneral(result.Mass * 1000, 5, 1);
  texts.mcHor = LengthText(DistanceMm(result.MC.x, bounds.xmin, result.Dx), units);
  texts.mcVer = LengthText(DistanceMm(result.MC.y, bounds.ymin, result.Dy), units);
  return texts;
}

StiffnessTexts FormatStiffnessTexts(const SectionResult& result, UnitSystem units) {
  const auto in = [&](double nmm2) { return InUnits(nmm2, Quantity::Stiffness, units); };
  const double eiyy = in(result.EIyy);
  const double eizz = in(result.EIzz);
  const double eiyz = in(result.EIyz);
  // The common scale follows the largest finite term: a NaN or infinite term (from an invalid
  // material) shows as such and must not push the others to a meaningless scale.
  double m = 0;
  for (const double term : {eiyy, eizz, eiyz}) {
    if (std::isfinite(term) && std::fabs(term) > m) m = std::fabs(term);
  }
  const int q = DecimalOrder(m);
  const int e = q - 1;
  const auto stiffnessText = [&](double value) {
    return q < 6 ? FormatNumber(value) : FormatScaled(value, e);
  };

  StiffnessTexts texts;
  texts.eiyy = stiffnessText(eiyy);
  texts.eizz = stiffnessText(eizz);
  texts.eiyz = stiffnessText(eiyz);

  texts.hintEA = FormatNumber(InUnits(result.EA, Quantity::Force, units));
  texts.hintEIyy = FormatNumber(eiyy);
  texts.hintEIzz = FormatNumber(eizz);
  texts.hintEIyz = FormatNumber(eiyz);
  texts.hintEI1 = FormatNumber(in(result.EI1));
  texts.hintEI2 = FormatNumber(in(result.EI2));

  texts.alpha = result.Iso ? "iso" : FormatFixed(result.Alpha * 180 / std::numbers::pi, 3, 1);
  texts.ei1 = stiffnessText(in(result.EI1));
  texts.ei2 = stiffnessText(in(result.EI2));
  return texts;
}

std::vector<std::string> SectionReport(const CentreTexts& centre, const StiffnessTexts& stiffness,
                                       const ReportInput& input) {
  std::vector<std::string> lines;
  lines.push_back("QUORVANE RESULTS : " + FileNameOf(input.picturePath));
  lines.emplace_back();
  if (input.library == nullptr) return lines;

  lines.push_back("Sectional boundaries:");
  lines.push_back("    width  = " + input.widthPixels + " equals to " + input.widthField + " mm");
  lines.push_back("    height = " + input.heightPixels + " equals to " + input.heightField + " mm");
  if (!input.pixelSize.empty()) lines.push_back("    pixel size = " + input.pixelSize + " mm");
  lines.emplace_back();
  lines.push_back("material properties:");
  lines.emplace_back();
  lines.push_back("name\t\tcolor\tE [N/mm^2]\trho [kg/m^3]");
  lines.push_back(std::string(62, '-'));
  for (const TPROPRec& entry : *input.library) {
    if (!entry.inUse) continue;
    lines.push_back(entry.prop.name + "\t\t" + entry.prop.colorlabel + "\t" +
                    FormatNumber(entry.prop.E) + "\t\t" + FormatNumber(entry.prop.rho));
  }
  const std::string length(UnitText(Quantity::Length, input.units));
  const std::string stiffnessUnit = " " + std::string(UnitText(Quantity::Stiffness, input.units));
  lines.emplace_back();
  lines.push_back("normal center NC at position:");
  lines.push_back("    hor  = " + centre.ncHor + " " + length + " from upper left corner UL");
  lines.push_back("    ver  = " + centre.ncVer + " " + length + " from upper left corner UL");
  lines.emplace_back();
  lines.push_back("mass center MC at position:");
  lines.push_back("    hor  = " + centre.mcHor + " " + length + " from upper left corner UL");
  lines.push_back("    ver  = " + centre.mcVer + " " + length + " from upper left corner UL");
  lines.push_back("    mass = " + centre.mass + " kg/m");
  lines.emplace_back();
  lines.push_back("Cross sectional stiffness components:");
  lines.push_back("    EA   = " + centre.ea + " " +
                  std::string(UnitText(Quantity::Force, input.units)));
  // The names follow the convention, the values stay those of the formal definitions; a
  // convention that names nothing lists no stiffness.
  if (const std::optional<ConventionTerms> terms = TermsOf(input.signConvention)) {
    const auto line = [&](std::string_view name, const std::string& value) {
      std::string text = "    " + std::string(name);
      text.resize(9, ' ');
      lines.push_back(text + "= " + value + stiffnessUnit);
    };
    if (terms->zzFirst) {
      line(terms->eizz, stiffness.eizz);
      line(terms->eiyy, stiffness.eiyy);
    } else {
      line(terms->eiyy, stiffness.eiyy);
      line(terms->eizz, stiffness.eizz);
    }
    line("EIyz", stiffness.eiyz);
  }
  lines.emplace_back();
  lines.push_back("Principal data:");
  lines.push_back("    alpha= " + stiffness.alpha + " degrees");
  lines.push_back("    EI1  = " + stiffness.ei1 + stiffnessUnit);
  lines.push_back("    EI2  = " + stiffness.ei2 + stiffnessUnit);
  return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace qv
