// Classifying, reading and writing back the numbers of the typed fields.
#include "core/base/number_field.h"

#include <cmath>
#include <utility>

#include "core/base/field_number.h"
#include "core/base/number_text.h"

namespace qv {
namespace {

bool IsLoneSign(std::string_view text) { return text == "-" || text == "+"; }

// Rounded decimal exponent of x, ties to even; -300 for 0, so a zero mantissa with a negative
// exponent counts as too small.
int DecimalExponent(double x) {
  if (x == 0 || std::isnan(x)) return -300;
  if (std::isinf(x)) return 400;
  // The default rounding mode rounds halves to the even neighbour.
  return static_cast<int>(std::nearbyint(std::log10(std::fabs(x))));
}

ExponentSplit SplitExponent(TNumberType type, std::string_view text) {
  ExponentSplit parts;
  parts.mantissa = text;
  if (type == TNumberType::IntType) return parts;
  std::size_t p = text.find('e');
  if (p == std::string_view::npos) p = text.find('E');
  if (p == std::string_view::npos) return parts;
  parts.mantissa = text.substr(0, p);
  parts.exponent = text.substr(p + 1);
  parts.marker = true;
  return parts;
}

// Eight significant digits cannot show every 32-bit integer, and an integer field must read back
// what was written, so large integers are written in full.
std::string IntegerValueText(std::int32_t value) {
  std::string general = FormatGeneral(value, 8, 3);
  if (ParseIntegerText(general) == value) return general;
  return IntegerText(value);
}

std::string RealValueText(double value) { return FormatGeneral(value, 8, 3); }

}  // namespace

// The text a field shows while a write runs, and whether the write replaced it: every new text is
// taken in turn, as if the field had been given it, and may change the values once more.
struct NumberField::Shown {
  std::string text;
  bool replaced = false;
};

std::string_view StatusMessage(ValidationStatus status) {
  switch (status) {
    case ValidationStatus::TypeRange:
      return "Number exceeds compiler range.";
    case ValidationStatus::UserRange:
      return "Number exceeds user defined range.";
    case ValidationStatus::SyntaxError:
      return "Error in number.";
    case ValidationStatus::Valid:
      break;
  }
  return {};
}

std::string RangeProblem(std::string_view what, double value, double min, double max,
                         std::string_view unit) {
  if (value >= min && value <= max) return {};
  return std::string(StatusMessage(ValidationStatus::UserRange)) + " " + std::string(what) +
         " must lie in " + FormatNumber(min) + ".." + FormatNumber(max) + " " + std::string(unit) +
         ", not " + FormatNumber(value) + ".";
}

std::string PartsMessage(const ExponentSplit& parts) {
  return "NUMEDIT: There is something wrong !!\rMantisse: " + parts.mantissa +
         "\rExponent: " + parts.exponent;
}

bool NumberField::SetMin(double value) {
  if (value == mMin) return false;
  mMin = value;
  return true;
}

double NumberField::Max() const { return mMax == mMin ? mMin + 100 : mMax; }

bool NumberField::SetMax(double value) {
  if (value == mMax || value == mMin) return false;
  mMax = value;
  return true;
}

std::string NumberField::RangeText() const {
  return FormatGeneral(mMin, 8, 3) + " " + FormatGeneral(Max(), 8, 3);
}

NumberReading NumberField::Read(std::string_view text) const {
  NumberReading reading;
  reading.parts = SplitExponent(mType, text);
  const std::string& mantissa = reading.parts.mantissa;
  const std::string& exponent = reading.parts.exponent;
  // The range tests use the stored maximum, not Max.
  const auto outside = [this](double v) { return v < mMin || v > mMax; };
  const auto conclude = [&reading](ValidationStatus status) {
    reading.status = status;
    reading.keptStatus = status;
    return reading;
  };

  if (reading.parts.marker && exponent.empty()) return conclude(ValidationStatus::SyntaxError);

  if (mType == TNumberType::IntType) {
    const auto value = ParseIntegerText(mantissa);
    if (!value) return conclude(ValidationStatus::SyntaxError);
    reading.intValue = *value;
    if (*value < -2147483646) return conclude(ValidationStatus::TypeRange);
    return conclude(outside(*value) ? ValidationStatus::UserRange : ValidationStatus::Valid);
  }

  bool syntaxError = false;
  std::int64_t e = 0;
  if (IsLoneSign(exponent)) {
    syntaxError = true;
  } else if (!exponent.empty()) {
    const auto value = ParseIntegerText(exponent);
    if (value) {
      e = *value;
    } else {
      syntaxError = true;
    }
  }
  double m = 0;
  const bool loneSign = IsLoneSign(mantissa);
  if (mantissa.empty()) {
    syntaxError = true;
  } else if (!loneSign) {
    const auto value = ParseRealText(mantissa);
    if (value) {
      m = *value;
    } else {
      syntaxError = true;
    }
  }
  if (syntaxError) return conclude(ValidationStatus::SyntaxError);

  // The whole text read at once is correctly rounded; m x 10^e is only needed when the parts read
  // but the whole does not. A value beyond the range of a double (marked as out of range below)
  // keeps the last one instead of becoming infinite.
  std::optional<double> whole;
  if (!loneSign) whole = ParseRealText(exponent.empty() ? mantissa : text);
  const double value = whole ? *whole : m * std::pow(10.0, static_cast<double>(e));
  if (std::isfinite(value)) reading.realValue = value;

  ValidationStatus status = ValidationStatus::Valid;
  if (!exponent.empty()) {
    const std::int64_t magnitude = DecimalExponent(m) + e;
    if (magnitude < -300 || magnitude > 300) {
      status = ValidationStatus::TypeRange;
    } else if (const auto joined = ParseRealText(e == 0 ? mantissa : mantissa + 'E' + exponent)) {
      if (outside(*joined)) status = ValidationStatus::UserRange;
    } else {
      // Both parts read on their own, but not together (for example a blank after the "e").
      reading.partsDisagree = true;
    }
  } else if ((m != 0 && std::fabs(m) < 1E-300) || std::fabs(m) > 1E+300) {
    status = ValidationStatus::TypeRange;
  } else if (outside(m)) {
    status = ValidationStatus::UserRange;
  }
  reading.status = status;
  reading.keptStatus = loneSign ? ValidationStatus::SyntaxError : status;
  return reading;
}

void NumberField::Take(const NumberReading& reading) {
  if (reading.intValue) mIntValue = *reading.intValue;
  if (reading.realValue) mRealValue = *reading.realValue;
}

std::optional<std::string> NumberField::WriteText(std::string_view shown) {
  Shown state{std::string(shown)};
  FollowText(state);
  if (!state.replaced) return std::nullopt;
  return std::move(state.text);
}

std::optional<std::string> NumberField::WriteIntValue(std::string_view shown, std::int32_t value) {
  Shown state{std::string(shown)};
  PutInt(state, value);
  if (!state.replaced) return std::nullopt;
  return std::move(state.text);
}

std::optional<std::string> NumberField::WriteRealValue(std::string_view shown, double value) {
  Shown state{std::string(shown)};
  PutReal(state, value);
  if (!state.replaced) return std::nullopt;
  return std::move(state.text);
}

void NumberField::FollowText(Shown& shown) {
  if (mType == TNumberType::IntType) {
    const auto value = ParseIntegerText(shown.text);
    if (!value) {
      PutInt(shown, 0);
    } else if (*value != mIntValue) {
      PutInt(shown, *value);
    }
  } else {
    const auto value = ParseRealText(shown.text);
    if (!value) {
      PutReal(shown, 0);
    } else if (*value != mRealValue) {
      PutReal(shown, *value);
    }
  }
}

void NumberField::PutInt(Shown& shown, std::int32_t value) {
  mIntValue = value;
  if (shown.text.empty()) {
    Replace(shown, IntegerValueText(value));
    return;
  }
  const auto read = ParseIntegerText(shown.text);
  if (read && *read != value) Replace(shown, IntegerValueText(value));
}

void NumberField::PutReal(Shown& shown, double value) {
  mRealValue = value;
  if (shown.text.empty()) {
    Replace(shown, RealValueText(value));
    return;
  }
  const auto read = ParseRealText(shown.text);
  if (read && *read != value) Replace(shown, RealValueText(value));
}

void NumberField::Replace(Shown& shown, std::string text) {
  shown.text = std::move(text);
  shown.replaced = true;
  FollowText(shown);
}

}  // namespace qv
