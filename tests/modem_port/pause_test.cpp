#include "modem_port/event_loop_clock.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

using namespace kv;

// The real pause: what it lets through while it waits, and that it always ends.
class PauseTest : public QObject {
    Q_OBJECT
  private slots:
    void zeroOrLessRunsNoEvents_data() {
        QTest::addColumn<int>("ms");
        QTest::newRow("0") << 0;
        QTest::newRow("-1") << -1;
        QTest::newRow("most negative") << int(0x80000000);
    }

    void zeroOrLessRunsNoEvents() {
        QFETCH(int, ms);
        EventLoopClock clock;
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        clock.pause(ms);
        QVERIFY(!ran);
        QCoreApplication::processEvents();
    }

    void deliversClicksAndTicksWhileWaiting() {
        EventLoopClock clock;
        int ticks = 0;
        bool clicked = false;
        auto timer = clock.createTimer(5, [&] { ++ticks; });
        timer->setEnabled(true);
        QTimer::singleShot(0, [&] { clicked = true; });
        clock.pause(30);
        timer->setEnabled(false);
        QVERIFY(clicked);
        QVERIFY(ticks >= 1);
    }

    void handlerPausingInsideAPauseNests() {
        EventLoopClock clock;
        QStringList order;
        QTimer::singleShot(0, [&] {
            order << "inner start";
            clock.pause(20);
            order << "inner end";
        });
        clock.pause(5);
        order << "outer end";
        QCOMPARE(order, QStringList({"inner start", "inner end", "outer end"}));
    }

    void stoppedClockNeitherWaitsNorTicks() {
        EventLoopClock clock;
        int ticks = 0;
        auto timer = clock.createTimer(1, [&] { ++ticks; });
        timer->setEnabled(true);
        clock.stop();
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        clock.pause(600'000); // returns without entering the event loop, or the suite times out
        QVERIFY(!ran);
        QTest::qWait(10);
        QCOMPARE(ticks, 0);
    }
};

QTEST_GUILESS_MAIN(PauseTest)
#include "pause_test.moc"
