// Tests of TAboutBox: filling and taking back the settings, the convention switches on the
// "Definitions:" label, the colour selectors, the font button, the picture and the mail link.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "core/settings/program_settings.h"
#include "gui/fitted_picture.h"
#include "gui/number_edit.h"
#include "gui/settings_dialog.h"
#include "imaging/overlay_renderer.h"
#include "support/scripted_prompter.h"

Q_DECLARE_METATYPE(qv::ProgramSettings)

namespace qv::test {
namespace {

const QString kToEuro = QStringLiteral(
    "Current definitions based on Dorvast/Pelkam\r\rDo you want so change to EURO-code "
    "definitions ?");
const QString kToDefault = QStringLiteral(
    "Current definitions based on EURO-code\r\rDo you want so change to Dorvast/Pelkam "
    "definitions ?");
const QString kDefinitionQuestion =
    QStringLiteral("Are you sure to change to EURO-code definitions ?");
constexpr ColourValue kBtnFace = static_cast<ColourValue>(0x8000000Fu);

QFont GraphicsFont(const QString& family, int size, bool bold = false, bool italic = false) {
  QFont font(family, size);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

// A filled and shown dialog with the children the tests drive.
struct Box {
  explicit Box(const ProgramSettings& settings = {},
               const QFont& font = GraphicsFont(QStringLiteral("Arial"), 14)) {
    dialog.Fill(settings, font);
    dialog.show();
  }
  QLabel* Label(const char* name) {
    return RequireChild<QLabel>(dialog, QString::fromLatin1(name));
  }
  QColor DefinitionsColour() { return Label("Label13")->palette().color(QPalette::WindowText); }
  // The two curvature texts and whether the literature lines are shown.
  QString Curvature1() { return Label("Label8")->text(); }
  QString Curvature2() { return Label("Label9")->text(); }
  bool LiteratureShown() { return !Label("Label10")->isHidden() && !Label("Label11")->isHidden(); }
  ProgramSettings TakeBack(QFont* font = nullptr) {
    ProgramSettings settings;
    settings.SignConvention = static_cast<SignConvention>(-99);  // every field must be written
    settings.AngleTolerance = -99;
    QFont taken;
    dialog.TakeBack(settings, taken);
    if (font != nullptr) *font = taken;
    return settings;
  }

  TAboutBox dialog;
};

// Clicks "Change to EURO-code definitions" in the definitions picture and gives its result.
int ConfirmInDefinitionForm(QDialog& form) {
  QTest::mouseClick(RequireChild<QPushButton>(form, QStringLiteral("Button1")), Qt::LeftButton);
  return form.result();
}

}  // namespace

class TestAboutBox : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndPlacement();
  void settingsPanelsControlsKeepClearOfEachOther();
  void licenceFitsBesideTheOkButton();
  void fillTakeBackRoundTripChangesNothing_data();
  void fillTakeBackRoundTripChangesNothing();
  void rightClickSwitchesConventionBothWays();
  void rightClickAnsweredNoChangesNothing();
  void rightClickOnUnknownConventionAsksEmptyAndSetsDefault();
  void leftClickOpensDefinitionsOnlyWhileBlue_data();
  void leftClickOpensDefinitionsOnlyWhileBlue();
  void definitionsClosedWithoutChangeKeepsDefault();
  void selectorsOfferNamedColoursOnly();
  void chosenSystemColourIsGivenBack();
  void rightPressOnPictureShowsSpecialKeys();
  void makerLinkOpensMail();
  void fontButtonHintFollowsChoice();
  void fontChoiceCancelledChangesNothing();
};

void TestAboutBox::layoutAndPlacement() {
  QWidget owner;
  owner.move(300, 200);
  TAboutBox dialog(&owner);
  QCOMPARE(dialog.windowTitle(), QStringLiteral("About"));
  QCOMPARE(dialog.size(), QSize(609, 390));
  QCOMPARE(dialog.pos(), owner.pos() + QPoint(135, 45));
  auto* picture = RequireChild<FittedPicture>(dialog, QStringLiteral("Image1"));
  QCOMPARE(picture->Image().size(), QSize(400, 400));
  QCOMPARE(picture->PictureRect(), QRect(0, 0, 250, 250));
  auto* field = RequireChild<TNumberEdit>(dialog, QStringLiteral("NumberEdit1"));
  QCOMPARE(field->NumType(), TNumberType::RealType);
  QCOMPARE(field->Max(), 90.0);
  QCOMPARE(field->toolTip(), QStringLiteral("default = 1.0 degrees"));
  QCOMPARE(RequireChild<QLabel>(dialog, QStringLiteral("Label15"))->text(),
           QStringLiteral("Do not show the principal axis for\nprincipal angles : \n\n          "
                          "|alpha| < precision in degrees"));
}

void TestAboutBox::settingsPanelsControlsKeepClearOfEachOther() {
  TAboutBox dialog;
  dialog.show();
  auto* panel = RequireChild<QFrame>(dialog, QStringLiteral("Panel2"));
  const QList<QWidget*> controls = panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  QVERIFY(controls.size() >= 15);
  for (QWidget* a : controls) {
    QVERIFY2(panel->rect().contains(a->geometry()), qPrintable(a->objectName()));
    for (QWidget* b : controls) {
      if (a == b) continue;
      QVERIFY2(!a->geometry().intersects(b->geometry()),
               qPrintable(a->objectName() + " covers " + b->objectName()));
    }
  }
  auto* edges = RequireChild<QCheckBox>(dialog, QStringLiteral("CheckBox4"));
  QCOMPARE(edges->text(), QStringLiteral("read smoothed edges as coverage"));
  QVERIFY(!edges->isChecked());
}

void TestAboutBox::licenceFitsBesideTheOkButton() {
  TAboutBox dialog;
  auto* licence = RequireChild<QLabel>(dialog, QStringLiteral("LicenceLabel"));
  QVERIFY(licence->text().contains(QStringLiteral("GPL, version 3 or later")));
  // Below the white panel, left of OK and inside the dialog: nothing designed is covered.
  const QRect area = licence->geometry();
  QVERIFY(area.top() >=
          RequireChild<QFrame>(dialog, QStringLiteral("Panel1"))->geometry().bottom());
  QVERIFY(area.right() < RequireChild<QPushButton>(dialog, QStringLiteral("OKButton"))->x());
  QVERIFY(dialog.rect().contains(area));
}

void TestAboutBox::fillTakeBackRoundTripChangesNothing_data() {
  QTest::addColumn<ProgramSettings>("settings");
  QTest::addColumn<QFont>("font");

  QTest::newRow("built-in defaults") << ProgramSettings{} << GraphicsFont("Arial", 14);

  ProgramSettings changed;  // every value away from its default
  changed.SignConvention = SignConvention::EuroCode;
  changed.AutoStart = false;
  changed.CheckForUpdates = false;
  changed.IgnoreDollarColours = false;
  changed.AxesColour = kBtnFace;
  changed.PrincipalAxesColour = 0x00C0DCC0;  // clMoneyGreen
  changed.MassCentreColour = 0x00000000;
  changed.AngleTolerance = 0;
  changed.Edges = EdgeMode::Coverage;
  changed.Units = UnitSystem::KNcm;
  QTest::newRow("all changed") << changed << GraphicsFont("DejaVu Serif", 9, true, true);

  ProgramSettings edited;  // hand-edited file: colours no selector offers
  edited.AxesColour = 0x12345678;
  edited.PrincipalAxesColour = 0x1FFFFFFF;  // clNone
  edited.MassCentreColour = 0x00FEFFFF;
  edited.AngleTolerance = 2.5e-7;
  edited.Units = UnitSystem::KNm;
  QTest::newRow("unoffered colours") << edited << GraphicsFont("Arial", 72, true);

  ProgramSettings unknown;  // a convention value without meaning survives untouched
  unknown.SignConvention = static_cast<SignConvention>(7);
  unknown.AngleTolerance = 90;
  QTest::newRow("unknown convention") << unknown << GraphicsFont("Arial", 14, false, true);
}

void TestAboutBox::fillTakeBackRoundTripChangesNothing() {
  QFETCH(ProgramSettings, settings);
  QFETCH(QFont, font);
  ScriptedPrompter prompts;
  Box box(settings, font);
  QFont taken;
  const ProgramSettings back = box.TakeBack(&taken);
  QCOMPARE(back.SignConvention, settings.SignConvention);
  QCOMPARE(back.AutoStart, settings.AutoStart);
  QCOMPARE(back.CheckForUpdates, settings.CheckForUpdates);
  QCOMPARE(back.IgnoreDollarColours, settings.IgnoreDollarColours);
  QCOMPARE(back.Edges, settings.Edges);
  QCOMPARE(back.Units, settings.Units);
  QCOMPARE(back.AxesColour, settings.AxesColour);
  QCOMPARE(back.PrincipalAxesColour, settings.PrincipalAxesColour);
  QCOMPARE(back.MassCentreColour, settings.MassCentreColour);
  QCOMPARE(back.AngleTolerance, settings.AngleTolerance);
  QCOMPARE(taken.family(), font.family());
  QCOMPARE(taken.pointSize(), font.pointSize());
  QCOMPARE(taken.bold(), font.bold());
  QCOMPARE(taken.italic(), font.italic());
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::rightClickSwitchesConventionBothWays() {
  ScriptedPrompter prompts;
  prompts.ExpectConfirm(kToEuro, true).ExpectConfirm(kToDefault, true);
  Box box;
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::blue));
  QVERIFY(box.LiteratureShown());

  QTest::mousePress(box.Label("Label13"), Qt::RightButton);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::EuroCode);
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::black));
  QCOMPARE(box.Curvature1(), QStringLiteral("curvature about 1-axis"));
  QCOMPARE(box.Curvature2(), QStringLiteral("curvature about 2-axis"));
  QVERIFY(!box.LiteratureShown());
  QCOMPARE(box.TakeBack().SignConvention, SignConvention::EuroCode);

  QTest::mousePress(box.Label("Label13"), Qt::RightButton);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::DorvastPelkam);
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::blue));
  QCOMPARE(box.Curvature1(), QStringLiteral("curvature in x-1 plane"));
  QCOMPARE(box.Curvature2(), QStringLiteral("curvature in x-2 plane"));
  QVERIFY(box.LiteratureShown());
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::rightClickAnsweredNoChangesNothing() {
  ScriptedPrompter prompts;
  prompts.ExpectConfirm(kToDefault, false);
  ProgramSettings euro;
  euro.SignConvention = SignConvention::EuroCode;
  Box box(euro);
  QTest::mousePress(box.Label("Label13"), Qt::RightButton);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::EuroCode);
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::black));
  QCOMPARE(box.Curvature1(), QStringLiteral("curvature about 1-axis"));
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::rightClickOnUnknownConventionAsksEmptyAndSetsDefault() {
  ScriptedPrompter prompts;
  prompts.ExpectConfirm(QString(), true);
  ProgramSettings odd;
  odd.SignConvention = static_cast<SignConvention>(5);
  Box box(odd);
  // The initial texts, those of the default convention, stay.
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::blue));
  QCOMPARE(box.Curvature1(), QStringLiteral("curvature in x-1 plane"));
  QTest::mousePress(box.Label("Label13"), Qt::RightButton);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::DorvastPelkam);
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::leftClickOpensDefinitionsOnlyWhileBlue_data() {
  QTest::addColumn<Qt::MouseButton>("button");
  QTest::newRow("left") << Qt::LeftButton;
  QTest::newRow("middle") << Qt::MiddleButton;
}

void TestAboutBox::leftClickOpensDefinitionsOnlyWhileBlue() {
  QFETCH(Qt::MouseButton, button);
  ScriptedPrompter prompts;
  prompts.ExpectRun(ConfirmInDefinitionForm, QStringLiteral("DefinitionForm"))
      .ExpectConfirm(kDefinitionQuestion, true);
  Box box;
  QTest::mousePress(box.Label("Label13"), button);
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::EuroCode);
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::black));
  QCOMPARE(box.Curvature2(), QStringLiteral("curvature about 2-axis"));
  QVERIFY(!box.LiteratureShown());

  // Black now: the strict prompter fails on any dialog this press would open.
  QTest::mousePress(box.Label("Label13"), button);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::EuroCode);
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::definitionsClosedWithoutChangeKeepsDefault() {
  ScriptedPrompter prompts;
  prompts.ExpectRun([](QDialog& form) {
    form.close();
    return form.result();
  });
  Box box;
  QTest::mousePress(box.Label("Label13"), Qt::LeftButton);
  QCOMPARE(box.dialog.DialogConvention, SignConvention::DorvastPelkam);
  QCOMPARE(box.DefinitionsColour(), QColor(Qt::blue));
  QVERIFY(box.LiteratureShown());
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::selectorsOfferNamedColoursOnly() {
  Box box;
  for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3"}) {
    auto* selector = RequireChild<QComboBox>(box.dialog, QString::fromLatin1(name));
    // 16 basic + 4 extended + 30 system colours; the defaults are all among them.
    QCOMPARE(selector->count(), 50);
    QCOMPARE(selector->itemText(0), QStringLiteral("clBlack"));
    QVERIFY(selector->findText(QStringLiteral("clMedGray")) >= 0);
    QVERIFY(selector->findText(QStringLiteral("clMenuBar")) >= 0);
    QCOMPARE(selector->findText(QStringLiteral("clNone")), -1);
    QCOMPARE(selector->findText(QStringLiteral("clDefault")), -1);
  }
  // A swatch shows the fixed colour the overlay paints.
  auto* selector = RequireChild<QComboBox>(box.dialog, QStringLiteral("ComboBox1"));
  const QImage swatch =
      selector->itemIcon(selector->findText(QStringLiteral("clBtnFace"))).pixmap(16, 12).toImage();
  QCOMPARE(swatch.pixelColor(8, 6), ToQColor(kBtnFace));
}

void TestAboutBox::chosenSystemColourIsGivenBack() {
  ProgramSettings edited;
  edited.MassCentreColour = 0x12345678;
  Box box(edited);
  auto* principal = RequireChild<QComboBox>(box.dialog, QStringLiteral("ComboBox2"));
  principal->setCurrentIndex(principal->findText(QStringLiteral("clBtnFace")));
  // The value no selector offers is listed once under its label and can be left for another.
  auto* mass = RequireChild<QComboBox>(box.dialog, QStringLiteral("ComboBox3"));
  QCOMPARE(mass->count(), 51);
  QCOMPARE(mass->currentText(), QStringLiteral("$12345678"));
  mass->setCurrentIndex(mass->findText(QStringLiteral("clInfoBk")));
  const ProgramSettings back = box.TakeBack();
  QCOMPARE(back.PrincipalAxesColour, kBtnFace);
  QCOMPARE(back.MassCentreColour, static_cast<ColourValue>(0x80000018u));
  QCOMPARE(back.AxesColour, ProgramSettings{}.AxesColour);
}

void TestAboutBox::rightPressOnPictureShowsSpecialKeys() {
  ScriptedPrompter prompts;
  prompts.ExpectInformation(QStringLiteral(
      "Special function keys in listboxes:\r\rF1 = Color field details\rF2 = Hide all colors "
      "but the selected one\rF3 = Reload current bitmap"));
  Box box;
  auto* picture = RequireChild<FittedPicture>(box.dialog, QStringLiteral("Image1"));
  QTest::mousePress(picture, Qt::LeftButton);
  QTest::mouseRelease(picture, Qt::LeftButton);
  QTest::mousePress(picture, Qt::RightButton);
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::makerLinkOpensMail() {
  RecordingShell shell;
  ScriptedPrompter prompts;
  Box box;
  QLabel* link = box.Label("Label5");
  QTest::mouseClick(link, Qt::RightButton);
  QVERIFY(shell.Documents().isEmpty());
  QTest::mouseClick(link, Qt::LeftButton);
  QCOMPARE(shell.Documents(),
           QStringList{QStringLiteral("mailto:") + TAboutBox::kSupportAddress +
                       QStringLiteral("?subject=info about Quorvane&body=Dear Sir,")});
  QV_VERIFY_PROMPTS(prompts);
}

void TestAboutBox::fontButtonHintFollowsChoice() {
  ScriptedPrompter prompts;
  prompts.ExpectChooseFont(GraphicsFont(QStringLiteral("DejaVu Serif"), 20, true));
  Box box(ProgramSettings{}, GraphicsFont(QStringLiteral("Arial"), 14));
  auto* button = RequireChild<QToolButton>(box.dialog, QStringLiteral("SpeedButton2"));
  QCOMPARE(button->toolTip(),
           QStringLiteral("Set graphics font\ncurrent font is Arial size is 14"));
  QTest::mouseClick(button, Qt::LeftButton);
  QV_VERIFY_PROMPTS(prompts);
  QCOMPARE(button->toolTip(),
           QStringLiteral("Set graphics font\ncurrent font is DejaVu Serif size is 20"));
  QFont taken;
  box.TakeBack(&taken);
  QCOMPARE(taken.family(), QStringLiteral("DejaVu Serif"));
  QCOMPARE(taken.pointSize(), 20);
  QVERIFY(taken.bold());
  QVERIFY(!taken.italic());
}

void TestAboutBox::fontChoiceCancelledChangesNothing() {
  ScriptedPrompter prompts;
  prompts.ExpectChooseFont(std::nullopt);
  Box box(ProgramSettings{}, GraphicsFont(QStringLiteral("Arial"), 11, false, true));
  box.dialog.SpeedButton2Click();
  QV_VERIFY_PROMPTS(prompts);
  QFont taken;
  box.TakeBack(&taken);
  QCOMPARE(taken.family(), QStringLiteral("Arial"));
  QCOMPARE(taken.pointSize(), 11);
  QVERIFY(taken.italic());
  QCOMPARE(RequireChild<QToolButton>(box.dialog, QStringLiteral("SpeedButton2"))->toolTip(),
           QStringLiteral("Set graphics font\ncurrent font is Arial size is 11"));
}

}  // namespace qv::test

QTEST_MAIN(qv::test::TestAboutBox)
#include "tst_settings_dialog.moc"
