// The section as the elastic solver sees it: its materials with their shear moduli, its cells
// (pixels, or blocks of them when the picture is coarsened) and the extreme fibres of each
// material. Used by the solver alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/elastic/cut_cells.h"
#include "core/elastic/multigrid.h"
#include "core/elastic/section_solver.h"
#include "core/section/integration.h"

namespace qv {

class ThreadPool;
struct TPROPRec;

struct SolverMaterial {
  const TPROPRec* entry = nullptr;
  std::uint32_t colour = 0;
  double E = 0;
  double nu = 0;
  double G = 0;
};

/// The section on cells of `factor` x `factor` pixels, in the solve's scaled units (see
/// section_solver.cpp).
struct Discretisation {
  int factor = 1;
  double cellWidth = 0;   // in pixel widths: the factor
  double cellHeight = 0;  // the factor times the pixels' aspect ratio
  CellLevel level;
  std::vector<double> E;  // mean scaled E of each cell's pixels (empty pixels count 0)
  /// Read as coverage: the cut cells' faces and unknowns (cut_cells.h), cutIndex[i] cell i's
  /// entry in `cut` or -1 for a whole cell with whole faces. Empty for flat pictures, whose faces
  /// lie wholly in the material.
  std::vector<std::int32_t> cutIndex;
  std::vector<CutCell> cut;
};

/// The materials in use with their E, Poisson's ratio and G; Error for an E that is not finite
/// and at least 0, or a ratio out of range.
std::vector<SolverMaterial> SolverMaterials(const TPROPClass& library, const PoissonTable& poisson);

int BoxWidth(const SectionBounds& b);
int BoxHeight(const SectionBounds& b);

/// The blocks of factor x factor pixels of the box that hold a stiff pixel.
std::int64_t CountCells(const PixelGrid& grid, const SectionBounds& bounds,
                        const std::vector<SolverMaterial>& materials, int factor,
                        const CoverageTable* coverage);
/// The memory a solve on `cells` blocks of `factor` pixels takes, in bytes.
std::size_t SolveBytes(std::int64_t cells, const SectionBounds& bounds, int factor);

/// The materials with E above 0 that have a pixel (or with `coverage`, a share of one) in the
/// box.
std::vector<bool> MaterialsPresent(const PixelGrid& grid, const SectionBounds& bounds,
                                   const std::vector<SolverMaterial>& materials,
                                   const CoverageTable* coverage);

/// Whether cells of factor x factor pixels join stiff pixels that no pixel edge joins: such
/// cells close a gap, a slit or a crack of the picture, and a solve on them is of another
/// section.
bool BridgesGaps(const PixelGrid& grid, const SectionBounds& bounds,
                 const std::vector<SolverMaterial>& materials, int factor,
                 const CoverageTable* coverage);

/// The section on blocks of `factor` pixels, whose sides are cellWidth and cellHeight; its red
/// cells first (see CellLevel). `beat` is called between its steps.
Discretisation Discretise(const PixelGrid& grid, const SectionBounds& bounds,
                          const std::vector<SolverMaterial>& materials, double cellWidth,
                          double cellHeight, int factor, const std::function<void()>& beat,
                          const CoverageTable* coverage);

/// Extreme fibres of each material, from the full-resolution picture.
void ComputeFibres(const PixelGrid& grid, const SectionBounds& bounds,
                   const std::vector<SolverMaterial>& materials, const SectionResult& section,
                   const ElasticCentre& centre, ThreadPool& pool,
                   std::vector<MaterialModuli>& moduli, const CoverageTable* coverage);

/// The elastic moduli of a section of one material (every material in use with E above 0 has
/// the same E): nothing otherwise, where stresses depend on the material at each fibre.
std::optional<SectionModuli> SectionModuliOf(const std::vector<MaterialModuli>& materials,
                                             const ElasticCentre& centre);

}  // namespace qv
