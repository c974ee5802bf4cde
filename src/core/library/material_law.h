// The stress-strain law of a material for the section's resistance: how stress follows strain,
// and the strains at which the material fails. Strains and stresses are negative in compression.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/library/strength_table.h"

namespace qv {

enum class LawKind { kLinear, kElasticPlastic, kParabolaRectangle, kNoTension, kPoints };

/// A law as written ("elastic-plastic,eu=0.0225", "parabola-rectangle", "points:-0.002/-20;0/0").
struct MaterialLaw {
  LawKind kind = LawKind::kLinear;
  /// elastic-plastic: the strain at which it fails, either way; none means it never does.
  std::optional<double> eu;
  /// parabola-rectangle: the strain where the curve reaches the strength, the ultimate
  /// compressive strain and the exponent of the parabola (all positive).
  double ec2 = 0.002;
  double ecu = 0.0035;
  double n = 2;
  /// points: (strain, stress) in increasing strain.
  std::vector<std::pair<double, double>> points;
  friend bool operator==(const MaterialLaw&, const MaterialLaw&) = default;
};

/// Reads a law's text. Throws Error in the core's words naming what is wrong ("the law must be
/// linear, elastic-plastic, parabola-rectangle, no-tension or points:EPS/SIGMA;...", "ecu must
/// be at least ec2", ...).
MaterialLaw ReadMaterialLaw(std::string_view text);
/// The text ReadMaterialLaw takes back; parameters at their defaults are left out.
std::string MaterialLawText(const MaterialLaw& law);
/// The law of a material that was given none: with a tension strength of 0 parabola-rectangle,
/// with a strength both ways elastic-plastic, without a strength linear.
MaterialLaw DefaultLaw(const std::optional<Strength>& strength);

/// A law with the values it takes from its material: E and the strengths.
class LawOfMaterial {
 public:
  LawOfMaterial(MaterialLaw law, double E, Strength strength)
      : mLaw(std::move(law)), mE(E), mStrength(strength) {}

  /// The stress at `eps`, N/mm^2.
  double Sigma(double eps) const;
  /// The strains at which the stress's formula changes (where the integration splits a fibre).
  std::vector<double> Kinks() const;
  /// The strain limits: the most compressed strain (negative) and the most stretched one, where
  /// the material fails; none where it does not.
  std::optional<double> CompressionLimit() const;
  std::optional<double> TensionLimit() const;
  /// parabola-rectangle: a wholly compressed part is held at ec2 at (1 - ec2/ecu) of its depth
  /// from its most compressed fibre.
  bool HasPivot() const { return mLaw.kind == LawKind::kParabolaRectangle; }
  double PivotStrain() const { return mLaw.ec2; }
  double PivotDepth() const { return 1 - mLaw.ec2 / mLaw.ecu; }
  /// True when the stress stays within finite bounds at any strain (linear and no-tension do
  /// not, so no resistance follows from them).
  bool Bounded() const;
  const MaterialLaw& Law() const { return mLaw; }

 private:
  MaterialLaw mLaw;
  double mE;
  Strength mStrength;
};

}  // namespace qv
