// Tests of the data window: both containers listed in order, and each half's details box showing
// its own container's entry.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "core/library/dd_props.h"
#include "gui/data_window.h"
#include "support/material_library.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"

namespace qv::test {
namespace {

// The eight values of one half, found by their names.
QStringList Values(QObject& form, const QString& prefix) {
  QStringList values;
  for (const char* key : {"Color", "Name", "E", "Rho", "Xmin", "Xmax", "Ymin", "Ymax"}) {
    values << RequireChild<QLabel>(form, prefix + QString::fromLatin1(key))->text();
  }
  return values;
}

}  // namespace

class TestDataForm : public QObject {
  Q_OBJECT

 private slots:
  void listsBothContainersWithBoxesHidden();
  void foundColourAndLibraryEntryShownSideBySide();
  void clearedSelectionHidesOnlyThatBox();
};

void TestDataForm::listsBothContainersWithBoxesHidden() {
  ScriptedPrompter prompts;
  const TPROPClass found = LibraryOf({{.label = "clRed", .bounds = {0, 99, 10, 19}},
                                      {.label = "clWhite", .bounds = {0, 199, 0, 99}}});
  const TPROPClass library =
      LibraryOf({{"clBlue"}, {.label = "clRed", .bounds = {0, 99, 10, 19}}, {"$000080FF"}});
  TDataForm form(found, library);
  QCOMPARE(form.windowTitle(), QStringLiteral("DataForm"));
  QCOMPARE(Items(*RequireChild<QListWidget>(form, QStringLiteral("ListBox1"))),
           QStringList({"clRed", "clWhite"}));
  QCOMPARE(Items(*RequireChild<QListWidget>(form, QStringLiteral("ListBox2"))),
           QStringList({"clBlue", "clRed", "$000080FF"}));
  QVERIFY(RequireChild<QGroupBox>(form, QStringLiteral("GroupBox1"))->isHidden());
  QVERIFY(RequireChild<QGroupBox>(form, QStringLiteral("GroupBox2"))->isHidden());
  // Resizable, unlike the two dialogs.
  QVERIFY(form.minimumSize() != form.maximumSize());
  QV_VERIFY_PROMPTS(prompts);
}

void TestDataForm::foundColourAndLibraryEntryShownSideBySide() {
  ScriptedPrompter prompts;
  const TPROPClass found = LibraryOf({{.label = "clRed", .bounds = {0, 99, 10, 19}}});
  const TPROPClass library =
      LibraryOf({{.label = "clBlue", .inUse = false},
                 {"clRed", 210000, 0.00001, true, "steel", {0, 99, 10, 19}}});
  TDataForm form(found, library);
  form.show();

  const QListWidget& left = *form.ListBox1;
  QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {},
                    left.visualItemRect(left.item(0)).center());
  QVERIFY(!form.GroupBox1->isHidden());
  QVERIFY(form.GroupBox2->isHidden());
  // The found colour carries only its label and bounds; E and rho are the defaults.
  QCOMPARE(Values(form, QStringLiteral("Glob")),
           QStringList({"clRed", "", "1", "1", "0", "99", "10", "19"}));

  form.ListBox2->setCurrentRow(1);
  QVERIFY(!form.GroupBox2->isHidden());
  QCOMPARE(Values(form, QStringLiteral("Prop")),
           QStringList({"clRed", "steel", "210000", "1E-5", "0", "99", "10", "19"}));
  QVERIFY(RequireChild<QCheckBox>(form, QStringLiteral("CheckBox1"))->isChecked());

  // A material not in this picture: unset bounds and a cleared box.
  form.ListBox2->setCurrentRow(0);
  QCOMPARE(Values(form, QStringLiteral("Prop")),
           QStringList({"clBlue", "", "1", "1", "-1", "-1", "-1", "-1"}));
  QVERIFY(!form.CheckBox1->isChecked());
  QV_VERIFY_PROMPTS(prompts);
}

void TestDataForm::clearedSelectionHidesOnlyThatBox() {
  ScriptedPrompter prompts;
  const TPROPClass found = LibraryOf({{.label = "clRed", .bounds = {0, 99, 10, 19}}});
  const TPROPClass library = LibraryOf({{.label = "clRed", .bounds = {0, 99, 10, 19}}});
  TDataForm form(found, library);
  form.ListBox1->setCurrentRow(0);
  form.ListBox2->setCurrentRow(0);
  form.ListBox1->clearSelection();
  QVERIFY(form.GroupBox1->isHidden());
  QVERIFY(!form.GroupBox2->isHidden());
  QV_VERIFY_PROMPTS(prompts);
}

}  // namespace qv::test

QTEST_MAIN(qv::test::TestDataForm)
#include "tst_data_window.moc"
