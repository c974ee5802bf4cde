// Material libraries for tests and benchmarks.
#include "support/material_library.h"

#include <utility>

namespace qv::test {

TPROPRec& AddMaterial(TPROPClass& library, const Material& material) {
  TPROPRec entry;
  TPROPClass::InitEntry(entry);
  entry.id = library.MaxId() + 1;
  entry.prop.colorlabel = material.label;
  entry.prop.name = material.name;
  entry.prop.E = material.E;
  entry.prop.rho = material.rho;
  entry.prop.xmin = material.bounds.xmin;
  entry.prop.xmax = material.bounds.xmax;
  entry.prop.ymin = material.bounds.ymin;
  entry.prop.ymax = material.bounds.ymax;
  entry.inUse = material.inUse;
  return library.Add(entry);
}

TPROPClass LibraryOf(const std::vector<Material>& materials, std::string fileName) {
  TPROPClass library(std::move(fileName));
  for (const Material& material : materials) AddMaterial(library, material);
  return library;
}

std::vector<std::string> LabelsOf(const TPROPClass& library) {
  std::vector<std::string> labels;
  for (const TPROPRec& entry : library) labels.push_back(entry.prop.colorlabel);
  return labels;
}

}  // namespace qv::test
