#include "SimDrone.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

// A peer of the simulated drone on 127.0.0.1, like the application.
class Peer
{
public:
    explicit Peer(quint16 port = 0) { QVERIFY(socket.bind(QHostAddress(QStringLiteral("127.0.0.1")), port)); }

    void send(const QByteArray &text, quint16 port)
    {
        socket.writeDatagram(text, QHostAddress(QStringLiteral("127.0.0.2")), port);
    }
    // The next datagram, or a null array when none arrives in time.
    QByteArray next(int timeoutMs = 3000)
    {
        // The drone lives in this thread: wait with the event loop running.
        if (!QTest::qWaitFor([this] { return socket.hasPendingDatagrams(); }, timeoutMs))
            return {};
        return socket.receiveDatagram().data();
    }

    QUdpSocket socket;
};

class tst_SimDrone : public QObject
{
    Q_OBJECT

private:
    // Sends text and returns the answer. Answers come in command order, so a silent
    // command shows as the answer to a following marker query arriving first.
    QByteArray ask(SimDrone &drone, Peer &peer, const QByteArray &text)
    {
        drone.setAnswer(QStringLiteral("marker?"), "MARK");
        peer.send(text, drone.port());
        peer.send("marker?", drone.port());
        const QByteArray first = peer.next();
        if (first == "MARK")
            return QByteArrayLiteral("<silent>");
        if (peer.next() != "MARK")
            return QByteArrayLiteral("<marker lost>");
        return first;
    }

private slots:
    void bindsLoopbackOnly_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("default drone address") << "192.168.10.1" << false;
        QTest::newRow("private") << "10.0.0.1" << false;
        QTest::newRow("any") << "0.0.0.0" << false;
        QTest::newRow("just above loopback") << "128.0.0.1" << false;
        QTest::newRow("IPv6 loopback") << "::1" << false;
        QTest::newRow("unparsable") << "localhost" << false;
        QTest::newRow("127.0.0.2") << "127.0.0.2" << true;
        QTest::newRow("top of 127/8") << "127.255.255.254" << true;
    }
    void bindsLoopbackOnly()
    {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        QCOMPARE(SimDrone::isLoopback(QHostAddress(address)), accepted);
        // Only addresses that cannot leave the machine are handed to the calls
        // that bind and send: a fault in the check must not become traffic.
        const QHostAddress host(address);
        if (!host.isNull() && !host.isLoopback() && host != QHostAddress::AnyIPv4)
            return;
        SimDrone drone;
        QCOMPARE(drone.start(host, 0), accepted);
        QCOMPARE(drone.isRunning(), accepted);
        QCOMPARE(drone.startState(8890, host, 100), accepted);
        drone.stopState();
    }

    void sharesItsPortWithTheApplication()
    {
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        QUdpSocket app;
        QVERIFY(app.bind(QHostAddress::AnyIPv4, drone.port(),
                         QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
        app.writeDatagram("command", QHostAddress(QStringLiteral("127.0.0.2")), drone.port());
        QTRY_VERIFY_WITH_TIMEOUT(app.hasPendingDatagrams(), 3000);
        QCOMPARE(app.receiveDatagram().data(), QByteArray("ok"));
        QCOMPARE(drone.received(), QStringList{QStringLiteral("command")});
    }

    void answersLikeADrone_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("command") << QByteArray("command") << QByteArray("ok");
        QTest::newRow("takeoff") << QByteArray("takeoff") << QByteArray("ok");
        QTest::newRow("Land with capital") << QByteArray("Land") << QByteArray("ok");
        QTest::newRow("emergency") << QByteArray("emergency") << QByteArray("ok");
        QTest::newRow("unknown word") << QByteArray("hover 5") << QByteArray("ok");
        QTest::newRow("motion on the ground") << QByteArray("cw 90") << QByteArray("ok");
        QTest::newRow("rc never answered") << QByteArray("rc 10 -10 0 100") << QByteArray("<silent>");
        QTest::newRow("speed?") << QByteArray("speed?") << QByteArray("100.0\r\n");
        QTest::newRow("battery?") << QByteArray("battery?") << QByteArray("87\r\n");
        QTest::newRow("query case ignored") << QByteArray("BATTERY?") << QByteArray("87\r\n");
        QTest::newRow("time?") << QByteArray("time?") << QByteArray("11s\r\n");
        QTest::newRow("height?") << QByteArray("height?") << QByteArray("15dm\r\n");
        QTest::newRow("temp?") << QByteArray("temp?") << QByteArray("85~88C\r\n");
        QTest::newRow("attitude?") << QByteArray("attitude?") << QByteArray("pitch:0;roll:-1;yaw:0;\r\n");
        QTest::newRow("baro?") << QByteArray("baro?") << QByteArray("-102.865509\r\n");
        QTest::newRow("acceleration?") << QByteArray("acceleration?")
                                       << QByteArray("agx:-5.00;agy:7.00;agz:-999.00;\r\n");
        QTest::newRow("tof?") << QByteArray("tof?") << QByteArray("875mm\r\n");
        QTest::newRow("wifi?") << QByteArray("wifi?") << QByteArray("90\r\n");
        QTest::newRow("sdk?") << QByteArray("sdk?") << QByteArray("20\r\n");
        QTest::newRow("sn?") << QByteArray("sn?") << QByteArray("0TQDG7BEDB0E9P\r\n");
    }
    void answersLikeADrone()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        Peer peer;
        QCOMPARE(ask(drone, peer, command), answer);
        QCOMPARE(drone.received().first(), QString::fromUtf8(command));
    }

    void scripting_data()
    {
        QTest::addColumn<QString>("script");     // what to set up, steps parted by "; "
        QTest::addColumn<QByteArray>("command"); // commands parted by "|"
        QTest::addColumn<QByteArray>("answer");  // their answers, parted by "|"
        QTest::newRow("answer, word case ignored")
            << "answer BATTERY?" << QByteArray("battery?") << QByteArray("42\r\n");
        QTest::newRow("answer an error text") << "answer flip" << QByteArray("flip x") << QByteArray("42\r\n");
        QTest::newRow("reject") << "reject takeoff" << QByteArray("takeoff") << QByteArray("error");
        QTest::newRow("reject covers Land") << "reject land" << QByteArray("Land") << QByteArray("error");
        QTest::newRow("reject with a reason")
            << "reject land=Not flying" << QByteArray("Land") << QByteArray("error Not flying");
        QTest::newRow("unknown repeats the command")
            << "unknown FLIP" << QByteArray("flip l") << QByteArray("unknown command: flip l");
        QTest::newRow("silent") << "silent emergency" << QByteArray("emergency") << QByteArray("<silent>");
        QTest::newRow("other words unaffected") << "reject takeoff" << QByteArray("land") << QByteArray("ok");
        QTest::newRow("cleared") << "clear" << QByteArray("takeoff|land|land") << QByteArray("ok|ok|ok");
        QTest::newRow("rules: on the ground") << "rules" << QByteArray("land|Land|emergency|battery?")
                                              << QByteArray("error Not flying|error Not flying|ok|87\r\n");
        QTest::newRow("rules: every motion needs flight")
            << "rules"
            << QByteArray("up 20|down 20|left 20|right 20|forward 20|back 20|cw 90|ccw 90|"
                          "flip l|go 50 50 0 20|curve 20 20 0 40 40 0 20")
            << QByteArrayList(11, "error Not flying").join('|');
        QTest::newRow("rules: in the air") << "rules" << QByteArray("takeoff|forward 50|cw 90|land|land")
                                           << QByteArray("ok|ok|ok|ok|error Not flying");
        QTest::newRow("rules: script comes first")
            << "rules; answer land" << QByteArray("land|up 20") << QByteArray("42\r\n|error Not flying");
    }
    void scripting()
    {
        QFETCH(QString, script);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        for (const QString &step : script.split(QLatin1String("; "))) {
            const QString word = step.section(u' ', 1);
            if (step.startsWith(QLatin1String("answer")))
                drone.setAnswer(word, "42\r\n");
            else if (step.startsWith(QLatin1String("reject")))
                drone.setReject(word.section(u'=', 0, 0), word.section(u'=', 1));
            else if (step.startsWith(QLatin1String("unknown")))
                drone.setUnknown(word);
            else if (step.startsWith(QLatin1String("silent")))
                drone.setSilent(word);
            else if (step == QLatin1String("rules"))
                drone.setFlightRules(true);
            else {
                drone.setReject(QStringLiteral("takeoff"));
                drone.setAllSilent(true);
                drone.setFlightRules(true);
                drone.clearScript();
            }
        }
        Peer peer;
        QByteArrayList answers;
        for (const QByteArray &each : command.split('|'))
            answers << ask(drone, peer, each);
        QCOMPARE(answers.join('|'), answer);
    }

    void allSilentAnswersNothing()
    {
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        drone.setAllSilent(true);
        QSignalSpy received(&drone, &SimDrone::commandReceived);
        Peer peer;
        peer.send("battery?", drone.port());
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 3000);
        drone.setAllSilent(false);
        peer.send("sn?", drone.port());
        QCOMPARE(peer.next(), QByteArray("0TQDG7BEDB0E9P\r\n")); // the first answer of all
    }

    void answersOnlyTheSender()
    {
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        Peer asking, other;
        asking.send("battery?", drone.port());
        QCOMPARE(asking.next(), QByteArray("87\r\n"));
        QVERIFY(!other.socket.hasPendingDatagrams());
    }

    void slowMotionKeepsAnswerOrder()
    {
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        drone.setMotionDelay(30);
        // Each query goes out a state datagram after the takeoff before it, so the drone
        // queues the two in different milliseconds. Answers timed one by one overtook
        // each other in about one such pair of eight: fifty pairs all but always show it.
        Peer ticks, peer;
        QVERIFY(drone.startState(ticks.socket.localPort(), QHostAddress(QStringLiteral("127.0.0.1")), 1));
        QSignalSpy tick(&ticks.socket, &QUdpSocket::readyRead);
        for (int i = 0; i < 50; ++i) {
            peer.send("takeoff", drone.port());
            while (ticks.socket.hasPendingDatagrams())
                ticks.socket.receiveDatagram();
            QVERIFY(tick.wait(3000));
            peer.send("battery?", drone.port());
        }
        QByteArrayList answers;
        for (int i = 0; i < 100 && (answers.isEmpty() || !answers.last().isNull()); ++i)
            answers << peer.next();
        QCOMPARE(answers.join('|'), QByteArrayList(50, "ok|87\r\n").join('|'));
    }

    // "takeoff" and "land" are answered once the motion is done, and what was asked
    // after them waits behind. A stop drops what still waits: none of it leaves
    // through the next run's socket, which answers from its first command on.
    void motionDelay_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("takeoff") << QByteArray("takeoff") << false;
        QTest::newRow("Land") << QByteArray("Land") << false;
        QTest::newRow("stopped while waiting") << QByteArray("takeoff") << true;
    }
    void motionDelay()
    {
        QFETCH(QByteArray, command);
        QFETCH(bool, stopped);
        constexpr int MotionMs = 300;
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        drone.setMotionDelay(MotionMs);
        QSignalSpy received(&drone, &SimDrone::commandReceived);
        Peer peer;
        QElapsedTimer sent;
        sent.start();
        peer.send(command, drone.port());
        if (stopped) {
            QVERIFY(received.wait(3000));
            drone.stop();
            QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        }
        peer.send("battery?", drone.port());
        if (!stopped) {
            QCOMPARE(peer.next(), QByteArray("ok"));
            // The drone counts whole milliseconds from a later start than ours.
            QVERIFY2(sent.elapsed() >= MotionMs - 2, QByteArray::number(sent.elapsed()));
        }
        QCOMPARE(peer.next(), QByteArray("87\r\n"));
    }

    void stateDatagram()
    {
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        Peer stateReceiver;
        QVERIFY(drone.startState(stateReceiver.socket.localPort(), QHostAddress(QStringLiteral("127.0.0.1")), 20));
        const QByteArray state = stateReceiver.next();
        QVERIFY(state.startsWith("mid:-1;x:-100;y:-100;z:-100;mpry:-1,-1,-1;pitch:"));
        QVERIFY(state.endsWith(";\r\n"));
        const QList<QByteArray> fields = state.chopped(3).split(';');
        QStringList keys;
        for (const QByteArray &field : fields)
            keys << QString::fromLatin1(field.left(field.indexOf(':')));
        QCOMPARE(keys.join(u','),
                 QStringLiteral("mid,x,y,z,mpry,pitch,roll,yaw,vgx,vgy,vgz,templ,temph,"
                                "tof,h,bat,baro,time,agx,agy,agz"));
        QVERIFY(state.contains(";h:0;"));

        Peer pilot;
        drone.setFlightRules(true);
        pilot.send("cw 90", drone.port()); // refused on the ground: no turn
        QCOMPARE(pilot.next(), QByteArray("error Not flying"));
        QVERIFY(drone.currentState().contains(";yaw:0;"));
        drone.setAnswer(QStringLiteral("cw"), "ok"); // a scripted word is answered and acts
        pilot.send("cw 90", drone.port());
        QCOMPARE(pilot.next(), QByteArray("ok"));
        QVERIFY(drone.currentState().contains(";yaw:90;"));
        pilot.send("takeoff", drone.port());
        QCOMPARE(pilot.next(), QByteArray("ok"));
        QVERIFY(drone.currentState().contains(";h:80;"));
        pilot.send("up 40", drone.port());
        QCOMPARE(pilot.next(), QByteArray("ok"));
        QVERIFY(drone.currentState().contains(";tof:130;h:120;"));
        pilot.send("land", drone.port());
        QCOMPARE(pilot.next(), QByteArray("ok"));
        QVERIFY(drone.currentState().contains(";h:0;"));
        drone.stopState();
        QVERIFY(!drone.isStateRunning());
    }

    void sendStateExactBytes()
    {
        SimDrone drone;
        Peer stateReceiver;
        QVERIFY(drone.startState(stateReceiver.socket.localPort(), QHostAddress(QStringLiteral("127.0.0.1")), 60000));
        const QByteArray bytes("templ:60;temph:62;\r\n");
        QVERIFY(drone.sendState(bytes));
        QCOMPARE(stateReceiver.next(), bytes);
    }

    void videoStreamFollowsStreamOnAndOff()
    {
        QCOMPARE(SimDrone::videoArguments(12345).last(), QStringLiteral("udp://127.0.0.1:12345?pkt_size=1460"));
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed");
        SimDrone drone;
        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        Peer video;
        drone.setVideoEnabled(true, video.socket.localPort());
        Peer pilot;
        pilot.send("streamon", drone.port());
        QCOMPARE(pilot.next(), QByteArray("ok"));
        QVERIFY(drone.isVideoRunning());
        // A first start of ffmpeg on a busy machine may take a while to load its libraries.
        QVERIFY2(!video.next(30000).isEmpty(),
                 drone.isVideoRunning() ? "ffmpeg runs but sends nothing" : "ffmpeg ended");
        pilot.send("streamoff", drone.port());
        QCOMPARE(pilot.next(), QByteArray("ok"));
        QVERIFY(!drone.isVideoRunning());
    }
};

QTEST_GUILESS_MAIN(tst_SimDrone)
#include "tst_simdrone.moc"
