// The window-free halves of picture acceptance, inventory, material list and analysis.
#include "core/session.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/error.h"
#include "core/analysis/colour_label.h"
#include "core/picture/picture_reader.h"

namespace qv {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

SectionSession::SectionSession() = default;

std::vector<std::string> SectionSession::LoadSettings(const std::string& programPath) {
  return qv::LoadSettings(programPath, Settings, MaterialLibrary);
}

void SectionSession::SaveSettings(const std::string& programPath) const {
  qv::SaveSettings(programPath, Settings, MaterialLibrary.get());
}

bool SectionSession::LoadPicture() {
  std::error_code ec;
  if (Settings.PictureFile.empty() || !std::filesystem::exists(Settings.PictureFile, ec)) {
    return false;
  }
  try {
    PixelGrid fresh = ReadPicture(Settings.PictureFile, std::move(SparePicture));
    SparePicture = std::move(Picture);
    if (SparePicture.Size() > kSparePictureLimit) SparePicture = PixelGrid();
    Picture = std::move(fresh);
  } catch (const Error&) {
    // The old picture and its lists stay, but they no longer belong to PictureFile: an analysis
    // must read the file again (and fail again) rather than report the old picture under the new
    // file's name.
    PictureFresh = false;
    throw;
  }
  PictureFresh = true;
  return true;
}

std::optional<std::string> SectionSession::SmallPictureWarning() const {
  if (Picture.Width() >= 400 && Picture.Height() >= 400) return std::nullopt;
  return "Bitmap size " + std::to_string(Picture.Width()) + "x" + std::to_string(Picture.Height()) +
         " is smaller than 400x400 pixels,\rcorrect screen output can not be guaranteed!";
}

bool SectionSession::AcceptPicture(const std::string& path) {
  Settings.PictureFile = path;
  Settings.WorkingDir = FolderOf(path);
  return LoadPicture();
}

void SectionSession::ResetResults() {
  if (FoundColourList.Count() > 0) FoundColourList.Clear();
  if (MaterialLibrary) {
    for (TPROPRec& entry : *MaterialLibrary) {
      entry.inUse = false;
      entry.prop.xmin = entry.prop.xmax = entry.prop.ymin = entry.prop.ymax = -1;
    }
  }
  Bounds = SectionBounds{};
  WidthPixelsText = HeightPixelsText = "0";
  // The centres and their texts stay as they were; everything else returns to zero.
  const PixelPoint nc = Result.NC;
  const PixelPoint mc = Result.MC;
  const CentreTexts centre = Centre;
  Result = SectionResult{};
  Result.NC = nc;
  Result.MC = mc;
  Centre.ea = Centre.mass = "0";
  Centre.ncHor = centre.ncHor;
  Centre.ncVer = centre.ncVer;
  Centre.mcHor = centre.mcHor;
  Centre.mcVer = centre.mcVer;
  Stiffness = StiffnessTexts{};
  Moments = SectionMoments{};
}

void SectionSession::ColourInventory(InventoryView* view) {
  if (Picture.Empty()) return;
  if (view) view->SetBusy(true);
  FoundLabels.clear();
  MaterialList.clear();
  Result.RelevantPixels = 0;
  Centre.relevantPixels = "0";
  if (view) view->InventoryStarted();
  ResetResults();
  if (view) view->ResultsReset();
  ProgressFn progress;
  if (view) progress = [view](std::int64_t done, std::int64_t total) { view->Progress(done, total); };
  const std::vector<ColourBounds> colours =
      ScanColourBounds(Picture, Settings.IgnoreDollarColours, progress, Threads);
  FoundLabels.reserve(colours.size());
  for (const ColourBounds& c : colours) {
    FoundLabels.push_back(ColourToLabel(static_cast<ColourValue>(c.value)));
  }
  FillFoundColourList(colours, FoundLabels, FoundColourList);
  if (view) {
    view->InventoryFinished();
    view->SetBusy(false);
  }
  InventoryDone = true;
}

bool SectionSession::OnMaterialList(const std::string& label) const {
  // Labels of one colour always have the same letter case, so an exact match suffices.
  for (const std::string& l : MaterialList) {
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
  const TPROPRec* found = FoundColourList.FindByLabel(label);
  if (found == nullptr) return false;
  if (!MaterialLibrary) MaterialLibrary = std::make_unique<TPROPClass>();
  TPROPRec* entry = MaterialLibrary->FindByLabel(label);
  if (entry != nullptr) {
    entry->inUse = true;
    entry->prop.xmin = found->prop.xmin;
    entry->prop.xmax = found->prop.xmax;
    entry->prop.ymin = found->prop.ymin;
    entry->prop.ymax = found->prop.ymax;
  } else {
    TPROPRec fresh;
    TPROPClass::InitEntry(fresh);
    fresh.id = MaterialLibrary->MaxId() + 1;
    fresh.prop.colorlabel = label;
    fresh.inUse = true;
    fresh.prop.xmin = found->prop.xmin;
    fresh.prop.xmax = found->prop.xmax;
    fresh.prop.ymin = found->prop.ymin;
    fresh.prop.ymax = found->prop.ymax;
    entry = &MaterialLibrary->Add(fresh);
  }
  MaterialList.push_back(label);
  Bounds.Grow(entry->prop.xmin, entry->prop.ymin, entry->prop.xmax, entry->prop.ymax);
  WidthPixelsText = std::to_string(Bounds.WidthPixels());
  HeightPixelsText = std::to_string(Bounds.HeightPixels());
  return true;
}

bool SectionSession::RemoveFromMaterialList(const std::string& label) {
  const auto it = std::find(MaterialList.begin(), MaterialList.end(), label);
  if (it == MaterialList.end()) return false;
  MaterialList.erase(it);
  Bounds = SectionBounds{};
  if (MaterialLibrary) {
    if (TPROPRec* entry = MaterialLibrary->FindByLabel(label)) entry->inUse = false;
    for (const TPROPRec& e : *MaterialLibrary) {
      if (e.inUse) Bounds.Grow(e.prop.xmin, e.prop.ymin, e.prop.xmax, e.prop.ymax);
    }
  }
  if (SectionSpansArea()) {
    WidthPixelsText = std::to_string(Bounds.WidthPixels());
    HeightPixelsText = std::to_string(Bounds.HeightPixels());
  }
  return true;
}

bool SectionSession::SectionSpansArea() const {
  return Bounds.xmax != Bounds.xmin && Bounds.ymax != Bounds.ymin;
}

SectionSession::AnalyseOutcome SectionSession::Analyse(const SectionSize& size,
                                                       const ProgressFn& progress,
                                                       std::vector<std::string>* messages) {
  if (!PictureFresh) LoadPicture();
  if (MaterialList.empty()) return AnalyseOutcome::NoMaterialSelected;
  PictureFresh = false;

  if (MaterialLibrary) {
    Moments = ScanMoments(Picture, *MaterialLibrary, progress, Threads);
    ComputeCentres(Moments, Bounds, size.widthMm, size.heightMm, Result);
  } else {
    if (messages) messages->push_back(kNoMaterialProperties);
    Moments = SectionMoments{};
  }
  Centre = FormatCentreTexts(Result, Bounds);
  if (MaterialLibrary) {
    ComputeStiffness(Moments, Result);
  } else {
    Result.EIyy = Result.EIzz = Result.EIyz = Result.EI1 = Result.EI2 = Result.Alpha = 0;
    Result.Iso = false;
    if (messages) messages->push_back(kNoMaterialProperties);
  }
  Stiffness = FormatStiffnessTexts(Result, Settings.AngleTolerance);

  ReportInput input;
  input.picturePath = Settings.PictureFile;
  input.widthPixels = WidthPixelsText;
  input.heightPixels = HeightPixelsText;
  input.widthField = size.widthText;
  input.heightField = size.heightText;
  input.library = MaterialLibrary.get();
  input.signConvention = Settings.SignConvention;
  Report = SectionReport(Centre, Stiffness, input);
  return AnalyseOutcome::Done;
}

}  // namespace qv
