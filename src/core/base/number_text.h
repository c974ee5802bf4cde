// Locale-free number texts: the general and fixed formats, scaled stiffness texts, and the
// readers for the texts the program writes to its files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// Rounds v in decimal to at most `precision` significant digits (limited to 2..18), halves away
/// from zero on the exact binary value, and writes it plainly when the decimal exponent n of
/// 0.d1d2.. x 10^n satisfies -3 <= n <= precision, else as d1.d2..E[-]exp with at least `digits`
/// exponent digits (digits above 4 count as 0). "." is always the separator. Non-finite values
/// give "NAN", "INF" or "-INF".
std::string FormatGeneral(double v, int precision, int digits);

/// Like FormatGeneral, but keeps at most `digits` decimals (limited to 0..18) and writes exactly
/// `digits` of them (zero padded); values with more than `precision` integer digits fall back to
/// FormatGeneral(v, precision, digits). A value that rounds to zero has no minus sign.
std::string FormatFixed(double v, int precision, int digits);

/// For i = 1..16 gives i - 1 for the first i with 10^i >= x, else 16 (0 for any x <= 10; 16 for
/// NaN and +INF).
int DecimalOrder(double x);

/// FormatFixed(v / 10^e, 8, 3) + "E" + e, as in "34.568E11". A non-finite value (or quotient)
/// gives "NAN", "INF" or "-INF" alone: a scale means nothing there.
std::string FormatScaled(double v, int e);

/// The decimal text of an integer, as every count, index and size the program writes ("-1").
std::string IntegerText(std::int64_t value);

/// The general number format of every real the program writes: FormatGeneral(v, 15, 0).
std::string FormatNumber(double v);

/// Reads a decimal real: optional spaces, optional sign, digits with an optional "." and
/// fraction (either side of the "." may be empty, not both), an optional exponent ("E"/"e",
/// optional sign, digits), optional trailing spaces.
/// Texts that round to just beyond the largest double within 15 significant digits read as
/// the largest double, so every value FormatNumber writes reads back; values below the smallest
/// denormal read as the nearest value (a denormal or a signed zero). Throws Error with
/// InvalidRealMessage for any other text, for NaN/infinity texts and for values out of range.
double ReadReal(std::string_view text);

/// Reads a 32-bit integer: optional sign, then decimal digits, or "$" and 1..8 hexadecimal
/// digits taken as the 32-bit pattern ("$FFFFFFFF" is -1). Throws Error with
/// InvalidIntegerMessage otherwise (also on overflow, a sign before "$" and any blank: values
/// reach this already trimmed).
std::int32_t ReadInteger(std::string_view text);

}  // namespace qv
