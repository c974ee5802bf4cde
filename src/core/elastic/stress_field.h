// The stresses of the section under given actions: the normal stress of the beam theory on every
// pixel, the shear stresses of the torsion and of the shear forces from the solver's fields, their
// von Mises combination, each material's extremes and the shear across the joints between
// materials.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/section_actions.h"
#include "core/base/sign_convention.h"
#include "core/elastic/section_solver.h"
#include "core/picture/pixel_grid.h"
#include "core/section/cracked.h"
#include "core/section/section_result.h"

namespace qv {

class TPROPClass;

/// The six actions, in the order of SectionActions.
enum class ActionKind { N, My, Mz, Vy, Vz, T };
inline constexpr std::array<ActionKind, 6> kActionKinds = {
    ActionKind::N, ActionKind::My, ActionKind::Mz, ActionKind::Vy, ActionKind::Vz, ActionKind::T};

/// The value of one action.
double& ActionValue(SectionActions& actions, ActionKind kind);
double ActionValue(const SectionActions& actions, ActionKind kind);
/// What the user calls the action under `convention`: the moments swap their names under the
/// EURO-code, which names a moment after the axis it turns about ("My" is the formal Mz there),
/// as it names the stiffnesses; N, the shear forces and T keep theirs. Any other value of the
/// convention names them formally.
std::string_view ActionName(ActionKind kind, SignConvention convention);
/// The action the user's `name` stands for under `convention`; nothing for an unknown name.
std::optional<ActionKind> ActionOfName(std::string_view name, SignConvention convention);
/// "N" and the shear forces in N, the moments and T in Nmm.
std::string_view ActionUnit(ActionKind kind);
/// The actions in the user's order and names, "N = 1000 N", one text each.
std::vector<std::string> ActionTexts(const SectionActions& actions, SignConvention convention);

/// What a stress map shows.
enum class StressKind { Sigma, Tau, VonMises };
/// "sigma", "tau", "von_mises": the names of the batch tool and the JSON keys.
std::string_view StressKindKey(StressKind kind);
std::optional<StressKind> StressKindOfKey(std::string_view key);
/// "normal stress sigma", "shear stress tau", "von Mises stress".
std::string_view StressKindTitle(StressKind kind);

/// One extreme value (N/mm^2) and the point it was taken at, mm from the section box's upper-left
/// corner (Hor to the right, Ver downwards, as the shear centre's hor and ver).
struct StressExtreme {
  double value = 0;
  SectionPoint at;
};

/// The extremes over a set of pixels. sigma is linear over each pixel, so its extremes over the
/// drawn area lie at pixel corners and are taken there. tau on a free edge is the outline's that
/// the pixel staircase stands for: the field beneath the staircase (a linear fit over the cells of
/// one material, five cells across, off the edge), sampled at two depths along the outline's
/// normal and carried onto it, so that it converges as the drawing gets finer; at a true inner
/// corner, and inside, the fit about the cell, on its free face where it has one, else at its
/// centre. von Mises combines the two at the pixel's corner where |sigma| is largest.
struct StressExtremes {
  std::int64_t pixels = 0;
  StressExtreme sigmaMin;
  StressExtreme sigmaMax;
  StressExtreme tauMax;
  StressExtreme vonMisesMax;
};

/// The extremes of one material in use, library order.
struct MaterialStress {
  std::string label;
  std::string name;
  double E = 0;
  StressExtremes extremes;
};

/// The shear across the joint of two materials: the cell faces where pixels of the two meet.
/// The stress across a face is the shear stress on the joint's plane along the beam, the one the
/// connection (glue, dowels, studs) carries.
struct JointStress {
  std::string first;    ///< label of the material earlier in the library
  std::string second;   ///< the other one
  double lengthMm = 0;  ///< of the faces, mm
  /// The largest stress across a face, at the face's middle. Where the joint ends at an inner
  /// corner (a web under a wider flange) the stress peaks there, as it does at any notch.
  StressExtreme tauMax;
  /// The stresses across the faces times their lengths, without sign: N per mm of beam; for a
  /// straight joint whose stress keeps its sign, the shear flow q = V Q / I of the beam theory.
  double flow = 0;
  double mean = 0;  ///< flow / lengthMm, N/mm^2
};

/// The stresses at one pixel.
struct PixelStress {
  int material = -1;    ///< index into StressField::Materials(); -1 off the section
  double sigma = 0;     ///< at the pixel's centre, N/mm^2
  double tauHor = 0;    ///< shear stress, to the right, N/mm^2
  double tauVer = 0;    ///< downwards
  double tau = 0;       ///< the magnitude
  double vonMises = 0;  ///< sqrt(sigma^2 + 3 tau^2)
  double Value(StressKind kind) const;
};

/// Everything the stress computation needs of the section and its analysis.
struct StressInput {
  const PixelGrid* grid = nullptr;  ///< the picture the section was analysed on
  SectionBounds bounds;
  const TPROPClass* library = nullptr;
  const SectionResult* section = nullptr;  ///< the analysis: scale, EA, first and second moments
  /// The extended values with SolvedFields (ElasticOptions::keepFields); needed for shear forces
  /// and torque, else may be null.
  const ElasticResult* elastic = nullptr;
  int threads = 0;  ///< 0 = one per core; the results do not depend on it
  /// The cracked section's strain plane, taken instead of the beam theory's, and the materials in
  /// use (library order) that carry no tension: sigma = E min(eps, 0) on those. Null: linear.
  const StrainPlane* cracked = nullptr;
  std::vector<bool> noTension;
};

/// The stress field of a section under one set of actions. Holds no picture: what it needs of it
/// (each row's runs of materials) it keeps, about 12 bytes per run, and the shear stresses of each
/// solver cell.
class StressField {
 public:
  /// Computes the stresses under `actions`. Throws Error when the section carries nothing (EA or
  /// the bending stiffnesses not above 0), when shear forces or a torque are asked for without
  /// the solver's fields, or the torsional stiffness is 0, and when the stresses lie beyond the
  /// range of numbers ("The stresses lie beyond the range of numbers with actions up to
  /// Mz = 1E300 Nmm.").
  StressField(const StressInput& input, const SectionActions& actions);

  const SectionActions& Actions() const { return mActions; }
  const SectionBounds& Bounds() const { return mBounds; }
  double Dx() const { return mDx; }
  double Dy() const { return mDy; }
  /// The elastic centre, mm from the box's upper-left corner.
  SectionPoint Centre() const { return mCentre; }
  /// sigma = E (eps0 + ky y + kz z) with y and z from Centre().
  double Eps0() const { return mEps0; }
  double Ky() const { return mKy; }
  double Kz() const { return mKz; }
  /// The stiffnesses of the drawn area about Centre(), each pixel's own second moment included:
  /// the integrals of E y^2, E z^2, E y z, N mm^2.
  double EIyy() const { return mEIyy; }
  double EIzz() const { return mEIzz; }
  double EIyz() const { return mEIyz; }
  /// Pixels per solver cell along each side (1 without shear stresses).
  int Coarsening() const { return mCoarsening; }

  /// The stresses at picture pixel (x, y); material -1 and zeros off the section.
  PixelStress At(int x, int y) const;
  /// The stress across the face between the cells of picture pixels (x, y) and (x + 1, y)
  /// (`east`) or (x, y + 1), positive to the right or downwards; 0 where either holds no cell.
  double FaceShear(int x, int y, bool east) const;

  const StressExtremes& Overall() const { return mOverall; }
  const std::vector<MaterialStress>& Materials() const { return mMaterials; }
  /// Every pair of materials that share a face, library order; empty when the solve was
  /// coarsened (a cell then mixes materials) or without shear stresses.
  const std::vector<JointStress>& Joints() const { return mJoints; }

 private:
  /// The steps of the constructor: the materials in use (their colours returned), each box
  /// row's runs of them, the elastic centre with the curvatures of N, My and Mz, the shear
  /// stresses of Vy, Vz and T on the solver's cells with the edges and joints, the extremes.
  std::vector<std::uint32_t> TakeMaterials(const TPROPClass& library);
  void CollectRuns(const PixelGrid& grid, const std::vector<std::uint32_t>& colours);
  void TakeBending(const SectionResult& section, const StrainPlane* cracked);
  void TakeShear(const StressInput& input);
  StressExtremes GatherExtremes(int threads);
  /// The curvatures ky, kz of the moments my, mz about the elastic centre.
  void Curvatures(double my, double mz, double& ky, double& kz) const;
  void RefuseBeyondRange() const;

  struct Run {
    std::int32_t begin;  // box column of the first pixel
    std::int32_t end;    // one past the last
    std::int32_t material;
  };
  struct Cell {
    double tauHor = 0;
    double tauVer = 0;
  };
  // The shear stress on a cell's free face, (x, y) / 2 cells from its centre (0, 0 without one).
  struct Edge {
    double tau = 0;
    std::int8_t x = 0;
    std::int8_t y = 0;
  };
  void FitEdges(const SolvedFields& fields, const std::vector<std::int32_t>& material, int threads);
  void FindJoints(const SolvedFields& fields, const std::vector<std::int32_t>& material);
  const Run* RunAt(int boxX, int boxY) const;
  std::int32_t CellAt(int boxX, int boxY) const;
  /// The cell of box pixel (boxX, boxY) of `run`, whose first pixel's cell is `first`.
  std::int32_t RunCell(std::int32_t first, const Run& run, int boxX, int boxY) const;
  double SigmaAt(int material, double hor, double ver) const;

  SectionActions mActions;
  SectionBounds mBounds;
  double mDx = 0;
  double mDy = 0;
  SectionPoint mCentre;
  double mEps0 = 0, mKy = 0, mKz = 0;
  double mEIyy = 0, mEIzz = 0, mEIyz = 0;
  std::vector<double> mE;               // per material
  std::vector<bool> mNoTension;         // per material: cracked where stretched
  std::vector<Run> mRuns;               // row by row
  std::vector<std::int64_t> mRowStart;  // first run of each box row, and the end
  int mCoarsening = 1;
  int mColumns = 0;                    // cells across the box
  std::vector<std::int32_t> mCellMap;  // cell of each block of the box, -1 without
  std::vector<Cell> mCells;
  std::vector<Edge> mEdges;
  std::vector<double> mFaceEast;  // stress across each cell's east face
  std::vector<double> mFaceSouth;
  StressExtremes mOverall;
  std::vector<MaterialStress> mMaterials;
  std::vector<JointStress> mJoints;
};

}  // namespace qv
