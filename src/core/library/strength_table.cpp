// The strength table and its section of the library file.
#include "core/library/strength_table.h"

#include <algorithm>
#include <cmath>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/library/label_key.h"
#include "core/settings/ini_file.h"

namespace qv {

std::string StrengthTable::Problem(std::string_view label, double value) {
  if (std::isfinite(value) && value >= 0) return {};
  return "The strength of " + std::string(label) + " must be at least 0 N/mm^2, not " +
         FormatNumber(value) + ".";
}

Strength StrengthTable::Read(std::string_view label, std::string_view text, std::string_view file) {
  const std::string where = file.empty() ? "" : " in " + std::string(file);
  const std::size_t slash = text.find('/');
  Strength s;
  try {
    s.compression = ReadReal(text.substr(0, slash));
    s.tension = slash == std::string_view::npos ? s.compression : ReadReal(text.substr(slash + 1));
  } catch (const Error& e) {
    throw Error("The strength of " + std::string(label) + where + " cannot be read: " + e.what());
  }
  for (const double value : {s.compression, s.tension}) {
    std::string problem = Problem(label, value);
    if (!problem.empty()) {
      if (!file.empty()) problem.append(" (").append(file).append(")");
      throw Error(problem);
    }
  }
  return s;
}

std::string StrengthTable::Text(const Strength& strength) {
  if (strength.compression == strength.tension) return FormatNumber(strength.compression);
  return FormatNumber(strength.compression) + "/" + FormatNumber(strength.tension);
}

std::optional<Strength> StrengthTable::Get(std::string_view label) const {
  for (const auto& [key, strength] : mEntries) {
    if (SameLabel(key, label)) return strength;
  }
  return std::nullopt;
}

void StrengthTable::Set(std::string_view label, Strength strength) {
  for (const double value : {strength.compression, strength.tension}) {
    const std::string problem = Problem(label, value);
    if (!problem.empty()) throw Error(problem);
  }
  if (!UsableKey(label)) {
    throw Error("'" + std::string(label) + "' cannot be a material label in the library file.");
  }
  const auto it = std::find_if(mEntries.begin(), mEntries.end(),
                               [&](const auto& entry) { return SameLabel(entry.first, label); });
  if (it != mEntries.end()) {
    it->second = strength;
  } else {
    mEntries.emplace_back(std::string(label), strength);
  }
}

void StrengthTable::Remove(std::string_view label) {
  std::erase_if(mEntries, [&](const auto& entry) { return SameLabel(entry.first, label); });
}

void StrengthTable::Load(const std::string& path) {
  const IniFile file(path);
  std::vector<std::pair<std::string, Strength>> loaded;
  for (const std::string& key : file.Keys(kSection)) {
    const std::string text = file.ReadWhole(kSection, key).value_or("");
    // Cut at the reading limit, "000...0355" would read as 0: refused whole, as a material is.
    if (text.size() > IniFile::kMaxValueLength) {
      throw Error(file.TooLongMessage(kSection, key, text.size()));
    }
    const Strength strength = Read(key, text, path);
    if (!UsableKey(key)) continue;  // written by hand; the program would never read it back
    loaded.emplace_back(key, strength);
  }
  mEntries = std::move(loaded);
}

void StrengthTable::Save(const std::string& path) const {
  SaveKeyedSection(path, kSection, mEntries, [](const Strength& s) { return Text(s); });
}

}  // namespace qv
