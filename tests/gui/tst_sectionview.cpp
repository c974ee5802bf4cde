// The section view offscreen: opened from the menu and the picture, true proportions, zoom about
// the pointer, the pointer readout, the marks over the picture and following the main window.
#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <memory>

#include "core/section/overlay.h"
#include "gui/definitions_dialog.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/picture_view.h"
#include "gui/section_canvas.h"
#include "gui/section_view.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"
#include "support/window_test.h"

using namespace qv;
using namespace qv::test;

namespace {

// A slab of concrete (blue) over an off-centre steel web (red): 800 x 400 pixels, the section box
// x 80..679, y 60..359, so 1200 x 300 mm make 2 mm by 1 mm pixels. NC lands just left of the
// web, MC in the white beside it, and the principal axes are turned.
PixelGrid SlabOverWeb() {
  return MakeGrid(800, 400, kWhite, {{80, 60, 679, 139, kBlue}, {500, 140, 579, 359, kRed}});
}

// Some pixel within `radius` of `at` has exactly `colour`.
bool Near(const QImage& image, QPointF at, const QColor& colour, int radius) {
  const int cx = static_cast<int>(std::lround(at.x()));
  const int cy = static_cast<int>(std::lround(at.y()));
  for (int y = cy - radius; y <= cy + radius; ++y) {
    for (int x = cx - radius; x <= cx + radius; ++x) {
      if (image.rect().contains(x, y) && image.pixelColor(x, y) == colour) return true;
    }
  }
  return false;
}

QImage Grab(const SectionViewWindow& view) {
  return view.Canvas->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void MovePointer(SectionCanvas& canvas, QPointF at) {
  QMouseEvent move(QEvent::MouseMove, at, canvas.viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(canvas.viewport(), &move);
}

const QColor kBlueMark(0, 0, 255);
const QColor kFuchsia(255, 0, 255);

}  // namespace

class TestSectionView : public WindowTest {
  Q_OBJECT

 private:
  void Open(TMainForm& form, const std::string& name, const PixelGrid& grid) {
    mPrompts->ExpectOpenPicture(QString::fromStdString(mDir->WritePicture(name, grid)));
    form.OpenPicture1Click();
  }
  void AddMaterial(TMainForm& form, const std::string& label) {
    const auto labels = form.Session().FoundLabels();
    const auto row = std::find(labels.begin(), labels.end(), label) - labels.begin();
    SelectRow(*RequireChild<QListView>(form, "ListBox1"), static_cast<int>(row));
    form.ListBox1DblClick();
  }
  void Analyse(TMainForm& form, const QString& widthMm, const QString& heightMm) {
    TypeSizes(form, widthMm, heightMm);
    form.Timer2Timer();
    form.Button1Click();
  }
  // The composite section analysed at 1200 x 300 mm, and its view open.
  SectionViewWindow& AnalysedView(TMainForm& form) {
    Open(form, "slab.bmp", SlabOverWeb());
    AddMaterial(form, "clBlue");
    AddMaterial(form, "clRed");
    Analyse(form, "1200", "300");
    RequireChild<QAction>(form, "SectionView1")->trigger();
    return *form.SectionView();
  }
  static QPointF ScreenOf(const SectionViewWindow& view, PixelPoint p) {
    return view.Canvas->ScreenOf({static_cast<double>(p.x), static_cast<double>(p.y)});
  }

 private slots:
  void init() {
    WindowTest::init();
    WriteAll(mDir->File("properties.ini"),
             "[properties]\r\nn=2\r\n1=1@clRed@steel@210000@7850\r\n"
             "2=2@clBlue@concrete@30000@2400\r\n");
  }

  void menuAndDoubleClickOpenOneWindow() {
    auto form = NewForm();
    QStringList menus;
    for (QAction* action : form->menuBar()->actions()) menus << action->text();
    QCOMPARE(menus, (QStringList{"File", "Info", "Section", "View"}));
    QCOMPARE(RequireChild<QMenu>(*form, "View1")->actions(),
             (QList<QAction*>{RequireChild<QAction>(*form, "SectionView1"),
                              RequireChild<QAction>(*form, "PixelSize1")}));
    QCOMPARE(RequireChild<QAction>(*form, "SectionView1")->text(), QString("Section view ..."));
    QVERIFY(form->SectionView() == nullptr);

    RequireChild<QAction>(*form, "SectionView1")->trigger();
    SectionViewWindow* view = form->SectionView();
    QVERIFY(view != nullptr);
    QVERIFY(view->isVisible() && view->isWindow());
    QCOMPARE(view->StatusLine->text(), QString("No picture"));
    view->close();
    QTest::mouseDClick(RequireChild<PictureView>(*form, "Image1"), Qt::LeftButton, Qt::NoModifier,
                       QPoint(200, 200));
    QVERIFY(view->isVisible());
    RequireChild<QAction>(*form, "SectionView1")->trigger();
    QCOMPARE(form->findChildren<SectionViewWindow*>().size(), 1);
    QVERIFY(form->SectionView() == view);

    // Busy like the other menus, and the picture's double click waits as well.
    view->close();
    form->SetBusy(true);
    QVERIFY(!RequireChild<QMenu>(*form, "View1")->isEnabled());
    QTest::mouseDClick(RequireChild<PictureView>(*form, "Image1"), Qt::LeftButton, Qt::NoModifier,
                       QPoint(200, 200));
    QVERIFY(!view->isVisible());
    form->SetBusy(false);
    QVERIFY(RequireChild<QMenu>(*form, "View1")->isEnabled());
  }

  void fitKeepsProportionsAndZoomKeepsThePointUnderThePointer() {
    SectionCanvas canvas;
    canvas.resize(600, 600);
    canvas.show();
    // Left half red, right half blue: where the colours meet on screen shows the drawn scale.
    QImage picture(300, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 100; ++y) {
      for (int x = 150; x < 300; ++x) picture.setPixel(x, y, qRgb(0, 0, 255));
    }
    canvas.SetPicture(picture);
    QCOMPARE(canvas.viewport()->size(), QSize(600, 600));
    const QPointF corner = canvas.ScreenOf({0, 0});
    const QPointF far = canvas.ScreenOf({300, 100});
    QCOMPARE((far.x() - corner.x()) / 300, (far.y() - corner.y()) / 100);
    QVERIFY(far.x() - corner.x() <= 600 && far.x() - corner.x() > 450);
    QCOMPARE((corner + far) / 2, QPointF(300, 300));  // centred
    QImage shown = canvas.viewport()->grab().toImage();
    const QPointF middle = canvas.ScreenOf({150, 50});
    QCOMPARE(shown.pixelColor(middle.toPoint() + QPoint(-2, 0)), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(middle.toPoint() + QPoint(1, 0)), QColor(0, 0, 255));
    QCOMPARE(shown.pixelColor(canvas.ScreenOf({299.5, 99.5}).toPoint()), QColor(0, 0, 255));

    // Zoom in about a point near the right end, then out with the wheel about another.
    const QPointF pointer(520, 310);
    const PicturePoint under = canvas.PictureOf(pointer);
    const double fitted = canvas.Scale();
    canvas.ZoomAt(pointer, 8);
    QCOMPARE(canvas.Scale(), 8 * fitted);
    QVERIFY(!canvas.Fitted());
    QCOMPARE(canvas.PictureOf(pointer).x, under.x);
    QCOMPARE(canvas.PictureOf(pointer).y, under.y);
    shown = canvas.viewport()->grab().toImage();
    QCOMPARE(shown.pixelColor(pointer.toPoint()), QColor(0, 0, 255));
    const QPointF wheelAt(100, 400);
    const PicturePoint beforeWheel = canvas.PictureOf(wheelAt);
    QWheelEvent wheel(wheelAt, canvas.viewport()->mapToGlobal(wheelAt), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(canvas.viewport(), &wheel);
    QVERIFY(canvas.Scale() < 8 * fitted);
    QVERIFY(std::abs(canvas.PictureOf(wheelAt).x - beforeWheel.x) < 1e-9);
    QVERIFY(std::abs(canvas.PictureOf(wheelAt).y - beforeWheel.y) < 1e-9);

    // Dragging moves the picture with the pointer; the arrow keys move it by the scroll bars.
    const PicturePoint grabbed = canvas.PictureOf({300, 300});
    QTest::mousePress(canvas.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(canvas.viewport(), QPoint(260, 280));
    QTest::mouseRelease(canvas.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(260, 280));
    QVERIFY(std::abs(canvas.PictureOf({260, 280}).x - grabbed.x) < 1e-9);
    QVERIFY(std::abs(canvas.PictureOf({260, 280}).y - grabbed.y) < 1e-9);
    const double left = canvas.ScreenOf({0, 0}).x();
    QTest::keyClick(&canvas, Qt::Key_Left);
    const double moved = canvas.ScreenOf({0, 0}).x() - left;
    QVERIFY(std::abs(moved - canvas.horizontalScrollBar()->singleStep()) <= 0.5);

    QTest::keyClick(&canvas, Qt::Key_F);
    QVERIFY(canvas.Fitted());
    QCOMPARE(canvas.Scale(), fitted);
    QTest::keyClick(&canvas, Qt::Key_Plus);
    QVERIFY(canvas.Scale() > fitted);
    QTest::keyClick(&canvas, Qt::Key_0);
    QCOMPARE(canvas.Scale(), fitted);
  }

  void pointerReadsMmPixelsAndMaterial() {
    auto form = NewForm();
    Open(*form, "slab.bmp", SlabOverWeb());
    AddMaterial(*form, "clBlue");
    AddMaterial(*form, "clRed");
    RequireChild<QAction>(*form, "SectionView1")->trigger();
    SectionViewWindow& view = *form->SectionView();
    SectionCanvas& canvas = *view.Canvas;

    // Before an analysis the sizes are unknown: pixels only.
    MovePointer(canvas, canvas.ScreenOf({520.5, 200.25}));
    QCOMPARE(view.StatusLine->text(), QString("pixel 520, 200    clRed steel"));

    Analyse(*form, "1200", "300");
    MovePointer(canvas, canvas.ScreenOf({520.5, 200.25}));
    QCOMPARE(view.StatusLine->text(),
             QString("hor 881.00 mm, ver 140.25 mm from the upper-left corner    pixel 520, 200    "
                     "clRed steel"));
    MovePointer(canvas, canvas.ScreenOf({79.5, 59.5}));  // just outside the box's corner
    QCOMPARE(view.StatusLine->text(),
             QString("hor -1.00 mm, ver -0.50 mm from the upper-left corner    pixel 79, 59    "
                     "background"));
    MovePointer(canvas, canvas.ScreenOf({100.5, 100.5}));
    QVERIFY(view.StatusLine->text().endsWith("pixel 100, 100    clBlue concrete"));
    MovePointer(canvas, canvas.ScreenOf({-2.5, 5.5}));
    QVERIFY2(view.StatusLine->text().endsWith("pixel -3, 5    outside the picture"),
             qPrintable(view.StatusLine->text()));
  }

  void marksAreDrawnOverThePictureWithHalos() {
    auto form = NewForm();
    SectionViewWindow& view = AnalysedView(*form);
    const SectionResult& result = form->Session().Result();
    const QImage shown = Grab(view);
    // Default colours: blue axes and principal axes, a white mass centre.
    const QPointF nc = ScreenOf(view, result.NC);
    QVERIFY(Near(shown, nc, kBlueMark, 0));  // the axes cross there
    // The z-axis crosses the blue slab as a thin line with a faint halo: the slab shows two
    // pixels beside it, and the halo tints what is next to the line so it is seen on the slab.
    const QPointF inSlab = view.Canvas->ScreenOf({static_cast<double>(result.NC.x), 100});
    QVERIFY(Near(shown, inSlab, kBlueMark, 1));
    bool tinted = false;
    for (int dy = 0; dy < 20; ++dy) {
      QCOMPARE(shown.pixelColor(inSlab.toPoint() + QPoint(2, dy)), kBlueMark);
      tinted = tinted || shown.pixelColor(inSlab.toPoint() + QPoint(1, dy)) != kBlueMark;
    }
    QVERIFY(tinted);
    // The white mass centre on white: its dark halo shows it.
    const QPointF mc = ScreenOf(view, result.MC);
    QVERIFY(QLineF(nc, mc).length() > 20);
    QVERIFY(Near(shown, mc, Qt::white, 0));
    QVERIFY(Near(shown, mc, HaloColour(Qt::white), 7));
    QVERIFY(HaloColour(Qt::white) != QColor(Qt::white));
    // The first principal axis, well away from the y- and z-axes.
    const SectionMarks& marks = *view.Canvas->Scene().Marks;
    QCOMPARE(marks.Principal.size(), std::size_t{2});
    const QPointF d(marks.Principal[0].Direction.x, marks.Principal[0].Direction.y);
    QVERIFY(std::abs(d.x()) * 60 > 8 && std::abs(d.y()) * 60 > 8);
    QVERIFY(Near(shown, nc + 60 * d, kBlueMark, 2));  // a one-pixel line drawn from NC snapped
    // The frame runs round the box: its left edge at x = 80.
    QVERIFY(Near(shown, view.Canvas->ScreenOf({80, 250}), kBlueMark, 2));
    QVERIFY(!Near(shown, view.Canvas->ScreenOf({70, 250}), kBlueMark, 3));
  }

  void axesLeaveAThinWebInSight() {
    auto form = NewForm();
    // An I-section whose web, 6 pixels thin, runs under the z-axis.
    Open(*form, "ibeam.bmp",
         MakeGrid(
             600, 600, kWhite,
             {{100, 100, 499, 139, kRed}, {100, 460, 499, 499, kRed}, {297, 140, 302, 459, kRed}}));
    AddMaterial(*form, "clRed");
    Analyse(*form, "400", "400");
    RequireChild<QAction>(*form, "SectionView1")->trigger();
    SectionViewWindow& view = *form->SectionView();
    const SectionCanvas& canvas = *view.Canvas;
    QVERIFY(canvas.Fitted() && canvas.Scale() < 1);
    const QImage shown = Grab(view);
    const double ncY = canvas.ScreenOf({0, static_cast<double>(form->Session().Result().NC.y)}).y();
    // The screen columns whose centres show the web.
    const int left = static_cast<int>(std::ceil(canvas.ScreenOf({297, 0}).x() - 0.5));
    const int right = static_cast<int>(std::ceil(canvas.ScreenOf({303, 0}).x() - 0.5)) - 1;
    // Every screen row of the web away from NC's marks shows the web beside the axis on it.
    bool axis = false;
    for (int y = static_cast<int>(canvas.ScreenOf({0, 150}).y()); y < canvas.ScreenOf({0, 450}).y();
         ++y) {
      bool web = std::abs(y - ncY) < 30;
      for (int x = left; x <= right; ++x) {
        web = web || shown.pixelColor(x, y) == QColor(Qt::red);
        axis = axis || shown.pixelColor(x, y) == kBlueMark;
      }
      QVERIFY2(web, qPrintable(QString("row %1").arg(y)));
    }
    QVERIFY(axis);
  }

  void shearCentreIsMarkedOnceComputed() {
    auto form = NewForm();
    Open(*form, "channel.bmp", OpenChannel());
    AddMaterial(*form, "clRed");
    Analyse(*form, "120", "200");
    RequireChild<QAction>(*form, "SectionView1")->trigger();
    SectionViewWindow& view = *form->SectionView();
    QVERIFY(!view.Canvas->Scene().Marks->SC.has_value());
    QVERIFY(form->Session().ComputeElastic() == SectionSession::ElasticOutcome::Done);
    form->RedrawResultOverlay();  // what the torsion dialog has the window do
    const ElasticResult& elastic = *form->Session().Elastic();
    const SectionResult& result = form->Session().Result();
    const std::optional<PicturePoint> sc =
        PictureOfPoint(form->Session().Bounds(), elastic.ShearCentreHor, elastic.ShearCentreVer,
                       result.Dx, result.Dy);
    QVERIFY(sc.has_value());
    const QImage shown = Grab(view);
    const QPointF at = view.Canvas->ScreenOf(*sc);
    QVERIFY(Near(shown, at, kFuchsia, 1));
    QStringList texts;
    for (const QLabel* label : view.Legend->findChildren<QLabel*>()) texts << label->text();
    QVERIFY2(texts.contains("SC shear centre"), qPrintable(texts.join("|")));
  }

  void followsAnalysisConventionAndReset() {
    auto form = NewForm();
    SectionViewWindow& view = AnalysedView(*form);
    const qint64 copied = view.Canvas->Picture().cacheKey();
    QCOMPARE(view.Canvas->Scene().Marks->Principal[0].Name, std::string("(1)"));

    mPrompts->ExpectRun([this](QDialog& dialog) {
      mPrompts->ExpectConfirm(kAnyText, true);
      static_cast<TDefinitionForm&>(dialog).Button1Click();
      return dialog.result();
    });
    form->Definitions1Click();
    QCOMPARE(view.Canvas->Scene().Marks->Principal[0].Name, std::string("(2)"));
    QCOMPARE(view.Canvas->Scene().Marks->Principal[1].Name, std::string("(1)"));

    // A new analysis at twice the width doubles the mm of the same point.
    Analyse(*form, "2400", "300");
    MovePointer(*view.Canvas, view.Canvas->ScreenOf({520.5, 200.25}));
    QVERIFY2(view.StatusLine->text().startsWith("hor 1762.00 mm, ver 140.25 mm"),
             qPrintable(view.StatusLine->text()));
    QCOMPARE(view.Canvas->Picture().cacheKey(), copied);  // the pixels were not copied again

    // A reset takes the marks and the sizes away; the frame goes with the material list.
    form->ResetResults();
    QVERIFY(!view.Canvas->Scene().Marks.has_value());
    MovePointer(*view.Canvas, view.Canvas->ScreenOf({520.5, 200.25}));
    QVERIFY(view.StatusLine->text().startsWith("pixel 520, 200"));

    // A new picture replaces the copy.
    Open(*form, "channel.bmp", OpenChannel());
    QCOMPARE(view.Canvas->Picture().size(), QSize(400, 400));
    QVERIFY(!view.Canvas->Scene().Frame.has_value());
    QVERIFY(view.Canvas->Fitted());
  }
};

QTEST_MAIN(TestSectionView)
#include "tst_sectionview.moc"
