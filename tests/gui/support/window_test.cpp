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
  QV_VERIFY_PROMPTS(*mPrompts);
  mShell.reset();
  mPrompts.reset();
  mDir.reset();
}

}  // namespace qv::test
