// The whole job in the real window under X: open a picture, put its colour on the material
// list, type the sizes, analyse, and find the report on the X clipboard and the overlay on view.
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>
#include <memory>

#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/picture_view.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
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
    QTest::mousePress(form.Image1, Qt::RightButton, {}, QPoint(200, 200));
    QTRY_COMPARE(form.Session().FoundLabels().size(), std::size_t{2});

    // Double-click the red colour in the found-colours list.
    const QModelIndex red = form.ListBox1->model()->index(1, 0);
    QCOMPARE(red.data().toString(), QString("clRed"));
    const QPoint at = form.ListBox1->visualRect(red).center();
    QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form.ListBox1->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE(form.ListBox2->model()->rowCount(), 1);

    // Type the sizes with the keyboard.
    for (auto [field, text] :
         {std::pair{form.NumberEdit1, "480"}, std::pair{form.NumberEdit2, "560"}}) {
      QTest::mouseClick(field, Qt::LeftButton);
      QTRY_VERIFY(field->hasFocus());
      field->selectAll();
      QTest::keyClicks(field, text);
      QTest::keyClick(field, Qt::Key_Tab);
    }
    QCOMPARE(form.NumberEdit1->IntValue(), 480);
    QCOMPARE(form.NumberEdit2->IntValue(), 560);

    // The analyse button appears with the next tick of its timer.
    QTRY_VERIFY_WITH_TIMEOUT(form.Button1->isVisible(), 5000);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QTRY_VERIFY(form.GroupBox2->isVisible());

    const QString report = QString::fromStdString(form.Session().ReportText());
    QVERIFY(report.startsWith("QUORVANE RESULTS : beam.bmp\r\n"));
    QVERIFY(report.contains("    width  = 241 equals to 480 mm\r\n"));
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), report);

    // The view shows the overlay: the NC circle in the axes colour (blue) around NC.
    const PixelPoint nc = form.Session().Result().NC;
    QTRY_VERIFY(form.Image1->HasImage());
    const QImage view = form.Image1->grab().toImage();
    const int vx = nc.x * form.Image1->width() / 400;
    const int vy = nc.y * form.Image1->height() / 400;
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
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_window.moc"
