// The stiffness integration: the scale, E, rho and the centre applied once per material to the
// exact moments of the scan.
#include "core/section/integration.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/base/exact_sum.h"

namespace qv {
namespace {

// Sum over materials of weight(m) * value(m), exactly.
template <typename Weight, typename Value>
ExactSum WeightedSum(const SectionMoments& moments, Weight weight, Value value) {
  ExactSum sum;
  for (const MaterialMoments& m : moments.materials) sum.AddProduct(weight(m), value(m));
  return sum;
}

}  // namespace

void ComputeCentres(const SectionMoments& moments, const SectionBounds& bounds, double widthMm,
                    double heightMm, SectionResult& result) {
  result.Mass = result.SumRhoHor = result.SumRhoVer = 0;
  result.EA = result.SumEHor = result.SumEVer = 0;
  result.NC = result.MC = PixelPoint{};
  result.RelevantPixels = 0;
  const double dx = widthMm / (std::abs(bounds.xmax - bounds.xmin) + 1.0);
  const double dy = heightMm / (std::abs(bounds.ymax - bounds.ymin) + 1.0);
  result.Dx = dx;
  result.Dy = dy;

  for (const MaterialMoments& m : moments.materials) result.RelevantPixels += m.count;
  // Read as coverage, the sums count 1/unit pixels (a power of two: the division is exact) and
  // the relevant pixels are those holding any share of a material.
  result.Coverage = moments.unit != 1;
  if (result.Coverage) result.RelevantPixels = moments.touchedPixels;
  const auto unit = static_cast<double>(moments.unit);
  const auto e = [](const MaterialMoments& m) { return m.E; };
  const auto rho = [](const MaterialMoments& m) { return m.rho; };
  const auto count = [](const MaterialMoments& m) { return static_cast<Int128>(m.count); };
  const auto sumX = [](const MaterialMoments& m) { return m.sumX; };
  const auto sumY = [](const MaterialMoments& m) { return m.sumY; };
  const ExactSum eCount = WeightedSum(moments, e, count);
  const ExactSum eX = WeightedSum(moments, e, sumX);
  const ExactSum eY = WeightedSum(moments, e, sumY);
  const ExactSum rhoCount = WeightedSum(moments, rho, count);
  const ExactSum rhoX = WeightedSum(moments, rho, sumX);
  const ExactSum rhoY = WeightedSum(moments, rho, sumY);

  const double area = dx * dy;
  result.EA = eCount.ToDouble() / unit * area;
  result.Mass = rhoCount.ToDouble() / unit * area / 1e9;
  result.SumEHor = eX.ToDouble() / unit * dx * area;
  result.SumEVer = eY.ToDouble() / unit * dy * area;
  result.SumRhoHor = rhoX.ToDouble() / unit * dx * area / 1e9;
  result.SumRhoVer = rhoY.ToDouble() / unit * dy * area / 1e9;

  // The quotients of the first-moment sums by EA and Mass, divided by the scale, are the
  // weighted mean pixel positions; the scale cancels, so they are rounded from exact sums.
  if (result.EA != 0 && dx != 0 && dy != 0) {
    result.NC.x = static_cast<int>(ExactSum::RoundQuotientHalfEven(eX, eCount));
    result.NC.y = static_cast<int>(ExactSum::RoundQuotientHalfEven(eY, eCount));
    if (rhoCount.Sign() != 0) {
      result.MC.x = static_cast<int>(ExactSum::RoundQuotientHalfEven(rhoX, rhoCount));
      result.MC.y = static_cast<int>(ExactSum::RoundQuotientHalfEven(rhoY, rhoCount));
    }
  }
}

void ComputeStiffness(const SectionMoments& moments, SectionResult& result) {
  result.EIyy = result.EIzz = result.EIyz = result.EI1 = result.EI2 = result.Alpha = 0;
  result.Iso = false;
  const Int128 cx = result.NC.x;
  const Int128 cy = result.NC.y;
  // Read as coverage, each pixel adds its own second moment about its centre, 1/12 pixel^2 per
  // unit of area: the sums are taken twelvefold and the count added once.
  const bool coverage = moments.unit != 1;
  const Int128 scale = coverage ? 12 : 1;
  const Int128 self = coverage ? 1 : 0;
  const auto divisor = static_cast<double>(scale * moments.unit);
  const auto unit = static_cast<double>(moments.unit);
  // Second moments about the rounded NC, exact: sum (px - cx)^2 = Sxx - 2 cx Sx + cx^2 n.
  const auto e = [](const MaterialMoments& m) { return m.E; };
  const ExactSum qyy = WeightedSum(moments, e, [&](const MaterialMoments& m) {
    return scale * (m.sumXX - 2 * cx * m.sumX + cx * cx * m.count) + self * m.count;
  });
  const ExactSum qzz = WeightedSum(moments, e, [&](const MaterialMoments& m) {
    return scale * (m.sumYY - 2 * cy * m.sumY + cy * cy * m.count) + self * m.count;
  });
  const ExactSum qyz = WeightedSum(moments, e, [&](const MaterialMoments& m) {
    return m.sumXY - cy * m.sumX - cx * m.sumY + cx * cy * m.count;
  });
  const double area = std::abs(result.Dx) * std::abs(result.Dy);
  // y = -Dx (px - NC.x) and z = Dy (py - NC.y).
  result.EIyy = qyy.ToDouble() / divisor * (result.Dx * result.Dx) * area;
  result.EIzz = qzz.ToDouble() / divisor * (result.Dy * result.Dy) * area;
  result.EIyz = qyz.ToDouble() / unit * (-result.Dx * result.Dy) * area;
  if (result.EIyz == 0) result.EIyz = 0;  // no "-0" from the sign of the scale
  ComputePrincipalAxes(result);
}

void ApplyAngleTolerance(SectionResult& result, double angleTolerance) {
  // A NaN angle compares false and keeps the computed values.
  if (std::numbers::pi * angleTolerance / 180 >= std::fabs(result.Alpha)) {
    if (result.EIzz >= result.EIyy) {
      result.EI1 = result.EIzz;
      result.EI2 = result.EIyy;
    } else {
      result.EI1 = result.EIyy;
      result.EI2 = result.EIzz;
    }
  }
}

void ComputePrincipalAxes(SectionResult& result) {
  constexpr double kPi = std::numbers::pi;
  result.Alpha = 0;
  result.Iso = false;
  // Squares and products of stiffnesses beyond about 1e154 overflow. The terms are taken at a
  // power-of-two scale of their largest magnitude (an even power, so that the square root scales
  // back exactly): every step then rounds as it would unscaled, so results that did not overflow
  // (or underflow) before come back bit for bit.
  const double largest =
      std::max({std::abs(result.EIyy), std::abs(result.EIzz), std::abs(result.EIyz)});
  int exponent = 0;
  if (std::isfinite(largest) && largest > 0) {
    exponent = std::ilogb(largest);
    exponent -= exponent % 2 != 0 ? 1 : 0;
  }
  const double yy = std::ldexp(result.EIyy, -exponent);
  const double zz = std::ldexp(result.EIzz, -exponent);
  const double yz = std::ldexp(result.EIyz, -exponent);
  // With negative moduli the product can be negative; its magnitude keeps the tolerance real.
  const double tol = 0.001 * std::sqrt(std::abs(yy * zz));
  if (std::abs(yy - zz) > tol) {
    result.Alpha = 0.5 * std::atan(2 * yz / (yy - zz));
  } else if (std::abs(yz) > tol) {
    result.Alpha = kPi / 4;
  } else {
    result.Alpha = 0;
    result.Iso = true;
  }
  const double r = std::sqrt((yy - zz) * (yy - zz) + 4 * yz * yz);
  const double ei1 = ((yy + zz) + r) * 0.5;
  const double ei2 = ((yy + zz) - r) * 0.5;
  result.EI1 = std::ldexp(ei1, exponent);
  result.EI2 = std::ldexp(ei2, exponent);

  // Make Alpha point along the axis of EI1.
  const double a = result.Alpha;
  const double eia = std::cos(2 * a) * (yy - zz) * 0.5 + (yy + zz) * 0.5 + std::sin(2 * a) * yz;
  const double tol2 = 0.001 * std::abs(ei1 + ei2);
  if (std::abs(eia - ei1) > tol2 && std::abs(eia - ei2) < tol2) {
    result.Alpha = a >= 0 ? a - kPi / 2 : a + kPi / 2;
  }
}

std::optional<ElasticCentre> ElasticCentreOf(const SectionResult& section) {
  const double EA = section.EA;
  const double dx = section.Dx;
  const double dy = section.Dy;
  if (!(EA > 0) || !(dx > 0) || !(dy > 0)) return std::nullopt;
  const double x = section.SumEHor / (EA * dx);
  const double y = section.SumEVer / (EA * dy);
  // Stiffnesses about NC's pixel centre move to the exact centre; a drawing's are there.
  const double shiftY = section.AboutExactCentre ? 0.0 : -(x - section.NC.x) * dx;
  const double shiftZ = section.AboutExactCentre ? 0.0 : (y - section.NC.y) * dy;
  // Read as coverage, the analysis holds each pixel's own second moment already.
  const double self = section.Coverage ? 0.0 : 1.0 / 12;
  SectionResult about = section;
  about.EIyy = section.EIyy - EA * shiftY * shiftY + self * EA * dx * dx;
  about.EIzz = section.EIzz - EA * shiftZ * shiftZ + self * EA * dy * dy;
  about.EIyz = section.EIyz - EA * shiftY * shiftZ;
  ComputePrincipalAxes(about);
  ElasticCentre c = CentreAtNC(about);
  c.x = x;
  c.y = y;
  return c;
}

ElasticCentre CentreAtNC(const SectionResult& section) {
  ElasticCentre c;
  c.x = section.NC.x;
  c.y = section.NC.y;
  c.EIyy = section.EIyy;
  c.EIzz = section.EIzz;
  c.EIyz = section.EIyz;
  c.EI1 = section.EI1;
  c.EI2 = section.EI2;
  c.Alpha = section.Alpha;
  c.Iso = section.Iso;
  return c;
}

}  // namespace qv
