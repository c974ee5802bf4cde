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

CentreTexts FormatCentreTexts(const SectionResult& result, const SectionBounds& bounds) {
  CentreTexts texts;
  char count[24];
  texts.relevantPixels.assign(
      count, std::to_chars(count, count + sizeof count, result.RelevantPixels).ptr);
  texts.ea = FormatGeneral(result.EA, 5, 3);
  texts.ncHor = FormatFixed(DistanceMm(result.NC.x, bounds.xmin, result.Dx), 8, 2);
  texts.ncVer = FormatFixed(DistanceMm(result.NC.y, bounds.ymin, result.Dy), 8, 2);
  texts.mass = FormatGeneral(result.Mass * 1000, 5, 1);
  texts.mcHor = FormatFixed(DistanceMm(result.MC.x, bounds.xmin, result.Dx), 8, 2);
  texts.mcVer = FormatFixed(DistanceMm(result.MC.y, bounds.ymin, result.Dy), 8, 2);
  return texts;
}

StiffnessTexts FormatStiffnessTexts(const SectionResult& result) {
  // The common scale follows the largest finite term: a NaN or infinite term (from an invalid
  // material) shows as such and must not push the others to a meaningless scale.
  double m = 0;
  for (const double term : {result.EIyy, result.EIzz, result.EIyz}) {
    if (std::isfinite(term) && std::fabs(term) > m) m = std::fabs(term);
  }
  const int q = DecimalOrder(m);
  const int e = q - 1;
  const auto stiffnessText = [&](double value) {
    return q < 6 ? FormatNumber(value) : FormatScaled(value, e);
  };

  StiffnessTexts texts;
  texts.eiyy = stiffnessText(result.EIyy);
  texts.eizz = stiffnessText(result.EIzz);
  texts.eiyz = stiffnessText(result.EIyz);

  texts.hintEA = FormatNumber(result.EA);
  texts.hintEIyy = FormatNumber(result.EIyy);
  texts.hintEIzz = FormatNumber(result.EIzz);
  texts.hintEIyz = FormatNumber(result.EIyz);
  texts.hintEI1 = FormatNumber(result.EI1);
  texts.hintEI2 = FormatNumber(result.EI2);

  texts.alpha = result.Iso ? "iso" : FormatFixed(result.Alpha * 180 / std::numbers::pi, 3, 1);
  texts.ei1 = stiffnessText(result.EI1);
  texts.ei2 = stiffnessText(result.EI2);
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
  lines.emplace_back();
  lines.push_back("normal center NC at position:");
  lines.push_back("    hor  = " + centre.ncHor + " mm from upper left corner UL");
  lines.push_back("    ver  = " + centre.ncVer + " mm from upper left corner UL");
  lines.emplace_back();
  lines.push_back("mass center MC at position:");
  lines.push_back("    hor  = " + centre.mcHor + " mm from upper left corner UL");
  lines.push_back("    ver  = " + centre.mcVer + " mm from upper left corner UL");
  lines.push_back("    mass = " + centre.mass + " kg/m");
  lines.emplace_back();
  lines.push_back("Cross sectional stiffness components:");
  lines.push_back("    EA   = " + centre.ea + " N");
  // The names follow the convention, the values stay those of the formal definitions; a
  // convention that names nothing lists no stiffness.
  if (const std::optional<ConventionTerms> terms = TermsOf(input.signConvention)) {
    const auto line = [&](std::string_view name, const std::string& value) {
      std::string text = "    " + std::string(name);
      text.resize(9, ' ');
      lines.push_back(text + "= " + value + " Nmm^2");
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
  lines.push_back("    EI1  = " + stiffness.ei1 + " Nmm^2");
  lines.push_back("    EI2  = " + stiffness.ei2 + " Nmm^2");
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
