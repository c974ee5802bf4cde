// Reading the numeric fields' texts.
#include "core/base/field_number.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace qv {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::int32_t> ParseIntegerText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return std::nullopt;

  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  } else {
    std::size_t hexStart = 0;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
      hexStart = i + 1;
    } else if (text[i] == '0' && i + 1 < text.size() &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      hexStart = i + 2;
    }
    if (hexStart != 0) {
      const std::string_view digits = text.substr(hexStart);
      if (digits.empty() || digits.size() > 8) return std::nullopt;
      std::uint32_t pattern = 0;
      for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        pattern = pattern * 16 + static_cast<std::uint32_t>(d);
      }
      return static_cast<std::int32_t>(pattern);
    }
  }

  if (i == text.size()) return std::nullopt;
  // Magnitudes up to 2^31 fit the negative side; leading zeros are allowed in any number.
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483648LL) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<double> ParseRealText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t intStart = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  const std::string_view intDigits = text.substr(intStart, i - intStart);
  bool point = false;
  std::string_view fraction;
  if (i < text.size() && text[i] == '.') {
    point = true;
    const std::size_t fracStart = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    fraction = text.substr(fracStart, i - fracStart);
  }
  if (intDigits.empty() && !point) return std::nullopt;

  std::string normal;
  normal.reserve(text.size() + 4);
  if (negative) normal += '-';
  normal += intDigits.empty() ? std::string_view("0") : intDigits;
  normal += '.';
  normal += fraction.empty() ? std::string_view("0") : fraction;

  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    normal += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    const std::size_t expStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == expStart || i != text.size()) return std::nullopt;
    normal += text.substr(expStart);
  }

  double value = 0;
  const char* end = normal.data() + normal.size();
  const auto result = std::from_chars(normal.data(), end, value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace qv
