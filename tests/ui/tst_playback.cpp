#include "CntWinFixture.h"
#include "HdTestMain.h"
#include "PlaybackList.h"
#include "PlaybackSchedule.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

#include <cerrno>
#include <limits>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <time.h>

// What reached the simulated drone, and when (microseconds since the PLAY press).
struct Arrival
{
    QString text;
    qint64 atUs;
};

class tst_Playback : public QObject
{
    Q_OBJECT

    // How late a command may arrive when the machine is busy. Less than the timer's
    // design period of 1000 ms, which a step without a wait must not fall back to.
    static constexpr qint64 LateMs = 300;

    CntWinFixture fixture;
    QList<Arrival> arrivals;
    qint64 playUs = 0;
    int droneSocket = -1;

    static RecWin *rec() { return RecWin::instance(); }

    // The kernel stamps datagrams on the wall clock, so PLAY is stamped on it too.
    static qint64 wallUs()
    {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    }
    qint64 usSincePlay() const { return wallUs() - playUs; }

    // When the datagram the drone has just read went out: the kernel's stamp of its
    // arrival on loopback, which the test's busy event loop cannot delay as it delays
    // the drone's reading.
    qint64 arrivalUs() const
    {
        timespec stamp{};
        if (ioctl(droneSocket, SIOCGSTAMPNS, &stamp) != 0)
            return std::numeric_limits<qint64>::max();
        return qint64(stamp.tv_sec) * 1000000 + stamp.tv_nsec / 1000 - playUs;
    }

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
        playUs = wallUs();
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

    // Empty when the arrivals keep to playback's plan: each command its predecessor's
    // wait after the predecessor's planned time, the first at PLAY; none before its
    // plan (the timer may fire a millisecond early), none more than LateMs after it.
    // One sent more than the catch-up time late moves the plan of the rest to when it
    // went out. The window takes that time a little before the datagram arrives, so
    // the plan unmoved from PLAY is the sound lower limit.
    QString timingFault(const QList<qint64> &waitsMs) const
    {
        qint64 fromPlayUs = 0;
        qint64 plannedUs = 0;
        for (int i = 0; i < arrivals.size(); ++i) {
            const qint64 atUs = arrivals[i].atUs;
            if (atUs < fromPlayUs - 2000 || atUs > plannedUs + LateMs * 1000)
                return QStringLiteral("%1 arrived %2 ms after PLAY, planned at %3 ms")
                    .arg(arrivals[i].text)
                    .arg(atUs / 1000.0)
                    .arg(plannedUs / 1000.0);
            if (atUs - plannedUs > hd::PlaybackSchedule::DefaultCatchUpMs * 1000)
                plannedUs = atUs;
            plannedUs += waitsMs.value(i) * 1000;
            fromPlayUs += waitsMs.value(i) * 1000;
        }
        return QString();
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
        const QList<QUdpSocket *> sockets = fixture.drone.findChildren<QUdpSocket *>();
        QCOMPARE(sockets.size(), 1);
        droneSocket = int(sockets.first()->socketDescriptor());
        // The first request turns the socket's stamps on; there is none to give yet.
        timespec stamp{};
        QVERIFY(ioctl(droneSocket, SIOCGSTAMPNS, &stamp) == 0 || errno == ENOENT);
        connect(&fixture.drone, &SimDrone::commandReceived, this, [this](const QString &text) {
            arrivals.append({text, arrivalUs()});
        });
        // The kernel starts stamping a moment later; until then a datagram gives the
        // time it was read, after it was sent.
        QUdpSocket probe;
        const bool stamped = QTest::qWaitFor([&] {
            arrivals.clear();
            playUs = wallUs();
            probe.writeDatagram("probe", QHostAddress(CntWinFixture::DroneAddress), fixture.port);
            const qint64 sentByUs = usSincePlay();
            return waitForArrivals(1, 1000) && arrivals[0].atUs <= sentByUs;
        });
        QVERIFY2(stamped, "no arrival stamps");
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
        QTest::addColumn<int>("label"); // the status label of a query's answer; -1 for none
        QTest::newRow("command:WAIT30") << "command:WAIT30"
                                        << "command" << 510 << -1;
        QTest::newRow("up 20:WAIT95") << "up 20:WAIT95"
                                      << "up 20" << 1615 << -1;
        QTest::newRow("land") << "land"
                              << "land" << 0 << -1;
        QTest::newRow("flip f:WAIT") << "flip f:WAIT"
                                     << "flip f" << 0 << -1;
        QTest::newRow("up 20:xWAIT30") << "up 20:xWAIT30"
                                       << "up 20" << 510 << -1;
        QTest::newRow("a:b:WAIT30") << "a:b:WAIT30"
                                    << "a" << 0 << -1;
        QTest::newRow("cw 90:WAIT1.5") << "cw 90:WAIT1.5"
                                       << "cw 90" << 25 << -1;
        QTest::newRow("WAIT30") << "WAIT30"
                                << "WAIT30" << 0 << -1;
        QTest::newRow("empty line") << ""
                                    << "" << 0 << -1;
        QTest::newRow("battery?:WAIT6") << "battery?:WAIT6"
                                        << "battery?" << 102 << 1;
    }

    // Each line of the table sends its command, then the next line follows its wait.
    void readsEachLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, command);
        QFETCH(int, waitMs);
        QFETCH(int, label);
        if (label >= 0)
            fixture.staLv(label)->clear();
        setList(line + QStringLiteral("\nnext"));
        pressPlay();

        const QStringList expected = command.isEmpty() ? QStringList{"next"} : QStringList{command, "next"};
        QVERIFY(waitForArrivals(expected.size()));
        QCOMPARE(arrived(), expected);
        QTRY_VERIFY(!rec()->isPlaying());
        verifyIdle();
        const QString fault = timingFault(command.isEmpty() ? QList<qint64>{0} : QList<qint64>{waitMs, 0});
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        // A played query's answer goes where its button's would.
        if (label >= 0)
            QTRY_COMPARE(fixture.staLv(label)->text(), QStringLiteral("87"));
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
        // Armed for the first wait, less the time since PLAY (rounded to whole ms).
        const int remaining = rec()->PlayTimer()->remainingTime();
        QVERIFY2(remaining <= 510 && remaining * 1000 >= 510000 - usSincePlay() - 2000,
                 qPrintable(QString::number(remaining)));

        const QStringList expected{"command", "takeoff", "up 20", "battery?", "land"};
        QVERIFY(waitForArrivals(expected.size()));
        QCOMPARE(arrived(), expected);
        QTRY_VERIFY_WITH_TIMEOUT(!rec()->isPlaying(), LateMs);
        verifyIdle();
        const QString fault = timingFault({510, 3060, 1615, 4080, 0});
        QVERIFY2(fault.isEmpty(), qPrintable(fault));

        // Played again, the flight was recorded anew with the waits that really passed
        // (one tick less or more from where a wait's ends fall between ticks, more
        // when the machine is busy between sending and recording).
        const QRegularExpression rewritten(
            QStringLiteral("^command:WAIT30\ntakeoff:WAIT(\\d+)\nup 20:WAIT(\\d+)\nbattery\\?:WAIT(\\d+)\nland\n$"));
        const QRegularExpressionMatch match = rewritten.match(rec()->targetText(0));
        QVERIFY2(match.hasMatch(), qPrintable(rec()->targetText(0)));
        for (int i = 1; i <= 3; ++i) {
            const double ticks = (arrivals[i + 1].atUs - arrivals[i].atUs) * 60 / 1e6;
            QVERIFY2(qAbs(match.captured(i).toInt() - ticks) <= 3,
                     qPrintable(QStringLiteral("%1 ticks recorded, %2 passed").arg(match.captured(i)).arg(ticks)));
        }
        QVERIFY(!rec()->isRecording());
    }

    void pauseHoldsTheQueue_data()
    {
        QTest::addColumn<int>("ticks");   // the wait after the first step
        QTest::addColumn<int>("holdMs");  // how long the pause lasts
        QTest::addColumn<bool>("resume"); // PLAY after the pause; else STOP
        QTest::addColumn<QStringList>("sent");
        // Several of the 102 ms waits pass, and nothing more goes out.
        QTest::newRow("PLAY goes on with the next step") << 6 << 600 << true << QStringList{"a", "b", "c"};
        // The time the paused wait had left is not owed to the wait after the next step.
        QTest::newRow("PLAY inside the paused wait") << 90 << 300 << true << QStringList{"a", "b", "c"};
        QTest::newRow("STOP sends only land") << 6 << 600 << false << QStringList{"a", "land"};
    }

    void pauseHoldsTheQueue()
    {
        QFETCH(int, ticks);
        QFETCH(int, holdMs);
        QFETCH(bool, resume);
        QFETCH(QStringList, sent);
        setList(QStringLiteral("a:WAIT%1\nb:WAIT12\nc\n").arg(ticks));
        pressPlay();
        QVERIFY(waitForArrivals(1));
        QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
        QVERIFY(!rec()->isPlaying());
        QCOMPARE(rec()->PlayBB()->text(), QStringLiteral("PLAY"));
        QVERIFY(rec()->StopBB()->isEnabled());
        QVERIFY(!rec()->PlayTimer()->isActive());

        QVERIFY(!waitForArrivals(2, holdMs));
        const qint64 pressedUs = usSincePlay();
        QTest::mouseClick(resume ? rec()->PlayBB() : rec()->StopBB(), Qt::LeftButton);
        QVERIFY(waitForArrivals(sent.size()));
        QCOMPARE(arrived(), sent);
        // The next step goes out at once, the one after it its own wait later.
        const qint64 nextUs = arrivals[1].atUs - pressedUs;
        QVERIFY2(nextUs >= -2000 && nextUs <= LateMs * 1000, qPrintable(QString::number(nextUs)));
        if (resume) {
            const qint64 waitUs = arrivals[2].atUs - arrivals[1].atUs;
            QVERIFY2(waitUs >= 204000 - 2000 && waitUs <= (204 + LateMs) * 1000, qPrintable(QString::number(waitUs)));
        }
        QTRY_VERIFY(!rec()->isPlaying());
        verifyIdle();
        QVERIFY(!waitForArrivals(sent.size() + 1, 300));
    }

    // A flight as recorded from the command line and the stick ("stick": a drag and
    // release) is played command by command; it is recorded anew and, played again,
    // sends the same commands.
    void replayedFlightSendsTheSameAgain_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("command line and stick")
            << QStringList{"takeoff", "go 20 30 40 50", "stick", "land"}
            << QStringList{"command", "takeoff", "go 20 30 40 50", "rc 20 40 0 0", "rc 0 0 0 0", "land"};
        QTest::newRow("commands after stop") << QStringList{"takeoff", "up 20", "stop", "up 20", "land"}
                                             << QStringList{"command", "takeoff", "up 20", "stop", "up 20", "land"};
    }

    void replayedFlightSendsTheSameAgain()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, commands);
        CntWinFixture::clearRecorded();
        QWidget *stick = fixture.control<QWidget>(QStringLiteral("acv_0"));
        for (const QString &step : script) {
            if (step == QLatin1String("stick")) {
                QTest::mousePress(stick, Qt::LeftButton, {}, QPoint(50, 50));
                QTest::mouseMove(stick, QPoint(62, 30));
                QTest::mouseRelease(stick, Qt::LeftButton, {}, QPoint(62, 30));
            } else {
                fixture.edit(QStringLiteral("CmdEF"))->setText(step);
                fixture.click(QStringLiteral("PushButton1"));
            }
        }
        (void)fixture.receivedBeforeMarker();

        for (int round = 0; round < 2; ++round) {
            pressPlay();
            QVERIFY(waitForArrivals(commands.size()));
            QTRY_VERIFY(!rec()->isPlaying());
            QCOMPARE(arrived(), commands);
        }
    }

    void changedPlanEndsPlayback_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("played"); // by the next PLAY
        const QStringList shown{"n", "m"};
        QTest::newRow("Open while paused") << true << "open" << shown;
        QTest::newRow("Open while playing") << false << "open" << shown;
        QTest::newRow("typed over while paused") << true << "type" << shown;
        QTest::newRow("pasted while playing") << false << "paste" << shown;
        // The user taking over is recorded, not an edit: PLAY resumes the held rest.
        QTest::newRow("command sent while paused") << true << "send" << QStringList{"b", "c"};
    }

    // A plan that no longer shows does not fly on: nothing more of it goes out, no
    // "land" either, and PLAY plays what the list shows.
    void changedPlanEndsPlayback()
    {
        QFETCH(bool, paused);
        QFETCH(QString, change);
        QFETCH(QStringList, played);
        const QString shown = QStringLiteral("n:WAIT6\nm");
        QPlainTextEdit *list = rec()->MjEF(0);
        setList(QStringLiteral("a:WAIT6\nb:WAIT6\nc\n"));
        pressPlay(); // "a" has gone out, "b" is 102 ms away
        if (paused)
            QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
        if (change == QLatin1String("open")) {
            for (int i = 0; i < 6; ++i)
                rec()->setTargetText(i, i == 0 ? shown : QStringLiteral("text %1").arg(i));
        } else if (change == QLatin1String("type")) {
            list->selectAll();
            QTest::keyClicks(list, QStringLiteral("n:WAIT6"));
            QTest::keyClick(list, Qt::Key_Return);
            QTest::keyClicks(list, QStringLiteral("m"));
        } else if (change == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setText(shown);
            list->selectAll();
            list->paste();
        } else {
            fixture.edit(QStringLiteral("CmdEF"))->setText(QStringLiteral("x"));
            fixture.click(QStringLiteral("PushButton1"));
        }
        const QStringList before = change == QLatin1String("send") ? QStringList{"a", "x"} : QStringList{"a"};
        QVERIFY(waitForArrivals(before.size()));
        QVERIFY(!waitForArrivals(before.size() + 1, 500));
        QCOMPARE(arrived(), before);
        if (change != QLatin1String("send")) {
            verifyIdle();
            QCOMPARE(rec()->targetText(0), shown);
        }

        pressPlay();
        QVERIFY(waitForArrivals(played.size()));
        QTRY_VERIFY(!rec()->isPlaying());
        QVERIFY(!waitForArrivals(played.size() + 1, 300));
        QCOMPARE(arrived(), played);
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
        QTRY_VERIFY_WITH_TIMEOUT(!rec()->isPlaying(), LateMs);
        verifyIdle();
        const QString fault = timingFault({0, 0});
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
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
            planned << at * 1000;
            at += ticks * 17;
        }
        setList(list);
        // The command line echoes each command right after it went out.
        QList<qint64> sent;
        auto echo = connect(fixture.edit(QStringLiteral("CmdEF")), &QLineEdit::textChanged, this,
                            [&] { sent << usSincePlay(); });
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
            qInfo("50-step plan over %lld ms, %s: worst deviation %.2f ms, mean %.2f ms", at, what, worst / 1000.0,
                  total / 50 / 1000);
        };
        report("sent", [&](int i) { return sent[i]; });
        report("arrived at the drone", [&](int i) { return arrivals[i].atUs; });
    }
};

HD_TEST_MAIN(tst_Playback)
#include "tst_playback.moc"
