// Reading and writing the settings file.
#include "core/settings/program_settings.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>

#include "core/base/error.h"
#include "core/base/limits.h"
#include "core/base/number_field.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/settings/atomic_file.h"
#include "core/settings/ini_file.h"

namespace qv {
namespace {

constexpr std::string_view kProgram = "program";
constexpr std::string_view kData = "data";
constexpr std::string_view kRecent = "recent";
constexpr std::string_view kStress = "stress";

// The keys of the section "stress" and the values they hold.
struct StressKey {
  std::string_view key;
  double SectionActions::*value;
};
constexpr StressKey kStressKeys[] = {{"N", &SectionActions::N},   {"My", &SectionActions::My},
                                     {"Mz", &SectionActions::Mz}, {"Vy", &SectionActions::Vy},
                                     {"Vz", &SectionActions::Vz}, {"T", &SectionActions::T}};
constexpr std::string_view kStressField = "field";
constexpr std::string_view kStressFields[] = {"sigma", "tau", "von_mises"};
constexpr std::string_view kEdges = "edges";
constexpr std::string_view kUnits = "units";

// With a trailing separator, as every path built from it expects; "./" for a bare file name.
std::string ProgramFolder(const std::string& programPath) {
  const std::string folder = FolderOf(programPath);
  return folder.empty() ? std::string("./") : folder;
}

bool IsExistingFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

const char* FontStyleText(unsigned style) {
  const bool bold = (style & kFontBold) != 0;
  const bool italic = (style & kFontItalic) != 0;
  if (bold && italic) return "BoldItalic";
  if (bold) return "Bold";
  if (italic) return "Italic";
  return "Normal";
}

unsigned FontStyleOf(std::string_view text) {
  if (text == "Bold") return kFontBold;
  if (text == "Italic") return kFontItalic;
  if (text == "BoldItalic") return kFontBold | kFontItalic;
  return 0;
}

// A text the file cannot hold (a line break in a path, or a path beyond the value limit) is
// stored empty: on the next start the key then falls back to its default instead of breaking
// the lines after it.
std::string_view Storable(std::string_view text) {
  if (text.size() > IniFile::kMaxValueLength ||
      text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    return {};
  }
  return text;
}

// Reads the keys one by one; a key that does not convert keeps its default and is reported,
// the others are still read.
class SettingsReader {
 public:
  SettingsReader(const IniFile* file, std::vector<std::string>& messages)
      : mFile(file), mMessages(messages) {}

  std::string Text(std::string_view section, std::string_view key, std::string_view fallback) {
    return mFile ? mFile->ReadString(section, key, fallback) : std::string(fallback);
  }

  template <typename T, typename Converter>
  void Convert(std::string_view key, std::string_view fallback, T& target, const T& preset,
               Converter convert) {
    try {
      target = convert(Text(kProgram, key, fallback));
    } catch (const Error& e) {
      target = preset;
      mFailures.push_back({e.what(), std::string(key), std::string(fallback)});
    }
  }

  /// The conversion failures with the file, the key and what is used instead; `backup` names
  /// the copy kept of the file as it was, or is empty when none could be made.
  void Report(const std::string& path, const std::string& backup) const {
    for (const Failure& f : mFailures) {
      std::string text = f.message + "\r\rIn the settings file " + path + " the key \"" + f.key +
                         "\" does not convert; its default " + f.fallback + " is used.";
      text += backup.empty() ? "\rNo copy of the file could be kept, so it is not written at exit."
                             : "\rThe file as it was is kept as " + backup + ".";
      mMessages.push_back(std::move(text));
    }
  }
  bool Failed() const { return !mFailures.empty(); }

 private:
  struct Failure {
    std::string message;
    std::string key;
    std::string fallback;
  };
  const IniFile* mFile;
  std::vector<std::string>& mMessages;
  std::vector<Failure> mFailures;
};

// Keeps the bytes of a settings file that did not convert as "<file>.bak" before the save at
// exit rewrites it, so what the user wrote there is never lost. Returns the backup's path, or
// an empty text when it could not be written (the caller then leaves the file alone).
std::string KeepBackup(const std::string& path) {
  std::string backup = path + ".bak";
  try {
    const std::string bytes = ReadFileBytes(path);
    // The same damage met at a second start needs no second copy.
    std::error_code ec;
    if (std::filesystem::is_regular_file(backup, ec) && ReadFileBytes(backup) == bytes) {
      return backup;
    }
    WriteFileAtomically(backup, bytes);
    return backup;
  } catch (const Error&) {
    return {};
  }
}

}  // namespace

std::string AngleToleranceProblem(double degrees) {
  return RangeProblem("The angle precision", degrees, 0, kMaxAngleTolerance, "degrees");
}

void RememberRecentPicture(std::vector<std::string>& recent, const std::string& path) {
  if (path.empty() || Storable(path).empty()) return;
  std::erase(recent, path);
  recent.insert(recent.begin(), path);
  if (recent.size() > kMaxRecentPictures) recent.resize(kMaxRecentPictures);
}

std::string SettingsFilePath(const std::string& programPath) {
  return std::filesystem::path(programPath).replace_extension(".INI").string();
}

std::vector<std::string> ReadSettingsFile(const std::string& programPath,
                                          ProgramSettings& settings) {
  std::vector<std::string> messages;
  const std::string programFolder = ProgramFolder(programPath);
  settings.WorkingDir = programFolder;
  settings.PictureFile = programFolder + "section.bmp";
  settings.LibraryFile = programFolder + "properties.ini";
  settings.SettingsFileUnreadable = false;

  std::optional<IniFile> file;
  try {
    file.emplace(SettingsFilePath(programPath));
  } catch (const Error& e) {
    messages.emplace_back(e.what());
    settings.SettingsFileUnreadable = true;
  }

  const ProgramSettings preset;
  SettingsReader reader(file ? &*file : nullptr, messages);
  reader.Convert("deftype", "0", settings.SignConvention, preset.SignConvention,
                 [](std::string_view t) { return static_cast<SignConvention>(ReadInteger(t)); });
  settings.FontName = reader.Text(kProgram, "font", "Arial");
  reader.Convert("fontsize", "14", settings.FontSize, preset.FontSize,
                 [](std::string_view t) { return static_cast<int>(ReadInteger(t)); });
  settings.FontStyle = FontStyleOf(reader.Text(kProgram, "fontstyle", "Normal"));
  reader.Convert("color_yz", "clBlue", settings.AxesColour, preset.AxesColour, LabelToColour);
  reader.Convert("color_mc", "clWhite", settings.MassCentreColour, preset.MassCentreColour,
                 LabelToColour);
  reader.Convert("color_12", "clBlue", settings.PrincipalAxesColour, preset.PrincipalAxesColour,
                 LabelToColour);
  settings.AutoStart = reader.Text(kProgram, "autostart", "true") == "true";
  settings.CheckForUpdates = reader.Text(kProgram, "wwwupdate", "true") == "true";
  reader.Convert("eps", "1.00", settings.AngleTolerance, preset.AngleTolerance, ReadReal);
  if (reader.Failed()) {
    // The defaults of the failed keys are written at exit like every other setting, once the
    // file as it was is safe in its backup.
    const std::string path = SettingsFilePath(programPath);
    const std::string backup = KeepBackup(path);
    if (backup.empty()) settings.SettingsFileUnreadable = true;
    reader.Report(path, backup);
  }

  settings.PictureFile = reader.Text(kData, "picturefile", "");
  settings.LibraryFile = reader.Text(kData, "datafile", "");
  settings.WorkingDir = reader.Text(kData, "workingdir", "");
  if (settings.WorkingDir.empty()) settings.WorkingDir = programFolder;
  if (!IsExistingFile(settings.PictureFile)) {
    settings.PictureFile = settings.WorkingDir + "section.bmp";
  }
  if (!IsExistingFile(settings.LibraryFile)) {
    settings.LibraryFile = settings.WorkingDir + "properties.ini";
  }

  // Any text but a mode's name, like a missing section, leaves the flat reading.
  settings.Edges = EdgeModeOf(file ? file->ReadString(kEdges, "mode", "") : std::string())
                       .value_or(EdgeMode::Flat);
  // The same for the units: a name the program does not know leaves the texts in N and mm.
  settings.Units = UnitSystemOf(file ? file->ReadString(kUnits, "system", "") : std::string())
                       .value_or(UnitSystem::NMm);

  settings.RecentPictures.clear();
  for (std::size_t i = 1; file && i <= kMaxRecentPictures; ++i) {
    const std::string path =
        file->ReadWhole(kRecent, IntegerText(static_cast<int>(i))).value_or(std::string());
    if (path.empty()) break;
    // Cut at the value limit, a path names another file (or one that is not there); a path the
    // file could not hold back is not kept, as RememberRecentPicture keeps none.
    if (path.size() > IniFile::kMaxValueLength) continue;
    settings.RecentPictures.push_back(path);
  }

  settings.Stress = StressSettings{};
  for (const StressKey& k : kStressKeys) {
    if (!file) break;
    const std::string text = file->ReadString(kStress, k.key, "");
    if (text.empty()) continue;
    try {
      const double value = ReadReal(text);
      if (std::isfinite(value)) settings.Stress.*k.value = value;
    } catch (const Error&) {
      // Keeps the default: the dialog shows the value it uses.
    }
  }
  if (file) {
    const std::string field = file->ReadString(kStress, kStressField, "");
    for (const std::string_view known : kStressFields) {
      if (field == known) settings.Stress.Field = field;
    }
  }

  return messages;
}

void WriteSettingsFile(const std::string& programPath, const ProgramSettings& settings) {
  // A file this run could not read, or whose unconvertible keys could not be backed up, holds
  // something the user wrote; writing the defaults over it would throw that away for good.
  if (!settings.SettingsFileUnreadable) {
    try {
      IniFile file(SettingsFilePath(programPath));
      file.EraseSection(kProgram);
      file.Write(kProgram, "deftype", IntegerText(static_cast<int>(settings.SignConvention)));
      file.Write(kProgram, "font", Storable(settings.FontName));
      file.Write(kProgram, "fontsize", IntegerText(settings.FontSize));
      file.Write(kProgram, "fontstyle", FontStyleText(settings.FontStyle));
      file.Write(kProgram, "color_yz", ColourToLabel(settings.AxesColour));
      file.Write(kProgram, "color_12", ColourToLabel(settings.PrincipalAxesColour));
      file.Write(kProgram, "color_mc", ColourToLabel(settings.MassCentreColour));
      file.Write(kProgram, "autostart", settings.AutoStart ? "true" : "false");
      file.Write(kProgram, "eps", FormatNumber(settings.AngleTolerance));
      file.Write(kProgram, "wwwupdate", settings.CheckForUpdates ? "true" : "false");
      file.EraseSection(kData);
      file.Write(kData, "picturefile", Storable(settings.PictureFile));
      file.Write(kData, "datafile", Storable(settings.LibraryFile));
      file.Write(kData, "workingdir", Storable(settings.WorkingDir));
      // Only a program that has opened pictures adds the section.
      file.EraseSection(kRecent);
      int key = 0;
      for (const std::string& path : settings.RecentPictures) {
        if (!Storable(path).empty()) file.Write(kRecent, IntegerText(++key), path);
      }
      // Only a program whose stresses dialog was given actions adds the section.
      file.EraseSection(kStress);
      if (settings.Stress != StressSettings{}) {
        for (const StressKey& k : kStressKeys) {
          file.Write(kStress, k.key, FormatNumber(settings.Stress.*k.value));
        }
        file.Write(kStress, kStressField, Storable(settings.Stress.Field));
      }
      // The flat reading, the default, leaves the file as it always was.
      file.EraseSection(kEdges);
      if (settings.Edges != EdgeMode::Flat) {
        file.Write(kEdges, "mode", EdgeModeName(settings.Edges));
      }
      file.EraseSection(kUnits);
      if (settings.Units != UnitSystem::NMm) {
        file.Write(kUnits, "system", UnitSystemName(settings.Units));
      }
      file.Flush();
    } catch (const Error&) {
      // Settings that cannot be written are not worth a message at every close; the program
      // starts with its defaults next time. The library, saved after them, is what must not
      // be lost.
    }
  }
}

}  // namespace qv
