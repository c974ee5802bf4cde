// Growing the section rectangle.
#include "core/section/section_result.h"

#include <algorithm>

namespace qv {

void SectionBounds::Grow(int exmin, int eymin, int exmax, int eymax) {
  xmin = xmin < 0 ? exmin : std::min(xmin, exmin);
  ymin = ymin < 0 ? eymin : std::min(ymin, eymin);
  xmax = xmax < 0 ? exmax : std::max(xmax, exmax);
  ymax = ymax < 0 ? eymax : std::max(ymax, eymax);
}

}  // namespace qv
