// UpdateCheck and its descriptor: fetched, read, compared, and the updater fetched and started.
#include "gui/update_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <string>

#include "core/analysis/number_text.h"
#include "core/settings/ini_file.h"
#include "gui/prompter.h"
#include "gui/shell.h"
#include "util/file_size.h"
#include "util/pause.h"
#include "util/program_start.h"

namespace qv {
namespace {

constexpr const char* kSection = "varolith";
// The updater gets half a second to come up before the window goes.
constexpr int kUpdaterGraceMs = 500;

QString Q(const std::string& s) { return QString::fromStdString(s); }

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
  return DownloadFile(rec.URL + rec.DescriptorFile, local, options);
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
  // The updater is downloaded from this URL and run: a local or odd scheme counts as not given.
  const QString url = Q(descriptor.ReadString(kSection, "URL", ""));
  if (!url.isEmpty() && IsWebUrl(url)) rec.URL = url;
  const QString updater = Q(descriptor.ReadString(kSection, "Updater", ""));
  if (IsBareFileName(updater)) rec.Updater = updater;
}

bool UpdateCheck(WWWUpdateRec& rec, const UpdateWindow& window) {
  const QString folder = window.downloadFolder;
  DownloadOptions options;
  options.agent = QFileInfo(window.programPath).fileName();
  options.timeoutMs = window.timeoutMs;

  RemoveIfFile(LocalFile(folder, rec.Updater));
  RemoveIfFile(LocalFile(folder, rec.DescriptorFile));
  if (rec.Enabled) rec.DescriptorFetched = FetchDescriptor(rec, folder, options);
  if (rec.Enabled && rec.DescriptorFetched) {
    window.setStatus("WWW checked");
    ReadDescriptor(rec, folder);
    // Any difference is offered, an older published version too: there is no ordering.
    const bool unchanged =
        rec.Version == QLatin1String(kProgramVersion) && rec.Date == QLatin1String(kProgramDate);
    if (!unchanged && Prompts().Confirm("Latest internet version:\r\r" + rec.Version + "\r" +
                                        rec.Date + "\r\rDo you want to update ?")) {
      const QString updater = LocalFile(folder, rec.Updater);
      RemoveIfFile(updater);
      if (DownloadFile(rec.URL + rec.Updater, updater, options) && QFileInfo(updater).isFile()) {
        // An updater that does not start must not close the program as if it had.
        if (SizeInBytes(updater) == rec.UpdSize &&
            RunProgram(updater, rec.DescriptorFile,
                       [](const QString& program, const QStringList& arguments) {
                         return Shells().StartProgram(program, arguments);
                       })) {
          rec.UpdaterStarted = true;
          Pause(kUpdaterGraceMs);
        } else {
          window.setStatus("update failed");
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
  RemoveIfFile(LocalFile(folder, rec.Updater));
  RemoveIfFile(LocalFile(folder, rec.DescriptorFile));
  return false;
}

}  // namespace qv
