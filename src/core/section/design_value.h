// One row of the design values' table, as steel tables list their quantities.
#pragma once

#include <string>

namespace qv {

/// One design value: its symbol, what it is, the value in N and mm and, where tables use other
/// units (cm^3, cm^6, kNm), the value in them.
struct DesignValue {
  std::string symbol;   ///< "Iw", "GAz", "Wel"
  std::string meaning;  ///< "warping constant about SC"
  double value = 0;
  std::string unit;  ///< "mm^6"
  double tableValue = 0;
  std::string tableUnit;  ///< "cm^6"; empty where tables keep N and mm
};

}  // namespace qv
