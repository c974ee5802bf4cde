// The strength of each material in compression and in tension, kept in a section of its own in
// the library file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

/// The stress a material carries when it yields, N/mm^2, both as positive values.
struct Strength {
  double compression = 0;
  double tension = 0;
  friend bool operator==(const Strength&, const Strength&) = default;
};

/// Strengths by colour label, for the plastic moments. The library file's material lines have
/// no field for them, so the table lives in the file's section "[strength]", which the library's
/// own save leaves alone: "clRed=355" for one value both ways, "clBlue=17/0" for compression /
/// tension. A material without a line there has no strength. Labels match without regard to
/// ASCII letter case, as the file's keys do.
class StrengthTable {
 public:
  static constexpr std::string_view kSection = "strength";

  /// Why `value` cannot be a strength (it must be a finite number of at least 0), or an empty
  /// text when it can. Names `label` and the value in the text.
  static std::string Problem(std::string_view label, double value);
  /// Reads "F" (both ways) or "FC/FT" as the file and the batch tool write them; spaces around
  /// the numbers are allowed. Throws Error naming `label` (and `file`, when given) for a text
  /// that is neither, or a value Problem refuses.
  static Strength Read(std::string_view label, std::string_view text, std::string_view file = {});
  /// The text Read takes back: "355" when both values are equal, else "17/0".
  static std::string Text(const Strength& strength);

  /// The strength of `label`, or nothing when it has none.
  std::optional<Strength> Get(std::string_view label) const;
  /// Sets the strength of `label`. Throws Error with the Problem text, changing nothing, when a
  /// value is refused, and Error when the label could not be a key of the file.
  void Set(std::string_view label, Strength strength);
  /// Forgets the strength of `label`; nothing when it has none.
  void Remove(std::string_view label);
  /// The strengths set, in the order they were first set or read.
  const std::vector<std::pair<std::string, Strength>>& Entries() const { return mEntries; }

  /// Replaces the table by the section "[strength]" of the INI file `path`. A missing file or
  /// section gives an empty table. Throws Error naming the label and the file when a value does
  /// not read or is too long; the table is then unchanged.
  void Load(const std::string& path);
  /// Rewrites the section "[strength]" of `path` atomically; every other section, the library's
  /// "[properties]" among them, stays byte for byte. Throws Error "Unable to write to <path>" when
  /// the file cannot be read or written.
  void Save(const std::string& path) const;

 private:
  std::vector<std::pair<std::string, Strength>> mEntries;
};

}  // namespace qv
