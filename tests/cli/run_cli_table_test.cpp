// Tests of the batch tool's table command, run in-process: a line per picture equal to the JSON
// of its analysis, and pictures that fail told on standard error while the others go on.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QString>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "rectangle_run.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"

namespace qv::test {
namespace {

const std::filesystem::path kExamples =
    std::filesystem::path(QV_TEST_DATA_DIR) / ".." / ".." / "examples";

// `text` split at `separator` (the examples' names hold no comma to quote).
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(text);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

// The lines of `text`, each without its line end (CR LF or LF).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

class RunCliTableTest : public ::testing::Test {
 protected:
  // The sizes and materials every run of a test shares: a picture's own size from the pixels.
  const std::vector<std::string> options = {
      "--pixel-size", "1", "--use", "clRed", "--library", (kExamples / "properties.ini").string()};
  TempDir dir;
};

TEST_F(RunCliTableTest, CsvOfTheExamplesEqualsTheJsonOfEachAnalysis) {
  // The examples of one material: a channel, a tube with smoothed edges and a rolled section
  // drawn with its fillets.
  const std::vector<std::string> pictures = {(kExamples / "u-channel.bmp").string(),
                                             (kExamples / "smoothed-tube.png").string(),
                                             (kExamples / "ipe300.dxf").string()};
  const CliRun table = RunTool(Concat(Concat({"table"}, pictures), Concat(options, {"--csv"})));
  ASSERT_EQ(table.code, 0) << table.err;
  EXPECT_EQ(table.err, "");
  // RFC 4180: CR LF after every row, the last one too.
  ASSERT_EQ(table.out.substr(table.out.size() - 2), "\r\n");
  const std::vector<std::string> rows = Lines(table.out.substr(0, table.out.size() - 2));
  ASSERT_EQ(rows.size(), pictures.size() + 1);
  const std::vector<std::string> header = Split(rows[0], ',');
  ASSERT_EQ(header.at(0), "picture");
  for (std::size_t p = 0; p < pictures.size(); ++p) {
    const CliRun analyse =
        RunTool(Concat(Concat({"analyse", pictures[p]}, options), {"--torsion", "--json"}));
    ASSERT_EQ(analyse.code, 0) << analyse.err;
    const QJsonObject line = At(At(ParseJson(analyse.out), "extended"), "section_table");
    const std::vector<std::string> fields = Split(rows[p + 1], ',');
    ASSERT_EQ(fields.size(), header.size());
    EXPECT_EQ(fields[0], pictures[p]);
    // Every key once, in the row's order, with the very double the JSON holds.
    EXPECT_EQ(static_cast<std::size_t>(line.size()), header.size() - 1);
    for (std::size_t k = 1; k < header.size(); ++k) {
      const QString key = QString::fromStdString(header[k]);
      ASSERT_TRUE(line.contains(key)) << header[k];
      double value = 0;
      const std::string& text = fields[k];
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      ASSERT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
      EXPECT_EQ(value, line[key].toDouble()) << pictures[p] << " " << header[k];
    }
  }
}

TEST_F(RunCliTableTest, AFailingPictureIsToldAndTheOthersGoOn) {
  const std::string small =
      dir.WritePicture("small.bmp", MakeGrid(20, 10, kWhite, {{2, 3, 11, 6, kRed}}));
  const std::string broken = dir.File("broken.bmp");
  std::ofstream(broken) << "BM not a picture";
  const std::string tall =
      dir.WritePicture("tall.bmp", MakeGrid(10, 20, kWhite, {{3, 2, 6, 11, kRed}}));
  const CliRun run = RunTool(Concat({"table", small, broken, tall}, options));
  EXPECT_EQ(run.code, 1);
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3U) << run.out;
  EXPECT_EQ(lines[0].rfind("picture  ", 0), 0U) << lines[0];
  EXPECT_EQ(lines[1].rfind(small + "  ", 0), 0U) << lines[1];
  EXPECT_EQ(lines[2].rfind(tall + "  ", 0), 0U) << lines[2];
  // Aligned: every line's columns end where the header's do.
  EXPECT_EQ(lines[1].size(), lines[0].size());
  EXPECT_EQ(lines[2].size(), lines[0].size());
  ASSERT_EQ(Lines(run.err).size(), 1U) << run.err;
  EXPECT_EQ(run.err.rfind("quorvane-cli: " + broken + ": ", 0), 0U) << run.err;

  // A section of two materials has no line, and says why.
  const std::string two = dir.WritePicture(
      "two.bmp", MakeGrid(20, 10, kWhite, {{2, 3, 11, 6, kRed}, {12, 3, 15, 6, kBlue}}));
  const CliRun composite = RunTool(Concat({"table", two}, Concat(options, {"--use", "clBlue"})));
  EXPECT_EQ(composite.code, 1);
  EXPECT_EQ(composite.err, "quorvane-cli: " + two +
                               ": the section is made of several materials (clRed, clBlue): its "
                               "area, second moments and moduli have no single-material meaning\n");
}

TEST_F(RunCliTableTest, CsvQuotesANameThatHoldsACommaOrAQuote) {
  const std::string odd =
      dir.WritePicture("a,\"b\".bmp", MakeGrid(20, 10, kWhite, {{2, 3, 11, 6, kRed}}));
  const CliRun run = RunTool(Concat({"table", odd}, Concat(options, {"--csv"})));
  ASSERT_EQ(run.code, 0) << run.err;
  const std::vector<std::string> rows = Lines(run.out);
  ASSERT_EQ(rows.size(), 2U);
  // RFC 4180: the field in double quotes, a quote inside doubled.
  EXPECT_EQ(rows[1].rfind("\"" + dir.File("a,\"\"b\"\".bmp") + "\",", 0), 0U) << rows[1];
}

}  // namespace
}  // namespace qv::test
