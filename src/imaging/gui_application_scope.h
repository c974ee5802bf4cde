// A QGuiApplication for the length of one call, for code that paints or reads drawings inside a
// process that may run none (the batch tool's module, the Python module).
#pragma once

#include <QGuiApplication>
#include <QtGlobal>
#include <memory>
#include <string>

namespace qv {

/// Makes a QGuiApplication on the offscreen platform (unless QT_QPA_PLATFORM says otherwise)
/// when the process has none, and ends it on leaving; does nothing when one runs. Fonts and the
/// painter's defaults need one. Qt's start-up notes are kept from the user meanwhile (critical
/// ones still pass, after "<program>: "). Throws Error "<purpose> needs a QGuiApplication, and
/// this process runs a QCoreApplication" when the process runs a plain QCoreApplication.
class GuiApplicationScope {
 public:
  GuiApplicationScope(const char* program, const std::string& purpose);
  ~GuiApplicationScope();
  GuiApplicationScope(const GuiApplicationScope&) = delete;
  GuiApplicationScope& operator=(const GuiApplicationScope&) = delete;

 private:
  static void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

  // QGuiApplication keeps references to both for its whole life.
  static inline int sArgc = 1;
  static inline char sName[32] = {};
  static inline char* sArgv[] = {sName, nullptr};
  static inline QtMessageHandler sPrevious = nullptr;
  bool mOwnsApp = false;
  std::unique_ptr<QGuiApplication> mApp;
};

}  // namespace qv
