// The boundary between the batch tool and its overlay drawing. Drawing labels needs Qt Gui and
// its platform plugins, which cost a listing or an analysis that draws nothing more start-up
// time and memory than its whole work on a usual picture. So the drawing lives in a module of
// its own, quorvane-cli-overlay.so, that the tool loads only when an overlay is asked for; the
// tool itself links no Qt library. SVG drawings are read by Qt SVG, in the same module.
#pragma once

#include <string>
#include <vector>

#include "core/analysis/report_document.h"
#include "core/outline/outline.h"
#include "core/picture/pixel_grid.h"
#include "core/section/overlay.h"

namespace qv::drawing {

/// The module's file name, and the functions it exports.
inline constexpr const char* kOverlayModuleFile = "quorvane-cli-overlay.so";
inline constexpr const char* kOverlayEntryName = "qv_cli_draw_overlay";
inline constexpr const char* kSvgEntryName = "qv_cli_read_svg";
inline constexpr const char* kReportEntryName = "qv_cli_report_pdf";

/// Outcome of the module's function.
enum OverlayStatus : int {
  kOverlayDrawn = 0,     ///< painted and written
  kOverlayFailed = 1,    ///< `message` holds the user-facing text
  kOverlayNoMemory = 2,  ///< std::bad_alloc inside the module
};

/// The layout of OverlayCall: a module from another build has another.
inline constexpr int kOverlayCallVersion = 3;

/// What the tool hands the module. Both sides are built from this header by one compiler in one
/// build, so the core's types cross as they are; `version` catches a module left from another
/// build.
struct OverlayCall {
  int version = kOverlayCallVersion;
  const OverlayOps* ops = nullptr;
  PixelGrid* picture = nullptr;    ///< painted in place
  const char* file = nullptr;      ///< the temporary the painted picture is written into, or null
  const char* path = nullptr;      ///< the output `file` stands for: its format and its name
  std::string* message = nullptr;  ///< receives the failure's text
};

/// The module's function: paints `ops` into `picture` as the window's overlay (RenderOverlay)
/// and, unless `file` is null, writes it there (WritePictureInto, PNG or BMP by `path`), with a
/// QGuiApplication for the call when the process has none. Returns an OverlayStatus.
using OverlayEntry = int (*)(OverlayCall* call);

/// The layout of SvgCall.
inline constexpr int kSvgCallVersion = 1;

/// What the tool hands the module to read an SVG drawing; as OverlayCall, one build's types.
struct SvgCall {
  int version = kSvgCallVersion;
  const char* path = nullptr;         ///< the SVG file
  OutlineDrawing* drawing = nullptr;  ///< receives the drawing
  std::string* message = nullptr;     ///< receives the failure's text
};

/// The module's SVG function: ReadSvgFile of `path` into `drawing`, with a QGuiApplication for
/// the call when the process has none. Returns an OverlayStatus (kOverlayDrawn once read).
using SvgEntry = int (*)(SvgCall* call);

/// The layout of ReportCall.
inline constexpr int kReportCallVersion = 1;

/// What the tool hands the module to lay out a report; as OverlayCall, one build's types.
struct ReportCall {
  int version = kReportCallVersion;
  const ReportDocument* document = nullptr;
  std::string* pdf = nullptr;      ///< receives the PDF file's bytes
  std::string* message = nullptr;  ///< receives the failure's text
};

/// The module's report function: ReportPdf of `document` into `pdf`, with a QGuiApplication for
/// the call when the process has none. Returns an OverlayStatus (kOverlayDrawn once made).
using ReportEntry = int (*)(ReportCall* call);

/// Files tried for the module before the places found from the running program, for code that
/// runs in another program's process (the Python module, whose program is python). Effective
/// when called before the first overlay is drawn.
void LookForOverlayModuleFirst(std::vector<std::string> files);

/// Loads the module (once per process; it stays loaded) and runs its function on `picture`,
/// writing it into `file`, the temporary of the output `path` (OutputFiles::Add).
/// Looks for the module where the package installs it relative to the running program, beside
/// the program (the build folder), then along the program's run path (the tests' binaries).
/// Throws Error with the module's text when drawing or writing failed, or "the overlay cannot be
/// drawn: ..." when the module cannot be loaded; std::bad_alloc when memory ran out.
void DrawOverlay(const OverlayOps& ops, PixelGrid& picture, const std::string& file,
                 const std::string& path);

/// The same painting without writing a file.
void PaintOverlay(const OverlayOps& ops, PixelGrid& picture);

/// The SVG drawing at `path`, read by the module (imaging/svg_reader.h). Throws Error with the
/// reader's text ("Cannot read drawing <name>: <reason>"), or "Cannot read drawing <name>: SVG
/// drawings cannot be read: ..." when the module cannot be loaded; std::bad_alloc when memory
/// ran out.
OutlineDrawing ReadSvgDrawing(const std::string& path);

/// The PDF file of `document` (imaging/report_pdf.h), laid out by the module. Throws Error with
/// the module's text, or "the report cannot be made: ..." when the module cannot be loaded;
/// std::bad_alloc when memory ran out.
std::string ReportPdfBytes(const ReportDocument& document);

}  // namespace qv::drawing
