// The pictures carried with the program for the definitions and settings dialogs and the report.
#pragma once

#include <QByteArray>
#include <QImage>

namespace qv {

/// The JPEG file of the definitions picture as carried (640 x 482, greyscale).
QByteArray DefinitionsPictureData();

/// The definitions picture decoded with libjpeg. Throws Error when the carried data are damaged.
QImage DefinitionsPicture();

/// The 400 x 400 drawing of the example section (a U-channel with its dimensions).
QImage ExampleSectionPicture();

}  // namespace qv
