// Replays the fuzz targets' seed corpora and every input a fuzzer ever failed on through the
// same checks, so a fixed fault stays fixed in the ordinary test run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/fuzz_harness.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzReplayTest : public testing::TestWithParam<const char*> {};

TEST_P(FuzzReplayTest, SeedsAndKeptCrashesPassTheirCheck) {
  const FuzzCheck check = FuzzCheckNamed(GetParam());
  ASSERT_NE(check, nullptr);
  const fs::path data(QV_TEST_DATA_DIR);
  const std::vector<fs::path> seeds = FilesIn(data / ".." / ".." / "fuzz" / "corpus" / GetParam());
  // Without seeds the corpus moved and this test would pass on nothing.
  ASSERT_FALSE(seeds.empty());
  std::vector<fs::path> inputs = seeds;
  for (const fs::path& p : FilesIn(data / "fuzz-regressions" / GetParam())) inputs.push_back(p);
  for (const fs::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    try {
      check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const FuzzFailure& e) {
      ADD_FAILURE() << path.filename() << ": " << e.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest,
                         testing::Values("picture", "png", "library", "prop_line", "number_text",
                                         "settings"),
                         RowName);

}  // namespace
}  // namespace qv::test
