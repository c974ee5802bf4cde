// Tests of the property dialog: what it shows, what OK and Cancel store, conversion failures and
// the refusal of names the library file could not read back.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "gui/number_edit.h"
#include "gui/property_dialog.h"
#include "support/scripted_prompter.h"

namespace qv::test {
namespace {

const QString kDialog = QStringLiteral("PropForm");

PROPRec Steel() {
  PROPRec record;
  record.colorlabel = "clRed";
  record.name = "steel";
  record.E = 210000;
  record.rho = 7850;
  return record;
}

QLineEdit* NameField(QDialog& d) { return RequireChild<QLineEdit>(d, QStringLiteral("Edit1")); }
TNumberEdit* EField(QDialog& d) {
  return RequireChild<TNumberEdit>(d, QStringLiteral("NumberEdit1"));
}
TNumberEdit* RhoField(QDialog& d) {
  return RequireChild<TNumberEdit>(d, QStringLiteral("NumberEdit2"));
}
void ClickOk(QDialog& d) { RequireChild<QPushButton>(d, QStringLiteral("BitBtn1"))->click(); }

// Replaces a number field's text as the user would: emptied, then typed key by key, so the
// field's stored text follows the key releases.
void Type(TNumberEdit* field, const QString& text) {
  field->clear();
  QTest::keyClicks(field, text);
}

}  // namespace

class TestPropForm : public QObject {
  Q_OBJECT

 private slots:
  void showsLabelOnceAndStoredValues();
  void cancelAfterChangingEveryFieldChangesNothing();
  void okStoresTypedValuesAndEmptyName();
  void okReadsStoredTextNotPastedText();
  void untouchedFieldsKeepExactValues();
  void nonNumberStopsAfterStoringName_data();
  void nonNumberStopsAfterStoringName();
  void unreadableNameIsRefusedAndDialogStaysOpen_data();
  void unreadableNameIsRefusedAndDialogStaysOpen();
  void editedValueBeyondItsFieldIsRefusedOnOk();
  void escapeCancels();
};

void TestPropForm::showsLabelOnceAndStoredValues() {
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  QStringList shown;
  const auto look = [&shown](QDialog& d) {
    shown << d.windowTitle() << NameField(d)->text() << EField(d)->Text() << RhoField(d)->Text()
          << EField(d)->text();
    return int(QDialog::Rejected);
  };
  prompts.ExpectRun(look, kDialog).ExpectRun(look, kDialog);
  QVERIFY(!EditMaterialRecord(nullptr, record));
  QVERIFY(!EditMaterialRecord(nullptr, record));
  // A fresh dialog each time: the label is appended to the designed caption only once.
  const QStringList once = {QStringLiteral("Properties: clRed"), QStringLiteral("steel"),
                            QStringLiteral("210000"), QStringLiteral("7850"),
                            QStringLiteral("210000")};
  QCOMPARE(shown, once + once);
  QV_VERIFY_PROMPTS(prompts);
}

void TestPropForm::cancelAfterChangingEveryFieldChangesNothing() {
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  prompts.ExpectRun(
      [](QDialog& d) {
        NameField(d)->setText(QStringLiteral("concrete"));
        Type(EField(d), QStringLiteral("30000"));
        Type(RhoField(d), QStringLiteral("2400"));
        RequireChild<QPushButton>(d, QStringLiteral("BitBtn2"))->click();
        return d.result();
      },
      kDialog);
  QVERIFY(!EditMaterialRecord(nullptr, record));
  QCOMPARE(record.name, std::string("steel"));
  QCOMPARE(record.E, 210000.0);
  QCOMPARE(record.rho, 7850.0);
  QV_VERIFY_PROMPTS(prompts);
}

void TestPropForm::okStoresTypedValuesAndEmptyName() {
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  prompts.ExpectRun(
      [](QDialog& d) {
        NameField(d)->clear();
        Type(EField(d), QStringLiteral("2.1e5"));
        Type(RhoField(d), QStringLiteral("0.5"));
        ClickOk(d);
        return d.result();
      },
      kDialog);
  QVERIFY(EditMaterialRecord(nullptr, record));
  QCOMPARE(record.name, std::string());
  QCOMPARE(record.E, 210000.0);
  QCOMPARE(record.rho, 0.5);
  QCOMPARE(record.colorlabel, std::string("clRed"));
  QV_VERIFY_PROMPTS(prompts);
}

void TestPropForm::okReadsStoredTextNotPastedText() {
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  TPropForm form;
  LoadPropForm(form, record);
  Type(form.NumberEdit1, QStringLiteral("123"));
  // Text put in without a key release (pasted with the mouse) is not the field's stored text.
  form.NumberEdit1->QLineEdit::setText(QStringLiteral("999"));
  StorePropForm(form, record);
  QCOMPARE(record.E, 123.0);
  QV_VERIFY_PROMPTS(prompts);
}

void TestPropForm::untouchedFieldsKeepExactValues() {
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  record.E = 123456.789012345;
  record.rho = 0.1 + 0.2;  // not the double nearest to any short decimal
  const PROPRec original = record;
  prompts.ExpectRun(
      [](QDialog& d) {
        // The fields show 8 significant digits only.
        if (EField(d)->Text() != QStringLiteral("123456.79")) return int(QDialog::Rejected);
        ClickOk(d);
        return d.result();
      },
      kDialog);
  QVERIFY(EditMaterialRecord(nullptr, record));
  QCOMPARE(record.E, original.E);
  QCOMPARE(record.rho, original.rho);
  QV_VERIFY_PROMPTS(prompts);
}

void TestPropForm::nonNumberStopsAfterStoringName_data() {
  QTest::addColumn<QString>("eText");
  QTest::addColumn<QString>("rhoText");
  QTest::addColumn<QString>("message");
  QTest::addColumn<double>("storedE");

  // E fails: neither E nor the valid rho after it are stored.
  QTest::newRow("E") << "12a"
                     << "2400"
                     << "'12a' is not a valid floating point value" << 210000.0;
  // A lone "." is 0 to the field but not a number to the reader.
  QTest::newRow("lone point") << "."
                              << "2400"
                              << "'.' is not a valid floating point value" << 210000.0;
  // rho fails: E before it is stored.
  QTest::newRow("rho") << "30000"
                       << "2,4"
                       << "'2,4' is not a valid floating point value" << 30000.0;
}

void TestPropForm::nonNumberStopsAfterStoringName() {
  QFETCH(QString, eText);
  QFETCH(QString, rhoText);
  QFETCH(QString, message);
  QFETCH(double, storedE);
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  prompts
      .ExpectRun(
          [&](QDialog& d) {
            NameField(d)->setText(QStringLiteral("concrete"));
            Type(EField(d), eText);
            Type(RhoField(d), rhoText);
            ClickOk(d);
            return d.result();
          },
          kDialog)
      .ExpectError(message);
  QVERIFY(EditMaterialRecord(nullptr, record));
  QCOMPARE(record.name, std::string("concrete"));
  QCOMPARE(record.E, storedE);
  QCOMPARE(record.rho, 7850.0);
  QV_VERIFY_PROMPTS(prompts);
}

void TestPropForm::unreadableNameIsRefusedAndDialogStaysOpen_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("message");

  // "@" separates the fields of a library line.
  QTest::newRow("at sign") << "st@el"
                           << "A material name must not contain '@'.";
  // A line break would end the library line.
  QTest::newRow("line break") << "st\nel"
                              << "A material name must not contain line breaks.";
  QTest::newRow("too long") << QString(256, QLatin1Char('x'))
                            << "A material name must not be longer than 255 characters.";
  // Pasted in: a control character would garble the report's columns or a terminal.
  QTest::newRow("escape") << "st\x1B[2Jel"
                          << "A material name must not contain control characters.";
}

void TestPropForm::unreadableNameIsRefusedAndDialogStaysOpen() {
  QFETCH(QString, name);
  QFETCH(QString, message);
  ScriptedPrompter prompts;
  PROPRec record = Steel();
  prompts.ExpectError(message);
  TPropForm form;
  LoadPropForm(form, record);
  form.show();
  NameField(form)->setText(name);
  ClickOk(form);
  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(form.isVisible());
  QCOMPARE(form.result(), int(QDialog::Rejected));

  // Corrected, the same dialog closes and stores.
  NameField(form)->setText(QStringLiteral("steel 2"));
  ClickOk(form);
  QVERIFY(!form.isVisible());
  QCOMPARE(form.result(), int(QDialog::Accepted));
  StorePropForm(form, record);
  QCOMPARE(record.name, std::string("steel 2"));

  // Storing such a name directly is refused before anything is stored.
  NameField(form)->setText(name);
  Type(form.NumberEdit1, QStringLiteral("5"));
  try {
    StorePropForm(form, record);
    QFAIL("the name was stored");
  } catch (const Error& e) {
    QCOMPARE(QString::fromStdString(e.what()), message);
  }
  QCOMPARE(record.name, std::string("steel 2"));
  QCOMPARE(record.E, 210000.0);
}

void TestPropForm::editedValueBeyondItsFieldIsRefusedOnOk() {
  ScriptedPrompter prompts;
  TPropForm form;
  LoadPropForm(form, Steel());
  form.show();
  Type(EField(form), QStringLiteral("2e9"));
  prompts.ExpectError(
      "Number exceeds user defined range. E must lie in 0..1000000 N/mm^2, not 2000000000.");
  ClickOk(form);
  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(form.isVisible());
  // Corrected, it closes.
  Type(EField(form), QStringLiteral("2e5"));
  ClickOk(form);
  QCOMPARE(form.result(), int(QDialog::Accepted));
}

void TestPropForm::escapeCancels() {
  ScriptedPrompter prompts;
  TPropForm form;
  LoadPropForm(form, Steel());
  form.show();
  QVERIFY(form.isVisible());
  QTest::keyClick(NameField(form), Qt::Key_Escape);
  QVERIFY(!form.isVisible());
  QCOMPARE(form.result(), int(QDialog::Rejected));
  QV_VERIFY_PROMPTS(prompts);
}

}  // namespace qv::test

QTEST_MAIN(qv::test::TestPropForm)
#include "tst_property_dialog.moc"
