// The overlay module quorvane-cli-overlay.so: the batch tool's only Qt code, loaded when an
// overlay is drawn (drawing/overlay_module.h).
#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "core/base/error.h"
#include "drawing/overlay_module.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv::drawing {
namespace {

constexpr const char* kProgram = "quorvane-cli";

// Labels need the platform's fonts, which only a QGuiApplication provides. The module makes one
// for the call when the process has none, so the tool also works inside a program or a test
// that already runs one.
class GuiApplicationScope {
 public:
  GuiApplicationScope() {
    if (QCoreApplication::instance() != nullptr) {
      if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        throw Error(
            "drawing the overlay needs a QGuiApplication, and this process runs a "
            "QCoreApplication");
      }
      return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's start-up notes (no runtime folder and the like) are no business of the
    // tool's user, whose standard error carries one line on failure; critical ones still pass.
    sPrevious = qInstallMessageHandler(QuietHandler);
    mOwnsApp = true;
    mApp = std::make_unique<QGuiApplication>(sArgc, sArgv);
  }
  ~GuiApplicationScope() {
    mApp.reset();
    if (mOwnsApp) qInstallMessageHandler(sPrevious);
  }
  GuiApplicationScope(const GuiApplicationScope&) = delete;
  GuiApplicationScope& operator=(const GuiApplicationScope&) = delete;

 private:
  static void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    if (sPrevious != nullptr) {
      sPrevious(type, context, text);
    } else {
      std::cerr << kProgram << ": " << text.toStdString() << '\n';
    }
  }

  // QGuiApplication keeps references to both for its whole life.
  static inline int sArgc = 1;
  static inline char sName[] = "quorvane-cli";
  static inline char* sArgv[] = {sName, nullptr};
  static inline QtMessageHandler sPrevious = nullptr;
  bool mOwnsApp = false;
  std::unique_ptr<QGuiApplication> mApp;
};

void Tell(OverlayCall& call, const std::string& text) {
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
    GuiApplicationScope gui;
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
