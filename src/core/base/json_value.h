// A JSON document as values: what the batch tool writes as text and the Python module hands over
// as dicts and lists, built once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace qv {

/// One JSON value. Whole numbers that count something are integers; every measured value is a
/// double, written in its shortest round-trip form (null when it is not finite). An object keeps
/// its members in the order they were added; `lines` lays a container out one member or element
/// per line in the text.
struct JsonValue {
  struct Array {
    std::vector<JsonValue> elements;
    bool lines = false;
  };
  struct Object {
    std::vector<std::pair<std::string, JsonValue>> members;
    bool lines = false;
  };
  using Variant =
      std::variant<std::nullptr_t, bool, std::int64_t, double, std::string, Array, Object>;

  JsonValue() : value(nullptr) {}
  JsonValue(std::nullptr_t) : value(nullptr) {}             // NOLINT(google-explicit-constructor)
  JsonValue(bool b) : value(b) {}                           // NOLINT(google-explicit-constructor)
  JsonValue(int i) : value(std::int64_t{i}) {}              // NOLINT(google-explicit-constructor)
  JsonValue(std::int64_t i) : value(i) {}                   // NOLINT(google-explicit-constructor)
  JsonValue(double d) : value(d) {}                         // NOLINT(google-explicit-constructor)
  JsonValue(std::string s) : value(std::move(s)) {}         // NOLINT(google-explicit-constructor)
  JsonValue(std::string_view s) : value(std::string(s)) {}  // NOLINT(google-explicit-constructor)
  JsonValue(const char* s) : value(std::string(s)) {}       // NOLINT(google-explicit-constructor)
  JsonValue(Array a) : value(std::move(a)) {}               // NOLINT(google-explicit-constructor)
  JsonValue(Object o) : value(std::move(o)) {}              // NOLINT(google-explicit-constructor)

  Variant value;
};

using JsonMembers = std::vector<std::pair<std::string, JsonValue>>;

/// An object written on one line, and one written a member per line.
JsonValue JsonObject(JsonMembers members);
JsonValue JsonLinesObject(JsonMembers members);

/// The JSON text of `value`: containers on one line with ", " between members, or, with
/// `lines`, each member on a line of its own indented two spaces a level.
std::string JsonText(const JsonValue& value);

/// `s` with every byte that does not begin a well-formed UTF-8 sequence replaced by U+FFFD,
/// since a JSON text must be valid Unicode (a library file may be written in another encoding).
std::string ValidUtf8(std::string_view s);

/// The shortest text that reads back as `v` ("5", "0.1", "1e+20"), as JSON writes a double.
std::string ShortestNumberText(double v);

}  // namespace qv
