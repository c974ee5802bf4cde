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
#include <vector>

#include "core/base/error.h"

namespace qv {
namespace {

// The body is appended piece by piece as it arrives, never held whole in memory.
constexpr qint64 kChunkSize = 1024;
constexpr int kMaxRedirects = 5;

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

// Keeps a manager and its reply, cut off at the deadline, for the rest of the process without
// ever destroying them: destroying the manager would wait for its network thread, which a
// server that keeps sending holds in its reading. Held from a static, they stay reachable.
void Abandon(std::unique_ptr<QNetworkAccessManager> manager, std::unique_ptr<QNetworkReply> reply) {
  struct Cut {
    std::unique_ptr<QNetworkAccessManager> manager;
    std::unique_ptr<QNetworkReply> reply;
  };
  static auto* const abandoned = new std::vector<Cut>();
  abandoned->push_back(Cut{std::move(manager), std::move(reply)});
}

QString ProgramFileName() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

}  // namespace

bool IsWebUrl(const QString& url) {
  const QUrl parsed(url);
  const QString scheme = parsed.scheme().toLower();
  return parsed.isValid() && (scheme == "http" || scheme == "https") && !parsed.host().isEmpty();
}

DownloadOutcome Download(const QString& url, const QString& localPath,
                         const DownloadOptions& options) {
  if (!IsWebUrl(url)) return DownloadOutcome::Failed;
  const QUrl target(url);
  if (NeverResolves(target.host())) return DownloadOutcome::Failed;

  // Declared before the reply, so the reply goes first and the manager closes the connection.
  // A server that keeps sending can hold the manager's network thread in its reading for good,
  // and a manager waits for that thread when it is destroyed: an exchange cut off at the deadline
  // leaves both to end with the process, so the caller is never held past the deadline.
  auto owned = std::make_unique<QNetworkAccessManager>();
  QNetworkAccessManager& manager = *owned;
  manager.setProxy(ProxyFor(target));
  QNetworkRequest request(target);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    options.agent.isEmpty() ? ProgramFileName() : options.agent);
  request.setTransferTimeout(options.timeoutMs);
  // Every redirect is put to us first: a server must not send us elsewhere.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  std::unique_ptr<QNetworkReply> ownedReply(manager.get(request));
  QNetworkReply* const reply = ownedReply.get();

  QFile file(localPath);
  qint64 written = 0;
  bool writeFailed = false;
  bool tooLarge = false;
  bool timedOut = false;
  bool refused = false;
  const auto answered = [&] {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  };
  const auto drain = [&] {
    if (writeFailed || tooLarge) return;
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
      if (options.maxBytes > 0 && written + n > options.maxBytes) {
        tooLarge = true;
        reply->abort();
        return;
      }
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
  QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
    timedOut = true;
    reply->abort();
  });
  QObject::connect(reply, &QNetworkReply::redirected, &loop, [&](const QUrl& next) {
    const QString scheme = next.scheme().toLower();
    if ((scheme == "http" || scheme == "https") &&
        next.host().compare(target.host(), Qt::CaseInsensitive) == 0) {
      emit reply->redirectAllowed();
    } else {
      refused = true;
      reply->abort();
    }
  });
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, drain);
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  deadline.start(options.timeoutMs);
  // The start-up waits for the answer as if the call blocked: input stays queued meanwhile, so
  // the user cannot start a second flow (or close the window) in the middle of the check.
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  deadline.stop();
  if (timedOut) Abandon(std::move(owned), std::move(ownedReply));
  if (!timedOut && !refused) drain();
  // A redirect that was not followed (refused, one too many, to another scheme) ends with its
  // own status, or with none that is final: that is no answer to what was asked.
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const bool unanswered = answered() && (status < 200 || (status >= 300 && status < 400));
  const bool cut = timedOut || tooLarge || refused || unanswered ||
                   reply->error() == QNetworkReply::TooManyRedirectsError ||
                   reply->error() == QNetworkReply::InsecureRedirectError;
  // A server that answered with an empty body still leaves its (empty) file behind.
  if (!cut && !writeFailed && !file.isOpen() && answered()) {
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) writeFailed = true;
  }
  if (file.isOpen() && !file.flush()) writeFailed = true;
  file.close();
  if (writeFailed) {
    if (written > 0) file.remove();
    throw Error("Unable to write to " + localPath.toStdString());
  }
  if (cut) {
    // Half a body is no download: nothing of it stays.
    if (file.exists() && (written > 0 || answered())) file.remove();
    if (timedOut) return DownloadOutcome::TimedOut;
    if (tooLarge) return DownloadOutcome::TooLarge;
    return DownloadOutcome::Failed;
  }
  if (written > 0) return DownloadOutcome::Done;
  return answered() ? DownloadOutcome::Empty : DownloadOutcome::Failed;
}

bool DownloadFile(const QString& url, const QString& localPath, const DownloadOptions& options) {
  return Download(url, localPath, options) == DownloadOutcome::Done;
}

}  // namespace qv
