#include "../ui/CntWinFixture.h"
#include "HdTestMain.h"

#include <QProcess>

// The application flown against the hoverdeck-drone executable, as a newcomer
// without a drone would run it.
class tst_RealDrone : public QObject
{
    Q_OBJECT

    CntWinFixture f;
    QProcess drone;
    QString droneOutput;

    static QString droneProgram() { return qEnvironmentVariable("HOVERDECK_BIN") + QStringLiteral("/hoverdeck-drone"); }

    static quint16 freePort()
    {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(CntWinFixture::DroneAddress), 0, QAbstractSocket::DontShareAddress))
            return 0;
        return probe.localPort();
    }

    QString readOutput()
    {
        droneOutput += QString::fromUtf8(drone.readAllStandardOutput());
        return droneOutput;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(droneProgram()).isExecutable(), qPrintable(droneProgram()));
        CntWin::instance();
        const quint16 port = freePort();
        QVERIFY(port != 0);
        f.open(port); // aimed at the loopback drone before anything can send

        drone.start(droneProgram(),
                    {QStringLiteral("--address"), CntWinFixture::DroneAddress, QStringLiteral("--port"),
                     QString::number(port), QStringLiteral("--state-interval"), QStringLiteral("50"),
                     QStringLiteral("--reject"), QStringLiteral("flip=Not joystick"), QStringLiteral("--flight-rules"),
                     QStringLiteral("--answer"), QStringLiteral("wifi?=72\\r\\n")});
        QVERIFY(drone.waitForStarted(5000));
        const QString banner = QStringLiteral("hoverdeck-drone on 127.0.0.2:%1").arg(port);
        QTRY_VERIFY_WITH_TIMEOUT(readOutput().contains(banner), 5000);
    }

    void cleanupTestCase()
    {
        if (drone.state() != QProcess::NotRunning) {
            drone.kill();
            drone.waitForFinished(5000);
        }
    }

    void connectAndStateStream()
    {
        f.connectLink();
        QCOMPARE(f.log(), QStringLiteral("Connect to 127.0.0.2\n"));
        // The state datagrams of the executable reach the labels.
        QTRY_COMPARE_WITH_TIMEOUT(f.staLv(6)->text(), QStringLiteral("-102.87"), 5000);
        QCOMPARE(f.staLv(4)->text(), QStringLiteral("85 - 88"));
        QCOMPARE(f.staLv(7)->text(), QStringLiteral("agx: -5.00\nagy: 7.00\nagz: -999.00"));
    }

    void flyCommands_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("label");
        QTest::addColumn<QString>("labelText");

        QTest::newRow("command") << 0 << "command: ok\n" << -1 << "";
        QTest::newRow("land on the ground") << 2 << "land: error Not flying\n" << -1 << "";
        QTest::newRow("takeoff") << 1 << "takeoff: ok\n" << -1 << "";
        QTest::newRow("flip rejected with its reason") << 12 << "flip f: error Not joystick\n" << -1 << "";
        QTest::newRow("sn?") << 27 << "sn?: " << 11 << "0TQDG7BEDB0E9P";
        QTest::newRow("scripted wifi?") << 25 << "wifi?: " << 9 << "72";
        QTest::newRow("land") << 2 << "land: ok\n" << -1 << "";
        // A failure is no value of the last query: its label keeps what it showed.
        QTest::newRow("second land refused") << 2 << "land: error Not flying\n" << 9 << "72";
    }
    void flyCommands()
    {
        QFETCH(int, button);
        QFETCH(QString, log);
        QFETCH(int, label);
        QFETCH(QString, labelText);
        f.clearLog();
        const QString caption = f.comPB(button)->text();
        f.click(f.comPB(button));
        if (label >= 0)
            QTRY_COMPARE_WITH_TIMEOUT(f.staLv(label)->text(), labelText, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(f.log(), log, 5000);
        if (label >= 0)
            QCOMPARE(f.staLv(label)->text(), labelText);
        // The executable tells a newcomer what arrived and what it answered.
        QTRY_VERIFY_WITH_TIMEOUT(readOutput().contains(QStringLiteral("<- ") + caption + u'\n'), 5000);
    }

    void heightFollowsTheFlight()
    {
        f.click(f.comPB(1)); // takeoff
        QTRY_COMPARE_WITH_TIMEOUT(f.staLv(3)->text(), QStringLiteral("80"), 5000);
        f.click(f.comPB(2)); // land
        QTRY_COMPARE_WITH_TIMEOUT(f.staLv(3)->text(), QStringLiteral("0"), 5000);
    }

    void refusesNonLoopbackAddresses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // Refused before any socket exists: nothing can be sent to these.
        QTest::newRow("drone address") << QStringList{QStringLiteral("--address"), QStringLiteral("192.168.10.1")};
        QTest::newRow("any address") << QStringList{QStringLiteral("--address"), QStringLiteral("0.0.0.0")};
        QTest::newRow("state target") << QStringList{QStringLiteral("--state-target"), QStringLiteral("192.168.10.1")};
    }
    void refusesNonLoopbackAddresses()
    {
        QFETCH(QStringList, arguments);
        QProcess refused;
        refused.start(droneProgram(), arguments << QStringLiteral("--port") << QStringLiteral("0"));
        QVERIFY(refused.waitForFinished(5000));
        QCOMPARE(refused.exitCode(), 2);
        QVERIFY(refused.readAllStandardError().contains("only loopback addresses"));
    }

    void endsCleanlyOnTerminate()
    {
        drone.terminate();
        QVERIFY(drone.waitForFinished(5000));
        QCOMPARE(drone.exitStatus(), QProcess::NormalExit);
        QCOMPARE(drone.exitCode(), 0);
        f.click("LeavePM");
    }
};

HD_TEST_MAIN(tst_RealDrone)
#include "tst_realdrone.moc"
