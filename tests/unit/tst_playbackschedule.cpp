#include "PlaybackSchedule.h"

#include <QTest>

#include <limits>

// One step as the window drives the schedule: sent at sentMs with waitMs after it,
// the timer armed at armedMs.
struct Step
{
    qint64 sentMs;
    qint64 waitMs;
    qint64 armedMs;
};
Q_DECLARE_METATYPE(QList<Step>)

class TestPlaybackSchedule : public QObject
{
    Q_OBJECT

private slots:
    void delays_data()
    {
        QTest::addColumn<qint64>("startMs");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QList<qint64>>("delays");

        QTest::newRow("on time") << qint64(1000)
                                 << QList<Step>{{1000, 510, 1000}, {1510, 3060, 1511}, {4570, 0, 4570}}
                                 << QList<qint64>{510, 3059, 0};
        // Timer latency and the time spent sending come off the next delay.
        QTest::newRow("late within catch-up")
            << qint64(0) << QList<Step>{{0, 100, 3}, {104, 100, 106}, {240, 100, 241}}
            << QList<qint64>{97, 94, 59};
        // Far behind: the wait after the late command is kept whole.
        QTest::newRow("late beyond catch-up re-bases")
            << qint64(0) << QList<Step>{{0, 100, 0}, {5000, 100, 5001}, {5101, 100, 5101}}
            << QList<qint64>{100, 99, 99};
        QTest::newRow("early step keeps the plan")
            << qint64(0) << QList<Step>{{0, 100, 0}, {90, 100, 90}} << QList<qint64>{100, 110};
        QTest::newRow("zero waits fire at once")
            << qint64(7) << QList<Step>{{7, 0, 8}, {8, 0, 9}} << QList<qint64>{0, 0};
        QTest::newRow("negative wait counts as zero")
            << qint64(0) << QList<Step>{{0, -500, 0}, {1, 10, 1}} << QList<qint64>{0, 9};
        QTest::newRow("wait beyond a timer's range is clamped")
            << qint64(0) << QList<Step>{{0, qint64(1) << 40, 0}}
            << QList<qint64>{std::numeric_limits<int>::max()};
    }

    void delays()
    {
        QFETCH(qint64, startMs);
        QFETCH(QList<Step>, steps);
        QFETCH(QList<qint64>, delays);

        PlaybackSchedule schedule;
        schedule.start(startMs);
        QCOMPARE(schedule.plannedMs(), startMs);
        QList<qint64> got;
        for (const Step &step : steps) {
            schedule.stepSent(step.sentMs, step.waitMs);
            got << schedule.delayFrom(step.armedMs);
        }
        QCOMPARE(got, delays);
    }

    void restartPlansAfresh()
    {
        PlaybackSchedule schedule;
        schedule.start(0);
        schedule.stepSent(0, 1000);
        schedule.start(300);
        schedule.stepSent(300, 10);
        QCOMPARE(schedule.delayFrom(300), qint64(10));
    }
};

QTEST_APPLESS_MAIN(TestPlaybackSchedule)
#include "tst_playbackschedule.moc"
