// The pictures carried with the program for the definitions and settings dialogs and the report.
#include "imaging/dialog_pictures.h"

#include <QFile>
#include <QString>
#include <mutex>

#include "imaging/jpeg_reader.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterDialogPictures() { Q_INIT_RESOURCE(quorvane_pictures); }

namespace qv {
namespace {

QByteArray ReadResource(const QString& path) {
  static std::once_flag registered;
  std::call_once(registered, RegisterDialogPictures);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

QByteArray DefinitionsPictureData() {
  return ReadResource(QStringLiteral(":/quorvane/definitions.jpg"));
}

QImage DefinitionsPicture() { return DecodeJpeg(DefinitionsPictureData()); }

QImage ExampleSectionPicture() {
  return QImage::fromData(ReadResource(QStringLiteral(":/quorvane/example_section.png")), "PNG");
}

}  // namespace qv
