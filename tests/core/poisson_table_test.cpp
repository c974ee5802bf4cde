// Poisson's ratio table: range checks, the "[poisson]" section of the library file and its
// coexistence with the library's own section.
#include "core/library/poisson_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "support/grid_builder.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(PoissonTableTest, MaterialsWithoutARatioHaveThreeTenths) {
  PoissonTable table;
  EXPECT_EQ(table.Get("clRed"), 0.3);
  table.Set("clRed", 0.2);
  EXPECT_EQ(table.Get("clRed"), 0.2);
  EXPECT_EQ(table.Get("CLRED"), 0.2);  // as the file's keys match
  EXPECT_EQ(table.Get("clBlue"), 0.3);
  table.Set("CLRED", 0.25);  // the same entry, not a second one
  ASSERT_EQ(table.Entries().size(), 1u);
  EXPECT_EQ(table.Entries()[0].first, "clRed");
  EXPECT_EQ(table.Get("clRed"), 0.25);
  table.Remove("clred");
  EXPECT_EQ(table.Get("clRed"), 0.3);
  EXPECT_TRUE(table.Entries().empty());
}

struct RatioCase {
  double nu;
  bool valid;
};
void PrintTo(const RatioCase& c, std::ostream* os) { *os << NumberLabel(c.nu); }

class PoissonRangeTest : public ::testing::TestWithParam<RatioCase> {};

TEST_P(PoissonRangeTest, AcceptsOnlyZeroUpToBelowOneHalf) {
  const RatioCase c = GetParam();
  PoissonTable table;
  table.Set("clRed", 0.3);
  EXPECT_EQ(PoissonTable::Problem("clRed", c.nu).empty(), c.valid);
  if (c.valid) {
    table.Set("clRed", c.nu);
    EXPECT_EQ(table.Get("clRed"), c.nu);
  } else {
    EXPECT_THROW(table.Set("clRed", c.nu), Error);
    EXPECT_EQ(table.Get("clRed"), 0.3);  // unchanged
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, PoissonRangeTest,
    ::testing::Values(
        // the lower end: no lateral contraction
        RatioCase{0.0, true},
        // negative ratios exist (auxetic foams) but not for the materials of beams
        RatioCase{-0.1, false},
        // just below the incompressible limit
        RatioCase{0.4999, true},
        // incompressible: G = E / 3 would still be finite, but the material is not
        // elastic-isotropic
        RatioCase{0.5, false},
        // beyond
        RatioCase{0.7, false},
        // not numbers
        RatioCase{kNaN, false}, RatioCase{kInf, false}),
    RowName);

TEST(PoissonTableTest, RefusalNamesTheMaterialAndTheValue) {
  EXPECT_EQ(PoissonTable::Problem("clRed", 0.5),
            "The Poisson's ratio of clRed must be at least 0 and below 0.5, not 0.5.");
}

TEST(PoissonTableTest, LabelsThatCannotBeKeysAreRefused) {
  PoissonTable table;
  EXPECT_THROW(table.Set("", 0.3), Error);
  EXPECT_THROW(table.Set("a=b", 0.3), Error);
  EXPECT_THROW(table.Set(" clRed", 0.3), Error);
  EXPECT_THROW(table.Set("[x", 0.3), Error);
  EXPECT_TRUE(table.Entries().empty());
}

TEST(PoissonTableTest, SavedSectionLeavesTheMaterialLinesByteForByte) {
  TempDir dir;
  const std::string path = dir.File("properties.ini");
  const std::string library =
      "[properties]\r\nn=2\r\n1=1@clRed@steel S235@210000@7850\r\n"
      "2=2@$000080FF@timber@11000@450\r\n\r\n[notes]\r\nkept=yes\r\n";
  WriteAll(path, library);
  PoissonTable table;
  table.Set("clRed", 0.3);
  table.Set("$000080FF", 1.0 / 3);
  table.Save(path);
  const std::string written = ReadAll(path);
  EXPECT_EQ(written.substr(0, library.size()), library);
  EXPECT_EQ(written.substr(library.size()),
            "[poisson]\r\nclRed=0.3\r\n$000080FF=0.333333333333333\r\n");

  // Saving the library keeps the ratios, and reading both gives back what was saved.
  TPROPClass materials(path, true);
  materials.Save();
  PoissonTable back;
  back.Load(path);
  EXPECT_EQ(back.Get("clRed"), 0.3);
  EXPECT_EQ(back.Get("$000080FF"), 0.333333333333333);
  EXPECT_EQ(materials.Count(), 2);
}

TEST(PoissonTableTest, SaveReplacesTheOldSectionWhole) {
  TempDir dir;
  const std::string path = dir.File("p.ini");
  WriteAll(path, "[poisson]\r\nclRed=0.2\r\nclBlue=0.1\r\n[properties]\r\nn=0\r\n");
  PoissonTable table;
  table.Set("clLime", 0.25);
  table.Save(path);
  EXPECT_EQ(ReadAll(path), "[properties]\r\nn=0\r\n[poisson]\r\nclLime=0.25\r\n");
}

TEST(PoissonTableTest, OlderFilesAndMissingFilesReadAsDefaults) {
  TempDir dir;
  const std::string path = dir.File("p.ini");
  WriteAll(path, "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n");
  PoissonTable table;
  table.Set("clBlue", 0.1);
  table.Load(path);
  EXPECT_TRUE(table.Entries().empty());
  EXPECT_EQ(table.Get("clRed"), 0.3);
  table.Load(dir.File("missing.ini"));
  EXPECT_TRUE(table.Entries().empty());
}

TEST(PoissonTableTest, UnreadableValueRefusesTheLoadAndKeepsTheTable) {
  TempDir dir;
  const std::string path = dir.File("p.ini");
  PoissonTable table;
  table.Set("clRed", 0.2);
  WriteAll(path, "[poisson]\nclBlue=0.25\nclRed=0,3\n");
  try {
    table.Load(path);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "The Poisson's ratio of clRed in " + path +
                  " cannot be read: '0,3' is not a valid floating point value");
  }
  WriteAll(path, "[poisson]\nclRed=0.6\n");
  EXPECT_THROW(table.Load(path), Error);
  // Cut at the reading limit, 2,046 zeros and "0.35" would read as 0: refused whole instead.
  WriteAll(path, "[poisson]\nclRed=" + std::string(2046, '0') + "0.35\n");
  try {
    table.Load(path);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "The entry clRed in section [poisson] of " + path +
                                         " is too long: 2050 characters, of which only 2047 are "
                                         "read.");
  }
  EXPECT_EQ(table.Get("clRed"), 0.2);
  EXPECT_EQ(table.Get("clBlue"), 0.3);
  // LF files, case-insensitive section names and the first of two equal keys, as everywhere.
  WriteAll(path, "[POISSON]\nclRed = 0.125\nclred=0.4\n");
  table.Load(path);
  EXPECT_EQ(table.Get("clRed"), 0.125);
}

}  // namespace
}  // namespace qv::test
