// The plain-text block of the stresses.
#include "core/elastic/stress_report.h"

#include "core/base/number_text.h"

namespace qv {
namespace {

std::string Mm(double v) { return FormatFixed(v, 8, 2); }
std::string Stress(double v) { return FormatGeneral(v, 5, 1); }

std::string PadTo(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

void Extreme(std::vector<std::string>& lines, const char* what, const StressExtreme& e) {
  lines.push_back(PadTo(PadTo(std::string("    ") + what, 18) + "= " + Stress(e.value), 34) +
                  "at hor = " + Mm(e.at.Hor) + " mm, ver = " + Mm(e.at.Ver) + " mm");
}

void Extremes(std::vector<std::string>& lines, const StressExtremes& e) {
  Extreme(lines, "sigma min", e.sigmaMin);
  Extreme(lines, "sigma max", e.sigmaMax);
  Extreme(lines, "tau max", e.tauMax);
  Extreme(lines, "von Mises max", e.vonMisesMax);
}

}  // namespace

std::vector<std::string> StressReport(const StressField& field, SignConvention signConvention) {
  std::vector<std::string> lines;
  lines.emplace_back(kStressReportTitle);
  lines.emplace_back();
  lines.push_back("actions (N and Nmm; y to the left, z downwards, from the elastic centre;");
  lines.push_back("         shear forces through the shear centre, T about it):");
  for (const std::string& action : ActionTexts(field.Actions(), signConvention)) {
    lines.push_back("    " + action);
  }
  lines.push_back("elastic centre at hor = " + Mm(field.Centre().Hor) +
                  " mm, ver = " + Mm(field.Centre().Ver) + " mm from upper left corner UL");
  if (field.Coarsening() > 1) {
    lines.push_back("shear stresses on cells of " + IntegerText(field.Coarsening()) + " x " +
                    IntegerText(field.Coarsening()) + " pixels (the solve was coarsened)");
  }
  lines.emplace_back();
  lines.push_back("whole section, " + IntegerText(field.Overall().pixels) + " pixels:");
  Extremes(lines, field.Overall());
  for (const MaterialStress& m : field.Materials()) {
    lines.emplace_back();
    lines.push_back(m.name + " (" + m.label + "): E = " + FormatNumber(m.E) + " N/mm^2, " +
                    IntegerText(m.extremes.pixels) +
                    (m.extremes.pixels == 1 ? " pixel" : " pixels") +
                    (m.extremes.pixels == 0 ? "" : ":"));
    if (m.extremes.pixels > 0) Extremes(lines, m.extremes);
  }
  if (!field.Joints().empty()) {
    lines.emplace_back();
    lines.push_back("joints between materials (shear stress across the joint, along the beam):");
    for (const JointStress& j : field.Joints()) {
      lines.push_back("    " + j.first + " / " + j.second + ": length " + Mm(j.lengthMm) +
                      " mm, flow " + Stress(j.flow) + " N/mm, mean " + Stress(j.mean));
      lines.push_back("        max = " + Stress(j.tauMax.value) + " at hor = " +
                      Mm(j.tauMax.at.Hor) + " mm, ver = " + Mm(j.tauMax.at.Ver) + " mm");
    }
  }
  return lines;
}

std::string StressAtText(const StressField& field, int x, int y, StressKind shown) {
  const PixelStress p = field.At(x, y);
  if (p.material < 0) return "no stress here: not a pixel of the section";
  const auto value = [](double v) { return FormatGeneral(v, 4, 1); };
  std::string others;
  for (const StressKind kind : {StressKind::Sigma, StressKind::Tau, StressKind::VonMises}) {
    if (kind == shown) continue;
    others += std::string(others.empty() ? "" : ", ") +
              (kind == StressKind::VonMises ? "von Mises" : std::string(StressKindKey(kind))) +
              " = " + value(p.Value(kind));
  }
  const MaterialStress& m = field.Materials()[static_cast<std::size_t>(p.material)];
  const std::string name =
      shown == StressKind::VonMises ? "von Mises" : std::string(StressKindKey(shown));
  return name + " = " + value(p.Value(shown)) + " N/mm^2 (" + others + ") in " + m.name + " (" +
         m.label + ") at hor = " + Mm((x - field.Bounds().xmin + 0.5) * field.Dx()) +
         " mm, ver = " + Mm((y - field.Bounds().ymin + 0.5) * field.Dy()) + " mm";
}

}  // namespace qv
