// The update check of the deferred start-up against a real HTTP server on 127.0.0.1: the
// descriptor, the question, the updater's download, size check and start, and every failure.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "gui/main.h"
#include "gui/update_check.h"
#include "support/grid_builder.h"
#include "support/http_test_server.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

using namespace qv;
using namespace qv::test;

namespace {

const QString kDir = "/ORB_KT/software/update/VAROLITH/version_update/";
const QString kDescriptor = "internet_version.ini";
const QString kUpdater = "varolithupdater.exe";

QByteArray Descriptor(const QByteArray& version, const QByteArray& date,
                      const QByteArray& more = {}) {
  return "[varolith]\r\nversion=" + version + "\r\ndate=" + date + "\r\n" + more;
}

QString Question(const QString& version, const QString& date) {
  return "Latest internet version:\r\r" + version + "\r" + date + "\r\rDo you want to update ?";
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace

class TestUpdateCheck : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempDir> mDir;
  std::unique_ptr<ScriptedPrompter> mPrompts;
  std::unique_ptr<RecordingShell> mShell;
  std::unique_ptr<HttpTestServer> mServer;

  QString Local(const QString& name) const {
    return QString::fromStdString(mDir->File(name.toStdString()));
  }
  QString Program() const { return Local("quorvane"); }
  std::unique_ptr<TMainForm> NewForm() {
    auto form = std::make_unique<TMainForm>(Program(), Local("user"));
    form->UpdateTimer.stop();
    return form;
  }
  void Publish(const QByteArray& descriptor, int status = 200) {
    mServer->Serve(kDir + kDescriptor, descriptor, status);
  }
  // A descriptor that offers an update with an updater of `size` announced bytes.
  void PublishUpdate(const QByteArray& updSize, const QByteArray& more = {}) {
    Publish(Descriptor("1.1.34", "1 may 2017", "upd_size=" + updSize + "\r\n" + more));
  }
  // The start-up after a check that started nothing: drops and the picture load are on, the
  // downloads are gone again.
  void VerifyGoesOn(TMainForm& form, const QString& status) {
    QCOMPARE(form.StatusPanels[7]->text(), status);
    QVERIFY(form.DropsAccepted());
    QVERIFY(form.Timer1.isActive());
    QVERIFY(!form.WWWUpdate.UpdaterStarted);
    const QStringList left = QDir(QString::fromStdString(mDir->Path()))
                                 .entryList({kDescriptor, kUpdater, "*.exe", "*.sh"}, QDir::Files);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
    QVERIFY(mShell->Programs().empty());
  }
  void VerifyStopped(TMainForm& form) {
    QVERIFY(!form.DropsAccepted());
    QVERIFY(!form.Timer1.isActive());
  }

 private slots:
  void init() {
    mDir = std::make_unique<TempDir>();
    mPrompts = std::make_unique<ScriptedPrompter>();
    mShell = std::make_unique<RecordingShell>();
    mServer = std::make_unique<HttpTestServer>();
    qputenv(kUpdateUrlVariable, mServer->Url(kDir).toUtf8());
  }
  void cleanup() {
    QV_VERIFY_PROMPTS(*mPrompts);
    qunsetenv(kUpdateUrlVariable);
    mServer.reset();
    mShell.reset();
    mPrompts.reset();
    mDir.reset();
  }

  void recordStartsWithTheBuiltInValues() {
    auto form = NewForm();
    const WWWUpdateRec& rec = form->WWWUpdate;
    QVERIFY(rec.Enabled && !rec.UpdaterStarted && !rec.DescriptorFetched);
    QCOMPARE(rec.UpdSize, 0);
    QCOMPARE(rec.URL, mServer->Url(kDir));
    QCOMPARE(rec.Updater, kUpdater);
    QCOMPARE(rec.DescriptorFile, kDescriptor);
    QCOMPARE(form->StatusPanels[7]->text(), QString("no WWW update check"));
    qunsetenv(kUpdateUrlVariable);
    QVERIFY(WWWUpdateRec{}.URL.endsWith(kDir));
  }

  void unchangedVersionGoesOnWithoutAQuestion() {
    Publish(Descriptor("1.1.33", "8 december 2016", "prog_size=2000000\r\nman_size=$10\r\n"));
    auto form = NewForm();
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "WWW checked");
    QVERIFY(form->WWWUpdate.DescriptorFetched);
    QCOMPARE(form->WWWUpdate.ProgSize, 2000000);
    QCOMPARE(form->WWWUpdate.ManSize, 16);
    QCOMPARE(mServer->Paths(), QStringList{kDir + kDescriptor});
    QCOMPARE(mServer->LastAgent(), QByteArray("quorvane"));
  }

  void otherPublishedTextsAskAndNoGoesOn_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("question");
    QTest::newRow("same version, other date")
        << Descriptor("1.1.33", "9 december 2016") << 200 << Question("1.1.33", "9 december 2016");
    // There is no ordering: an older published version is offered as well.
    QTest::newRow("older version")
        << Descriptor("1.1.32", "8 december 2016") << 200 << Question("1.1.32", "8 december 2016");
    QTest::newRow("letter case differs")
        << Descriptor("1.1.33", "8 December 2016") << 200 << Question("1.1.33", "8 December 2016");
    // The server's error page is fetched content, but no descriptor: empty lines.
    QTest::newRow("error page") << QByteArray("<html><body>404 Not Found</body></html>") << 404
                                << Question("", "");
    QTest::newRow("descriptor of another section")
        << QByteArray("[other]\r\nversion=1.1.33\r\ndate=8 december 2016\r\n") << 200
        << Question("", "");
  }
  void otherPublishedTextsAskAndNoGoesOn() {
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, question);
    Publish(body, status);
    mServer->Serve(kDir + kUpdater, QByteArray(10, 'u'));
    auto form = NewForm();
    mPrompts->ExpectConfirm(question, false);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "WWW checked");
    QCOMPARE(mServer->Requests(kDir + kUpdater), 0);
  }

  void updaterOfTheAnnouncedSizeStartsAndTheWindowCloses() {
    PublishUpdate("1234");
    mServer->Serve(kDir + kUpdater, QByteArray(1234, 'u'));
    auto form = NewForm();
    form->show();
    mPrompts->ExpectConfirm(Question("1.1.34", "1 may 2017"), true);
    bool pumped = false;
    QTimer::singleShot(50, [&pumped] { pumped = true; });
    QElapsedTimer clock;
    clock.start();
    form->UpdateTimerTimer();
    // The updater is given half a second while the window keeps handling events.
    QVERIFY(clock.elapsed() >= 500);
    QVERIFY(pumped);

    QCOMPARE(mShell->Programs().size(), std::size_t{1});
    QCOMPARE(mShell->Programs()[0].program, Local(kUpdater));
    QCOMPARE(mShell->Programs()[0].arguments, QStringList{kDescriptor});
    QVERIFY(QFileInfo(Local(kUpdater)).isExecutable());
    QCOMPARE(QFileInfo(Local(kUpdater)).size(), qint64{1234});
    QVERIFY(form->WWWUpdate.UpdaterStarted);
    QVERIFY(!form->isVisible());
    VerifyStopped(*form);
    // Closing saved the settings.
    QVERIFY(QFileInfo::exists(Local("quorvane.INI")));
  }

  void updaterReallyRunsWithItsOneArgument() {
    // The real shell: the script proves it ran, with how many arguments and which; the space in
    // its name would split it apart if a command line went through a shell.
    mShell.reset();
    const QString marker = Local("marker");
    const QByteArray script =
        "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + QFile::encodeName(marker) + "'\n";
    PublishUpdate(QByteArray::number(script.size()), "Updater=fresh updater.sh\r\n");
    mServer->Serve(kDir + "fresh%20updater.sh", script);
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QVERIFY(form->WWWUpdate.UpdaterStarted);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 5000);
    QFile file(marker);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("1|internet_version.ini"));
  }

  void updaterOfAnotherSizeFailsAndGoesOn() {
    PublishUpdate("1235");
    mServer->Serve(kDir + kUpdater, QByteArray(1234, 'u'));
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "update failed");
    QCOMPARE(mServer->Requests(kDir + kUpdater), 1);
  }

  void updaterThatDoesNotStartFailsAndGoesOn() {
    PublishUpdate("4");
    mServer->Serve(kDir + kUpdater, "abcd");
    mShell->SetStartResult(false);
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QCOMPARE(form->StatusPanels[7]->text(), QString("update failed"));
    QVERIFY(form->DropsAccepted() && form->Timer1.isActive());
    QVERIFY(!form->WWWUpdate.UpdaterStarted);
    QVERIFY(!QFileInfo::exists(Local(kUpdater)));
  }

  void emptyUpdaterDownloadGoesOnWithoutAMessage_data() {
    QTest::addColumn<int>("status");
    QTest::newRow("empty body") << 200;
    QTest::newRow("empty error reply") << 404;
  }
  void emptyUpdaterDownloadGoesOnWithoutAMessage() {
    QFETCH(int, status);
    PublishUpdate("0");
    mServer->Serve(kDir + kUpdater, "", status);
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "WWW checked");
  }

  void switchedOffTouchesNoNetworkButCleansUp() {
    Write(Local("quorvane.INI"), "[program]\r\nwwwupdate=false\r\n");
    Write(Local(kDescriptor), "[varolith]\r\nupd_size=x\r\n");
    Write(Local(kUpdater), "left over");
    Publish(Descriptor("1.1.34", "1 may 2017"));
    auto form = NewForm();
    QVERIFY(!form->WWWUpdate.Enabled);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "WWW not checked");
    QCOMPARE(mServer->TotalRequests(), 0);
  }

  void nothingFetchedCountsAsNotChecked_data() {
    QTest::addColumn<int>("status");  // 0: nothing listens on the port
    QTest::newRow("empty body") << 200;
    QTest::newRow("empty error reply") << 500;
    QTest::newRow("unreachable port") << 0;
  }
  void nothingFetchedCountsAsNotChecked() {
    QFETCH(int, status);
    if (status == 0) {
      const QString closed =
          QStringLiteral("http://127.0.0.1:%1%2").arg(HttpTestServer::ClosedPort()).arg(kDir);
      qputenv(kUpdateUrlVariable, closed.toUtf8());
    } else {
      Publish("", status);
    }
    auto form = NewForm();
    QElapsedTimer clock;
    clock.start();
    form->UpdateTimerTimer();
    QVERIFY2(clock.elapsed() < 3000, "a refused connection must not hold up the start-up");
    VerifyGoesOn(*form, "WWW not checked");
    QVERIFY(!form->WWWUpdate.DescriptorFetched);
  }

  void sizeKeyThatIsNoIntegerStopsTheStartUp_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("upd_size with letters")
        << QByteArray("upd_size=12a") << "'12a' is not a valid integer value";
    QTest::newRow("prog_size with a fraction")
        << QByteArray("prog_size=1.5") << "'1.5' is not a valid integer value";
    QTest::newRow("man_size present but empty")
        << QByteArray("man_size=") << "'' is not a valid integer value";
    QTest::newRow("upd_size beyond 32 bits")
        << QByteArray("upd_size=4294967296") << "'4294967296' is not a valid integer value";
  }
  void sizeKeyThatIsNoIntegerStopsTheStartUp() {
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    Publish(Descriptor("1.1.34", "1 may 2017", line + "\r\n"));
    auto form = NewForm();
    mPrompts->ExpectError(message);
    form->UpdateTimerTimer();
    VerifyStopped(*form);
    QCOMPARE(form->StatusPanels[7]->text(), QString("WWW checked"));
    QVERIFY(mShell->Programs().empty());
  }

  void localFileThatCannotBeWrittenStopsTheStartUp() {
    QVERIFY(QDir(QString::fromStdString(mDir->Path())).mkdir(kDescriptor));
    Publish(Descriptor("1.1.33", "8 december 2016"));
    auto form = NewForm();
    mPrompts->ExpectError("Unable to write to " + Local(kDescriptor));
    form->UpdateTimerTimer();
    VerifyStopped(*form);
  }

  void unsafeUpdaterNameCountsAsNotGiven_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("parent folder") << QByteArray("../x");
    QTest::newRow("absolute path") << QByteArray("/tmp/x");
    QTest::newRow("backslash parent") << QByteArray("..\\x");
    QTest::newRow("sub-folder") << QByteArray("sub/x");
    QTest::newRow("the parent itself") << QByteArray("..");
    QTest::newRow("drive-relative") << QByteArray("C:x");
    QTest::newRow("blank") << QByteArray("   ");
  }
  void unsafeUpdaterNameCountsAsNotGiven() {
    QFETCH(QByteArray, name);
    PublishUpdate("5", "Updater=" + name + "\r\n");
    mServer->Serve(kDir + kUpdater, "12345");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QCOMPARE(form->WWWUpdate.Updater, kUpdater);
    QCOMPARE(mServer->Paths(), (QStringList{kDir + kDescriptor, kDir + kUpdater}));
    QCOMPARE(mShell->Programs().size(), std::size_t{1});
    QCOMPARE(mShell->Programs()[0].program, Local(kUpdater));
  }

  void descriptorUrlMovesTheUpdaterDownload_data() {
    QTest::addColumn<bool>("web");  // the URL key names another folder of the server
    QTest::addColumn<QString>("expected");
    QTest::newRow("another web folder") << true << "/mirror/";
    // A local file must not pass for a download that is then run.
    QTest::newRow("local file URL ignored") << false << kDir;
  }
  void descriptorUrlMovesTheUpdaterDownload() {
    QFETCH(bool, web);
    QFETCH(QString, expected);
    const QString url =
        web ? mServer->Url("/mirror/") : QString("file://") + mDir->Path().c_str() + "/";
    PublishUpdate("3", "URL=" + url.toUtf8() + "\r\n");
    mServer->Serve(expected + kUpdater, "abc");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QCOMPARE(mServer->Requests(expected + kUpdater), 1);
    QVERIFY(form->WWWUpdate.UpdaterStarted);
  }

  void checkWorksWithoutTheWindow() {
    // The narrow interface alone: status texts in order, no close without an updater.
    Publish(Descriptor("1.1.33", "8 december 2016"));
    WWWUpdateRec rec;
    QStringList statuses;
    int closes = 0;
    const UpdateWindow window{Program(), QString::fromStdString(mDir->Path()),
                              [&statuses](const QString& text) { statuses.append(text); },
                              [&closes] { ++closes; }};
    QVERIFY(!UpdateCheck(rec, window));
    QCOMPARE(statuses, QStringList{"WWW checked"});
    QCOMPARE(closes, 0);
    QCOMPARE(rec.Version, QString("1.1.33"));
  }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
