// The pump of long work on the window's thread: the first tick runs the pending events, a tick
// within the interval leaves them waiting, a tick after the interval or after Restart runs them.
#include <QObject>
#include <QTest>

#include "gui/event_pump.h"

using namespace qv;

class TestEventPump : public QObject {
  Q_OBJECT

 private slots:
  void runsPendingEventsAtMostOncePerInterval() {
    QObject receiver;
    int delivered = 0;
    const auto post = [&] {
      QMetaObject::invokeMethod(
          &receiver, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    };
    EventPump pump;
    post();
    pump.Tick();
    QCOMPARE(delivered, 1);
    post();
    pump.Tick();  // microseconds later
    QCOMPARE(delivered, 1);
    pump.Restart();
    pump.Tick();
    QCOMPARE(delivered, 2);
    post();
    QTest::qSleep(EventPump::kIntervalMs + 5);
    pump.Tick();
    QCOMPARE(delivered, 3);
  }
};

QTEST_MAIN(TestEventPump)
#include "tst_event_pump.moc"
