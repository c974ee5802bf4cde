// The window's "Resistance ..." on a steel beam under a concrete slab at 0.1 mm per pixel: the
// dialog over an analysed session, timed from the Compute click until the text and the diagrams
// are shown, with the moment-curvature and without.
//
//   qv_resistance_dialog_bench [--runs=N]     (N at least 11, default 11)
//
// The section: a slab 300 x 50 mm (clBlue, concrete: parabola-rectangle at fcd 20) on a rolled
// IPE 120 (clRed, steel: elastic-plastic at 355) centred below it, 3000 x 1700 pixels of
// 0.1 mm. Printed: the median and the range (min-max) over the runs, never the best run alone.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/analysis/analysis.h"
#include "gui/resistance_dialog.h"
#include "support/material_library.h"
#include "support/section_pictures.h"

namespace {

constexpr std::uint32_t kRed = 0x000000FF;
constexpr std::uint32_t kBlue = 0x00FF0000;

qv::test::ShapeFn IpeOnSlab() {
  const qv::test::ShapeFn beam =
      qv::test::Shifted(qv::test::ISection(120, 64, 4.4, 6.3, 7, kRed), 0, 25);
  return [beam](double u, double v) -> std::uint32_t {
    if (v < -35 && u > -150 && u < 150) return kBlue;
    return beam(u, v);
  };
}

void Print(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %8.1f ms  range %8.1f - %8.1f ms\n", what, ms[ms.size() / 2],
              ms.front(), ms.back());
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = 11;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--runs=", 0) == 0) runs = std::atoi(a.c_str() + 7);
  }
  if (runs < 11) {
    std::fprintf(stderr, "qv_resistance_dialog_bench: fewer than 11 runs give no median\n");
    return 2;
  }
  qv::test::DrawnSection drawn = qv::test::DrawSection(300, 170, 0.1, IpeOnSlab(), 0);
  std::printf("picture %d x %d pixels\n", drawn.grid.Width(), drawn.grid.Height());
  qv::LibraryData library;
  library.materials = qv::test::LibraryOf(
      {{.label = "clRed", .E = 210000, .rho = 7850}, {.label = "clBlue", .E = 30000, .rho = 2400}});
  qv::AnalysisRequest request;
  request.size = {300, 170, "300", "170"};
  request.uses = {"clRed", "clBlue"};
  qv::SectionSession session;
  const qv::PictureSource source{"slab.bmp",
                                 std::make_shared<const qv::PixelGrid>(std::move(drawn.grid))};
  qv::AnalyseSection(session, request, source, &library, false, {});
  qv::StrengthTable strengths;
  strengths.Set("clRed", {355, 355});
  strengths.Set("clBlue", {20, 0});
  session.SetStrengthTable(strengths);

  for (const bool curvature : {false, true}) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
      qv::ResistanceDialog dialog(session, {});
      dialog.MomentCurvatureBox->setChecked(curvature);
      QElapsedTimer timer;
      timer.start();
      dialog.ComputeButtonClick();
      ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
      if (dialog.Diagram().isNull() || !session.Resistance() || !session.Resistance()->values) {
        std::fprintf(stderr, "qv_resistance_dialog_bench: no resistance was drawn\n");
        return 1;
      }
    }
    const qv::ResistanceSection& r = *session.Resistance()->values;
    std::printf("N %.0f .. %.0f kN, %zu interaction points, %zu moment-curvature points\n",
                r.nCompression / 1e3, r.nTension / 1e3, r.horizontal.interaction.size(),
                r.horizontal.momentCurvature.size());
    Print(curvature ? "Compute to diagrams, with moment-curvature" : "Compute to diagrams", ms);
  }
  return 0;
}
