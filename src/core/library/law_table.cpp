// The law table and its section of the library file.
#include "core/library/law_table.h"

#include <algorithm>

#include "core/base/error.h"
#include "core/library/label_key.h"
#include "core/settings/ini_file.h"

namespace qv {

std::optional<MaterialLaw> LawTable::Get(std::string_view label) const {
  for (const auto& [key, law] : mEntries) {
    if (SameLabel(key, label)) return law;
  }
  return std::nullopt;
}

void LawTable::Set(std::string_view label, MaterialLaw law) {
  if (!UsableKey(label)) {
    throw Error("'" + std::string(label) + "' cannot be a material label in the library file.");
  }
  const auto it = std::find_if(mEntries.begin(), mEntries.end(),
                               [&](const auto& entry) { return SameLabel(entry.first, label); });
  if (it != mEntries.end()) {
    it->second = std::move(law);
  } else {
    mEntries.emplace_back(std::string(label), std::move(law));
  }
}

void LawTable::Load(const std::string& path) {
  const IniFile file(path);
  std::vector<std::pair<std::string, MaterialLaw>> loaded;
  for (const std::string& key : file.Keys(kSection)) {
    const std::string text = file.ReadWhole(kSection, key).value_or("");
    if (text.size() > IniFile::kMaxValueLength) {
      throw Error(file.TooLongMessage(kSection, key, text.size()));
    }
    MaterialLaw law;
    try {
      law = ReadMaterialLaw(text);
    } catch (const Error& e) {
      std::string message = "The law of ";
      message.append(key).append(" in ").append(path).append(" cannot be read: ").append(e.what());
      throw Error(message);
    }
    if (!UsableKey(key)) continue;  // written by hand; the program would never read it back
    loaded.emplace_back(key, std::move(law));
  }
  mEntries = std::move(loaded);
}

void LawTable::Save(const std::string& path) const {
  SaveKeyedSection(path, kSection, mEntries,
                   [](const MaterialLaw& law) { return MaterialLawText(law); });
}

}  // namespace qv
