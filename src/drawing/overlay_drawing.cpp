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
#include "imaging/svg_reader.h"

namespace qv::drawing {
namespace {

constexpr const char* kProgram = "quorvane-cli";

template <typename Call>
void Tell(Call& call, const std::string& text) {
  if (call.message != nullptr) *call.message = text;
}

}  // namespace
}  // namespace qv::drawing

extern "C" __attribute__((visibility("default"))) int qv_cli_draw_overlay(
    qv::drawing::OverlayCall* call) {
  using namespace qv::drawing;
  if (call == nullptr) return kOverlayFailed;
  if (call->version != kOverlayCallVersion) {
    Tell(*call, "the overlay cannot be drawn: " + std::string(kOverlayModuleFile) +
                    " belongs to another build of " + kProgram);
    return kOverlayFailed;
  }
  try {
    // Labels need the platform's fonts, which only a QGuiApplication provides; one is made for
    // the call when the process has none, so the tool also works inside a program or a test
    // that already runs one.
    qv::GuiApplicationScope gui(kProgram, "drawing the overlay");
    qv::RenderOverlay(*call->ops, *call->picture);
    // Into the tool's temporary, which replaces the target once the whole run has succeeded.
    if (call->file != nullptr) {
      qv::WritePictureInto(*call->picture, call->file, call->path != nullptr ? call->path : "");
    }
    return kOverlayDrawn;
  } catch (const std::bad_alloc&) {
    return kOverlayNoMemory;
  } catch (const std::exception& e) {
    Tell(*call, e.what());
    return kOverlayFailed;
  }
}

extern "C" __attribute__((visibility("default"))) int qv_cli_read_svg(qv::drawing::SvgCall* call) {
  using namespace qv::drawing;
  if (call == nullptr) return kOverlayFailed;
  if (call->version != kSvgCallVersion) {
    Tell(*call, "SVG drawings cannot be read: " + std::string(kOverlayModuleFile) +
                    " belongs to another build of " + kProgram);
    return kOverlayFailed;
  }
  try {
    qv::GuiApplicationScope gui(kProgram, "reading an SVG drawing");
    *call->drawing = qv::ReadSvgFile(call->path);
    return kOverlayDrawn;
  } catch (const std::bad_alloc&) {
    return kOverlayNoMemory;
  } catch (const std::exception& e) {
    Tell(*call, e.what());
    return kOverlayFailed;
  }
}
