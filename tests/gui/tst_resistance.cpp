// The dialog "Resistance" in the main window, offscreen: the menu entry, the law and strengths
// edited in its table and kept in the library file, computing with Cancel, the text block and
// the diagrams, Copy and Save diagram, and the law in the library browser.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "core/section/resistance_diagram.h"
#include "gui/library_browser.h"
#include "gui/main_window.h"
#include "gui/resistance_dialog.h"
#include "imaging/picture_image.h"
#include "support/analysed_window_test.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

using namespace qv;
using namespace qv::test;

class TestResistanceDialog : public AnalysedWindowTest {
  Q_OBJECT

 private:
  static ResistanceDialog& Dialog(QDialog& dialog) {
    return static_cast<ResistanceDialog&>(dialog);
  }
  // The law, fc and ft cells of the one material in use.
  static QTableWidgetItem* Cell(ResistanceDialog& d, int column) {
    return d.LawTable->item(0, column);
  }
  static bool AnyPixel(const PixelGrid& grid, std::uint32_t colour) {
    return std::find(grid.Data(), grid.Data() + grid.Size(), colour) != grid.Data() + grid.Size();
  }

 private slots:
  void menuEntryWaitsForAnAnalysis() {
    auto form = NewForm();
    QCOMPARE(RequireChild<QAction>(*form, "Resistance1")->text(), QString("Resistance ..."));
    mPrompts->ExpectInformation("No analysis yet: analyse the section first.");
    RequireChild<QAction>(*form, "Resistance1")->trigger();
  }

  void lawsAreEditedThereKeptInTheLibraryAndTheResultsDrawn() {
    const QString plot = mDir->File("plot.png").c_str();
    const QString picture = mDir->File("channel.bmp").c_str();
    QString shown;
    {
      auto form = NewForm();
      Analysed(*form);
      mPrompts->ExpectRun(
          [&](QDialog& dialog) {
            ResistanceDialog& d = Dialog(dialog);
            [&] {
              QCOMPARE(d.LawTable->rowCount(), 1);
              QCOMPARE(Cell(d, 3)->text(), QString());
              Cell(d, 4)->setText("355");  // one value holds both ways
              QCOMPARE(Cell(d, 5)->text(), QString("355"));
              Cell(d, 3)->setText("elastic-plastic,eu=0");  // refused in the core's words
              QCOMPARE(Cell(d, 3)->text(), QString());
              Cell(d, 3)->setText(" elastic-plastic,eu=0.01 ");
              QCOMPARE(Cell(d, 3)->text(), QString("elastic-plastic,eu=0.01"));
              d.NEdit->setText("-100");
              d.MomentCurvatureBox->setChecked(true);
              QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
              QCOMPARE(d.StatusLabel->text(), QString("Computed."));
              shown = d.ValuesMemo->toPlainText();
              QVERIFY(shown.startsWith("RESISTANCE\nultimate resistance"));
              QVERIFY(shown.contains("\n    laws: clRed elastic-plastic,eu=0.01\n"));
              QVERIFY(shown.contains("ultimate moments at N = -100000 N = -100.000 kN"));
              // The curves are drawn, and shown.
              const PixelGrid diagram = FromQImage(d.Diagram());
              QCOMPARE(diagram.Width(), kResistancePlotWidth);
              QVERIFY(AnyPixel(diagram, kDiagramFirstCurveColour));
              QVERIFY(!d.DiagramLabel->pixmap().isNull());
              QTest::mouseClick(d.CopyButton, Qt::LeftButton);
              QTest::mouseClick(d.SaveButton, Qt::LeftButton);
              QTest::mouseClick(d.SaveButton, Qt::LeftButton);  // over the picture: refused
            }();
            return int(QDialog::Accepted);
          },
          "ResistanceDialog");
      mPrompts->ExpectError("eu must be above 0");
      mPrompts->ExpectSavePictureFile(plot, mDir->File("channel-resistance.png").c_str());
      mPrompts->ExpectSavePictureFile(picture);
      mPrompts->ExpectError(picture + " is the picture " + picture +
                            " itself; choose another file to write");
      form->Resistance1Click();
      if (QTest::currentTestFailed()) return;
      QCOMPARE(mShell->Clipboard(), QString(shown).replace("\n", "\r\n"));
      QVERIFY(QString::fromStdString(form->Session().FullReportText())
                  .contains("\r\n" + mShell->Clipboard()));
      QCOMPARE(QImage(plot).size(), QSize(kResistancePlotWidth, kResistancePlotHeight));
      // The browser shows the law with the other properties.
      mPrompts->ExpectRun(
          [&](QDialog& dialog) {
            auto& browser = static_cast<TDefaultPropForm&>(dialog);
            [&] {
              QCOMPARE(browser.LawLabel->text(), QString("elastic-plastic,eu=0.01"));
              QCOMPARE(browser.StrengthLabel->text(), QString("355 / 355"));
            }();
            return int(QDialog::Accepted);
          },
          "DefaultPropForm");
      form->Definedproperties1Click();
      if (QTest::currentTestFailed()) return;
      form->close();
    }
    QCOMPARE(QString::fromStdString(ReadAll(mDir->File("properties.ini"))),
             QString("[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n"
                     "[strength]\r\nclRed=355\r\n[law]\r\nclRed=elastic-plastic,eu=0.01\r\n"));
    auto again = NewForm();
    QVERIFY(again->Session().Laws().Get("clRed").has_value());
  }

  void cancelDropsTheOutcomeAndABadForceComputesNothing() {
    auto form = NewForm();
    Analysed(*form);
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          ResistanceDialog& d = Dialog(dialog);
          [&] {
            Cell(d, 4)->setText("355");
            d.NEdit->setText("ten");
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QVERIFY(!form->Session().Resistance().has_value());
            d.NEdit->setText("");
            bool busyWhileComputing = false;
            QTimer::singleShot(0, &d, [&] {
              busyWhileComputing = d.Computing() && form->Busy() && d.CancelButton->isEnabled() &&
                                   !d.ComputeButton->isEnabled() && !d.LawTable->isEnabled();
              QTest::mouseClick(d.CancelButton, Qt::LeftButton);
            });
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QVERIFY(busyWhileComputing);
            QCOMPARE(d.StatusLabel->text(), QString("Cancelled: no resistance."));
            QVERIFY(d.ValuesMemo->toPlainText().isEmpty());
            QVERIFY(!d.SaveButton->isEnabled());
            QVERIFY(!form->Busy());
          }();
          return int(QDialog::Rejected);
        },
        "ResistanceDialog");
    mPrompts->ExpectError("N: 'ten' is not a valid floating point value");
    form->Resistance1Click();
    if (QTest::currentTestFailed()) return;
    QVERIFY(!form->Session().Resistance().has_value());
  }
};

QTEST_MAIN(TestResistanceDialog)
#include "tst_resistance.moc"
