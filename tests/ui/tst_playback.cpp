#include "CntWinFixture.h"
#include "HdTestMain.h"
#include "PlaybackList.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QRegularExpression>
#include <QTimer>

// What reached the simulated drone, and when (ms since the PLAY press).
struct Arrival
{
    QString text;
    qint64 atMs;
};

class tst_Playback : public QObject
{
    Q_OBJECT

    CntWinFixture fixture;
    QList<Arrival> arrivals;
    QElapsedTimer sincePlay;

    static RecWin *rec() { return RecWin::instance(); }

    QStringList arrived() const
    {
        QStringList texts;
        for (const Arrival &arrival : arrivals)
            texts << arrival.text;
        return texts;
    }

    // Lets PLAY follow: the plain list is changed last.
    void setList(const QString &list)
    {
        for (int i = 1; i < 6; ++i)
            rec()->setTargetText(i, QString());
        rec()->setTargetText(0, QStringLiteral("x"));
        rec()->setTargetText(0, list);
    }

    void pressPlay()
    {
        arrivals.clear();
        sincePlay.start();
        QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
    }

    // Runs the real event loop until count commands have arrived: QTRY's polling
    // sleeps between rounds and would delay the timer it is meant to measure.
    bool waitForArrivals(int count, int timeoutMs = 15000)
    {
        QSignalSpy spy(&fixture.drone, &SimDrone::commandReceived);
        QDeadlineTimer deadline(timeoutMs);
        while (arrivals.size() < count && !deadline.hasExpired())
            spy.wait(int(qMax<qint64>(1, deadline.remainingTime())));
        return arrivals.size() >= count;
    }

    void verifyIdle()
    {
        QVERIFY(!rec()->isPlaying());
        QCOMPARE(rec()->PlayBB()->text(), QStringLiteral("PLAY"));
        QVERIFY(!rec()->StopBB()->isEnabled());
    }

private slots:
    void initTestCase()
    {
        fixture.open(18894);
        QVERIFY(fixture.startDrone());
        fixture.connectLink();
        QTRY_VERIFY(fixture.linkBound());
        connect(&fixture.drone, &SimDrone::commandReceived, this, [this](const QString &text) {
            arrivals.append({text, sincePlay.elapsed()});
        });
        rec()->show();
    }

    void cleanup()
    {
        // Nothing of one test may play on into the next.
        QTRY_VERIFY_WITH_TIMEOUT(!rec()->PlayTimer()->isActive(), 10000);
        if (rec()->isPlaying())
            QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
    }

    void readsEachLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("command:WAIT30") << "command:WAIT30"
                                        << "command" << 510;
        QTest::newRow("up 20:WAIT95") << "up 20:WAIT95"
                                      << "up 20" << 1615;
        QTest::newRow("land") << "land"
                              << "land" << 0;
        QTest::newRow("flip f:WAIT") << "flip f:WAIT"
                                     << "flip f" << 0;
        QTest::newRow("up 20:xWAIT30") << "up 20:xWAIT30"
                                       << "up 20" << 510;
        QTest::newRow("a:b:WAIT30") << "a:b:WAIT30"
                                    << "a" << 0;
        QTest::newRow("cw 90:WAIT1.5") << "cw 90:WAIT1.5"
                                       << "cw 90" << 25;
        QTest::newRow("WAIT30") << "WAIT30"
                                << "WAIT30" << 0;
        QTest::newRow("empty line") << ""
                                    << "" << 0;
    }

    // Each line of the table sends its command, then the next line follows its wait.
    void readsEachLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, command);
        QFETCH(int, waitMs);
        setList(line + QStringLiteral("\nnext"));
        pressPlay();

        const QStringList expected = command.isEmpty() ? QStringList{"next"} : QStringList{command, "next"};
        QVERIFY(waitForArrivals(expected.size()));
        QCOMPARE(arrived(), expected);
        QTRY_VERIFY(!rec()->isPlaying());
        verifyIdle();
        if (!command.isEmpty()) {
            const qint64 gap = arrivals[1].atMs - arrivals[0].atMs;
            QVERIFY2(gap >= waitMs - 2 && gap <= waitMs + 50,
                     qPrintable(QStringLiteral("wait %1 ms, planned %2").arg(gap).arg(waitMs)));
        }
    }

    void playsTheWorkedExample()
    {
        setList(QStringLiteral("command:WAIT30\ntakeoff:WAIT180\nup 20:WAIT95\nbattery?:WAIT240\nland\n"));
        pressPlay();

        QVERIFY(rec()->isPlaying());
        QCOMPARE(rec()->PlayBB()->text(), QStringLiteral("PAUSE"));
        QVERIFY(rec()->StopBB()->isEnabled());
        QCOMPARE(rec()->playCommands(), (QStringList{"takeoff", "up 20", "battery?", "land"}));
        QCOMPARE(rec()->playWaits(), (QList<qint64>{3060, 1615, 4080, 0}));
        QVERIFY(rec()->PlayTimer()->isActive());
        QVERIFY(rec()->PlayTimer()->remainingTime() <= 510);
        QVERIFY(rec()->PlayTimer()->remainingTime() >= 480);

        const QStringList expected{"command", "takeoff", "up 20", "battery?", "land"};
        QVERIFY(waitForArrivals(expected.size()));
        QCOMPARE(arrived(), expected);
        const qint64 landedAt = sincePlay.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(!rec()->isPlaying(), 200);
        QVERIFY(sincePlay.elapsed() - landedAt < 200);
        verifyIdle();

        const QList<qint64> planned{0, 510, 3570, 5185, 9265};
        for (int i = 0; i < planned.size(); ++i) {
            const qint64 late = arrivals[i].atMs - planned[i];
            QVERIFY2(late >= -2 && late <= 50, qPrintable(QStringLiteral("%1 %2 ms late").arg(expected[i]).arg(late)));
        }

        // Played again, the flight was recorded anew with the waits that really passed.
        const QRegularExpression rewritten(
            QStringLiteral("^command:WAIT30\ntakeoff:WAIT(\\d+)\nup 20:WAIT(\\d+)\nbattery\\?:WAIT(\\d+)\nland\n$"));
        const QRegularExpressionMatch match = rewritten.match(rec()->targetText(0));
        QVERIFY2(match.hasMatch(), qPrintable(rec()->targetText(0)));
        const QList<double> ticks{3060 * 0.06, 1615 * 0.06, 4080 * 0.06};
        for (int i = 0; i < ticks.size(); ++i)
            QVERIFY(qAbs(match.captured(i + 1).toInt() - ticks[i]) <= 6);
        QVERIFY(!rec()->isRecording());
    }

    void pauseLetsTheQueueRunOn()
    {
        setList(QStringLiteral("a:WAIT6\nb:WAIT6\nc\n"));
        pressPlay();
        QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
        verifyIdle();
        QVERIFY(rec()->PlayTimer()->isActive());

        QTRY_COMPARE(arrived(), (QStringList{"a", "b", "c"}));
        QTRY_VERIFY(!rec()->PlayTimer()->isActive());
        verifyIdle();
    }

    void playDuringRunOnStartsAfresh()
    {
        setList(QStringLiteral("a:WAIT30\nb:WAIT30\nc\n"));
        pressPlay();
        QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
        QTRY_COMPARE(arrived(), QStringList{"a"});
        QVERIFY(rec()->PlayTimer()->isActive());

        // The recorder has rewritten the list meanwhile: that state is what plays.
        const QList<hd::PlayStep> steps = hd::parsePlaybackList(rec()->targetText(0));
        QStringList expected{"a"};
        for (const hd::PlayStep &step : steps)
            expected << step.command;
        QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
        QVERIFY(rec()->isPlaying());

        QTRY_COMPARE_WITH_TIMEOUT(arrived(), expected, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!rec()->PlayTimer()->isActive(), 5000);
        QCOMPARE(arrived(), expected);
        verifyIdle();
    }

    void stopCancelsAndLands()
    {
        setList(QStringLiteral("a:WAIT60\nb\n"));
        pressPlay();
        QTRY_COMPARE(arrived(), QStringList{"a"});
        QTest::mouseClick(rec()->StopBB(), Qt::LeftButton);
        verifyIdle();
        QVERIFY(!rec()->PlayTimer()->isActive());
        QCOMPARE(rec()->playCommands(), QStringList{"b"});

        QTRY_COMPARE(arrived(), (QStringList{"a", "land"}));
        QVERIFY(!rec()->PlayTimer()->isActive());
    }

    void emptyListSendsNothing_data()
    {
        QTest::addColumn<QString>("list");
        QTest::newRow("empty") << "";
        QTest::newRow("only line ends") << "\n\n\n";
    }

    void emptyListSendsNothing()
    {
        QFETCH(QString, list);
        rec()->setTargetText(0, list);
        rec()->setTargetText(1, QStringLiteral("10 ?\"QZ LD\"\n"));
        QVERIFY(rec()->PlayBB()->isEnabled());
        const QString logBefore = fixture.log();

        pressPlay();
        verifyIdle();
        QVERIFY(!rec()->PlayTimer()->isActive());
        QVERIFY(rec()->playCommands().isEmpty());
        QCOMPARE(fixture.log(), logBefore);
    }

    void zeroWaitsStillFire()
    {
        setList(QStringLiteral("a\nb"));
        pressPlay();
        QTRY_COMPARE(arrived(), (QStringList{"a", "b"}));
        QTRY_VERIFY_WITH_TIMEOUT(!rec()->isPlaying(), 200);
        verifyIdle();
        QVERIFY(arrivals[1].atMs - arrivals[0].atMs < 50);
    }

    void closingTheWindowEndsPlayback()
    {
        setList(QStringLiteral("a:WAIT30\nb\n"));
        pressPlay();
        QTRY_COMPARE(arrived(), QStringList{"a"});
        rec()->close();
        QVERIFY(!rec()->PlayTimer()->isActive());
        verifyIdle();
        rec()->show();
    }

    // A measurement, not a check: how close a 50-step plan keeps to its planned times.
    void timingOfALongPlan()
    {
        QString list;
        QList<qint64> planned;
        qint64 at = 0;
        for (int i = 0; i < 50; ++i) {
            const int ticks = 1 + i % 4;
            list += QStringLiteral("cw %1:WAIT%2\n").arg(i + 1).arg(ticks);
            planned << at;
            at += ticks * 17;
        }
        setList(list);
        // The command line echoes each command right after it went out.
        QList<qint64> sent;
        auto echo = connect(fixture.edit(QStringLiteral("CmdEF")), &QLineEdit::textChanged, this,
                            [&] { sent << sincePlay.elapsed(); });
        pressPlay();
        QVERIFY(waitForArrivals(50));
        QTRY_VERIFY(!rec()->isPlaying());
        disconnect(echo);
        QCOMPARE(sent.size(), 50);

        auto report = [&](const char *what, auto timeOf) {
            qint64 worst = 0;
            double total = 0;
            for (int i = 0; i < 50; ++i) {
                const qint64 deviation = timeOf(i) - planned[i];
                total += qAbs(deviation);
                if (qAbs(deviation) > qAbs(worst))
                    worst = deviation;
            }
            qInfo("50-step plan over %lld ms, %s: worst deviation %lld ms, mean %.2f ms", at, what, worst, total / 50);
        };
        report("sent", [&](int i) { return sent[i]; });
        report("arrived at the drone", [&](int i) { return arrivals[i].atMs; });
    }
};

HD_TEST_MAIN(tst_Playback)
#include "tst_playback.moc"
