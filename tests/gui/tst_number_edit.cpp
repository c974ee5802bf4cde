// Tests of TNumberEdit: the messages and the focus on key releases, Enter and Tab, the focus
// lock, the shown texts and the range hint; plus the strictness of the test prompter. The number
// rules themselves are tested in the core (number_field_test.cpp).
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <cstddef>
#include <utility>
#include <vector>

#include "gui/number_edit.h"
#include "support/scripted_prompter.h"

namespace qv::test {
namespace {

const QString kUserRange = QStringLiteral("Number exceeds user defined range.");
const QString kTypeRange = QStringLiteral("Number exceeds compiler range.");
const QString kSyntax = QStringLiteral("Error in number.");

// A shown, active window with a number field followed by a plain edit in child and tab order.
struct Form {
  explicit Form(TNumberType type, double max) {
    window.setObjectName(QStringLiteral("Form"));
    field = new TNumberEdit(&window);
    field->setObjectName(QStringLiteral("NumberEdit1"));
    other = new QLineEdit(&window);
    other->setObjectName(QStringLiteral("Other"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(field);
    layout->addWidget(other);
    field->SetText(QStringLiteral("0"));
    field->SetNumType(type);
    field->SetMax(max);
  }
  bool Show() {
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return false;
    field->setFocus();
    return field->hasFocus();
  }
  // Puts text into the field without a key release, as pasting with the mouse would.
  void Paste(const QString& text) {
    field->selectAll();
    field->insert(text);
  }

  QWidget window;
  TNumberEdit* field = nullptr;
  QLineEdit* other = nullptr;
};

}  // namespace

class TestNumberEdit : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void tabReportsStatus_data();
  void tabReportsStatus();
  void integerValueFollowsLastConvertingText();
  void emptiedFieldKeepsStoredText();
  void blankInExponentShowsDiagnosticOnceAndCountsValid();
  void loneMinusInRealFieldHoldsFocusSilently();
  void modifierReleases_data();
  void modifierReleases();
  void enterMovesFocusInChildOrderWithWrapAround();
  void enterOnInvalidFieldKeepsFocusAndDialogOpen();
  void tabOnValidFieldStopsLockAndLeaves();
  void tabReleaseWithoutItsPressIsIgnored();
  void focusLockPullsFocusBackUntilValid();
  void focusLockReturnsToFieldsPage();
  void writesShowTheirText();
  void defaultHintShowsRange();
  void scriptedPrompterReportsUnexpectedPrompts();
};

void TestNumberEdit::cleanup() {
  // Every field of a test is gone: none may leave the shared lock armed for the next test.
  QVERIFY(!TNumberEdit::FocusLockArmed());
}

void TestNumberEdit::tabReportsStatus_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");

  QTest::newRow("type range") << int(TNumberType::IntType) << "-2147483647" << kTypeRange;
  QTest::newRow("user range") << int(TNumberType::RealType) << "2000000" << kUserRange;
  QTest::newRow("syntax error") << int(TNumberType::RealType) << "1.2.3" << kSyntax;
}

void TestNumberEdit::tabReportsStatus() {
  QFETCH(int, type);
  QFETCH(QString, text);
  QFETCH(QString, message);

  ScriptedPrompter prompts;
  Form form(static_cast<TNumberType>(type), 1000000);
  QVERIFY(form.Show());
  form.Paste(text);
  prompts.ExpectMessage(message);

  QTest::keyClick(form.field, Qt::Key_Tab);

  // The invalid text is kept to be corrected, and the focus with it.
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(form.field->Text(), text);
  QVERIFY(form.field->hasFocus());
  QVERIFY(TNumberEdit::FocusLockArmed());
}

void TestNumberEdit::integerValueFollowsLastConvertingText() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.field->clear();

  QTest::keyClicks(form.field, QStringLiteral("12a"));

  QCOMPARE(form.field->Status(), ValidationStatus::SyntaxError);
  QCOMPARE(form.field->IntValue(), 12);
  QCOMPARE(form.field->Text(), QStringLiteral("12a"));
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::emptiedFieldKeepsStoredText() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.field->clear();
  QTest::keyClicks(form.field, QStringLiteral("250"));
  form.field->selectAll();
  QTest::keyClick(form.field, Qt::Key_Backspace);
  QCOMPARE(form.field->text(), QString());
  QCOMPARE(form.field->Status(), ValidationStatus::SyntaxError);

  prompts.ExpectMessage(kSyntax);
  QTest::keyClick(form.field, Qt::Key_Tab);

  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(form.field->Text(), QStringLiteral("250"));
  QCOMPARE(form.field->IntValue(), 250);
  QVERIFY(form.field->hasFocus());
}

void TestNumberEdit::blankInExponentShowsDiagnosticOnceAndCountsValid() {
  ScriptedPrompter prompts;
  Form form(TNumberType::RealType, 1000000);
  QVERIFY(form.Show());
  form.field->clear();
  const QString diagnostic =
      QStringLiteral("NUMEDIT: There is something wrong !!\rMantisse: 1\rExponent:  5");

  // "1e" and "1e " are plain syntax errors; only the complete "1e 5" reads in parts.
  prompts.ExpectMessage(diagnostic);
  QTest::keyClicks(form.field, QStringLiteral("1e 5"));
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(form.field->Status(), ValidationStatus::Valid);

  // Tab re-examines the text: the diagnostic again, then the field counts as valid and lets go.
  prompts.ExpectMessage(diagnostic);
  QTest::keyClick(form.field, Qt::Key_Tab);
  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(!TNumberEdit::FocusLockArmed());
  QVERIFY(form.other->hasFocus());
}

void TestNumberEdit::loneMinusInRealFieldHoldsFocusSilently() {
  ScriptedPrompter prompts;
  Form form(TNumberType::RealType, 1000000);
  QVERIFY(form.Show());
  form.Paste(QStringLiteral("-"));

  QTest::keyClick(form.field, Qt::Key_Return);

  QV_VERIFY_PROMPTS(prompts);  // no message at all
  QCOMPARE(form.field->Status(), ValidationStatus::SyntaxError);
  QVERIFY(form.field->hasFocus());
  QVERIFY(TNumberEdit::FocusLockArmed());
}

void TestNumberEdit::modifierReleases_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<bool>("validates");
  QTest::addColumn<unsigned>("shift");

  QTest::newRow("Ctrl") << int(Qt::Key_Control) << false << unsigned(kCtrl);
  QTest::newRow("Alt") << int(Qt::Key_Alt) << false << unsigned(kAlt);
  QTest::newRow("Shift") << int(Qt::Key_Shift) << true << unsigned(kShift);
  QTest::newRow("letter") << int(Qt::Key_A) << true << 0u;
}

void TestNumberEdit::modifierReleases() {
  QFETCH(int, key);
  QFETCH(bool, validates);
  QFETCH(unsigned, shift);

  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.field->clear();
  QTest::keyClicks(form.field, QStringLiteral("12a"));
  QCOMPARE(form.field->Status(), ValidationStatus::SyntaxError);
  std::vector<std::pair<int, unsigned>> calls;
  form.field->SetOnKeyUp([&calls](TNumberEdit*, int& k, unsigned s) {
    calls.emplace_back(k, s);
    k = 0;  // the field must not care
  });
  form.Paste(QStringLiteral("77"));

  QTest::keyRelease(form.field, static_cast<Qt::Key>(key));

  QCOMPARE(form.field->IntValue(), validates ? 77 : 12);
  QCOMPARE(form.field->Text(), validates ? QStringLiteral("77") : QStringLiteral("12a"));
  QCOMPARE(form.field->Status(), ValidationStatus::Valid);
  QCOMPARE(calls.size(), std::size_t{1});
  QCOMPARE(calls[0].first, key);
  QCOMPARE(calls[0].second, shift);

  // The handler is not told about Tab and Enter.
  QTest::keyClick(form.field, Qt::Key_Return);
  QCOMPARE(calls.size(), std::size_t{1});
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::enterMovesFocusInChildOrderWithWrapAround() {
  ScriptedPrompter prompts;
  QWidget window;
  auto* first = new QLineEdit(&window);
  auto* field = new TNumberEdit(&window);
  auto* label = new QLabel(QStringLiteral("mm"), &window);
  auto* disabled = new QLineEdit(&window);
  auto* hidden = new QLineEdit(&window);
  auto* next = new QLineEdit(&window);
  auto* layout = new QVBoxLayout(&window);
  for (QWidget* w : std::initializer_list<QWidget*>{first, field, label, disabled, hidden, next}) {
    layout->addWidget(w);
  }
  disabled->setEnabled(false);
  field->SetText(QStringLiteral("0"));
  field->SetMax(100);
  // The tab chain leads elsewhere; Enter follows the children.
  QWidget::setTabOrder(field, first);
  window.show();
  hidden->hide();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  field->setFocus();

  QTest::keyClick(field, Qt::Key_Return);
  QVERIFY(next->hasFocus());

  // With the last focusable child disabled, the search wraps to the first child.
  next->setEnabled(false);
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Return);
  QVERIFY(first->hasFocus());

  // The only focusable child keeps the focus.
  first->setEnabled(false);
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Return);
  QVERIFY(field->hasFocus());
  QVERIFY(!TNumberEdit::FocusLockArmed());
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::enterOnInvalidFieldKeepsFocusAndDialogOpen() {
  ScriptedPrompter prompts;
  QDialog dialog;
  auto* field = new TNumberEdit(&dialog);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(field);
  layout->addWidget(ok);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  field->SetText(QStringLiteral("0"));
  field->SetMax(100);
  dialog.show();
  dialog.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, QStringLiteral("500"));

  // Enter must neither close the dialog with an invalid number nor move the focus.
  prompts.ExpectMessage(kUserRange);
  QTest::keyClick(field, Qt::Key_Return);
  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(dialog.isVisible());
  QCOMPARE(dialog.result(), int(QDialog::Rejected));
  QVERIFY(field->hasFocus());
}

void TestNumberEdit::tabOnValidFieldStopsLockAndLeaves() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  QTest::keyClicks(form.field, QStringLiteral("5"));
  QVERIFY(TNumberEdit::FocusLockArmed());
  QVERIFY(form.field->FocusCheckRunning());

  QTest::keyClick(form.field, Qt::Key_Tab);

  QVERIFY(!TNumberEdit::FocusLockArmed());
  QVERIFY(!form.field->FocusCheckRunning());
  QVERIFY(form.other->hasFocus());
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::tabReleaseWithoutItsPressIsIgnored() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.Paste(QStringLiteral("12a"));

  // The Tab that brought the focus here was pressed in another control.
  QTest::keyRelease(form.field, Qt::Key_Tab);

  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(form.field->hasFocus());
  QCOMPARE(form.field->Status(), ValidationStatus::Valid);
}

void TestNumberEdit::focusLockPullsFocusBackUntilValid() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.field->clear();
  QTest::keyClicks(form.field, QStringLiteral("12a"));

  // The timer's handler, called as the timer would.
  form.other->setFocus();
  QVERIFY(form.other->hasFocus());
  form.field->FocusCheckTick();
  QVERIFY(form.field->hasFocus());

  // The focus change itself schedules the check; no waiting for a fixed interval.
  form.other->setFocus();
  QCoreApplication::processEvents();
  QVERIFY(form.field->hasFocus());
  QVERIFY(form.field->selectedText().isEmpty());

  QTest::keyClick(form.field, Qt::Key_Backspace);
  QCOMPARE(form.field->Status(), ValidationStatus::Valid);
  form.other->setFocus();
  QCoreApplication::processEvents();
  QVERIFY(form.other->hasFocus());
  QVERIFY(!form.field->FocusCheckRunning());
  QVERIFY(!TNumberEdit::FocusLockArmed());
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::focusLockReturnsToFieldsPage() {
  ScriptedPrompter prompts;
  QTabWidget notebook;
  auto* page0 = new QWidget;
  auto* page1 = new QWidget;
  auto* field = new TNumberEdit(page0);
  auto* elsewhere = new QLineEdit(page1);
  notebook.addTab(page0, QStringLiteral("sizes"));
  notebook.addTab(page1, QStringLiteral("other"));
  field->SetText(QStringLiteral("0"));
  field->SetMax(100);
  notebook.show();
  notebook.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&notebook));
  field->setFocus();
  QTest::keyClicks(field, QStringLiteral("x"));  // "0x": a hex prefix without digits
  QCOMPARE(field->Status(), ValidationStatus::SyntaxError);

  notebook.setCurrentIndex(1);
  elsewhere->setFocus();
  field->FocusCheckTick();

  QCOMPARE(notebook.currentIndex(), 0);
  QVERIFY(field->hasFocus());
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::writesShowTheirText() {
  ScriptedPrompter prompts;
  TNumberEdit field;
  // Each write that replaces the text shows the new one, which Text reads as well.
  field.SetText(QString());
  QCOMPARE(field.text(), QStringLiteral("0"));
  QCOMPARE(field.Text(), field.text());
  field.SetIntValue(123456789);
  QCOMPARE(field.text(), QStringLiteral("123456789"));
  QCOMPARE(field.Text(), field.text());
  field.SetNumType(TNumberType::RealType);
  field.SetRealValue(2.5e20);
  QCOMPARE(field.text(), QStringLiteral("2.5E020"));
  QCOMPARE(field.Text(), field.text());
  QV_VERIFY_PROMPTS(prompts);
}

void TestNumberEdit::defaultHintShowsRange() {
  TNumberEdit field;
  field.setToolTip(QStringLiteral("designed hint"));
  field.SetMax(1000000);
  QCOMPARE(field.toolTip(), QStringLiteral("designed hint"));
  field.SetDefaultHint(true);
  QCOMPARE(field.toolTip(), QStringLiteral("0 1000000"));
  field.SetMax(2.5e20);
  QCOMPARE(field.toolTip(), QStringLiteral("0 2.5E020"));
  field.SetDefaultHint(false);
  field.SetMax(7);
  QCOMPARE(field.toolTip(), QStringLiteral("0 2.5E020"));
  QCOMPARE(field.maxLength(), TNumberEdit::kMaxTextLength);
}

void TestNumberEdit::scriptedPrompterReportsUnexpectedPrompts() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.Paste(QStringLiteral("12a"));

  QTest::keyClick(form.field, Qt::Key_Tab);
  QVERIFY(!prompts.Verify());
  QCOMPARE(prompts.Texts(PromptKind::Message), QStringList{kSyntax});
  QCOMPARE(prompts.TakeProblems(),
           QStringList{QStringLiteral("unexpected Message(\"Error in number.\")")});

  // A question of the wrong kind is named with the one the script expected; the expectation
  // stays for the next question.
  prompts.ExpectError(kSyntax);
  QTest::keyClick(form.field, Qt::Key_Tab);
  QVERIFY(!prompts.Verify());
  QCOMPARE(prompts.Pending(), 1);
  QCOMPARE(prompts.TakeProblems(),
           QStringList{QStringLiteral(
               "unexpected Message(\"Error in number.\"), expected Error(\"Error in number.\")")});
  prompts.Clear();

  // Unexpected questions get the cautious answers.
  QCOMPARE(Prompts().Confirm(QStringLiteral("Delete?")), false);
  QCOMPARE(Prompts().OpenPicture(QStringLiteral("/tmp")), std::optional<QString>());
  QDialog dialog;
  QCOMPARE(Prompts().Run(dialog), int(QDialog::Rejected));
  QCOMPARE(prompts.TakeProblems().size(), 3);
  prompts.Clear();

  // Scripted answers, and a dialog driven by its children's names.
  prompts.ExpectConfirm(QStringLiteral("Delete?"), true)
      .ExpectOpenPicture(QStringLiteral("/tmp/a.bmp"), QStringLiteral("/tmp"))
      .ExpectRun(
          [](QDialog& d) {
            RequireChild<QLineEdit>(d, QStringLiteral("Name"))->setText(QStringLiteral("steel"));
            return int(QDialog::Accepted);
          },
          QStringLiteral("TPropForm"));
  QVERIFY(Prompts().Confirm(QStringLiteral("Delete?")));
  QCOMPARE(Prompts().OpenPicture(QStringLiteral("/tmp")), QStringLiteral("/tmp/a.bmp"));
  dialog.setObjectName(QStringLiteral("TPropForm"));
  auto* name = new QLineEdit(&dialog);
  name->setObjectName(QStringLiteral("Name"));
  QCOMPARE(Prompts().Run(dialog), int(QDialog::Accepted));
  QCOMPARE(name->text(), QStringLiteral("steel"));
  QV_VERIFY_PROMPTS(prompts);
}

}  // namespace qv::test

QTEST_MAIN(qv::test::TestNumberEdit)
#include "tst_number_edit.moc"
