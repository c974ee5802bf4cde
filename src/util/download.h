// One HTTP download into a local file, bounded in time so a dead network never holds up start-up.
#pragma once

#include <QString>

namespace qv {

/// Time one download may take in all, from the request to the last byte, in milliseconds.
inline constexpr int kDownloadTimeoutMs = 5000;

/// How DownloadFile talks to the server.
struct DownloadOptions {
  /// The User-Agent header; empty sends the running program's file name (without folder).
  QString agent;
  /// Time allowed in all, in milliseconds; a transfer still running then is cut off.
  int timeoutMs = kDownloadTimeoutMs;
};

/// Fetches `url` into the file `localPath` through the system's proxy settings (loopback hosts
/// directly) and returns true exactly when at least one byte was written. Whatever the server
/// sends counts as content, an error page too; a transfer cut off by the time-out keeps what had
/// arrived. The local file is created (or emptied) only once the server has answered, so an
/// unreachable server leaves an existing file alone. Only http and https are fetched; other
/// schemes, hosts under ".invalid" (they never resolve) and unreachable servers give false
/// without a file. Events other than user input are processed while waiting. Throws Error
/// "Unable to write to <localPath>" when the local file cannot be created or written.
bool DownloadFile(const QString& url, const QString& localPath,
                  const DownloadOptions& options = {});

/// True for an absolute http or https URL with a host.
bool IsWebUrl(const QString& url);

}  // namespace qv
