// The QGuiApplication of one call.
#include "imaging/gui_application_scope.h"

#include <QCoreApplication>
#include <cstring>
#include <iostream>

#include "core/base/error.h"

namespace qv {

GuiApplicationScope::GuiApplicationScope(const char* program, const std::string& purpose) {
  if (QCoreApplication::instance() != nullptr) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
      throw Error(purpose + " needs a QGuiApplication, and this process runs a QCoreApplication");
    }
    return;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::strncpy(sName, program, sizeof(sName) - 1);
  // The platform's start-up notes (no runtime folder and the like) are no business of the
  // user, whose standard error carries one line on failure; critical ones still pass.
  sPrevious = qInstallMessageHandler(QuietHandler);
  mOwnsApp = true;
  mApp = std::make_unique<QGuiApplication>(sArgc, sArgv);
}

GuiApplicationScope::~GuiApplicationScope() {
  mApp.reset();
  if (mOwnsApp) qInstallMessageHandler(sPrevious);
}

void GuiApplicationScope::QuietHandler(QtMsgType type, const QMessageLogContext& context,
                                       const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  if (sPrevious != nullptr) {
    sPrevious(type, context, text);
  } else {
    std::cerr << sName << ": " << text.toStdString() << '\n';
  }
}

}  // namespace qv
