// The whole job in the real window under X: open a picture, put its colour on the material
// list, type the sizes, analyse, and find the report on the X clipboard and the overlay on view;
// and the stresses of a composite beam as a map, read under the pointer.
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <memory>

#include "core/elastic/stress_map.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/picture_view.h"
#include "gui/stress_dialog.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"

using namespace qv;
using namespace qv::test;

class TestEndToEnd : public QObject {
  Q_OBJECT

 private slots:
  void analysesAsAUserWould() {
    QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
    TempDir dir;
    const QString picture = QString::fromStdString(dir.File("beam.bmp"));
    // A T-section: flange and web in red on white, 400 x 400.
    WriteAll(dir.File("beam.bmp"),
             EncodeBmp24(MakeGrid(400, 400, kWhite,
                                  {{80, 60, 320, 110, kRed}, {175, 111, 225, 340, kRed}})));

    ScriptedPrompter prompts;  // only the file dialog is scripted; the rest is the real thing
    prompts.ExpectOpenPicture(picture);
    TMainForm form(QString::fromStdString(dir.File("quorvane")),
                   QString::fromStdString(dir.File("user")));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.UpdateTimerTimer();  // the deferred start-up: graphics font, drops
    form.Timer1.stop();       // no remembered picture to load

    // Right button on the view opens the picture.
    QTest::mousePress(RequireChild<PictureView>(form, "Image1"), Qt::RightButton, {},
                      QPoint(200, 200));
    QTRY_COMPARE(form.Session().FoundLabels().size(), std::size_t{2});

    // Double-click the red colour in the found-colours list.
    const QModelIndex red = RequireChild<QListView>(form, "ListBox1")->model()->index(1, 0);
    QCOMPARE(red.data().toString(), QString("clRed"));
    const QPoint at = RequireChild<QListView>(form, "ListBox1")->visualRect(red).center();
    QTest::mouseClick(RequireChild<QListView>(form, "ListBox1")->viewport(), Qt::LeftButton, {},
                      at);
    QTest::mouseDClick(RequireChild<QListView>(form, "ListBox1")->viewport(), Qt::LeftButton, {},
                       at);
    QTRY_COMPARE(RequireChild<QListView>(form, "ListBox2")->model()->rowCount(), 1);

    // Type the sizes with the keyboard.
    for (auto [field, text] : {std::pair{RequireChild<TNumberEdit>(form, "NumberEdit1"), "480"},
                               std::pair{RequireChild<TNumberEdit>(form, "NumberEdit2"), "560"}}) {
      QTest::mouseClick(field, Qt::LeftButton);
      QTRY_VERIFY(field->hasFocus());
      field->selectAll();
      QTest::keyClicks(field, text);
      QTest::keyClick(field, Qt::Key_Tab);
    }
    QCOMPARE(RequireChild<TNumberEdit>(form, "NumberEdit1")->IntValue(), 480);
    QCOMPARE(RequireChild<TNumberEdit>(form, "NumberEdit2")->IntValue(), 560);

    // The analyse button appears with the next tick of its timer.
    QTRY_VERIFY_WITH_TIMEOUT(RequireChild<QPushButton>(form, "Button1")->isVisible(), 5000);
    QTest::mouseClick(RequireChild<QPushButton>(form, "Button1"), Qt::LeftButton);
    QTRY_VERIFY(RequireChild<QGroupBox>(form, "GroupBox2")->isVisible());

    const QString report = QString::fromStdString(form.Session().ReportText());
    QVERIFY(report.startsWith("QUORVANE RESULTS : beam.bmp\r\n"));
    QVERIFY(report.contains("    width  = 241 equals to 480 mm\r\n"));
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), report);

    // The view shows the overlay: the NC circle in the axes colour (blue) around NC.
    const PixelPoint nc = form.Session().Result().NC;
    QTRY_VERIFY(RequireChild<PictureView>(form, "Image1")->HasImage());
    const QImage view = RequireChild<PictureView>(form, "Image1")->grab().toImage();
    const int vx = nc.x * RequireChild<PictureView>(form, "Image1")->width() / 400;
    const int vy = nc.y * RequireChild<PictureView>(form, "Image1")->height() / 400;
    bool blue = false;
    for (int dy = -7; dy <= 7 && !blue; ++dy) {
      for (int dx = -7; dx <= 7 && !blue; ++dx) {
        const QColor c = view.pixelColor(vx + dx, vy + dy);
        blue = c.blue() > 200 && c.red() < 60 && c.green() < 60;
      }
    }
    QVERIFY2(blue, "no axes colour near NC in the view");

    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QByteArray screenshot = qgetenv("QV_E2E_SCREENSHOT");
    if (!screenshot.isEmpty()) QVERIFY(shown.save(QString::fromLocal8Bit(screenshot)));
    // The README's picture of the window is this one: its menus and status bar must be the
    // window's own (the picture's labels depend on the fonts installed, so they are not
    // compared). tools/make_screenshot.sh makes it anew.
    const QByteArray docs = qgetenv("QV_DOCS_SCREENSHOT");
    if (!docs.isEmpty()) {
      const QImage committed =
          QImage(QString::fromLocal8Bit(docs)).convertToFormat(QImage::Format_RGB32);
      QCOMPARE(committed.size(), shown.size());
      const int menuRows = form.menuBar()->height();
      const int statusTop = form.statusBar()->y();
      const auto strip = [](const QImage& image, int top, int bottom) {
        return image.copy(0, top, image.width(), bottom - top);
      };
      QVERIFY2(strip(committed, 0, menuRows) == strip(shown, 0, menuRows) &&
                   strip(committed, statusTop, shown.height()) ==
                       strip(shown, statusTop, shown.height()),
               "docs/screenshot.png shows other menus or another status bar than the window: "
               "run tools/make_screenshot.sh");
    }
    QV_VERIFY_PROMPTS(prompts);
  }

  void showsTheStressMapAsAUserWould() {
    TempDir dir;
    const QString picture = QString::fromStdString(dir.File("composite.bmp"));
    // A composite beam: a concrete slab (blue) on a steel I-section (red), 400 x 400 pixels
    // drawn at 2.5 mm each.
    WriteAll(dir.File("composite.bmp"), EncodeBmp24(MakeGrid(400, 400, kWhite,
                                                             {{40, 60, 359, 109, kBlue},
                                                              {140, 110, 259, 124, kRed},
                                                              {192, 125, 207, 324, kRed},
                                                              {140, 325, 259, 339, kRed}})));
    WriteAll(dir.File("properties.ini"),
             "[properties]\r\nn=2\r\n1=1@clRed@steel S355@210000@7850\r\n"
             "2=2@clBlue@concrete C30/37@33000@2500\r\n");

    ScriptedPrompter prompts;  // the file dialog and the stress dialog's typing are scripted
    prompts.ExpectOpenPicture(picture);
    prompts.ExpectRun(
        [](QDialog& dialog) {
          auto& d = static_cast<StressDialog&>(dialog);
          d.findChild<QLineEdit*>("MzEdit")->setText("6e8");
          d.findChild<QLineEdit*>("VzEdit")->setText("4e5");
          d.findChild<QLineEdit*>("TEdit")->setText("1e7");
          d.FieldBox->setCurrentIndex(0);  // sigma
          QTest::mouseClick(d.ComputeButton, Qt::LeftButton);
          return int(QDialog::Accepted);
        },
        "StressDialog");
    TMainForm form(QString::fromStdString(dir.File("quorvane")),
                   QString::fromStdString(dir.File("user")));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.UpdateTimerTimer();
    form.Timer1.stop();
    form.OpenPicture1Click();
    QTRY_COMPARE(form.Session().FoundLabels().size(), std::size_t{3});
    for (const char* label : {"clRed", "clBlue"}) {
      const auto& labels = form.Session().FoundLabels();
      const auto row = std::find(labels.begin(), labels.end(), label) - labels.begin();
      SelectRow(*RequireChild<QListView>(form, "ListBox1"), static_cast<int>(row));
      form.ListBox1DblClick();
    }
    TypeSizes(form, "800", "700");
    form.Timer2Timer();
    form.Button1Click();
    QTRY_VERIFY(RequireChild<QGroupBox>(form, "GroupBox2")->isVisible());

    form.Stresses1Click();
    QVERIFY(form.StressMapShown());
    // The slab leaves too little room beside it for the colour bar: the map is shown smaller.
    const StressViewLayout layout =
        LayOutStressView(form.Session().Stresses()->Bounds(), 400, 400,
                         RequireChild<PictureView>(form, "Image1")->width(),
                         RequireChild<PictureView>(form, "Image1")->height(), form.logicalDpiY());
    QVERIFY(layout.mapWidth < RequireChild<PictureView>(form, "Image1")->width());
    const auto viewOf = [&layout](int x, int y) {
      return QPoint(layout.mapLeft + (2 * x + 1) * layout.mapWidth / 800,
                    layout.mapTop + (2 * y + 1) * layout.mapHeight / 800);
    };
    // The slab in compression (the cool end), the bottom flange in tension (the warm end).
    const QImage view = RequireChild<PictureView>(form, "Image1")->grab().toImage();
    const QColor slab = view.pixelColor(viewOf(200, 70));
    const QColor flange = view.pixelColor(viewOf(200, 332));
    QVERIFY(slab.blue() > slab.red());
    QVERIFY(flange.red() > flange.blue());
    // The pointer over the web reads its stresses in the status bar.
    QTest::mouseMove(RequireChild<PictureView>(form, "Image1"), viewOf(200, 230));
    QTRY_VERIFY(form.statusBar()->currentMessage().startsWith("sigma = "));
    QVERIFY(form.statusBar()->currentMessage().contains(" in steel S355 (clRed) at hor = "));

    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QByteArray screenshot = qgetenv("QV_E2E_STRESS_SCREENSHOT");
    if (!screenshot.isEmpty()) QVERIFY(shown.save(QString::fromLocal8Bit(screenshot)));
    QV_VERIFY_PROMPTS(prompts);
  }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_window.moc"
