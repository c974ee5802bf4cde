// The texts of the window's numeric fields as numbers: the one reading that the fields, the batch
// tool's size options and the tests share.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv {

/// Reads an integer text: leading spaces, an optional sign and decimal digits that fit 32 bits;
/// without a sign also "$", "x", "X", "0x" or "0X" and 1..8 hexadecimal digits, taken as a 32-bit
/// pattern ("$FFFFFFFF" is -1). Nothing when the text is anything else.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

/// Reads a real text: leading spaces, an optional sign, digits with an optional "." and fraction
/// (a lone "." is 0), then optionally "E"/"e", an optional sign and at least one digit. Nothing
/// for anything else, for a lone sign, and for values beyond the range of a double.
std::optional<double> ParseRealText(std::string_view text);

}  // namespace qv
