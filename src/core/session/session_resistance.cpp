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
  const PixelGrid& picture = AnalysedPicture();
  // Read as coverage, the fibres take the analysis' shares as the plastic moments do.
  std::optional<CoverageTable> coverage;
  if (analysed.edges == EdgeMode::Coverage) {
    coverage = PictureCoverage();
    if (!coverage) throw Error("The picture has too many colours to be read as coverage.");
  }
  mResistance = qv::ComputeResistance(picture, mBounds, *mMaterialLibrary, mStrength, mLaws,
                                      mResult, n, ask, coverage ? &*coverage : nullptr);
}

}  // namespace qv
