// A tiny HTTP server on 127.0.0.1 for the update check's tests: serves given bodies with given
// status codes, counts requests per path and remembers the agent names it was sent.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

namespace qv::test {

class HttpTestServer : public QObject {
 public:
  /// Listens on a free port of 127.0.0.1 at once.
  HttpTestServer();
  ~HttpTestServer() override;

  quint16 Port() const { return mServer.serverPort(); }
  /// "http://127.0.0.1:<port>" + `path` (`path` begins with "/").
  QString Url(const QString& path) const;

  /// Answers GET `path` with `status` and `body`. Paths not served get 404 with a short page.
  void Serve(const QString& path, const QByteArray& body, int status = 200);
  /// Reads requests for `path` but never answers them (a server that hangs).
  void Stall(const QString& path);
  /// Answers GET `path` with `status` (a redirect) to `location`.
  void Redirect(const QString& path, const QString& location, int status = 302);
  /// Answers GET `path` with a body that never ends (no length, data as fast as it is taken).
  void Endless(const QString& path);
  /// Answers GET `path` with a status line and then header lines that never end.
  void EndlessHeaders(const QString& path);

  /// How many requests asked for `path`.
  int Requests(const QString& path) const { return mCounts.value(path); }
  int TotalRequests() const { return mTotal; }
  /// The paths asked for, in order.
  const QStringList& Paths() const { return mPaths; }
  /// The User-Agent header of the latest request.
  const QByteArray& LastAgent() const { return mLastAgent; }

  /// A port of 127.0.0.1 on which nothing listens (it was free a moment ago).
  static quint16 ClosedPort();

 private:
  struct Answer {
    int status = 200;
    QByteArray body;
    bool stall = false;
    QByteArray location;
    bool endless = false;
    bool endlessHeaders = false;
  };

  void Accept();
  void Read(QTcpSocket* socket);
  void Feed(QTcpSocket* socket, const QByteArray& chunk);

  QTcpServer mServer;
  QHash<QString, Answer> mAnswers;
  QHash<QString, int> mCounts;
  QHash<QTcpSocket*, QByteArray> mPending;
  QStringList mPaths;
  QByteArray mLastAgent;
  int mTotal = 0;
};

}  // namespace qv::test
