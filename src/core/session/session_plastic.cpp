// The session's plastic moments: the strengths beside the library and the extended values'
// lifetime they share.
#include <algorithm>

#include "core/base/error.h"
#include "core/session/session.h"

namespace qv {

void SectionSession::DropExtended() {
  mElastic.reset();
  mPlastic.reset();
  mTable.reset();
  mStress.reset();
  mResistance.reset();
  mCracked.reset();
  mCrackedStress.reset();
}

void SectionSession::LoadStrengthTable(std::vector<std::string>& messages) {
  mStrength = StrengthTable{};
  mStrengthLoadFailed = false;
  if (!mMaterialLibrary) return;
  try {
    mStrength.Load(mMaterialLibrary->FileName);
  } catch (const Error& e) {
    // As with the Poisson's ratios: shown, and the section is kept from the save at exit.
    mStrengthLoadFailed = true;
    const std::string message = e.what();
    if (std::find(messages.begin(), messages.end(), message) == messages.end()) {
      messages.push_back(message);
    }
  }
}

void SectionSession::SaveStrengthTable() {
  if (!mMaterialLibrary || mMaterialLibrary->LoadFailed() || mStrengthLoadFailed) return;
  mStrength.Save(mMaterialLibrary->FileName);
}

void SectionSession::SetStrength(const std::string& label, std::optional<Strength> strength) {
  const std::optional<Strength> before = mStrength.Get(label);
  if (strength) {
    mStrength.Set(label, *strength);
  } else {
    mStrength.Remove(label);
  }
  if (before != strength) DropExtended();
}

void SectionSession::SetStrengthTable(StrengthTable table) {
  mStrength = std::move(table);
  DropExtended();
}

}  // namespace qv
