// Integration over the pixels of the materials in use: exact integer moments from one row-major
// scan, then the scale, E, rho and the centre applied once per material.
#include "core/analysis/integration.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "core/analysis/colour_label.h"
#include "core/analysis/exact_sum.h"
#include "core/dd_props.h"

namespace qv {
namespace {

constexpr int kNoMaterial = -1;

// Colour -> index into the materials in use. Built once per scan from the library: a pixel's
// label finds the newest entry with that label, and only an entry in use counts.
struct MaterialIndex {
  std::vector<MaterialMoments> materials;
  std::unordered_map<std::uint32_t, int> byColour;

  int Find(std::uint32_t colour) const {
    if (materials.size() <= 8) {
      for (std::size_t i = 0; i < materials.size(); ++i) {
        if (materials[i].colour == colour) return static_cast<int>(i);
      }
      return kNoMaterial;
    }
    const auto it = byColour.find(colour);
    return it == byColour.end() ? kNoMaterial : it->second;
  }
};

MaterialIndex BuildIndex(const TPROPClass& library) {
  MaterialIndex index;
  std::unordered_map<std::uint32_t, const TPROPRec*> newest;
  for (const TPROPRec& entry : library) {
    if (auto colour = PixelColourOfLabel(entry.prop.colorlabel)) newest[*colour] = &entry;
  }
  // Library order keeps the result independent of hashing.
  for (const TPROPRec& entry : library) {
    const auto colour = PixelColourOfLabel(entry.prop.colorlabel);
    if (!colour || newest[*colour] != &entry || !entry.inUse) continue;
    MaterialMoments m;
    m.entry = &entry;
    m.colour = *colour;
    m.E = entry.prop.E;
    m.rho = entry.prop.rho;
    index.byColour[*colour] = static_cast<int>(index.materials.size());
    index.materials.push_back(m);
  }
  return index;
}

// Sum of k^2 for k = 0 .. n.
Int128 SumOfSquares(std::int64_t n) {
  if (n < 0) return 0;
  const Int128 v = n;
  return v * (v + 1) * (2 * v + 1) / 6;
}

void AddRun(MaterialMoments& m, int y, int x0, int x1) {  // pixels x0 .. x1 inclusive
  const std::int64_t length = x1 - x0 + 1;
  const Int128 sumX = static_cast<Int128>(x0 + x1) * length / 2;
  m.count += length;
  m.sumX += sumX;
  m.sumY += static_cast<Int128>(y) * length;
  m.sumXX += SumOfSquares(x1) - SumOfSquares(x0 - 1);
  m.sumYY += static_cast<Int128>(y) * y * length;
  m.sumXY += sumX * y;
}

void ScanRows(const PixelGrid& grid, const MaterialIndex& index, int firstRow, int endRow,
              std::vector<MaterialMoments>& sums) {
  const int width = grid.Width();
  for (int y = firstRow; y < endRow; ++y) {
    const std::uint32_t* row = grid.Row(y);
    std::uint32_t lastColour = row[0] ^ 1u;
    int lastMaterial = kNoMaterial;
    for (int x = 0; x < width;) {
      const std::uint32_t colour = row[x];
      const int end = RunEnd(row, x + 1, width, colour);
      if (colour != lastColour) {
        lastColour = colour;
        lastMaterial = index.Find(colour);
      }
      if (lastMaterial != kNoMaterial)
        AddRun(sums[static_cast<std::size_t>(lastMaterial)], y, x, end - 1);
      x = end;
    }
  }
}

// Sum over materials of weight(m) * value(m), exactly.
template <typename Weight, typename Value>
ExactSum WeightedSum(const SectionMoments& moments, Weight weight, Value value) {
  ExactSum sum;
  for (const MaterialMoments& m : moments.materials) sum.AddProduct(weight(m), value(m));
  return sum;
}

}  // namespace

std::vector<MaterialMoments> MaterialsInUse(const TPROPClass& library) {
  return BuildIndex(library).materials;
}

SectionMoments ScanMoments(const PixelGrid& grid, const TPROPClass& library,
                           const ProgressFn& progress, int threads) {
  MaterialIndex index = BuildIndex(library);
  SectionMoments result;
  if (grid.Empty() || index.materials.empty()) {
    result.materials = std::move(index.materials);
    if (progress)
      progress(static_cast<std::int64_t>(grid.Size()), static_cast<std::int64_t>(grid.Size()));
    return result;
  }
  const int workers = BandWorkers(grid.Height(), threads);
  std::vector<std::vector<MaterialMoments>> partial(static_cast<std::size_t>(workers),
                                                    index.materials);
  ForEachBand(grid.Width(), grid.Height(), workers, progress, [&](int worker, int first, int end) {
    ScanRows(grid, index, first, end, partial[static_cast<std::size_t>(worker)]);
  });
  result.materials = std::move(index.materials);
  for (const auto& part : partial) {
    for (std::size_t i = 0; i < part.size(); ++i) {
      MaterialMoments& m = result.materials[i];
      m.count += part[i].count;
      m.sumX += part[i].sumX;
      m.sumY += part[i].sumY;
      m.sumXX += part[i].sumXX;
      m.sumYY += part[i].sumYY;
      m.sumXY += part[i].sumXY;
    }
  }
  return result;
}

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
  result.EA = eCount.ToDouble() * area;
  result.Mass = rhoCount.ToDouble() * area / 1e9;
  result.SumEHor = eX.ToDouble() * dx * area;
  result.SumEVer = eY.ToDouble() * dy * area;
  result.SumRhoHor = rhoX.ToDouble() * dx * area / 1e9;
  result.SumRhoVer = rhoY.ToDouble() * dy * area / 1e9;

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
  // Second moments about the rounded NC, exact: sum (px - cx)^2 = Sxx - 2 cx Sx + cx^2 n.
  const auto e = [](const MaterialMoments& m) { return m.E; };
  const ExactSum qyy = WeightedSum(moments, e, [&](const MaterialMoments& m) {
    return m.sumXX - 2 * cx * m.sumX + cx * cx * m.count;
  });
  const ExactSum qzz = WeightedSum(moments, e, [&](const MaterialMoments& m) {
    return m.sumYY - 2 * cy * m.sumY + cy * cy * m.count;
  });
  const ExactSum qyz = WeightedSum(moments, e, [&](const MaterialMoments& m) {
    return m.sumXY - cy * m.sumX - cx * m.sumY + cx * cy * m.count;
  });
  const double area = std::abs(result.Dx) * std::abs(result.Dy);
  // y = -Dx (px - NC.x) and z = Dy (py - NC.y).
  result.EIyy = qyy.ToDouble() * (result.Dx * result.Dx) * area;
  result.EIzz = qzz.ToDouble() * (result.Dy * result.Dy) * area;
  result.EIyz = qyz.ToDouble() * (-result.Dx * result.Dy) * area;
  if (result.EIyz == 0) result.EIyz = 0;  // no "-0" from the sign of the scale
  ComputePrincipalAxes(result);
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

}  // namespace qv
