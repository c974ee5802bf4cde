// Exact integer moments of the materials' colours from one row-major scan of the pixels.
#include "core/scan/moments.h"

#include <algorithm>
#include <unordered_map>

#include "core/base/colour_label.h"
#include "core/library/dd_props.h"

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

}  // namespace

void AddRunMoments(MaterialMoments& m, int y, int x0, int x1) {
  const std::int64_t length = x1 - x0 + 1;
  const Int128 sumX = static_cast<Int128>(x0 + x1) * length / 2;
  m.count += length;
  m.sumX += sumX;
  m.sumY += static_cast<Int128>(y) * length;
  m.sumXX += SumOfSquares(x1) - SumOfSquares(x0 - 1);
  m.sumYY += static_cast<Int128>(y) * y * length;
  m.sumXY += sumX * y;
}

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

void MomentsTally::KeepRuns(std::size_t limit) {
  mRunLimit = limit;
  mRuns.assign(mPartial.size(), {});
}

void MomentsTally::Add(int worker, const RowBlock& rows) {
  if (mMaterials.empty()) return;
  std::vector<MaterialMoments>& sums = mPartial[static_cast<std::size_t>(worker)];
  std::vector<PixelRun>* runs =
      mRunLimit > 0 && !mTooManyRuns ? &mRuns[static_cast<std::size_t>(worker)] : nullptr;
  // Each worker may hold its share of the limit.
  const std::size_t share = mRunLimit / std::max<std::size_t>(mRuns.size(), 1);
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
      if (lastMaterial != kNoMaterial) {
        AddRunMoments(sums[static_cast<std::size_t>(lastMaterial)], y, x, end - 1);
        if (runs != nullptr) runs->push_back({y, x, end, colour});
      }
      x = end;
    }
    if (runs != nullptr && runs->size() > share) {
      mTooManyRuns = true;
      runs->clear();
      runs->shrink_to_fit();
      runs = nullptr;
    }
  }
}

std::optional<std::vector<PixelRun>> MomentsTally::Runs() const {
  if (mRunLimit == 0 || mTooManyRuns) return std::nullopt;
  std::vector<PixelRun> all;
  for (const std::vector<PixelRun>& part : mRuns) all.insert(all.end(), part.begin(), part.end());
  // Workers take blocks of rows in any order; a row's runs come from one worker, left to right.
  std::stable_sort(all.begin(), all.end(),
                   [](const PixelRun& a, const PixelRun& b) { return a.y < b.y; });
  return all;
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
  ThreadPool pool(ScanWorkers(rows, threads));
  MomentsTally tally(std::move(materials), pool.Parts());
  ForEachRowBlock(pool, rows, progress,
                  [&](int worker, const RowBlock& block) { tally.Add(worker, block); });
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

}  // namespace qv
