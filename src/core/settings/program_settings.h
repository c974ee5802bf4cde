// The user's settings, their defaults and the settings file beside the program.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/base/colour_label.h"
#include "core/base/edge_mode.h"
#include "core/base/section_actions.h"
#include "core/base/sign_convention.h"
#include "core/base/units.h"

namespace qv {

/// Flags of ProgramSettings::FontStyle.
enum FontStyleFlag : unsigned { kFontBold = 1u, kFontItalic = 2u };

/// The actions and the field the stresses dialog was last given: the section "stress" of the
/// settings file, a section of its own, kept only while it differs from these defaults. The
/// actions are stored under their formal names (N, N mm), whatever the sign convention calls
/// them; the field by its key ("sigma", "tau", "von_mises").
struct StressSettings : SectionActions {
  std::string Field = "von_mises";
  friend bool operator==(const StressSettings&, const StressSettings&) = default;
};

/// Settings kept in memory between LoadSettings and SaveSettings; the initial values are the
/// built-in defaults.
struct ProgramSettings {
  qv::SignConvention SignConvention = qv::SignConvention::DorvastPelkam;  ///< "deftype"
  std::string FontName = "Arial";                                         ///< "font"
  int FontSize = 14;                                                      ///< "fontsize", points
  unsigned FontStyle = 0;                        ///< "fontstyle": kFontBold | kFontItalic
  ColourValue AxesColour = 0x00FF0000;           ///< "color_yz", clBlue
  ColourValue MassCentreColour = 0x00FFFFFF;     ///< "color_mc", clWhite
  ColourValue PrincipalAxesColour = 0x00FF0000;  ///< "color_12", clBlue
  bool AutoStart = true;                         ///< "autostart"
  bool CheckForUpdates = true;                   ///< "wwwupdate"
  double AngleTolerance = 1.0;                   ///< "eps", degrees
  std::string PictureFile;                       ///< "picturefile", full path
  std::string LibraryFile;                       ///< "datafile", full path
  std::string WorkingDir;                        ///< "workingdir", ends in a separator
  bool IgnoreDollarColours = true;               ///< never stored
  /// How smoothed edges are read: section "edges", key "mode", a section of its own that only
  /// the coverage reading writes ("mode=coverage"); without it the flat reading.
  EdgeMode Edges = EdgeMode::Flat;
  /// The units of the reports, the dialogs and the window's values: section "units", key
  /// "system" ("N-mm", "kN-m", "kN-cm"), a section of its own that only another system than
  /// N-mm writes; a missing or unknown name reads as N-mm.
  UnitSystem Units = UnitSystem::NMm;
  /// The pictures opened last, newest first, at most kMaxRecentPictures: section "recent",
  /// keys "1", "2", ..., a section of its own beside the two the settings file always had.
  std::vector<std::string> RecentPictures;
  /// Section "stress": a value that does not read (or a field of no known key) keeps its
  /// default, silently, as the dialog shows what it uses.
  StressSettings Stress;
  /// Set by LoadSettings when the settings file could not be read, or a key of it did not
  /// convert and no backup of the file could be kept: SaveSettings then leaves that file as it
  /// is, so nothing the user wrote there is lost.
  bool SettingsFileUnreadable = false;
};

/// Why `degrees` is refused as AngleTolerance where a user gives it (outside the settings
/// dialog's field, 0..kMaxAngleTolerance, in the field's own words); empty when it is taken.
std::string AngleToleranceProblem(double degrees);

/// How many pictures the "Recent pictures" list keeps.
inline constexpr std::size_t kMaxRecentPictures = 8;

/// Puts `path` first in `recent`, without another entry of the same path, and keeps at most
/// kMaxRecentPictures. A path the settings file could not hold back (a line break in it, more
/// characters than a value holds) is not kept.
void RememberRecentPicture(std::vector<std::string>& recent, const std::string& path);

/// The settings file of a program: its path with the extension replaced by ".INI"; a program
/// file without extension gets ".INI" appended.
std::string SettingsFilePath(const std::string& programPath);

/// Reads the settings file of `programPath` into `settings`. A key that does not convert keeps
/// its default and the reading goes on; the file as it was is copied to "<settings file>.bak"
/// and the defaults are written at exit. The returned texts are the failures in the order met,
/// for the window to show: each conversion message goes on to name the file, the key, the
/// default used and the backup. A settings file that cannot be read at all, or cannot be backed
/// up, sets `settings.SettingsFileUnreadable`, which keeps WriteSettingsFile from overwriting
/// it. LibraryFile names the library to load (LoadSettings in library_and_settings.h does).
std::vector<std::string> ReadSettingsFile(const std::string& programPath,
                                          ProgramSettings& settings);

/// Writes the sections "program" and "data" of the settings file, "recent" while it has
/// pictures to keep, "stress" while it differs from its defaults, "edges" while smoothed edges
/// are read as coverage and "units" while the texts are not in N and mm (other sections stay).
/// Failures are silent: the program starts with its defaults next time.
void WriteSettingsFile(const std::string& programPath, const ProgramSettings& settings);

}  // namespace qv
