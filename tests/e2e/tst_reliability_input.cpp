#include "../ui/CntWinFixture.h"
#include "FileDialogs.h"
#include "HdTestMain.h"
#include "ReliabilityHelpers.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace reliability;

// Junk typed into the connection row, the command line and the frame-rate field:
// nothing goes where it should not, failures take the error path, and a valid
// entry afterwards works again.
class tst_ReliabilityInput : public QObject
{
    Q_OBJECT

    CntWinFixture f;
    QTemporaryDir dir;

    QString playerPath() const { return dir.filePath(QStringLiteral("player.sh")); }
    QString argumentsPath() const { return dir.filePath(QStringLiteral("arguments")); }
    QString injectedPath() const { return dir.filePath(QStringLiteral("injected")); }

    // The drone's command port, not the one the window is aimed at.
    QString dronePort() const { return QString::number(f.drone.port()); }

    void aimAtDrone()
    {
        f.aim(f.drone.port());
        f.connectLink();
        QVERIFY(f.linkBound());
    }

    // After junk: the valid entries work again.
    void verifyWorksAgain()
    {
        aimAtDrone();
        f.clearLog();
        f.drone.clearReceived();
        f.win->DoCmd(QStringLiteral("command"));
        QTRY_COMPARE(f.log(), QStringLiteral("command: ok\n"));
        QCOMPARE(f.drone.received(), QStringList{QStringLiteral("command")});
    }

    static QStringList readArguments(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("<none>")};
        QStringList arguments;
        for (const QByteArray &argument : file.readAll().split('\0'))
            arguments << QString::fromUtf8(argument);
        arguments.removeLast(); // after the last terminator
        return arguments;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        App::instance()->startUp();
        QVERIFY(f.drone.start(QHostAddress(CntWinFixture::DroneAddress), 0));
        f.open(f.drone.port()); // aimed at the loopback drone before anything can send
        aimAtDrone();

        // A stand-in player that writes down its arguments and ends; it opens no socket.
        QFile player(playerPath());
        QVERIFY(player.open(QIODevice::WriteOnly));
        player.write("#!/bin/sh\n"
                     "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$0.tmp\"\n"
                     "mv \"$0.tmp\" \""
                     + argumentsPath().toUtf8() + "\"\n");
        player.close();
        QVERIFY(player.setPermissions(player.permissions() | QFileDevice::ExeOwner));
        FileDialogs::setTestHooks({[this](const QString &) { return playerPath(); }, {}, {}});
        f.click(QStringLiteral("PushButton2")); // Select
        QCOMPARE(f.win->ffplay(), playerPath());
    }

    void cleanupTestCase() { FileDialogs::setTestHooks({}); }

    void init()
    {
        // A case that failed half-way must not leave junk aimed for the next one.
        f.aim(f.drone.port());
        f.edit(QStringLiteral("frEF"))->setText(QStringLiteral("90"));
        f.drone.clearScript();
        f.drone.clearReceived();
        f.clearLog();
    }

    void junkAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << "";
        QTest::newRow("host name") << "localhost";
        QTest::newRow("part above 255") << "127.0.0.999";
        QTest::newRow("leading blank") << " 127.0.0.2";
        QTest::newRow("trailing blank") << "127.0.0.2 ";
        QTest::newRow("three parts") << "127.0.2";
        QTest::newRow("with port") << "127.0.0.2:8889";
        QTest::newRow("10k characters") << QString(10000, u'1');
        QTest::newRow("10k repeated address") << QStringLiteral("127.0.0.2").repeated(1200);
        QTest::newRow("full-width digits") << QStringLiteral("１２７.０.０.２");
        QTest::newRow("mixed script") << QStringLiteral("127.0.0.２");
        QTest::newRow("zone id") << "127.0.0.2%lo";
        QTest::newRow("control character") << QStringLiteral("127.0.0.2") + QChar(0x7F);
    }
    void junkAddress()
    {
        QFETCH(QString, address);
        QSignalSpy written(f.socket(QStringLiteral("udps")), &QUdpSocket::bytesWritten);
        const std::optional<qint64> sentBefore = udpCounter("OutDatagrams");

        f.edit(QStringLiteral("AddressEF"))->setText(address);
        QCOMPARE(f.win->address(), address);
        f.connectLink();
        f.win->DoCmd(QStringLiteral("takeoff"));
        QCOMPARE(f.log(), QStringLiteral("Connect to ") + address + QStringLiteral("\ntakeoff: error...\n"));
        QCOMPARE(written.count(), 0);
        if (sentBefore)
            QCOMPARE(*udpCounter("OutDatagrams"), *sentBefore);
        QCOMPARE(f.receivedBeforeMarker(), QStringList());

        verifyWorksAgain();
    }

    void junkPort_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("port"); // %1: the drone's port
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("reaches");

        // Port aims the commands: nothing can be sent to a port outside 1..65535.
        // Local Port is bound at Connect: port 0 binds some free port, from which the
        // commands still reach the drone; a port out of range binds nothing, and the
        // link stays where it was bound before.
        const QString refused = QStringLiteral("error...\ntakeoff: ok\n");
        const QString unsent = QStringLiteral("Connect to 127.0.0.2\ntakeoff: error...\n");
        const QString sent = QStringLiteral("Connect to 127.0.0.2\ntakeoff: ok\n");
        for (const char *field : {"PortEF", "LocalPortEF"}) {
            const bool local = qstrcmp(field, "LocalPortEF") == 0;
            const QString outOfRange = local ? refused : unsent;
            const QString zero = local ? sent : unsent;
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", field, name); };
            row("empty") << field << "" << zero << local;
            row("-1") << field << "-1" << outOfRange << local;
            row("99999") << field << "99999" << outOfRange << local;
            row("65536") << field << "65536" << outOfRange << local;
            row("abc") << field << "abc" << zero << local;
            row("1e9") << field << "1e9" << outOfRange << local;
            row("-1e300") << field << "-1e300" << outOfRange << local;
            row("1e400") << field << "1e400" << outOfRange << local;
            row("hex") << field << "0x22b9" << zero << local;
            // Val reads the leading number: these are the drone's port.
            row("fraction") << field << "%1.7" << sent << true;
            row("leading blank") << field << " %1" << sent << true;
            row("trailing letters") << field << "%1abc" << sent << true;
        }
    }
    void junkPort()
    {
        QFETCH(QString, field);
        QFETCH(QString, port);
        QFETCH(QString, log);
        QFETCH(bool, reaches);
        if (port.contains(QLatin1String("%1")))
            port = port.arg(dronePort());

        f.edit(field)->setText(port);
        f.connectLink();
        f.win->DoCmd(QStringLiteral("takeoff"));
        QTRY_COMPARE(f.log(), log);
        QCOMPARE(f.receivedBeforeMarker(), reaches ? QStringList{QStringLiteral("takeoff")} : QStringList());

        verifyWorksAgain();
    }

    // The command line has no length limit: whatever fits in a datagram is sent whole.
    void longCommandLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::newRow("40k characters") << QString(40000, u'x') << true;
        QTest::newRow("largest datagram") << QString(65507, u'y') << true;
        QTest::newRow("60k bytes of 2-byte characters") << QString(30000, QChar(0xE9)) << true;
        QTest::newRow("one byte too many") << QString(65508, u'z') << false;
        QTest::newRow("2-byte characters too many") << QString(32754, QChar(0xE9)) << false;
    }
    void longCommandLine()
    {
        QFETCH(QString, text);
        QFETCH(bool, fits);
        f.edit(QStringLiteral("CmdEF"))->setText(text);
        QCOMPARE(f.cmdLine().size(), text.size());
        f.click(QStringLiteral("PushButton1")); // Send
        if (fits) {
            QTRY_VERIFY(f.log() == text + QStringLiteral(": ok\n"));
            QCOMPARE(f.receivedBeforeMarker(), QStringList{text});
        } else {
            QVERIFY(f.log() == text + QStringLiteral(": error...\n"));
            QCOMPARE(f.receivedBeforeMarker(), QStringList());
        }
        verifyWorksAgain();
    }

    // The frame rate reaches the player as one argument exactly as typed; no
    // shell ever sees it.
    void junkFrameRate_data()
    {
        QTest::addColumn<QString>("rate"); // %1: a file that must never appear
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << " ";
        QTest::newRow("command separator") << "90; touch %1";
        QTest::newRow("command substitution") << "$(touch %1)";
        QTest::newRow("backticks") << "`touch %1`";
        QTest::newRow("pipe") << "90 | touch %1";
        QTest::newRow("and") << "90 && touch %1";
        QTest::newRow("redirection") << "90 > %1";
        QTest::newRow("quotes") << "9'0\"; touch %1; \"";
        QTest::newRow("option injection") << "90 -vf scale=1:1";
        QTest::newRow("10k characters") << QString(10000, u'9');
        QTest::newRow("non-ASCII") << QStringLiteral("９０ é ✓");
    }
    void junkFrameRate()
    {
        QFETCH(QString, rate);
        if (rate.contains(QLatin1String("%1")))
            rate = rate.arg(injectedPath());
        QFile::remove(argumentsPath());
        f.edit(QStringLiteral("frEF"))->setText(rate);

        f.click(QStringLiteral("StreamOnPM"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(argumentsPath()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!f.win->isPlayerRunning(), 10000);
        const QStringList expected = {QStringLiteral("-probesize"), QStringLiteral("32"),
                                      QStringLiteral("-i"),         QStringLiteral("udp://0.0.0.0:11111"),
                                      QStringLiteral("-framerate"), rate};
        QCOMPARE(readArguments(argumentsPath()), expected);
        QVERIFY(!QFile::exists(injectedPath()));
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("streamon")});

        f.click(QStringLiteral("StreamOffPB"));
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\nstreamoff: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("streamoff")});
    }
};

HD_TEST_MAIN(tst_ReliabilityInput)
#include "tst_reliability_input.moc"
