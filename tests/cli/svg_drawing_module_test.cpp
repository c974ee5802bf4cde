// SVG drawings read by the batch tool's module (the tool and the Python module link no Qt): the
// drawing crosses the module boundary whole, and so does a refusal's text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include "core/base/error.h"
#include "core/outline/outline_regions.h"
#include "drawing/overlay_module.h"

namespace qv::test {
namespace {

TEST(SvgDrawingModuleTest, ReadsTheExampleAndPassesRefusalsOn) {
  const OutlineDrawing drawing = drawing::ReadSvgDrawing(
      (std::filesystem::path(QV_TEST_DATA_DIR) / ".." / ".." / "examples" / "composite.svg")
          .string());
  ASSERT_EQ(drawing.shapes.size(), 2U);
  EXPECT_EQ(drawing.shapes[0].colour, 0x808080U);
  EXPECT_EQ(drawing.shapes[1].colour, 0x0000FFU);
  // The IPE 300 with its root fillets: 2 b tf + (h - 2 tf) tw + (4 - pi) r^2.
  const double ipe = 2 * 150 * 10.7 + (300 - 2 * 10.7) * 7.1 + (4 - std::numbers::pi) * 15 * 15;
  const double area = RegionMoments(MaterialBoundaries(drawing, {0x0000FF})[0]).A;
  EXPECT_NEAR(area, ipe, 1e-9 * ipe);

  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("qv_script_" + std::to_string(::getpid()) + ".svg");
  {
    std::ofstream(file) << R"(<svg xmlns="http://www.w3.org/2000/svg"><script>x()</script></svg>)";
  }
  try {
    drawing::ReadSvgDrawing(file.string());
    ADD_FAILURE() << "read";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read drawing " + file.filename().string() +
                                         ": it holds an element <script>, which is not read");
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace qv::test
