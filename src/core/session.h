// The section session: the state the main window owns and the question-free half of its flows.
// The window adds questions, widgets, drawing and the clipboard around it; the batch tool
// drives the same class, so both always agree.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/inventory.h"
#include "core/analysis/integration.h"
#include "core/analysis/result_text.h"
#include "core/analysis/section_result.h"
#include "core/dd_props.h"
#include "core/picture/pixel_grid.h"
#include "core/settings/program_settings.h"

namespace qv {

/// What the typed section size contributes to an analysis.
struct SectionSize {
  int widthMm = 0;          ///< integer value of the width field, 0..100000
  int heightMm = 0;         ///< integer value of the height field
  std::string widthText;    ///< the width field's text as typed
  std::string heightText;   ///< the height field's text as typed
};

/// The window's part of the colour inventory, called in this order: SetBusy(true),
/// InventoryStarted (clear and disable the found-colours list, clear the material list, show
/// "0" relevant pixels), ResultsReset (result texts to "0", group boxes hidden), Progress while
/// scanning, InventoryFinished (fill and enable the found-colours list), SetBusy(false).
class InventoryView {
 public:
  virtual ~InventoryView() = default;
  virtual void SetBusy(bool busy) = 0;
  virtual void InventoryStarted() = 0;
  virtual void ResultsReset() = 0;
  virtual void Progress(std::int64_t done, std::int64_t total) = 0;
  virtual void InventoryFinished() = 0;
};

class SectionSession {
 public:
  SectionSession();

  // --- state ---------------------------------------------------------------------------------
  ProgramSettings Settings;
  std::unique_ptr<TPROPClass> MaterialLibrary;  ///< created by LoadSettings (or by the caller)
  TPROPClass FoundColourList;
  std::vector<std::string> FoundLabels;    ///< the found-colours list, in discovery order
  std::vector<std::string> MaterialList;   ///< the material list, in the order added
  SectionBounds Bounds;                    ///< SectionBounds
  std::string WidthPixelsText = "0";       ///< the section width shown (pixels)
  std::string HeightPixelsText = "0";      ///< the section height shown (pixels)
  SectionResult Result;
  CentreTexts Centre;                      ///< texts shown in the result box
  StiffnessTexts Stiffness;
  std::vector<std::string> Report;         ///< lines of the last report
  SectionMoments Moments;                  ///< per-material moments of the last analysis
  PixelGrid Picture;                       ///< the picture in memory, possibly drawn over
  bool PictureFresh = false;               ///< Picture equals the file PictureFile
  /// The memory of the picture before the last load, reused by the next load of a picture of
  /// the same size: reloads (to wipe drawings) then cost no fresh pages. Kept for pictures of up
  /// to kSparePictureLimit pixels.
  PixelGrid SparePicture;
  static constexpr std::size_t kSparePictureLimit = std::size_t{1} << 27;
  bool InventoryDone = false;
  /// Threads of the scans; 0 = all cores.
  int Threads = 0;

  const std::string& PictureFile() const { return Settings.PictureFile; }

  // --- settings and library ------------------------------------------------------------------
  /// LoadSettings for the program at `programPath`; returns the conversion failures to show.
  std::vector<std::string> LoadSettings(const std::string& programPath);
  /// SaveSettings for the program at `programPath` (settings file, then the library).
  void SaveSettings(const std::string& programPath) const;

  // --- pictures ------------------------------------------------------------------------------
  /// Reads PictureFile into Picture and marks it fresh. False (and nothing changes) when no file
  /// exists there; throws Error with the reader's message when it cannot be read.
  bool LoadPicture();
  /// The size warning for the current picture, when it is smaller than 400 x 400.
  std::optional<std::string> SmallPictureWarning() const;
  /// PictureFile and WorkingDir from `path`, then LoadPicture. The caller runs the inventory
  /// after it returns true.
  bool AcceptPicture(const std::string& path);

  // --- inventory -----------------------------------------------------------------------------
  /// Clears everything of the previous picture's analysis.
  void ResetResults();
  /// Reset, then lists every colour of Picture (honouring IgnoreDollarColours) into
  /// FoundColourList and FoundLabels, and marks the inventory done. Nothing without a picture.
  /// `view`, when given, carries the window's steps.
  void ColourInventory(InventoryView* view = nullptr);

  // --- material list -------------------------------------------------------------------------
  bool OnMaterialList(const std::string& label) const;
  /// Puts a found colour on the material list: marks (or creates) its library entry in use with
  /// the colour's bounds, appends it and grows Bounds. False when the label is not a found
  /// colour or already on the list (nothing changes then).
  bool AddColourToMaterialList(const std::string& label);
  /// Takes a label off the material list: the entry stays in the library, not in use; Bounds is
  /// rebuilt from the entries in use. False when the label is not on the list.
  bool RemoveFromMaterialList(const std::string& label);
  /// The section size box shows while the section spans more than one pixel each way
  /// (after a removal) -- after an addition it always shows.
  bool SectionSpansArea() const;

  // --- analysis ------------------------------------------------------------------------------
  enum class AnalyseOutcome { Done, NoMaterialSelected };
  /// Reloads the picture when it is not fresh, then (with a non-empty material list) runs both
  /// passes, the texts and the report. Messages the passes give (no library) are appended to
  /// `messages`. After Done the picture is marked not fresh: the caller draws the overlay.
  /// Throws Error when the picture must be reloaded and its file is gone or cannot be read:
  /// a picture drawn over is never analysed.
  AnalyseOutcome Analyse(const SectionSize& size, const ProgressFn& progress = {},
                         std::vector<std::string>* messages = nullptr);
  /// The report as on the clipboard: lines ending in CR LF.
  std::string ReportText() const { return JoinCrLf(Report); }
};

/// The folder part of `path` including its trailing separator ("" when there is none).
std::string FolderOf(const std::string& path);
/// The file name part of `path` (after the last separator).
std::string FileNameOf(const std::string& path);

}  // namespace qv
