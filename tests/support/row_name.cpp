// Turns the printed rows of parameterised tests into test names.
#include "support/row_name.h"

#include <charconv>

namespace qv::test {
namespace {

// ASCII only: a locale must not decide what a test is called.
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlphanumeric(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The word that stands for label[i] in a name, or nullptr when that character only ends a word.
const char* SpeltAs(std::string_view label, std::size_t i) {
  const auto at = [label](std::size_t k) { return k < label.size() ? label[k] : '\0'; };
  const char c = label[i];
  const char before = i > 0 ? label[i - 1] : '\0';
  if (c == '-' || c == '+') {
    // A sign opens a value ("-5", "-inf") or an exponent ("1e-5"); inside a word ("UTF-16") or
    // doubled ("--width") it is punctuation.
    const bool opensValue = !IsAlphanumeric(before) && before != '-' && before != '+' &&
                            (IsAlphanumeric(at(i + 1)) || (at(i + 1) == '.' && IsDigit(at(i + 2))));
    const bool opensExponent =
        (before == 'e' || before == 'E') && i >= 2 && IsDigit(label[i - 2]) && IsDigit(at(i + 1));
    if (opensValue || opensExponent) return c == '-' ? "Minus" : "Plus";
  }
  if (c == '.' && (IsDigit(before) || IsDigit(at(i + 1)))) return "Point";
  if (c == '$' && IsAlphanumeric(at(i + 1))) return "Hex";
  return nullptr;
}

}  // namespace

std::string TestNameOf(std::string_view label) {
  std::string name;
  bool wordStart = true;
  for (std::size_t i = 0; i < label.size(); ++i) {
    const char c = label[i];
    if (IsAlphanumeric(c)) {
      name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      wordStart = false;
    } else {
      if (const char* word = SpeltAs(label, i)) name += word;
      wordStart = true;  // also after a spelt word: "-inf" -> "MinusInf"
    }
  }
  return name;
}

std::string NumberLabel(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace qv::test
