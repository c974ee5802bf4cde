// The analysis a test of the extended values needs: both passes, then the elastic solve.
#pragma once

#include <initializer_list>
#include <optional>

#include "core/base/edge_mode.h"
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

/// The section values of `s` with `lib` before any solve: both passes, as the session makes them.
SectionResult SectionValues(const DrawnSection& s, const TPROPClass& lib);

/// Analyses `grid` within `bounds` at widthMm x heightMm with `lib`, then solves the extended
/// values.
Analysis Analyse(const PixelGrid& grid, const SectionBounds& bounds, double widthMm,
                 double heightMm, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options = {});
Analysis Analyse(const DrawnSection& s, const TPROPClass& lib, const PoissonTable& poisson,
                 const ElasticOptions& options = {});

/// An analysis of a picture drawn at a known pixel size, in either reading of its edges.
struct BoxedAnalysis {
  SectionBounds bounds;  ///< the section's box, whose size is typed as pixels x pixelMm
  SectionResult section;
  std::optional<ElasticResult> elastic;
};

/// Analyses `grid` at `pixelMm` per pixel as the session does, with the edges read flat (the
/// box of the materials' colours) or as coverage (the box of every pixel holding a share of
/// them); with `elastic`, also the extended values. Poisson's ratios 0.
BoxedAnalysis AnalyseAtPixelSize(const PixelGrid& grid, double pixelMm, const TPROPClass& lib,
                                 EdgeMode edges, bool elastic = false);

}  // namespace qv::test
