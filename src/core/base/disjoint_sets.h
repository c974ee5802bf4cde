// Labels joined into pieces (union-find), for the passes that group pixels or corners as they go.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

/// Sets of labels 0..Size()-1 that only ever merge. A set's root is its lowest label, so callers
/// that walk the labels in order meet each piece first at its root.
class DisjointSets {
 public:
  /// A new label in a set of its own.
  std::int32_t Add() {
    const auto label = static_cast<std::int32_t>(mParent.size());
    mParent.push_back(label);
    return label;
  }

  void Clear() { mParent.clear(); }
  std::size_t Size() const { return mParent.size(); }

  /// The root of `label`'s set. Halves the path on the way: the passes look up the same few
  /// labels millions of times, and the trees stay flat without ranks.
  std::int32_t Find(std::int32_t label) {
    while (Parent(label) != label) {
      Parent(label) = Parent(Parent(label));
      label = Parent(label);
    }
    return label;
  }

  /// Merges the sets of `a` and `b` under the lower of their two roots.
  void Join(std::int32_t a, std::int32_t b) {
    const std::int32_t p = Find(a);
    const std::int32_t q = Find(b);
    if (p != q) Parent(std::max(p, q)) = std::min(p, q);
  }

 private:
  std::int32_t& Parent(std::int32_t label) { return mParent[static_cast<std::size_t>(label)]; }

  std::vector<std::int32_t> mParent;
};

}  // namespace qv
