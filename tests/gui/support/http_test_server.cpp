// HttpTestServer: one request per connection, answered with Connection: close.
#include "support/http_test_server.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

namespace qv::test {
namespace {

QByteArray Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

}  // namespace

HttpTestServer::HttpTestServer() {
  connect(&mServer, &QTcpServer::newConnection, this, &HttpTestServer::Accept);
  if (!mServer.listen(QHostAddress::LocalHost, 0)) {
    QTest::qFail("the test server cannot listen on 127.0.0.1", __FILE__, __LINE__);
  }
}

HttpTestServer::~HttpTestServer() { mServer.close(); }

QString HttpTestServer::Url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path);
}

void HttpTestServer::Serve(const QString& path, const QByteArray& body, int status) {
  mAnswers.insert(path, Answer{status, body, false, {}, false});
}

void HttpTestServer::Stall(const QString& path) {
  mAnswers.insert(path, Answer{200, {}, true, {}, false});
}

void HttpTestServer::Redirect(const QString& path, const QString& location, int status) {
  Answer answer;
  answer.status = status;
  answer.location = location.toUtf8();
  mAnswers.insert(path, answer);
}

void HttpTestServer::Endless(const QString& path) {
  Answer answer;
  answer.endless = true;
  mAnswers.insert(path, answer);
}

void HttpTestServer::EndlessHeaders(const QString& path) {
  Answer answer;
  answer.endlessHeaders = true;
  mAnswers.insert(path, answer);
}

void HttpTestServer::Feed(QTcpSocket* socket, const QByteArray& chunk) {
  // Keeps a little ahead of the reader, so memory stays small however long it reads.
  if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 256 * 1024) {
    socket->write(chunk);
  }
}

quint16 HttpTestServer::ClosedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 port = probe.serverPort();
  probe.close();
  return port;
}

void HttpTestServer::Accept() {
  while (QTcpSocket* socket = mServer.nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
      mPending.remove(socket);
      socket->deleteLater();
    });
  }
}

void HttpTestServer::Read(QTcpSocket* socket) {
  QByteArray& buffer = mPending[socket];
  buffer += socket->readAll();
  const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
  if (headerEnd < 0) return;
  const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
  buffer.clear();
  const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
  const QString path = QString::fromLatin1(requestLine.value(1));
  for (const QByteArray& line : lines) {
    if (line.toLower().startsWith("user-agent:")) mLastAgent = line.mid(11).trimmed();
  }
  ++mTotal;
  ++mCounts[path];
  mPaths.append(path);

  const auto found = mAnswers.constFind(path);
  const Answer answer = found != mAnswers.constEnd()
                            ? *found
                            : Answer{404, "<html>no such file</html>", false, {}, false};
  if (answer.stall) return;
  if (answer.endless || answer.endlessHeaders) {
    static const QByteArray kBody(64 * 1024, 'e');
    static const QByteArray kHeaders = QByteArray("X-Padding: more\r\n").repeated(1024);
    const QByteArray& chunk = answer.endless ? kBody : kHeaders;
    socket->write(answer.endless ? "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                   "Connection: close\r\n\r\n"
                                 : "HTTP/1.1 200 OK\r\n");
    connect(socket, &QTcpSocket::bytesWritten, this,
            [this, socket, &chunk] { Feed(socket, chunk); });
    Feed(socket, chunk);
    return;
  }
  if (!answer.location.isEmpty()) {
    socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + " Moved\r\nLocation: " +
                  answer.location + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
    return;
  }
  QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " " + Reason(answer.status) +
                     "\r\nContent-Type: application/octet-stream" +
                     "\r\nContent-Length: " + QByteArray::number(answer.body.size()) +
                     "\r\nConnection: close\r\n\r\n" + answer.body;
  socket->write(reply);
  socket->disconnectFromHost();
}

}  // namespace qv::test
