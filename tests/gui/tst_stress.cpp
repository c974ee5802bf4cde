// The dialog "Stresses" in the main window, offscreen: the menu entries, the actions kept in the
// settings under the convention's names, computing with progress and Cancel, the map in the
// picture's place with the value under the pointer, the toggle back, Copy and Save.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/elastic/stress_map.h"
#include "core/elastic/stress_report.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/picture_view.h"
#include "gui/stress_dialog.h"
#include "imaging/picture_image.h"
#include "support/analysed_window_test.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"

using namespace qv;
using namespace qv::test;

class TestStressDialog : public AnalysedWindowTest {
  Q_OBJECT

 private:
  static StressDialog& Dialog(QDialog& dialog) { return static_cast<StressDialog&>(dialog); }
  static void Type(StressDialog& d, const QString& name, const QString& value) {
    d.findChild<QLineEdit*>(name + "Edit")->setText(value);
  }
  // What the view shows, as the screen would.
  static PixelGrid Shown(TMainForm& form) {
    return FromQImage(RequireChild<PictureView>(form, "Image1")->grab().toImage());
  }

 private slots:
  void menuEntriesFollowTheTorsionsAndTheMapWaitsForStresses() {
    auto form = NewForm();
    QCOMPARE(RequireChild<QAction>(*form, "Stresses1")->text(), QString("Stresses ..."));
    QCOMPARE(RequireChild<QAction>(*form, "StressMap1")->text(), QString("Stress map"));
    QVERIFY(RequireChild<QAction>(*form, "StressMap1")->isCheckable());
    QVERIFY(!RequireChild<QAction>(*form, "StressMap1")->isEnabled());
    mPrompts->ExpectInformation("No analysis yet: analyse the section first.");
    RequireChild<QAction>(*form, "Stresses1")->trigger();
  }

  void computeShowsTheMapAndThePointerReadsIt() {
    auto form = NewForm();
    Analysed(*form);
    const PixelGrid drawing = Shown(*form);
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          StressDialog& d = Dialog(dialog);
          [&] {
            QVERIFY(d.ValuesMemo->toPlainText().isEmpty());
            QVERIFY(!d.CopyButton->isEnabled() && !d.SaveButton->isEnabled());
            QCOMPARE(d.findChild<QLineEdit*>("NEdit")->text(), QString("0"));
            Type(d, "Mz", "2e6");
            Type(d, "Vz", "5000");
            Type(d, "T", "");                // empty is 0
            d.FieldBox->setCurrentIndex(0);  // sigma
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QCOMPARE(d.StatusLabel->text(), QString("Computed; the picture shows the map."));
            QCOMPARE(d.ProgressBar->value(), d.ProgressBar->maximum());
            QVERIFY(d.CopyButton->isEnabled() && d.SaveButton->isEnabled());
            // The channel is symmetric about its horizontal axis: Izz = 20 x 200^3 / 12 (web) +
            // 2 x (100 x 20^3 / 12 + 100 x 20 x 90^2) (flanges) = 45866666.67 mm^4 and sigma at the
            // outer fibres (z = +-100 mm) = 2e6 x 100 / Izz = +-4.3605 N/mm^2; shear adds none.
            const QString memo = d.ValuesMemo->toPlainText();
            QVERIFY2(memo.contains("\n    Mz = 2000000 Nmm\n"), qPrintable(memo));
            // The web's 4000 mm^2 at hor = 10 mm, the flanges' 4000 at hor = 70 mm.
            QVERIFY(memo.contains(
                "\nelastic centre at hor = 40.00 mm, ver = 100.00 mm from upper left corner UL\n"));
            QVERIFY(memo.contains("\nwhole section, 8000 pixels:\n"));
            // Mz stretches the lower fibre (ver = 200 mm) and shortens the upper one.
            const auto extreme = [&memo](const QString& what) {
              const QRegularExpression line(
                  "\n    " + what + " += (\\S+) +at hor = [0-9.]+ mm, ver = ([0-9.]+) mm\n");
              const QRegularExpressionMatch m = line.match(memo);
              return m.captured(1) + " at " + m.captured(2);
            };
            QCOMPARE(extreme("sigma min"), QString("-4.3605 at 0.00"));
            QCOMPARE(extreme("sigma max"), QString("4.3605 at 200.00"));
          }();
          return int(QDialog::Accepted);
        },
        "StressDialog");
    form->Stresses1Click();
    if (QTest::currentTestFailed()) return;

    // Shear needed the solve, which kept its fields; the actions are remembered.
    QVERIFY(form->Session().Elastic().has_value());
    QVERIFY(form->Session().Elastic()->Fields != nullptr);
    const StressSettings stored = form->Session().Settings().Stress;
    QCOMPARE(stored.Mz, 2e6);
    QCOMPARE(stored.Vz, 5000.0);
    QCOMPARE(stored.Field, std::string("sigma"));

    // The view shows the map: each section pixel in the scale's colour of its sigma.
    QVERIFY(form->StressMapShown());
    QVERIFY(RequireChild<QAction>(*form, "StressMap1")->isEnabled() &&
            RequireChild<QAction>(*form, "StressMap1")->isChecked());
    const StressField& field = *form->Session().Stresses();
    const StressScale scale = ScaleOf(field, StressKind::Sigma);
    const PixelGrid map = Shown(*form);
    QCOMPARE(map.Width(), RequireChild<PictureView>(*form, "Image1")->width());
    int section = 0;
    for (int y = 0; y < map.Height(); ++y) {
      for (int x = 110; x < map.Width(); ++x) {  // right of the colour bar, beside the web
        const PixelStress p = field.At(PictureOfViewPixel(x, map.Width(), 400),
                                       PictureOfViewPixel(y, map.Height(), 400));
        const std::uint32_t expected = p.material >= 0 ? scale.Colour(p.sigma) : kWhite;
        if (map.At(x, y) != expected) QFAIL(qPrintable(QString("view pixel %1, %2").arg(x).arg(y)));
        section += p.material >= 0;
      }
    }
    QVERIFY(section > 1000);

    // The pointer over the web reads the pixel the map shows there.
    form->ImageMouseMove(160, 200);
    QCOMPARE(form->statusBar()->currentMessage(),
             QString::fromStdString(StressAtText(field, PictureOfViewPixel(160, map.Width(), 400),
                                                 PictureOfViewPixel(200, map.Height(), 400),
                                                 StressKind::Sigma)));
    QVERIFY(form->statusBar()->currentMessage().startsWith("sigma = "));

    // The toggle shows the picture again (the web in its red, the shear centre now marked),
    // and the map once more.
    RequireChild<QAction>(*form, "StressMap1")->trigger();
    QVERIFY(!form->StressMapShown());
    QCOMPARE(Shown(*form).At(160, 150), kRed);
    QVERIFY(Shown(*form) != drawing);
    form->ImageMouseMove(160, 200);
    QVERIFY(form->statusBar()->currentMessage().isEmpty());
    RequireChild<QAction>(*form, "StressMap1")->trigger();
    QVERIFY(Shown(*form) == map);

    // A new analysis takes the stresses, and the map, away.
    form->Button1Click();
    QVERIFY(!form->Session().Stresses().has_value());
    QVERIFY(!form->StressMapShown());
    QVERIFY(!RequireChild<QAction>(*form, "StressMap1")->isEnabled());
    QVERIFY(Shown(*form) == drawing);
  }

  void euroCodeNamesTheMomentsAfterTheirAxesAndTheSettingsKeepTheFormalOnes() {
    auto form = NewForm();
    ProgramSettings settings = form->Session().Settings();
    settings.SignConvention = SignConvention::EuroCode;
    settings.Stress.My = 7;  // formal My: the EURO-code's Mz
    form->Session().ChangeSettings(settings);
    Analysed(*form);
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          StressDialog& d = Dialog(dialog);
          [&] {
            QCOMPARE(d.findChild<QLineEdit*>("MzEdit")->text(), QString("7"));
            QCOMPARE(d.findChild<QLineEdit*>("MyEdit")->text(), QString("0"));
            Type(d, "My", "3e6");
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
          }();
          return int(QDialog::Accepted);
        },
        "StressDialog");
    form->Stresses1Click();
    if (QTest::currentTestFailed()) return;
    QCOMPARE(form->Session().Settings().Stress.Mz, 3e6);
    QCOMPARE(form->Session().Settings().Stress.My, 7.0);
    QCOMPARE(form->Session().Stresses()->Actions().Mz, 3e6);
    // Bending alone needs no solve.
    QVERIFY(!form->Session().Elastic().has_value());
  }

  void cancelStopsTheSolveAndABadNumberComputesNothing() {
    auto form = NewForm();
    Analysed(*form);
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          StressDialog& d = Dialog(dialog);
          [&] {
            Type(d, "Vy", "five");
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QVERIFY(!form->Session().Stresses().has_value());
            Type(d, "Vy", "100");
            bool busyWhileSolving = false;
            QTimer::singleShot(0, &d, [&] {
              busyWhileSolving = d.Computing() && form->Busy() && d.CancelButton->isEnabled() &&
                                 !d.ComputeButton->isEnabled() && !d.CloseButton->isEnabled();
              QTest::mouseClick(d.CancelButton, Qt::LeftButton);
            });
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QVERIFY(busyWhileSolving);
            QCOMPARE(d.StatusLabel->text(), QString("Cancelled: no stresses."));
            QVERIFY(d.ValuesMemo->toPlainText().isEmpty());
            QVERIFY(!form->Busy());
          }();
          return int(QDialog::Rejected);
        },
        "StressDialog");
    mPrompts->ExpectError("Vy: 'five' is not a valid floating point value");
    form->Stresses1Click();
    if (QTest::currentTestFailed()) return;
    QVERIFY(!form->Session().Stresses().has_value());
    QVERIFY(!form->StressMapShown());
  }

  void copyAndSaveGiveTheTextAndThePicture() {
    auto form = NewForm();
    Analysed(*form);
    const QString map = mDir->File("map.png").c_str();
    const QString picture = mDir->File("channel.bmp").c_str();
    QString shown;  // the dialog's text block
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          StressDialog& d = Dialog(dialog);
          Type(d, "N", "1e5");
          QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
          shown = d.ValuesMemo->toPlainText();
          QTest::mouseClick(d.CopyButton, Qt::LeftButton);
          QTest::mouseClick(d.SaveButton, Qt::LeftButton);
          QTest::mouseClick(d.SaveButton, Qt::LeftButton);  // over the picture: refused
          return int(QDialog::Accepted);
        },
        "StressDialog");
    mPrompts->ExpectSavePictureFile(map, mDir->File("channel-stresses.png").c_str());
    mPrompts->ExpectSavePictureFile(picture);
    mPrompts->ExpectError(picture + " is the picture " + picture +
                          " itself; choose another file to write");
    form->Stresses1Click();
    // N alone over the 8000 mm^2 of the channel: 1e5 / 8000 = 12.5 N/mm^2 everywhere, no shear.
    const QString copied = mShell->Clipboard();
    QCOMPARE(copied, shown.replace("\n", "\r\n"));
    QVERIFY(copied.contains("\r\n    sigma min     = 12.5          at hor = "));
    QVERIFY(copied.contains("\r\n    sigma max     = 12.5          at hor = "));
    QVERIFY(copied.contains("\r\n    tau max       = 0             at hor = "));
    const QImage saved(map);
    QVERIFY(!saved.isNull());
    QVERIFY(saved.width() > 400);
    // Axial force alone: the whole section one colour, the top of the von Mises scale.
    const PixelGrid grid = FromQImage(saved);
    QCOMPARE(grid.At(160, 200), ViridisColour(1));
    QCOMPARE(grid.At(10, 10), kWhite);
    QCOMPARE(ReadAll(picture.toStdString()).substr(0, 2), std::string("BM"));
  }
};

QTEST_MAIN(TestStressDialog)
#include "tst_stress.moc"
