// The batch tool's calculation report: --report OUT.pdf, read back with poppler's tools as an
// engineer's viewer would read it.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/analysis/report_document.h"
#include "rectangle_run.h"

namespace qv::test {
namespace {

// What `command` prints on standard output.
std::string Output(const std::string& command) {
  std::string text;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  ::pclose(pipe);
  return text;
}

// The pixels of the section's red on the first page of `pdf` rendered at 30 dpi.
int RedOnFirstPage(const std::string& pdf, const TempDir& dir) {
  const std::string page = dir.File("page");
  EXPECT_EQ(std::system(("pdftoppm -r 30 -png -f 1 -l 1 '" + pdf + "' '" + page + "'").c_str()), 0);
  const QImage image(QString::fromStdString(page + "-1.png"));
  int red = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      red += qRed(c) > 250 && qGreen(c) < 5 && qBlue(c) < 5 ? 1 : 0;
    }
  }
  return red;
}

class ReportCliTest : public RectangleRunTest {};

TEST_F(ReportCliTest, PdfHoldsEveryValueOfTheReportAsTextAndTheSectionAsAPicture) {
  const std::string pdf = dir.File("rect.pdf");
  const CliRun run = RunTool(Analyse(
      {"--torsion", "--fy", "clRed=355", "--action", "Mz=1e6", "--resistance", "--report", pdf}));
  ASSERT_EQ(run.code, 0) << run.err;
  ASSERT_TRUE(ReadAll(pdf).starts_with("%PDF-"));
  const std::string text = Output("pdftotext '" + pdf + "' -");
  // Every value and unit the printed report shows, to its digits, in the text of the PDF.
  int values = 0;
  for (const ReportBlock& block : ReportBlocks(run.out)) {
    for (const ReportGroup& group : block.groups) {
      for (const ReportRow& row : group.rows) {
        if (row.whole) continue;
        ++values;
        EXPECT_NE(text.find(row.value), std::string::npos) << row.symbol << " = " << row.value;
      }
    }
  }
  EXPECT_GT(values, 50);
  for (const char* words :
       {"Section report: rect.bmp", "STRESSES under the given actions", "plastic moments",
        "RESISTANCE", "steel", "10 x 10 mm", "Definitions", "page 1 of"}) {
    EXPECT_NE(text.find(words), std::string::npos) << words;
  }
  EXPECT_GT(RedOnFirstPage(pdf, dir), 100);
}

TEST_F(ReportCliTest, PictureNotHeldByTheAnalysisIsReadAgainForTheReport) {
  // Without torsion or stresses the analysis streams the file; the report reads it again.
  const std::string pdf = dir.File("streamed.pdf");
  const CliRun run = RunTool(Analyse({"--report", pdf}));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_GT(RedOnFirstPage(pdf, dir), 100);
}

TEST_F(ReportCliTest, RefusesOtherNamesAndThePictureItself) {
  const CliRun text = RunTool(Analyse({"--report", dir.File("r.txt")}));
  EXPECT_EQ(text.code, 1);
  EXPECT_EQ(text.err, "quorvane-cli: '" + dir.File("r.txt") + "' is not a .pdf file name\n");
  const std::string before = ReadAll(rect);
  const CliRun over = RunTool(Analyse({"--report", rect}));
  EXPECT_EQ(over.code, 1);
  EXPECT_EQ(ReadAll(rect), before);
}

}  // namespace
}  // namespace qv::test
