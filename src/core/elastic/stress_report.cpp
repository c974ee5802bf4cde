// The plain-text block of the stresses.
#include "core/elastic/stress_report.h"

#include "core/base/number_text.h"

namespace qv {
namespace {

// The units of one block, so that each line writes its values the same way.
struct Units {
  UnitSystem system;
  std::string length;
  std::string Mm(double mm) const { return LengthText(mm, system); }
  std::string Stress(double v) const {
    return FormatGeneral(InUnits(v, Quantity::Stress, system), 5, 1);
  }
  std::string Flow(double v) const {
    return FormatGeneral(InUnits(v, Quantity::ForcePerLength, system), 5, 1);
  }
};

Units UnitsOf(UnitSystem system) {
  return {system, std::string(UnitText(Quantity::Length, system))};
}

std::string PadTo(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

void Extreme(std::vector<std::string>& lines, const char* what, const StressExtreme& e,
             const Units& u) {
  lines.push_back(PadTo(PadTo(std::string("    ") + what, 18) + "= " + u.Stress(e.value), 34) +
                  "at hor = " + u.Mm(e.at.Hor) + " " + u.length + ", ver = " + u.Mm(e.at.Ver) +
                  " " + u.length);
}

void Extremes(std::vector<std::string>& lines, const StressExtremes& e, const Units& u) {
  Extreme(lines, "sigma min", e.sigmaMin, u);
  Extreme(lines, "sigma max", e.sigmaMax, u);
  Extreme(lines, "tau max", e.tauMax, u);
  Extreme(lines, "von Mises max", e.vonMisesMax, u);
}

}  // namespace

std::vector<std::string> StressReport(const StressField& field, SignConvention signConvention,
                                      UnitSystem units) {
  const Units u = UnitsOf(units);
  std::vector<std::string> lines;
  if (units == UnitSystem::NMm) {
    lines.emplace_back(kStressReportTitle);
  } else {
    lines.push_back("STRESSES under the given actions [" +
                    std::string(UnitText(Quantity::Stress, units)) + "]");
  }
  lines.emplace_back();
  lines.push_back("actions (N and Nmm; y to the left, z downwards, from the elastic centre;");
  lines.push_back("         shear forces through the shear centre, T about it):");
  for (const std::string& action : ActionTexts(field.Actions(), signConvention)) {
    lines.push_back("    " + action);
  }
  lines.push_back("elastic centre at hor = " + u.Mm(field.Centre().Hor) + " " + u.length +
                  ", ver = " + u.Mm(field.Centre().Ver) + " " + u.length +
                  " from upper left corner UL");
  if (field.Coarsening() > 1) {
    lines.push_back("shear stresses on cells of " + IntegerText(field.Coarsening()) + " x " +
                    IntegerText(field.Coarsening()) + " pixels (the solve was coarsened)");
  }
  lines.emplace_back();
  lines.push_back("whole section, " + IntegerText(field.Overall().pixels) + " pixels:");
  Extremes(lines, field.Overall(), u);
  for (const MaterialStress& m : field.Materials()) {
    lines.emplace_back();
    lines.push_back(m.name + " (" + m.label + "): E = " + FormatNumber(m.E) + " N/mm^2, " +
                    IntegerText(m.extremes.pixels) +
                    (m.extremes.pixels == 1 ? " pixel" : " pixels") +
                    (m.extremes.pixels == 0 ? "" : ":"));
    if (m.extremes.pixels > 0) Extremes(lines, m.extremes, u);
  }
  if (!field.Joints().empty()) {
    lines.emplace_back();
    lines.push_back("joints between materials (shear stress across the joint, along the beam):");
    for (const JointStress& j : field.Joints()) {
      lines.push_back("    " + j.first + " / " + j.second + ": length " + u.Mm(j.lengthMm) + " " +
                      u.length + ", flow " + u.Flow(j.flow) + " " +
                      std::string(UnitText(Quantity::ForcePerLength, units)) + ", mean " +
                      u.Stress(j.mean));
      lines.push_back("        max = " + u.Stress(j.tauMax.value) +
                      " at hor = " + u.Mm(j.tauMax.at.Hor) + " " + u.length +
                      ", ver = " + u.Mm(j.tauMax.at.Ver) + " " + u.length);
    }
  }
  return lines;
}

std::string StressAtText(const StressField& field, int x, int y, StressKind shown,
                         UnitSystem units) {
  const Units u = UnitsOf(units);
  const PixelStress p = field.At(x, y);
  if (p.material < 0) return "no stress here: not a pixel of the section";
  const auto value = [&](double v) {
    return FormatGeneral(InUnits(v, Quantity::Stress, units), 4, 1);
  };
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
  return name + " = " + value(p.Value(shown)) + " " +
         std::string(UnitText(Quantity::Stress, units)) + " (" + others + ") in " + m.name + " (" +
         m.label + ") at hor = " + u.Mm((x - field.Bounds().xmin + 0.5) * field.Dx()) + " " +
         u.length + ", ver = " + u.Mm((y - field.Bounds().ymin + 0.5) * field.Dy()) + " " +
         u.length;
}

}  // namespace qv
