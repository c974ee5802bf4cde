// The ordered material container.
#include "core/library/dd_props.h"

#include <algorithm>

namespace qv {

TPROPClass::TPROPClass(std::string fileName, bool load) : FileName(std::move(fileName)) {
  if (load) Load();
}

int TPROPClass::MaxId() const { return mMaxId; }

TPROPRec* TPROPClass::FindByLabel(std::string_view label) {
  for (auto it = mEntries.rbegin(); it != mEntries.rend(); ++it) {
    if (it->prop.colorlabel == label) return &*it;
  }
  return nullptr;
}

const TPROPRec* TPROPClass::FindByLabel(std::string_view label) const {
  return const_cast<TPROPClass*>(this)->FindByLabel(label);
}

TPROPRec* TPROPClass::FindById(int id) {
  for (auto it = mEntries.rbegin(); it != mEntries.rend(); ++it) {
    if (it->id == id) return &*it;
  }
  return nullptr;
}

TPROPRec& TPROPClass::Add(const TPROPRec& entry) {
  mEntries.push_back(entry);
  mMaxId = std::max(mMaxId, entry.id);
  return mEntries.back();
}

void TPROPClass::Delete(int id) {
  for (auto it = mEntries.rbegin(); it != mEntries.rend(); ++it) {
    if (it->id != id) continue;
    mEntries.erase(std::next(it).base());
    if (id == mMaxId) {
      mMaxId = 0;
      for (const TPROPRec& e : mEntries) mMaxId = std::max(mMaxId, e.id);
    }
    return;
  }
}

void TPROPClass::Clear() {
  mEntries.clear();
  mMaxId = 0;
}

void TPROPClass::InitProp(PROPRec& record) { record = PROPRec{}; }

void TPROPClass::InitEntry(TPROPRec& entry) { entry = TPROPRec{}; }

}  // namespace qv
