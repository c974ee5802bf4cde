// The dialog "Torsion and section moduli" in the main window, offscreen: the menu entry,
// computing with progress and Cancel, Poisson's ratios and strengths saved with the library, the
// copy button and the shear centre's marker on the picture.
#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/base/number_text.h"
#include "core/elastic/extended_report.h"
#include "core/elastic/section_table.h"
#include "core/section/overlay.h"
#include "core/section/plastic_report.h"
#include "core/section/result_text.h"
#include "gui/extended_dialog.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/qt_text.h"
#include "support/analysed_window_test.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"

using namespace qv;
using namespace qv::test;

namespace {

int CountColour(const PixelGrid& g, std::uint32_t colour) {
  int n = 0;
  for (int y = 0; y < g.Height(); ++y) {
    for (int x = 0; x < g.Width(); ++x) n += g.At(x, y) == colour ? 1 : 0;
  }
  return n;
}

}  // namespace

class TestExtendedDialog : public AnalysedWindowTest {
  Q_OBJECT

 private:
  static ExtendedDialog& Dialog(QDialog& dialog) { return static_cast<ExtendedDialog&>(dialog); }
  static QTableWidgetItem* NuCell(ExtendedDialog& d) {
    return d.PoissonTable->item(0, ExtendedDialog::kNuColumn);
  }

 private slots:
  void menuSitsBesideTheDesignedMenus() {
    auto form = NewForm();
    QStringList menus;
    for (QAction* action : form->menuBar()->actions()) menus << action->text();
    QCOMPARE(menus, (QStringList{"File", "Info", "Section", "View"}));
    // Open Picture, Recent pictures, Save report as..., Export report (PDF) ..., a separator,
    // Close.
    QCOMPARE(RequireChild<QMenu>(*form, "File1")->actions().size(), 6);
    QCOMPARE(RequireChild<QMenu>(*form, "Info1")->actions().size(),
             6);  // with the separator and the hidden test entry
    QCOMPARE(RequireChild<QAction>(*form, "Torsion1")->text(),
             QString("Torsion and section moduli ..."));
    QCOMPARE(RequireChild<QMenu>(*form, "Section1")->actions(),
             (QList<QAction*>{RequireChild<QAction>(*form, "Torsion1"),
                              RequireChild<QAction>(*form, "Stresses1"),
                              RequireChild<QAction>(*form, "StressMap1"),
                              RequireChild<QAction>(*form, "Resistance1")}));
    // Before any analysis the entry says so.
    mPrompts->ExpectInformation("No analysis yet: analyse the section first.");
    RequireChild<QAction>(*form, "Torsion1")->trigger();
    // Busy like the other menus.
    form->SetBusy(true);
    QVERIFY(!RequireChild<QMenu>(*form, "Section1")->isEnabled());
    form->SetBusy(false);
    QVERIFY(RequireChild<QMenu>(*form, "Section1")->isEnabled());
  }

  void shearCentreOffThePictureIsNamedInTheDialogAndTheStatusBar() {
    auto form = NewForm();
    // The channel's web on the picture's left edge: its shear centre lies beyond it.
    Analysed(
        *form,
        MakeGrid(400, 400, kWhite,
                 {{0, 100, 19, 299, kRed}, {20, 100, 119, 119, kRed}, {20, 280, 119, 299, kRed}}));
    QString status;
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          ExtendedDialog& d = Dialog(dialog);
          QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
          status = d.StatusLabel->text();
          return int(QDialog::Accepted);
        },
        "ExtendedDialog");
    form->Torsion1Click();
    const QString note = form->statusBar()->currentMessage();
    QVERIFY2(note.startsWith("The shear centre SC lies outside the picture, at hor = -"),
             qPrintable(note));
    QVERIFY(note.endsWith(" mm, ver = 100.00 mm from upper left corner UL."));
    QCOMPARE(status, "Computed.\n" + note + " Its marker is not drawn.");
    // The pointer over the picture brings the position panels back.
    form->ImageMouseMove(10, 10);
    QVERIFY(form->statusBar()->currentMessage().isEmpty());
  }

  void computeShowsTheValuesAndMarksTheShearCentre() {
    auto form = NewForm();
    Analysed(*form);
    const PixelGrid overlay = form->ShownPicture();  // the file with the result overlay
    QCOMPARE(CountColour(overlay, kShearCentreColour), 0);

    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          ExtendedDialog& d = Dialog(dialog);
          // QVERIFY returns from this inner function only.
          [&] {
            QCOMPARE(d.PoissonTable->rowCount(), 1);
            QCOMPARE(d.PoissonTable->item(0, ExtendedDialog::kLabelColumn)->text(),
                     QString("clRed"));
            QCOMPARE(d.PoissonTable->item(0, ExtendedDialog::kNameColumn)->text(),
                     QString("steel"));
            QCOMPARE(NuCell(d)->text(), QString("0.3"));
            // Room for a ratio such as "0.25" with the editor's frame.
            QVERIFY(d.PoissonTable->columnWidth(ExtendedDialog::kNuColumn) >
                    d.PoissonTable->fontMetrics().horizontalAdvance("0.25") + 12);
            QCOMPARE(d.PoissonTable->item(0, ExtendedDialog::kGColumn)->text(), QString("80769.2"));
            QVERIFY(d.ValuesMemo->toPlainText().isEmpty());
            QVERIFY(!d.CopyButton->isEnabled());
            QVERIFY(!d.CancelButton->isEnabled());
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QCOMPARE(d.StatusLabel->text(), QString("Computed."));
            QCOMPARE(d.ProgressBar->value(), d.ProgressBar->maximum());
            const QString text = d.ValuesMemo->toPlainText();
            QVERIFY2(text.startsWith(QString::fromUtf8(kExtendedReportTitle.data(),
                                                       kExtendedReportTitle.size()) +
                                     "\n\ntorsional stiffness:\n    GJ   = "),
                     qPrintable(text));
            QVERIFY(text.contains("\nshear centre SC at position:\n    hor  = -"));
            QVERIFY(d.CopyButton->isEnabled());
            QVERIFY(!d.CancelButton->isEnabled());
          }();
          return int(QDialog::Accepted);
        },
        "ExtendedDialog");
    form->Torsion1Click();
    if (QTest::currentTestFailed()) return;

    const std::optional<ElasticResult>& elastic = form->Session().Elastic();
    QVERIFY(elastic.has_value());
    QVERIFY(!form->Busy());
    // Outside the web, level with the middle of the channel.
    QVERIFY(elastic->ShearCentreHor < 0);
    QVERIFY(std::abs(elastic->ShearCentreVer - 100) < 1e-6);
    const PixelGrid marked = form->ShownPicture();
    const std::optional<PixelPoint> at =
        PixelOfPoint(form->Session().Bounds(), elastic->ShearCentreHor, elastic->ShearCentreVer,
                     form->Session().Result().Dx, form->Session().Result().Dy);
    QVERIFY(at.has_value());
    QCOMPARE(at->x, static_cast<int>(std::lround(150 + elastic->ShearCentreHor - 0.5)));
    QVERIFY(at->y == 199 || at->y == 200);                      // the middle row lies between them
    QCOMPARE(marked.At(at->x + 8, at->y), kShearCentreColour);  // the diamond's right corner
    QCOMPARE(marked.At(at->x, at->y - 8), kShearCentreColour);  // its top corner
    // Everything else is the overlay as it was.
    int changed = 0;
    for (int py = 0; py < 400; ++py) {
      for (int px = 0; px < 400; ++px) {
        if (marked.At(px, py) != overlay.At(px, py)) {
          ++changed;
          QCOMPARE(marked.At(px, py), kShearCentreColour);
        }
      }
    }
    QVERIFY(changed > 30);

    // A new analysis draws the overlay without the marker.
    form->Button1Click();
    QVERIFY(!form->Session().Elastic().has_value());
    QVERIFY(form->ShownPicture() == overlay);
  }

  void cancelStopsTheSolveWhileTheWindowStaysResponsive() {
    auto form = NewForm();
    Analysed(*form);
    const PixelGrid overlay = form->ShownPicture();
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          ExtendedDialog& d = Dialog(dialog);
          // QVERIFY returns from this inner function only.
          [&] {
            bool busyWhileSolving = false;
            // Runs from the events the solve's progress pumps.
            QTimer::singleShot(0, &d, [&] {
              busyWhileSolving = d.Computing() && form->Busy() && d.CancelButton->isEnabled() &&
                                 !d.ComputeButton->isEnabled() && !d.CloseButton->isEnabled() &&
                                 !d.PoissonTable->isEnabled();
              QTest::mouseClick(d.CancelButton, Qt::LeftButton);
            });
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QVERIFY(busyWhileSolving);
            QCOMPARE(d.StatusLabel->text(), QString("Cancelled: no values."));
            QCOMPARE(d.ProgressBar->value(), 0);
            QVERIFY(d.ValuesMemo->toPlainText().isEmpty());
            QVERIFY(!d.CopyButton->isEnabled());
            QVERIFY(!form->Busy());

            // Closing the dialog (Escape, the title bar) during a solve cancels it and keeps the
            // dialog open.
            QSignalSpy rejected(&d, &QDialog::rejected);
            QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QCOMPARE(d.StatusLabel->text(), QString("Cancelled: no values."));
            QCOMPARE(rejected.count(), 0);
          }();
          return int(QDialog::Rejected);
        },
        "ExtendedDialog");
    form->Torsion1Click();
    if (QTest::currentTestFailed()) return;
    QVERIFY(!form->Session().Elastic().has_value());
    // The picture was read again for the solve and got its overlay back, without a marker.
    QVERIFY(form->ShownPicture() == overlay);
  }

  void ratiosAreEditedThereAndSavedWithTheLibrary() {
    {
      auto form = NewForm();
      Analysed(*form);
      mPrompts->ExpectRun(
          [&](QDialog& dialog) {
            ExtendedDialog& d = Dialog(dialog);
            // QVERIFY returns from this inner function only.
            [&] {
              QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
              const double gj = form->Session().Elastic()->GJ;
              QVERIFY(CountColour(form->ShownPicture(), kShearCentreColour) > 0);
              // Refused values leave the ratio and the values as they were.
              NuCell(d)->setText("0.6");
              QCOMPARE(NuCell(d)->text(), QString("0.3"));
              NuCell(d)->setText("abc");
              QCOMPARE(NuCell(d)->text(), QString("0.3"));
              QVERIFY(form->Session().Elastic().has_value());
              // A new ratio drops the values and the marker.
              NuCell(d)->setText(" 0.25");
              QCOMPARE(NuCell(d)->text(), QString("0.25"));
              QCOMPARE(d.PoissonTable->item(0, ExtendedDialog::kGColumn)->text(), QString("84000"));
              QVERIFY(!form->Session().Elastic().has_value());
              QVERIFY(d.ValuesMemo->toPlainText().isEmpty());
              QVERIFY(!d.CopyButton->isEnabled());
              QCOMPARE(d.StatusLabel->text(),
                       QString("A Poisson's ratio changed: Compute gives the new values."));
              QCOMPARE(CountColour(form->ShownPicture(), kShearCentreColour), 0);
              QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
              // G rose from 210000 / 2.6 to 210000 / 2.5.
              QVERIFY(std::abs(form->Session().Elastic()->GJ / gj - 2.6 / 2.5) < 1e-9);
            }();
            return int(QDialog::Accepted);
          },
          "ExtendedDialog");
      mPrompts->ExpectError(
          "The Poisson's ratio of clRed must be at least 0 and below 0.5, not 0.6.");
      mPrompts->ExpectError("'abc' is not a valid floating point value");
      form->Torsion1Click();
      if (QTest::currentTestFailed()) return;
      form->close();
    }
    // Saved at exit beside the untouched material line, and read back at the next start.
    QCOMPARE(QString::fromStdString(ReadAll(mDir->File("properties.ini"))),
             QString("[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n"
                     "[poisson]\r\nclRed=0.25\r\n"));
    auto again = NewForm();
    QCOMPARE(again->Session().Poisson().Get("clRed"), 0.25);
  }

  void strengthsAreEditedThereAndSavedWithTheLibrary() {
    {
      auto form = NewForm();
      Analysed(*form);
      mPrompts->ExpectRun(
          [&](QDialog& dialog) {
            ExtendedDialog& d = Dialog(dialog);
            QTableWidget& table = *d.PoissonTable;
            const auto cell = [&](int column) { return table.item(0, column); };
            // QVERIFY returns from this inner function only.
            [&] {
              QCOMPARE(table.horizontalHeaderItem(ExtendedDialog::kFcColumn)->text(),
                       QString("fc [N/mm^2]"));
              QCOMPARE(table.horizontalHeaderItem(ExtendedDialog::kFtColumn)->text(),
                       QString("ft [N/mm^2]"));
              QVERIFY(cell(ExtendedDialog::kFcColumn)->flags() & Qt::ItemIsEditable);
              QCOMPARE(cell(ExtendedDialog::kFcColumn)->text(), QString());
              QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
              QVERIFY(d.ValuesMemo->toPlainText().contains(
                  "\nplastic moments: none, no strength given for clRed\n"));
              // One value typed holds both ways; the values go until computed again.
              cell(ExtendedDialog::kFcColumn)->setText("355");
              QCOMPARE(cell(ExtendedDialog::kFtColumn)->text(), QString("355"));
              QVERIFY(!form->Session().Elastic().has_value());
              QCOMPARE(d.StatusLabel->text(),
                       QString("A strength changed: Compute gives the new values."));
              QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
              QVERIFY(d.ValuesMemo->toPlainText().contains("Wpl = Mpl / fy = "));
              // The design values' tab: mm beside the units tables use, plastic rows with them.
              QStringList rows;
              for (int r = 0; r < d.DesignTable->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < ExtendedDialog::kDesignColumns; ++c) {
                  cells << d.DesignTable->item(r, c)->text();
                }
                rows << cells.join('|');
              }
              const double wpl = *form->Session().Plastic()->values->horizontal.wpl;
              QVERIFY2(rows.contains("Wpl|" + Q(FormatGeneral(wpl, 5, 3)) + "|mm^3|" +
                                     Q(FormatGeneral(wpl / 1e3, 5, 3)) +
                                     "|cm^3|horizontal axis, Mpl / fy"),
                       qPrintable(rows.join('\n')));
              // Iw among the design values and again in the section-table line.
              QVERIFY(
                  rows.filter(QRegularExpression("^Iw\\|.*\\|mm\\^6\\|.*\\|cm\\^6\\|")).size() ==
                  2);
              QCOMPARE(rows.filter(QRegularExpression("^Mpl\\|.*\\|Nmm\\|.*\\|kNm\\|")).size(), 4);
              // The section-table line under its title, its Wpl that of the strength given.
              QVERIFY(rows.contains(
                  "|||||section table (one material, axes through the elastic centre C):"));
              QVERIFY2(rows.contains("Wpl,z|" + Q(FormatGeneral(wpl, 5, 3)) + "|mm^3|" +
                                     Q(FormatGeneral(wpl / 1e3, 5, 3)) +
                                     "|cm^3|plastic modulus about the horizontal axis"),
                       qPrintable(rows.join('\n')));
              cell(ExtendedDialog::kFtColumn)->setText("0");
              cell(ExtendedDialog::kFtColumn)->setText("-1");  // refused: both cells kept
              QCOMPARE(cell(ExtendedDialog::kFcColumn)->text(), QString("355"));
              QCOMPARE(cell(ExtendedDialog::kFtColumn)->text(), QString("0"));
              QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
              QVERIFY(d.ValuesMemo->toPlainText().contains("clRed 355 / 0\n"));
              QVERIFY(!d.ValuesMemo->toPlainText().contains("Wpl = Mpl / fy"));
              // The shape's Wpl stays in the section-table line: it needs no strength.
              QVERIFY(d.ValuesMemo->toPlainText().contains("\n    Wpl,z  = "));
            }();
            return int(QDialog::Accepted);
          },
          "ExtendedDialog");
      mPrompts->ExpectError("The strength of clRed must be at least 0 N/mm^2, not -1.");
      form->Torsion1Click();
      if (QTest::currentTestFailed()) return;
      form->close();
    }
    QCOMPARE(QString::fromStdString(ReadAll(mDir->File("properties.ini"))),
             QString("[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n"
                     "[strength]\r\nclRed=355/0\r\n"));
    auto again = NewForm();
    QVERIFY(again->Session().Strengths().Get("clRed") == (Strength{355, 0}));
  }

  void copyPutsTheBlockOnTheClipboard() {
    auto form = NewForm();
    ProgramSettings euro = form->Session().Settings();
    euro.SignConvention = SignConvention::EuroCode;
    form->Session().ChangeSettings(euro);
    Analysed(*form);
    const int writes = mShell->ClipboardWrites();  // the analysis put its report there
    mPrompts->ExpectRun(
        [&](QDialog& dialog) {
          ExtendedDialog& d = Dialog(dialog);
          // QVERIFY returns from this inner function only.
          [&] {
            QTest::mouseClick(d.CopyButton, Qt::LeftButton);  // disabled: nothing to copy yet
            QCOMPARE(mShell->ClipboardWrites(), writes);
            QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
            QTest::mouseClick(d.CopyButton, Qt::LeftButton);
          }();
          return int(QDialog::Accepted);
        },
        "ExtendedDialog");
    form->Torsion1Click();
    if (QTest::currentTestFailed()) return;
    QCOMPARE(mShell->ClipboardWrites(), writes + 1);
    const QString expected = QString::fromStdString(
        JoinCrLf(ExtendedReport(*form->Session().Elastic(), SignConvention::EuroCode)) +
        JoinCrLf(PlasticReport(*form->Session().Plastic())) +
        JoinCrLf(SectionTableReport(*form->Session().Table()->line, SignConvention::EuroCode)));
    QCOMPARE(mShell->Clipboard(), expected);
    QVERIFY(expected.contains("sqrt(EIy / EA)\r\n"));
    QVERIFY(expected.contains("\r\n    Iy     = "));
  }
};

QTEST_MAIN(TestExtendedDialog)
#include "tst_extended.moc"
