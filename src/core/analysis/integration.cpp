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

// The newest entry of each pixel colour's label, in library order (which keeps the result
// independent of hashing); with `inUseOnly`, only those in use.
std::vector<MaterialMoments> NewestOfColours(const TPROPClass& library, bool inUseOnly) {
  std::unordered_map<std::uint32_t, const TPROPRec*> newest;
  for (const TPROPRec& entry : library) {
    if (auto colour = PixelColourOfLabel(entry.prop.colorlabel)) newest[*colour] = &entry;
  }
  std::vector<MaterialMoments> materials;
  for (const TPROPRec& entry : library) {
    const auto colour = PixelColourOfLabel(entry.prop.colorlabel);
    if (!colour || newest[*colour] != &entry || (inUseOnly && !entry.inUse)) continue;
    MaterialMoments m;
    m.entry = &entry;
    m.colour = *colour;
    m.E = entry.prop.E;
    m.rho = entry.prop.rho;
    materials.push_back(m);
  }
  return materials;
}

void AddSums(MaterialMoments& to, const MaterialMoments& from) {
  to.count += from.count;
  to.sumX += from.sumX;
  to.sumY += from.sumY;
  to.sumXX += from.sumXX;
  to.sumYY += from.sumYY;
  to.sumXY += from.sumXY;
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

// Sum over materials of weight(m) * value(m), exactly.
template <typename Weight, typename Value>
ExactSum WeightedSum(const SectionMoments& moments, Weight weight, Value value) {
  ExactSum sum;
  for (const MaterialMoments& m : moments.materials) sum.AddProduct(weight(m), value(m));
  return sum;
}

}  // namespace

std::vector<MaterialMoments> MaterialsInUse(const TPROPClass& library) {
  return NewestOfColours(library, true);
}

std::vector<MaterialMoments> MaterialsOfColours(const TPROPClass& library) {
  return NewestOfColours(library, false);
}

MomentsTally::MomentsTally(std::vector<MaterialMoments> materials, int workers)
    : mMaterials(std::move(materials)),
      mPartial(static_cast<std::size_t>(std::max(workers, 1)), mMaterials) {
  for (std::size_t i = 0; i < mMaterials.size(); ++i) {
    mByColour[mMaterials[i].colour] = static_cast<int>(i);
  }
}

int MomentsTally::Find(std::uint32_t colour) const {
  if (mMaterials.size() <= 8) {
    for (std::size_t i = 0; i < mMaterials.size(); ++i) {
      if (mMaterials[i].colour == colour) return static_cast<int>(i);
    }
    return kNoMaterial;
  }
  const auto it = mByColour.find(colour);
  return it == mByColour.end() ? kNoMaterial : it->second;
}

void MomentsTally::Add(int worker, const RowBlock& rows) {
  if (mMaterials.empty()) return;
  std::vector<MaterialMoments>& sums = mPartial[static_cast<std::size_t>(worker)];
  const int width = rows.width;
  for (int y = rows.first; y < rows.end; ++y) {
    const std::uint32_t* row = rows.Row(y);
    std::uint32_t lastColour = row[0] ^ 1u;
    int lastMaterial = kNoMaterial;
    for (int x = 0; x < width;) {
      const std::uint32_t colour = row[x];
      const int end = RunEnd(row, x + 1, width, colour);
      if (colour != lastColour) {
        lastColour = colour;
        lastMaterial = Find(colour);
      }
      if (lastMaterial != kNoMaterial)
        AddRun(sums[static_cast<std::size_t>(lastMaterial)], y, x, end - 1);
      x = end;
    }
  }
}

SectionMoments MomentsTally::Result() const {
  SectionMoments result;
  result.materials = mMaterials;
  for (const auto& part : mPartial) {
    for (std::size_t i = 0; i < part.size(); ++i) AddSums(result.materials[i], part[i]);
  }
  return result;
}

SectionMoments ScanMoments(PixelRows& rows, const TPROPClass& library, const ProgressFn& progress,
                           int threads) {
  const auto pixels =
      static_cast<std::int64_t>(rows.Width()) * static_cast<std::int64_t>(rows.Height());
  std::vector<MaterialMoments> materials = MaterialsInUse(library);
  if (pixels == 0 || materials.empty()) {
    if (progress) progress(pixels, pixels);
    return SectionMoments{std::move(materials)};
  }
  const int workers = BandWorkers(rows.Height(), threads);
  MomentsTally tally(std::move(materials), workers);
  ForEachBand(rows.Width(), rows.Height(), workers, progress, [&](int worker, int first, int end) {
    rows.Visit(worker, first, end, [&](const RowBlock& block) { tally.Add(worker, block); });
  });
  rows.ThrowIfFailed();
  return tally.Result();
}

SectionMoments ScanMoments(const PixelGrid& grid, const TPROPClass& library,
                           const ProgressFn& progress, int threads) {
  GridRows rows(grid);
  return ScanMoments(rows, library, progress, threads);
}

std::optional<SectionMoments> MomentsInUseFrom(const SectionMoments& gathered,
                                               const TPROPClass& library) {
  SectionMoments result{MaterialsInUse(library)};
  for (MaterialMoments& m : result.materials) {
    const auto it = std::find_if(gathered.materials.begin(), gathered.materials.end(),
                                 [&m](const MaterialMoments& g) { return g.colour == m.colour; });
    if (it == gathered.materials.end()) return std::nullopt;
    AddSums(m, *it);
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
