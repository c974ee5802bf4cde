// DownloadFile and FileSizeText against a real HTTP server on 127.0.0.1.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <memory>

#include "core/base/error.h"
#include "support/grid_builder.h"
#include "support/http_test_server.h"
#include "support/qt_helpers.h"
#include "util/download.h"
#include "util/file_size.h"

using namespace qv;
using namespace qv::test;

namespace {

QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7) % 251);
  return bytes;
}

}  // namespace

class TestDownload : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempDir> mDir;
  std::unique_ptr<HttpTestServer> mServer;

  QString Local(const QString& name) const {
    return QString::fromStdString(mDir->File(name.toStdString()));
  }

 private slots:
  void init() {
    mDir = std::make_unique<TempDir>();
    mServer = std::make_unique<HttpTestServer>();
  }
  void cleanup() {
    mServer.reset();
    mDir.reset();
  }

  void bodyArrivesWhole_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("one byte") << 1;
    QTest::newRow("one byte short of a chunk") << 1023;
    QTest::newRow("exactly one chunk") << 1024;
    QTest::newRow("one byte into the second chunk") << 1025;
    QTest::newRow("many chunks over several packets") << 300000;
  }
  void bodyArrivesWhole() {
    QFETCH(int, size);
    const QByteArray body = Pattern(size);
    mServer->Serve("/f.bin", body);
    Write(Local("f.bin"), "an older and longer file that must not leave a tail behind");
    QVERIFY(DownloadFile(mServer->Url("/f.bin"), Local("f.bin")));
    QCOMPARE(Contents(Local("f.bin")), body);
  }

  void errorPageCountsAsContent() {
    mServer->Serve("/missing.ini", "<html>404 Not Found</html>", 404);
    QVERIFY(DownloadFile(mServer->Url("/missing.ini"), Local("d.ini")));
    QCOMPARE(Contents(Local("d.ini")), QByteArray("<html>404 Not Found</html>"));
  }

  void emptyBodyIsNoDownload() {
    mServer->Serve("/empty", "");
    QCOMPARE(Download(mServer->Url("/empty"), Local("e")), DownloadOutcome::Empty);
    QCOMPARE(Contents(Local("e")), QByteArray());
  }

  void agentNameIsTheProgramsFileNameUnlessGiven() {
    mServer->Serve("/a", "x");
    QVERIFY(DownloadFile(mServer->Url("/a"), Local("a")));
    QCOMPARE(mServer->LastAgent(), QByteArray("tst_download"));
    DownloadOptions options;
    options.agent = "quorvane";
    QVERIFY(DownloadFile(mServer->Url("/a"), Local("a"), options));
    QCOMPARE(mServer->LastAgent(), QByteArray("quorvane"));
  }

  void unreachableServerLeavesTheLocalFileAlone() {
    Write(Local("kept"), "old");
    QElapsedTimer clock;
    clock.start();
    const QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(HttpTestServer::ClosedPort());
    QVERIFY(!DownloadFile(url, Local("kept")));
    QVERIFY2(clock.elapsed() < 3000, "a refused connection must not wait for the time-out");
    QCOMPARE(Contents(Local("kept")), QByteArray("old"));
  }

  void onlyWebUrlsAreFetched_data() {
    QTest::addColumn<QString>("url");
    // A local file must never pass for a download.
    QTest::newRow("file scheme") << "file:///etc/hostname";
    QTest::newRow("ftp scheme") << "ftp://127.0.0.1/x";
    QTest::newRow("no scheme") << "127.0.0.1/x";
    QTest::newRow("no host") << "http:///x";
    // The reserved domain is given up without asking a name server.
    QTest::newRow("host under .invalid") << "http://updates.quorvane.invalid/x";
    QTest::newRow(".invalid with a final dot") << "http://updates.INVALID./x";
  }
  void onlyWebUrlsAreFetched() {
    QFETCH(QString, url);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!DownloadFile(url, Local("n")));
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!QFileInfo::exists(Local("n")));
    QCOMPARE(mServer->TotalRequests(), 0);
  }

  void stalledServerIsCutOffAtTheTimeOut() {
    mServer->Stall("/slow");
    DownloadOptions options;
    options.timeoutMs = 300;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!DownloadFile(mServer->Url("/slow"), Local("s"), options));
    QVERIFY(clock.elapsed() >= 250);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(mServer->Requests("/slow"), 1);
  }

  void bodyBeyondTheLimitIsCutOffAndLeavesNothing() {
    mServer->Serve("/big", Pattern(5000));
    DownloadOptions options;
    options.maxBytes = 4999;
    QCOMPARE(Download(mServer->Url("/big"), Local("b"), options), DownloadOutcome::TooLarge);
    QVERIFY(!QFileInfo::exists(Local("b")));
    options.maxBytes = 5000;
    QCOMPARE(Download(mServer->Url("/big"), Local("b"), options), DownloadOutcome::Done);
    QCOMPARE(Contents(Local("b")), Pattern(5000));
  }

  void endlessBodyEndsAtTheWallTimeNotAtSilence() {
    // Data keeps arriving, so only a limit on the whole time can end it.
    mServer->Endless("/endless");
    DownloadOptions options;
    options.timeoutMs = 400;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Download(mServer->Url("/endless"), Local("e"), options), DownloadOutcome::TimedOut);
    QVERIFY(clock.elapsed() >= 350);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!QFileInfo::exists(Local("e")));
  }

  void endlessHeadersEndAtTheWallTime() {
    // The time limit covers the whole exchange, headers included.
    mServer->EndlessHeaders("/headers");
    DownloadOptions options;
    options.timeoutMs = 400;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Download(mServer->Url("/headers"), Local("h"), options), DownloadOutcome::TimedOut);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!QFileInfo::exists(Local("h")));
  }

  void redirectsAreFollowedOnlyOnTheSameHost() {
    mServer->Serve("/real", "content");
    mServer->Redirect("/here", "/real");
    QVERIFY(DownloadFile(mServer->Url("/here"), Local("r")));
    QCOMPARE(Contents(Local("r")), QByteArray("content"));
    // "localhost" reaches the same server, but it is another host name.
    mServer->Redirect("/away", QStringLiteral("http://localhost:%1/real").arg(mServer->Port()));
    QCOMPARE(Download(mServer->Url("/away"), Local("a")), DownloadOutcome::Failed);
    QVERIFY(!QFileInfo::exists(Local("a")));
    mServer->Redirect("/file", "file:///etc/hostname");
    QCOMPARE(Download(mServer->Url("/file"), Local("f")), DownloadOutcome::Failed);
    QCOMPARE(mServer->Requests("/real"), 1);
    // A chain of redirects ends as a failure, not as a hang, and no more than five are
    // followed. Each step has a path of its own, so the count of requests (which Qt repeats on
    // a connection the server closed) does not matter: the sixth step is never asked for.
    for (int step = 0; step < 10; ++step) {
      mServer->Redirect(QStringLiteral("/chain%1").arg(step),
                        QStringLiteral("/chain%1").arg(step + 1));
    }
    QCOMPARE(Download(mServer->Url("/chain0"), Local("l")), DownloadOutcome::Failed);
    QVERIFY(mServer->Requests("/chain0") > 0);
    QCOMPARE(mServer->Requests("/chain6"), 0);
    QVERIFY(!QFileInfo::exists(Local("l")));
  }

  void unwritableLocalFileIsAnError() {
    mServer->Serve("/a", "abc");
    const QString target = Local("no such folder/a");
    try {
      DownloadFile(mServer->Url("/a"), target);
      QFAIL("no error for a file that cannot be created");
    } catch (const Error& e) {
      QCOMPARE(QString::fromUtf8(e.what()), "Unable to write to " + target);
    }
  }

  void fileSizeText_data() {
    QTest::addColumn<int>("size");  // -1: no file at all
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("megabytes");
    QTest::newRow("missing file") << -1 << "0"
                                  << "0";
    QTest::newRow("empty file") << 0 << "0"
                                << "0";
    QTest::newRow("1234 bytes") << 1234 << "1234"
                                << "0.001177";
    // Below 0.001 MB the exponent form takes two digits.
    QTest::newRow("10 bytes") << 10 << "10"
                              << "9.537E-06";
    QTest::newRow("one and a half megabytes") << 1572864 << "1572864"
                                              << "1.5";
  }
  void fileSizeText() {
    QFETCH(int, size);
    QFETCH(QString, bytes);
    QFETCH(QString, megabytes);
    const QString path = Local("sized");
    if (size >= 0) Write(path, QByteArray(size, 'x'));
    QCOMPARE(FileSizeText(path, true), bytes);
    QCOMPARE(FileSizeText(path, false), megabytes);
  }

  void folderHasNoFileSize() {
    QCOMPARE(FileSizeText(QString::fromStdString(mDir->Path()), true), "0");
  }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
