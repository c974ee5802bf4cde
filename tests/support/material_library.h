// Material libraries for tests and benchmarks, built in code.
#pragma once

#include <string>
#include <vector>

#include "core/library/dd_props.h"

namespace qv::test {

/// The pixel box of a material's colour in the picture; -1 = not set.
struct MaterialBounds {
  int xmin = -1, xmax = -1, ymin = -1, ymax = -1;
};

/// One material of a test library. In use unless told otherwise, since most tests analyse with
/// it; bounds unset unless given, as for a colour not in the current picture.
struct Material {
  std::string label = {};  ///< colour label, the entry's key
  double E = 1;            ///< N/mm^2
  double rho = 1;          ///< kg/m^3
  bool inUse = true;
  std::string name = {};
  MaterialBounds bounds = {};
};

/// Appends `material` as the newest entry with the next id (MaxId() + 1), as the program adds
/// one, and returns the stored entry.
TPROPRec& AddMaterial(TPROPClass& library, const Material& material);

/// A container of `materials`, the first the oldest, numbered from 1; its library file is
/// `fileName`, which is neither read nor written here.
TPROPClass LibraryOf(const std::vector<Material>& materials, std::string fileName = {});

/// The labels of `library` in library order (the oldest first).
std::vector<std::string> LabelsOf(const TPROPClass& library);

}  // namespace qv::test
