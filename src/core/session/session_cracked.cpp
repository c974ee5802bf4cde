// The session's cracked section: computed on the analysed section's own pixels, with its
// stresses kept as a field for the map.
#include "core/base/error.h"
#include "core/session/session.h"

namespace qv {

void SectionSession::ComputeCracked(const SectionActions& actions) {
  const AnalysedSection& analysed = CheckAnalysed();
  mCracked.reset();
  mCrackedStress.reset();
  const PixelGrid& picture = AnalysedPicture();
  // Read as coverage, each pixel counts by its shares as the resistance's fibres do.
  std::optional<CoverageTable> coverage;
  if (analysed.edges == EdgeMode::Coverage) {
    coverage = PictureCoverage();
    if (!coverage) throw Error("The picture has too many colours to be read as coverage.");
  }
  CrackedOutcome outcome = qv::ComputeCracked(picture, mBounds, *mMaterialLibrary, mStrength, mLaws,
                                              mResult, actions, coverage ? &*coverage : nullptr);
  if (outcome.values) {
    StressInput input;
    input.grid = &picture;
    input.bounds = mBounds;
    input.library = mMaterialLibrary.get();
    input.section = &mResult;
    input.threads = mThreads;
    input.cracked = &outcome.values->plane;
    for (const MaterialMoments& m : MaterialsInUse(*mMaterialLibrary)) {
      bool cracks = false;
      for (const CrackedMaterial& c : outcome.values->materials) {
        if (c.label == m.entry->prop.colorlabel) cracks = c.cracks;
      }
      input.noTension.push_back(cracks);
    }
    mCrackedStress.emplace(input, outcome.values->actions);
  }
  mCracked = std::move(outcome);
}

}  // namespace qv
