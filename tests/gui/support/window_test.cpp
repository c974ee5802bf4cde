// The frame of the Qt Test classes that drive the real main window.
#include "support/window_test.h"

namespace qv::test {

QString WindowTest::Local(const QString& name) const {
  return QString::fromStdString(mDir->File(name.toStdString()));
}

std::unique_ptr<TMainForm> WindowTest::NewForm() const {
  auto form = std::make_unique<TMainForm>(Program(), User());
  form->UpdateTimer.stop();
  return form;
}

void WindowTest::init() {
  mDir = std::make_unique<TempDir>();
  mPrompts = std::make_unique<ScriptedPrompter>();
  mShell = std::make_unique<RecordingShell>();
}

void WindowTest::cleanup() {
  // Taken down before the check, which returns from here when it fails: a prompter left
  // installed would be replaced by the next test's, whose old one then put the real dialogs
  // back under it, and the next test would wait on a real file dialog until killed.
  const bool answered = mPrompts->Verify();
  const QString problems = mPrompts->Problems();
  mShell.reset();
  mPrompts.reset();
  mDir.reset();
  QVERIFY2(answered, qPrintable(problems));
}

}  // namespace qv::test
