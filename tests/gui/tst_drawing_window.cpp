// Drawings in the window: opened as pictures are, analysed as the batch tool analyses them, laid
// on cells of a chosen size, and outlined crisply over their cells.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPainterPath>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/analysis/analysis.h"
#include "core/section/result_text.h"
#include "gui/drawing_outlines.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/prompter.h"
#include "gui/section_canvas.h"
#include "gui/section_view.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"
#include "support/window_test.h"

using namespace qv;
using namespace qv::test;

namespace {

const QString kIpe = QStringLiteral(QV_TEST_DATA_DIR "/../../examples/ipe300.dxf");
const char* const kLibrary = "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n";

}  // namespace

class TestDrawingWindow : public WindowTest {
  Q_OBJECT

 private:
  // The IPE 300 through the open dialog, its steel on the material list.
  void OpenIpe(TMainForm& form) {
    mPrompts->ExpectOpenPicture(kIpe);
    form.OpenPicture1Click();
    QCOMPARE(form.Session().FoundLabels(), std::vector<std::string>{"clRed"});
    // Its edge cells are its exact shares, not smoothed edges to be told about.
    QCOMPARE(form.statusBar()->currentMessage(), QString());
    SelectRow(*RequireChild<QListView>(form, "ListBox1"), 0);
    form.ListBox1DblClick();
    form.Timer2Timer();
  }

 private slots:
  void init() {
    WindowTest::init();
    WriteAll(mDir->File("properties.ini"), kLibrary);
  }
  void cleanup() { WindowTest::cleanup(); }

  void analysedDrawingShowsTheBatchToolsValues() {
    const QString first = QString(kOpenPictureFilters).section(";;", 0, 0);
    QVERIFY(QDir::match(first.section('(', 1).section(')', 0, 0), "ipe300.dxf"));
    auto form = NewForm();
    OpenIpe(*form);
    // The fields show the drawing's own size and take no typing; "analyse" is offered.
    auto* width = RequireChild<TNumberEdit>(*form, "NumberEdit1");
    QCOMPARE(width->text(), QString("150"));
    QCOMPARE(RequireChild<TNumberEdit>(*form, "NumberEdit2")->text(), QString("300"));
    QVERIFY(width->isReadOnly());
    QVERIFY(!RequireChild<QPushButton>(*form, "Button1")->isHidden());
    form->Button1Click();

    SectionSession batch;
    AnalysisRequest request;
    request.uses = {"clRed"};
    const LibraryData library = ReadLibraryFile(mDir->File("properties.ini"), false);
    QVERIFY(AnalyseSection(batch, request, {kIpe.toStdString(), nullptr}, &library, false, {}));
    QCOMPARE(LabelText(*form, "Label23"), QString::fromStdString(batch.Centre().ea));
    QCOMPARE(LabelText(*form, "Label26"), QString::fromStdString(batch.Stiffness().eiyy));
    QCOMPARE(LabelText(*form, "Label27"), QString::fromStdString(batch.Stiffness().eizz));
    QCOMPARE(form->Session().Report().back(), std::string(kOutlineReportLine));

    // Both views draw the outlines over the cells, not into them.
    QVERIFY(!form->DrawingOutlines().isEmpty());
    form->SectionView1Click();
    QCOMPARE(form->SectionView()->Canvas->Scene().Outlines, form->DrawingOutlines());
  }

  void pixelSizeDialogLaysTheDrawingOnOtherCells() {
    auto form = NewForm();
    OpenIpe(*form);
    form->Button1Click();
    const QString ea = LabelText(*form, "Label23");
    QString shown;
    mPrompts->ExpectRun(
        [&shown](QDialog& dialog) {
          auto* field = RequireChild<TNumberEdit>(dialog, "NumberEdit1");
          field->selectAll();
          QTest::keyClicks(field, "0.5");
          shown = RequireChild<QLabel>(dialog, "Label1")->text();
          return static_cast<int>(QDialog::Accepted);
        },
        "PixelSizeForm");
    RequireChild<QAction>(*form, "PixelSize1")->trigger();
    QCOMPARE(shown, QString("cells: 300 x 600 (180000)"));
    const SectionSession& s = form->Session();
    QCOMPARE(s.PictureWidth(), 300);
    QCOMPARE(s.PictureHeight(), 600);
    QCOMPARE(s.MaterialList(), std::vector<std::string>{"clRed"});
    QVERIFY(!s.PixelSize());  // a picture's pixel size is not a drawing's
    form->Button1Click();
    QCOMPARE(s.Report()[5], std::string("    pixel size = 0.5 mm"));
    QCOMPARE(LabelText(*form, "Label23"), ea);  // from the outlines, whatever the cells
    // Opened anew, a drawing is laid on the default cells again.
    mPrompts->ExpectOpenPicture(kIpe);
    form->OpenPicture1Click();
    QVERIFY(s.PictureWidth() != 300);
  }

  void startUpAndDropOpenDrawings() {
    auto form = NewForm();
    form->OpenAtStartUp(kIpe);  // "Open with"
    form->UpdateTimerTimer();
    QVERIFY(form->Session().Drawing() != nullptr);
    const std::string upper = mDir->File("IPE300.DXF");
    WriteAll(upper, ReadAll(kIpe.toStdString()));
    form->DropFiles({QString::fromStdString(upper)});
    QCOMPARE(form->Session().PictureFile(), upper);
    QVERIFY(form->Session().Drawing() != nullptr);
    // SVG is read in the window's own process, by Qt's renderer.
    form->DropFiles({QStringLiteral(QV_TEST_DATA_DIR "/../../examples/composite.svg")});
    QCOMPARE(form->Session().FoundLabels(), (std::vector<std::string>{"clGray", "clRed"}));
  }

  void outlinesMapToScreenPoints_data() {
    QTest::addColumn<QPointF>("mm");
    QTest::addColumn<QPointF>("screen");
    // A 10 mm square whose top edge is a half circle (bulge 1) up to y = 15, on cells of 0.5 mm
    // from x = 0, y = 15 down, shown at 2 px per cell moved by (3, 4).
    QTest::newRow("lower left corner") << QPointF(0, 0) << QPointF(3, 64);
    QTest::newRow("lower right corner") << QPointF(10, 0) << QPointF(43, 64);
    QTest::newRow("arc start") << QPointF(10, 10) << QPointF(43, 24);
    QTest::newRow("arc end") << QPointF(0, 10) << QPointF(3, 24);
  }

  void outlinesMapToScreenPoints() {
    QFETCH(QPointF, screen);
    OutlineDrawing drawing;
    drawing.shapes.push_back({0x0000FF, {{{{0, 0, 0}, {10, 0, 0}, {10, 10, 1}, {0, 10, 0}}}}});
    const OutlineGrid grid{0, 15, 0.5, 20, 30};
    const QPolygonF points =
        QTransform(2, 0, 0, 2, 3, 4).map(OutlinePath(drawing, grid)).toFillPolygon();
    const auto near = [](QPointF a, QPointF b) { return QLineF(a, b).length() < 1e-9; };
    QVERIFY(std::any_of(points.begin(), points.end(), [&](QPointF p) { return near(p, screen); }));
    // Every point of the arc lies on its circle (centre (5, 10) mm, radius 5 mm = 20 px), the
    // arc is drawn of many pieces and reaches the grid's top edge within the tolerance.
    int onArc = 0;
    for (const QPointF p : points) {
      if (p.y() >= 24 - 1e-9) continue;
      QVERIFY(std::abs(QLineF(p, QPointF(23, 24)).length() - 20) < 1e-9);
      ++onArc;
    }
    QVERIFY(onArc > 40);
    QVERIFY(std::abs(points.boundingRect().top() - 4) < 2 * kOutlineTolerance);
  }
};

QTEST_MAIN(TestDrawingWindow)
#include "tst_drawing_window.moc"
