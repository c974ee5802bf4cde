// Analyses for the tests of the extended values.
#include "support/section_analysis.h"

#include "core/section/integration.h"

namespace qv::test {

PoissonTable ZeroPoisson(std::initializer_list<const char*> labels) {
  PoissonTable table;
  for (const char* label : labels) table.Set(label, 0.0);
  return table;
}

Analysis Analyse(const PixelGrid& grid, const SectionBounds& bounds, double widthMm,
                 double heightMm, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options) {
  Analysis a;
  const SectionMoments m = ScanMoments(grid, lib);
  ComputeCentres(m, bounds, widthMm, heightMm, a.section);
  ComputeStiffness(m, a.section);
  a.elastic =
      ComputeElasticSection(grid, bounds, lib, poisson, widthMm, heightMm, a.section, options);
  return a;
}

Analysis Analyse(const DrawnSection& s, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options) {
  return Analyse(s.grid, s.bounds, s.widthMm, s.heightMm, lib, poisson, options);
}

}  // namespace qv::test
