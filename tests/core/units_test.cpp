// The unit systems of the texts: every quantity converted from N and mm, and a whole report.
#include "core/base/units.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/base/error.h"
#include "core/elastic/extended_report.h"
#include "core/section/result_text.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"
#include "support/section_analysis.h"
#include "support/section_pictures.h"

namespace qv::test {
namespace {

constexpr std::array kSystems = {UnitSystem::NMm, UnitSystem::KNm, UnitSystem::KNcm};

struct Written {
  double value;
  const char* unit;
};

struct UnitCase {
  const char* comment;
  Quantity quantity;
  double nmm;                      // the value in N and mm
  std::array<Written, 3> written;  // in N-mm, kN-m, kN-cm
};
void PrintTo(const UnitCase& c, std::ostream* os) { *os << c.comment; }

class UnitsTest : public testing::TestWithParam<UnitCase> {};

TEST_P(UnitsTest, ConvertsTheNmmValueInEverySystem) {
  const UnitCase& c = GetParam();
  for (std::size_t i = 0; i < kSystems.size(); ++i) {
    SCOPED_TRACE(std::string(UnitSystemName(kSystems[i])));
    EXPECT_DOUBLE_EQ(InUnits(c.nmm, c.quantity, kSystems[i]), c.written[i].value);
    EXPECT_EQ(UnitText(c.quantity, kSystems[i]), c.written[i].unit);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Units, UnitsTest,
    testing::Values(
        // EA and the shear stiffnesses are forces too.
        UnitCase{"force", Quantity::Force, 12345, {{{12345, "N"}, {12.345, "kN"}, {12.345, "kN"}}}},
        UnitCase{
            "moment", Quantity::Moment, 2.5e8, {{{2.5e8, "Nmm"}, {250, "kNm"}, {25000, "kNcm"}}}},
        // Positions in cm in both kN systems: section tables are in cm.
        UnitCase{
            "length", Quantity::Length, 123.4, {{{123.4, "mm"}, {12.34, "cm"}, {12.34, "cm"}}}},
        UnitCase{"area", Quantity::Area, 5380, {{{5380, "mm^2"}, {53.8, "cm^2"}, {53.8, "cm^2"}}}},
        UnitCase{"elastic and plastic moduli",
                 Quantity::Modulus,
                 557000,
                 {{{557000, "mm^3"}, {557, "cm^3"}, {557, "cm^3"}}}},
        UnitCase{"second moment",
                 Quantity::SecondMoment,
                 8.356e7,
                 {{{8.356e7, "mm^4"}, {8356, "cm^4"}, {8356, "cm^4"}}}},
        UnitCase{"warping constant",
                 Quantity::WarpingConstant,
                 1.26e11,
                 {{{1.26e11, "mm^6"}, {126000, "cm^6"}, {126000, "cm^6"}}}},
        // EI and GJ: 1 kN m^2 is 10^9 N mm^2, 1 kN cm^2 10^5.
        UnitCase{"bending and torsional stiffness",
                 Quantity::Stiffness,
                 1.7548e13,
                 {{{1.7548e13, "Nmm^2"}, {17548, "kNm^2"}, {1.7548e8, "kNcm^2"}}}},
        UnitCase{"warping stiffness",
                 Quantity::WarpingStiffness,
                 2.646e16,
                 {{{2.646e16, "Nmm^4"}, {26.46, "kNm^4"}, {2.646e9, "kNcm^4"}}}},
        // Stresses stay N/mm^2 with kN and m, as steel and concrete are read there.
        UnitCase{"stress",
                 Quantity::Stress,
                 235,
                 {{{235, "N/mm^2"}, {235, "N/mm^2"}, {23.5, "kN/cm^2"}}}},
        UnitCase{"shear flow",
                 Quantity::ForcePerLength,
                 80,
                 {{{80, "N/mm"}, {80, "kN/m"}, {0.8, "kN/cm"}}}},
        UnitCase{"curvature",
                 Quantity::Curvature,
                 2.5e-5,
                 {{{2.5e-5, "1/mm"}, {0.025, "1/m"}, {2.5e-4, "1/cm"}}}},
        // E c / EI: the stress per unit moment, in the system's stress per its moment.
        UnitCase{"stress per unit moment",
                 Quantity::StressPerMoment,
                 1.8e-6,
                 {{{1.8e-6, "1/mm^3"}, {1.8, "(N/mm^2)/kNm"}, {1.8e-3, "1/cm^3"}}}}),
    RowName);

TEST(UnitSystemTest, NamesReadBackAndNothingElseIsTaken) {
  for (const UnitSystem units : kSystems) {
    EXPECT_EQ(UnitSystemOf(UnitSystemName(units)), units);
  }
  for (const char* name : {"kn-m", "N-MM", "kNm", " kN-cm", ""}) {
    EXPECT_FALSE(UnitSystemOf(name)) << name;
  }
  try {
    UnitSystemOfName("kN-mm");
    FAIL() << "kN-mm was taken";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "the units are N-mm, kN-m or kN-cm");
  }
}

// Every "number unit" pair of `text` whose unit `units` writes for one of the quantities, in
// order: what a reader of the text takes from it. Units the system does not write (the cm^n
// column N-mm adds, kg/m, degrees) and stresses (E and G stay as typed) are left out.
std::vector<std::pair<double, Quantity>> Values(const std::string& text, UnitSystem units) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    while (!word.empty() && (word.back() == ',' || word.back() == ':' || word.back() == ')')) {
      word.pop_back();
    }
    if (!word.empty() && word.front() == '(') word.erase(0, 1);
    words.push_back(word);
  }
  std::vector<std::pair<double, Quantity>> values;
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    double value = 0;
    const std::string& w = words[i];
    const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), value);
    if (error != std::errc() || end != w.data() + w.size()) continue;
    for (int q = 0; q <= static_cast<int>(Quantity::StressPerMoment); ++q) {
      const auto quantity = static_cast<Quantity>(q);
      if (quantity != Quantity::Stress && words[i + 1] == UnitText(quantity, units)) {
        values.emplace_back(value, quantity);
      }
    }
  }
  return values;
}

TEST(UnitSystemTest, ReportOfARectangleInKNcmIsTheNmmReportConverted) {
  // 200 x 100 mm of steel at 2 mm per pixel: every section value is exact.
  const TPROPClass library = LibraryOf({{.label = "clRed", .E = 210000, .rho = 7850}});
  const DrawnSection s = DrawSection(200, 100, 2, Rectangle(kRed));
  const Analysis a = Analyse(s, library, ZeroPoisson({"clRed"}));
  ASSERT_TRUE(a.elastic);
  const auto text = [&](UnitSystem units) {
    ReportInput input;
    input.widthField = "200";
    input.heightField = "100";
    input.library = &library;
    input.units = units;
    std::vector<std::string> lines = SectionReport(FormatCentreTexts(a.section, s.bounds, units),
                                                   FormatStiffnessTexts(a.section, units), input);
    // The sizes stay in mm as they were typed.
    std::erase_if(lines, [](const std::string& line) {
      return line.find(" equals to ") != std::string::npos;
    });
    return JoinCrLf(lines) +
           JoinCrLf(ExtendedReport(*a.elastic, SignConvention::DorvastPelkam, units));
  };
  const std::vector<std::pair<double, Quantity>> nmm =
      Values(text(UnitSystem::NMm), UnitSystem::NMm);
  const std::vector<std::pair<double, Quantity>> kncm =
      Values(text(UnitSystem::KNcm), UnitSystem::KNcm);
  // EA, NC, MC, five stiffnesses, GJ, the shear centre, radii, beta, the design values.
  ASSERT_GT(nmm.size(), 20u);
  ASSERT_EQ(kncm.size(), nmm.size());
  for (std::size_t i = 0; i < nmm.size(); ++i) {
    EXPECT_EQ(kncm[i].second, nmm[i].second) << i;
    const double expected = InUnits(nmm[i].first, nmm[i].second, UnitSystem::KNcm);
    // Both texts round: to five digits, to the scale of the largest stiffness, or to a hundredth
    // of a mm.
    EXPECT_NEAR(kncm[i].first, expected, 1e-3 * std::fabs(expected) + 1e-3)
        << i << ": " << nmm[i].first << " " << UnitText(nmm[i].second, UnitSystem::NMm);
  }
}

}  // namespace
}  // namespace qv::test
