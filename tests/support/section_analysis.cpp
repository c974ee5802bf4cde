// Analyses for the tests of the extended values.
#include "support/section_analysis.h"

#include "core/scan/coverage.h"
#include "core/scan/inventory.h"
#include "core/section/integration.h"

namespace qv::test {

PoissonTable ZeroPoisson(std::initializer_list<const char*> labels) {
  PoissonTable table;
  for (const char* label : labels) table.Set(label, 0.0);
  return table;
}

namespace {

SectionResult SectionValues(const PixelGrid& grid, const SectionBounds& bounds, double widthMm,
                            double heightMm, const TPROPClass& lib) {
  SectionResult section;
  const SectionMoments m = ScanMoments(grid, lib);
  ComputeCentres(m, bounds, widthMm, heightMm, section);
  ComputeStiffness(m, section);
  return section;
}

}  // namespace

SectionResult SectionValues(const DrawnSection& s, const TPROPClass& lib) {
  return SectionValues(s.grid, s.bounds, s.widthMm, s.heightMm, lib);
}

Analysis Analyse(const PixelGrid& grid, const SectionBounds& bounds, double widthMm,
                 double heightMm, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options) {
  Analysis a;
  a.section = SectionValues(grid, bounds, widthMm, heightMm, lib);
  a.elastic =
      ComputeElasticSection(grid, bounds, lib, poisson, widthMm, heightMm, a.section, options);
  return a;
}

Analysis Analyse(const DrawnSection& s, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options) {
  return Analyse(s.grid, s.bounds, s.widthMm, s.heightMm, lib, poisson, options);
}

BoxedAnalysis AnalyseAtPixelSize(const PixelGrid& grid, double pixelMm, const TPROPClass& lib,
                                 EdgeMode edges, bool elastic) {
  BoxedAnalysis a;
  SectionMoments m;
  std::optional<CoverageTable> table;
  PoissonTable poisson;
  std::vector<MaterialMoments> materials = MaterialsInUse(lib);
  for (const MaterialMoments& material : materials) {
    poisson.Set(material.entry->prop.colorlabel, 0.0);
  }
  if (edges == EdgeMode::Coverage) {
    const std::optional<PictureColours> colours = ScanPictureColours(grid);
    table.emplace(*colours, ColoursOf(materials));
    const CoverageBox& box = table->Box();
    a.bounds = {box.xmin, box.ymin, box.xmax, box.ymax};
    m = CoverageMoments(*colours, *table, std::move(materials));
  } else {
    for (const ColourBounds& c : ScanColourBounds(grid, false)) {
      for (const MaterialMoments& material : materials) {
        if (material.colour == c.value) a.bounds.Grow(c.xmin, c.ymin, c.xmax, c.ymax);
      }
    }
    m = ScanMoments(grid, lib);
  }
  const double widthMm = a.bounds.WidthPixels() * pixelMm;
  const double heightMm = a.bounds.HeightPixels() * pixelMm;
  ComputeCentres(m, a.bounds, widthMm, heightMm, a.section);
  ComputeStiffness(m, a.section);
  if (elastic) {
    ElasticOptions options;
    options.coverage = table ? &*table : nullptr;
    a.elastic =
        ComputeElasticSection(grid, a.bounds, lib, poisson, widthMm, heightMm, a.section, options);
  }
  return a;
}

}  // namespace qv::test
