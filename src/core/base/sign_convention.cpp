// The names of the stiffness terms under the two conventions.
#include "core/base/sign_convention.h"

namespace qv {

std::optional<ConventionTerms> TermsOf(SignConvention convention) {
  switch (convention) {
    case SignConvention::DorvastPelkam:
      return ConventionTerms{"EIyy",
                             "EIzz",
                             "bending stiffness in xy-plane",
                             "bending stiffness in xz-plane",
                             "alpha1",
                             "(1)",
                             "(2)",
                             "iy",
                             "iz",
                             false};
    case SignConvention::EuroCode:
      // The EURO-code names a stiffness after the axis it bends about, the radius alike, and
      // counts the principal axes the other way round.
      return ConventionTerms{"EIz",
                             "EIy",
                             "bending stiffness about z-axis",
                             "bending stiffness about y-axis",
                             "alpha",
                             "(2)",
                             "(1)",
                             "iz",
                             "iy",
                             true};
  }
  return std::nullopt;
}

}  // namespace qv
