// The session's ultimate resistance: the laws beside the strengths, computed on the analysed
// section's own pixels.
#include "core/base/error.h"
#include "core/session/session.h"

namespace qv {

void SectionSession::SetLawTable(LawTable table) {
  mLaws = std::move(table);
  DropExtended();
}

void SectionSession::ComputeResistance(double n, const ResistanceAsk& ask) {
  const AnalysedSection& analysed = CheckAnalysed();
  mResistance.reset();
  SectionPixels pixels;
  // Read as coverage, the fibres take the analysis' shares as the plastic moments do.
  std::optional<CoverageTable> coverage;
  if (analysed.edges == EdgeMode::Coverage) {
    pixels.grid = &AnalysedPicture();
    coverage = PictureCoverage();
    if (!coverage) throw Error("The picture has too many colours to be read as coverage.");
    pixels.coverage = &*coverage;
  } else if (const std::vector<PixelRun>* runs = mPicture.GatheredRuns()) {
    // The runs kept by the analysis' own read of the file: the same pixels, read once.
    pixels.runs = runs;
  } else {
    pixels.grid = &AnalysedPicture();
  }
  mResistance =
      qv::ComputeResistance(pixels, mBounds, *mMaterialLibrary, mStrength, mLaws, mResult, n, ask);
}

}  // namespace qv
