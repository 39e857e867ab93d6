#include "../ui/CntWinFixture.h"
#include "HdTestMain.h"

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <thread>

// The drone's state stream on port 8890 and the status labels it shares with the
// query answers.
class tst_StateStream : public QObject
{
    Q_OBJECT

    CntWinFixture f;

    QStringList labels() const
    {
        QStringList texts;
        for (int i = 0; i < 12; ++i)
            texts << f.staLv(i)->text();
        return texts;
    }

    static QString stateValue(const QByteArray &state, const char *key)
    {
        for (const QByteArray &field : state.split(';')) {
            if (field.startsWith(QByteArray(key) + ':'))
                return QString::fromLatin1(field.mid(qsizetype(qstrlen(key)) + 1));
        }
        return QStringLiteral("<missing>");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.openApplication()); // aimed at the loopback drone before anything can send
        f.connectLink();
        QCOMPARE(f.log(), QStringLiteral("Connect to 127.0.0.2\n"));
    }

    void labelsFollowTheStream()
    {
        // Labels 0, 9, 10 and 11 show query answers only. (An answer goes to the
        // label of the last query sent, so each query waits for its answer.)
        for (int query : {0, 9, 10, 11}) {
            f.click(f.comPB(16 + query));
            QTRY_VERIFY(!f.staLv(query)->text().isEmpty());
        }

        QVERIFY(f.drone.startState(8890, QHostAddress(QStringLiteral("127.0.0.1")), 20));
        QTRY_COMPARE(f.staLv(6)->text(), QStringLiteral("-102.87"));
        const QByteArray state = f.drone.currentState();
        QVERIFY(state.endsWith(";\r\n"));
        const QStringList expected = {
            QStringLiteral("100.0"),   stateValue(state, "bat"),
            QStringLiteral("0"),       QStringLiteral("0"),
            QStringLiteral("85 - 88"), QStringLiteral("pitch: 0\nroll: -1\nyaw: 0"),
            QStringLiteral("-102.87"), QStringLiteral("agx: -5.00\nagy: 7.00\nagz: -999.00"),
            QStringLiteral("10"),      QStringLiteral("90"),
            QStringLiteral("20"),      QStringLiteral("0TQDG7BEDB0E9P"),
        };
        QTRY_COMPARE(labels(), expected);

        f.click(f.comPB(1)); // takeoff
        QTRY_COMPARE(f.staLv(3)->text(), QStringLiteral("80"));
        QTRY_COMPARE(f.staLv(8)->text(), QStringLiteral("90"));
        f.win->DoCmd(QStringLiteral("cw 90"));
        QTRY_COMPARE(f.staLv(5)->text(), QStringLiteral("pitch: 0\nroll: -1\nyaw: 90"));
        for (int query : {0, 9, 10, 11})
            QCOMPARE(f.staLv(query)->text(), expected.at(query));
        for (const QString &text : labels())
            QVERIFY2(!text.contains(u'\r'), qPrintable(text));

        f.drone.stopState();
        // Datagrams of the stream still queued must not reach the next test.
        QVERIFY(f.drone.sendState("time:end;\r\n"));
        QTRY_COMPARE(f.staLv(2)->text(), QStringLiteral("end"));
    }

    // Whatever arrives last is shown, query answer or state datagram.
    void answerAndStateOverwriteEachOther_data()
    {
        QTest::addColumn<QStringList>("steps"); // "state BYTES" or "query INDEX"
        QTest::addColumn<int>("label");
        QTest::addColumn<QString>("text");

        QTest::newRow("state, answer") << QStringList{"state bat:50;\r\n", "query 1"} << 1 << "87";
        QTest::newRow("answer, state") << QStringList{"query 1", "state bat:40;\r\n"} << 1 << "40";
        QTest::newRow("attitude answer, state")
            << QStringList{"query 5", "state pitch:1;roll:-2;yaw:30;\r\n"} << 5 << "pitch: 1\nroll: -2\nyaw: 30";
        QTest::newRow("attitude state, answer")
            << QStringList{"state pitch:1;roll:-2;yaw:30;\r\n", "query 5"} << 5 << "pitch:0\nroll:-1\nyaw:0\n";
        QTest::newRow("missing key keeps the answer") << QStringList{"query 4", "state templ:60;\r\n"} << 4 << "85~88C";
        QTest::newRow("temp from state") << QStringList{"query 4", "state templ:60;temph:62;\r\n"} << 4 << "60 - 62";
    }
    void answerAndStateOverwriteEachOther()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, label);
        QFETCH(QString, text);
        for (const QString &step : steps) {
            const QString what = step.section(u' ', 1);
            const QString before = f.staLv(label)->text();
            f.staLv(label)->setText(QStringLiteral("<waiting>"));
            if (step.startsWith(QLatin1String("state"))) {
                // A state datagram without the label's keys leaves it alone: put back
                // what it showed and wait for a second datagram that moves another label.
                f.staLv(label)->setText(before);
                f.staLv(2)->setText(QStringLiteral("<waiting>"));
                QVERIFY(f.drone.sendState(what.toLatin1()));
                QVERIFY(f.drone.sendState("time:7;\r\n"));
                QTRY_COMPARE(f.staLv(2)->text(), QStringLiteral("7"));
            } else {
                f.click(f.comPB(16 + what.toInt()));
                QTRY_VERIFY(f.staLv(label)->text() != QLatin1String("<waiting>"));
            }
        }
        QCOMPARE(f.staLv(label)->text(), text);
    }

    void floodKeepsTheWindowResponsive()
    {
        // The flood lasts until the window has shown that it answers and runs its
        // timers under it, however slowly a busy machine lets it; it ends by itself
        // after a while, so a window that stops responding fails instead of hanging.
        constexpr int FloodMs = 60000;
        std::atomic<bool> stop{false};
        std::atomic<bool> flooding{true};
        std::atomic<int> sent{0};
        std::thread flood([&] {
            QUdpSocket socket;
            QElapsedTimer running;
            running.start();
            for (int n = 0; !stop && running.elapsed() < FloodMs; ++n) {
                const QByteArray state =
                    "mid:-1;x:-100;y:-100;z:-100;mpry:-1,-1,-1;pitch:0;roll:0;yaw:0;vgx:0;vgy:0;vgz:0;"
                    "templ:44;temph:47;tof:10;h:0;bat:"
                    + QByteArray::number(n % 100) + ";baro:138.82;time:0;agx:9.00;agy:0.00;agz:-1000.00;\r\n";
                if (socket.writeDatagram(state, QHostAddress(QStringLiteral("127.0.0.1")), 8890) > 0)
                    ++sent;
                // Up to 100000 a second: more than the window can parse, yet few
                // enough that the loopback device does not drop the drone's answers.
                if (n % 500 == 499)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            flooding = false;
        });
        auto joinFlood = qScopeGuard([&] {
            stop = true;
            flood.join();
        });
        QTRY_VERIFY(sent > 1000);

        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        f.clearLog();
        // Loopback may drop a datagram while the flood runs: a command without an
        // answer is sent again, as a user would press the button again.
        QElapsedTimer sinceSent;
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (f.log().endsWith(QLatin1String("command: ok\n")))
                    return true;
                if (!sinceSent.isValid() || sinceSent.elapsed() > 500) {
                    f.win->DoCmd(QStringLiteral("command"));
                    sinceSent.start();
                }
                return false;
            },
            FloodMs));
        QVERIFY2(flooding, "the answer was shown only after the flood had ended");
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, FloodMs);
        QVERIFY2(flooding, "timers ran only after the flood had ended");

        stop = true;
        joinFlood.dismiss();
        flood.join();
        // The socket's buffer may still be full of the flood and drop a datagram
        // sent now: the final one is sent again until the window shows it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                f.drone.sendState("bat:12345;\r\n");
                return f.staLv(1)->text() == QLatin1String("12345");
            },
            10000));
    }

    void disconnectClosesTheStateSocket()
    {
        f.click("LeavePM");
        QVERIFY(f.socket("udpr")->state() != QAbstractSocket::BoundState);
        // The hidden pair opens and closes the state socket alone.
        f.click("ConnPM1");
        QCOMPARE(f.socket("udpr")->state(), QAbstractSocket::BoundState);
        QVERIFY(!f.linkBound());
        QVERIFY(f.drone.sendState("tof:33;\r\n"));
        QTRY_COMPARE(f.staLv(8)->text(), QStringLiteral("33"));
        f.click("LeavePM1");
        QVERIFY(f.socket("udpr")->state() != QAbstractSocket::BoundState);
    }
};

HD_TEST_MAIN(tst_StateStream)
#include "tst_statestream.moc"
