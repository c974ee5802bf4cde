// Poisson's ratio of each material, kept in a section of its own in the library file.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

/// Poisson's ratios by colour label. The library file's material lines have no field for it, so
/// the table lives in the file's section "[poisson]" ("clRed=0.3"), which the library's own save
/// leaves alone; a material without a line there has kDefault. Labels match without regard to
/// ASCII letter case, as the file's keys do.
class PoissonTable {
 public:
  static constexpr double kDefault = 0.3;
  static constexpr std::string_view kSection = "poisson";

  /// Why `nu` cannot be the Poisson's ratio of an isotropic material in this program (it must
  /// lie in 0 <= nu < 0.5), or an empty text when it can. Names `label` in the text.
  static std::string Problem(std::string_view label, double nu);

  /// The ratio of `label`, or kDefault when it has none.
  double Get(std::string_view label) const;
  /// Sets the ratio of `label`. Throws Error with the Problem text, changing nothing, when `nu`
  /// is out of range, and Error when the label could not be a key of the file.
  void Set(std::string_view label, double nu);
  /// Forgets the ratio of `label` (it has kDefault again); nothing when it has none.
  void Remove(std::string_view label);
  /// The ratios set, in the order they were first set or read.
  const std::vector<std::pair<std::string, double>>& Entries() const { return mEntries; }

  /// Replaces the table by the section "[poisson]" of the INI file `path`. A missing file or
  /// section gives an empty table (every material at kDefault). Throws Error naming the label
  /// and the file when a value does not convert or is out of range; the table is then unchanged.
  void Load(const std::string& path);
  /// Rewrites the section "[poisson]" of `path` atomically; every other section, the library's
  /// "[properties]" among them, stays byte for byte. Throws Error "Unable to write to <path>" when
  /// the file cannot be read or written.
  void Save(const std::string& path) const;

 private:
  std::vector<std::pair<std::string, double>>::iterator Find(std::string_view label);
  std::vector<std::pair<std::string, double>> mEntries;
};

}  // namespace qv
