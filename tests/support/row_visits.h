// Rows of a PixelRows visited as the scans visit them, for the readers' tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "core/base/error.h"
#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"

namespace qv::test {

/// Every row of `rows` visited in bands of `band` rows by `workers` threads taking turns, put
/// together again; rows never handed over stay 0xFF000000. Blocks must come in order, and with
/// `whole` every band to its end (a read that fails may stop a band early).
inline PixelGrid Collect(PixelRows& rows, int workers, int band, bool whole = true) {
  PixelGrid out(rows.Width(), rows.Height(), 0xFF000000u);
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(workers));
  for (int w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      for (int first = w * band; first < rows.Height(); first += workers * band) {
        const int end = std::min(rows.Height(), first + band);
        int next = first;
        rows.Visit(w, first, end, [&](const RowBlock& block) {
          EXPECT_EQ(block.first, next);
          EXPECT_EQ(block.width, rows.Width());
          for (int y = block.first; y < block.end; ++y) {
            std::copy(block.Row(y), block.Row(y) + block.width, out.Row(y));
          }
          next = block.end;
        });
        if (whole) {
          EXPECT_EQ(next, end);
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  return out;
}

/// The failure the rows report after their visits, or "none".
inline std::string Failure(const PixelRows& rows) {
  try {
    rows.ThrowIfFailed();
  } catch (const Error& e) {
    return e.what();
  }
  return "none";
}

}  // namespace qv::test
