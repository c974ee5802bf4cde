// The section-table line of a section of one material.
#include "core/elastic/section_table.h"

#include "core/elastic/extended_report.h"
#include "core/section/integration.h"

namespace qv {
namespace {

constexpr std::size_t kSymbolWidth = 10;

// The labels of the materials that carry load, joined for a message.
std::string CarrierLabels(const ElasticResult& elastic) {
  std::string labels;
  for (const MaterialModuli& m : elastic.materials) {
    if (!(m.E > 0) || m.pixels == 0) continue;
    labels += (labels.empty() ? "" : ", ") + m.label;
  }
  return labels;
}

// Why the carrying materials do not make one material: nothing when they do. Colours of one E
// and one G are one material drawn twice, whose values stand as they would for one colour.
std::optional<std::string> SeveralMaterials(const ElasticResult& elastic) {
  const MaterialModuli* first = nullptr;
  for (const MaterialModuli& m : elastic.materials) {
    if (!(m.E > 0) || m.pixels == 0) continue;
    if (first == nullptr) {
      first = &m;
    } else if (m.E != first->E || m.G != first->G) {
      return "the section is made of several materials (" + CarrierLabels(elastic) +
             "): its area, second moments and moduli have no single-material meaning";
    }
  }
  if (first == nullptr) return "no material with E above 0 in the section";
  return std::nullopt;
}

}  // namespace

SectionTableOutcome SectionTableOf(const SectionResult& section, const ElasticResult& elastic,
                                   const PlasticOutcome& plastic) {
  SectionTableOutcome outcome;
  if (std::optional<std::string> why = SeveralMaterials(elastic)) {
    outcome.missing = std::move(*why);
    return outcome;
  }
  const std::optional<ElasticCentre> centre = ElasticCentreOf(section);
  const double g = SingleShearModulus(elastic);
  if (!elastic.Moduli || !centre || !(g > 0)) {
    outcome.missing = "no material with E above 0 in the section";
    return outcome;
  }
  const PlasticSection* p = plastic.values ? &*plastic.values : nullptr;
  if (p == nullptr || !p->horizontal.wpl || !p->vertical.wpl) {
    outcome.missing = plastic.missing.empty() ? "no plastic moduli" : plastic.missing;
    return outcome;
  }
  const SectionModuli& w = *elastic.Moduli;
  const double e = w.E;
  SectionTableLine line;
  line.area = section.EA / e;
  // About C itself, as the moduli and the radii: a table's axes pass through the centroid, not
  // through the pixel NC is rounded to.
  line.secondMomentHorizontal = centre->EIzz / e;
  line.secondMomentVertical = centre->EIyy / e;
  line.torsion = elastic.GJ / g;
  line.warping = elastic.EIw / e;
  line.elasticHorizontal = w.Horizontal();
  line.elasticVertical = w.Vertical();
  line.plasticHorizontal = *p->horizontal.wpl;
  line.plasticVertical = *p->vertical.wpl;
  line.radiusHorizontal = elastic.RadiusZ;
  line.radiusVertical = elastic.RadiusY;
  line.shearAreaY = elastic.GAy / g;
  line.shearAreaZ = elastic.GAz / g;
  // The extended values give the shear centre from NC; moved to C (y to the left, z down).
  line.shearCentreY = elastic.ShearCentreY + (centre->x - section.NC.x) * section.Dx;
  line.shearCentreZ = elastic.ShearCentreZ - (centre->y - section.NC.y) * section.Dy;
  line.betaY = elastic.BetaY;
  line.betaZ = elastic.BetaZ;
  outcome.line = line;
  return outcome;
}

std::vector<SectionTableEntry> SectionTableEntries(const SectionTableLine& line,
                                                   SignConvention convention, UnitSystem units) {
  // The letter of the horizontal axis: the axis bent about under the EURO-code, the coordinate
  // the stresses grow along otherwise -- the radii's names say which.
  const ConventionTerms terms =
      TermsOf(convention).value_or(*TermsOf(SignConvention::DorvastPelkam));
  const std::string h(terms.radiusZz.substr(1));
  const std::string v(terms.radiusYy.substr(1));
  std::vector<SectionTableEntry> entries;
  // In N-mm a section value is also given in the cm^n of the tables; another system has one
  // column, in its own units.
  const auto add = [&](std::string_view key, const std::string& symbol, const char* meaning,
                       double value, Quantity quantity, bool tabled) {
    DesignValue shown{
        symbol, meaning, InUnits(value, quantity, units), std::string(UnitText(quantity, units)),
        0,      ""};
    if (tabled && units == UnitSystem::NMm) {
      shown.tableValue = InUnits(value, quantity, UnitSystem::KNcm);
      shown.tableUnit = UnitText(quantity, UnitSystem::KNcm);
    }
    entries.push_back({key, shown});
  };
  add("a_mm2", "A", "area", line.area, Quantity::Area, true);
  add("i_horizontal_axis_mm4", "I" + h, "second moment about the horizontal axis",
      line.secondMomentHorizontal, Quantity::SecondMoment, true);
  add("i_vertical_axis_mm4", "I" + v, "second moment about the vertical axis",
      line.secondMomentVertical, Quantity::SecondMoment, true);
  add("it_mm4", "It", "torsion constant GJ / G", line.torsion, Quantity::SecondMoment, true);
  add("iw_mm6", "Iw", "warping constant about SC", line.warping, Quantity::WarpingConstant, true);
  add("wel_horizontal_axis_mm3", "Wel," + h, "elastic modulus about the horizontal axis",
      line.elasticHorizontal, Quantity::Modulus, true);
  add("wel_vertical_axis_mm3", "Wel," + v, "elastic modulus about the vertical axis",
      line.elasticVertical, Quantity::Modulus, true);
  add("wpl_horizontal_axis_mm3", "Wpl," + h, "plastic modulus about the horizontal axis",
      line.plasticHorizontal, Quantity::Modulus, true);
  add("wpl_vertical_axis_mm3", "Wpl," + v, "plastic modulus about the vertical axis",
      line.plasticVertical, Quantity::Modulus, true);
  add("radius_horizontal_axis_mm", "i" + h, "radius of gyration about the horizontal axis",
      line.radiusHorizontal, Quantity::Length, true);
  add("radius_vertical_axis_mm", "i" + v, "radius of gyration about the vertical axis",
      line.radiusVertical, Quantity::Length, true);
  add("as_y_mm2", "Avy", "shear area, shear along y", line.shearAreaY, Quantity::Area, true);
  add("as_z_mm2", "Avz", "shear area, shear along z", line.shearAreaZ, Quantity::Area, true);
  add("shear_centre_y_mm", "ys", "shear centre SC from C, positive to the left", line.shearCentreY,
      Quantity::Length, false);
  add("shear_centre_z_mm", "zs", "shear centre SC from C, positive downwards", line.shearCentreZ,
      Quantity::Length, false);
  add("beta_y_mm", "beta," + h, "monosymmetry constant, bending about the horizontal axis",
      line.betaY, Quantity::Length, false);
  add("beta_z_mm", "beta," + v, "monosymmetry constant, bending about the vertical axis",
      line.betaZ, Quantity::Length, false);
  return entries;
}

std::vector<std::string> SectionTableReport(const SectionTableLine& line, SignConvention convention,
                                            UnitSystem units) {
  std::vector<std::string> lines;
  lines.emplace_back();
  lines.push_back("section table (one material, axes through the elastic centre C):");
  for (const SectionTableEntry& entry : SectionTableEntries(line, convention, units)) {
    // Wider than the design values' symbols: "beta,y" and "Wpl,y" line up with "A".
    lines.push_back(DesignValueLine(entry.value, kSymbolWidth));
  }
  return lines;
}

}  // namespace qv
