// The program's start and close as the window makes them: the settings file, then the material
// library it names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/library/dd_props.h"
#include "core/settings/program_settings.h"

namespace qv {

/// Reads the settings file of `programPath` into `settings` (ReadSettingsFile), then creates
/// `library` from LibraryFile and loads it. The returned texts are the failures in the order met
/// (settings first, then the library's), for the window to show.
std::vector<std::string> LoadSettings(const std::string& programPath, ProgramSettings& settings,
                                      std::unique_ptr<TPROPClass>& library);

/// Writes the settings file (WriteSettingsFile), then saves `library` when it exists. Throws
/// Error when the library cannot be written.
void SaveSettings(const std::string& programPath, const ProgramSettings& settings,
                  const TPROPClass* library);

}  // namespace qv
