// The unit systems the reports, the dialogs and the window's values are written in. Every value
// is computed and kept in N and mm; a unit system only says how a text shows it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

/// How the texts write forces, moments, lengths and section values. The JSON document and the
/// inputs (sizes, E, rho as typed) stay in N and mm whatever is chosen.
enum class UnitSystem {
  NMm,   ///< "N-mm": N, Nmm, mm, mm^n (the default, the texts as they always were)
  KNm,   ///< "kN-m": kN, kNm, stiffnesses kNm^2; lengths and section values cm, cm^n
  KNcm,  ///< "kN-cm": kN, kNcm, cm, cm^n, stiffnesses kNcm^2, stresses kN/cm^2
};

/// What a value measures, by its unit in N and mm.
enum class Quantity {
  Force,             ///< N: forces, EA, GA
  Moment,            ///< N mm
  Length,            ///< mm: positions, radii, extreme fibres
  Area,              ///< mm^2
  Modulus,           ///< mm^3: elastic and plastic moduli
  SecondMoment,      ///< mm^4
  WarpingConstant,   ///< mm^6
  Stiffness,         ///< N mm^2: EI, GJ
  WarpingStiffness,  ///< N mm^4: EIw
  Stress,            ///< N/mm^2
  ForcePerLength,    ///< N/mm: the shear flow across a joint
  Curvature,         ///< 1/mm
  StressPerMoment,   ///< 1/mm^3: (N/mm^2) per N mm, E c / EI
};

/// The name in the settings file, on the command line and in Python: "N-mm", "kN-m", "kN-cm".
std::string_view UnitSystemName(UnitSystem units);

/// The system of a name UnitSystemName gives (exactly); nothing for any other text.
std::optional<UnitSystem> UnitSystemOf(std::string_view name);

/// The system of `name`; throws Error naming the three systems otherwise.
UnitSystem UnitSystemOfName(std::string_view name);

/// The power of ten a value in N and mm is multiplied by to be written in `units`.
int UnitPower(Quantity quantity, UnitSystem units);

/// `nmm`, a value in N and mm, in the units of `units`. The scaling is by an exact power of ten
/// (a division where the unit is larger), so a value converts exactly as written by hand.
double InUnits(double nmm, Quantity quantity, UnitSystem units);

/// The unit's text as the reports write it after a value: "Nmm^2", "kNcm", "cm^3".
std::string_view UnitText(Quantity quantity, UnitSystem units);

/// A length (mm) as the reports write positions: two decimals of a mm, three of a cm, so that a
/// length in cm keeps the resolution it had in mm.
std::string LengthText(double mm, UnitSystem units);

}  // namespace qv
