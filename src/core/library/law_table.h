// The stress-strain law of each material, kept in a section of its own in the library file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/library/material_law.h"

namespace qv {

/// Laws by colour label, in the library file's section "[law]" ("clRed=elastic-plastic"),
/// which the library's own save leaves alone. A material without a line there takes the
/// default law of its strength. Labels match without regard to ASCII letter case.
class LawTable {
 public:
  static constexpr std::string_view kSection = "law";

  /// The law of `label`, or nothing when it has none.
  std::optional<MaterialLaw> Get(std::string_view label) const;
  /// Sets the law of `label`; throws Error when the label could not be a key of the file.
  void Set(std::string_view label, MaterialLaw law);
  const std::vector<std::pair<std::string, MaterialLaw>>& Entries() const { return mEntries; }

  /// Replaces the table by the section "[law]" of `path`; a missing file or section gives an
  /// empty table. Throws Error naming the label and the file when a law does not read.
  void Load(const std::string& path);
  /// Rewrites the section "[law]" of `path`, every other section staying as it is.
  void Save(const std::string& path) const;

 private:
  std::vector<std::pair<std::string, MaterialLaw>> mEntries;
};

}  // namespace qv
