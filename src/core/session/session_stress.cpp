// The session's stresses: the field of the last analysis under given actions, on the file's own
// pixels, with the torsion solved again when shear forces or torque need its fields.
#include "core/session/session.h"

namespace qv {

SectionSession::StressOutcome SectionSession::ComputeStresses(const SectionActions& actions,
                                                              const ProgressFn& progress,
                                                              const std::atomic<bool>* cancel) {
  CheckAnalysed();
  mStress.reset();
  if (actions.NeedsSolve() && !(mElastic && mElastic->Fields)) {
    if (ComputeElastic(progress, cancel, true) == ElasticOutcome::Cancelled) {
      return StressOutcome::Cancelled;
    }
  }
  StressInput input;
  input.grid = &AnalysedPicture();
  input.bounds = mBounds;
  input.library = mMaterialLibrary.get();
  input.section = &mResult;
  input.elastic = mElastic ? &*mElastic : nullptr;
  input.threads = mThreads;
  mStress.emplace(input, actions);
  return StressOutcome::Done;
}

}  // namespace qv
