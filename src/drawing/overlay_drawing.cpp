// The overlay module quorvane-cli-overlay.so: the batch tool's only Qt code, loaded when an
// overlay is drawn or an SVG drawing read (drawing/overlay_module.h).
#include <exception>
#include <new>
#include <string>

#include "core/base/error.h"
#include "drawing/overlay_module.h"
#include "imaging/gui_application_scope.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"
#include "imaging/report_pdf.h"
#include "imaging/svg_reader.h"

namespace qv::drawing {
namespace {

constexpr const char* kProgram = "quorvane-cli";

template <typename Call>
void Tell(Call& call, const std::string& text) {
  if (call.message != nullptr) *call.message = text;
}

// The module's functions alike: a call from another build refused with `refusal`, `work` run
// on the call, its failure told in the call's message.
template <typename Call, typename Work>
int Run(Call* call, int version, const std::string& refusal, const Work& work) {
  if (call == nullptr) return kOverlayFailed;
  if (call->version != version) {
    Tell(*call, refusal + ": " + std::string(kOverlayModuleFile) + " belongs to another build of " +
                    kProgram);
    return kOverlayFailed;
  }
  try {
    work(*call);
    return kOverlayDrawn;
  } catch (const std::bad_alloc&) {
    return kOverlayNoMemory;
  } catch (const std::exception& e) {
    Tell(*call, e.what());
    return kOverlayFailed;
  }
}

}  // namespace
}  // namespace qv::drawing

extern "C" __attribute__((visibility("default"))) int qv_cli_draw_overlay(
    qv::drawing::OverlayCall* call) {
  using namespace qv::drawing;
  return Run(call, kOverlayCallVersion, "the overlay cannot be drawn", [](OverlayCall& c) {
    // Labels need the platform's fonts, which only a QGuiApplication provides; one is made for
    // the call when the process has none, so the tool also works inside a program or a test
    // that already runs one.
    qv::GuiApplicationScope gui(kProgram, "drawing the overlay");
    qv::RenderOverlay(*c.ops, *c.picture);
    // Into the tool's temporary, which replaces the target once the whole run has succeeded.
    if (c.file != nullptr) {
      qv::WritePictureInto(*c.picture, c.file, c.path != nullptr ? c.path : "");
    }
  });
}

extern "C" __attribute__((visibility("default"))) int qv_cli_read_svg(qv::drawing::SvgCall* call) {
  using namespace qv::drawing;
  return Run(call, kSvgCallVersion, "SVG drawings cannot be read", [](SvgCall& c) {
    qv::GuiApplicationScope gui(kProgram, "reading an SVG drawing");
    *c.drawing = qv::ReadSvgFile(c.path);
  });
}

extern "C" __attribute__((visibility("default"))) int qv_cli_report_pdf(
    qv::drawing::ReportCall* call) {
  using namespace qv::drawing;
  return Run(call, kReportCallVersion, "the report cannot be made", [](ReportCall& c) {
    qv::GuiApplicationScope gui(kProgram, "making the report");
    *c.pdf = qv::ReportPdf(*c.document);
  });
}
