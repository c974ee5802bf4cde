// The thread pool's promises to its callers: progress only on the caller's thread, a part's
// failure brought back to the caller, and picture readers that still read without threads.
#include "core/base/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/base/error.h"
#include "core/picture/picture_reader.h"
#include "support/bmp_writer.h"
#include "support/png_writer.h"
#include "support/restricted_run.h"

namespace qv::test {
namespace {

TEST(ThreadPoolTest, BandsAreDoneOnceAndReportedOnlyOnTheCallersThread) {
  ThreadPool pool(4);
  std::vector<std::atomic<int>> seen(1001);
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::int64_t> reported;
  std::atomic<bool> callerReported{false};
  bool elsewhere = false;
  pool.ForEachBand(
      1001, 10,
      [&](int part, std::int64_t first, std::int64_t end) {
        ASSERT_LT(part, pool.Parts());
        for (std::int64_t i = first; i < end; ++i) ++seen[static_cast<std::size_t>(i)];
        // The other parts hold on to their first bands until the caller has finished one.
        while (part != 0 && !callerReported) std::this_thread::yield();
      },
      [&](std::int64_t items) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        reported.push_back(items);
        callerReported = true;
      });
  for (const std::atomic<int>& s : seen) ASSERT_EQ(s.load(), 1);
  EXPECT_FALSE(elsewhere);
  ASSERT_FALSE(reported.empty());
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_LE(reported.back(), 1001);
}

TEST(ThreadPoolTest, AFailingPartReachesTheCallerOnceEveryPartIsDone) {
  ThreadPool pool(3);
  if (pool.Parts() < 3) GTEST_SKIP() << "no three threads to be had";
  std::atomic<int> finished{0};
  const auto failing = [&](int throwing) {
    return [&, throwing](int part) {
      if (part == throwing) throw std::runtime_error("part " + std::to_string(part));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ++finished;
    };
  };
  for (const int throwing : {0, 2}) {
    finished = 0;
    try {
      pool.Run(failing(throwing));
      ADD_FAILURE() << "part " << throwing << " threw nothing";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "part " + std::to_string(throwing));
    }
    EXPECT_EQ(finished.load(), 2);  // the others ran to their end before Run returned
  }
  // The pool goes on as before.
  std::atomic<std::int64_t> covered{0};
  pool.ForRange(100000, [&](std::int64_t begin, std::int64_t end) { covered += end - begin; });
  EXPECT_EQ(covered.load(), 100000);
}

TEST(ThreadPoolTest, PicturesLargeEnoughToSplitAreReadWhenNoThreadCanBeStarted) {
  // A BMP picture read in several parts, and a palette PNG picture converted beside its
  // decoding, each when threads can be had.
  const int w = 1500, h = 1400;
  const std::vector<std::uint8_t> indices = IndexPattern(w, h, 40);
  const std::vector<std::uint32_t> palette = Palette(40);
  BmpOptions eightBits;
  eightBits.bits = 8;
  const std::string bmp = EncodeIndexedBmp(w, h, indices, palette, eightBits);
  RawPng raw;
  raw.width = w;
  raw.height = h;
  raw.colour = PngColour::kPalette;
  raw.samples.assign(indices.begin(), indices.end());
  raw.palette = palette;
  const std::string png = EncodeRawPng(raw);
  raw.samples[static_cast<std::size_t>(w) * 1300 + 7] = 40;
  const std::string bad = EncodeRawPng(raw);
  const auto decode = [](const std::string& bytes) {
    const std::vector<unsigned char> data(bytes.begin(), bytes.end());
    return DecodePicture(data.data(), data.size(), "big");
  };
  const auto refusal = [&] {
    try {
      decode(bad);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("read");
  };
  const PixelGrid expected = decode(bmp);
  ASSERT_EQ(decode(png), expected);
  const std::string refused = refusal();
  ASSERT_NE(refused.find("palette entry 40"), std::string::npos) << refused;
  RunWithoutNewThreads([&] {
    EXPECT_EQ(decode(bmp), expected);
    EXPECT_EQ(decode(png), expected);
    EXPECT_EQ(refusal(), refused);
  });
}

}  // namespace
}  // namespace qv::test
