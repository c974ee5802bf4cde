// Entry of the window program: the application, the main window and the message loop.
#include <QApplication>
#include <QStandardPaths>

#include "gui/main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvane");
  const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  qv::TMainForm window(QApplication::applicationFilePath(), userFolder);
  window.show();
  return app.exec();
}
