// Pause as a local event loop that a timer ends.
#include "util/pause.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace qv {

void Pause(int ms) {
  QElapsedTimer clock;
  clock.start();
  // A handler run inside the loop may leave it early (a nested quit); wait on until the time is up.
  while (clock.elapsed() <= ms) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms - clock.elapsed()) + 1, Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
  }
}

}  // namespace qv
