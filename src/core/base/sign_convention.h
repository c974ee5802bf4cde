// The two sign conventions and the names they give the stiffness terms; they change names,
// never numbers.
#pragma once

#include <optional>
#include <string_view>

namespace qv {

/// The convention the user chose, as the settings file stores it ("deftype"). A file written by
/// hand may hold any other integer, which is kept as it is and names no terms.
enum class SignConvention : int { DorvastPelkam = 0, EuroCode = 1 };

/// What the stiffness terms are called under one convention.
struct ConventionTerms {
  std::string_view eiyy;      ///< the stiffness of the formal EIyy: "EIyy", "EIz"
  std::string_view eizz;      ///< the stiffness of the formal EIzz: "EIzz", "EIy"
  std::string_view eiyyHint;  ///< its caption's tooltip
  std::string_view eizzHint;
  std::string_view alpha;       ///< the principal angle's caption: "alpha1", "alpha"
  std::string_view firstAxis;   ///< the label of the principal axis along alpha: "(1)", "(2)"
  std::string_view secondAxis;  ///< the other one
  std::string_view radiusYy;    ///< the radius of gyration about the formal EIyy: "iy", "iz"
  std::string_view radiusZz;    ///< "iz", "iy"
  bool zzFirst = false;         ///< lists list the formal EIzz first (EIy before EIz)
};

/// The terms of `convention`; nothing for a value that is neither.
std::optional<ConventionTerms> TermsOf(SignConvention convention);

}  // namespace qv
