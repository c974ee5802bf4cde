// The session's torsion flow: Poisson's ratios beside the library, and the elastic solve of the
// last analysis on the file's own pixels.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/base/error.h"
#include "core/outline/outline_plastic.h"
#include "core/session/session.h"

namespace qv {

SectionSession::ResultDrawing SectionSession::DrawResults(const OverlayInput& input) const {
  ResultDrawing drawing{DrawResultOverlay(input), std::nullopt};
  if (!mElastic) return drawing;
  const OverlayOps marker = DrawShearCentre(input, mElastic->ShearCentreHor,
                                            mElastic->ShearCentreVer, mResult.Dx, mResult.Dy);
  drawing.ops.insert(drawing.ops.end(), marker.begin(), marker.end());
  // A marker off the picture cannot be seen: whoever shows the drawing says where it is.
  drawing.note =
      ShearCentreOffPictureNote(input.Width, input.Height, input.Bounds, mElastic->ShearCentreHor,
                                mElastic->ShearCentreVer, mResult.Dx, mResult.Dy);
  return drawing;
}

std::vector<SectionSession::AnalysedMaterial> SectionSession::MaterialsInUseNow() const {
  std::vector<AnalysedMaterial> materials;
  if (!mMaterialLibrary) return materials;
  for (const TPROPRec& entry : *mMaterialLibrary) {
    if (entry.inUse) materials.push_back({entry.prop.colorlabel, entry.prop.E, entry.prop.rho});
  }
  return materials;
}

void SectionSession::LoadPoissonTable(std::vector<std::string>& messages) {
  mPoisson = PoissonTable{};
  mPoissonLoadFailed = false;
  if (!mMaterialLibrary) return;
  try {
    mPoisson.Load(mMaterialLibrary->FileName);
  } catch (const Error& e) {
    // Like a library that does not convert: shown, and the section is kept from the save at
    // exit, so what the user wrote there survives for a later run.
    mPoissonLoadFailed = true;
    const std::string message = e.what();
    // A file that cannot be read at all was already reported by the library.
    if (std::find(messages.begin(), messages.end(), message) == messages.end()) {
      messages.push_back(message);
    }
  }
}

void SectionSession::SavePoissonTable() {
  // Only into the file the library was just saved to, and only when that save wrote it.
  if (!mMaterialLibrary || mMaterialLibrary->LoadFailed() || mPoissonLoadFailed) return;
  mPoisson.Save(mMaterialLibrary->FileName);
}

void SectionSession::SetPoissonRatio(const std::string& label, double nu) {
  const double before = mPoisson.Get(label);
  mPoisson.Set(label, nu);
  if (before != nu) DropExtended();
}

void SectionSession::SetPoissonTable(PoissonTable table) {
  mPoisson = std::move(table);
  DropExtended();
}

const SectionSession::AnalysedSection& SectionSession::CheckAnalysed() const {
  if (!mAnalysed) throw Error("No analysis yet: analyse the section first.");
  if (!mMaterialLibrary) throw Error(kNoMaterialProperties);
  const AnalysedSection& analysed = *mAnalysed;
  // The solve must describe the section whose results are shown, not one edited since.
  if (analysed.bounds != mBounds || analysed.materials != MaterialsInUseNow() ||
      analysed.picture != mSettings.PictureFile || analysed.edges != Edges()) {
    throw Error("The section or its materials changed since the last analysis: analyse again.");
  }
  return analysed;
}

const PixelGrid& SectionSession::AnalysedPicture() {
  const AnalysedSection& analysed = CheckAnalysed();
  if (!mPicture.Fresh() || mPicture.HiddenBut() != analysed.hiddenBut) {
    if (!LoadPicture()) {
      throw Error("The picture file " + mSettings.PictureFile +
                  " is no longer there, so the section cannot be analysed.");
    }
    if (analysed.hiddenBut) HideColoursBut(*analysed.hiddenBut);
  }
  mPicture.ReadIntoMemory();
  const PixelGrid& picture = mPicture.Grid();
  if (mPicture.Stamp() != analysed.stamp || picture.Width() != analysed.width ||
      picture.Height() != analysed.height) {
    throw Error("The picture file " + mSettings.PictureFile +
                " changed since the last analysis: analyse again.");
  }
  return picture;
}

SectionSession::ElasticOutcome SectionSession::ComputeElastic(const ProgressFn& progress,
                                                              const std::atomic<bool>* cancel,
                                                              bool keepFields) {
  const AnalysedSection& analysed = CheckAnalysed();
  DropExtended();
  const PixelGrid& picture = AnalysedPicture();
  // Read as coverage, the solver and the plastic moments take the analysis' shares.
  std::optional<CoverageTable> coverage;
  if (analysed.edges == EdgeMode::Coverage) {
    coverage = PictureCoverage();
    if (!coverage) throw Error("The picture has too many colours to be read as coverage.");
  }
  ElasticOptions options;
  options.keepFields = keepFields;
  options.threads = mThreads;
  options.maxCells = mMaxCells;
  options.progress = progress;
  options.cancel = cancel;
  options.coverage = coverage ? &*coverage : nullptr;
  std::optional<ElasticResult> result =
      ComputeElasticSection(picture, mBounds, *mMaterialLibrary, mPoisson, analysed.size.Width(),
                            analysed.size.Height(), mResult, options);
  if (!result) return ElasticOutcome::Cancelled;
  mElastic = std::move(result);
  // The plastic values need no solve: a pass over the same pixels, or a drawing's own
  // outlines, cut exactly.
  const DrawingPicture* drawing = Drawing();
  const auto plasticWith = [&](const StrengthTable& strengths) {
    if (drawing != nullptr && !analysed.hiddenBut) {
      const OutlineGrid& grid = drawing->raster.grid;
      return OutlinePlasticSection(drawing->drawing, *mMaterialLibrary, strengths, mResult,
                                   grid.x0 + mBounds.xmin * grid.size,
                                   grid.yTop - mBounds.ymin * grid.size);
    }
    return ComputePlasticSection(picture, mBounds, *mMaterialLibrary, strengths, mResult,
                                 options.coverage);
  };
  mPlastic = plasticWith(mStrength);
  // Wpl is the shape's: without the one strength it would come from, a unit strength gives it
  // (another pass, for a section of one material only, where the line has a meaning).
  std::optional<PlasticOutcome> unitPlastic;
  if (mElastic->Moduli && !(mPlastic->values && mPlastic->values->fy)) {
    StrengthTable unit;
    for (const TPROPRec& entry : *mMaterialLibrary) {
      if (entry.inUse && entry.prop.E > 0) unit.Set(entry.prop.colorlabel, Strength{1, 1});
    }
    unitPlastic = plasticWith(unit);
  }
  mTable = SectionTableOf(mResult, *mElastic, unitPlastic ? *unitPlastic : *mPlastic);
  return ElasticOutcome::Done;
}

}  // namespace qv
