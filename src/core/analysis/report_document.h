// The calculation report as a document: the section's inputs, the text report's blocks as tables
// of symbol, value, unit and meaning, and the pictures that go with them. Laid out and written as
// PDF by the imaging layer (imaging/report_pdf.h); made here, without Qt, so the window, the batch
// tool and the Python module file the same report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/analysis.h"
#include "core/base/json_value.h"
#include "core/picture/pixel_grid.h"
#include "core/section/overlay.h"
#include "core/session/session.h"

namespace qv {

/// One line of a report table. A line of the text report that reads "symbol = value unit
/// meaning" is split into its four columns; any other line stays whole in `symbol` with
/// `whole` set, so every value the text report shows is in the document as it is shown.
struct ReportRow {
  std::string symbol;
  std::string value;
  std::string unit;
  std::string meaning;
  bool whole = false;
  friend bool operator==(const ReportRow&, const ReportRow&) = default;
};

/// The lines under one heading of the text report ("normal center NC at position:").
struct ReportGroup {
  std::string heading;
  std::vector<ReportRow> rows;
  friend bool operator==(const ReportGroup&, const ReportGroup&) = default;
};

/// One block of the text report: the specified results, the extended values, the plastic
/// moments, the resistance, the stresses, the cracked section.
struct ReportBlock {
  std::string title;
  std::vector<ReportGroup> groups;
  friend bool operator==(const ReportBlock&, const ReportBlock&) = default;
};

/// The text report cut into its blocks (a line in capitals starts one; the plastic moments,
/// which have no such title, are a block of their own) and groups (a line at the margin starts
/// one), blank lines dropped.
std::vector<ReportBlock> ReportBlocks(const std::string& report);

/// One row of the inputs' material table.
struct ReportMaterial {
  std::string label;
  std::string name;
  std::uint32_t rgb = 0;  ///< 0xRRGGBB of the swatch
  double E = 0;           ///< N/mm^2
  double rho = 0;         ///< kg/m^3
  std::optional<double> nu;
  std::string strength;  ///< "fc / ft" in N/mm^2, or empty
  std::string law;       ///< the stress-strain law's text, or empty
  double areaMm2 = 0;
  double share = 0;  ///< of the section's area
};

/// A picture of the report: the pixels, and the operations painted over them before it is
/// placed (none for a picture already painted).
struct ReportPicture {
  std::string caption;
  PixelGrid pixels;
  OverlayOps ops;
  int reduction = 1;  ///< picture pixels per pixel of `pixels`, along each side
};

/// Everything the PDF holds.
struct ReportDocument {
  std::string title;    ///< the picture's file name
  std::string date;     ///< YYYY-MM-DD
  std::string program;  ///< "Quorvane <version>"
  std::string units;    ///< the units the values are written in, as the report's own words
  int pictureWidth = 0;
  int pictureHeight = 0;
  double pixelWidthMm = 0;
  double pixelHeightMm = 0;
  std::string sectionSize;  ///< "500 x 650 mm"
  std::vector<ReportMaterial> materials;
  std::vector<ReportBlock> blocks;
  /// The section with the overlay; its scale bar is drawn at `pixelWidthMm` per pixel.
  std::optional<ReportPicture> section;
  std::optional<ReportPicture> stressMap;
  std::optional<ReportPicture> resistance;
};

/// The document of an analysed `session` whose text report is `report` and JSON `json`
/// (AnalysisJson), dated `date`; the section's picture with `overlay` painted over it, and the
/// stress map and the resistance's diagrams when given. The picture is copied (the session
/// keeps its own): the caller may shrink it first (ShrinkForReport).
ReportDocument MakeReportDocument(const SectionSession& session, const std::string& report,
                                  const JsonValue& json, const std::string& date);

/// The document of a run (RunAnalysis) whose request asked for the report text and the JSON,
/// with the section's overlay (the run's, or drawn here), and the stress map and the
/// resistance's diagrams when the run made them. A picture the session does not hold is read
/// again from its file, a few rows at a time. Call it before the overlay or the map are painted
/// into their pictures.
ReportDocument MakeRunReport(const SectionSession& session, const AnalysisOutputs& outputs,
                             const std::string& date);

/// The document of an analysed `session` as `request` asked for it: every block computed, the
/// overlay, the stress map of the request's field when the session has stresses (not the
/// cracked ones), and the resistance's diagrams when its lists were asked for.
ReportDocument MakeSessionReport(const SectionSession& session, const AnalysisRequest& request,
                                 const std::string& date);

/// The picture of a report: `picture` reduced by a whole factor until its longer side is at most
/// `longest` pixels (each pixel of the result the colour most of its block has, so flat colours
/// stay flat and lines of the overlay stay visible), with `ops` scaled alike.
ReportPicture ShrinkForReport(const PixelGrid& picture, const OverlayOps& ops, int longest,
                              std::string caption);

/// The longest side of a picture placed in the report, pixels: enough for a sharp print across
/// an A4 page.
inline constexpr int kReportPictureSide = 1200;

/// Today's date as YYYY-MM-DD, local time.
std::string TodayText();

}  // namespace qv
