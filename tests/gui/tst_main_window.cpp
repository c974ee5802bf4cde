// The main window offscreen: start-up, picture loading, function keys, lists, analysis, closing.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "core/base/number_text.h"
#include "core/elastic/extended_report.h"
#include "core/elastic/stress_report.h"
#include "core/section/result_text.h"
#include "core/settings/program_settings.h"
#include "gui/definitions_dialog.h"
#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/prompter.h"
#include "gui/section_view.h"
#include "gui/settings_dialog.h"
#include "support/grid_builder.h"
#include "support/png_writer.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"
#include "support/section_pictures.h"
#include "support/window_test.h"

using namespace qv;
using namespace qv::test;

namespace {

// Picture of `w` x `h` on white with a red block and a blue block.
PixelGrid Section(int w, int h) {
  return MakeGrid(
      w, h, kWhite,
      {{w / 4, h / 4, w / 2, 3 * h / 4, kRed}, {w / 2 + 1, h / 4, 3 * w / 4, h / 2, kBlue}});
}

}  // namespace

class TestMainForm : public WindowTest {
  Q_OBJECT

 private:
  QString WritePicture(const std::string& name, const PixelGrid& grid) {
    return QString::fromStdString(mDir->WritePicture(name, grid));
  }
  // Loads a picture through the open dialog.
  void Open(TMainForm& form, const QString& path, bool expectWarning = false) {
    mPrompts->ExpectOpenPicture(path);
    if (expectWarning) mPrompts->ExpectError(kAnyText);
    form.OpenPicture1Click();
  }
  void Select(TMainForm& form, const QString& label) {
    const auto& labels = form.Session().FoundLabels();
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (QString::fromStdString(labels[i]) == label) {
        SelectRow(*RequireChild<QListView>(form, "ListBox1"), static_cast<int>(i));
        return;
      }
    }
    QFAIL(qPrintable("no found colour " + label));
  }
  void SelectMaterial(TMainForm& form, const QString& label) {
    const auto& labels = form.Session().MaterialList();
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (QString::fromStdString(labels[i]) == label) {
        SelectRow(*RequireChild<QListView>(form, "ListBox2"), static_cast<int>(i));
        return;
      }
    }
    QFAIL(qPrintable("no material " + label));
  }
  static int MaterialRows(const TMainForm& form) {
    return RequireChild<QListView>(form, "ListBox2")->model()->rowCount();
  }

  // Analyses the standard section with both sizes typed and the button shown.
  void Analysed(TMainForm& form) {
    Open(form, WritePicture("p.bmp", Section(400, 400)));
    Select(form, "clRed");
    form.ListBox1DblClick();
    Select(form, "clBlue");
    form.ListBox1DblClick();
    TypeSizes(form, "500", "650");
    form.Timer2Timer();
    form.Button1Click();
  }

  // Colours of the principal-axis labels are the only blue pixels right of the section's left
  // edge that the rest of the overlay does not draw; comparing whole pictures is simpler.
  static bool SamePicture(const PixelGrid& a, const PixelGrid& b) { return a == b; }

 private slots:
  void createsTheDesignedWindowWithDefaults() {
    auto form = NewForm();
    QCOMPARE(form->windowTitle(), QString("Quorvane"));
    QCOMPARE(form->centralWidget()->size(), QSize(800, 455));
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox1")->isHidden());
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox2")->isHidden());
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox3")->isHidden());
    QVERIFY(!RequireChild<QAction>(*form, "Testdata1")->isVisible());
    QCOMPARE(StatusPanels(*form).size(), 8);
    QCOMPARE(StatusPanels(*form)[7]->text(), QString("no WWW update check"));
    const ProgramSettings& s = form->Session().Settings();
    QCOMPARE(s.SignConvention, SignConvention::DorvastPelkam);
    QCOMPARE(s.AngleTolerance, 1.0);
    QVERIFY(s.AutoStart);
    QCOMPARE(QString::fromStdString(s.PictureFile),
             QString::fromStdString(mDir->File("section.bmp")));
    // AutoStart shows the remembered picture's name at once.
    QCOMPARE(StatusPanels(*form)[5]->text(), QString("section.bmp"));
    QVERIFY(form->UpdateTimer.interval() == 10 && form->Timer2.isActive());
  }

  void startsFromAnExistingSettingsFile() {
    WriteAll(mDir->File("quorvane.INI"),
             "[program]\r\ndeftype=1\r\nautostart=false\r\neps=2.5\r\nfontsize=x\r\n"
             "[data]\r\nworkingdir=\r\n");
    WriteAll(mDir->File("properties.ini"),
             "[properties]\r\nn=1\r\n1=1@clRed@steel@210000@7850\r\n");
    auto form = NewForm();
    const ProgramSettings& s = form->Session().Settings();
    QCOMPARE(s.SignConvention, SignConvention::EuroCode);
    QVERIFY(!s.AutoStart);
    QCOMPARE(s.AngleTolerance, 2.5);
    QCOMPARE(s.FontSize, 14);  // the key that did not convert keeps its default
    QCOMPARE(QString::fromStdString(s.WorkingDir), QString::fromStdString(mDir->Path() + "/"));
    QCOMPARE(LabelText(*form, "EIyyCaption"), QString("EIz"));        // applied at creation
    QCOMPARE(StatusPanels(*form)[5]->text(), QString("<filename>"));  // no autostart: no name
    QCOMPARE(form->Session().MaterialLibrary()->Count(), 1);
    // The conversion failure is shown once the window is up; no picture load is armed.
    const QString settingsFile = QString::fromStdString(mDir->File("quorvane.INI"));
    mPrompts->ExpectError("'x' is not a valid integer value\r\rIn the settings file " +
                          settingsFile +
                          " the key \"fontsize\" does not convert; its default 14 is used.\r"
                          "The file as it was is kept as " +
                          settingsFile + ".bak.");
    form->UpdateTimerTimer();
    QVERIFY(!form->Timer1.isActive());
  }

  void deferredStartUpLoadsTheRememberedPicture() {
    WritePicture("section.bmp", Section(400, 400));
    auto form = NewForm();
    QVERIFY(!form->DropsAccepted());
    form->UpdateTimerTimer();
    QVERIFY(form->DropsAccepted());
    QVERIFY(form->Timer1.isActive());
    form->Timer1Timer();
    QVERIFY(!form->Timer1.isActive());
    QCOMPARE(form->Session().FoundLabels().size(), std::size_t{3});
    QCOMPARE(LabelText(*form, "Label4"), QString("160000"));
    QCOMPARE(LabelText(*form, "ShapeAlertLabel"), QString("square bitmap"));
  }

  void missingStartUpPictureSwitchesAutoStartOffForGood() {
    {
      auto form = NewForm();
      form->UpdateTimerTimer();
      mPrompts->ExpectInformation("No section.bmp file found.");
      form->Timer1Timer();
      QVERIFY(!form->Session().Settings().AutoStart);
      // F3 before any inventory does nothing, not even a beep.
      form->ListKey(Qt::Key_F3, false);
      QCOMPARE(mShell->Beeps(), 0);
      form->close();
    }
    QVERIFY(ReadAll(mDir->File("quorvane.INI")).find("autostart=false") != std::string::npos);
    auto again = NewForm();
    again->UpdateTimerTimer();
    QVERIFY(!again->Timer1.isActive());
  }

  void sizeWarningAndShapeLabels_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("shape");
    const QString tail =
        " is smaller than 400x400 pixels,\rcorrect screen output can not be guaranteed!";
    QTest::newRow("400x400 no warning") << 400 << 400 << QString() << "square bitmap";
    QTest::newRow("399 wide") << 399 << 800 << "Bitmap size 399x800" + tail
                              << "Not a square bitmap !";
    QTest::newRow("399 high") << 800 << 399 << "Bitmap size 800x399" + tail
                              << "Not a square bitmap !";
    QTest::newRow("500x300") << 500 << 300 << "Bitmap size 500x300" + tail
                             << "Not a square bitmap !";
  }
  void sizeWarningAndShapeLabels() {
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QString, warning);
    QFETCH(QString, shape);
    auto form = NewForm();
    const QString path = WritePicture("p.bmp", Section(w, h));
    mPrompts->ExpectOpenPicture(path, QString::fromStdString(mDir->Path() + "/"));
    if (!warning.isEmpty()) mPrompts->ExpectError(warning);
    form->OpenPicture1Click();
    QCOMPARE(LabelText(*form, "Label1"), QString::number(w));
    QCOMPARE(LabelText(*form, "Label2"), QString::number(h));
    QCOMPARE(LabelText(*form, "Label4"), QString::number(w * h));
    QCOMPARE(LabelText(*form, "ShapeAlertLabel"), shape);
    QCOMPARE(RequireChild<QLabel>(*form, "Label2")->palette().color(QPalette::WindowText),
             w == h ? QColor(Qt::black) : QColor(Qt::red));
    QCOMPARE(StatusPanels(*form)[5]->text(), QString("p.bmp"));
    // Reloads never warn.
    form->ListKey(Qt::Key_F3, true);
    QCOMPARE(mShell->Beeps(), 1);
  }

  void cancelledOpenChangesNothing() {
    auto form = NewForm();
    const std::string before = form->Session().Settings().WorkingDir;
    mPrompts->ExpectOpenPicture(std::nullopt);
    form->OpenPicture1Click();
    QCOMPARE(form->Session().Settings().WorkingDir, before);
    QVERIFY(form->Session().Picture().Empty());
  }

  void pictureOfUnnamedColoursOnlySaysWhyItsListIsEmpty() {
    auto form = NewForm();
    Open(*form, WritePicture("unnamed.bmp",
                             MakeGrid(400, 400, 0x00123456, {{10, 10, 20, 20, 0x00654321}})));
    QCOMPARE(RequireChild<QListView>(*form, "ListBox1")->model()->rowCount(), 0);
    QCOMPARE(form->statusBar()->currentMessage(),
             QString("All 2 colours of the picture are unnamed (\"$\" labels) and left out of "
                     "the list; switch off \"ignore color names starting with $\" under Info > "
                     "About ... settings to list them."));
    // A picture with named colours has nothing to explain.
    form->statusBar()->clearMessage();
    Open(*form, WritePicture("good.bmp", Section(400, 400)));
    QVERIFY(form->statusBar()->currentMessage().isEmpty());
    // A section a shade off red beside named colours: said in its pixels.
    Open(*form,
         WritePicture("near.bmp", MakeGrid(400, 400, kWhite, {{10, 10, 19, 19, 0x000000FE}})));
    QCOMPARE(form->statusBar()->currentMessage(),
             QString("100 pixels in 1 unnamed colour (\"$\" labels) are left out of the list; "
                     "switch off \"ignore color names starting with $\" under Info > About ... "
                     "settings to list them."));
  }

  void smoothedPictureIsNotedOnceAndTheSettingReadsItsEdges() {
    auto form = NewForm();
    // A red disc of radius 100 drawn smoothed: its rim blends red into white.
    const DrawnSection drawn =
        DrawSmoothedSection(394, 394, 1.0, Shifted(Ring(100, 0, kRed), 0.3, 0.2), 3, 4);
    const QString disc = WritePicture("disc.bmp", drawn.grid);
    Open(*form, disc);
    const QString note = form->statusBar()->currentMessage();
    QVERIFY2(note.startsWith("Smoothed edges: "), qPrintable(note));
    QVERIFY(
        note.endsWith(" blended pixels belong to no material; tick \"read smoothed edges as "
                      "coverage\" in Info > About ... settings"));
    // All of it on view in the status bar, as wide as the window's fixed client area.
    QVERIFY(form->statusBar()->fontMetrics().horizontalAdvance(note) < 800 - 20);
    // Once: the same picture again says nothing more.
    form->statusBar()->clearMessage();
    Open(*form, disc);
    QVERIFY(form->statusBar()->currentMessage().isEmpty());

    Select(*form, "clRed");
    form->ListBox1DblClick();
    const SectionBounds flat = form->Session().Bounds();
    QCOMPARE(LabelText(*form, "Label34"), QString::number(flat.WidthPixels()));
    mPrompts->ExpectRun([](QDialog& dialog) {
      auto* edges = RequireChild<QCheckBox>(dialog, "CheckBox4");
      if (edges->isChecked()) return static_cast<int>(QDialog::Rejected);
      edges->setChecked(true);
      return static_cast<int>(QDialog::Accepted);
    });
    form->About1Click();
    QCOMPARE(form->Session().Settings().Edges, EdgeMode::Coverage);
    // Every pixel touched by the disc: 0.3 + 197 -+ 100 across, from pixel 100 to 300.
    const SectionBounds box = form->Session().Bounds();
    QCOMPARE(box.xmin, 100);
    QCOMPARE(box.xmax, 300);
    QVERIFY(box.xmin < flat.xmin && box.xmax > flat.xmax);
    QCOMPARE(LabelText(*form, "Label34"), QString("201"));
    TypeSizes(*form, "201", QString::number(box.HeightPixels()));
    form->Timer2Timer();
    form->Button1Click();
    QVERIFY(RequireChild<QPlainTextEdit>(*form, "OutputMemo")
                ->toPlainText()
                .endsWith(QString("\n\n") + kCoverageReportLine + "\n"));
    // Read as coverage, a smoothed picture needs no note.
    form->statusBar()->clearMessage();
    Open(*form, WritePicture("disc2.bmp", drawn.grid));
    QVERIFY(form->statusBar()->currentMessage().isEmpty());
    form->close();
    const std::string settings = ReadAll(mDir->File("quorvane.INI"));
    QVERIFY(settings.find("\r\n[edges]\r\nmode=coverage\r\n") != std::string::npos);
  }

  void fileMenuHasTheDesktopsHabits() {
    auto form = NewForm();
    auto* recent = RequireChild<QMenu>(*form, "Recent1");
    QCOMPARE(RequireChild<QAction>(*form, "OpenPicture1")->shortcut(),
             QKeySequence(QKeySequence::Open));
    QVERIFY(!recent->isEnabled());
    // Recent pictures: newest first, each once; a picture gone is said so and taken off.
    const QString a = WritePicture("a.bmp", Section(400, 400));
    const QString b = WritePicture("b.bmp", Section(400, 400));
    Open(*form, a);
    Open(*form, b);
    Open(*form, a);
    const auto shown = [recent] {
      QStringList paths;
      for (QAction* action : recent->actions()) paths << action->data().toString();
      return paths;
    };
    QCOMPARE(shown(), (QStringList{a, b}));
    QVERIFY(recent->actions().first()->text().startsWith("&1 a.bmp  ("));
    recent->actions().last()->trigger();
    QCOMPARE(QString::fromStdString(form->Session().PictureFile()), b);
    QCOMPARE(shown(), (QStringList{b, a}));
    QFile::remove(a);
    mPrompts->ExpectInformation("The picture is no longer there:\r- " + a +
                                "\r\rIt is taken off the recent pictures.");
    recent->actions().last()->trigger();
    QCOMPARE(shown(), QStringList{b});
    form->SaveSettings();
    QVERIFY(ReadAll(mDir->File("quorvane.INI")).find("[recent]\r\n1=" + b.toStdString()) !=
            std::string::npos);

    // Save report as: the clipboard's text, CR LF, never over the picture.
    mPrompts->ExpectInformation("No report yet: analyse the section first.");
    RequireChild<QAction>(*form, "SaveReport1")->trigger();
    Analysed(*form);
    const QString picture = QString::fromStdString(form->Session().PictureFile());
    mPrompts->ExpectSaveTextFile(QString::fromStdString(mDir->File("p-report.txt")),
                                 QString::fromStdString(mDir->File("p-report.txt")));
    RequireChild<QAction>(*form, "SaveReport1")->trigger();
    QCOMPARE(QString::fromStdString(ReadAll(mDir->File("p-report.txt"))), mShell->Clipboard());
    QVERIFY(mShell->Clipboard().contains("\r\n"));
    const std::string drawing = ReadAll(picture.toStdString());
    mPrompts->ExpectSaveTextFile(picture);
    mPrompts->ExpectError(picture + " is the picture " + picture +
                          " itself; choose another file to write");
    RequireChild<QAction>(*form, "SaveReport1")->trigger();
    QVERIFY(ReadAll(picture.toStdString()) == drawing);
    // Nor into a named pipe, which a rename would replace by a plain file.
    const QString pipe = QString::fromStdString(mDir->File("pipe.txt"));
    QCOMPARE(::mkfifo(pipe.toLocal8Bit().constData(), 0644), 0);
    mPrompts->ExpectSaveTextFile(pipe);
    mPrompts->ExpectError("Unable to write to " + pipe + ": it is not a regular file");
    RequireChild<QAction>(*form, "SaveReport1")->trigger();
    QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());

    // Export report (PDF): a name typed without the extension gets it; never over the picture.
    mPrompts->ExpectSavePdfFile(QString::fromStdString(mDir->File("p-report")),
                                QString::fromStdString(mDir->File("p-report.pdf")));
    RequireChild<QAction>(*form, "ExportPdf1")->trigger();
    QVERIFY(ReadAll(mDir->File("p-report.pdf")).starts_with("%PDF-"));
    mPrompts->ExpectSavePdfFile(picture);
    mPrompts->ExpectError(picture + " is the picture " + picture +
                          " itself; choose another file to write");
    RequireChild<QAction>(*form, "ExportPdf1")->trigger();
    QVERIFY(ReadAll(picture.toStdString()) == drawing);
  }

  void unreadablePictureIsReportedAndKeepsThePreviousOne() {
    {
      auto form = NewForm();
      Analysed(*form);
      const QString ea = LabelText(*form, "Label23");
      const QString text = QString::fromStdString(mDir->File("notapic.bmp"));
      WriteAll(text.toStdString(), "a text file, not a picture\n");
      mPrompts->ExpectOpenPicture(text);
      mPrompts->ExpectError(kAnyText);
      RequireChild<QAction>(*form, "OpenPicture1")->trigger();
      QVERIFY(mPrompts->Texts(PromptKind::Error).last().startsWith("Cannot read picture " + text));
      // The picture on show keeps its name, lists and results.
      QCOMPARE(StatusPanels(*form)[5]->text(), QString("p.bmp"));
      QCOMPARE(form->Session().FoundLabels().size(), std::size_t{3});
      QCOMPARE(LabelText(*form, "Label1"), QString("400"));
      QCOMPARE(LabelText(*form, "Label23"), ea);
      form->close();
    }
    // Only a picture that opened is remembered for the next start.
    const std::string settings = ReadAll(mDir->File("quorvane.INI"));
    QVERIFY(settings.find("picturefile=" + mDir->File("p.bmp")) != std::string::npos);
  }

  void dropChecks() {
    auto form = NewForm();
    const QString good = WritePicture("beam.bmp", Section(400, 400));
    form->DropFiles({good});  // before the deferred start-up drops are refused
    QVERIFY(form->Session().Picture().Empty());
    form->UpdateTimerTimer();
    form->Timer1.stop();
    mPrompts->ExpectError("Can only accept one BMP-file");
    form->DropFiles({good, good});
    mPrompts->ExpectError("Drag and drop only one BMP bitmap picture");
    form->DropFiles({good + ".txt"});
    mPrompts->ExpectError("Drag and drop only one BMP bitmap picture");
    form->DropFiles({QString::fromStdString(mDir->File("beam.jpg"))});
    QVERIFY(form->Session().Picture().Empty());
    form->DropFiles({QString::fromStdString(mDir->File("missing.BMP"))});
    QVERIFY(form->Session().Picture().Empty());
    form->DropFiles({good});
    QCOMPARE(form->Session().FoundLabels().size(), std::size_t{3});
    // A PNG picture loads the same way; the status bar shows its name.
    const QString png = QString::fromStdString(mDir->File("beam.PNG"));
    WriteAll(mDir->File("beam.PNG"),
             EncodePng(MakeGrid(400, 400, kWhite, {{100, 100, 200, 300, kBlue}})));
    form->DropFiles({png});
    QCOMPARE(form->Session().PictureFile(), png.toStdString());
    QCOMPARE(form->Session().FoundLabels(), (std::vector<std::string>{"clWhite", "clBlue"}));
    QCOMPARE(StatusPanels(*form)[5]->text(), QString("beam.PNG"));
  }

  void functionKeys() {
    auto form = NewForm();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    mPrompts->ExpectInformation(
        "Special function keys in listboxes:\r\rF1 = Color field details\rF2 = Hide all colors "
        "but the selected one\rF3 = Reload current bitmap");
    form->ListKey(Qt::Key_F1, false);
    Select(*form, "clRed");
    mPrompts->ExpectMessage(
        "colorlabel=clRed   name=\rxmin=100   xmax=200\rymin=100   ymax=300\rE=1   rpho=1");
    form->ListKey(Qt::Key_F1, false);
    mPrompts->ExpectConfirm("Hide all colors but clRed ?", true);
    form->ListKey(Qt::Key_F2, false);
    const PixelGrid g = form->ShownPicture();
    QCOMPARE(g.At(0, 0), kWhite);
    QCOMPARE(g.At(150, 200), kRed);
    QCOMPARE(g.At(300, 150), kWhite);         // the blue block is gone
    QVERIFY(form->Session().PictureFresh());  // hiding does not count as drawing
    form->ListKey(Qt::Key_F3, false);
    QCOMPARE(form->ShownPicture().At(300, 150), kBlue);
  }

  void mouseReadout() {
    auto form = NewForm();
    Open(*form, WritePicture("wide.bmp", Section(1000, 500)));
    form->ImageMouseMove(400, 400);
    QCOMPARE(StatusPanels(*form)[1]->text(), QString("998"));
    QCOMPARE(StatusPanels(*form)[3]->text(), QString("499"));
  }

  void listsBoundsAndAnalyseButton() {
    auto form = NewForm();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    Select(*form, "clRed");
    form->ListBox1DblClick();
    form->ListBox1DblClick();  // already listed: nothing
    QCOMPARE(MaterialRows(*form), 1);
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox3")->isVisibleTo(form.get()));
    QCOMPARE(LabelText(*form, "Label34"), QString("101"));
    QCOMPARE(LabelText(*form, "Label36"), QString("201"));
    QVERIFY(!form->Session().PictureFresh());  // the frame is drawn
    const TPROPRec* red = form->Session().MaterialLibrary()->FindByLabel("clRed");
    QVERIFY(red && red->inUse && red->prop.E == 1);

    Select(*form, "clBlue");
    mPrompts->ExpectConfirm("Add this color to the material properties list?", false);
    form->ListBox1RightButton();
    QCOMPARE(MaterialRows(*form), 1);
    mPrompts->ExpectConfirm("Add this color to the material properties list?", true);
    form->ListBox1RightButton();
    QCOMPARE(LabelText(*form, "Label34"), QString("201"));

    // The analyse button needs both sizes and an area.
    form->Timer2Timer();
    QVERIFY(RequireChild<QPushButton>(*form, "Button1")->isHidden());
    TypeSizes(*form, "500", "650");
    form->Timer2Timer();
    QVERIFY(!RequireChild<QPushButton>(*form, "Button1")->isHidden());
    RequireChild<TNumberEdit>(*form, "NumberEdit1")->SetText("0");
    form->Timer2Timer();
    QVERIFY(RequireChild<QPushButton>(*form, "Button1")->isHidden());

    SelectMaterial(*form, "clBlue");
    mPrompts->ExpectConfirm("Remove from list material: clBlue ?", true);
    form->Delete1Click();
    QCOMPARE(LabelText(*form, "Label34"), QString("101"));
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox1")->isHidden());
    SelectMaterial(*form, "clRed");
    mPrompts->ExpectConfirm("Remove from list material: clRed ?", true);
    form->Delete1Click();
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox3")->isHidden());
    QVERIFY(form->Session().Bounds().Unset());
  }

  void popupOpensAtTheFixedPoint() {
    auto form = NewForm();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    Select(*form, "clRed");
    form->ListBox1DblClick();
    QPoint shownAt;
    form->RunPopup = [&](QMenu&, const QPoint& at) {
      shownAt = at;
      return static_cast<QAction*>(nullptr);
    };
    form->ListBox2RightButton();  // nothing selected: no menu
    QCOMPARE(shownAt, QPoint());
    SelectMaterial(*form, "clRed");
    form->ListBox2RightButton();
    QCOMPARE(shownAt - form->frameGeometry().topLeft(), QPoint(335, 232));
  }

  void analyseTwiceGivesTheSameReportOnTheClipboard() {
    auto form = NewForm();
    mPrompts->ExpectInformation("No material selected.");
    form->Button1Click();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    Select(*form, "clRed");
    form->ListBox1DblClick();
    TypeSizes(*form, "500", "650");
    form->Button1Click();
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox2")->isVisibleTo(form.get()));
    const QString report = mShell->Clipboard();
    QVERIFY(report.startsWith("QUORVANE RESULTS : p.bmp\r\n\r\nSectional boundaries:\r\n"));
    QVERIFY(report.contains("    width  = 101 equals to 500 mm\r\n"));
    QCOMPARE(RequireChild<QPlainTextEdit>(*form, "OutputMemo")->toPlainText(),
             QString(report).replace("\r\n", "\n"));
    const QString ea = LabelText(*form, "Label23");
    QCOMPARE(LabelText(*form, "Label44"), QString::number(101 * 201));
    // The overlay is shown over the picture: the NC circle in the axes colour (blue) near NC;
    // the picture itself stays as read.
    const PixelPoint nc = form->Session().Result().NC;
    const PixelGrid shown = form->ShownPicture();
    bool blueNearNc = false;
    for (int dx = -6; dx <= 6; ++dx) blueNearNc = blueNearNc || shown.At(nc.x + dx, nc.y) == kBlue;
    QVERIFY(blueNearNc);
    QVERIFY(form->Session().Picture() == Section(400, 400));
    form->Button1Click();
    QCOMPARE(mShell->Clipboard(), report);
    QCOMPARE(LabelText(*form, "Label23"), ea);
    QCOMPARE(mShell->ClipboardWrites(), 2);
  }

  void sizeFieldThatIsNotValidOffersNoAnalysis() {
    auto form = NewForm();
    Analysed(*form);
    auto* width = RequireChild<TNumberEdit>(*form, "NumberEdit1");
    width->selectAll();
    QTest::keyClicks(width, "12a");  // holds 12, the last text that read
    mPrompts->ExpectMessage("Error in number.");
    QTest::keyClick(width, Qt::Key_Tab);
    form->Button1Click();  // before the rule's next tick: nothing analysed, the button gone
    QCOMPARE(mShell->ClipboardWrites(), 1);
    QVERIFY(RequireChild<QPushButton>(*form, "Button1")->isHidden());
    QTest::keyClick(width, Qt::Key_Control);  // valid, yet "12a" on show
    form->Timer2Timer();
    QVERIFY(RequireChild<QPushButton>(*form, "Button1")->isHidden());
  }

  void resultsOfAnotherSectionLeaveTheWindow() {
    auto form = NewForm();
    Analysed(*form);
    mPrompts->ExpectRun([](QDialog& dialog) {
      RequireChild<QCheckBox>(dialog, "CheckBox4")->setChecked(true);  // read as coverage
      return static_cast<int>(QDialog::Accepted);
    });
    form->About1Click();
    QVERIFY(RequireChild<QGroupBox>(*form, "GroupBox2")->isHidden() && !form->ResultOverlayShown());
    QCOMPARE(LabelText(*form, "Label23"), QString("0"));
    mPrompts->ExpectInformation("No report yet: analyse the section first.");
    RequireChild<QAction>(*form, "SaveReport1")->trigger();
  }

  void savedReportHoldsEveryBlockComputedForIt() {
    auto form = NewForm();
    Analysed(*form);
    const QString report = mShell->Clipboard();
    // A shear force needs the torsion solved first, as the dialog has it.
    QVERIFY(form->Session().ComputeStresses({1000, 0, 2e5, 0, 500, 0}) ==
            SectionSession::StressOutcome::Done);
    mPrompts->ExpectSaveTextFile(QString::fromStdString(mDir->File("r.txt")));
    RequireChild<QAction>(*form, "SaveReport1")->trigger();
    const QString text = QString::fromStdString(ReadAll(mDir->File("r.txt")));
    QVERIFY(text.startsWith(report + "\r\n" + QLatin1String(kExtendedReportTitle) + "\r\n"));
    for (const QString& block : {QString("\r\ndesign values ("), QString("\r\nplastic moments"),
                                 "\r\n\r\n" + QLatin1String(kStressReportTitle) + "\r\n"}) {
      QVERIFY2(text.contains(block), qPrintable(block));
    }
  }

  void scaleIsShownAndSizesOfThePreviousPictureAreMarked() {
    auto form = NewForm();
    Analysed(*form);  // the red and blue blocks: 201 x 201 pixels at 500 x 650 mm
    QCOMPARE(StatusPanels(*form)[6]->text(), QString("2.488 x 3.234 mm/px"));
    RequireChild<QAction>(*form, "SectionView1")->trigger();
    const auto legend = [&form] {
      return RequireChild<QLabel>(*form->SectionView(), "ScaleLabel")->text();
    };
    QCOMPARE(legend(), QString("scale 2.488 x 3.234 mm/px (hor x ver)"));
    // Another picture keeps the sizes, marked as the previous picture's until taken.
    Open(*form, WritePicture("q.bmp", MakeGrid(400, 400, kWhite, {{50, 50, 299, 99, kRed}})));
    Select(*form, "clRed");
    form->ListBox1DblClick();  // 250 x 50 pixels
    auto* width = RequireChild<TNumberEdit>(*form, "NumberEdit1");
    auto* height = RequireChild<TNumberEdit>(*form, "NumberEdit2");
    QVERIFY(width->font().italic() && StatusPanels(*form)[6]->font().italic());
    QCOMPARE(legend(),
             QString("scale 2 x 13 mm/px (hor x ver), from the sizes of the previous picture"));
    QTest::keyClick(width, Qt::Key_Return);
    QVERIFY(!width->font().italic() && height->font().italic());
    QTest::keyClick(height, Qt::Key_Tab);
    QVERIFY(!height->font().italic() && !StatusPanels(*form)[6]->font().italic());
  }

  void pixelSizeGivesBothSizesWithTheirFractionsUntilOneIsTyped() {
    auto form = NewForm();
    Analysed(*form);  // 201 x 201 pixels
    QString shown;
    mPrompts->ExpectRun([&shown](QDialog& dialog) {
      QTest::keyClicks(RequireChild<TNumberEdit>(dialog, "NumberEdit1"), "2.5");
      shown = RequireChild<QLabel>(dialog, "Label1")->text();
      return static_cast<int>(QDialog::Accepted);
    });
    RequireChild<QAction>(*form, "PixelSize1")->trigger();
    // The sizes it gives were shown before they were taken.
    QCOMPARE(shown, QString("width x height: 502.5 x 502.5 mm"));
    auto* width = RequireChild<TNumberEdit>(*form, "NumberEdit1");
    QCOMPARE(width->text(), QString("503"));  // the integer field shows the nearest whole mm
    QCOMPARE(StatusPanels(*form)[6]->text(), QString("2.5 x 2.5 mm/px (502.5 x 502.5 mm)"));
    form->Button1Click();
    const std::vector<std::string>& report = form->Session().Report();
    QCOMPARE(report[3], std::string("    width  = 201 equals to 502.5 mm"));
    QCOMPARE(report[5], std::string("    pixel size = 2.5 mm"));
    // A size typed is the size meant again.
    QTest::keyClicks(width, "0");
    QVERIFY(!form->Session().PixelSize());
    form->Timer2Timer();
    QCOMPARE(width->text(), QString("5030"));
  }

  void analyseNeverCountsTheDrawingsWhenThePictureFileIsGone() {
    auto form = NewForm();
    Analysed(*form);
    const QString report = mShell->Clipboard();
    const QString ea = LabelText(*form, "Label23");
    QVERIFY(QFile::remove(QString::fromStdString(mDir->File("p.bmp"))));
    mPrompts->ExpectError("The picture file " + QString::fromStdString(mDir->File("p.bmp")) +
                          " is no longer there, so the section cannot be analysed.");
    // As the button's signal runs it: an error of the handler is shown, never thrown on.
    Guarded([&form] { form->Button1Click(); });
    QCOMPARE(mShell->ClipboardWrites(), 1);
    QCOMPARE(mShell->Clipboard(), report);
    QCOMPARE(LabelText(*form, "Label23"), ea);
    QVERIFY(!form->Busy());
  }

  void userTextIsShownAsTyped() {
    WriteAll(mDir->File("properties.ini"),
             "[properties]\r\nn=1\r\n1=1@clRed@<b>steel</b> & <i>co@210000@7850\r\n");
    auto form = NewForm();
    Open(*form, WritePicture("<b>p<i>.bmp", Section(400, 400)));
    Select(*form, "clRed");
    form->ListBox1DblClick();
    SelectMaterial(*form, "clRed");
    form->ListBox2Click();
    QCOMPARE(LabelText(*form, "Label13"), QString("<b>steel</b> & <i>co"));
    QCOMPARE(StatusPanels(*form)[5]->text(), QString("<b>p<i>.bmp"));
    for (QLabel* label : form->findChildren<QLabel*>()) {
      QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    }
    // The real message box shows a description with its line breaks, not as markup.
    QtPrompter real;
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      seen = true;
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(box->text(), QString("<b>a</b>\nsecond line"));
      box->accept();
    });
    real.Message("<b>a</b>\rsecond line");
    QVERIFY(seen);
  }

  void closingWritesSettingsAndLibrary() {
    {
      auto form = NewForm();
      Open(*form, WritePicture("p.bmp", Section(400, 400)));
      Select(*form, "clRed");
      form->ListBox1DblClick();
      form->close();
    }
    const std::string settings = ReadAll(mDir->File("quorvane.INI"));
    QVERIFY(settings.find("[program]\r\ndeftype=0\r\n") != std::string::npos);
    QVERIFY(settings.find("picturefile=" + mDir->File("p.bmp")) != std::string::npos);
    const std::string library = ReadAll(mDir->File("properties.ini"));
    QVERIFY(library.find("1=1@clRed@@1@1") != std::string::npos);
  }

  void pngPictureIsAnalysedAndRememberedAsABmpOneIs() {
    // Drawn on a transparent background, which reads as white.
    PngOptions options;
    options.colour = PngColour::kRgba;
    options.transparent = kBlack;
    const PixelGrid drawn = MakeGrid(400, 400, kBlack, {{100, 100, 200, 300, kRed}});
    WriteAll(mDir->File("beam.png"), EncodePng(drawn, options));
    const QString png = QString::fromStdString(mDir->File("beam.png"));
    {
      auto form = NewForm();
      Open(*form, png);
      QCOMPARE(form->Session().FoundLabels(), (std::vector<std::string>{"clWhite", "clRed"}));
      Select(*form, "clRed");
      form->ListBox1DblClick();
      TypeSizes(*form, "101", "201");
      form->Button1Click();
      QVERIFY(mShell->Clipboard().startsWith("QUORVANE RESULTS : beam.png\r\n"));
      form->close();
    }
    auto again = NewForm();
    QCOMPARE(StatusPanels(*again)[5]->text(), QString("beam.png"));
    again->Timer1Timer();
    QCOMPARE(again->Session().FoundLabels(), (std::vector<std::string>{"clWhite", "clRed"}));
  }

  void unitsChosenInTheSettingsApplyAtTheNextAnalysis() {
    auto form = NewForm();
    Analysed(*form);
    const double ea = form->Session().Result().EA;
    QCOMPARE(LabelText(*form, "EAUnit"), QString("N"));
    mPrompts->ExpectRun([](QDialog& dialog) {
      auto* units = RequireChild<QComboBox>(dialog, "UnitsBox");
      units->setCurrentIndex(units->findText("kN-cm"));
      return 1;
    });
    form->About1Click();
    QCOMPARE(form->Session().Settings().Units, UnitSystem::KNcm);
    // The values shown were written in N and mm, and keep their captions until analysed again.
    QCOMPARE(LabelText(*form, "EAUnit"), QString("N"));
    form->Button1Click();
    QCOMPARE(LabelText(*form, "EAUnit"), QString("kN"));
    QCOMPARE(LabelText(*form, "MCUnit"), QString("cm"));
    QCOMPARE(LabelText(*form, "EI2Unit"), QString("kNcm^2"));
    QCOMPARE(LabelText(*form, "Label23"), QString::fromStdString(FormatGeneral(ea / 1000, 5, 3)));
    QVERIFY(mShell->Clipboard().contains("    EA   = " + LabelText(*form, "Label23") + " kN\r\n"));
  }

  void conventionsRenameButNeverRecompute() {
    auto form = NewForm();
    Analysed(*form);
    const QString report0 = mShell->Clipboard();
    const QString eiyy = LabelText(*form, "Label26");
    const QString eizz = LabelText(*form, "Label27");
    const PixelGrid overlay0 = form->ShownPicture();
    QCOMPARE(LabelText(*form, "EIyyCaption"), QString("EIyy"));
    QCOMPARE(RequireChild<QLabel>(*form, "Label26")->y(), 88);

    // Menu "Definitions" in the default convention shows the picture dialog; Yes switches.
    mPrompts->ExpectRun([](QDialog& dialog) {
      auto& definitions = static_cast<TDefinitionForm&>(dialog);
      return static_cast<int>(definitions.ConventionResult());  // closed without a change
    });
    form->Definitions1Click();
    QCOMPARE(form->Session().Settings().SignConvention, SignConvention::DorvastPelkam);
    QVERIFY(SamePicture(form->ShownPicture(), overlay0));  // nothing redrawn

    mPrompts->ExpectRun([this](QDialog& dialog) {
      mPrompts->ExpectConfirm("Are you sure to change to EURO-code definitions ?", true);
      static_cast<TDefinitionForm&>(dialog).Button1Click();
      return dialog.result();
    });
    form->Definitions1Click();
    QCOMPARE(form->Session().Settings().SignConvention, SignConvention::EuroCode);
    QCOMPARE(LabelText(*form, "EIyyCaption"), QString("EIz"));
    QCOMPARE(LabelText(*form, "EIzzCaption"), QString("EIy"));
    QCOMPARE(LabelText(*form, "AlphaCaption"), QString("alpha"));
    QCOMPARE(RequireChild<QLabel>(*form, "Label27")->y(),
             88);  // the EIzz value moves up with its caption "EIy"
    QCOMPARE(RequireChild<QLabel>(*form, "Label26")->y(), 104);
    QCOMPARE(LabelText(*form, "Label26"), eiyy);  // numbers unchanged
    QCOMPARE(LabelText(*form, "Label27"), eizz);
    // The overlay was redrawn with the labels swapped: the picture differs from before.
    QVERIFY(!SamePicture(form->ShownPicture(), overlay0) || form->Session().Result().Iso);

    // In the EURO-code convention the menu only asks to go back.
    mPrompts->ExpectConfirm(
        "Current definitions based on EURO-code\r\rDo you want so change to Dorvast/Pelkam "
        "definitions ?",
        false);
    form->Definitions1Click();
    QCOMPARE(form->Session().Settings().SignConvention, SignConvention::EuroCode);
    form->Button1Click();
    const QString report1 = mShell->Clipboard();
    QVERIFY(report1.contains("    EIy  = " + eizz + " Nmm^2\r\n    EIz  = " + eiyy + " Nmm^2\r\n"));
    QString renamed = report1;
    renamed.replace("    EIy  = " + eizz, "    EIzz = " + eizz)
        .replace("    EIz  = " + eiyy, "    EIyy = " + eiyy);
    QStringList lines0 = report0.split("\r\n"), lines1 = renamed.split("\r\n");
    std::swap(lines1[lines1.indexOf("    EIzz = " + eizz + " Nmm^2")],
              lines1[lines1.indexOf("    EIyy = " + eiyy + " Nmm^2")]);
    QCOMPARE(lines1, lines0);  // only the names and their order differ

    mPrompts->ExpectConfirm(kAnyText, true);
    form->Definitions1Click();
    QCOMPARE(form->Session().Settings().SignConvention, SignConvention::DorvastPelkam);
    QCOMPARE(RequireChild<QLabel>(*form, "Label26")->y(), 88);
  }

  void conventionSwitchWithoutResultsDrawsNothing() {
    auto form = NewForm();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    const PixelGrid before = form->ShownPicture();
    mPrompts->ExpectRun([this](QDialog& dialog) {
      mPrompts->ExpectConfirm(kAnyText, true);
      static_cast<TDefinitionForm&>(dialog).Button1Click();
      return dialog.result();
    });
    form->Definitions1Click();
    QCOMPARE(form->Session().Settings().SignConvention, SignConvention::EuroCode);
    QVERIFY(SamePicture(form->ShownPicture(), before));
    QVERIFY(form->Session().PictureFresh());
  }

  void settingsDialogTakesEverythingBack() {
    auto form = NewForm();
    Analysed(*form);
    const ProgramSettings before = form->Session().Settings();
    // A mark the redraw wipes.
    form->Session().DrawOnPicture(
        [](PixelGrid& picture) { picture.FillRect(0, 0, 10, 10, kLime); });
    // OK at once changes no setting but redraws the overlay.
    mPrompts->ExpectRun([](QDialog&) { return static_cast<int>(QDialog::Accepted); });
    form->About1Click();
    const ProgramSettings& after = form->Session().Settings();
    QCOMPARE(after.AutoStart, before.AutoStart);
    QCOMPARE(after.AngleTolerance, before.AngleTolerance);
    QCOMPARE(after.AxesColour, before.AxesColour);
    QCOMPARE(after.SignConvention, before.SignConvention);
    QCOMPARE(after.FontSize, before.FontSize);
    QCOMPARE(form->ShownPicture().At(0, 0), kWhite);  // reloaded and drawn again

    // Untick autostart, pick the button-face system colour for the axes, precision 0.
    mPrompts->ExpectRun([](QDialog& dialog) {
      RequireChild<QCheckBox>(dialog, "CheckBox1")->setChecked(false);
      auto* axes = RequireChild<QComboBox>(dialog, "ComboBox1");
      axes->setCurrentIndex(axes->findText("clBtnFace"));
      RequireChild<TNumberEdit>(dialog, "NumberEdit1")->SetText("0");
      return static_cast<int>(QDialog::Accepted);
    });
    form->About1Click();
    QVERIFY(!form->Session().Settings().AutoStart);
    QCOMPARE(static_cast<std::uint32_t>(form->Session().Settings().AxesColour), 0x8000000Fu);
    QCOMPARE(form->Session().Settings().AngleTolerance, 0.0);
    form->close();
    const std::string settings = ReadAll(mDir->File("quorvane.INI"));
    QVERIFY(settings.find("autostart=false") != std::string::npos);
    QVERIFY(settings.find("color_yz=clBtnFace") != std::string::npos);
    QVERIFY(settings.find("eps=0") != std::string::npos);
  }

  void editingAMaterialFromTheList() {
    auto form = NewForm();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    Select(*form, "clRed");
    form->ListBox1DblClick();
    SelectMaterial(*form, "clRed");
    form->ListBox2Click();
    QCOMPARE(RequireChild<QGroupBox>(*form, "GroupBox1")->title(),
             QString("Selected properties for clRed"));
    QCOMPARE(LabelText(*form, "Label14"), QString("1"));
    QString title;
    mPrompts->ExpectRun([&title](QDialog& dialog) -> int {
      title = dialog.windowTitle();
      RequireChild<QLineEdit>(dialog, "Edit1")->setText("steel");
      RequireChild<TNumberEdit>(dialog, "NumberEdit1")->SetText("210000");
      RequireChild<TNumberEdit>(dialog, "NumberEdit2")->SetText("7850");
      return static_cast<int>(QDialog::Accepted);
    });
    form->ListBox2DblClick();
    QCOMPARE(title, QString("Properties: clRed"));
    QCOMPARE(LabelText(*form, "Label13"), QString("steel"));
    QCOMPARE(LabelText(*form, "Label14"), QString("210000"));
    QCOMPARE(form->Session().MaterialLibrary()->FindByLabel("clRed")->prop.rho, 7850.0);
  }

  void onlyADropFromTheFoundColoursListActs() {
    auto form = NewForm();
    Open(*form, WritePicture("p.bmp", Section(400, 400)));
    form->ListBox2Drop(RequireChild<QListView>(*form, "ListBox1"));  // nothing selected yet
    QCOMPARE(MaterialRows(*form), 0);
    Select(*form, "clBlue");
    form->ListBox2Drop(RequireChild<TNumberEdit>(*form, "NumberEdit1"));  // some other source
    form->ListBox2Drop(nullptr);                                          // from another program
    QCOMPARE(MaterialRows(*form), 0);
    form->ListBox2Drop(RequireChild<QListView>(*form, "ListBox1")->viewport());
    QCOMPARE(MaterialRows(*form), 1);
    QCOMPARE(RequireChild<QListView>(*form, "ListBox2")->model()->index(0, 0).data().toString(),
             QString("clBlue"));
  }

  void graphicsFontButton() {
    auto form = NewForm();
    QFont chosen("DejaVu Serif");
    chosen.setPointSize(20);
    chosen.setBold(true);
    mPrompts->ExpectChooseFont(chosen);
    form->SpeedButton2Click();
    const ProgramSettings& s = form->Session().Settings();
    QCOMPARE(QString::fromStdString(s.FontName), QString("DejaVu Serif"));
    QCOMPARE(s.FontSize, 20);
    QCOMPARE(s.FontStyle, unsigned{kFontBold});
    QCOMPARE(RequireChild<QToolButton>(*form, "SpeedButton2")->toolTip(),
             QString("Set graphics font\ncurrent font is DejaVu Serif size is 20"));
    mPrompts->ExpectChooseFont(std::nullopt);  // cancel changes nothing
    form->SpeedButton2Click();
    QCOMPARE(form->Session().Settings().FontSize, 20);
  }

  void helpAndFolder() {
    auto form = NewForm();
    mPrompts->ExpectInformation("Help document not in the program root directory : \r- " +
                                QString::fromStdString(mDir->Path()) +
                                "/\r\rCheck your installation!");
    form->Help1Click();
    WriteAll(mDir->File("MANUAL_VAROLITH.pdf"), "%PDF-1.4");
    form->Help1Click();
    QCOMPARE(mShell->Documents().size(), 1);
    form->SpeedButton1Click();
    QCOMPARE(mShell->Folders(), QStringList{QString::fromStdString(mDir->Path() + "/")});
    QCoreApplication::processEvents();

    // A desktop with no program for them: each says so, naming the file or folder.
    mShell->SetOpenResult(false);
    const QString folder = QString::fromStdString(mDir->Path() + "/");
    form->Help1Click();
    mPrompts->ExpectInformation("The help document could not be opened:\r- " + folder +
                                "MANUAL_VAROLITH.pdf\r\rNo program to show PDF documents was "
                                "found. Install a PDF viewer, or open the file with a program "
                                "of your choice.");
    QCoreApplication::processEvents();
    form->SpeedButton1Click();
    mPrompts->ExpectInformation("The picture folder could not be shown:\r- " + folder +
                                "\r\rNo file manager was found to show folders.");
    QCoreApplication::processEvents();
    // A failure that arrives after the window closed shows nothing.
    form->Help1Click();
    form.reset();
    QCoreApplication::processEvents();
  }
};

QTEST_MAIN(TestMainForm)
#include "tst_main_window.moc"
