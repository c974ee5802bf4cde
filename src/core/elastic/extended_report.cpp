// The plain-text block of the extended values.
#include "core/elastic/extended_report.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "core/base/number_text.h"
#include "core/base/sign_convention.h"

namespace qv {
namespace {

// Where the stress column starts in a fibre line, so the columns line up in a fixed font.
constexpr std::size_t kStressColumn = 36;

std::string Range(const FibreRange& r, const auto& format) {
  return format(r.min) + " .. " + format(r.max);
}

std::string PadTo(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text + " ";
}

std::string Plural(std::int64_t n, const char* one, const char* many) {
  return IntegerText(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<DesignValue> DesignValues(const ElasticResult& r, UnitSystem units) {
  std::vector<DesignValue> values;
  // A section value (mm^n) also in the cm^n of the tables, where the system itself is not in cm.
  const auto row = [&](const char* symbol, const char* meaning, double v, Quantity quantity,
                       bool tabled) {
    DesignValue value{
        symbol, meaning, InUnits(v, quantity, units), std::string(UnitText(quantity, units)),
        0,      ""};
    if (tabled && units == UnitSystem::NMm) {
      value.tableValue = InUnits(v, quantity, UnitSystem::KNcm);
      value.tableUnit = UnitText(quantity, UnitSystem::KNcm);
    }
    values.push_back(value);
  };
  row("EIw", "warping constant about SC", r.EIw, Quantity::WarpingStiffness, false);
  row("GAy", "shear stiffness, shear along y", r.GAy, Quantity::Force, false);
  row("GAz", "shear stiffness, shear along z", r.GAz, Quantity::Force, false);
  if (!r.Moduli) return values;
  // One material: the stiffnesses divided by E and G give what the tables list.
  const SectionModuli& w = *r.Moduli;
  const double g = SingleShearModulus(r);
  row("Iw", "warping constant about SC", r.EIw / w.E, Quantity::WarpingConstant, true);
  if (g > 0) {
    row("Ay", "shear area, shear along y", r.GAy / g, Quantity::Area, true);
    row("Az", "shear area, shear along z", r.GAz / g, Quantity::Area, true);
  }
  const auto modulus = [&](const char* symbol, const char* meaning, double v) {
    row(symbol, meaning, v, Quantity::Modulus, true);
  };
  modulus("Wel", "elastic modulus about the horizontal axis", w.Horizontal());
  modulus("Wel", "  top fibre", w.HorizontalTop);
  modulus("Wel", "  bottom fibre", w.HorizontalBottom);
  modulus("Wel", "elastic modulus about the vertical axis", w.Vertical());
  modulus("Wel", "  left fibre", w.VerticalLeft);
  modulus("Wel", "  right fibre", w.VerticalRight);
  modulus("Wel", "elastic modulus of EI1", w.Axis1);
  modulus("Wel", "elastic modulus of EI2", w.Axis2);
  return values;
}

std::string DesignValueLine(const DesignValue& v, std::size_t symbolWidth) {
  std::string line =
      PadTo("    " + v.symbol, symbolWidth) + "= " + FormatGeneral(v.value, 5, 3) + " " + v.unit;
  if (!v.tableUnit.empty()) line += " = " + FormatGeneral(v.tableValue, 5, 3) + " " + v.tableUnit;
  return PadTo(line + " ", 44) + v.meaning;
}

std::string NoEstimateReason(const ElasticResult& result) {
  switch (result.WhyNoEstimate) {
    case ElasticResult::NoEstimate::Topology:
      return "cells twice the size would close a gap of the section";
    case ElasticResult::NoEstimate::Irregular:
      return "the solves on coarser cells do not converge regularly";
    case ElasticResult::NoEstimate::TooFewPixels:
      break;
  }
  return "the section has too few pixels";
}

std::vector<std::string> ExtendedReport(const ElasticResult& r, SignConvention signConvention,
                                        UnitSystem units) {
  // A convention that names nothing (a settings file written by hand) keeps the formal names.
  const ConventionTerms terms =
      TermsOf(signConvention).value_or(*TermsOf(SignConvention::DorvastPelkam));
  const std::string nameYY(terms.eiyy);
  const std::string nameZZ(terms.eizz);
  const auto perMoment = [&](double v) {
    return FormatGeneral(InUnits(v, Quantity::StressPerMoment, units), 4, 3);
  };
  const auto lengthText = [&](double mm) { return LengthText(mm, units); };
  const std::string mm(UnitText(Quantity::Length, units));
  const std::string stiffness = " " + std::string(UnitText(Quantity::Stiffness, units));
  const auto ei = [&](double nmm2) {
    return FormatGeneral(InUnits(nmm2, Quantity::Stiffness, units), 5, 3);
  };

  std::vector<std::string> lines;
  lines.emplace_back(kExtendedReportTitle);
  lines.emplace_back();
  lines.push_back("torsional stiffness:");
  if (r.Extrapolated) {
    lines.push_back("    GJ   = " + ei(r.GJ) + stiffness + ", extrapolated to cells of no size (" +
                    ei(r.GJSolved) + stiffness + " as solved)");
  } else {
    lines.push_back("    GJ   = " + ei(r.GJ) + stiffness);
  }
  if (r.HasErrorEstimate) {
    const double relative = r.GJ > 0 ? 100 * r.GJErrorEstimate / r.GJ : 0;
    // What the estimate measures: the distance to the section with the edge the picture's
    // shares place, or, for flat pixels, to the section of their staircase, which is the drawn
    // one.
    const std::string order = FormatFixed(r.ObservedOrder, 3, 1);
    const std::string how =
        !r.CutCells      ? "observed order " + order
        : r.Extrapolated ? "the larger step between the solves; order " + order + " extrapolated"
                         : "the larger step between the solves";
    lines.push_back("    error estimate " + FormatGeneral(relative, 2, 1) + " % (" +
                    FormatGeneral(InUnits(r.GJErrorEstimate, Quantity::Stiffness, units), 2, 3) +
                    stiffness + ", " + how + "), against " +
                    (r.CutCells ? "the drawn edge" : "the pixels' staircase as the edge"));
  } else {
    lines.push_back("    no error estimate: " + NoEstimateReason(r));
  }
  const std::string cell =
      FormatGeneral(InUnits(r.CellWidthMm, Quantity::Length, units), 6, 1) + " x " +
      FormatGeneral(InUnits(r.CellHeightMm, Quantity::Length, units), 6, 1) + " " + mm;
  const std::string perCell = r.Coarsening == 1
                                  ? "1 pixel each"
                                  : IntegerText(r.Coarsening) + " x " + IntegerText(r.Coarsening) +
                                        " pixels each, coarsened";
  lines.push_back("    solved on " + Plural(r.Cells, "cell", "cells") + " of " + cell + " (" +
                  perCell + "), " + Plural(r.Parts, "part", "parts") + ", " +
                  Plural(r.Iterations, "iteration", "iterations"));
  if (r.Coarsening > 1) {
    // Said plainly: the error estimate speaks of the blocks' staircase, not of the picture.
    lines.push_back(
        "    solved on blocks of " + IntegerText(r.Coarsening) + " x " + IntegerText(r.Coarsening) +
        " pixels (above the cell cap of " + Plural(r.CellCap, "cell", "cells") +
        "): its values hold the picture only to about a block; the batch tool's --max-cells "
        "raises the cap");
  }
  lines.emplace_back();
  lines.push_back("shear centre SC at position:");
  lines.push_back("    hor  = " + lengthText(r.ShearCentreHor) + " " + mm +
                  " from upper left corner UL");
  lines.push_back("    ver  = " + lengthText(r.ShearCentreVer) + " " + mm +
                  " from upper left corner UL");
  lines.push_back("    y    = " + lengthText(r.ShearCentreY) + " " + mm +
                  " from NC, positive to the left");
  lines.push_back("    z    = " + lengthText(r.ShearCentreZ) + " " + mm +
                  " from NC, positive downwards");
  if (r.HasErrorEstimate) {
    lines.push_back(
        "    error estimate " +
        FormatGeneral(InUnits(r.ShearCentreErrorEstimate, Quantity::Length, units), 2, 3) + " " +
        mm);
  }
  lines.emplace_back();
  lines.push_back("radii of gyration:");
  const auto radius = [&](std::string_view name, double value, const std::string& term) {
    lines.push_back("    " + PadTo(std::string(name), 4) + "= " + lengthText(value) + " " + mm +
                    " = sqrt(" + term + " / EA)");
  };
  if (terms.zzFirst) {
    radius(terms.radiusZz, r.RadiusZ, nameZZ);
    radius(terms.radiusYy, r.RadiusY, nameYY);
  } else {
    radius(terms.radiusYy, r.RadiusY, nameYY);
    radius(terms.radiusZz, r.RadiusZ, nameZZ);
  }
  lines.emplace_back();
  // Named by the axis bent about, which no sign convention names differently.
  lines.push_back("monosymmetry constants for lateral-torsional buckling:");
  lines.push_back("    beta = " + lengthText(r.BetaY) + " " + mm +
                  ", bending about the horizontal axis");
  lines.push_back("    beta = " + lengthText(r.BetaZ) + " " + mm +
                  ", bending about the vertical axis");
  lines.emplace_back();
  lines.push_back("design values (areas and moduli where the section has one material):");
  for (const DesignValue& v : DesignValues(r, units)) lines.push_back(DesignValueLine(v));
  lines.emplace_back();
  lines.push_back("extreme fibres from NC [" + mm + "] and stress per unit moment E c / EI [" +
                  std::string(UnitText(Quantity::StressPerMoment, units)) + "]:");
  for (const MaterialModuli& m : r.materials) {
    lines.emplace_back();
    lines.push_back(m.name + " (" + m.label + "): E = " + FormatNumber(m.E) +
                    " N/mm^2, nu = " + FormatNumber(m.nu) + ", G = " + FormatGeneral(m.G, 6, 1) +
                    " N/mm^2, " + Plural(m.pixels, "pixel", "pixels"));
    const auto fibre = [&](const char* axis, const FibreRange& at, const std::string& term,
                           const FibreRange& stressPerMoment) {
      lines.push_back(PadTo(std::string("    ") + axis + Range(at, lengthText), kStressColumn) +
                      PadTo(term + ":", 5) + Range(stressPerMoment, perMoment));
    };
    fibre("y    ", m.y, nameYY, m.stressY);
    fibre("z    ", m.z, nameZZ, m.stressZ);
    fibre("1    ", m.axis1, "EI1", m.stress1);
    fibre("2    ", m.axis2, "EI2", m.stress2);
  }
  return lines;
}

}  // namespace qv
