// Tests of TNumberEdit: classification on key releases, the three messages, the value
// properties, Enter and Tab, and the focus lock; plus the strictness of the test prompter.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <memory>

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
  void integerTab_data();
  void integerTab();
  void integerValueFollowsLastConvertingText();
  void emptiedFieldKeepsStoredText();
  void realTab_data();
  void realTab();
  void blankInExponentShowsDiagnosticOnceAndCountsValid();
  void loneMinusInRealFieldHoldsFocusSilently();
  void modifierReleases_data();
  void modifierReleases();
  void enterMovesFocusInChildOrderWithWrapAround();
  void enterOnInvalidFieldKeepsFocusAndDialogOpen();
  void tabOnValidFieldStopsLockAndLeaves();
  void tabReleaseWithoutItsPressIsIgnored();
  void neverSetMaxReadsMinPlus100ButRejectsAboveMin();
  void focusLockPullsFocusBackUntilValid();
  void focusLockReturnsToFieldsPage();
  void valueWrites_data();
  void valueWrites();
  void defaultHintShowsRange();
  void integerTexts_data();
  void integerTexts();
  void realTexts_data();
  void realTexts();
  void scriptedPrompterReportsUnexpectedPrompts();
};

void TestNumberEdit::cleanup() {
  // Every field of a test is gone: none may leave the shared lock armed for the next test.
  QVERIFY(!TNumberEdit::FocusLockArmed());
}

void TestNumberEdit::integerTab_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");  // empty: none
  QTest::addColumn<int>("intValue");     // the field held 7 before
  QTest::addColumn<bool>("focusKept");

  // Out of the field's range: reported, stored all the same, focus held.
  QTest::newRow("above max") << "100001" << kUserRange << 100001 << true;
  QTest::newRow("below min") << "-1" << kUserRange << -1 << true;
  QTest::newRow("max itself") << "100000"
                              << "" << 100000 << false;
  QTest::newRow("not a number") << "12a" << kSyntax << 7 << true;
  // The two lowest 32-bit values are refused as beyond the compiler's range.
  QTest::newRow("compiler range") << "-2147483647" << kTypeRange << -2147483647 << true;
  QTest::newRow("lowest accepted") << "-2147483646" << kUserRange << -2147483646 << true;
  QTest::newRow("beyond 32 bits") << "99999999999" << kSyntax << 7 << true;
  QTest::newRow("lone minus") << "-" << kSyntax << 7 << true;
  QTest::newRow("leading spaces") << "  42"
                                  << "" << 42 << false;
  QTest::newRow("trailing space") << "42 " << kSyntax << 7 << true;
  QTest::newRow("plus sign") << "+42"
                             << "" << 42 << false;
  QTest::newRow("dollar hex") << "$1F"
                              << "" << 31 << false;
  QTest::newRow("x hex") << "xff"
                         << "" << 255 << false;
  QTest::newRow("0X hex") << "0X10"
                          << "" << 16 << false;
  // Eight F digits are the pattern of -1, below Min.
  QTest::newRow("hex pattern") << "$FFFFFFFF" << kUserRange << -1 << true;
  QTest::newRow("nine hex digits") << "$000000001" << kSyntax << 7 << true;
  QTest::newRow("signed hex") << "-$1" << kSyntax << 7 << true;
  QTest::newRow("real text") << "1e3" << kSyntax << 7 << true;
}

void TestNumberEdit::integerTab() {
  QFETCH(QString, text);
  QFETCH(QString, message);
  QFETCH(int, intValue);
  QFETCH(bool, focusKept);

  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 100000);
  QVERIFY(form.Show());
  form.field->SetIntValue(7);
  form.Paste(text);
  if (!message.isEmpty()) prompts.ExpectMessage(message);

  QTest::keyClick(form.field, Qt::Key_Tab);

  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(form.field->IntValue(), intValue);
  QCOMPARE(form.field->Text(), text);
  QCOMPARE(form.field->hasFocus(), focusKept);
  QCOMPARE(TNumberEdit::FocusLockArmed(), focusKept);
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

void TestNumberEdit::realTab_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");   // empty: none
  QTest::addColumn<double>("realValue");  // the field held 3.5 before
  QTest::addColumn<int>("status");

  const int valid = int(ValidationStatus::Valid);
  const int typeRange = int(ValidationStatus::TypeRange);
  const int userRange = int(ValidationStatus::UserRange);
  const int syntax = int(ValidationStatus::SyntaxError);
  QTest::newRow("exponent") << "2.1e5"
                            << "" << 210000.0 << valid;
  QTest::newRow("upper-case exponent") << "2.1E5"
                                       << "" << 210000.0 << valid;
  QTest::newRow("signed exponent") << "25e-1"
                                   << "" << 2.5 << valid;
  QTest::newRow("marker without exponent") << "2.1e" << kSyntax << 3.5 << syntax;
  QTest::newRow("exponent lone sign") << "1e-" << kSyntax << 3.5 << syntax;
  QTest::newRow("no mantissa") << "e5" << kSyntax << 3.5 << syntax;
  QTest::newRow("two markers") << "1ee5" << kSyntax << 3.5 << syntax;
  // Beyond a double: refused, and the field keeps its last finite value.
  QTest::newRow("huge exponent") << "1e400" << kTypeRange << 3.5 << typeRange;
  // A zero mantissa counts as decimal exponent -300.
  QTest::newRow("zero mantissa") << "0e-1" << kTypeRange << 0.0 << typeRange;
  QTest::newRow("tiny") << "1e-301" << kTypeRange << 1e-301 << typeRange;
  QTest::newRow("lone point") << "."
                              << "" << 0.0 << valid;
  QTest::newRow("trailing point") << "5."
                                  << "" << 5.0 << valid;
  QTest::newRow("leading spaces") << "  7.5"
                                  << "" << 7.5 << valid;
  QTest::newRow("trailing space") << "7.5 " << kSyntax << 3.5 << syntax;
  QTest::newRow("two points") << "1.2.3" << kSyntax << 3.5 << syntax;
  QTest::newRow("comma") << "1,5" << kSyntax << 3.5 << syntax;
  QTest::newRow("hex is no real") << "$10" << kSyntax << 3.5 << syntax;
  QTest::newRow("above max") << "2000000" << kUserRange << 2000000.0 << userRange;
  QTest::newRow("above max by exponent") << "1.1e6" << kUserRange << 1100000.0 << userRange;
  QTest::newRow("below min") << "-1" << kUserRange << -1.0 << userRange;
}

void TestNumberEdit::realTab() {
  QFETCH(QString, text);
  QFETCH(QString, message);
  QFETCH(double, realValue);
  QFETCH(int, status);

  ScriptedPrompter prompts;
  Form form(TNumberType::RealType, 1000000);
  QVERIFY(form.Show());
  form.field->SetRealValue(3.5);
  form.Paste(text);
  if (!message.isEmpty()) prompts.ExpectMessage(message);

  QTest::keyClick(form.field, Qt::Key_Tab);

  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(int(form.field->Status()), status);
  QCOMPARE(form.field->RealValue(), realValue);
  QCOMPARE(form.field->hasFocus(), !message.isEmpty());
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
  QCOMPARE(form.field->RealValue(), 100000.0);

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
  form.field->SetRealValue(3.5);
  form.Paste(QStringLiteral("-"));

  QTest::keyClick(form.field, Qt::Key_Return);

  QV_VERIFY_PROMPTS(prompts);  // no message at all
  QCOMPARE(form.field->Status(), ValidationStatus::SyntaxError);
  QCOMPARE(form.field->RealValue(), 0.0);
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

void TestNumberEdit::neverSetMaxReadsMinPlus100ButRejectsAboveMin() {
  ScriptedPrompter prompts;
  Form form(TNumberType::IntType, 0);
  QVERIFY(form.Show());
  QCOMPARE(form.field->Max(), 100.0);
  form.field->SetMax(0);  // equal to Min: ignored
  QCOMPARE(form.field->Max(), 100.0);

  form.Paste(QStringLiteral("6"));
  prompts.ExpectMessage(kUserRange);
  QTest::keyClick(form.field, Qt::Key_Tab);
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(form.field->IntValue(), 6);

  form.Paste(QStringLiteral("0"));
  QTest::keyClick(form.field, Qt::Key_Tab);
  QCOMPARE(form.field->Status(), ValidationStatus::Valid);
  QV_VERIFY_PROMPTS(prompts);
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

void TestNumberEdit::valueWrites_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QString>("before");  // text written first
  QTest::addColumn<QString>("write");   // "text", "int" or "real"
  QTest::addColumn<QString>("text");
  QTest::addColumn<double>("number");
  QTest::addColumn<QString>("shownText");
  QTest::addColumn<int>("intValue");
  QTest::addColumn<double>("realValue");

  const int i = int(TNumberType::IntType);
  const int r = int(TNumberType::RealType);
  QTest::newRow("hex text") << i << "0"
                            << "text"
                            << "$1F" << 0.0 << "$1F" << 31 << 0.0;
  QTest::newRow("bad text zeroes") << i << "5"
                                   << "text"
                                   << "abc" << 0.0 << "abc" << 0 << 0.0;
  // An empty text becomes the zero value's text.
  QTest::newRow("empty text") << i << "5"
                              << "text"
                              << "" << 0.0 << "0" << 0 << 0.0;
  QTest::newRow("int rewrites") << i << "0"
                                << "int"
                                << "" << 123.0 << "123" << 123 << 0.0;
  // Another text of the same value stays.
  QTest::newRow("int same value") << i << "$10"
                                  << "int"
                                  << "" << 16.0 << "$10" << 16 << 0.0;
  QTest::newRow("int over bad text") << i << "abc"
                                     << "int"
                                     << "" << 5.0 << "abc" << 5 << 0.0;
  // Large integers are written in full, so the field reads back what was written.
  QTest::newRow("int nine digits") << i << "0"
                                   << "int"
                                   << "" << 123456789.0 << "123456789" << 123456789 << 0.0;
  QTest::newRow("int lowest") << i << "0"
                              << "int"
                              << "" << -2147483648.0 << "-2147483648" << int(-2147483648LL) << 0.0;
  QTest::newRow("real exponent form") << r << "0"
                                      << "real"
                                      << "" << 2.5e20 << "2.5E020" << 0 << 2.5e20;
  QTest::newRow("real small") << r << "0"
                              << "real"
                              << "" << 1e-5 << "1E-005" << 0 << 1e-5;
  // The value follows the eight digits written.
  QTest::newRow("real eight digits") << r << "0"
                                     << "real"
                                     << "" << 0.123456789 << "0.12345679" << 0 << 0.12345679;
  QTest::newRow("real same value") << r << "2.50"
                                   << "real"
                                   << "" << 2.5 << "2.50" << 0 << 2.5;
  QTest::newRow("lone point") << r << "3"
                              << "text"
                              << "." << 0.0 << "." << 0 << 0.0;
  QTest::newRow("blank in exponent") << r << "3"
                                     << "text"
                                     << "1e 5" << 0.0 << "1e 5" << 0 << 0.0;
}

void TestNumberEdit::valueWrites() {
  QFETCH(int, type);
  QFETCH(QString, before);
  QFETCH(QString, write);
  QFETCH(QString, text);
  QFETCH(double, number);
  QFETCH(QString, shownText);
  QFETCH(int, intValue);
  QFETCH(double, realValue);

  ScriptedPrompter prompts;
  TNumberEdit field;
  field.SetNumType(static_cast<TNumberType>(type));
  field.SetText(before);
  if (write == QLatin1String("text")) field.SetText(text);
  if (write == QLatin1String("int")) field.SetIntValue(static_cast<std::int32_t>(number));
  if (write == QLatin1String("real")) field.SetRealValue(number);

  QCOMPARE(field.Text(), shownText);
  QCOMPARE(field.text(), shownText);
  QCOMPARE(field.IntValue(), intValue);
  QCOMPARE(field.RealValue(), realValue);
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

void TestNumberEdit::integerTexts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("converts");
  QTest::addColumn<int>("value");

  QTest::newRow("lowest") << "-2147483648" << true << int(-2147483648LL);
  QTest::newRow("highest") << "2147483647" << true << 2147483647;
  QTest::newRow("just above") << "2147483648" << false << 0;
  QTest::newRow("leading zeros") << "000000000000000000012" << true << 12;
  QTest::newRow("0x lower case") << "0x7fffffff" << true << 2147483647;
  QTest::newRow("prefix only") << "$" << false << 0;
  QTest::newRow("0x prefix only") << "0x" << false << 0;
  QTest::newRow("bad hex digit") << "$1G" << false << 0;
  QTest::newRow("inner blank") << "1 2" << false << 0;
  QTest::newRow("empty") << "" << false << 0;
  QTest::newRow("blanks only") << "   " << false << 0;
  QTest::newRow("blank after sign") << "- 1" << false << 0;
  QTest::newRow("non-ASCII digit") << QStringLiteral("\u0661") << false << 0;
}

void TestNumberEdit::integerTexts() {
  QFETCH(QString, text);
  QFETCH(bool, converts);
  QFETCH(int, value);
  const auto result = ParseIntegerText(text);
  QCOMPARE(result.has_value(), converts);
  if (converts) QCOMPARE(*result, value);
}

void TestNumberEdit::realTexts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("converts");
  QTest::addColumn<double>("value");

  QTest::newRow("lone point") << "." << true << 0.0;
  QTest::newRow("signed point") << "-." << true << 0.0;
  QTest::newRow("lone minus") << "-" << false << 0.0;
  QTest::newRow("lone plus") << "+" << false << 0.0;
  QTest::newRow("fraction only") << ".25" << true << 0.25;
  QTest::newRow("exponent sign") << "1.5E+3" << true << 1500.0;
  QTest::newRow("point before exponent") << ".e1" << true << 0.0;
  QTest::newRow("exponent without digits") << "1e+" << false << 0.0;
  QTest::newRow("overflow") << "1e400" << false << 0.0;
  QTest::newRow("correctly rounded") << "0.1" << true << 0.1;
  QTest::newRow("spaces inside") << "1 .5" << false << 0.0;
}

void TestNumberEdit::realTexts() {
  QFETCH(QString, text);
  QFETCH(bool, converts);
  QFETCH(double, value);
  const auto result = ParseRealText(text);
  QCOMPARE(result.has_value(), converts);
  if (converts) QCOMPARE(*result, value);
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
