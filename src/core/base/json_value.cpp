// JSON values and their text.
#include "core/base/json_value.h"

#include <array>
#include <charconv>
#include <cmath>

#include "core/base/number_text.h"

namespace qv {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t Utf8Length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(0);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (overlong || surrogate || cp > 0x10FFFF) return 0;
  return n;
}

// A JSON string: quotes, backslashes and control characters escaped, UTF-8 unchanged, and each
// byte that is not UTF-8 as "\ufffd".
std::string StringText(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const std::size_t n = Utf8Length(s.substr(i));
      if (n == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(s.substr(i, n));
        i += n;
      }
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

void Write(const JsonValue& value, std::size_t depth, std::string& out);

// The members or elements of a container between `open` and `close`; `item` writes the i-th.
template <typename Item>
void WriteContainer(std::size_t count, bool lines, std::size_t depth, char open, char close,
                    std::string& out, const Item& item) {
  out += open;
  const std::string indent(2 * (depth + 1), ' ');
  for (std::size_t i = 0; i < count; ++i) {
    if (lines) {
      out += i == 0 ? "\n" : ",\n";
      out += indent;
    } else if (i > 0) {
      out += ", ";
    }
    item(i);
  }
  if (lines && count > 0) {
    out += '\n';
    out.append(2 * depth, ' ');
  }
  out += close;
}

void Write(const JsonValue& value, std::size_t depth, std::string& out) {
  if (std::holds_alternative<std::nullptr_t>(value.value)) {
    out += "null";
  } else if (const bool* b = std::get_if<bool>(&value.value)) {
    out += *b ? "true" : "false";
  } else if (const std::int64_t* i = std::get_if<std::int64_t>(&value.value)) {
    out += IntegerText(*i);
  } else if (const double* d = std::get_if<double>(&value.value)) {
    // JSON has no infinity or NaN; absurd inputs can still produce them.
    out += std::isfinite(*d) ? ShortestNumberText(*d) : "null";
  } else if (const std::string* s = std::get_if<std::string>(&value.value)) {
    out += StringText(*s);
  } else if (const auto* a = std::get_if<JsonValue::Array>(&value.value)) {
    WriteContainer(a->elements.size(), a->lines, depth, '[', ']', out,
                   [&](std::size_t k) { Write(a->elements[k], depth + 1, out); });
  } else {
    const auto& o = std::get<JsonValue::Object>(value.value);
    WriteContainer(o.members.size(), o.lines, depth, '{', '}', out, [&](std::size_t k) {
      out += StringText(o.members[k].first);
      out += ": ";
      Write(o.members[k].second, depth + 1, out);
    });
  }
}

}  // namespace

JsonValue JsonObject(JsonMembers members) { return JsonValue::Object{std::move(members), false}; }

JsonValue JsonLinesObject(JsonMembers members) {
  return JsonValue::Object{std::move(members), true};
}

std::string JsonText(const JsonValue& value) {
  std::string out;
  Write(value, 0, out);
  return out;
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      out += s[i++];
      continue;
    }
    const std::size_t n = Utf8Length(s.substr(i));
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string ShortestNumberText(double v) {
  std::array<char, 32> buffer{};
  return {buffer.data(), std::to_chars(buffer.data(), buffer.data() + buffer.size(), v).ptr};
}

}  // namespace qv
