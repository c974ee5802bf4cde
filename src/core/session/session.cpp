// The window-free halves of picture acceptance, inventory, material list and analysis.
#include "core/session/session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <utility>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/limits.h"
#include "core/base/number_field.h"
#include "core/base/number_text.h"
#include "core/library/library_and_settings.h"
#include "core/library/user_library.h"
#include "core/outline/outline_raster.h"
#include "core/outline/outline_regions.h"
#include "core/settings/save_location.h"

namespace qv {

SectionSize SizeOfBox(const SectionSize& size, const SectionBounds& bounds) {
  if (!size.pixelSizeMm) return size;
  SectionSize box = size;
  const double width = static_cast<double>(bounds.WidthPixels()) * *size.pixelSizeMm;
  const double height = static_cast<double>(bounds.HeightPixels()) * *size.pixelSizeMm;
  box.widthDecimalMm = width;
  box.heightDecimalMm = height;
  box.widthMm = static_cast<int>(std::lround(std::min<double>(width, kMaxSectionMm)));
  box.heightMm = static_cast<int>(std::lround(std::min<double>(height, kMaxSectionMm)));
  box.widthText = FormatNumber(width);
  box.heightText = FormatNumber(height);
  return box;
}

SectionSession::SectionSession() = default;

std::vector<std::string> SectionSession::LoadSettings(const std::string& programPath,
                                                      const std::string& userFolder,
                                                      SettingsHome home) {
  mUserFolder = userFolder;
  mSettingsHome = userFolder.empty() ? SettingsHome::BesideProgram : home;
  mProgramFolder = FolderOf(programPath);
  // Settings go beside the program while that folder can be written, else to the user's
  // folder; a read-only settings file beside the program is still read until the user's own
  // exists. An installed program's folder is the package's, writable or not.
  if (userFolder.empty()) {
    mSettingsProgramPath = programPath;
  } else if (mSettingsHome == SettingsHome::UserFolder) {
    mSettingsProgramPath = SettingsProgramPathIn(userFolder, programPath);
  } else {
    mSettingsProgramPath = SettingsProgramPath(programPath, userFolder);
  }
  std::string readFrom = mSettingsProgramPath;
  std::error_code ec;
  if (mSettingsProgramPath != programPath &&
      !std::filesystem::exists(SettingsFilePath(mSettingsProgramPath), ec)) {
    readFrom = programPath;
  }
  std::vector<std::string> messages = qv::LoadSettings(readFrom, mSettings, mMaterialLibrary);
  // The first start with the settings in the user's folder (an installed program): the library
  // the program brings, which the user cannot write, becomes the user's own copy at once. An
  // installed program never works on the package's example at all, at any start.
  const bool packaged =
      mSettingsHome == SettingsHome::UserFolder && InProgramFolder(mSettings.LibraryFile);
  if ((readFrom != mSettingsProgramPath || packaged) && !mMaterialLibrary->LoadFailed()) {
    const std::string own =
        packaged ? UserLibraryFile(mSettings.LibraryFile, userFolder, LibraryCopy::Always)
                 : UserLibraryFile(mSettings.LibraryFile, userFolder);
    if (own != mSettings.LibraryFile) {
      mSettings.LibraryFile = own;
      mMaterialLibrary = std::make_unique<TPROPClass>(own);
      try {
        mMaterialLibrary->Load();
      } catch (const Error& e) {
        messages.emplace_back(e.what());
      }
    }
  }
  LoadPoissonTable(messages);
  LoadStrengthTable(messages);
  LoadLawTable(messages);
  return messages;
}

void SectionSession::SaveSettings() {
  if (mSettingsProgramPath.empty()) return;
  // A library that cannot be written where it is goes to the user's folder instead of being
  // lost; one that did not load is not written at all.
  if (mMaterialLibrary && !mMaterialLibrary->LoadFailed() && !mUserFolder.empty()) {
    // An installed program's own example is never written, even by a user who could.
    const std::string target =
        mSettingsHome == SettingsHome::UserFolder && InProgramFolder(mSettings.LibraryFile)
            ? UserLibraryPath(mUserFolder)
            : WritableLibraryFile(mSettings.LibraryFile, mUserFolder);
    mSettings.LibraryFile = target;
    mMaterialLibrary->FileName = target;
  }
  qv::SaveSettings(mSettingsProgramPath, mSettings, mMaterialLibrary.get());
  SavePoissonTable();
  SaveStrengthTable();
  SaveLawTable();
}

bool SectionSession::InProgramFolder(const std::string& path) const {
  std::error_code ec;
  const std::string folder = FolderOf(path);
  return !mProgramFolder.empty() && !folder.empty() &&
         std::filesystem::equivalent(folder, mProgramFolder, ec);
}

void SectionSession::ChangeSettings(const ProgramSettings& changed) {
  const std::string pictureFile = mSettings.PictureFile;
  const std::string libraryFile = mSettings.LibraryFile;
  const std::string workingDir = mSettings.WorkingDir;
  const bool unreadable = mSettings.SettingsFileUnreadable;
  std::vector<std::string> recent = std::move(mSettings.RecentPictures);
  const EdgeMode edges = mSettings.Edges;
  mSettings = changed;
  mSettings.RecentPictures = std::move(recent);
  mSettings.PictureFile = pictureFile;
  mSettings.LibraryFile = libraryFile;
  mSettings.WorkingDir = workingDir;
  mSettings.SettingsFileUnreadable = unreadable;
  if (mSettings.Edges != edges) {
    // The section's box follows the reading of its edges; results of the other reading no
    // longer describe it.
    ClearResults();
    RebuildBounds();
  }
}

void SectionSession::SetLibrary(std::unique_ptr<TPROPClass> library) {
  mMaterialLibrary = std::move(library);
}

TPROPClass& SectionSession::EditLibrary() {
  if (!mMaterialLibrary) mMaterialLibrary = std::make_unique<TPROPClass>();
  return *mMaterialLibrary;
}

bool SectionSession::LoadPicture() { return mPicture.Load(mSettings.PictureFile); }

SectionSession::PictureReload SectionSession::ReloadPictureIfDrawnOn() {
  if (mPicture.Fresh()) return PictureReload::AlreadyFresh;
  return LoadPicture() ? PictureReload::Reloaded : PictureReload::FileGone;
}

EdgeSmoothing SectionSession::PictureEdgeSmoothing() { return mPicture.FindSmoothing(); }

std::optional<std::string> SectionSession::SmallPictureWarning() const {
  if (Drawing() || (PictureWidth() >= 400 && PictureHeight() >= 400)) return std::nullopt;
  return "Bitmap size " + IntegerText(PictureWidth()) + "x" + IntegerText(PictureHeight()) +
         " is smaller than 400x400 pixels,\rcorrect screen output can not be guaranteed!";
}

bool SectionSession::AcceptPicture(const std::string& path) {
  // A picture that does not open changes nothing: the one on show keeps its name, its results
  // and its place in the settings, so the next start does not open with an error either.
  std::string pictureFile = std::exchange(mSettings.PictureFile, path);
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::string full = ec ? path : absolute.lexically_normal().string();
  std::string workingDir = std::exchange(mSettings.WorkingDir, FolderOf(full));
  const auto restore = [&] {
    mSettings.PictureFile = std::move(pictureFile);
    mSettings.WorkingDir = std::move(workingDir);
  };
  bool loaded = false;
  try {
    loaded = LoadPicture();
  } catch (const Error&) {
    restore();
    throw;
  }
  if (!loaded) {
    restore();
    return false;
  }
  RememberRecentPicture(mSettings.RecentPictures, full);
  return true;
}

void SectionSession::AcceptPixels(std::shared_ptr<const PixelGrid> pixels,
                                  const std::string& name) {
  mPicture.Adopt(std::move(pixels), name);
  mSettings.PictureFile = name;
}

void SectionSession::ForgetRecentPicture(const std::string& path) {
  std::erase(mSettings.RecentPictures, path);
}

void SectionSession::DrawOnPicture(const std::function<void(PixelGrid&)>& draw) {
  mPicture.DrawOn(draw);
}

void SectionSession::HideColoursBut(const std::string& label, const ProgressFn& progress) {
  mPicture.HideColoursBut(label, progress);
}

void SectionSession::ResetResults() {
  ClearResults();
  mFound.Clear();
  if (mMaterialLibrary) {
    for (TPROPRec& entry : *mMaterialLibrary) {
      entry.inUse = false;
      entry.prop.xmin = entry.prop.xmax = entry.prop.ymin = entry.prop.ymax = -1;
    }
  }
  mBounds = SectionBounds{};
  mWidthPixelsText = mHeightPixelsText = "0";
}

bool SectionSession::ResultsStand() const {
  if (!mAnalysed) return false;
  const AnalysedSection& analysed = *mAnalysed;
  return analysed.bounds == mBounds && analysed.materials == MaterialsInUseNow() &&
         analysed.picture == mSettings.PictureFile && analysed.edges == Edges();
}

bool SectionSession::DropStaleResults() {
  if (!mAnalysed || ResultsStand()) return false;
  ClearResults();
  return true;
}

void SectionSession::ClearResults() {
  mAnalysed.reset();
  DropExtended();
  mReport.clear();
  // The centres and their texts stay as they were; everything else returns to zero.
  const PixelPoint nc = mResult.NC;
  const PixelPoint mc = mResult.MC;
  const CentreTexts centre = mCentre;
  mResult = SectionResult{};
  mResult.NC = nc;
  mResult.MC = mc;
  mCentre.ea = mCentre.mass = mCentre.relevantPixels = "0";
  mCentre.ncHor = centre.ncHor;
  mCentre.ncVer = centre.ncVer;
  mCentre.mcHor = centre.mcHor;
  mCentre.mcVer = centre.mcVer;
  mStiffness = StiffnessTexts{};
  mMoments = SectionMoments{};
}

void SectionSession::ColourInventory(InventoryView* view) {
  if (!mPicture.Present()) return;
  if (view) view->SetBusy(true);
  mFound.Clear();
  mUnnamedLeftOut = {};
  mMaterialList.clear();
  mResult.RelevantPixels = 0;
  mCentre.relevantPixels = "0";
  if (view) view->InventoryStarted();
  ResetResults();
  if (view) view->ResultsReset();
  ProgressFn progress;
  if (view) {
    progress = [view](std::int64_t done, std::int64_t total) { view->Progress(done, total); };
  }
  // Read as coverage, a picture kept as its file gives the colours' facts from the same read.
  mPicture.GatherColoursAlong(Edges() == EdgeMode::Coverage);
  try {
    mFound =
        FoundColours(mPicture.ScanColours(mMaterialLibrary.get(), mSettings.IgnoreDollarColours,
                                          progress, mThreads, &mUnnamedLeftOut));
    // Read as coverage, the material list's boxes need every colour's pixels: scanned now,
    // while the progress is on show, rather than at the first colour put on the list.
    if (Edges() == EdgeMode::Coverage && !Drawing()) mPicture.Colours(progress, mThreads);
  } catch (const Error&) {
    // The listing is incomplete; the picture no longer counts as fresh either.
    mInventoryDone = false;
    if (view) view->SetBusy(false);
    throw;
  }
  if (view) {
    view->InventoryFinished();
    view->SetBusy(false);
  }
  mInventoryDone = true;
}

bool SectionSession::OnMaterialList(const std::string& label) const {
  // Labels of one colour always have the same letter case, so an exact match suffices.
  for (const std::string& l : mMaterialList) {
    if (l.size() == label.size() &&
        std::equal(l.begin(), l.end(), label.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return true;
    }
  }
  return false;
}

bool SectionSession::AddColourToMaterialList(const std::string& label) {
  if (OnMaterialList(label)) return false;
  const std::optional<std::size_t> index = mFound.Find(label);
  if (!index) return false;
  const ColourBounds& found = mFound.At(*index);
  if (!mMaterialLibrary) mMaterialLibrary = std::make_unique<TPROPClass>();
  TPROPRec* entry = mMaterialLibrary->FindByLabel(label);
  if (entry != nullptr) {
    entry->inUse = true;
    entry->prop.xmin = found.xmin;
    entry->prop.xmax = found.xmax;
    entry->prop.ymin = found.ymin;
    entry->prop.ymax = found.ymax;
  } else {
    TPROPRec fresh;
    TPROPClass::InitEntry(fresh);
    fresh.id = mMaterialLibrary->MaxId() + 1;
    fresh.prop.colorlabel = label;
    fresh.inUse = true;
    fresh.prop.xmin = found.xmin;
    fresh.prop.xmax = found.xmax;
    fresh.prop.ymin = found.ymin;
    fresh.prop.ymax = found.ymax;
    entry = &mMaterialLibrary->Add(fresh);
  }
  // Another section: the last analysis no longer describes it.
  ClearResults();
  mMaterialList.push_back(label);
  mBounds.Grow(entry->prop.xmin, entry->prop.ymin, entry->prop.xmax, entry->prop.ymax);
  mWidthPixelsText = IntegerText(mBounds.WidthPixels());
  mHeightPixelsText = IntegerText(mBounds.HeightPixels());
  CoverageBounds(true);
  return true;
}

bool SectionSession::RemoveFromMaterialList(const std::string& label) {
  const auto it = std::find(mMaterialList.begin(), mMaterialList.end(), label);
  if (it == mMaterialList.end()) return false;
  mMaterialList.erase(it);
  if (mMaterialLibrary) {
    if (TPROPRec* entry = mMaterialLibrary->FindByLabel(label)) entry->inUse = false;
  }
  ClearResults();
  RebuildBounds();
  return true;
}

bool SectionSession::AnalyseOffered(double widthMm, double heightMm) const {
  return widthMm != 0 && heightMm != 0 && SectionSpansArea();
}

bool SectionSession::AnalyseOffered(const SectionSize& size) const {
  // Sizes with a fraction or from a pixel size come from no integer field: their range is all.
  if (Drawing() || size.pixelSizeMm || size.widthDecimalMm || size.heightDecimalMm) {
    const SectionSize box = AnalysedSize(size);
    const auto inRange = [](double mm) { return mm >= kMinSectionMm && mm <= kMaxSectionMm; };
    return inRange(box.Width()) && inRange(box.Height()) && SectionSpansArea();
  }
  return SizeTextsStand(size) && AnalyseOffered(size.widthMm, size.heightMm);
}

bool SectionSession::SizeTextsStand(const SectionSize& size) {
  NumberField field;
  field.SetType(TNumberType::IntType);
  field.SetMax(kMaxSectionMm);
  const auto stands = [&field](const std::string& text, int value) {
    const NumberReading reading = field.Read(text);
    return reading.status == ValidationStatus::Valid && reading.intValue == value;
  };
  return stands(size.widthText, size.widthMm) && stands(size.heightText, size.heightMm);
}

std::optional<std::string> SectionSession::ScaleText(const SectionSize& size) const {
  if (!AnalyseOffered(size)) return std::nullopt;
  const SectionSize box = AnalysedSize(size);
  const double dx = box.Width() / static_cast<double>(mBounds.WidthPixels());
  const double dy = box.Height() / static_cast<double>(mBounds.HeightPixels());
  return FormatGeneral(dx, 4, 1) + " x " + FormatGeneral(dy, 4, 1) + " mm/px";
}

SectionSize SectionSession::AnalysedSize(const SectionSize& given) const {
  const DrawingPicture* drawing = Drawing();
  if (!drawing) return SizeOfBox(given, mBounds);
  // A drawing has its own size: its cells are of the size it was laid out at.
  SectionSize drawn;
  drawn.pixelSizeMm = drawing->raster.grid.size;
  return SizeOfBox(drawn, mBounds);
}

bool SectionSession::SectionSpansArea() const {
  return mBounds.xmax != mBounds.xmin && mBounds.ymax != mBounds.ymin;
}

SectionSession::AnalyseOutcome SectionSession::Analyse(const SectionSize& given,
                                                       const ProgressFn& progress,
                                                       std::vector<std::string>* messages) {
  // The picture may carry the frame or an earlier overlay, whose pixels would count as material:
  // only the file's own pixels are analysed.
  if (ReloadPictureIfDrawnOn() == PictureReload::FileGone && !mMaterialList.empty()) {
    throw Error("The picture file " + mSettings.PictureFile +
                " is no longer there, so the section cannot be analysed.");
  }
  if (mMaterialList.empty()) return AnalyseOutcome::NoMaterialSelected;
  // Taken after the reload: a pixel size measures the box as the picture now has it.
  const SectionSize size = AnalysedSize(given);
  const bool coverage = Edges() == EdgeMode::Coverage && mMaterialLibrary != nullptr;
  // Taken before anything changes: a picture that cannot be read as coverage leaves all as it was.
  SectionMoments coverageMoments;
  if (coverage) coverageMoments = CoverageMomentsNow(progress);
  mPicture.NoteDrawnOver();
  mAnalysed.reset();
  DropExtended();

  if (coverage) {
    mMoments = std::move(coverageMoments);
    ComputeCentres(mMoments, mBounds, size.Width(), size.Height(), mResult);
    if (const DrawingPicture* drawing = Drawing()) {
      // The values of the section itself, from its outlines; the cells serve the solvers. With
      // the other colours hidden, only the one kept counts, as in a picture.
      std::vector<MaterialMoments> outline = mMoments.materials;
      if (const std::optional<std::string>& hidden = mPicture.HiddenBut()) {
        const std::optional<std::uint32_t> kept = PixelColourOfLabel(*hidden);
        for (MaterialMoments& m : outline) {
          if (!kept || m.colour != *kept) m.E = m.rho = 0;
        }
      }
      mResult = SectionResultOf(OutlineSectionOf(drawing->drawing, outline), outline,
                                drawing->raster.grid, mMoments.touchedPixels);
    }
  } else if (mMaterialLibrary) {
    mMoments = mPicture.Moments(*mMaterialLibrary, progress, mThreads);
    ComputeCentres(mMoments, mBounds, size.Width(), size.Height(), mResult);
  } else {
    if (messages) messages->push_back(kNoMaterialProperties);
    mMoments = SectionMoments{};
  }
  mTextUnits = mSettings.Units;
  mCentre = FormatCentreTexts(mResult, mBounds, mTextUnits);
  if (mMaterialLibrary && Drawing()) {
    // SectionResultOf gave the stiffnesses exactly.
  } else if (mMaterialLibrary) {
    ComputeStiffness(mMoments, mResult);
  } else {
    mResult.EIyy = mResult.EIzz = mResult.EIyz = mResult.EI1 = mResult.EI2 = mResult.Alpha = 0;
    mResult.Iso = false;
    if (messages) messages->push_back(kNoMaterialProperties);
  }
  ApplyAngleTolerance(mResult, mSettings.AngleTolerance);
  mStiffness = FormatStiffnessTexts(mResult, mTextUnits);

  ReportInput input;
  input.picturePath = mSettings.PictureFile;
  input.widthPixels = mWidthPixelsText;
  input.heightPixels = mHeightPixelsText;
  input.widthField = size.widthText;
  input.heightField = size.heightText;
  if (size.pixelSizeMm) input.pixelSize = FormatNumber(*size.pixelSizeMm);
  input.library = mMaterialLibrary.get();
  input.signConvention = mSettings.SignConvention;
  input.units = mTextUnits;
  mReport = SectionReport(mCentre, mStiffness, input);
  if (Drawing()) {
    mReport.emplace_back();
    mReport.emplace_back(kOutlineReportLine);
  } else if (coverage) {
    mReport.emplace_back();
    mReport.emplace_back(kCoverageReportLine);
  }
  mAnalysed = AnalysedSection{size,           mPicture.Source(),   mPicture.Stamp(),
                              PictureWidth(), PictureHeight(),     mPicture.HiddenBut(),
                              mBounds,        MaterialsInUseNow(), Edges()};
  return AnalyseOutcome::Done;
}

}  // namespace qv
