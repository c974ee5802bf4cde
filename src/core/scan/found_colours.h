// The found-colours list: every distinct colour of the picture with its bounding box, in
// discovery order, kept as the scan returns it. Labels and records are made when asked for, so
// a picture of ten million colours costs twenty bytes per colour and no node or string each.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/library/dd_props.h"
#include "core/scan/inventory.h"

namespace qv {

class FoundColours {
 public:
  FoundColours() = default;
  explicit FoundColours(std::vector<ColourBounds> colours) : mColours(std::move(colours)) {}

  std::size_t Size() const { return mColours.size(); }
  bool Empty() const { return mColours.empty(); }
  const ColourBounds& At(std::size_t index) const { return mColours[index]; }
  const std::vector<ColourBounds>& All() const { return mColours; }
  /// The ColourLabel of the colour at `index`.
  std::string Label(std::size_t index) const;
  /// Every label in order (for listings and tests; a large picture is better read by index).
  std::vector<std::string> Labels() const;
  /// The index of the colour whose label is exactly `label`, or nothing.
  std::optional<std::size_t> Find(std::string_view label) const;
  /// The colour at `index` as the found-colours list's entry: id = index + 1, the label, the
  /// bounds, E = rho = 1, not in use.
  TPROPRec Entry(std::size_t index) const;
  /// The whole list as a container of entries (for the diagnostic data window).
  TPROPClass AsContainer() const;
  void Clear() { mColours.clear(); }

 private:
  std::vector<ColourBounds> mColours;
};

}  // namespace qv
