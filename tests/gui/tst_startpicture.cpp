// The picture named on the command line ("Open with"): the deferred start-up opens it after the
// update check, in place of the remembered picture, as if chosen in the open dialog.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <memory>

#include "gui/main_window.h"
#include "support/grid_builder.h"
#include "support/qt_helpers.h"
#include "support/scripted_prompter.h"
#include "support/window_test.h"

using namespace qv;
using namespace qv::test;

class TestStartPicture : public WindowTest {
  Q_OBJECT

 private:
  // The remembered picture (red on white) beside the program, and another one elsewhere (blue
  // and lime on white, another size), both large enough to load without a warning.
  QString WritePictures() {
    mDir->WritePicture("section.bmp", MakeGrid(400, 400, kWhite, {{10, 10, 50, 50, kRed}}));
    QDir(Local("")).mkpath("elsewhere");
    return QString::fromStdString(mDir->WritePicture(
        "elsewhere/given.bmp",
        MakeGrid(500, 400, kWhite, {{10, 10, 50, 50, kBlue}, {60, 60, 90, 90, kLime}})));
  }
  static void VerifyGivenPictureOpen(const TMainForm& form, const QString& given) {
    QCOMPARE(QString::fromStdString(form.Session().PictureFile()), given);
    QCOMPARE(QString::fromStdString(form.Session().Settings().WorkingDir),
             QFileInfo(given).absolutePath() + "/");
    QCOMPARE(form.Session().FoundLabels(),
             (std::vector<std::string>{"clWhite", "clBlue", "clLime"}));
    QCOMPARE(LabelText(form, "Label1"), QString("500"));
    QCOMPARE(StatusPanels(form)[5]->text(), QString("given.bmp"));
    QVERIFY(form.StartUpPicture().isEmpty());
    QVERIFY(!form.Timer1.isActive());  // the remembered picture is not loaded after it
  }

 private slots:
  void givenPictureOpensInPlaceOfTheRememberedOne() {
    const QString given = WritePictures();
    WriteAll(mDir->File("quorvane.INI"), "[program]\r\nwwwupdate=false\r\n");
    {
      auto form = NewForm();
      form->OpenAtStartUp(given);
      // Named at once, opened only by the deferred start-up.
      QCOMPARE(StatusPanels(*form)[5]->text(), QString("given.bmp"));
      QVERIFY(form->Session().FoundLabels().empty());
      form->UpdateTimerTimer();
      QVERIFY(form->DropsAccepted());
      VerifyGivenPictureOpen(*form, given);
      form->close();
    }
    // Remembered like a picture from the open dialog: the next plain start loads it.
    auto again = NewForm();
    QCOMPARE(QString::fromStdString(again->Session().PictureFile()), given);
  }

  void givenPictureOpensAlsoWhenLoadingAtStartIsOff() {
    const QString given = WritePictures();
    WriteAll(mDir->File("quorvane.INI"), "[program]\r\nwwwupdate=false\r\nautostart=false\r\n");
    auto form = NewForm();
    form->OpenAtStartUp(given);
    form->UpdateTimerTimer();
    VerifyGivenPictureOpen(*form, given);
    QVERIFY(!form->Session().Settings().AutoStart);  // the setting itself stays as it was
  }

  void relativePathCountsFromTheCurrentFolder() {
    const QString given = WritePictures();
    WriteAll(mDir->File("quorvane.INI"), "[program]\r\nwwwupdate=false\r\n");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Local("elsewhere")));
    auto form = NewForm();
    form->OpenAtStartUp("given.bmp");
    QVERIFY(QDir::setCurrent(previous));  // the window may change its folder; the path holds
    QCOMPARE(form->StartUpPicture(), given);
    form->UpdateTimerTimer();
    VerifyGivenPictureOpen(*form, given);
  }

  void failedUpdateCheckStillOpensTheGivenPicture() {
    const QString given = WritePictures();
    auto form = NewForm();
    // The update check cannot make its download folder: its error is shown, and the start-up
    // leaves out drops and the remembered picture, but not the picture the user asked for.
    WriteAll(mDir->File("cache"), "a file where the cache folder should be");
    form->UpdateDownloadParent = Local("cache");
    form->OpenAtStartUp(given);
    mPrompts->ExpectError("Unable to write to " + Local("cache"));
    form->UpdateTimerTimer();
    QVERIFY(!form->DropsAccepted());
    VerifyGivenPictureOpen(*form, given);
  }

  void givenPictureGoneByThenOpensNothing() {
    const QString given = WritePictures();
    WriteAll(mDir->File("quorvane.INI"), "[program]\r\nwwwupdate=false\r\n");
    auto form = NewForm();
    form->OpenAtStartUp(given);
    QVERIFY(QFile::remove(given));
    // As the open dialog offers only existing files: no question, no picture, and the
    // remembered one is not loaded in its place either.
    form->UpdateTimerTimer();
    QVERIFY(form->Session().FoundLabels().empty());
    QVERIFY(!form->Timer1.isActive());
  }
};

QTEST_MAIN(TestStartPicture)
#include "tst_startpicture.moc"
