// Strengths in the library file's own section: their texts, their refusals, the section's save
// beside the material lines, and the session's use of them with the other extended values.
#include "core/library/strength_table.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

struct TextCase {
  const char* text;
  std::optional<Strength> read;  // nothing: refused
  const char* written;           // the text Text writes back
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << "text " << c.text; }

class StrengthTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(StrengthTextTest, ReadsOneOrTwoNonNegativeValues) {
  const TextCase c = GetParam();
  if (!c.read) {
    EXPECT_THROW(StrengthTable::Read("clRed", c.text), Error);
    return;
  }
  const Strength s = StrengthTable::Read("clRed", c.text);
  EXPECT_EQ(s, *c.read);
  EXPECT_EQ(StrengthTable::Text(s), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrengthTextTest,
    ::testing::Values(TextCase{"355", Strength{355, 355}, "355"},
                      TextCase{"17/0", Strength{17, 0}, "17/0"},
                      TextCase{" 20 / 2.5 ", Strength{20, 2.5}, "20/2.5"},
                      TextCase{"0", Strength{0, 0}, "0"},
                      TextCase{"235/235", Strength{235, 235}, "235"},
                      TextCase{"-1", std::nullopt, ""}, TextCase{"17/-0.5", std::nullopt, ""},
                      TextCase{"abc", std::nullopt, ""}, TextCase{"17/", std::nullopt, ""},
                      TextCase{"/20", std::nullopt, ""}, TextCase{"1/2/3", std::nullopt, ""},
                      TextCase{"355 N", std::nullopt, ""}, TextCase{"inf", std::nullopt, ""}),
    RowName);

TEST(StrengthTableTest, RefusalsNameTheMaterialAndChangeNothing) {
  StrengthTable table;
  table.Set("clRed", {355, 355});
  try {
    table.Set("clRed", {-1, 0});
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "The strength of clRed must be at least 0 N/mm^2, not -1.");
  }
  EXPECT_THROW(table.Set("clRed", {std::numeric_limits<double>::quiet_NaN(), 1}), Error);
  EXPECT_THROW(table.Set("a=b", {1, 1}), Error);
  ASSERT_EQ(table.Entries().size(), 1u);
  EXPECT_EQ(table.Get("CLRED"), (Strength{355, 355}));
  table.Remove("clred");
  EXPECT_FALSE(table.Get("clRed"));
}

TEST(StrengthTableTest, SavedSectionLeavesTheOtherSectionsByteForByte) {
  TempDir dir;
  const std::string path = dir.File("properties.ini");
  const std::string library =
      "[properties]\r\nn=2\r\n1=1@clRed@steel S355@210000@7850\r\n"
      "2=2@clBlue@concrete@33000@2400\r\n\r\n[poisson]\r\nclBlue=0.2\r\n";
  WriteAll(path, library);
  StrengthTable table;
  table.Set("clRed", {355, 355});
  table.Set("clBlue", {17, 0});
  table.Save(path);
  EXPECT_EQ(ReadAll(path), library + "[strength]\r\nclRed=355\r\nclBlue=17/0\r\n");
  StrengthTable back;
  back.Load(path);
  EXPECT_EQ(back.Entries(), table.Entries());
}

TEST(StrengthTableTest, UnreadableOrTooLongValuesRefuseTheLoadAndKeepTheTable) {
  TempDir dir;
  const std::string path = dir.File("p.ini");
  StrengthTable table;
  table.Set("clRed", {235, 235});
  WriteAll(path, "[strength]\nclBlue=17/0\nclRed=3,55\n");
  try {
    table.Load(path);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "The strength of clRed in " + path +
                                         " cannot be read: '3,55' is not a valid floating point "
                                         "value");
  }
  WriteAll(path, "[strength]\nclRed=-355\n");
  EXPECT_THROW(table.Load(path), Error);
  // Cut at the reading limit, 2,046 zeros and "355" would read as 0: refused whole instead.
  WriteAll(path, "[strength]\nclRed=" + std::string(2046, '0') + "355\n");
  EXPECT_THROW(table.Load(path), Error);
  ASSERT_EQ(table.Entries().size(), 1u);
  EXPECT_EQ(table.Get("clRed"), (Strength{235, 235}));
}

// --- the session -----------------------------------------------------------------------------

class SessionStrengthTest : public ::testing::Test {
 protected:
  std::string Program() const { return dir.File("quorvane"); }
  std::string Library() const { return dir.File("properties.ini"); }
  TempDir dir;
};

const std::string kMaterialLines =
    "[properties]\r\nn=2\r\n1=1@clRed@steel@210000@7850\r\n2=2@clBlue@concrete@33000@2400\r\n";

TEST_F(SessionStrengthTest, StrengthsAreReadWithTheLibraryAndSavedBesideIt) {
  WriteAll(Library(), kMaterialLines + "[strength]\r\nclBlue=17/0\r\n[notes]\r\nkept=yes\r\n");
  SectionSession session;
  EXPECT_TRUE(session.LoadSettings(Program()).empty());
  EXPECT_EQ(session.Strengths().Get("clBlue"), (Strength{17, 0}));
  session.SetStrength("clRed", Strength{355, 355});
  session.SaveSettings();
  EXPECT_EQ(ReadAll(Library()), "[notes]\r\nkept=yes\r\n" + kMaterialLines +
                                    "[strength]\r\nclBlue=17/0\r\nclRed=355\r\n");
}

TEST_F(SessionStrengthTest, UnreadableStrengthsAreReportedAndKeptFromTheSave) {
  WriteAll(Library(), kMaterialLines + "[strength]\r\nclRed=x\r\n");
  SectionSession session;
  const std::vector<std::string> messages = session.LoadSettings(Program());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "The strength of clRed in " + Library() +
                             " cannot be read: 'x' is not a valid floating point value");
  EXPECT_FALSE(session.Strengths().Get("clRed"));
  session.SetStrength("clBlue", Strength{17, 0});
  session.SaveSettings();
  EXPECT_EQ(ReadAll(Library()), "[strength]\r\nclRed=x\r\n" + kMaterialLines);
}

TEST_F(SessionStrengthTest, ComputedWithTheExtendedValuesAndDroppedByAChangedStrength) {
  SectionSession session;
  session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", 210000}})));
  // 40 x 21 pixels, 80 x 42 mm: Wpl = 80 * 42^2 / 4 about the horizontal axis.
  ASSERT_TRUE(session.AcceptPicture(
      dir.WritePicture("s.bmp", MakeGrid(50, 30, kWhite, {{5, 5, 44, 25, kRed}}))));
  session.ColourInventory();
  ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
  ASSERT_EQ(session.Analyse({80, 42, "80", "42"}), SectionSession::AnalyseOutcome::Done);
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  ASSERT_TRUE(session.Plastic());
  EXPECT_EQ(session.Plastic()->missing, "no strength given for clRed");

  session.SetStrength("clRed", Strength{355, 355});
  EXPECT_FALSE(session.Elastic());
  EXPECT_FALSE(session.Plastic());
  ASSERT_EQ(session.ComputeElastic(), SectionSession::ElasticOutcome::Done);
  ASSERT_TRUE(session.Plastic() && session.Plastic()->values);
  EXPECT_NEAR(*session.Plastic()->values->horizontal.wpl / (80 * 42 * 42 / 4.0), 1, 1e-12);
  session.SetStrength("clRed", Strength{355, 355});  // unchanged: the values stay
  EXPECT_TRUE(session.Plastic());
  EXPECT_THROW(session.SetStrength("clRed", Strength{-1, 0}), Error);
  EXPECT_TRUE(session.Plastic());
  session.SetStrength("clRed", std::nullopt);
  EXPECT_FALSE(session.Plastic());
  EXPECT_FALSE(session.Strengths().Get("clRed"));
}

}  // namespace
}  // namespace qv::test
