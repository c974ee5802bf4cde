// How the pixels along a section's edges are read: flat colours only, or smoothed (anti-aliased)
// edge pixels as parts of the materials they blend.
#pragma once

#include <optional>
#include <string_view>

namespace qv {

enum class EdgeMode {
  Flat,      ///< a pixel counts only when its colour is exactly a material's (the default)
  Coverage,  ///< a blended edge pixel counts as its share of each material (core/scan/coverage)
};

/// The name in the settings file and on the batch tool's command line: "flat", "coverage".
constexpr std::string_view EdgeModeName(EdgeMode mode) {
  return mode == EdgeMode::Coverage ? "coverage" : "flat";
}

/// The mode of a name EdgeModeName gives (exactly, lower case); nothing for any other text.
constexpr std::optional<EdgeMode> EdgeModeOf(std::string_view name) {
  if (name == "flat") return EdgeMode::Flat;
  if (name == "coverage") return EdgeMode::Coverage;
  return std::nullopt;
}

}  // namespace qv
