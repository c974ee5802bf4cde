// Locale-free number texts: decimal rounding on the exact binary value and strict readers.
#include "core/base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "core/base/error.h"

namespace qv {
namespace {

// A finite value as 0.d1d2..dk x 10^n with no trailing zero digits; zero has no digits and n = 0.
struct Decimal {
  bool negative = false;
  std::string digits;
  int n = 0;
};

// Enough significant digits for the full decimal expansion of every double (the longest,
// of the denormals, has 767), so rounding below looks at true digits, never rounded ones.
constexpr int kExactDigits = 800;

void StripTrailingZeros(Decimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.n = 0;
}

// Short expansion tried first: correctly rounded to this many digits, it decides every rounding
// at up to 18 digits exactly except when its dropped part reads 5000...; see Rounded().
constexpr int kShortDigits = 40;

Decimal DecimalDigits(double v, int significant) {
  Decimal d;
  d.negative = std::signbit(v);
  char buffer[kExactDigits + 16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v),
                                    std::chars_format::scientific, significant - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  d.digits.reserve(e);
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') d.digits.push_back(text[i]);
  }
  std::size_t pos = e + 1;
  const bool negativeExponent = text[pos] == '-';
  if (text[pos] == '-' || text[pos] == '+') ++pos;
  int exponent = 0;
  std::from_chars(text.data() + pos, text.data() + text.size(), exponent);
  d.n = (negativeExponent ? -exponent : exponent) + 1;
  StripTrailingZeros(d);
  return d;
}

Decimal ExactDecimal(double v) { return DecimalDigits(v, kExactDigits); }

// Keeps at most `keep` digits, halves away from zero. The digits are exact, so the first dropped
// digit alone decides: 5 or more means at least half a unit of the last kept digit.
void RoundToDigits(Decimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.n = 0;
    return;
  }
  const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
      d.digits[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[static_cast<std::size_t>(i)];
    } else {
      // Every kept digit was a 9 (or none was kept): the value moves up one decade.
      d.digits.insert(d.digits.begin(), '1');
      ++d.n;
    }
  }
  StripTrailingZeros(d);
}

// v rounded to `keep(d)` significant digits, where keep may depend on the decade of v. The
// 40-digit expansion gives the same result as the exact one unless its dropped digits are a 5
// followed by zeros only: then the exact digits may lie just below the half, so they decide.
template <typename Keep>
Decimal Rounded(double v, Keep keep) {
  Decimal d = DecimalDigits(v, kShortDigits);
  const int k = keep(d);
  if (k >= 0 && static_cast<std::size_t>(k) + 1 == d.digits.size() &&
      d.digits[static_cast<std::size_t>(k)] == '5') {
    d = ExactDecimal(v);
  }
  RoundToDigits(d, keep(d));
  return d;
}

std::string NonFiniteText(double v) {
  if (std::isnan(v)) return "NAN";
  return v < 0 ? "-INF" : "INF";
}

std::string WriteGeneral(const Decimal& d, int precision, int exponentDigits) {
  std::string out;
  if (d.digits.empty()) return "0";
  if (d.negative) out.push_back('-');
  const int k = static_cast<int>(d.digits.size());
  if (d.n >= -3 && d.n <= precision) {
    if (d.n <= 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-d.n), '0');
      out += d.digits;
    } else {
      out.append(d.digits, 0, static_cast<std::size_t>(std::min(d.n, k)));
      if (d.n > k) out.append(static_cast<std::size_t>(d.n - k), '0');
      if (k > d.n) {
        out.push_back('.');
        out.append(d.digits, static_cast<std::size_t>(d.n));
      }
    }
    return out;
  }
  out.push_back(d.digits[0]);
  if (k > 1) {
    out.push_back('.');
    out.append(d.digits, 1);
  }
  out.push_back('E');
  const int exponent = d.n - 1;
  if (exponent < 0) out.push_back('-');
  const std::string magnitude = IntegerText(exponent < 0 ? -exponent : exponent);
  const int width = exponentDigits > 4 ? 0 : exponentDigits;
  if (width > static_cast<int>(magnitude.size())) {
    out.append(static_cast<std::size_t>(width) - magnitude.size(), '0');
  }
  out += magnitude;
  return out;
}

int ClampPrecision(int precision) { return std::clamp(precision, 2, 18); }

bool IsBlank(char c) { return c == ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The largest double rounded to 15 significant digits is 1.79769313486232E308; every text that
// would round to the same 15 digits (below 1.797693134862325E308) stands for the largest double.
constexpr std::string_view kLargestDoubleBound = "1797693134862325";
constexpr int kLargestDoubleExponent = 308;

// Whether the significant digits (leading zeros removed) with decimal exponent sciExponent of
// the form d.ddd x 10^sciExponent are below the bound above.
bool WithinLargestDoubleRounding(std::string_view significant, long long sciExponent) {
  if (sciExponent != kLargestDoubleExponent) return false;
  const std::size_t length = std::max(significant.size(), kLargestDoubleBound.size());
  for (std::size_t i = 0; i < length; ++i) {
    const char a = i < significant.size() ? significant[i] : '0';
    const char b = i < kLargestDoubleBound.size() ? kLargestDoubleBound[i] : '0';
    if (a != b) return a < b;
  }
  return false;
}

}  // namespace

std::string FormatGeneral(double v, int precision, int digits) {
  if (!std::isfinite(v)) return NonFiniteText(v);
  precision = ClampPrecision(precision);
  Decimal d = Rounded(v, [&](const Decimal&) { return precision; });
  return WriteGeneral(d, precision, digits);
}

std::string FormatFixed(double v, int precision, int digits) {
  if (!std::isfinite(v)) return NonFiniteText(v);
  precision = ClampPrecision(precision);
  digits = std::clamp(digits, 0, 18);
  Decimal d = Rounded(v, [&](const Decimal& x) {
    return x.digits.empty() ? 0 : std::min(precision, x.n + digits);
  });
  if (d.n > precision) return WriteGeneral(d, precision, digits);

  std::string out;
  if (d.negative && !d.digits.empty()) out.push_back('-');
  const int k = static_cast<int>(d.digits.size());
  if (d.n <= 0) {
    out.push_back('0');
  } else {
    out.append(d.digits, 0, static_cast<std::size_t>(std::min(d.n, k)));
    if (d.n > k) out.append(static_cast<std::size_t>(d.n - k), '0');
  }
  if (digits > 0) {
    out.push_back('.');
    std::string decimals;
    if (d.n < 0) decimals.append(static_cast<std::size_t>(-d.n), '0');
    if (k > std::max(d.n, 0)) decimals.append(d.digits, static_cast<std::size_t>(std::max(d.n, 0)));
    decimals.resize(static_cast<std::size_t>(digits), '0');
    out += decimals;
  }
  return out;
}

int DecimalOrder(double x) {
  // Comparisons only: NaN and +INF find no power and give 16, without any conversion to int.
  double power = 1;
  for (int i = 1; i <= 16; ++i) {
    power *= 10;  // exact for every power used here
    if (power >= x) return i - 1;
  }
  return 16;
}

std::string FormatScaled(double v, int e) {
  if (!std::isfinite(v)) return NonFiniteText(v);
  // "1e<e>" reads as the correctly rounded power of ten for every e, exact up to 10^22.
  const std::string powerText = "1e" + IntegerText(e);
  double power = 1;
  const auto read = std::from_chars(powerText.data(), powerText.data() + powerText.size(), power);
  if (read.ec == std::errc::result_out_of_range) {
    power = e > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  const double scaled = v / power;
  if (!std::isfinite(scaled)) return NonFiniteText(scaled);
  return FormatFixed(scaled, 8, 3) + "E" + IntegerText(e);
}

std::string IntegerText(std::int64_t value) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string FormatNumber(double v) { return FormatGeneral(v, 15, 0); }

double ReadReal(std::string_view text) {
  const auto fail = [&]() -> double { throw Error(InvalidRealMessage(text)); };
  std::size_t pos = 0;
  const std::size_t size = text.size();
  while (pos < size && IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < size && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t numberStart = pos;

  // Significant digits and the decimal exponent of the first of them, for the range check.
  std::string significant;
  long long leadingExponent = 0;
  long long integerDigits = 0;
  std::size_t mantissaDigits = 0;
  bool seenNonZero = false;
  for (; pos < size && IsDigit(text[pos]); ++pos, ++mantissaDigits) {
    if (text[pos] != '0') seenNonZero = true;
    if (seenNonZero) {
      significant.push_back(text[pos]);
      ++integerDigits;
    }
  }
  leadingExponent = integerDigits - 1;
  if (pos < size && text[pos] == '.') {
    ++pos;
    long long fractionPosition = 0;
    for (; pos < size && IsDigit(text[pos]); ++pos, ++mantissaDigits) {
      --fractionPosition;
      if (!seenNonZero && text[pos] != '0') {
        seenNonZero = true;
        leadingExponent = fractionPosition;
      }
      if (seenNonZero) significant.push_back(text[pos]);
    }
  }
  if (mantissaDigits == 0) return fail();

  long long exponent = 0;
  if (pos < size && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool negativeExponent = false;
    if (pos < size && (text[pos] == '+' || text[pos] == '-')) {
      negativeExponent = text[pos] == '-';
      ++pos;
    }
    const std::size_t exponentStart = pos;
    for (; pos < size && IsDigit(text[pos]); ++pos) {
      // Saturates far beyond any double's range; only the direction matters from there on.
      if (exponent < 100000000) exponent = exponent * 10 + (text[pos] - '0');
    }
    if (pos == exponentStart) return fail();
    if (negativeExponent) exponent = -exponent;
  }
  const std::size_t numberEnd = pos;
  while (pos < size && IsBlank(text[pos])) ++pos;
  if (pos != size) return fail();

  double value = 0;
  const auto result = std::from_chars(text.data() + numberStart, text.data() + numberEnd, value,
                                      std::chars_format::general);
  if (result.ptr != text.data() + numberEnd) return fail();
  if (result.ec == std::errc::result_out_of_range) {
    const long long sciExponent = leadingExponent + exponent;
    if (sciExponent < 0) {
      value = 0;  // below half the smallest denormal: zero is the nearest value
    } else if (WithinLargestDoubleRounding(significant, sciExponent)) {
      value = std::numeric_limits<double>::max();
    } else {
      return fail();
    }
  } else if (result.ec != std::errc()) {
    return fail();
  }
  return negative ? -value : value;
}

std::int32_t ReadInteger(std::string_view text) {
  const auto fail = [&]() -> std::int32_t { throw Error(InvalidIntegerMessage(text)); };
  if (text.empty()) return fail();
  const char* const end = text.data() + text.size();
  if (text[0] == '$') {
    const std::size_t hexDigits = text.size() - 1;
    if (hexDigits < 1 || hexDigits > 8) return fail();
    std::uint32_t pattern = 0;
    const auto result = std::from_chars(text.data() + 1, end, pattern, 16);
    if (result.ec != std::errc() || result.ptr != end) return fail();
    return static_cast<std::int32_t>(pattern);  // the 32-bit pattern, so "$FFFFFFFF" is -1
  }
  std::size_t pos = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size() || !IsDigit(text[pos])) return fail();
  std::uint64_t magnitude = 0;
  const auto result = std::from_chars(text.data() + pos, end, magnitude, 10);
  if (result.ec != std::errc() || result.ptr != end) return fail();
  const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
  if (magnitude > limit) return fail();
  return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                  : static_cast<std::int32_t>(magnitude);
}

}  // namespace qv
