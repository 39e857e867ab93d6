#include "PlaybackSchedule.h"

#include <QTest>

#include <limits>

// One step as the window drives the schedule: sent at sentUs with waitMs after it,
// the timer armed at armedUs.
struct Step
{
    qint64 sentUs;
    qint64 waitMs;
    qint64 armedUs;
};

constexpr qint64 ms(qint64 v)
{
    return v * 1000;
}
Q_DECLARE_METATYPE(QList<Step>)

class tst_PlaybackSchedule : public QObject
{
    Q_OBJECT

private slots:
    void delays_data()
    {
        QTest::addColumn<qint64>("startUs");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QList<qint64>>("delays");

        QTest::newRow("on time") << ms(
            1000) << QList<Step>{{ms(1000), 510, ms(1000)}, {ms(1510), 3060, ms(1511)}, {ms(4570), 0, ms(4570)}}
                                 << QList<qint64>{510, 3059, 0};
        // Timer latency and the time spent sending come off the next delay.
        QTest::newRow("late within catch-up")
            << ms(0) << QList<Step>{{ms(0), 100, ms(3)}, {ms(104), 100, ms(106)}, {ms(240), 100, ms(241)}}
            << QList<qint64>{97, 94, 59};
        // Far behind: the wait after the late command is kept whole.
        QTest::newRow("late beyond catch-up re-bases")
            << ms(0) << QList<Step>{{ms(0), 100, ms(0)}, {ms(5000), 100, ms(5001)}, {ms(5101), 100, ms(5101)}}
            << QList<qint64>{100, 99, 99};
        QTest::newRow("early step keeps the plan")
            << ms(0) << QList<Step>{{ms(0), 100, ms(0)}, {ms(90), 100, ms(90)}} << QList<qint64>{100, 110};
        QTest::newRow("zero waits fire at once")
            << ms(7) << QList<Step>{{ms(7), 0, ms(8)}, {ms(8), 0, ms(9)}} << QList<qint64>{0, 0};
        QTest::newRow("negative wait counts as zero")
            << ms(0) << QList<Step>{{ms(0), -500, ms(0)}, {ms(1), 10, ms(1)}} << QList<qint64>{0, 9};
        // Sub-millisecond time already gone comes off, and the rest rounds down.
        QTest::newRow("fractions of a millisecond")
            << ms(0) << QList<Step>{{600, 100, 700}, {ms(100) + 900, 10, ms(100) + 950}} << QList<qint64>{99, 9};
        QTest::newRow("wait beyond a timer's range is clamped")
            << ms(0) << QList<Step>{{ms(0), qint64(1) << 40, ms(0)}} << QList<qint64>{std::numeric_limits<int>::max()};
    }

    void delays()
    {
        QFETCH(qint64, startUs);
        QFETCH(QList<Step>, steps);
        QFETCH(QList<qint64>, delays);

        hd::PlaybackSchedule schedule;
        schedule.start(startUs);
        QCOMPARE(schedule.plannedUs(), startUs);
        QList<qint64> got;
        for (const Step &step : steps) {
            schedule.stepSent(step.sentUs, step.waitMs);
            got << schedule.delayMsFrom(step.armedUs);
        }
        QCOMPARE(got, delays);
    }

    void restartPlansAfresh()
    {
        hd::PlaybackSchedule schedule;
        schedule.start(0);
        schedule.stepSent(0, 1000);
        schedule.start(ms(300));
        schedule.stepSent(ms(300), 10);
        QCOMPARE(schedule.delayMsFrom(ms(300)), qint64(10));
    }
};

QTEST_APPLESS_MAIN(tst_PlaybackSchedule)
#include "tst_playbackschedule.moc"
