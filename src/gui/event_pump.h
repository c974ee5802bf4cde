// Long work on the window's thread lets the event loop run now and then, so that repaints, timers
// and a Cancel click get through while the work loses little time to them.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace qv {

/// Runs the pending events at most every kIntervalMs; the first Tick after construction or
/// Restart always runs them.
class EventPump {
 public:
  static constexpr qint64 kIntervalMs = 30;

  /// The next Tick runs the events whatever the time since the last one.
  void Restart() { mLast.invalidate(); }

  /// Runs the pending events when kIntervalMs have passed since the last time it did.
  void Tick() {
    if (mLast.isValid() && mLast.elapsed() < kIntervalMs) return;
    mLast.restart();
    QCoreApplication::processEvents();
  }

 private:
  QElapsedTimer mLast;
};

}  // namespace qv
