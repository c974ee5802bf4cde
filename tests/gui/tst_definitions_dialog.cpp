// Tests of TDefinitionForm: the carried picture, the confirmed switch and every other way out.
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "gui/definitions_dialog.h"
#include "gui/fitted_picture.h"
#include "support/scripted_prompter.h"

namespace qv::test {

class TestDefinitionForm : public QObject {
  Q_OBJECT

 private slots:
  void showsCarriedPictureFillingTheClientArea();
  void yesClosesWithResultOneAndChangesCaption();
  void noKeepsDialogOpenAndUnchanged();
  void closingOtherwiseGivesZero_data();
  void closingOtherwiseGivesZero();
};

void TestDefinitionForm::showsCarriedPictureFillingTheClientArea() {
  ScriptedPrompter prompts;  // a damaged picture would show an error
  TDefinitionForm form;
  QCOMPARE(form.windowTitle(), QStringLiteral("Quorvane"));
  QCOMPARE(form.size(), QSize(640, 482));
  auto* picture = RequireChild<FittedPicture>(form, QStringLiteral("Image1"));
  QCOMPARE(picture->Image().size(), QSize(640, 482));
  QVERIFY(picture->Image().isGrayscale());
  QCOMPARE(picture->PictureRect(), QRect(0, 0, 640, 482));
  auto* button = RequireChild<QPushButton>(form, QStringLiteral("Button1"));
  QCOMPARE(button->text(), QStringLiteral("Change to EURO-code definitions"));
  QV_VERIFY_PROMPTS(prompts);
}

void TestDefinitionForm::yesClosesWithResultOneAndChangesCaption() {
  ScriptedPrompter prompts;
  prompts.ExpectConfirm(QStringLiteral("Are you sure to change to EURO-code definitions ?"), true);
  TDefinitionForm form;
  form.show();
  auto* button = RequireChild<QPushButton>(form, QStringLiteral("Button1"));
  QTest::mouseClick(button, Qt::LeftButton);
  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(form.isHidden());
  QVERIFY(form.ConventionChanged);
  QCOMPARE(form.ConventionResult(), SignConvention::EuroCode);
  QCOMPARE(form.result(), 1);
  QCOMPARE(button->text(), QStringLiteral("Change to Dorvast/Pelkam definitions"));
}

void TestDefinitionForm::noKeepsDialogOpenAndUnchanged() {
  ScriptedPrompter prompts;
  prompts.ExpectConfirm(QStringLiteral("Are you sure to change to EURO-code definitions ?"), false);
  TDefinitionForm form;
  form.show();
  auto* button = RequireChild<QPushButton>(form, QStringLiteral("Button1"));
  QTest::mouseClick(button, Qt::LeftButton);
  QV_VERIFY_PROMPTS(prompts);
  QVERIFY(form.isVisible());
  QVERIFY(!form.ConventionChanged);
  QCOMPARE(button->text(), QStringLiteral("Change to EURO-code definitions"));
  // Its close box afterwards still gives the default convention.
  form.close();
  QCOMPARE(form.ConventionResult(), SignConvention::DorvastPelkam);
  QCOMPARE(form.result(), 0);
}

void TestDefinitionForm::closingOtherwiseGivesZero_data() {
  QTest::addColumn<bool>("escape");
  QTest::newRow("close box") << false;
  QTest::newRow("Escape key") << true;
}

void TestDefinitionForm::closingOtherwiseGivesZero() {
  QFETCH(bool, escape);
  ScriptedPrompter prompts;  // no question is asked
  TDefinitionForm form;
  form.show();
  if (escape) {
    QTest::keyClick(&form, Qt::Key_Escape);
  } else {
    form.close();
  }
  QVERIFY(form.isHidden());
  QCOMPARE(form.ConventionResult(), SignConvention::DorvastPelkam);
  QCOMPARE(form.result(), 0);
  QV_VERIFY_PROMPTS(prompts);
}

}  // namespace qv::test

QTEST_MAIN(qv::test::TestDefinitionForm)
#include "tst_definitions_dialog.moc"
