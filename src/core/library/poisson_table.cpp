// The Poisson's ratio table and its section of the library file.
#include "core/library/poisson_table.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/library/label_key.h"
#include "core/settings/ini_file.h"

namespace qv {

std::string PoissonTable::Problem(std::string_view label, double nu) {
  if (std::isfinite(nu) && nu >= 0 && nu < 0.5) return {};
  return "The Poisson's ratio of " + std::string(label) +
         " must be at least 0 and below 0.5, not " + FormatNumber(nu) + ".";
}

std::vector<std::pair<std::string, double>>::iterator PoissonTable::Find(std::string_view label) {
  return std::find_if(mEntries.begin(), mEntries.end(),
                      [&](const auto& entry) { return SameLabel(entry.first, label); });
}

double PoissonTable::Get(std::string_view label) const {
  for (const auto& [key, nu] : mEntries) {
    if (SameLabel(key, label)) return nu;
  }
  return kDefault;
}

void PoissonTable::Set(std::string_view label, double nu) {
  const std::string problem = Problem(label, nu);
  if (!problem.empty()) throw Error(problem);
  if (!UsableKey(label)) {
    throw Error("'" + std::string(label) + "' cannot be a material label in the library file.");
  }
  const auto it = Find(label);
  if (it != mEntries.end()) {
    it->second = nu;
  } else {
    mEntries.emplace_back(std::string(label), nu);
  }
}

void PoissonTable::Remove(std::string_view label) {
  const auto it = Find(label);
  if (it != mEntries.end()) mEntries.erase(it);
}

void PoissonTable::Load(const std::string& path) {
  const IniFile file(path);
  PoissonTable loaded;
  for (const std::string& key : file.Keys(kSection)) {
    const std::string text = file.ReadWhole(kSection, key).value_or("");
    // Cut at the reading limit, "000...0.35" would read as 0: refused whole, as a material is.
    if (text.size() > IniFile::kMaxValueLength) {
      throw Error(file.TooLongMessage(kSection, key, text.size()));
    }
    double nu = 0;
    try {
      nu = ReadReal(text);
    } catch (const Error& e) {
      std::string message = "The Poisson's ratio of " + key;
      message += " in " + path + " cannot be read: ";
      message += e.what();
      throw Error(message);
    }
    std::string problem = Problem(key, nu);
    if (!problem.empty()) throw Error(problem.append(" (").append(path).append(")"));
    if (!UsableKey(key)) continue;  // written by hand; the program would never read it back
    loaded.mEntries.emplace_back(key, nu);
  }
  mEntries = std::move(loaded.mEntries);
}

void PoissonTable::Save(const std::string& path) const {
  SaveKeyedSection(path, kSection, mEntries, [](double nu) { return FormatNumber(nu); });
}

}  // namespace qv
