// Tests of the library browser: the list and details box, deleting, editing through the nested
// property dialog, and when and where the popup menu opens.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "core/library/dd_props.h"
#include "gui/library_browser.h"
#include "gui/number_edit.h"
#include "support/material_library.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"

namespace qv::test {
namespace {

const QString kPropForm = QStringLiteral("PropForm");

// clBlue free, clRed in use, clLime free, in library order.
TPROPClass ThreeMaterials() {
  return LibraryOf({{"clBlue", 70000, 2700, false, "aluminium"},
                    {"clRed", 210000, 7850, true, "steel"},
                    {"clLime", 0.00001, 2.5e20, false}});
}

QStringList Labels(const TPROPClass& library) {
  QStringList labels;
  for (const TPROPRec& entry : library) labels << QString::fromStdString(entry.prop.colorlabel);
  return labels;
}

// What the details box shows: color, name, E, rho and the "in use" box.
QStringList Details(TDefaultPropForm& form) {
  return {form.Label12->text(), form.Label13->text(), form.Label14->text(), form.Label15->text(),
          form.CheckBox1->isChecked() ? QStringLiteral("in use") : QStringLiteral("free")};
}

QPoint ItemCentre(const QListWidget& list, int row) {
  return list.visualItemRect(list.item(row)).center();
}

}  // namespace

class TestDefaultPropForm : public QObject {
  Q_OBJECT

 private slots:
  void emptyLibraryShowsEmptyListAndHiddenBox();
  void selectsAndShowsFirstMaterial();
  void clickShowsClickedMaterial();
  void inUseBoxCannotBeChangedByUser();
  void deleteRefusedWhileInUse();
  void deleteWithYesRemovesAndSelectsFirstRemaining();
  void deleteWithNoKeepsMaterial();
  void deletingLastMaterialHidesBox();
  void actionsWithoutSelectionDoNothing();
  void doubleClickEditsAndRefreshes();
  void failedNumberStillShowsStoredName();
  void rightButtonOpensPopupAtFixedPointWithoutSelecting();
  void popupOpensOnlyWhileEnabled();
};

void TestDefaultPropForm::emptyLibraryShowsEmptyListAndHiddenBox() {
  ScriptedPrompter prompts;
  TPROPClass library;
  TDefaultPropForm form(library);
  QCOMPARE(form.windowTitle(), QStringLiteral("Defined properties"));
  QCOMPARE(RequireChild<QListWidget>(form, QStringLiteral("ListBox1"))->count(), 0);
  QVERIFY(RequireChild<QGroupBox>(form, QStringLiteral("GroupBox1"))->isHidden());
  QVERIFY(form.PopupEnabled());
  QV_VERIFY_PROMPTS(prompts);
}

void TestDefaultPropForm::selectsAndShowsFirstMaterial() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  QCOMPARE(Items(*form.ListBox1), QStringList({"clBlue", "clRed", "clLime"}));
  QCOMPARE(form.ListBox1->selectedItems().size(), 1);
  QCOMPARE(form.ListBox1->currentRow(), 0);
  QVERIFY(!form.GroupBox1->isHidden());
  QCOMPARE(Details(form), QStringList({"clBlue", "aluminium", "70000", "2700", "free"}));
  QV_VERIFY_PROMPTS(prompts);
}

void TestDefaultPropForm::clickShowsClickedMaterial() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.show();
  QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {}, ItemCentre(*form.ListBox1, 1));
  QCOMPARE(Details(form), QStringList({"clRed", "steel", "210000", "7850", "in use"}));
  // The general number format, both ways of scientific notation.
  form.ListBox1->setCurrentRow(2);
  QCOMPARE(Details(form), QStringList({"clLime", "", "1E-5", "2.5E20", "free"}));
  QV_VERIFY_PROMPTS(prompts);
}

void TestDefaultPropForm::inUseBoxCannotBeChangedByUser() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  // Through the window, as a real click arrives.
  // On the indicator: the box reacts only to its indicator and caption, not its whole width.
  const QPoint box = form.CheckBox1->mapTo(&form, QPoint(6, form.CheckBox1->height() / 2));
  QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, box);
  QVERIFY(!form.CheckBox1->isChecked());
  QCOMPARE(form.CheckBox1->focusPolicy(), Qt::NoFocus);
  QVERIFY(!library.FindByLabel("clBlue")->inUse);
  QV_VERIFY_PROMPTS(prompts);
}

void TestDefaultPropForm::deleteRefusedWhileInUse() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.ListBox1->setCurrentRow(1);
  prompts.ExpectError(QStringLiteral("Can not delete this clRed since it is in use."));
  form.Delete1->trigger();
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(Labels(library), QStringList({"clBlue", "clRed", "clLime"}));
  QCOMPARE(Items(*form.ListBox1), QStringList({"clBlue", "clRed", "clLime"}));
  QCOMPARE(form.ListBox1->currentRow(), 1);
}

void TestDefaultPropForm::deleteWithYesRemovesAndSelectsFirstRemaining() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.ListBox1->setCurrentRow(2);
  prompts.ExpectConfirm(QStringLiteral("Delete clLime from memory ?"), true);
  form.Delete1->trigger();
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(Labels(library), QStringList({"clBlue", "clRed"}));
  QCOMPARE(Items(*form.ListBox1), QStringList({"clBlue", "clRed"}));
  QCOMPARE(form.ListBox1->currentRow(), 0);
  QCOMPARE(form.ListBox1->selectedItems().size(), 1);
  QCOMPARE(Details(form).first(), QStringLiteral("clBlue"));
}

void TestDefaultPropForm::deleteWithNoKeepsMaterial() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.ListBox1->setCurrentRow(2);
  prompts.ExpectConfirm(QStringLiteral("Delete clLime from memory ?"), false);
  form.Delete1->trigger();
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(Labels(library), QStringList({"clBlue", "clRed", "clLime"}));
  QCOMPARE(form.ListBox1->currentRow(), 2);
  QCOMPARE(Details(form).first(), QStringLiteral("clLime"));
}

void TestDefaultPropForm::deletingLastMaterialHidesBox() {
  ScriptedPrompter prompts;
  TPROPClass library = LibraryOf({{"$000080FF", 1, 1, false}});
  TDefaultPropForm form(library);
  prompts.ExpectConfirm(QStringLiteral("Delete $000080FF from memory ?"), true);
  form.Delete1->trigger();
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(library.Count(), 0);
  QCOMPARE(form.ListBox1->count(), 0);
  QVERIFY(form.GroupBox1->isHidden());
}

void TestDefaultPropForm::actionsWithoutSelectionDoNothing() {
  // The strict prompter fails the test on any question these actions might ask.
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.ListBox1->clearSelection();
  QVERIFY(form.GroupBox1->isHidden());
  form.Delete1->trigger();
  form.Editproperties1->trigger();
  form.ListBox1DblClick();
  QCOMPARE(library.Count(), 3);

  // A label the library no longer knows behaves the same.
  form.ListBox1->setCurrentRow(2);
  library.Delete(library.FindByLabel("clLime")->id);
  form.Delete1->trigger();
  form.Editproperties1->trigger();
  QCOMPARE(library.Count(), 2);
  QV_VERIFY_PROMPTS(prompts);
}

void TestDefaultPropForm::doubleClickEditsAndRefreshes() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.show();
  QDialog* owner = nullptr;
  prompts.ExpectRun(
      [&](QDialog& d) {
        owner = qobject_cast<QDialog*>(d.parentWidget());
        if (d.windowTitle() != QStringLiteral("Properties: clRed")) return int(QDialog::Rejected);
        RequireChild<QLineEdit>(d, QStringLiteral("Edit1"))->setText(QStringLiteral("S355"));
        auto* e = RequireChild<TNumberEdit>(d, QStringLiteral("NumberEdit1"));
        e->clear();
        QTest::keyClicks(e, QStringLiteral("205000"));
        RequireChild<QPushButton>(d, QStringLiteral("BitBtn1"))->click();
        return d.result();
      },
      kPropForm);
  // Through the window, which delivers the whole press, release, double-click sequence.
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QTest::mouseDClick(form.windowHandle(), Qt::LeftButton, {},
                     form.ListBox1->viewport()->mapTo(&form, ItemCentre(*form.ListBox1, 1)));
  QV_VERIFY_PROMPTS(prompts);
  // The nested dialog belongs to the browser.
  QCOMPARE(owner, static_cast<QDialog*>(&form));
  QCOMPARE(library.FindByLabel("clRed")->prop.name, std::string("S355"));
  QCOMPARE(library.FindByLabel("clRed")->prop.E, 205000.0);
  QCOMPARE(Details(form), QStringList({"clRed", "S355", "205000", "7850", "in use"}));
}

void TestDefaultPropForm::failedNumberStillShowsStoredName() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  prompts
      .ExpectRun(
          [](QDialog& d) {
            RequireChild<QLineEdit>(d, QStringLiteral("Edit1"))->setText(QStringLiteral("Al"));
            RequireChild<TNumberEdit>(d, QStringLiteral("NumberEdit2"))
                ->SetText(QStringLiteral("x"));
            RequireChild<QPushButton>(d, QStringLiteral("BitBtn1"))->click();
            return d.result();
          },
          kPropForm)
      .ExpectError(QStringLiteral("'x' is not a valid floating point value"));
  form.Editproperties1->trigger();
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(Details(form), QStringList({"clBlue", "Al", "70000", "2700", "free"}));
}

void TestDefaultPropForm::rightButtonOpensPopupAtFixedPointWithoutSelecting() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  form.move(200, 150);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  std::vector<QPoint> opened;
  form.SetPopupRunner([&](QMenu& menu, const QPoint& point) {
    opened.push_back(point);
    // Picks "Delete" as the user would in the menu.
    RequireChild<QAction>(menu, QStringLiteral("Delete1"))->trigger();
  });
  prompts.ExpectConfirm(QStringLiteral("Delete clBlue from memory ?"), false);
  // Pressed over clLime, the menu still acts on the selected clBlue.
  QTest::mousePress(form.ListBox1->viewport(), Qt::RightButton, {}, ItemCentre(*form.ListBox1, 2));
  QTest::mouseRelease(form.ListBox1->viewport(), Qt::RightButton, {},
                      ItemCentre(*form.ListBox1, 2));
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(opened, std::vector<QPoint>{form.pos() + QPoint(100, 20)});
  QCOMPARE(form.ListBox1->currentRow(), 0);

  // The left button selects and opens nothing.
  QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {}, ItemCentre(*form.ListBox1, 2));
  QCOMPARE(opened.size(), std::size_t{1});
  QCOMPARE(form.ListBox1->currentRow(), 2);
}

void TestDefaultPropForm::popupOpensOnlyWhileEnabled() {
  ScriptedPrompter prompts;
  TPROPClass library = ThreeMaterials();
  TDefaultPropForm form(library);
  int opened = 0;
  form.SetPopupRunner([&](QMenu&, const QPoint&) { ++opened; });
  form.FormCreate();
  QVERIFY(!form.PopupEnabled());
  form.ListBox1MouseDown(Qt::RightButton);
  QCOMPARE(opened, 0);
  form.FillDefinedList();
  QVERIFY(form.PopupEnabled());
  form.ListBox1MouseDown(Qt::RightButton);
  QCOMPARE(opened, 1);
  QV_VERIFY_PROMPTS(prompts);
}

}  // namespace qv::test

QTEST_MAIN(qv::test::TestDefaultPropForm)
#include "tst_library_browser.moc"
