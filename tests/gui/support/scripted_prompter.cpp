// The strict test prompter: matching questions against the script and reporting the rest.
#include "support/scripted_prompter.h"

namespace qv::test {
namespace {

QString Describe(PromptKind kind, const std::optional<QString>& text) {
  if (!text) return PromptKindName(kind) + QStringLiteral("(any)");
  QString shown = *text;
  shown.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
  return PromptKindName(kind) + QStringLiteral("(\"") + shown + QStringLiteral("\")");
}

}  // namespace

QString PromptKindName(PromptKind kind) {
  switch (kind) {
    case PromptKind::Error:
      return QStringLiteral("Error");
    case PromptKind::Confirm:
      return QStringLiteral("Confirm");
    case PromptKind::Information:
      return QStringLiteral("Information");
    case PromptKind::Message:
      return QStringLiteral("Message");
    case PromptKind::OpenPicture:
      return QStringLiteral("OpenPicture");
    case PromptKind::SaveTextFile:
      return QStringLiteral("SaveTextFile");
    case PromptKind::SavePictureFile:
      return QStringLiteral("SavePictureFile");
    case PromptKind::SavePdfFile:
      return QStringLiteral("SavePdfFile");
    case PromptKind::ChooseFont:
      return QStringLiteral("ChooseFont");
    case PromptKind::Run:
      return QStringLiteral("Run");
  }
  return QStringLiteral("?");
}

ScriptedPrompter::ScriptedPrompter() : mInstall(*this) {}

ScriptedPrompter::~ScriptedPrompter() {
  if (mVerified && mProblems.isEmpty() && mExpected.empty()) return;
  const QString problems = Problems();
  if (!problems.isEmpty() && !mVerified) {
    QTest::qFail(qPrintable(QStringLiteral("scripted prompter: ") + problems), __FILE__, __LINE__);
  }
}

ScriptedPrompter::Expectation& ScriptedPrompter::Add(PromptKind kind,
                                                     const std::optional<QString>& text) {
  Expectation expectation;
  expectation.kind = kind;
  expectation.text = text;
  mExpected.push_back(std::move(expectation));
  mVerified = false;
  return mExpected.back();
}

ScriptedPrompter& ScriptedPrompter::ExpectError(const std::optional<QString>& text) {
  Add(PromptKind::Error, text);
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectConfirm(const std::optional<QString>& text, bool answer) {
  Add(PromptKind::Confirm, text).confirmAnswer = answer;
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectInformation(const std::optional<QString>& text) {
  Add(PromptKind::Information, text);
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectMessage(const std::optional<QString>& text) {
  Add(PromptKind::Message, text);
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectSaveTextFile(const std::optional<QString>& answer,
                                                       const std::optional<QString>& suggested) {
  Add(PromptKind::SaveTextFile, suggested).pathAnswer = answer;
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectSavePictureFile(const std::optional<QString>& answer,
                                                          const std::optional<QString>& suggested) {
  Add(PromptKind::SavePictureFile, suggested).pathAnswer = answer;
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectSavePdfFile(const std::optional<QString>& answer,
                                                      const std::optional<QString>& suggested) {
  Add(PromptKind::SavePdfFile, suggested).pathAnswer = answer;
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectOpenPicture(const std::optional<QString>& answer,
                                                      const std::optional<QString>& folder) {
  Add(PromptKind::OpenPicture, folder).pathAnswer = answer;
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectChooseFont(const std::optional<QFont>& answer) {
  Add(PromptKind::ChooseFont, kAnyText).fontAnswer = answer;
  return *this;
}

ScriptedPrompter& ScriptedPrompter::ExpectRun(DialogScript script,
                                              const std::optional<QString>& dialogName) {
  Add(PromptKind::Run, dialogName).script = std::move(script);
  return *this;
}

QStringList ScriptedPrompter::Texts(PromptKind kind) const {
  QStringList texts;
  for (const PromptCall& call : mCalls) {
    if (call.kind == kind) texts.append(call.text);
  }
  return texts;
}

bool ScriptedPrompter::Verify() {
  const bool ok = mProblems.isEmpty() && mExpected.empty();
  mVerified = true;
  return ok;
}

QStringList ScriptedPrompter::PendingDescriptions() const {
  QStringList lines;
  for (const Expectation& expectation : mExpected) {
    lines.append(QStringLiteral("expected but not asked: ") +
                 Describe(expectation.kind, expectation.text));
  }
  return lines;
}

QString ScriptedPrompter::Problems() const {
  return (mProblems + PendingDescriptions()).join(QLatin1Char('\n'));
}

QStringList ScriptedPrompter::TakeProblems() {
  QStringList problems;
  problems.swap(mProblems);
  return problems;
}

void ScriptedPrompter::Clear() {
  mExpected.clear();
  mCalls.clear();
  mProblems.clear();
  mVerified = false;
}

std::optional<ScriptedPrompter::Expectation> ScriptedPrompter::Take(PromptKind kind,
                                                                    const QString& text) {
  mCalls.push_back({kind, text});
  // A new question after Verify() must be checked again.
  mVerified = false;
  if (!mExpected.empty()) {
    const Expectation& next = mExpected.front();
    if (next.kind == kind && (!next.text || *next.text == text)) {
      Expectation taken = std::move(mExpected.front());
      mExpected.pop_front();
      return taken;
    }
  }
  // The expectation stays: one stray question must not make every later one look wrong.
  QString problem = QStringLiteral("unexpected ") + Describe(kind, text);
  if (!mExpected.empty()) {
    problem +=
        QStringLiteral(", expected ") + Describe(mExpected.front().kind, mExpected.front().text);
  }
  mProblems.append(problem);
  return std::nullopt;
}

void ScriptedPrompter::Error(const QString& text) { Take(PromptKind::Error, text); }

bool ScriptedPrompter::Confirm(const QString& text) {
  const auto expectation = Take(PromptKind::Confirm, text);
  return expectation && expectation->confirmAnswer;
}

void ScriptedPrompter::Information(const QString& text) { Take(PromptKind::Information, text); }

void ScriptedPrompter::Message(const QString& text) { Take(PromptKind::Message, text); }

std::optional<QString> ScriptedPrompter::OpenPicture(const QString& folder) {
  const auto expectation = Take(PromptKind::OpenPicture, folder);
  if (!expectation) return std::nullopt;
  return expectation->pathAnswer;
}

std::optional<QString> ScriptedPrompter::SaveTextFile(const QString& suggested) {
  const auto expectation = Take(PromptKind::SaveTextFile, suggested);
  if (!expectation) return std::nullopt;
  return expectation->pathAnswer;
}

std::optional<QString> ScriptedPrompter::SavePdfFile(const QString& suggested) {
  const auto expectation = Take(PromptKind::SavePdfFile, suggested);
  if (!expectation) return std::nullopt;
  return expectation->pathAnswer;
}

std::optional<QString> ScriptedPrompter::SavePictureFile(const QString& suggested) {
  const auto expectation = Take(PromptKind::SavePictureFile, suggested);
  if (!expectation) return std::nullopt;
  return expectation->pathAnswer;
}

std::optional<QFont> ScriptedPrompter::ChooseFont(const QFont& current) {
  const auto expectation = Take(PromptKind::ChooseFont, current.toString());
  if (!expectation) return std::nullopt;
  return expectation->fontAnswer;
}

int ScriptedPrompter::Run(QDialog& dialog) {
  const QString name = dialog.objectName().isEmpty()
                           ? QString::fromLatin1(dialog.metaObject()->className())
                           : dialog.objectName();
  const auto expectation = Take(PromptKind::Run, name);
  const int result =
      expectation && expectation->script ? expectation->script(dialog) : QDialog::Rejected;
  dialog.setResult(result);
  return result;
}

}  // namespace qv::test
