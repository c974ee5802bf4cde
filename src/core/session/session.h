// The section session: the state the main window owns and the question-free half of its flows.
// The window adds questions, widgets, drawing and the clipboard around it; the batch tool
// drives the same class, so both always agree. The state is the session's own: callers read it
// through const accessors and change it only through the commands below, which keep it in a
// state some flow of the program produces.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/base/path.h"
#include "core/elastic/section_solver.h"
#include "core/elastic/section_table.h"
#include "core/elastic/stress_field.h"
#include "core/library/dd_props.h"
#include "core/library/poisson_table.h"
#include "core/library/strength_table.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/found_colours.h"
#include "core/scan/inventory.h"
#include "core/section/integration.h"
#include "core/section/overlay.h"
#include "core/section/plastic.h"
#include "core/section/resistance.h"
#include "core/section/result_text.h"
#include "core/section/section_result.h"
#include "core/session/loaded_picture.h"
#include "core/settings/installed_layout.h"
#include "core/settings/program_settings.h"

namespace qv {

/// What the typed section size contributes to an analysis. The sizes are those of the section
/// box (the bounds of the section's pixels), not of the whole picture.
struct SectionSize {
  SectionSize() = default;
  /// Whole sizes as the window's fields hold them.
  SectionSize(int width, int height, std::string widthTyped, std::string heightTyped)
      : widthMm(width),
        heightMm(height),
        widthText(std::move(widthTyped)),
        heightText(std::move(heightTyped)) {}

  int widthMm = 0;         ///< integer value of the width field, 0..100000
  int heightMm = 0;        ///< integer value of the height field
  std::string widthText;   ///< the width field's text as typed
  std::string heightText;  ///< the height field's text as typed
  /// A width or height with a fraction of a mm, which the integers above cannot hold; when set
  /// it is the size analysed (the integer is then its nearest whole mm, for show only).
  std::optional<double> widthDecimalMm;
  std::optional<double> heightDecimalMm;
  /// mm per pixel of the section box, given instead of a width and height: they follow from
  /// the box's columns and rows once the box is known (SizeOfBox).
  std::optional<double> pixelSizeMm;

  /// The width and height analysed, in mm.
  double Width() const { return widthDecimalMm.value_or(widthMm); }
  double Height() const { return heightDecimalMm.value_or(heightMm); }
};

/// `size` with a pixel size turned into the width and height of `bounds` (columns x size, rows x
/// size), their texts written as every real is; any other size as it is.
SectionSize SizeOfBox(const SectionSize& size, const SectionBounds& bounds);

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

  // --- what callers read ---------------------------------------------------------------------
  const ProgramSettings& Settings() const { return mSettings; }
  /// The material library; nullptr until LoadSettings or SetLibrary made one.
  const TPROPClass* MaterialLibrary() const { return mMaterialLibrary.get(); }
  /// The found-colours list, in discovery order.
  const FoundColours& Found() const { return mFound; }
  /// The found colours' labels in order (made on each call: for listings and tests).
  std::vector<std::string> FoundLabels() const { return mFound.Labels(); }
  /// The material list, in the order added.
  const std::vector<std::string>& MaterialList() const { return mMaterialList; }
  /// The section's box: the boxes of the colours on the material list; with smoothed edges read
  /// as coverage (Settings().Edges), the box of every pixel holding any share of them.
  const SectionBounds& Bounds() const { return mBounds; }
  /// The section width and height shown (pixels).
  const std::string& WidthPixelsText() const { return mWidthPixelsText; }
  const std::string& HeightPixelsText() const { return mHeightPixelsText; }
  const SectionResult& Result() const { return mResult; }
  /// The texts shown in the result box.
  const CentreTexts& Centre() const { return mCentre; }
  const StiffnessTexts& Stiffness() const { return mStiffness; }
  /// The units Centre(), Stiffness(), the report and the blocks after it are written in: those
  /// of the last analysis (Settings().Units may have changed since, taking effect at the next
  /// one), so that every text shown or copied is in one system.
  UnitSystem TextUnits() const { return mTextUnits; }
  /// Lines of the last report.
  const std::vector<std::string>& Report() const { return mReport; }
  /// An analysis was made and its results (texts, report, extended values) are on hand: from
  /// Analyse until ResetResults, a change of the material list or of the reading of the edges,
  /// or DropStaleResults.
  bool HasResults() const { return mAnalysed.has_value(); }
  /// The results on hand still describe the section as it is: the same picture, reading of the
  /// edges, box, and materials in use with the same E and rho.
  bool ResultsStand() const;
  /// Per-material moments of the last analysis.
  const SectionMoments& Moments() const { return mMoments; }
  /// The drawing the picture was made from, when PictureFile is a drawing (SVG, DXF); null for
  /// a picture.
  const DrawingPicture* Drawing() const { return mPicture.Drawing(); }
  /// How the edges are read: always as coverage for a drawing (its exact shares), else as the
  /// settings say.
  EdgeMode Edges() const { return Drawing() ? EdgeMode::Coverage : mSettings.Edges; }
  /// The size an analysis with `given` sizes takes (SizeOfBox): a drawing's own, from the size
  /// of its cells, whatever was given.
  SectionSize AnalysedSize(const SectionSize& given) const;
  /// The picture in memory, possibly drawn over (see PictureFresh). Empty while the picture is
  /// kept as its file (SetPictureStreaming).
  const PixelGrid& Picture() const { return mPicture.Grid(); }
  /// The picture's size in pixels, also while it is kept as its file.
  int PictureWidth() const { return mPicture.Width(); }
  int PictureHeight() const { return mPicture.Height(); }
  /// Changes whenever the picture's pixels may have changed (read, drawn on, colours hidden), so
  /// a view that keeps a copy of them knows when to copy again.
  std::uint64_t PictureRevision() const { return mPicture.Revision(); }
  /// The picture equals the file PictureFile: nothing has been drawn on it since it was read.
  bool PictureFresh() const { return mPicture.Fresh(); }
  bool InventoryDone() const { return mInventoryDone; }
  /// The unnamed colours the last inventory left out (IgnoreDollarColours) and their pixels.
  const LeftOutColours& UnnamedLeftOut() const { return mUnnamedLeftOut; }
  const std::string& PictureFile() const { return mSettings.PictureFile; }
  /// The report as on the clipboard: lines ending in CR LF.
  std::string ReportText() const { return JoinCrLf(mReport); }
  /// The report with every block computed for it since, as the batch tool prints them: after
  /// an empty line the extended values (torsion, shear centre, section moduli, design values)
  /// with the plastic moments, then after another the stresses. CR LF line ends.
  std::string FullReportText() const;
  /// The extended values' block as the window copies it and the report holds it: the extended
  /// values, the plastic moments and, for a section of one material, the section-table line;
  /// nothing without extended values. Lines without line ends.
  std::vector<std::string> ExtendedLines() const;

  // --- settings and library ------------------------------------------------------------------
  /// LoadSettings for the program at `programPath`; returns the failures to show. The settings
  /// and the library are read beside the program; when that folder cannot be written they are
  /// written to `userFolder` instead (and read from there once a settings file is there). At
  /// the first such start a library the user cannot write becomes "properties.ini" in
  /// `userFolder`, copied there once unless the user already has one (UserLibraryFile). An
  /// empty `userFolder` keeps both beside the program.
  /// With `home` UserFolder (an installed program) both always live in `userFolder`, whoever
  /// runs the program: the packaged files beside the program are only read, and the library is
  /// copied to the user's folder at the first start even where the program's folder could be
  /// written (by root).
  std::vector<std::string> LoadSettings(const std::string& programPath,
                                        const std::string& userFolder = {},
                                        SettingsHome home = SettingsHome::BesideProgram);
  /// SaveSettings: the settings file where LoadSettings decided, then the library -- in the
  /// user's folder when its own file cannot be written. Throws Error when the library cannot be
  /// written. Nothing before LoadSettings.
  void SaveSettings();
  /// Takes the settings the user changes (convention, font, colours, start-up switches, angle
  /// precision, unnamed colours, the reading of smoothed edges) from `changed`; the files,
  /// folders and recent pictures stay the session's. Another reading of the edges gives the
  /// section its box anew (see Bounds) and clears the results on hand, as a change of the
  /// material list does.
  void ChangeSettings(const ProgramSettings& changed);
  /// The start-up picture was missing: no automatic load in later runs.
  void SwitchAutoStartOff() { mSettings.AutoStart = false; }
  /// Replaces the material library (the batch tool's --library, or an empty one).
  void SetLibrary(std::unique_ptr<TPROPClass> library);
  /// The library for the material dialogs to edit: names, moduli and densities, entries added
  /// or deleted. Created empty when there is none.
  TPROPClass& EditLibrary();
  /// Threads of the scans; 0 = all cores.
  void SetThreads(int threads) { mThreads = threads; }
  /// The most cells the torsion solve takes before it coarsens into blocks; 0 = as the memory
  /// budget allows (ElasticOptions::maxCells).
  void SetMaxCells(std::int64_t cells) { mMaxCells = cells; }
  /// The window's pixel size in mm, which gives the sizes in place of its integer fields (and
  /// keeps their fractions); nothing while the fields' sizes are the ones analysed.
  const std::optional<double>& PixelSize() const { return mPixelSizeMm; }
  void SetPixelSize(std::optional<double> mm) { mPixelSizeMm = mm; }
  /// The cell size in mm drawings are read at from their next load on (0: about
  /// kDefaultOutlineCells cells over the drawing).
  void SetDrawingCellSize(double mm) { mPicture.SetCellSize(mm); }
  /// For a caller that only lists colours and analyses (the batch tool): with this on, a picture
  /// whose rows can be read a few at a time (an uncompressed BMP file, a PNG file that is not
  /// interlaced) is not held in memory.
  /// LoadPicture keeps the file open instead, the inventory reads it once and gathers the
  /// moments of every library colour along the way, and Analyse takes its materials' moments
  /// from there, so a listing and an analysis cost one read of the file and no picture-sized
  /// memory. The commands that need all pixels at once (DrawOnPicture, HideColoursBut,
  /// ComputeElastic) read the picture whole first. Scans then throw the reader's Error when the
  /// file's pixels turn out damaged or can no longer be read.
  void SetPictureStreaming(bool on) { mPicture.SetStreaming(on); }
  /// While streaming, the one read also keeps the runs of the materials' colours, so that the
  /// resistance bins the section from them instead of reading the picture again.
  void KeepRunsAlong(bool on) { mPicture.KeepRunsAlong(on); }
  /// Colours (labels) the caller will put on the material list whether or not the library knows
  /// them (the batch tool's --use): while streaming, the inventory gathers their moments too, so
  /// a colour new to the library costs no second read of the file.
  void GatherAlso(std::vector<std::string> labels) { mPicture.GatherAlso(std::move(labels)); }
  /// For a caller that asks for PictureEdgeSmoothing after the inventory (the batch tool's
  /// listing): while streaming a picture whose rows come in order only (a PNG file), the
  /// inventory's one decoding of the file also makes the smoothing check's first pass.
  void CheckSmoothingAlong(bool on) { mPicture.CheckSmoothingAlong(on); }

  // --- pictures ------------------------------------------------------------------------------
  /// Reads PictureFile into Picture and marks it fresh. False (and nothing changes) when no file
  /// exists there; throws Error with the reader's message when it cannot be read. A reload of
  /// the same file decodes into the picture's own memory, so it costs no second picture; when
  /// nothing was drawn into the picture and the file is unchanged since it was read (same size,
  /// time and file), the pixels already are the file's and nothing is decoded.
  bool LoadPicture();
  /// How ReloadPictureIfDrawnOn found the picture.
  enum class PictureReload { AlreadyFresh, Reloaded, FileGone };
  /// Drawings (the frame, an overlay) are never analysed or drawn over again: a picture that is
  /// not fresh is read again from PictureFile (LoadPicture, which may throw its Error).
  PictureReload ReloadPictureIfDrawnOn();
  /// FindEdgeSmoothing of the picture, also while it is kept as its file (read twice more then;
  /// throws the reader's Error when it can no longer be read). Nothing without a picture.
  EdgeSmoothing PictureEdgeSmoothing();
  /// The shares of the materials in use in each colour of the picture, as an analysis with
  /// smoothed edges read as coverage takes them (core/scan/coverage.h), whatever the setting;
  /// the picture is read into memory and its colours scanned once. Nothing without a library or
  /// for a picture of too many colours.
  std::optional<CoverageTable> PictureCoverage(const ProgressFn& progress = {});
  /// The size warning for the current picture, when it is smaller than 400 x 400.
  std::optional<std::string> SmallPictureWarning() const;
  /// PictureFile (as given) and WorkingDir (its folder, made absolute) from `path`, then
  /// LoadPicture; a picture loaded goes first on the recent pictures (absolute). The caller runs
  /// the inventory after it returns true. When no file is there (false) or it cannot be read
  /// (the reader's Error), PictureFile and WorkingDir stay as they were, and so do the picture,
  /// its lists and its results.
  bool AcceptPicture(const std::string& path);
  /// A picture from memory instead of a file (the Python module's pictures): `pixels`, shared
  /// until drawn on, become Picture under the name `name`, which stands for PictureFile in the
  /// report and the messages. No file is read for it, then or later: where the session would read
  /// the file again (after drawings, for the torsion solve) it takes the pixels from `pixels`. Not
  /// put on the recent pictures. The caller runs the inventory afterwards.
  void AcceptPixels(std::shared_ptr<const PixelGrid> pixels, const std::string& name);
  /// Takes `path` off the recent pictures (one that is no longer there).
  void ForgetRecentPicture(const std::string& path);
  /// Lets `draw` paint on the picture (frame, overlay); the picture is no longer fresh.
  void DrawOnPicture(const std::function<void(PixelGrid&)>& draw);
  /// The caller shows drawings over the picture (kept beside it, as the window does): the
  /// picture is no longer fresh, though its pixels are untouched.
  void NoteDrawnOver() { mPicture.NoteDrawnOver(); }
  /// Paints every pixel that is not of the colour of `label` white (all of them when the label
  /// names no colour). The picture still counts as fresh, so the next analysis sees only that
  /// colour; a reload restores the others. Nothing without a picture.
  void HideColoursBut(const std::string& label, const ProgressFn& progress = {});

  // --- inventory -----------------------------------------------------------------------------
  /// Clears everything of the previous picture's analysis: its results (as ClearResults), the
  /// found colours, the materials in use and the section's box.
  void ResetResults();
  /// Clears the results on hand when they no longer stand (ResultsStand); true when it did. The
  /// session sees its own changes, but not the library's entries edited in place (EditLibrary):
  /// whoever edits them calls this afterwards.
  bool DropStaleResults();
  /// Reset, then lists every colour of Picture (honouring IgnoreDollarColours) into Found, and
  /// marks the inventory done. Nothing without a picture.
  /// `view`, when given, carries the window's steps.
  void ColourInventory(InventoryView* view = nullptr);

  // --- material list -------------------------------------------------------------------------
  bool OnMaterialList(const std::string& label) const;
  /// Puts a found colour on the material list: marks (or creates) its library entry in use with
  /// the colour's bounds, appends it and grows Bounds; the results on hand go (ClearResults).
  /// False when the label is not a found colour or already on the list (nothing changes then).
  bool AddColourToMaterialList(const std::string& label);
  /// Takes a label off the material list: the entry stays in the library, not in use; Bounds is
  /// rebuilt from the entries in use and the results on hand go. False when the label is not on
  /// the list.
  bool RemoveFromMaterialList(const std::string& label);
  /// The section spans more than one pixel each way.
  bool SectionSpansArea() const;
  /// "analyse" is offered: both typed sizes are non-zero and the section spans an area.
  bool AnalyseOffered(double widthMm, double heightMm) const;
  /// The same for sizes typed in fields: besides, each text must read as its value, a whole
  /// number 0..kMaxSectionMm as the size fields take it. A field that shows "12a" while it still
  /// holds 12 offers nothing, since the analysis would report a size its field does not show.
  /// Sizes with a fraction of a mm, or from a pixel size, need only be within range.
  bool AnalyseOffered(const SectionSize& size) const;
  /// Each text of `size` reads as its value within the size fields' range (see AnalyseOffered).
  static bool SizeTextsStand(const SectionSize& size);
  /// The scale `size` gives the section's box, mm per pixel horizontally and vertically, as
  /// "4.95 x 3.234 mm/px" (four significant digits each): nothing until the sizes offer an
  /// analysis (AnalyseOffered).
  std::optional<std::string> ScaleText(const SectionSize& size) const;

  // --- analysis ------------------------------------------------------------------------------
  enum class AnalyseOutcome { Done, NoMaterialSelected };
  /// Reloads the picture when it is not fresh, then (with a non-empty material list) runs both
  /// passes, the texts and the report. With smoothed edges read as coverage the moments come
  /// from the picture's colours by their shares, and the report gains a line saying so; a
  /// picture of too many colours for that throws Error. Messages the passes give (no library) are
  /// appended to `messages`. After Done the picture is marked not fresh: the caller draws the
  /// overlay. Throws Error when the picture must be reloaded and its file is gone or cannot be
  /// read: a picture drawn over is never analysed.
  AnalyseOutcome Analyse(const SectionSize& size, const ProgressFn& progress = {},
                         std::vector<std::string>* messages = nullptr);

  // --- torsion, shear centre and section moduli (session_elastic.cpp) ------------------------
  /// The Poisson's ratios of the materials: the library file's section "[poisson]", read by
  /// LoadSettings right after the library and written by SaveSettings right after it.
  const PoissonTable& Poisson() const { return mPoisson; }
  /// The extended values of the last analysis, once ComputeElastic has given them. Gone with
  /// the analysis results (ResetResults, every Analyse) and with any change of a ratio.
  const std::optional<ElasticResult>& Elastic() const { return mElastic; }
  /// An analysis is done and its results stand, so ComputeElastic has something to work on.
  bool ElasticOffered() const { return mAnalysed.has_value(); }
  /// Sets the Poisson's ratio of `label`; a changed value drops Elastic. Throws Error, changing
  /// nothing, for a ratio outside 0 <= nu < 0.5 or a label the library file cannot hold.
  void SetPoissonRatio(const std::string& label, double nu);
  /// Replaces every ratio (the batch tool: the --library file's section and --nu); drops Elastic.
  void SetPoissonTable(PoissonTable table);

  /// The drawing over the picture after an analysis: the result overlay of `input` and, once
  /// computed, the shear centre's marker; `note` says where the shear centre lies when its
  /// marker falls off the picture.
  struct ResultDrawing {
    OverlayOps ops;
    std::optional<std::string> note;
  };
  ResultDrawing DrawResults(const OverlayInput& input) const;

  enum class ElasticOutcome { Done, Cancelled };
  /// Solves the torsion of the last analysis -- its picture, bounds, materials in use and size --
  /// and keeps the result as Elastic. The solver needs the file's own pixels: a picture drawn
  /// over is read again first (the caller draws the overlay again afterwards), and one that was
  /// analysed with the other colours hidden is hidden again. `progress` is called on this thread
  /// during the solve; setting `*cancel` stops it (Cancelled, Elastic stays empty). Throws Error
  /// without an analysis, when the section, its materials or the picture file changed since, or
  /// when the solver refuses the section.
  /// With `keepFields` the result also holds the solved fields the stresses of shear forces and
  /// torque need (ElasticOptions::keepFields).
  ElasticOutcome ComputeElastic(const ProgressFn& progress = {},
                                const std::atomic<bool>* cancel = nullptr, bool keepFields = false);

  // --- stresses under given actions (session_stress.cpp) -------------------------------------
  /// The stresses of the last ComputeStresses. Gone with the extended values (any change that
  /// drops them, every Analyse and ResetResults).
  const std::optional<StressField>& Stresses() const { return mStress; }
  enum class StressOutcome { Done, Cancelled };
  /// The stresses of the last analysis under `actions` (formal names), on the file's own pixels.
  /// Shear forces and torque need the solver's fields: unless Elastic holds them, the torsion is
  /// solved first as ComputeElastic(progress, cancel, true) does -- Elastic and Plastic are then
  /// new -- and a cancelled solve leaves no stresses (Cancelled). Throws Error as ComputeElastic
  /// does, and when the section carries nothing (StressField).
  StressOutcome ComputeStresses(const SectionActions& actions, const ProgressFn& progress = {},
                                const std::atomic<bool>* cancel = nullptr);

  // --- plastic moments (session_plastic.cpp) -------------------------------------------------
  /// The materials' strengths: the library file's section "[strength]", read by LoadSettings
  /// right after the Poisson's ratios and written by SaveSettings right after them (never when
  /// its load failed).
  const StrengthTable& Strengths() const { return mStrength; }
  /// The plastic moments of the last analysis, computed by ComputeElastic with the other
  /// extended values (or the reason there are none). Gone whenever Elastic is gone.
  const std::optional<PlasticOutcome>& Plastic() const { return mPlastic; }
  /// The section-table line of the last analysis, computed by ComputeElastic with the other
  /// extended values (or why there is none: a section of several materials). Its Wpl is that of
  /// the one material's strength where given, else of a unit strength: Wpl is the section's
  /// shape, whatever the strength. Gone whenever Elastic is gone.
  const std::optional<SectionTableOutcome>& Table() const { return mTable; }
  /// Sets the strength of `label`, or forgets it with nothing. A change drops the extended
  /// values, Elastic with Plastic, as a changed Poisson's ratio does: they are shown and copied
  /// as one block, which Compute gives again. Throws Error, changing nothing, for a negative or
  /// non-finite value or a label the library file cannot hold.
  void SetStrength(const std::string& label, std::optional<Strength> strength);
  /// Replaces every strength (the batch tool: the --library file's section and --fy); drops the
  /// extended values.
  void SetStrengthTable(StrengthTable table);

  // --- ultimate resistance (session_resistance.cpp) -------------------------------------------
  /// The materials' stress-strain laws (the batch tool: the --library file's section and --law).
  const LawTable& Laws() const { return mLaws; }
  /// Replaces every law; drops the extended values and the resistance.
  void SetLawTable(LawTable table);
  /// The resistance of the last ComputeResistance, or the reason there is none. Gone with the
  /// extended values.
  const std::optional<ResistanceOutcome>& Resistance() const { return mResistance; }
  /// The ultimate resistance of the analysed section with the strengths and laws at the axial
  /// force `n` (N), with the lists `ask` names.
  /// Needs the picture's own pixels as ComputeElastic does; throws Error as it does.
  void ComputeResistance(double n, const ResistanceAsk& ask);
  /// ComputeResistance in two halves, for a window that runs the long one off its thread: the
  /// checks and the picture's pixels now (throwing as ComputeResistance does), the computation
  /// in the job returned, which may run on any thread while the session is left unchanged; the
  /// job refers to the session's picture and tables and must run before the session changes.
  /// Set, `cancel` stops the job early (its outcome then has no values).
  std::function<ResistanceOutcome()> ResistanceJob(double n, const ResistanceAsk& ask,
                                                   const std::atomic<bool>* cancel = nullptr);
  /// Keeps the outcome of a ResistanceJob taken since the last change as Resistance.
  void KeepResistance(ResistanceOutcome outcome) { mResistance = std::move(outcome); }
  /// Sets the law of `label`, or forgets it with nothing (the default of its strength then
  /// holds). A change drops the extended values and the resistance. Throws Error, changing
  /// nothing, for a label the library file cannot hold.
  void SetLaw(const std::string& label, std::optional<MaterialLaw> law);

  // --- cracked service analysis (session_cracked.cpp) ------------------------------------------
  /// The cracked section of the last ComputeCracked, or the reason there is none. Gone with the
  /// extended values.
  const std::optional<CrackedOutcome>& Cracked() const { return mCracked; }
  /// The cracked section's stresses on the pixels, for its map: there with Cracked's values.
  const std::optional<StressField>& CrackedStresses() const { return mCrackedStress; }
  /// The cracked section of the analysed section under the N, My and Mz of `actions` (the shear
  /// forces and the torque play no part), with the strengths and laws saying which materials
  /// take no tension. Needs the picture's own pixels as ComputeElastic does; throws Error as it
  /// does.
  void ComputeCracked(const SectionActions& actions);

 private:
  // What an analysis worked on, so that the torsion solve can insist on the same section.
  struct AnalysedMaterial {
    std::string label;
    double E = 0;
    double rho = 0;
    friend bool operator==(const AnalysedMaterial&, const AnalysedMaterial&) = default;
  };
  struct AnalysedSection {
    SectionSize size;
    std::string picture;
    FileStamp stamp;
    int width = 0;
    int height = 0;
    std::optional<std::string> hiddenBut;
    SectionBounds bounds;
    std::vector<AnalysedMaterial> materials;
    EdgeMode edges = EdgeMode::Flat;
  };
  std::vector<AnalysedMaterial> MaterialsInUseNow() const;
  /// `path` lies in the folder of the program's own files.
  bool InProgramFolder(const std::string& path) const;
  void LoadPoissonTable(std::vector<std::string>& messages);
  void SavePoissonTable();
  void LoadStrengthTable(std::vector<std::string>& messages);
  void SaveStrengthTable();
  void LoadLawTable(std::vector<std::string>& messages);
  void SaveLawTable();
  /// Drops the extended values: Elastic and Plastic, the stresses and the resistance with them.
  void DropExtended();
  /// Drops the results of the last analysis: the extended values, the report, the texts and
  /// values but the centres' (which stay until the next analysis, as the window shows them).
  void ClearResults();
  /// The last analysis, which must still describe the section: throws Error without one, or
  /// when the section or its materials changed since.
  const AnalysedSection& CheckAnalysed() const;
  /// The picture of the last analysis as its file holds it, in memory: read again when it was
  /// drawn over, hidden again as it was analysed. Throws Error without an analysis, or when the
  /// section, its materials or the picture file changed since.
  const PixelGrid& AnalysedPicture();
  /// Bounds from the material list anew, in the current reading of the edges.
  void RebuildBounds();
  /// With smoothed edges read as coverage: Bounds and its texts from the shares of the
  /// materials in use (session_coverage.cpp); `always` sets the texts even when the section
  /// spans no area. Nothing in the flat reading.
  void CoverageBounds(bool always);
  /// The moments of the materials in use read as coverage; throws Error for a picture of too
  /// many colours.
  SectionMoments CoverageMomentsNow(const ProgressFn& progress);

  ProgramSettings mSettings;
  std::string mSettingsProgramPath;  // whose settings file SaveSettings writes; "" before Load
  std::string mUserFolder;
  SettingsHome mSettingsHome = SettingsHome::BesideProgram;
  std::string mProgramFolder;  // the installed program's own files, never written
  std::unique_ptr<TPROPClass> mMaterialLibrary;
  FoundColours mFound;
  std::vector<std::string> mMaterialList;
  SectionBounds mBounds;
  std::string mWidthPixelsText = "0";
  std::string mHeightPixelsText = "0";
  SectionResult mResult;
  CentreTexts mCentre;
  StiffnessTexts mStiffness;
  UnitSystem mTextUnits = UnitSystem::NMm;
  std::vector<std::string> mReport;
  SectionMoments mMoments;
  LoadedPicture mPicture;
  bool mInventoryDone = false;
  LeftOutColours mUnnamedLeftOut;
  int mThreads = 0;
  std::int64_t mMaxCells = 0;
  std::optional<double> mPixelSizeMm;
  std::optional<AnalysedSection> mAnalysed;  // the last analysis, while its results stand
  PoissonTable mPoisson;
  bool mPoissonLoadFailed = false;  // the file's ratios could not be read: never written back
  std::optional<ElasticResult> mElastic;
  StrengthTable mStrength;
  bool mStrengthLoadFailed = false;  // the file's strengths could not be read: never written back
  std::optional<PlasticOutcome> mPlastic;
  std::optional<SectionTableOutcome> mTable;
  std::optional<StressField> mStress;
  LawTable mLaws;
  bool mLawLoadFailed = false;  // the file's laws could not be read: never written back
  std::optional<ResistanceOutcome> mResistance;
  std::optional<CrackedOutcome> mCracked;
  std::optional<StressField> mCrackedStress;
};

}  // namespace qv
