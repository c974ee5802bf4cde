// The session's reading of smoothed edges as coverage: the section's box from the shares of the
// materials in use, and the moments an analysis takes from the picture's colours.
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/session/session.h"

namespace qv {
namespace {

std::string TooManyColours(const std::string& picture) {
  return "The picture " + picture + " has more than " +
         IntegerText(static_cast<std::int64_t>(kMaxEdgeColours)) +
         " colours, which is no drawing: its edges cannot be read as coverage, only flat.";
}

}  // namespace

std::optional<CoverageTable> SectionSession::PictureCoverage(const ProgressFn& progress) {
  if (!mMaterialLibrary) return std::nullopt;
  if (const DrawingPicture* drawing = Drawing()) {
    return DrawingCoverage(*drawing, ColoursOf(MaterialsInUse(*mMaterialLibrary)));
  }
  const std::optional<PictureColours>& colours = mPicture.Colours(progress, mThreads);
  if (!colours) return std::nullopt;
  return CoverageTable(*colours, ColoursOf(MaterialsInUse(*mMaterialLibrary)));
}

void SectionSession::RebuildBounds() {
  mBounds = SectionBounds{};
  if (mMaterialLibrary) {
    for (const TPROPRec& e : *mMaterialLibrary) {
      if (e.inUse) mBounds.Grow(e.prop.xmin, e.prop.ymin, e.prop.xmax, e.prop.ymax);
    }
  }
  if (SectionSpansArea()) {
    mWidthPixelsText = IntegerText(mBounds.WidthPixels());
    mHeightPixelsText = IntegerText(mBounds.HeightPixels());
  }
  CoverageBounds(false);
}

void SectionSession::CoverageBounds(bool always) {
  if (Edges() != EdgeMode::Coverage || mMaterialList.empty()) return;
  // A picture of too many colours keeps the flat box; its analysis says why it cannot be read.
  const std::optional<CoverageTable> table = PictureCoverage();
  if (!table) return;
  const CoverageBox& box = table->Box();
  if (box.xmin < 0) return;
  mBounds = SectionBounds{box.xmin, box.ymin, box.xmax, box.ymax};
  if (always || SectionSpansArea()) {
    mWidthPixelsText = IntegerText(mBounds.WidthPixels());
    mHeightPixelsText = IntegerText(mBounds.HeightPixels());
  }
}

SectionMoments SectionSession::CoverageMomentsNow(const ProgressFn& progress) {
  if (Drawing()) return mPicture.Moments(*mMaterialLibrary, progress, mThreads);
  const std::optional<PictureColours>& colours = mPicture.Colours(progress, mThreads);
  if (!colours) throw Error(TooManyColours(FileNameOf(mSettings.PictureFile)));
  std::vector<MaterialMoments> materials = MaterialsInUse(*mMaterialLibrary);
  const CoverageTable table(*colours, ColoursOf(materials));
  if (progress) {
    const std::int64_t pixels = std::int64_t{PictureWidth()} * PictureHeight();
    progress(pixels, pixels);
  }
  return CoverageMoments(*colours, table, std::move(materials));
}

}  // namespace qv
