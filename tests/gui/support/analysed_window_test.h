// The frame of the tests of the dialogs over an analysed section (torsion, stresses): a library
// with steel on clRed beside the program, and the section opened and analysed through the window.
#pragma once

#include "core/picture/pixel_grid.h"
#include "support/grid_builder.h"
#include "support/window_test.h"

namespace qv::test {

class AnalysedWindowTest : public WindowTest {
  Q_OBJECT

 protected:
  /// Opens `picture` (the open channel by default), puts red on the material list and analyses
  /// it at `widthMm` x `heightMm`.
  void Analysed(TMainForm& form, const PixelGrid& picture = OpenChannel(),
                const QString& widthMm = "120", const QString& heightMm = "200");

 protected slots:
  void init();
};

}  // namespace qv::test
