// DownloadFile over QNetworkAccessManager, waited for in a local event loop with a deadline.
#include "util/download.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "core/error.h"

namespace qv {
namespace {

// The body is appended piece by piece as it arrives, never held whole in memory.
constexpr qint64 kChunkSize = 1024;

// ".invalid" is reserved never to resolve: asking a name server about it only costs time.
bool NeverResolves(const QString& host) {
  QString h = host.toLower();
  if (h.endsWith('.')) h.chop(1);
  return h == "invalid" || h.endsWith(".invalid");
}

// A proxy cannot reach this machine's own loopback, so those hosts are always asked directly.
QNetworkProxy ProxyFor(const QUrl& url) {
  const QString host = url.host();
  if (host.compare("localhost", Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback()) {
    return QNetworkProxy(QNetworkProxy::NoProxy);
  }
  const QList<QNetworkProxy> proxies =
      QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
  return proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first();
}

QString ProgramFileName() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

}  // namespace

bool IsWebUrl(const QString& url) {
  const QUrl parsed(url);
  const QString scheme = parsed.scheme().toLower();
  return parsed.isValid() && (scheme == "http" || scheme == "https") && !parsed.host().isEmpty();
}

bool DownloadFile(const QString& url, const QString& localPath, const DownloadOptions& options) {
  if (!IsWebUrl(url)) return false;
  const QUrl target(url);
  if (NeverResolves(target.host())) return false;

  // Declared before the reply, so the reply goes first and the manager closes the connection.
  QNetworkAccessManager manager;
  manager.setProxy(ProxyFor(target));
  QNetworkRequest request(target);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    options.agent.isEmpty() ? ProgramFileName() : options.agent);
  request.setTransferTimeout(options.timeoutMs);
  const std::unique_ptr<QNetworkReply> reply(manager.get(request));

  QFile file(localPath);
  qint64 written = 0;
  bool writeFailed = false;
  const auto answered = [&] {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  };
  const auto drain = [&] {
    if (writeFailed) return;
    if (!file.isOpen()) {
      if (!answered() && reply->bytesAvailable() == 0) return;
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        writeFailed = true;
        reply->abort();
        return;
      }
    }
    char chunk[kChunkSize];
    for (;;) {
      const qint64 n = reply->read(chunk, kChunkSize);
      if (n <= 0) return;
      if (file.write(chunk, n) != n) {
        writeFailed = true;
        reply->abort();
        return;
      }
      written += n;
    }
  };

  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
  QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  deadline.start(options.timeoutMs);
  // The start-up waits for the answer as if the call blocked: input stays queued meanwhile, so
  // the user cannot start a second flow (or close the window) in the middle of the check.
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  deadline.stop();
  drain();
  // A server that answered with an empty body still leaves its (empty) file behind.
  if (!writeFailed && !file.isOpen() && answered()) {
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) writeFailed = true;
  }
  if (file.isOpen() && !file.flush()) writeFailed = true;
  file.close();
  if (writeFailed) throw Error("Unable to write to " + localPath.toStdString());
  return written > 0;
}

}  // namespace qv
