// One HTTP download into a local file, bounded in time and size so that neither a dead network
// nor a hostile server can hold up the start-up or fill the disk.
#pragma once

#include <QString>
#include <QtGlobal>

namespace qv {

/// Time one download may take in all, from the request to the last byte, in milliseconds.
inline constexpr int kDownloadTimeoutMs = 5000;

/// How DownloadFile talks to the server.
struct DownloadOptions {
  /// The User-Agent header; empty sends the running program's file name (without folder).
  QString agent;
  /// Wall time allowed in all, in milliseconds (not time of silence): a transfer still running
  /// then is cut off and counts as failed.
  int timeoutMs = kDownloadTimeoutMs;
  /// Most bytes the body may have; a longer body is cut off and counts as failed. 0: no limit.
  qint64 maxBytes = 0;
};

/// How a download ended.
enum class DownloadOutcome {
  Done,      ///< at least one byte arrived, the body is complete
  Empty,     ///< the server answered with an empty body (an empty file is left)
  Failed,    ///< no answer, a refused redirect, a cut connection: no file is left
  TimedOut,  ///< the wall-time limit passed: no file is left
  TooLarge,  ///< the body passed maxBytes: no file is left
};

/// Fetches `url` into the file `localPath` through the system's proxy settings (loopback hosts
/// directly). Whatever the server sends counts as content, an error page too. Redirects are
/// followed (at most 5) only to http or https on the same host; any other ends the download as
/// failed. The local file is created (or emptied) only once the server has answered, so an
/// unreachable server leaves an existing file alone; a download that fails after that removes
/// what it wrote. Only http and https are fetched; other schemes, hosts under ".invalid" (they
/// never resolve) and unreachable servers fail without a file. Events other than user input are
/// processed while waiting, so the window repaints. Throws Error
/// "Unable to write to <localPath>" when the local file cannot be created or written.
DownloadOutcome Download(const QString& url, const QString& localPath,
                         const DownloadOptions& options = {});

/// Download(...) == DownloadOutcome::Done: true exactly when a whole, non-empty body arrived.
bool DownloadFile(const QString& url, const QString& localPath,
                  const DownloadOptions& options = {});

/// True for an absolute http or https URL with a host.
bool IsWebUrl(const QString& url);

}  // namespace qv
