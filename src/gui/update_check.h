// The update check of the deferred start-up: the version descriptor on the update server, the
// question, and the download, size and signature check and start of the updater. Everything
// from the network goes into a private folder made for the one check; nothing the server says
// can name, change or remove a file of the program or the user.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "core/base/version.h"
#include "util/download.h"
#include "util/update_location.h"
#include "util/update_signature.h"

namespace qv {

/// Most bytes a descriptor may have; a longer one is no descriptor.
inline constexpr qint64 kMaxDescriptorBytes = 64 * 1024;
/// Most bytes an updater may have.
inline constexpr qint64 kMaxUpdaterBytes = qint64{256} * 1024 * 1024;

/// The state of the update check; one instance belongs to the main window.
struct WWWUpdateRec {
  bool Enabled = true;                 ///< the check runs (the setting "wwwupdate")
  bool UpdaterStarted = false;         ///< the updater runs; the program is closing
  bool DescriptorFetched = false;      ///< the descriptor was downloaded in this run
  std::int32_t ProgSize = 0;           ///< "prog_size"; kept, decides nothing
  std::int32_t ManSize = 0;            ///< "man_size"; kept, decides nothing
  std::int32_t UpdSize = 0;            ///< "upd_size": the updater's expected size in bytes
  QString Version;                     ///< "version" as published
  QString Date;                        ///< "date" as published
  QString URL = UpdateDirectoryUrl();  ///< update directory, ending in "/"
  QString Updater = QStringLiteral("varolithupdater.exe");  ///< bare file name of the updater
  QString DescriptorFile = QStringLiteral("internet_version.ini");  ///< bare file name
  QByteArray UpdSig;  ///< "upd_sig": base64 Ed25519 signature of the updater's bytes
};

/// What the check needs of the window, so it runs without the whole window too.
struct UpdateWindow {
  /// The program's file path; its file name is sent as the agent name.
  QString programPath;
  /// Folder in which the check makes its own private download folder (owner-only rights): the
  /// user's cache folder. Created when missing.
  QString downloadParent;
  /// Writes status panel 7.
  std::function<void(const QString& text)> setStatus;
  /// Closes the window (which saves the settings and the library).
  std::function<void()> close;
  /// Limits each download in wall time.
  int timeoutMs = kDownloadTimeoutMs;
  /// The key an updater's signature must verify with; empty: no updater is ever started.
  QByteArray publicKey = BuiltInUpdateKey();
};

/// True for a name that stays inside the download folder: no path separator, no "..", no
/// drive colon, not empty. The server's word decides which file is written and then run, so
/// anything else is refused.
bool IsBareFileName(const QString& name);

/// Deletes the local descriptor in `folder`, then downloads URL + DescriptorFile into it, at most
/// kMaxDescriptorBytes; true when a whole, non-empty body arrived. Throws Error when the local
/// file cannot be written.
bool FetchDescriptor(const WWWUpdateRec& rec, const QString& folder,
                     const DownloadOptions& options = {});

/// Reads the local descriptor in `folder`, when there is one, into `rec`: "version" and "date"
/// (empty when missing), "prog_size", "man_size" and "upd_size" ("0" when missing), "upd_sig",
/// then "URL" (only an http or https URL) and "Updater" (only a bare file name) when given.
/// Throws Error
/// "'<text>' is not a valid integer value" for a size that is not an integer, and Error
/// "Unable to read <path>" for a descriptor that cannot be read.
void ReadDescriptor(WWWUpdateRec& rec, const QString& folder);

/// The update step of the deferred start-up; runs the whole check once and returns true when
/// the updater was started and the window closed: the start-up then does nothing more. Asks
/// through Prompts() and starts the updater through Shells(), in its private folder, only when
/// its size is "upd_size" and its signature verifies with `window.publicKey`; otherwise the
/// status is "update failed". The private folder and the files the check put there are removed
/// again unless the updater runs from them. Throws Error for a size key that is not an integer
/// and for a local file or folder that cannot be written; the start-up stops then too.
bool UpdateCheck(WWWUpdateRec& rec, const UpdateWindow& window);

}  // namespace qv
