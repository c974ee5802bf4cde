// The frame of the Qt Test classes that drive the real main window.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "gui/main_window.h"
#include "support/grid_builder.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

namespace qv::test {

/// Base of a window test class: every test function gets a fresh folder for the program and the
/// user, a strict prompter that is verified after the function and a recording shell. A class
/// that sets up more calls init() and cleanup() from its own slots of those names.
class WindowTest : public QObject {
  Q_OBJECT

 protected:
  /// `name` in the test's folder, where the program "quorvane" and the folder "user" live.
  QString Local(const QString& name) const;
  QString Program() const { return Local("quorvane"); }
  QString User() const { return Local("user"); }
  /// A window on those folders, its update check held back.
  std::unique_ptr<TMainForm> NewForm() const;

  std::unique_ptr<TempDir> mDir;
  std::unique_ptr<ScriptedPrompter> mPrompts;
  std::unique_ptr<RecordingShell> mShell;

 protected slots:
  void init();
  void cleanup();
};

}  // namespace qv::test
