// Fixed-point arithmetic behind ExactSum.
#include "core/base/exact_sum.h"

#include <cmath>
#include <limits>

namespace qv {
namespace {
constexpr int kScale = 1074;  // a double is an integer times 2^-1074
}

void ExactSum::AddProduct(double weight, Int128 count) {
  if (weight == 0 || count == 0) return;
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(weight), &exponent);  // weight = f * 2^exponent
  // Mantissa as a 53-bit integer m with |weight| = m * 2^(exponent - 53).
  auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  int shift = exponent - 53 + kScale;
  while (shift < 0) {  // denormals: the low bits of m are zero
    mantissa >>= 1;
    ++shift;
  }
  const bool negative = (weight < 0) != (count < 0);
  const UInt128 magnitude =
      count < 0 ? static_cast<UInt128>(-(count + 1)) + 1 : static_cast<UInt128>(count);
  // product = mantissa * magnitude: up to 181 bits in three words.
  const UInt128 lo = static_cast<UInt128>(mantissa) * static_cast<std::uint64_t>(magnitude);
  const UInt128 hi = static_cast<UInt128>(mantissa) * static_cast<std::uint64_t>(magnitude >> 64);
  std::array<std::uint64_t, 4> product{};
  product[0] = static_cast<std::uint64_t>(lo);
  const UInt128 mid = (lo >> 64) + static_cast<std::uint64_t>(hi);
  product[1] = static_cast<std::uint64_t>(mid);
  const UInt128 top = (mid >> 64) + (hi >> 64);
  product[2] = static_cast<std::uint64_t>(top);
  product[3] = static_cast<std::uint64_t>(top >> 64);

  Words term{};
  const int wordShift = shift / 64;
  const int bitShift = shift % 64;
  for (int i = 0; i < 4; ++i) {
    const int at = i + wordShift;
    if (at < kWords) term[at] |= product[i] << bitShift;
    if (bitShift != 0 && at + 1 < kWords) term[at + 1] |= product[i] >> (64 - bitShift);
  }
  if (negative) Negate(term);
  Add(mWords, term);
}

void ExactSum::Add(Words& a, const Words& b) {
  unsigned carry = 0;
  for (int i = 0; i < kWords; ++i) {
    const UInt128 s = static_cast<UInt128>(a[i]) + b[i] + carry;
    a[i] = static_cast<std::uint64_t>(s);
    carry = static_cast<unsigned>(s >> 64);
  }
}

void ExactSum::Negate(Words& a) {
  for (auto& w : a) w = ~w;
  Words one{};
  one[0] = 1;
  Add(a, one);
}

int ExactSum::SignOf(const Words& a) {
  if (a[kWords - 1] >> 63) return -1;
  for (auto w : a) {
    if (w != 0) return 1;
  }
  return 0;
}

int ExactSum::Sign() const { return SignOf(mWords); }

int ExactSum::Compare(const Words& a, const Words& b) {
  Words d = b;
  Negate(d);
  Add(d, a);
  return SignOf(d);
}

ExactSum::Words ExactSum::MultiplySmall(const Words& a, std::int64_t k) {
  const bool negative = k < 0;
  const std::uint64_t m =
      negative ? 0 - static_cast<std::uint64_t>(k) : static_cast<std::uint64_t>(k);
  Words r{};
  std::uint64_t carry = 0;
  for (int i = 0; i < kWords; ++i) {
    const UInt128 p = static_cast<UInt128>(a[i]) * m + carry;
    r[i] = static_cast<std::uint64_t>(p);
    carry = static_cast<std::uint64_t>(p >> 64);
  }
  // Two's complement times an unsigned factor keeps its sign in the low kWords words.
  if (negative) Negate(r);
  return r;
}

long double ExactSum::Approximate() const {
  Words m = mWords;
  const int sign = SignOf(m);
  if (sign == 0) return 0.0L;
  if (sign < 0) Negate(m);
  int top = kWords - 1;
  while (top > 0 && m[top] == 0) --top;
  long double v = static_cast<long double>(m[top]);
  if (top > 0) v = v * 18446744073709551616.0L + static_cast<long double>(m[top - 1]);
  if (top > 1) {
    v = v * 18446744073709551616.0L + static_cast<long double>(m[top - 2]);
    v = std::ldexp(v, 64 * (top - 2));
  }
  return sign < 0 ? -v : v;
}

double ExactSum::ToDouble() const {
  return static_cast<double>(std::ldexp(Approximate(), -kScale));
}

std::int64_t ExactSum::RoundQuotientHalfEven(const ExactSum& num, const ExactSum& den) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  Words n = num.mWords;
  Words d = den.mWords;
  if (SignOf(d) < 0) {
    Negate(n);
    Negate(d);
  }
  ExactSum nn, dd;
  nn.mWords = n;
  dd.mWords = d;
  const long double approx = nn.Approximate() / dd.Approximate();
  if (!(approx < kLimit + 2.0L)) return kLimit;
  if (!(approx > -kLimit - 3.0L)) return -kLimit - 1;
  auto k = static_cast<std::int64_t>(std::floor(approx));
  // r = n - k d, brought into [0, d).
  auto remainder = [&](std::int64_t kk) {
    Words r = MultiplySmall(d, kk);
    Negate(r);
    Add(r, n);
    return r;
  };
  Words r = remainder(k);
  while (SignOf(r) < 0) r = remainder(--k);
  while (Compare(r, d) >= 0) r = remainder(++k);
  Words twice = r;
  Add(twice, r);
  const int c = Compare(twice, d);
  if (c > 0 || (c == 0 && (k % 2 != 0))) ++k;
  if (k > kLimit) return kLimit;
  if (k < -kLimit - 1) return -kLimit - 1;
  return k;
}

}  // namespace qv
