// Colour labels: names, "$" labels and the reading of stored colour texts.
#include "core/base/colour_label.h"

#include <gtest/gtest.h>

#include "core/base/error.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

struct LabelCase {
  std::uint32_t value;
  const char* label;
};
void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.label; }

class ColourLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(ColourLabelTest, ConvertsBothWays) {
  const LabelCase& c = GetParam();
  EXPECT_EQ(ColourToLabel(static_cast<ColourValue>(c.value)), c.label);
  EXPECT_EQ(static_cast<std::uint32_t>(LabelToColour(c.label)), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColourLabelTest,
    ::testing::Values(LabelCase{0x000000FF, "clRed"},  // red in the low byte
                      LabelCase{0x00FF0000, "clBlue"}, LabelCase{0x00C0C0C0, "clSilver"},
                      LabelCase{0x00A4A0A0, "clMedGray"},  // last pixel name
                      LabelCase{0x000080FF, "$000080FF"},  // red 255, green 128
                      LabelCase{0x00FEFFFF, "$00FEFFFF"},  // near white has no name
                      LabelCase{0x1FFFFFFF, "clNone"},
                      LabelCase{0x8000000F, "clBtnFace"},  // system colour
                      LabelCase{0x8000001E, "clMenuBar"},
                      LabelCase{0x80000019, "$80000019"}),  // index 25 has no name
    RowName);

TEST(ColourLabelReadTest, NamesIgnoreCaseNumbersDoNot) {
  EXPECT_EQ(LabelToColour("clblue"), 0x00FF0000);
  EXPECT_EQ(LabelToColour("CLBTNFACE"), static_cast<ColourValue>(0x8000000F));
  EXPECT_EQ(LabelToColour("255"), 255);
  EXPECT_EQ(LabelToColour("$000000ff"), 255);
}

TEST(ColourLabelReadTest, RefusesTextsThatAreNoColour) {
  for (const char* text : {"", "clBlu", "red", "$", "12a", "$1G"}) {
    try {
      LabelToColour(text);
      ADD_FAILURE() << text;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(ColourLabelReadTest, PixelColourOfLabelAcceptsOnlyCanonicalPixelLabels) {
  EXPECT_EQ(PixelColourOfLabel("clRed"), 0x000000FFu);
  EXPECT_EQ(PixelColourOfLabel("$00FEFFFF"), 0x00FEFFFFu);
  EXPECT_FALSE(PixelColourOfLabel("clred"));      // labels compare case-sensitively
  EXPECT_FALSE(PixelColourOfLabel("$000000FF"));  // that pixel is labelled clRed
  EXPECT_FALSE(PixelColourOfLabel("$00fefeff"));  // lower-case digits are never written
  EXPECT_FALSE(PixelColourOfLabel("$01000000"));  // no pixel has a top byte
  EXPECT_FALSE(PixelColourOfLabel("clBtnFace"));
  EXPECT_FALSE(PixelColourOfLabel(" clRed"));
}

}  // namespace
}  // namespace qv::test
