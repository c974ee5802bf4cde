// The sections the solver and stress benchmarks share, drawn once per run of qv_bench.
#pragma once

#include "support/section_pictures.h"

namespace qv::bench {

/// The rolled IPE 300 in red at 0.1 mm per pixel, about 538 000 section pixels: big enough for
/// the threads to matter, and a section whose tables give its values.
inline const test::DrawnSection& Ipe300() {
  static const test::DrawnSection s =
      test::DrawSection(150, 300, 0.1, test::ISection(300, 150, 7.1, 10.7, 15, 0x000000FF));
  return s;
}

}  // namespace qv::bench
