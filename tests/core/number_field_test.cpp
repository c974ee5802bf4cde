// Tests of the typed number fields' rules: reading integer and real texts, classifying a field's
// text against its type and range, the range it shows, and keeping text and values in step.
#include "core/base/number_field.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "core/base/field_number.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr auto kInt = TNumberType::IntType;
constexpr auto kReal = TNumberType::RealType;
constexpr auto kValid = ValidationStatus::Valid;
constexpr auto kTypeRange = ValidationStatus::TypeRange;
constexpr auto kUserRange = ValidationStatus::UserRange;
constexpr auto kSyntax = ValidationStatus::SyntaxError;
constexpr std::nullopt_t kKeeps = std::nullopt;  // the field keeps its last value

// A field text as words, so that texts told apart by blanks, signs or points name their rows
// apart ("  42" -> "blank blank 42", "" -> "empty").
std::string TextLabel(std::string_view text) {
  constexpr std::string_view kMarks = " -+.,$";
  constexpr const char* kWords[] = {"blank", "minus", "plus", "point", "comma", "dollar"};
  std::string label = text.empty() ? "empty" : "";
  for (const char c : text) {
    const std::size_t mark = kMarks.find(c);
    const bool alphanumeric =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (mark != std::string_view::npos) {
      label += ' ';
      label += kWords[mark];
      label += ' ';
    } else if (alphanumeric) {
      label += c;
    } else {
      label += " byte " + std::to_string(static_cast<unsigned char>(c)) + " ";
    }
  }
  return label;
}

const char* TypeLabel(TNumberType type) { return type == kInt ? "integer" : "real"; }

template <typename T>
struct TextCase {
  const char* text;
  std::optional<T> value;  // nothing: the text does not read
};
template <typename T>
void PrintTo(const TextCase<T>& c, std::ostream* os) {
  *os << TextLabel(c.text);
}
using IntegerTextCase = TextCase<std::int32_t>;
using RealTextCase = TextCase<double>;

class NumberFieldIntegerTextTest : public ::testing::TestWithParam<IntegerTextCase> {};

TEST_P(NumberFieldIntegerTextTest, ReadsValueOrNothing) {
  EXPECT_EQ(ParseIntegerText(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberFieldIntegerTextTest,
    ::testing::Values(
        // Both ends of 32 bits, and just beyond.
        IntegerTextCase{"-2147483648", INT32_MIN}, IntegerTextCase{"2147483647", 2147483647},
        IntegerTextCase{"2147483648", std::nullopt},
        // Leading zeros do not count against the length.
        IntegerTextCase{"000000000000000000012", 12},
        // "0x" in lower case as well.
        IntegerTextCase{"0x7fffffff", 2147483647},
        // A hexadecimal prefix needs digits, and digits only.
        IntegerTextCase{"$", std::nullopt}, IntegerTextCase{"0x", std::nullopt},
        IntegerTextCase{"$1G", std::nullopt},
        // Blanks inside, nothing but blanks, a blank after the sign.
        IntegerTextCase{"1 2", std::nullopt}, IntegerTextCase{"", std::nullopt},
        IntegerTextCase{"   ", std::nullopt}, IntegerTextCase{"- 1", std::nullopt},
        // A non-ASCII digit (ARABIC-INDIC DIGIT ONE in UTF-8) is no digit.
        IntegerTextCase{"\xD9\xA1", std::nullopt}),
    RowName);

class NumberFieldRealTextTest : public ::testing::TestWithParam<RealTextCase> {};

TEST_P(NumberFieldRealTextTest, ReadsValueOrNothing) {
  EXPECT_EQ(ParseRealText(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberFieldRealTextTest,
    ::testing::Values(
        // A point alone, also signed or before an exponent, is 0; a sign alone is nothing.
        RealTextCase{".", 0.0}, RealTextCase{"-.", 0.0}, RealTextCase{".e1", 0.0},
        RealTextCase{"-", std::nullopt}, RealTextCase{"+", std::nullopt},
        // A fraction alone; an exponent with its sign.
        RealTextCase{".25", 0.25}, RealTextCase{"1.5E+3", 1500.0},
        // An exponent sign needs digits.
        RealTextCase{"1e+", std::nullopt},
        // Beyond the range of a double.
        RealTextCase{"1e400", std::nullopt},
        // Correctly rounded.
        RealTextCase{"0.1", 0.1},
        // No blanks inside.
        RealTextCase{"1 .5", std::nullopt}),
    RowName);

struct IntegerCase {
  const char* text;
  ValidationStatus status;
  std::optional<std::int32_t> value;
};
void PrintTo(const IntegerCase& c, std::ostream* os) { *os << TextLabel(c.text); }

// An integer field whose range is 0..100000.
class NumberFieldIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(NumberFieldIntegerTest, ClassifiesTextAndReadsValue) {
  NumberField field;
  field.SetMax(100000);
  const NumberReading reading = field.Read(GetParam().text);
  EXPECT_EQ(reading.status, GetParam().status);
  EXPECT_EQ(reading.keptStatus, GetParam().status);
  EXPECT_EQ(reading.intValue, GetParam().value);
  EXPECT_FALSE(reading.realValue.has_value());
  EXPECT_FALSE(reading.partsDisagree);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberFieldIntegerTest,
    ::testing::Values(
        // Out of the field's range: reported, and the value is taken all the same.
        IntegerCase{"100001", kUserRange, 100001}, IntegerCase{"-1", kUserRange, -1},
        // The maximum itself.
        IntegerCase{"100000", kValid, 100000},
        // Not a number, or no number at all: the last value stays.
        IntegerCase{"12a", kSyntax, kKeeps}, IntegerCase{"", kSyntax, kKeeps},
        IntegerCase{"-", kSyntax, kKeeps},
        // The two lowest 32-bit values are beyond the type's range; the next is only out of the
        // user's.
        IntegerCase{"-2147483647", kTypeRange, -2147483647},
        IntegerCase{"-2147483646", kUserRange, -2147483646},
        // Beyond 32 bits does not read at all.
        IntegerCase{"99999999999", kSyntax, kKeeps},
        // Leading blanks and a plus sign are allowed, a trailing blank is not.
        IntegerCase{"  42", kValid, 42}, IntegerCase{"+42", kValid, 42},
        IntegerCase{"42 ", kSyntax, kKeeps},
        // The hexadecimal forms.
        IntegerCase{"$1F", kValid, 31}, IntegerCase{"xff", kValid, 255},
        IntegerCase{"0X10", kValid, 16},
        // Eight F digits are the pattern of -1, below Min; nine digits or a sign do not read.
        IntegerCase{"$FFFFFFFF", kUserRange, -1}, IntegerCase{"$000000001", kSyntax, kKeeps},
        IntegerCase{"-$1", kSyntax, kKeeps},
        // An integer field has no exponent.
        IntegerCase{"1e3", kSyntax, kKeeps}),
    RowName);

struct RealCase {
  const char* text;
  ValidationStatus status;  // reported when the focus is to leave
  std::optional<double> value;
  std::optional<ValidationStatus> kept = std::nullopt;  // nothing: `status`
  bool partsDisagree = false;
};
void PrintTo(const RealCase& c, std::ostream* os) { *os << TextLabel(c.text); }

// A real field whose range is 0..1000000.
class NumberFieldRealTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(NumberFieldRealTest, ClassifiesTextAndReadsValue) {
  const RealCase& c = GetParam();
  NumberField field;
  field.SetType(kReal);
  field.SetMax(1000000);
  const NumberReading reading = field.Read(c.text);
  EXPECT_EQ(reading.status, c.status);
  EXPECT_EQ(reading.keptStatus, c.kept.value_or(c.status));
  EXPECT_EQ(reading.realValue, c.value);
  EXPECT_FALSE(reading.intValue.has_value());
  EXPECT_EQ(reading.partsDisagree, c.partsDisagree);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberFieldRealTest,
    ::testing::Values(
        // Exponents after "e" or "E", with a sign or without.
        RealCase{"2.1e5", kValid, 210000.0}, RealCase{"2.1E5", kValid, 210000.0},
        RealCase{"25e-1", kValid, 2.5},
        // A marker without an exponent, an exponent that is a lone sign, no mantissa, two markers.
        RealCase{"2.1e", kSyntax, kKeeps}, RealCase{"1e ", kSyntax, kKeeps},
        RealCase{"1e-", kSyntax, kKeeps}, RealCase{"e5", kSyntax, kKeeps},
        RealCase{"1ee5", kSyntax, kKeeps},
        // Beyond a double: refused, and the field keeps its last finite value.
        RealCase{"1e400", kTypeRange, kKeeps},
        // A zero mantissa counts as decimal exponent -300, so any negative exponent is too small.
        RealCase{"0e-1", kTypeRange, 0.0}, RealCase{"1e-301", kTypeRange, 1e-301},
        // A point alone is 0; a trailing point and leading blanks are allowed.
        RealCase{".", kValid, 0.0}, RealCase{"5.", kValid, 5.0}, RealCase{"  7.5", kValid, 7.5},
        // A trailing blank, two points, a decimal comma, a hexadecimal text.
        RealCase{"7.5 ", kSyntax, kKeeps}, RealCase{"1.2.3", kSyntax, kKeeps},
        RealCase{"1,5", kSyntax, kKeeps}, RealCase{"$10", kSyntax, kKeeps},
        // Out of the field's range, also through the exponent: the value is taken.
        RealCase{"2000000", kUserRange, 2000000.0}, RealCase{"1.1e6", kUserRange, 1100000.0},
        RealCase{"-1", kUserRange, -1.0},
        // A lone minus passes the range test as 0 and is a syntax error afterwards: the field
        // holds the focus without a message, and its value is 0.
        RealCase{"-", kValid, 0.0, kSyntax},
        // A blank after the "e": both parts read alone but not together; the value is
        // mantissa x 10^exponent.
        RealCase{"1e 5", kValid, 100000.0, std::nullopt, true}),
    RowName);

struct RangeCase {
  TNumberType type;
  double max;  // set first
  double min;  // set next
  double shownMax;
  const char* rangeText;
  const char* text;
  ValidationStatus status;
};
void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << TypeLabel(c.type) << " max " << NumberLabel(c.max) << " min " << NumberLabel(c.min)
      << " reads " << TextLabel(c.text);
}

class NumberFieldRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(NumberFieldRangeTest, ShowsRangeAndClassifiesAgainstStoredMaximum) {
  const RangeCase& c = GetParam();
  NumberField field;
  field.SetType(c.type);
  field.SetMax(c.max);
  field.SetMin(c.min);
  EXPECT_EQ(field.Max(), c.shownMax);
  EXPECT_EQ(field.RangeText(), c.rangeText);
  EXPECT_EQ(field.Read(c.text).status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberFieldRangeTest,
    ::testing::Values(
        // A maximum never set (setting it to Min is ignored) reads Min + 100, but lets nothing
        // above Min through.
        RangeCase{kInt, 0, 0, 100, "0 100", "6", kUserRange},
        RangeCase{kInt, 0, 0, 100, "0 100", "0", kValid},
        // So does a maximum that Min was then set to.
        RangeCase{kReal, 100, 100, 200, "100 200", "150", kUserRange},
        // The maximum belongs to the range; eight significant digits, three exponent digits.
        RangeCase{kReal, 1.5e9, -2.5, 1.5e9, "-2.5 1.5E009", "1.5e9", kValid}),
    RowName);

enum class Write { Text, Int, Real };
constexpr const char* kWriteLabels[] = {"text", "integer", "real"};

struct WriteCase {
  TNumberType type;
  const char* before;  // the text written first
  Write write;
  const char* text;  // written when `write` is Text
  double number;     // written when `write` is Int or Real
  const char* shown;
  std::int32_t intValue;
  double realValue;
};
void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << TypeLabel(c.type) << " showing " << TextLabel(c.before) << " takes "
      << kWriteLabels[static_cast<int>(c.write)] << " "
      << (c.write == Write::Text ? TextLabel(c.text) : NumberLabel(c.number));
}

class NumberFieldWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(NumberFieldWriteTest, KeepsTextAndValuesInStep) {
  const WriteCase& c = GetParam();
  NumberField field;
  field.SetType(c.type);
  // The field keeps the text it shows until a write gives it another.
  std::string shown = c.before;
  const auto show = [&shown](const std::optional<std::string>& written) {
    if (written) shown = *written;
  };
  show(field.WriteText(shown));
  if (c.write == Write::Text) shown = c.text;
  show(c.write == Write::Text  ? field.WriteText(shown)
       : c.write == Write::Int ? field.WriteIntValue(shown, static_cast<std::int32_t>(c.number))
                               : field.WriteRealValue(shown, c.number));
  EXPECT_EQ(shown, c.shown);
  EXPECT_EQ(field.IntValue(), c.intValue);
  EXPECT_EQ(field.RealValue(), c.realValue);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberFieldWriteTest,
    ::testing::Values(
        // A text sets the value of the field's type; one that does not read sets 0 and stays.
        WriteCase{kInt, "0", Write::Text, "$1F", 0, "$1F", 31, 0},
        WriteCase{kInt, "5", Write::Text, "abc", 0, "abc", 0, 0},
        // An empty text becomes the zero value's text.
        WriteCase{kInt, "5", Write::Text, "", 0, "0", 0, 0},
        // A value rewrites a text of another value; another text of the same value stays, and so
        // does a text that does not read.
        WriteCase{kInt, "0", Write::Int, "", 123, "123", 123, 0},
        WriteCase{kInt, "$10", Write::Int, "", 16, "$10", 16, 0},
        WriteCase{kInt, "abc", Write::Int, "", 5, "abc", 5, 0},
        // Large integers are written in full, so the field reads back what was written.
        WriteCase{kInt, "0", Write::Int, "", 123456789, "123456789", 123456789, 0},
        WriteCase{kInt, "0", Write::Int, "", -2147483648.0, "-2147483648", INT32_MIN, 0},
        // Reals get eight significant digits and three exponent digits.
        WriteCase{kReal, "0", Write::Real, "", 2.5e20, "2.5E020", 0, 2.5e20},
        WriteCase{kReal, "0", Write::Real, "", 1e-5, "1E-005", 0, 1e-5},
        // The value follows the eight digits written.
        WriteCase{kReal, "0", Write::Real, "", 0.123456789, "0.12345679", 0, 0.12345679},
        WriteCase{kReal, "2.50", Write::Real, "", 2.5, "2.50", 0, 2.5},
        // A point alone reads as 0; a blank in the exponent does not read and gives 0.
        WriteCase{kReal, "3", Write::Text, ".", 0, ".", 0, 0},
        WriteCase{kReal, "3", Write::Text, "1e 5", 0, "1e 5", 0, 0}),
    RowName);

}  // namespace
}  // namespace qv::test
