// Colour values and their text labels: the key that ties a picture colour to a material.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

/// A colour as 0x00BBGGRR (red in the low byte). Values with the top bit set are system
/// colours and occur only in settings, never in a pixel.
using ColourValue = std::int32_t;

/// The label of a colour: one of the 52 names ("clBlue", "clBtnFace", ...) when the value has
/// one, else "$" and 8 upper-case hexadecimal digits ("$000080FF").
std::string ColourToLabel(ColourValue value);

/// True when ColourToLabel(value) is one of the names (false for "$" labels).
bool HasColourName(ColourValue value);

/// The colour of a label: one of the 52 names without regard to letter case, else an integer
/// (hexadecimal after "$", decimal otherwise). Throws Error "'<text>' is not a valid integer
/// value" for anything else.
ColourValue LabelToColour(std::string_view text);

/// The pixel colour whose ColourToLabel is exactly `label` (case-sensitive), or nothing when no
/// pixel of any picture can carry this label ("clred", "$000000FF", "clBtnFace", "$01000000").
std::optional<std::uint32_t> PixelColourOfLabel(std::string_view label);

}  // namespace qv
