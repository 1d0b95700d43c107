// The clock-driven timer on the simulated PC's manual clock.
#include <QSignalSpy>
#include <QtTest/QtTest>

#include "AppSim.h"
#include "AppTestRegistry.h"
#include "ClockTimer.h"

class ClockTimerTest : public QObject {
    Q_OBJECT

private slots:
    void TicksOnlyAsTheClockMoves() {
        AppSim sim;
        ClockTimer timer;
        QSignalSpy ticks(&timer, &ClockTimer::timeout);
        timer.start(1000);
        QVERIFY(sim.Pc().clock.WaitForSleepers(1));
        QTest::qWait(30);
        QCOMPARE(ticks.count(), 0);  // real time does not count
        sim.Pc().clock.Advance(std::chrono::milliseconds(999));
        QCoreApplication::processEvents();
        QCOMPARE(ticks.count(), 0);
        sim.Pc().clock.Advance(std::chrono::milliseconds(1));
        QTRY_COMPARE(ticks.count(), 1);
        sim.Pc().clock.Advance(std::chrono::seconds(3));
        QTRY_COMPARE(ticks.count(), 4);
    }

    void StopDropsTicksAlreadyOnTheirWay() {
        AppSim sim;
        ClockTimer timer;
        QSignalSpy ticks(&timer, &ClockTimer::timeout);
        timer.start(1000);
        QVERIFY(sim.Pc().clock.WaitForSleepers(1));
        sim.Pc().clock.Advance(std::chrono::seconds(2));  // two ticks posted, not yet run
        timer.stop();
        QVERIFY(!timer.isActive());
        QCoreApplication::processEvents();
        QCOMPARE(ticks.count(), 0);
        // A restart counts from its own start.
        timer.start(500);
        QVERIFY(sim.Pc().clock.WaitForSleepers(1));
        sim.Pc().clock.Advance(std::chrono::milliseconds(500));
        QTRY_COMPARE(ticks.count(), 1);
    }
};

APP_TEST(ClockTimerTest);
#include "ClockTimerTest.moc"
