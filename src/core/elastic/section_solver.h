// Torsion, shear centre and section moduli of the drawn section, from the pixel grid.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/library/poisson_table.h"
#include "core/picture/pixel_grid.h"
#include "core/scan/coverage.h"
#include "core/scan/scan_support.h"
#include "core/section/section_result.h"

namespace qv {

class TPROPClass;

/// How the elastic section solver runs.
struct ElasticOptions {
  /// Solver memory the automatic coarsening keeps to, in bytes. The default allows about five
  /// million cells at full resolution and keeps the solve's peak under 850 MB.
  static constexpr std::size_t kDefaultMemoryBudget = std::size_t{800} << 20;
  /// The most cells a solve can number (in 32 bits, with room for the coarse levels).
  static constexpr std::int64_t kMaxCellLimit = std::numeric_limits<std::int32_t>::max() / 2;

  int threads = 0;  ///< 0 = one per core; the results do not depend on it
  std::size_t memoryBudget = kDefaultMemoryBudget;
  /// The most cells solved before the picture is coarsened into blocks (1..kMaxCellLimit); 0
  /// takes the cap from memoryBudget. A cap replaces the budget: the caller takes the memory.
  std::int64_t maxCells = 0;
  /// Pixels per solver cell along each side; 0 chooses the smallest factor within maxCells, or
  /// within memoryBudget without one.
  int coarsening = 0;
  /// Relative residual at which conjugate gradients stop. A solve whose residual rounding stops
  /// short of it, but below 1E-8, is taken as converged: GJ and the shear stiffnesses are energies,
  /// exact to about the residual squared.
  double tolerance = 1e-10;
  /// Also solves on cells twice and four times the size, for the error estimate (about a third
  /// more time).
  bool estimateError = true;
  /// Called on the caller's thread with the work done so far out of `total` (a few times a
  /// second during long solves).
  ProgressFn progress;
  /// Set (from the progress callback, or another thread) to stop the solve; the solver then
  /// returns nothing.
  const std::atomic<bool>* cancel = nullptr;
  /// Smoothed edges read as coverage: each pixel holds the materials by these shares (a table
  /// for the materials in use, in library order), and a cell's E and G are the shares' means.
  /// nullptr reads every pixel flat.
  const CoverageTable* coverage = nullptr;
  /// Also hands out the solved fields of the main solve (ElasticResult::Fields), for the
  /// stresses: about 40 bytes per cell more.
  bool keepFields = false;
};

/// The fields of the main solve on its cells, in the solver's frame: u to the right and v
/// downwards, mm from the section box's upper-left corner. Cell k covers the pixels of the box
/// from column CellX[k] * Coarsening and row CellY[k] * Coarsening on, Coarsening of each (fewer
/// at the box's right and bottom edges); cells are numbered row by row.
struct SolvedFields {
  int Coarsening = 1;
  int Columns = 0;  ///< cells across the box
  int Rows = 0;     ///< cells down the box
  double CellWidthMm = 0;
  double CellHeightMm = 0;
  std::vector<std::int32_t> CellX;
  std::vector<std::int32_t> CellY;
  /// The pole O: the E-weighted centre of the cells, mm from the box's upper-left corner.
  double PoleHor = 0;
  double PoleVer = 0;
  /// The warping function w per unit twist about O at each cell's centre (mm^2): it minimises
  /// the integral of G |grad w - (v - vO, -(u - uO))|^2, each part's mean removed.
  std::vector<double> Warping;
  /// The shear functions psi at each cell's centre: -div (G grad psi) = E (u - uO) (ShearHor)
  /// and E (v - vO) (ShearVer) with free edges, as the shear stiffnesses take them (mm^3 E / G).
  std::vector<double> ShearHor;
  std::vector<double> ShearVer;
};

/// The extreme coordinates of a material's pixels (their outer edges and corners) along one
/// axis through the elastic centre C (not rounded to a pixel), in mm, signed as the axis:
/// min <= max.
struct FibreRange {
  double min = 0;
  double max = 0;
};

/// One material in use: where its outermost fibres lie and what bending stress they get.
struct MaterialModuli {
  std::string label;
  std::string name;
  double E = 0;   ///< N/mm^2
  double nu = 0;  ///< Poisson's ratio used
  double G = 0;   ///< E / (2 (1 + nu)), N/mm^2
  std::int64_t pixels = 0;
  FibreRange y;      ///< horizontal, positive to the left of NC
  FibreRange z;      ///< vertical, positive downwards
  FibreRange axis1;  ///< along EI1's direction Alpha about C: y cos(Alpha) + z sin(Alpha)
  FibreRange axis2;  ///< at right angles to it: -y sin(Alpha) + z cos(Alpha)
  /// Stress per unit moment E c / EI at those fibres (N/mm^2 per N mm, i.e. 1/mm^3), EI that of
  /// the drawn area about C: with a bending moment M whose stresses grow along y,
  /// sigma = M * stressY; 0 where EI is 0.
  FibreRange stressY;  ///< E y / EIyy
  FibreRange stressZ;  ///< E z / EIzz
  FibreRange stress1;  ///< E (axis1) / EI1
  FibreRange stress2;  ///< E (axis2) / EI2
};

/// The elastic section moduli I / c of a section of one material, mm^3, at the extreme fibres
/// measured from the elastic centre C, I that of the drawn area about C (a rectangle gives
/// b h^2 / 6 whatever its pixel counts). 0 where a fibre lies on the axis.
struct SectionModuli {
  double E = 0;                 ///< the one material's E, N/mm^2
  double HorizontalTop = 0;     ///< bending about the horizontal axis (EIzz), top fibre
  double HorizontalBottom = 0;  ///< the same, bottom fibre
  double VerticalLeft = 0;      ///< bending about the vertical axis (EIyy), left fibre
  double VerticalRight = 0;     ///< the same, right fibre
  double Axis1 = 0;             ///< EI1's, at the farther fibre along its direction
  double Axis2 = 0;             ///< EI2's
  /// The smaller of the two fibres' moduli: the one that yields first.
  double Horizontal() const { return Smaller(HorizontalTop, HorizontalBottom); }
  double Vertical() const { return Smaller(VerticalLeft, VerticalRight); }

 private:
  static double Smaller(double a, double b) { return a > 0 && b > 0 ? std::min(a, b) : a + b; }
};

/// The extended values of a section.
struct ElasticResult {
  double GJ = 0;  ///< St Venant torsional stiffness, N mm^2
  /// Shear centre in the window's frame: mm from the left edge of the section's leftmost pixel
  /// column to the right, and from the top edge of its top row downwards. Not rounded.
  double ShearCentreHor = 0;
  double ShearCentreVer = 0;
  /// The same point in the section axes through NC: y positive to the left, z downwards, mm.
  double ShearCentreY = 0;
  double ShearCentreZ = 0;
  double RadiusY = 0;                     ///< sqrt(EIyy / EA), EIyy about C as the moduli's, mm
  double RadiusZ = 0;                     ///< sqrt(EIzz / EA), mm
  std::vector<MaterialModuli> materials;  ///< library order
  /// Warping constant about the shear centre, E-weighted: the sum of E w^2 dA over the section
  /// with w the warping function referred to the shear centre, its E-weighted mean removed on
  /// each part; N mm^4 (E Iw for one material).
  double EIw = 0;
  /// Shear stiffness G A_s for a shear force along y (horizontal) and along z (vertical), from the
  /// shear functions with Poisson's ratio left out; N (G A_s for one material).
  double GAy = 0;
  double GAz = 0;
  /// The monosymmetry constants of lateral-torsional buckling, mm: for bending about the
  /// horizontal axis through the elastic centre C, BetaY = (1 / EI) integral E z (y^2 + z^2) dA
  /// - 2 zS, and about the vertical axis BetaZ = (1 / EI) integral E y (y^2 + z^2) dA - 2 yS, with
  /// y to the left and z downwards from C, EI the stiffness about that axis and (yS, zS) the
  /// shear centre. 0 on an axis of symmetry's crossing direction (a doubly symmetric section).
  double BetaY = 0;
  double BetaZ = 0;
  /// The elastic moduli, for a section of one material only.
  std::optional<SectionModuli> Moduli;

  int Coarsening = 1;      ///< pixels per solver cell along each side
  bool Coarsened = false;  ///< Coarsening > 1: the solve did not run on every pixel
  /// The most cells this picture could have had solved on its pixels: ElasticOptions::maxCells,
  /// or what the memory budget leaves for cells beside the picture's box.
  std::int64_t CellCap = 0;
  double CellWidthMm = 0;   ///< solver cell, horizontal
  double CellHeightMm = 0;  ///< solver cell, vertical
  std::int64_t Cells = 0;   ///< unknowns of the solve
  int Parts = 0;            ///< separate parts (no shared pixel edge) of the section
  int Iterations = 0;       ///< of conjugate gradients
  /// Estimated discretisation error of GJ (N mm^2) and of the shear centre (mm): the change
  /// from cells twice the size, scaled by the order of convergence observed over cells of one,
  /// two and four times the size (taken as 1 when only the first coarse solve is possible, and
  /// at most 2). Valid only when HasErrorEstimate.
  bool HasErrorEstimate = false;
  /// Why there is no error estimate.
  enum class NoEstimate {
    TooFewPixels,  ///< cells twice the size would be too few (or no estimate was asked for)
    Topology,      ///< cells twice the size close a gap, slit or crack of the picture
    Irregular,     ///< the three solves' differences shrink at an order outside 0.5 .. 3
  };
  NoEstimate WhyNoEstimate = NoEstimate::TooFewPixels;  ///< when not HasErrorEstimate
  double GJErrorEstimate = 0;
  double ShearCentreErrorEstimate = 0;
  double ObservedOrder = 0;  ///< of GJ
  /// Read as coverage: the edges were placed in the cut cells (see cut_cells.h), and the
  /// estimate measures the distance to the section with the drawn edge; otherwise to the
  /// section of the pixels' staircase, which is the drawn one. With cut cells the estimate is
  /// always given, as the larger step between the solves (the coarser one divided by 4), which
  /// holds for any order from 1 on.
  bool CutCells = false;
  /// GJ is extrapolated from the three solves to cells of no size (cut cells only, where their
  /// order lies within 1.5 .. 2.5).
  bool Extrapolated = false;
  double GJSolved = 0;  ///< GJ of the solve on the finest cells, N mm^2
  /// The solved fields, with ElasticOptions::keepFields only.
  std::shared_ptr<const SolvedFields> Fields;
};

/// G of a section whose materials in use (with E above 0) all have one G; 0 otherwise, where a
/// shear area means nothing.
double SingleShearModulus(const ElasticResult& result);

/// Solves the St Venant torsion of the section (the warping function on the pixels of the
/// materials in use) and derives GJ, the shear centre, the radii of gyration and each
/// material's extreme fibres. `grid`, `bounds`, the library, widthMm and heightMm are those of
/// the analysis that gave `section` (whose NC, EA and EI values the moduli use). Materials with
/// E = 0 carry nothing; any positive finite E gives the same GJ / E. Throws Error, naming the
/// cause, for a negative or non-finite E, a Poisson's ratio out of range, a section without
/// pixels or without a closed loop of them, pixels more than 10 000 times as long as wide, a
/// solve that stalls or does not converge, and results beyond the range of numbers. Returns
/// nothing when cancelled.
std::optional<ElasticResult> ComputeElasticSection(const PixelGrid& grid,
                                                   const SectionBounds& bounds,
                                                   const TPROPClass& library,
                                                   const PoissonTable& poisson, double widthMm,
                                                   double heightMm, const SectionResult& section,
                                                   const ElasticOptions& options = {});

}  // namespace qv
