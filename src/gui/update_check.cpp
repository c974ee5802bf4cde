// UpdateCheck and its descriptor: fetched, read, compared, and the updater fetched and started.
#include "gui/update_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <charconv>
#include <optional>
#include <string>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/settings/ini_file.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/shell.h"
#include "util/file_size.h"
#include "util/pause.h"
#include "util/program_start.h"

namespace qv {
namespace {

constexpr const char* kSection = "varolith";
// The updater gets half a second to come up before the window goes.
constexpr int kUpdaterGraceMs = 500;

QString LocalFile(const QString& folder, const QString& name) {
  return QDir(folder).filePath(name);
}

void RemoveIfFile(const QString& path) {
  if (QFileInfo(path).isFile()) QFile::remove(path);
}

// The byte form of FileSizeText as a number; -1 when it does not read as one.
qint64 SizeInBytes(const QString& path) {
  const std::string text = FileSizeText(path, true).toStdString();
  qint64 size = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
  return ec == std::errc() && end == text.data() + text.size() ? size : -1;
}

// The folder of one check: made fresh with owner-only rights, and on leaving removed together
// with the files the check put there (and nothing else), unless the updater runs from it.
class PrivateFolder {
 public:
  PrivateFolder(const QString& parent, const WWWUpdateRec& rec) {
    if (!QDir().mkpath(parent)) throw Error("Unable to write to " + parent.toStdString());
    QTemporaryDir folder(QDir(parent).filePath(QStringLiteral("quorvane-update-XXXXXX")));
    if (!folder.isValid()) throw Error("Unable to write to " + parent.toStdString());
    folder.setAutoRemove(false);
    mPath = folder.path();
    mOwnFiles = {LocalFile(mPath, rec.DescriptorFile), LocalFile(mPath, rec.Updater)};
  }
  ~PrivateFolder() {
    if (mKeep) return;
    for (const QString& file : mOwnFiles) RemoveIfFile(file);
    QDir().rmdir(mPath);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const QString& Path() const { return mPath; }
  /// The updater name may come from the descriptor: that file is the check's own as well.
  void Own(const QString& file) { mOwnFiles.append(file); }
  void Keep() { mKeep = true; }

 private:
  QString mPath;
  QStringList mOwnFiles;
  bool mKeep = false;
};

}  // namespace

bool IsBareFileName(const QString& name) {
  if (name.isEmpty() || name == QLatin1String(".")) return false;
  // A colon would name a drive-relative path on Windows ("C:x").
  return !name.contains('/') && !name.contains('\\') && !name.contains(':') &&
         !name.contains(QLatin1String(".."));
}

bool FetchDescriptor(const WWWUpdateRec& rec, const QString& folder,
                     const DownloadOptions& options) {
  const QString local = LocalFile(folder, rec.DescriptorFile);
  RemoveIfFile(local);
  DownloadOptions bounded = options;
  bounded.maxBytes = kMaxDescriptorBytes;
  return DownloadFile(rec.URL + rec.DescriptorFile, local, bounded);
}

void ReadDescriptor(WWWUpdateRec& rec, const QString& folder) {
  const QString local = LocalFile(folder, rec.DescriptorFile);
  if (!QFileInfo(local).isFile()) return;
  const IniFile descriptor(QFile::encodeName(local).toStdString());
  rec.Version = Q(descriptor.ReadString(kSection, "version", ""));
  rec.Date = Q(descriptor.ReadString(kSection, "date", ""));
  rec.ProgSize = ReadInteger(descriptor.ReadString(kSection, "prog_size", "0"));
  rec.ManSize = ReadInteger(descriptor.ReadString(kSection, "man_size", "0"));
  rec.UpdSize = ReadInteger(descriptor.ReadString(kSection, "upd_size", "0"));
  rec.UpdSig = QByteArray::fromStdString(descriptor.ReadString(kSection, "upd_sig", ""));
  // The updater is downloaded from this URL and run: a local or odd scheme counts as not given.
  const QString url = Q(descriptor.ReadString(kSection, "URL", ""));
  if (!url.isEmpty() && IsWebUrl(url)) rec.URL = url;
  const QString updater = Q(descriptor.ReadString(kSection, "Updater", ""));
  if (IsBareFileName(updater)) rec.Updater = updater;
}

bool UpdateCheck(WWWUpdateRec& rec, const UpdateWindow& window) {
  DownloadOptions options;
  options.agent = QFileInfo(window.programPath).fileName();
  options.timeoutMs = window.timeoutMs;

  // Only a check that runs makes a folder; nothing of the program's folder is ever touched.
  std::optional<PrivateFolder> folder;
  if (rec.Enabled) {
    folder.emplace(window.downloadParent, rec);
    rec.DescriptorFetched = FetchDescriptor(rec, folder->Path(), options);
  }
  if (rec.Enabled && rec.DescriptorFetched) {
    window.setStatus("WWW checked");
    ReadDescriptor(rec, folder->Path());
    folder->Own(LocalFile(folder->Path(), rec.Updater));
    // Any difference is offered, an older published version too: there is no ordering.
    const bool unchanged =
        rec.Version == QLatin1String(kProgramVersion) && rec.Date == QLatin1String(kProgramDate);
    if (!unchanged && Prompts().Confirm("Latest internet version:\r\r" + rec.Version + "\r" +
                                        rec.Date + "\r\rDo you want to update ?")) {
      if (window.publicKey.isEmpty() || rec.UpdSize <= 0 || rec.UpdSize > kMaxUpdaterBytes) {
        // Without a key nothing can be authentic; a size out of bounds is no updater.
        window.setStatus("update failed");
      } else {
        const QString updater = LocalFile(folder->Path(), rec.Updater);
        RemoveIfFile(updater);
        // A body longer than announced cannot be the updater: cut off at once.
        options.maxBytes = rec.UpdSize;
        const DownloadOutcome got = Download(rec.URL + rec.Updater, updater, options);
        if (got == DownloadOutcome::TooLarge) {
          window.setStatus("update failed");
        } else if (got == DownloadOutcome::Done && QFileInfo(updater).isFile()) {
          // Only the size announced and a signature of the maker's key start anything; an
          // updater that does not start must not close the program as if it had.
          if (SizeInBytes(updater) == rec.UpdSize &&
              VerifyUpdater(updater, rec.UpdSig, window.publicKey, kMaxUpdaterBytes) &&
              RunProgram(updater, rec.DescriptorFile, folder->Path(),
                         [](const QString& program, const QStringList& arguments,
                            const QString& workingFolder) {
                           return Shells().StartProgram(program, arguments, workingFolder);
                         })) {
            rec.UpdaterStarted = true;
            folder->Keep();  // the updater runs from it and reads the descriptor there
            Pause(kUpdaterGraceMs);
          } else {
            window.setStatus("update failed");
          }
        }
      }
    }
  } else {
    window.setStatus("WWW not checked");
  }

  if (rec.UpdaterStarted) {
    window.close();
    return true;
  }
  return false;
}

}  // namespace qv
