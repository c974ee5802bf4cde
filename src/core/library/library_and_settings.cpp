// The settings file and the material library it names, read at start and written at close.
#include "core/library/library_and_settings.h"

#include "core/base/error.h"

namespace qv {

std::vector<std::string> LoadSettings(const std::string& programPath, ProgramSettings& settings,
                                      std::unique_ptr<TPROPClass>& library) {
  std::vector<std::string> messages = ReadSettingsFile(programPath, settings);
  library = std::make_unique<TPROPClass>(settings.LibraryFile);
  try {
    library->Load();
  } catch (const Error& e) {
    messages.emplace_back(e.what());
  }
  return messages;
}

void SaveSettings(const std::string& programPath, const ProgramSettings& settings,
                  const TPROPClass* library) {
  WriteSettingsFile(programPath, settings);
  if (library != nullptr) library->Save();
}

}  // namespace qv
