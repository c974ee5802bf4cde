// The analysis a test of the extended values needs: both passes, then the elastic solve.
#pragma once

#include <initializer_list>
#include <optional>

#include "core/elastic/section_solver.h"
#include "core/library/dd_props.h"
#include "core/library/poisson_table.h"
#include "support/section_pictures.h"

namespace qv::test {

/// The section values of an analysis and the extended values on top of them.
struct Analysis {
  SectionResult section;
  std::optional<ElasticResult> elastic;
};

/// Poisson's ratio 0 for `labels`, which makes G = E / 2.
PoissonTable ZeroPoisson(std::initializer_list<const char*> labels);

/// Analyses `grid` within `bounds` at widthMm x heightMm with `lib`, then solves the extended
/// values.
Analysis Analyse(const PixelGrid& grid, const SectionBounds& bounds, double widthMm,
                 double heightMm, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options = {});
Analysis Analyse(const DrawnSection& s, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options = {});

}  // namespace qv::test
