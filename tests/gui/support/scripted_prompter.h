// The strict test prompter: records every question the program asks, answers from a script and
// fails the test on any question the script did not expect.
#pragma once

#include <QDialog>
#include <QFont>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTest>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "gui/prompter.h"
#include "support/recording_shell.h"

namespace qv::test {

enum class PromptKind {
  Error,
  Confirm,
  Information,
  Message,
  OpenPicture,
  SaveTextFile,
  SavePictureFile,
  SavePdfFile,
  ChooseFont,
  Run
};

/// "Error", "Confirm", ... for failure reports.
QString PromptKindName(PromptKind kind);

/// Matches any text, folder or dialog name in an expectation.
inline const std::optional<QString> kAnyText;

/// One question the program asked. `text` is the message exactly as written (with "\r"), the
/// folder of OpenPicture, the font description of ChooseFont, or the dialog's objectName (its
/// class name when it has none) for Run.
struct PromptCall {
  PromptKind kind;
  QString text;
};

/// Installs itself for its lifetime. Each question must match the oldest unused expectation in
/// kind and text; anything else is recorded as a problem, answered with No / Cancel / Rejected,
/// and fails the test unless the test checked it with Verify() or took it with TakeProblems().
class ScriptedPrompter : public Prompter {
 public:
  /// Drives the dialog handed to Run (find its children by objectName) and returns its result.
  using DialogScript = std::function<int(QDialog& dialog)>;

  ScriptedPrompter();
  ~ScriptedPrompter() override;
  ScriptedPrompter(const ScriptedPrompter&) = delete;
  ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

  ScriptedPrompter& ExpectError(const std::optional<QString>& text);
  ScriptedPrompter& ExpectConfirm(const std::optional<QString>& text, bool answer);
  ScriptedPrompter& ExpectInformation(const std::optional<QString>& text);
  ScriptedPrompter& ExpectMessage(const std::optional<QString>& text);
  /// `answer` is the chosen path, nothing for Cancel.
  ScriptedPrompter& ExpectOpenPicture(const std::optional<QString>& answer,
                                      const std::optional<QString>& folder = kAnyText);
  /// `answer` is the chosen path, nothing for Cancel; `suggested` the path the dialog offers.
  ScriptedPrompter& ExpectSaveTextFile(const std::optional<QString>& answer,
                                       const std::optional<QString>& suggested = kAnyText);
  /// The same for a picture.
  ScriptedPrompter& ExpectSavePictureFile(const std::optional<QString>& answer,
                                          const std::optional<QString>& suggested = kAnyText);
  ScriptedPrompter& ExpectSavePdfFile(const std::optional<QString>& answer,
                                      const std::optional<QString>& suggested = kAnyText);
  /// `answer` is the chosen font, nothing for Cancel.
  ScriptedPrompter& ExpectChooseFont(const std::optional<QFont>& answer);
  ScriptedPrompter& ExpectRun(DialogScript script,
                              const std::optional<QString>& dialogName = kAnyText);

  /// Every question asked, expected or not, in order.
  const std::vector<PromptCall>& Calls() const { return mCalls; }
  /// The texts of the questions of one kind, in order.
  QStringList Texts(PromptKind kind) const;
  /// Expectations not used yet.
  int Pending() const { return static_cast<int>(mExpected.size()); }

  /// True when every question was expected and every expectation was used. The problems it
  /// reports no longer fail the test at destruction; Problems() names them.
  bool Verify();
  /// Unexpected questions and unused expectations, one a line.
  QString Problems() const;
  /// Returns the unexpected questions found so far and forgets them (for tests of strictness).
  QStringList TakeProblems();
  /// Forgets calls, expectations and problems.
  void Clear();

  void Error(const QString& text) override;
  bool Confirm(const QString& text) override;
  void Information(const QString& text) override;
  void Message(const QString& text) override;
  std::optional<QString> OpenPicture(const QString& folder) override;
  std::optional<QString> SaveTextFile(const QString& suggested) override;
  std::optional<QString> SavePictureFile(const QString& suggested) override;
  std::optional<QString> SavePdfFile(const QString& suggested) override;
  std::optional<QFont> ChooseFont(const QFont& current) override;
  int Run(QDialog& dialog) override;

 private:
  struct Expectation {
    PromptKind kind = PromptKind::Error;
    std::optional<QString> text;
    bool confirmAnswer = false;
    std::optional<QString> pathAnswer;
    std::optional<QFont> fontAnswer;
    DialogScript script;
  };

  /// Appends an expectation to the script.
  Expectation& Add(PromptKind kind, const std::optional<QString>& text);
  /// Records the call; the matching expectation is taken off the script, else nothing.
  std::optional<Expectation> Take(PromptKind kind, const QString& text);
  QStringList PendingDescriptions() const;

  ScopedPrompter mInstall;
  std::deque<Expectation> mExpected;
  std::vector<PromptCall> mCalls;
  QStringList mProblems;
  bool mVerified = false;
};

/// Checks a ScriptedPrompter and names every problem in the failure.
#define QV_VERIFY_PROMPTS(prompter) QVERIFY2((prompter).Verify(), qPrintable((prompter).Problems()))

/// The descendant of `root` named `name`; fails the current test when there is none.
template <typename T>
T* RequireChild(const QObject& root, const QString& name) {
  T* child = root.findChild<T*>(name);
  if (child == nullptr) {
    const QString message =
        QStringLiteral("%1 has no %2 named \"%3\"")
            .arg(root.objectName(), QString::fromLatin1(T::staticMetaObject.className()), name);
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
  }
  return child;
}

}  // namespace qv::test
