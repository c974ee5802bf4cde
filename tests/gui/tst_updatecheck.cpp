// The update check of the deferred start-up against a real HTTP server on 127.0.0.1: the
// descriptor, the question, the updater's download, size and signature check and start, and
// every failure -- and that nothing the server sends reaches a file of the program or the user.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMap>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <memory>

#include "gui/main_window.h"
#include "gui/update_check.h"
#include "support/grid_builder.h"
#include "support/http_test_server.h"
#include "support/qt_helpers.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/signing_key.h"
#include "support/window_test.h"

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

}  // namespace

class TestUpdateCheck : public WindowTest {
  Q_OBJECT

 private:
  std::unique_ptr<HttpTestServer> mServer;
  SigningKey mKey;

  QString Cache() const { return Local("cache"); }
  std::unique_ptr<TMainForm> NewForm() {
    auto form = WindowTest::NewForm();
    form->UpdateDownloadParent = Cache();
    form->UpdatePublicKey = mKey.PublicKey();
    return form;
  }
  void Publish(const QByteArray& descriptor, int status = 200) {
    mServer->Serve(kDir + kDescriptor, descriptor, status);
  }
  // A descriptor that offers an update with an updater of `size` announced bytes.
  void PublishUpdate(const QByteArray& updSize, const QByteArray& more = {}) {
    Publish(Descriptor("1.1.34", "1 may 2017", "upd_size=" + updSize + "\r\n" + more));
  }
  // An update whose updater `bytes` is served under `name`, announced and signed correctly.
  void PublishSigned(const QByteArray& bytes, const QByteArray& more = {},
                     const QString& path = kDir + kUpdater) {
    mServer->Serve(path, bytes);
    PublishUpdate(QByteArray::number(bytes.size()), "upd_sig=" + mKey.Sign(bytes) + "\r\n" + more);
  }
  // The private download folders the checks left behind in the cache.
  QStringList LeftInCache() const {
    QStringList left;
    QDirIterator it(Cache(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) left.append(it.next());
    return left;
  }
  // The program's folder as the test laid it out, file by file with contents.
  QMap<QString, QByteArray> ProgramFolderFiles() const {
    QMap<QString, QByteArray> files;
    QDir dir(QString::fromStdString(mDir->Path()));
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
      QFile file(dir.filePath(name));
      if (file.open(QIODevice::ReadOnly)) files.insert(name, file.readAll());
    }
    return files;
  }
  // The start-up after a check that started nothing: drops and the picture load are on, the
  // downloads are gone again, nothing was started.
  void VerifyGoesOn(TMainForm& form, const QString& status) {
    QCOMPARE(StatusPanels(form)[7]->text(), status);
    QVERIFY(form.DropsAccepted());
    QVERIFY(form.Timer1.isActive());
    QVERIFY(!form.WWWUpdate.UpdaterStarted);
    QVERIFY2(LeftInCache().isEmpty(), qPrintable(LeftInCache().join(", ")));
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
    WindowTest::init();
    mServer = std::make_unique<HttpTestServer>();
    qputenv(kUpdateUrlVariable, mServer->Url(kDir).toUtf8());
  }
  void cleanup() {
    qunsetenv(kUpdateUrlVariable);
    mServer.reset();
    WindowTest::cleanup();
  }

  void recordStartsWithTheBuiltInValues() {
    auto form = NewForm();
    const WWWUpdateRec& rec = form->WWWUpdate;
    QVERIFY(rec.Enabled && !rec.UpdaterStarted && !rec.DescriptorFetched);
    QCOMPARE(rec.UpdSize, 0);
    QCOMPARE(rec.URL, mServer->Url(kDir));
    QCOMPARE(rec.Updater, kUpdater);
    QCOMPARE(rec.DescriptorFile, kDescriptor);
    QCOMPARE(StatusPanels(*form)[7]->text(), QString("no WWW update check"));
    qunsetenv(kUpdateUrlVariable);
    QVERIFY(WWWUpdateRec{}.URL.endsWith(kDir));
    // The window's own defaults: the user's cache folder, and the key the build was made with.
    TMainForm plain(Program(), Local("user"));
    plain.UpdateTimer.stop();
    QCOMPARE(plain.UpdateDownloadParent,
             QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    QCOMPARE(plain.UpdatePublicKey, BuiltInUpdateKey());
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

  void signedUpdaterOfTheAnnouncedSizeStartsFromItsPrivateFolder() {
    const QByteArray updater(1234, 'u');
    PublishSigned(updater);
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
    const StartedProgram& started = mShell->Programs()[0];
    // Started from a fresh folder in the cache, owner-only, with the descriptor beside it.
    const QFileInfo program(started.program);
    QCOMPARE(program.fileName(), kUpdater);
    QCOMPARE(program.absolutePath(), QFileInfo(started.workingFolder).absoluteFilePath());
    QCOMPARE(QFileInfo(program.absolutePath()).absolutePath(), Cache());
    QVERIFY(program.fileName().size() > 0 && program.isExecutable());
    QCOMPARE(program.size(), qint64{1234});
    QCOMPARE(QFileInfo(program.absolutePath()).permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(QFileInfo(QDir(started.workingFolder).filePath(kDescriptor)).isFile());
    QCOMPARE(started.arguments, QStringList{kDescriptor});
    QVERIFY(form->WWWUpdate.UpdaterStarted);
    QVERIFY(!form->isVisible());
    VerifyStopped(*form);
    // Nothing was written beside the program but the settings, which closing saved.
    QVERIFY(!QFileInfo::exists(Local(kUpdater)));
    QVERIFY(!QFileInfo::exists(Local(kDescriptor)));
    QVERIFY(QFileInfo::exists(Local("quorvane.INI")));
  }

  void updaterReallyRunsWithItsOneArgumentInItsFolder() {
    // The real shell: the script proves it ran, with how many arguments, which, and where; the
    // space in its name would split it apart if a command line went through a shell.
    mShell.reset();
    const QString marker = Local("marker");
    const QByteArray script = "#!/bin/sh\nprintf '%s|%s|%s' \"$#\" \"$1\" \"$(pwd)\" > '" +
                              QFile::encodeName(marker) + "'\n";
    PublishSigned(script, "Updater=fresh updater.sh\r\n", kDir + "fresh%20updater.sh");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QVERIFY(form->WWWUpdate.UpdaterStarted);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 5000);
    QFile file(marker);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> parts = file.readAll().split('|');
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts[0], QByteArray("1"));
    QCOMPARE(parts[1], QByteArray("internet_version.ini"));
    QCOMPARE(QFileInfo(QString::fromUtf8(parts[2])).absolutePath(), Cache());
  }

  void onlyAnAuthenticUpdaterStarts_data() {
    QTest::addColumn<QByteArray>("signature");  // "@" signs the bytes with the test key
    QTest::addColumn<bool>("keyInBuild");
    QTest::newRow("no signature in the descriptor") << QByteArray() << true;
    QTest::newRow("signature of other bytes") << QByteArray("other") << true;
    QTest::newRow("signature that is no base64") << QByteArray("@@@not base64@@@") << true;
    QTest::newRow("signature of another key") << QByteArray("foreign") << true;
    QTest::newRow("a build without a key") << QByteArray("@") << false;
  }
  void onlyAnAuthenticUpdaterStarts() {
    QFETCH(QByteArray, signature);
    QFETCH(bool, keyInBuild);
    const QByteArray updater(300, 'u');
    QByteArray sig;
    if (signature == "@") {
      sig = mKey.Sign(updater);
    } else if (signature == "other") {
      sig = mKey.Sign(QByteArray(300, 'v'));
    } else if (signature == "foreign") {
      sig = SigningKey().Sign(updater);
    } else {
      sig = signature;
    }
    mServer->Serve(kDir + kUpdater, updater);
    PublishUpdate("300", sig.isEmpty() ? QByteArray() : "upd_sig=" + sig + "\r\n");
    auto form = NewForm();
    if (!keyInBuild) form->UpdatePublicKey.clear();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "update failed");
  }

  void serverNamesNoFileOfTheProgramOrTheUser_data() {
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("name");
    for (const char* name : {"quorvane", "properties.ini", "section.bmp", "quorvane.INI"}) {
      QTest::addRow("%s, same version", name) << QByteArray("1.1.33") << false << name;
      QTest::addRow("%s, update taken", name) << QByteArray("1.1.34") << true << name;
    }
  }
  void serverNamesNoFileOfTheProgramOrTheUser() {
    QFETCH(QByteArray, version);
    QFETCH(bool, yes);
    QFETCH(QString, name);
    Write(Local("quorvane"), "the program");
    Write(Local("properties.ini"), "[properties]\r\nn=0\r\n");
    Write(Local("section.bmp"), "the user's picture");
    const QByteArray updater = "#!/bin/sh\nexit 0\n";
    mServer->Serve(kDir + name, updater);
    Publish(Descriptor(version, "8 december 2016",
                       "Updater=" + name.toUtf8() +
                           "\r\nupd_size=" + QByteArray::number(updater.size()) + "\r\n"));
    auto form = NewForm();
    if (yes) mPrompts->ExpectConfirm(kAnyText, true);
    const QMap<QString, QByteArray> before = ProgramFolderFiles();
    form->UpdateTimerTimer();
    form->close();
    // Closing writes the settings and the library, as at every close; nothing else changed.
    QMap<QString, QByteArray> after = ProgramFolderFiles();
    after.remove("quorvane.INI");
    QMap<QString, QByteArray> expected = before;
    expected.remove("quorvane.INI");
    expected["properties.ini"] = after.value("properties.ini");
    QCOMPARE(after, expected);
    QCOMPARE(after.value("quorvane"), QByteArray("the program"));
    QCOMPARE(after.value("section.bmp"), QByteArray("the user's picture"));
    QVERIFY(mShell->Programs().empty());  // unsigned: never started
  }

  void updaterOfAnotherSizeFailsAndGoesOn() {
    const QByteArray updater(1234, 'u');
    mServer->Serve(kDir + kUpdater, updater);
    PublishUpdate("1235", "upd_sig=" + mKey.Sign(updater) + "\r\n");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "update failed");
    QCOMPARE(mServer->Requests(kDir + kUpdater), 1);
  }

  void updaterLargerThanAnnouncedIsCutOffAndFails() {
    // An endless body announced as 1000 bytes: reading stops after them.
    mServer->Endless(kDir + kUpdater);
    PublishUpdate("1000", "upd_sig=" + mKey.Sign(QByteArray(1000, 'e')) + "\r\n");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    QElapsedTimer clock;
    clock.start();
    form->UpdateTimerTimer();
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    VerifyGoesOn(*form, "update failed");
  }

  void announcedSizesOutOfBoundsFetchNothing_data() {
    QTest::addColumn<QByteArray>("size");
    QTest::newRow("nothing announced") << QByteArray("0");
    QTest::newRow("negative") << QByteArray("-5");
    QTest::newRow("beyond 256 MiB") << QByteArray("268435457");
  }
  void announcedSizesOutOfBoundsFetchNothing() {
    QFETCH(QByteArray, size);
    PublishUpdate(size, "upd_sig=" + mKey.Sign("x") + "\r\n");
    mServer->Serve(kDir + kUpdater, "x");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "update failed");
    QCOMPARE(mServer->Requests(kDir + kUpdater), 0);
  }

  void updaterThatDoesNotStartFailsAndGoesOn() {
    PublishSigned("abcd");
    mShell->SetStartResult(false);
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QCOMPARE(StatusPanels(*form)[7]->text(), QString("update failed"));
    QVERIFY(form->DropsAccepted() && form->Timer1.isActive());
    QVERIFY(!form->WWWUpdate.UpdaterStarted);
    QVERIFY(LeftInCache().isEmpty());
  }

  void emptyUpdaterDownloadGoesOnWithoutAMessage_data() {
    QTest::addColumn<int>("status");
    QTest::newRow("empty body") << 200;
    QTest::newRow("empty error reply") << 404;
  }
  void emptyUpdaterDownloadGoesOnWithoutAMessage() {
    QFETCH(int, status);
    PublishUpdate("5", "upd_sig=" + mKey.Sign("12345") + "\r\n");
    mServer->Serve(kDir + kUpdater, "", status);
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "WWW checked");
  }

  void switchedOffTouchesNoNetworkAndNoFile() {
    Write(Local("quorvane.INI"), "[program]\r\nwwwupdate=false\r\n");
    // Files of these names beside the program are the user's: the check leaves them alone.
    Write(Local(kDescriptor), "[varolith]\r\nupd_size=x\r\n");
    Write(Local(kUpdater), "left over");
    Publish(Descriptor("1.1.34", "1 may 2017"));
    auto form = NewForm();
    QVERIFY(!form->WWWUpdate.Enabled);
    form->UpdateTimerTimer();
    QCOMPARE(StatusPanels(*form)[7]->text(), QString("WWW not checked"));
    QVERIFY(form->DropsAccepted() && form->Timer1.isActive());
    QCOMPARE(mServer->TotalRequests(), 0);
    QVERIFY(!QFileInfo::exists(Cache()));
    QFile left(Local(kUpdater));
    QVERIFY(left.open(QIODevice::ReadOnly));
    QCOMPARE(left.readAll(), QByteArray("left over"));
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

  void hugeDescriptorIsNoDescriptorAndLeavesNothing() {
    Publish(Descriptor("1.1.34", "1 may 2017", QByteArray(70 * 1024, ';')));
    auto form = NewForm();
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, "WWW not checked");
  }

  void endlessDescriptorStopsAtItsSizeLimitAndLeavesNothing() {
    mServer->Endless(kDir + kDescriptor);
    WWWUpdateRec rec;
    QStringList statuses;
    UpdateWindow window;
    window.programPath = Program();
    window.downloadParent = Cache();
    window.setStatus = [&statuses](const QString& text) { statuses.append(text); };
    window.close = [] {};
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!UpdateCheck(rec, window));
    // The 64 KiB limit ends it long before the time limit would.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(statuses, QStringList{"WWW not checked"});
    QVERIFY(LeftInCache().isEmpty());
  }

  void slowDescriptorIsCutAtTheWallTimeWhileEventsRun() {
    mServer->Stall(kDir + kDescriptor);
    WWWUpdateRec rec;
    QStringList statuses;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);
    UpdateWindow window;
    window.programPath = Program();
    window.downloadParent = Cache();
    window.setStatus = [&statuses](const QString& text) { statuses.append(text); };
    window.close = [] {};
    window.timeoutMs = 600;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!UpdateCheck(rec, window));
    QVERIFY(clock.elapsed() >= 550);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(statuses, QStringList{"WWW not checked"});
    QVERIFY2(ticks >= 10, "the window must keep handling its events while it waits");
    QVERIFY(LeftInCache().isEmpty());
  }

  void redirectsStayOnTheSameHost_data() {
    QTest::addColumn<QString>("target");  // where the descriptor path redirects to
    QTest::addColumn<bool>("followed");
    QTest::newRow("same host, other path") << "/moved/" + kDescriptor << true;
    QTest::newRow("another host") << "http://localhost:%1/moved/" + kDescriptor << false;
    QTest::newRow("a local file") << "file:///etc/hostname" << false;
  }
  void redirectsStayOnTheSameHost() {
    QFETCH(QString, target);
    QFETCH(bool, followed);
    if (target.contains("%1")) target = target.arg(mServer->Port());
    mServer->Redirect(kDir + kDescriptor, target);
    mServer->Serve("/moved/" + kDescriptor, Descriptor("1.1.33", "8 december 2016"));
    auto form = NewForm();
    form->UpdateTimerTimer();
    VerifyGoesOn(*form, followed ? "WWW checked" : "WWW not checked");
    QCOMPARE(mServer->Requests("/moved/" + kDescriptor), followed ? 1 : 0);
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
    QCOMPARE(StatusPanels(*form)[7]->text(), QString("WWW checked"));
    QVERIFY(mShell->Programs().empty());
    QVERIFY(LeftInCache().isEmpty());
  }

  void downloadFolderThatCannotBeMadeStopsTheStartUp() {
    Write(Local("cache"), "a file where the cache folder should be");
    Publish(Descriptor("1.1.33", "8 december 2016"));
    auto form = NewForm();
    mPrompts->ExpectError("Unable to write to " + Cache());
    form->UpdateTimerTimer();
    VerifyStopped(*form);
    QCOMPARE(mServer->TotalRequests(), 0);
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
    PublishSigned("12345", "Updater=" + name + "\r\n");
    auto form = NewForm();
    mPrompts->ExpectConfirm(kAnyText, true);
    form->UpdateTimerTimer();
    QCOMPARE(form->WWWUpdate.Updater, kUpdater);
    QCOMPARE(mServer->Paths(), (QStringList{kDir + kDescriptor, kDir + kUpdater}));
    QCOMPARE(mShell->Programs().size(), std::size_t{1});
    QCOMPARE(QFileInfo(mShell->Programs()[0].program).fileName(), kUpdater);
    QCOMPARE(QFileInfo(QFileInfo(mShell->Programs()[0].program).absolutePath()).absolutePath(),
             Cache());
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
    PublishSigned("abc", "URL=" + url.toUtf8() + "\r\n", expected + kUpdater);
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
    UpdateWindow window;
    window.programPath = Program();
    window.downloadParent = Cache();
    window.setStatus = [&statuses](const QString& text) { statuses.append(text); };
    window.close = [&closes] { ++closes; };
    QVERIFY(!UpdateCheck(rec, window));
    QCOMPARE(statuses, QStringList{"WWW checked"});
    QCOMPARE(closes, 0);
    QCOMPARE(rec.Version, QString("1.1.33"));
    QVERIFY(LeftInCache().isEmpty());
  }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
