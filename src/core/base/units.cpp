// The unit systems of the texts: names, powers of ten and unit texts.
#include "core/base/units.h"

#include <array>
#include <cstddef>

#include "core/base/error.h"
#include "core/base/number_text.h"

namespace qv {
namespace {

struct UnitRow {
  std::array<int, 3> power;  // by UnitSystem
  std::array<std::string_view, 3> text;
};

// One row per Quantity, in its order; the columns are N-mm, kN-m, kN-cm. Stresses stay N/mm^2
// in kN-m, as steel and concrete are read there; in kN-cm they follow the system (kN/cm^2).
constexpr std::array<UnitRow, 13> kUnits = {{
    {{0, -3, -3}, {"N", "kN", "kN"}},
    {{0, -6, -4}, {"Nmm", "kNm", "kNcm"}},
    {{0, -1, -1}, {"mm", "cm", "cm"}},
    {{0, -2, -2}, {"mm^2", "cm^2", "cm^2"}},
    {{0, -3, -3}, {"mm^3", "cm^3", "cm^3"}},
    {{0, -4, -4}, {"mm^4", "cm^4", "cm^4"}},
    {{0, -6, -6}, {"mm^6", "cm^6", "cm^6"}},
    {{0, -9, -5}, {"Nmm^2", "kNm^2", "kNcm^2"}},
    {{0, -15, -7}, {"Nmm^4", "kNm^4", "kNcm^4"}},
    {{0, 0, -1}, {"N/mm^2", "N/mm^2", "kN/cm^2"}},
    {{0, 0, -2}, {"N/mm", "kN/m", "kN/cm"}},
    {{0, 3, 1}, {"1/mm", "1/m", "1/cm"}},
    {{0, 6, 3}, {"1/mm^3", "(N/mm^2)/kNm", "1/cm^3"}},
}};

const UnitRow& RowOf(Quantity quantity) { return kUnits[static_cast<std::size_t>(quantity)]; }

std::size_t Column(UnitSystem units) { return static_cast<std::size_t>(units); }

// Powers of ten up to 10^22 are exact doubles; the table uses at most 10^15.
double TenTo(int power) {
  double p = 1;
  for (int i = 0; i < power; ++i) p *= 10;
  return p;
}

}  // namespace

std::string_view UnitSystemName(UnitSystem units) {
  switch (units) {
    case UnitSystem::KNm:
      return "kN-m";
    case UnitSystem::KNcm:
      return "kN-cm";
    case UnitSystem::NMm:
      break;
  }
  return "N-mm";
}

std::optional<UnitSystem> UnitSystemOf(std::string_view name) {
  for (const UnitSystem units : {UnitSystem::NMm, UnitSystem::KNm, UnitSystem::KNcm}) {
    if (name == UnitSystemName(units)) return units;
  }
  return std::nullopt;
}

UnitSystem UnitSystemOfName(std::string_view name) {
  const std::optional<UnitSystem> units = UnitSystemOf(name);
  if (!units) throw Error("the units are N-mm, kN-m or kN-cm");
  return *units;
}

int UnitPower(Quantity quantity, UnitSystem units) { return RowOf(quantity).power[Column(units)]; }

double InUnits(double nmm, Quantity quantity, UnitSystem units) {
  const int power = UnitPower(quantity, units);
  return power < 0 ? nmm / TenTo(-power) : nmm * TenTo(power);
}

std::string_view UnitText(Quantity quantity, UnitSystem units) {
  return RowOf(quantity).text[Column(units)];
}

std::string LengthText(double mm, UnitSystem units) {
  const double value = InUnits(mm, Quantity::Length, units);
  return FormatFixed(value, 8, UnitPower(Quantity::Length, units) == 0 ? 2 : 3);
}

}  // namespace qv
