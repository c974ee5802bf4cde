// Exact sums of double x integer products, so weighted means round exactly as on paper.
#pragma once

#include <array>
#include <cstdint>

namespace qv {

/// A 128-bit signed integer (the compiler's extension; __extension__ says so once, here).
__extension__ typedef __int128 Int128;
/// Its unsigned twin.
__extension__ typedef unsigned __int128 UInt128;

/// A signed fixed-point number in units of 2^-1074 (the smallest double step), wide enough to
/// hold any sum of a few thousand products of a finite double and a 128-bit integer exactly.
class ExactSum {
 public:
  /// Adds weight * count exactly. `weight` must be finite.
  void AddProduct(double weight, Int128 count);
  int Sign() const;
  /// The value as a double, within a unit in its last place (infinity beyond the double range).
  double ToDouble() const;

  /// num / den rounded to the nearest integer, halves to the even one, computed exactly;
  /// saturates at the limits of int32. `den` must not be zero.
  static std::int64_t RoundQuotientHalfEven(const ExactSum& num, const ExactSum& den);

 private:
  static constexpr int kWords = 40;  // 2560 bits: 2098 for the double range, 128 for counts
  using Words = std::array<std::uint64_t, kWords>;  // two's complement, little endian

  long double Approximate() const;  // value / 2^-1074, as a long double
  static void Add(Words& a, const Words& b);
  static void Negate(Words& a);
  static Words MultiplySmall(const Words& a, std::int64_t k);
  static int SignOf(const Words& a);
  static int Compare(const Words& a, const Words& b);

  Words mWords{};
};

}  // namespace qv
