// Tests of the locale-free number formats and readers.
#include "core/base/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();

struct FormatCase {
  double value;
  int precision;
  int digits;
  const char* expected;
};

// Named by the input: the same text comes out of several rows.
void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << NumberLabel(c.value) << " precision " << c.precision << " digits " << c.digits;
}

class FormatGeneralTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatGeneralTest, WritesExpectedText) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatGeneral(c.value, c.precision, c.digits), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatGeneralTest,
    ::testing::Values(
        // The documented examples.
        FormatCase{210000000, 5, 3, "2.1E008"}, FormatCase{12345.678, 5, 3, "12346"},
        FormatCase{0.00001234, 15, 0, "1.234E-5"}, FormatCase{0.0001234, 15, 0, "0.0001234"},
        FormatCase{78.5, 5, 1, "78.5"}, FormatCase{210000, 15, 0, "210000"},
        FormatCase{0.3, 15, 0, "0.3"}, FormatCase{0.00001, 15, 0, "1E-5"},
        FormatCase{2.5e20, 15, 0, "2.5E20"},
        // 0.125 is an exact tie in binary and rounds away from zero, also when negative.
        FormatCase{0.125, 2, 0, "0.13"}, FormatCase{-0.125, 2, 0, "-0.13"},
        // 2.675 is stored just below the half, so it rounds down.
        FormatCase{2.675, 3, 0, "2.67"},
        // Ties go away from zero, never to the even neighbour.
        FormatCase{1234.5, 4, 0, "1235"}, FormatCase{1233.5, 4, 0, "1234"},
        // Zero, also negative zero and values rounding to nothing, has no sign.
        FormatCase{0.0, 15, 0, "0"}, FormatCase{-0.0, 15, 0, "0"},
        // Plain range edges: n = -3 and n = p stay plain, beyond them scientific.
        FormatCase{0.0001, 15, 0, "0.0001"}, FormatCase{0.00009999, 15, 0, "9.999E-5"},
        FormatCase{999999999999999, 15, 0, "999999999999999"}, FormatCase{1e15, 15, 0, "1E15"},
        FormatCase{12345, 5, 0, "12345"}, FormatCase{123456, 5, 0, "1.2346E5"},
        // Zeros fill the integer part where digits run out.
        FormatCase{1200, 15, 0, "1200"}, FormatCase{-1200.5, 15, 0, "-1200.5"},
        // A carry through nines moves the value up a decade, possibly out of the plain range.
        FormatCase{9.96, 2, 0, "10"}, FormatCase{99999.5, 5, 0, "1E5"},
        FormatCase{0.000099996, 4, 0, "0.0001"},
        // Exponent digits: zero padded up to 4, above 4 counts as 0; negative as 0.
        FormatCase{1e20, 15, 4, "1E0020"}, FormatCase{1e20, 15, 5, "1E20"},
        FormatCase{-1.5e-7, 5, 3, "-1.5E-007"}, FormatCase{1e20, 15, -1, "1E20"},
        FormatCase{1e123, 15, 2, "1E123"},
        // Precision is limited to 2..18.
        FormatCase{123, 1, 0, "1.2E2"}, FormatCase{123, -5, 0, "1.2E2"},
        FormatCase{0.1, 17, 0, "0.10000000000000001"},
        FormatCase{0.1, 18, 0, "0.100000000000000006"},
        FormatCase{0.1, 40, 0, "0.100000000000000006"},
        // The extremes of the double range.
        FormatCase{kMax, 15, 0, "1.79769313486232E308"},
        FormatCase{-kMax, 15, 0, "-1.79769313486232E308"},
        FormatCase{kDenormMin, 15, 0, "4.94065645841247E-324"},
        FormatCase{std::numeric_limits<double>::min(), 15, 0, "2.2250738585072E-308"},
        // Non-finite values.
        FormatCase{kNaN, 15, 0, "NAN"}, FormatCase{kInf, 15, 0, "INF"},
        FormatCase{-kInf, 5, 3, "-INF"}),
    RowName);

class FormatFixedTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatFixedTest, WritesExpectedText) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatFixed(c.value, c.precision, c.digits), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFixedTest,
    ::testing::Values(
        // The documented examples.
        FormatCase{123.456, 8, 2, "123.46"}, FormatCase{7, 8, 2, "7.00"},
        FormatCase{-26.5651, 3, 1, "-26.6"}, FormatCase{1.2345, 3, 1, "1.2"},
        FormatCase{-0.0004, 8, 3, "0.000"},
        // Rounding at the last decimal: exact tie away from zero, binary values as stored.
        FormatCase{0.125, 8, 2, "0.13"}, FormatCase{-0.125, 8, 2, "-0.13"},
        FormatCase{2.675, 8, 2, "2.67"}, FormatCase{1.005, 8, 2, "1.00"},
        FormatCase{0.0006, 8, 3, "0.001"}, FormatCase{-0.0006, 8, 3, "-0.001"},
        FormatCase{0.00004, 8, 3, "0.000"}, FormatCase{9.9996, 8, 3, "10.000"},
        // Leading zeros of the decimals and zero padding.
        FormatCase{0.0123, 8, 5, "0.01230"}, FormatCase{0, 8, 2, "0.00"},
        FormatCase{-0.0, 8, 2, "0.00"},
        // Without decimals no separator is written; halves go away from zero.
        FormatCase{2.5, 8, 0, "3"}, FormatCase{-2.5, 8, 0, "-3"}, FormatCase{0.4, 8, 0, "0"},
        // The significant-digit limit also applies to the integer part.
        FormatCase{123456.789, 6, 2, "123457.00"}, FormatCase{12345678, 8, 2, "12345678.00"},
        // More integer digits than the precision: general format, decimals as exponent digits.
        FormatCase{123456789, 8, 2, "1.2345679E08"}, FormatCase{99999999.996, 8, 2, "1E08"},
        FormatCase{1e285, 8, 3, "1E285"}, FormatCase{-1e20, 3, 1, "-1E20"},
        // Non-finite values.
        FormatCase{kNaN, 8, 2, "NAN"}, FormatCase{kInf, 8, 2, "INF"},
        FormatCase{-kInf, 3, 1, "-INF"}),
    RowName);

struct OrderCase {
  double x;
  int expected;
};
void PrintTo(const OrderCase& c, std::ostream* os) { *os << NumberLabel(c.x); }

class DecimalOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(DecimalOrderTest, GivesFirstCoveringPower) {
  EXPECT_EQ(DecimalOrder(GetParam().x), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecimalOrderTest,
    ::testing::Values(OrderCase{0, 0}, OrderCase{-5, 0}, OrderCase{10, 0}, OrderCase{10.000001, 1},
                      OrderCase{1e6, 5}, OrderCase{1000001, 6}, OrderCase{1e7, 6},
                      OrderCase{1e16, 15}, OrderCase{1.0000000000000002e16, 16},
                      OrderCase{1e300, 16},
                      // Non-finite values take no cast, only comparisons.
                      OrderCase{kNaN, 16}, OrderCase{kInf, 16}, OrderCase{-kInf, 0}),
    RowName);

struct ScaledCase {
  double value;
  int exponent;
  const char* expected;
};
void PrintTo(const ScaledCase& c, std::ostream* os) {
  *os << NumberLabel(c.value) << " exponent " << c.exponent;
}

class FormatScaledTest : public ::testing::TestWithParam<ScaledCase> {};

TEST_P(FormatScaledTest, WritesExpectedText) {
  EXPECT_EQ(FormatScaled(GetParam().value, GetParam().exponent), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatScaledTest,
    ::testing::Values(ScaledCase{3.4567891e12, 11, "34.568E11"},
                      ScaledCase{1.2e12, 11, "12.000E11"}, ScaledCase{-2.5e9, 11, "-0.025E11"},
                      // Rounds to zero: no minus sign.
                      ScaledCase{-4e7, 11, "0.000E11"}, ScaledCase{1000001, 5, "10.000E5"},
                      ScaledCase{1e17, 15, "100.000E15"}, ScaledCase{0.5, 0, "0.500E0"},
                      ScaledCase{1234, -2, "123400.000E-2"},
                      // Scales beyond the double range divide by infinity or zero.
                      ScaledCase{1e300, 400, "0.000E400"}, ScaledCase{5, -400, "INF"},
                      // Non-finite values get no meaningless scale.
                      ScaledCase{kNaN, 15, "NAN"}, ScaledCase{kInf, 11, "INF"},
                      ScaledCase{-kInf, 5, "-INF"}),
    RowName);

TEST(FormatNumberTest, IsTheGeneralFormatWithFifteenDigits) {
  EXPECT_EQ(FormatNumber(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FormatNumber(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FormatNumber(-123456789012345.6), "-123456789012346");
  EXPECT_EQ(FormatNumber(1234567890123456), "1.23456789012346E15");
}

// An independent reference: to_chars rounds the exact value half to even, which differs from
// our rounding only on exact ties; 15 digits or fewer map distinct decimals to distinct doubles.
TEST(FormatGeneralTest, MatchesShortestRoundingOfRandomValues) {
  std::mt19937_64 random(20240611);
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    const int precision = 2 + static_cast<int>(random() % 14);
    char exact[900];
    const auto exactEnd =
        std::to_chars(exact, exact + sizeof exact, v, std::chars_format::scientific, 800).ptr;
    const std::string expansion(exact, exactEnd);
    const std::size_t start = expansion.find('.') + static_cast<std::size_t>(precision);
    const std::string rest = expansion.substr(start, expansion.find('e') - start);
    if (rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos) continue;
    char reference[64];
    const auto referenceEnd = std::to_chars(reference, reference + sizeof reference, v,
                                            std::chars_format::scientific, precision - 1)
                                  .ptr;
    double expected = 0;
    std::from_chars(reference, referenceEnd, expected);
    const std::string text = FormatGeneral(v, precision, 0);
    double actual = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), actual);
    ASSERT_EQ(parsed.ptr, text.data() + text.size()) << text;
    ASSERT_EQ(actual, expected) << text << " for " << std::string(reference, referenceEnd);
    ++checked;
  }
  EXPECT_GT(checked, 19000);
}

struct ReadCase {
  const char* text;
  double expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << "\"" << c.text << "\""; }

class ReadRealTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadRealTest, ReadsValue) {
  const double value = ReadReal(GetParam().text);
  EXPECT_EQ(value, GetParam().expected);
  EXPECT_EQ(std::signbit(value), std::signbit(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Valid, ReadRealTest,
    ::testing::Values(ReadCase{"210000", 210000}, ReadCase{"0.3", 0.3}, ReadCase{"1E-5", 1e-5},
                      ReadCase{"2.5E20", 2.5e20},
                      // Blanks around, signs, lower-case exponent with sign.
                      ReadCase{"  1.5  ", 1.5}, ReadCase{"-2.5e-3", -2.5e-3}, ReadCase{"+7", 7},
                      ReadCase{"1e+5", 1e5}, ReadCase{"-0", -0.0},
                      // Either side of the point may be empty, not both.
                      ReadCase{".5", 0.5}, ReadCase{"5.", 5}, ReadCase{"000123", 123},
                      // Written for the largest double; within its 15-digit rounding.
                      ReadCase{"1.79769313486232E308", kMax},
                      ReadCase{"-1.79769313486232E308", -kMax},
                      ReadCase{"1.7976931348623249999e308", kMax},
                      ReadCase{"179769313486232e294", kMax},
                      // Underflow gives the nearest value: a denormal or zero with its sign.
                      ReadCase{"4.94065645841247E-324", kDenormMin}, ReadCase{"1e-400", 0.0},
                      ReadCase{"-1e-400", -0.0},
                      ReadCase{"0.00000000000000000000000000001e-99999999999999999999", 0.0},
                      ReadCase{"0e99999999999999999999", 0.0}),
    RowName);

// A text that does not convert; labelled where the text alone would name no row or another's.
struct BadText {
  BadText(const char* t, const char* l = nullptr) : text(t), label(l) {}
  const char* text;
  const char* label;
};
void PrintTo(const BadText& c, std::ostream* os) { *os << (c.label ? c.label : c.text); }

class ReadRealErrorTest : public ::testing::TestWithParam<BadText> {};

TEST_P(ReadRealErrorTest, ThrowsWithExactMessage) {
  const char* text = GetParam().text;
  try {
    ReadReal(text);
    FAIL() << "no error for \"" << text << "\"";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), InvalidRealMessage(text));
  }
}

INSTANTIATE_TEST_SUITE_P(Invalid, ReadRealErrorTest,
                         ::testing::Values(
                             // Out of range, also just past the largest double's rounding.
                             "1e400", "-1e400", "1.797693134862325E308", "1e99999999999999999999",
                             // No special values.
                             "nan", "inf", "INF", "NAN", "-INF",
                             // Locale forms and malformed texts.
                             BadText("1,5", "decimal comma"), BadText("", "empty"),
                             BadText(" ", "blank"), BadText(".", "point alone"),
                             BadText("-", "sign alone"), "1e", "e5",
                             BadText("1e+", "exponent sign without digits"), "1.2.3", "1e5.5",
                             BadText("1 5", "blank inside"), BadText("--1", "two signs"),
                             BadText("+-1", "plus and minus"), "0x10", "1.5x",
                             BadText("\t1", "leading tab"), BadText("1\n", "trailing line end"),
                             BadText(" 1e400 ", "1e400 between blanks")),
                         RowName);

TEST(ReadRealTest, ErrorMessageQuotesTextAsGiven) {
  try {
    ReadReal(" 1,5 ");
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "' 1,5 ' is not a valid floating point value");
  }
}

// Every value the program writes must read back to a value that writes the same text.
void ExpectRoundTrip(double x) {
  const std::string text = FormatNumber(x);
  ASSERT_EQ(FormatNumber(ReadReal(text)), text) << "value " << text;
}

TEST(ReadRealTest, ReadsBackEveryWrittenValue) {
  for (double x : {0.0,
                   -0.0,
                   1.0,
                   -1.0,
                   0.1,
                   1.0 / 3,
                   2.675,
                   1e15 - 1,
                   1e15,
                   1e-4,
                   9.99999e-5,
                   kMax,
                   -kMax,
                   std::nextafter(kMax, 0.0),
                   kDenormMin,
                   -kDenormMin,
                   2 * kDenormMin,
                   std::numeric_limits<double>::min(),
                   1e308,
                   9.999999999999999e307}) {
    ExpectRoundTrip(x);
  }
  std::mt19937_64 random(7);
  for (int i = 0; i < 50000; ++i) {
    const std::uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isfinite(x)) ExpectRoundTrip(x);
  }
  std::uniform_real_distribution<double> everyday(-1e7, 1e7);
  for (int i = 0; i < 20000; ++i) ExpectRoundTrip(everyday(random));
}

struct IntegerCase {
  const char* text;
  std::int32_t expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << "\"" << c.text << "\""; }

class ReadIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ReadIntegerTest, ReadsValue) {
  EXPECT_EQ(ReadInteger(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Valid, ReadIntegerTest,
    ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"-0", 0}, IntegerCase{"+5", 5},
                      IntegerCase{"0012", 12}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", std::numeric_limits<std::int32_t>::min()},
                      // "$" takes the 32-bit pattern, either letter case.
                      IntegerCase{"$000080FF", 0x80FF}, IntegerCase{"$ff", 255},
                      IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"$80000000", std::numeric_limits<std::int32_t>::min()}),
    RowName);

class ReadIntegerErrorTest : public ::testing::TestWithParam<BadText> {};

TEST_P(ReadIntegerErrorTest, ThrowsWithExactMessage) {
  const char* text = GetParam().text;
  try {
    ReadInteger(text);
    FAIL() << "no error for \"" << text << "\"";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), InvalidIntegerMessage(text));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Invalid, ReadIntegerErrorTest,
    ::testing::Values(
        // Blanks are not trimmed here: the INI service already did.
        BadText("", "empty"), BadText(" 1", "leading blank"), BadText("1 ", "trailing blank"),
        "12a", "1.0", "1e3", BadText("+", "plus alone"), BadText("-", "minus alone"), "0x10",
        // Out of the 32-bit range.
        "2147483648", "-2147483649", "99999999999999999999999",
        // Hexadecimal: 1..8 digits, no sign.
        BadText("$", "dollar alone"), "$123456789", "$G", BadText("$-1", "dollar then minus"),
        BadText("-$1", "minus then dollar"), BadText("$ 1", "blank after the dollar")),
    RowName);

TEST(ReadIntegerTest, ErrorMessageQuotesText) {
  try {
    ReadInteger("12a");
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'12a' is not a valid integer value");
  }
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST(NumberTextReadTest, ControlCharactersCannotCutTheMessageShortButATabStays) {
  try {
    ReadReal(std::string_view("1\0x\r\n\x7f\t", 7));
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "'1?x???\t' is not a valid floating point value");
  }
}

}  // namespace
}  // namespace qv::test
