// Suspend and resume as Windows tells them: one start per resume, whether the
// PC was woken by the user (two notices) or by a timer or the network (one).
#include <QtTest/QtTest>
#include <string>

#include "AppTestRegistry.h"
#include "PowerEvents.h"

class PowerEventsTest : public QObject {
    Q_OBJECT

    std::string m_log;
    bool m_forbid = false;
    PowerEvents Make(int osMajor) {
        m_log.clear();
        return PowerEvents({[this] { m_log += "stop;"; }, [this] { m_log += "start;"; },
                            [this] { return m_forbid; }},
                           osMajor);
    }

private slots:
    void OneStartPerResumeWhicheverNoticesCome() {
        PowerEvents p = Make(10);
        // A wake by timer: only the automatic notice.
        p.Suspend();
        p.Stopped();
        p.Resume();
        QCOMPARE(m_log, std::string("stop;start;"));
        // A wake by the user: the automatic notice, then the user's.
        m_log.clear();
        p.Suspend();
        p.Stopped();
        p.Resume();
        p.Resume();
        QCOMPARE(m_log, std::string("stop;start;"));
        // Both notices before the suspend's stop is through: one start, after it.
        m_log.clear();
        p.Suspend();
        p.Resume();
        p.Resume();
        QCOMPARE(m_log, std::string("stop;"));
        p.Stopped();
        p.Stopped();  // a later stop (the user's) starts nothing
        QCOMPARE(m_log, std::string("stop;start;"));
        // A resume without a suspend before it (a critical suspend) still
        // starts once.
        m_log.clear();
        PowerEvents q = Make(10);
        q.Resume();
        q.Resume();
        QCOMPARE(m_log, std::string("start;"));
    }

    void OnlyXpAsksAndOnlyTheOptionRefuses() {
        m_forbid = true;
        QVERIFY(Make(5).QuerySuspend());
        QVERIFY(!Make(6).QuerySuspend());
        m_forbid = false;
        QVERIFY(!Make(5).QuerySuspend());
    }
};

APP_TEST(PowerEventsTest);
#include "PowerEventsTest.moc"
