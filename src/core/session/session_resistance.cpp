// The session's ultimate resistance: the laws beside the strengths, computed on the analysed
// section's own pixels.
#include <algorithm>
#include <memory>

#include "core/base/error.h"
#include "core/library/label_key.h"
#include "core/session/session.h"

namespace qv {

void SectionSession::SetLawTable(LawTable table) {
  mLaws = std::move(table);
  DropExtended();
}

void SectionSession::LoadLawTable(std::vector<std::string>& messages) {
  mLaws = LawTable{};
  mLawLoadFailed = false;
  if (!mMaterialLibrary) return;
  try {
    mLaws.Load(mMaterialLibrary->FileName);
  } catch (const Error& e) {
    // As with the strengths: shown, and the section is kept from the save at exit.
    mLawLoadFailed = true;
    const std::string message = e.what();
    if (std::find(messages.begin(), messages.end(), message) == messages.end()) {
      messages.push_back(message);
    }
  }
}

void SectionSession::SaveLawTable() {
  if (!mMaterialLibrary || mMaterialLibrary->LoadFailed() || mLawLoadFailed) return;
  mLaws.Save(mMaterialLibrary->FileName);
}

void SectionSession::SetLaw(const std::string& label, std::optional<MaterialLaw> law) {
  if (mLaws.Get(label) == law) return;
  LawTable table;
  for (const auto& [key, entry] : mLaws.Entries()) {
    if (!SameLabel(key, label)) table.Set(key, entry);
  }
  if (law) table.Set(label, std::move(*law));
  SetLawTable(std::move(table));
}

std::function<ResistanceOutcome()> SectionSession::ResistanceJob(double n, const ResistanceAsk& ask,
                                                                 const std::atomic<bool>* cancel) {
  const AnalysedSection& analysed = CheckAnalysed();
  mResistance.reset();
  SectionPixels pixels;
  // Read as coverage, the fibres take the analysis' shares as the plastic moments do.
  std::shared_ptr<const CoverageTable> coverage;
  if (analysed.edges == EdgeMode::Coverage) {
    pixels.grid = &AnalysedPicture();
    std::optional<CoverageTable> table = PictureCoverage();
    if (!table) throw Error("The picture has too many colours to be read as coverage.");
    coverage = std::make_shared<const CoverageTable>(std::move(*table));
    pixels.coverage = coverage.get();
  } else if (const std::vector<PixelRun>* runs = mPicture.GatheredRuns()) {
    // The runs kept by the analysis' own read of the file: the same pixels, read once.
    pixels.runs = runs;
  } else {
    pixels.grid = &AnalysedPicture();
  }
  return [this, pixels, n, ask, coverage, cancel] {
    return qv::ComputeResistance(pixels, mBounds, *mMaterialLibrary, mStrength, mLaws, mResult, n,
                                 ask, cancel);
  };
}

void SectionSession::ComputeResistance(double n, const ResistanceAsk& ask) {
  KeepResistance(ResistanceJob(n, ask)());
}

}  // namespace qv
