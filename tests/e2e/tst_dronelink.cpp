#include "DroneLink.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

// The link on its own, against a peer on 127.0.0.2 that plays the drone.
class tst_DroneLink : public QObject
{
    Q_OBJECT

    const QHostAddress droneAddress{QStringLiteral("127.0.0.2")};
    const QHostAddress appAddress{QStringLiteral("127.0.0.1")};
    DroneLink link;
    QUdpSocket drone;

    QUdpSocket *socket(const char *name) const { return link.findChild<QUdpSocket *>(QLatin1String(name)); }
    quint16 linkPort() const { return socket("udps")->localPort(); }

private slots:
    void initTestCase()
    {
        QVERIFY(drone.bind(droneAddress, 0));
        QVERIFY(link.open(0));
        QCOMPARE(socket("udpr")->localPort(), DroneLink::StatePort);
        QCOMPARE(socket("udpv")->state(), QAbstractSocket::UnconnectedState);
    }

    // Sent as typed, one datagram each, from the bound port.
    void sendsCommandTexts()
    {
        for (const QString &text : {QStringLiteral("takeoff"), QStringLiteral("up  20 "), QString()}) {
            link.send(text, droneAddress.toString(), drone.localPort());
            QTRY_VERIFY(drone.hasPendingDatagrams());
            const QNetworkDatagram datagram = drone.receiveDatagram();
            QCOMPARE(datagram.data(), text.toUtf8());
            QCOMPARE(datagram.senderPort(), int(linkPort()));
        }
        QCOMPARE(link.lastErrorCode(), 0);
    }

    void answersAreSorted_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("completesLine");
        QTest::addColumn<QString>("text");
        QTest::newRow("ok") << QByteArray("ok") << true << "ok";
        QTest::newRow("error with a reason") << QByteArray("error Not flying\r\n") << true << "error Not flying";
        QTest::newRow("unknown command") << QByteArray("unknown command: sdk?") << true << "unknown command: sdk?";
        QTest::newRow("value") << QByteArray("87\r\n") << false << "87";
        // Which label shows it, and how, is the window's affair.
        QTest::newRow("value of several parts") << QByteArray("pitch:0;roll:1;\r\n") << false << "pitch:0;roll:1;";
    }
    void answersAreSorted()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, completesLine);
        QFETCH(QString, text);
        QSignalSpy lines(&link, &DroneLink::lineCompleted);
        QSignalSpy values(&link, &DroneLink::valueAnswered);
        drone.writeDatagram(datagram, appAddress, linkPort());
        QTRY_COMPARE(lines.size() + values.size(), 1);
        QSignalSpy &got = completesLine ? lines : values;
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.at(0).at(0).toString(), text);
    }

    // Read in batches, but every one of them, in order. (More than a batch, and
    // few enough that the socket's buffer holds them all.)
    void burstsArriveWholeAndInOrder()
    {
        QSignalSpy values(&link, &DroneLink::valueAnswered);
        for (int i = 0; i < 100; ++i)
            drone.writeDatagram(QByteArray::number(i), appAddress, linkPort());
        QTRY_COMPARE(values.size(), 100);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(values.at(i).at(0).toString(), QString::number(i));
    }

    void stateDatagrams()
    {
        QSignalSpy states(&link, &DroneLink::stateReceived);
        drone.writeDatagram("bat:87;h:\xFF;\r\n", appAddress, DroneLink::StatePort);
        QTRY_COMPARE(states.size(), 1);
        QCOMPARE(states.at(0).at(0).toString(), QStringLiteral("bat:87;h:\uFFFD;\r\n"));
        link.closeState();
        QCOMPARE(socket("udpr")->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(link.isOpen());
        link.openState();
        QCOMPARE(socket("udpr")->state(), QAbstractSocket::BoundState);
    }

    // Nothing leaves for a destination that is not one, or while closed; each
    // refusal is reported once, and a later open clears the code.
    void refusedSendsFail_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("address");
        QTest::addColumn<qint64>("port");
        QTest::newRow("closed") << true << "127.0.0.2" << qint64(-1);
        QTest::newRow("host name") << false << "localhost" << qint64(-1);
        QTest::newRow("port above range") << false << "127.0.0.2" << qint64(65536);
        QTest::newRow("negative port") << false << "127.0.0.2" << qint64(-2);
    }
    void refusedSendsFail()
    {
        QFETCH(bool, closed);
        QFETCH(QString, address);
        QFETCH(qint64, port);
        if (port == -1)
            port = drone.localPort();
        if (closed)
            link.close();
        QSignalSpy failures(&link, &DroneLink::failed);
        link.send(QStringLiteral("takeoff"), address, port);
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures.at(0).at(0).toInt() > 0);
        QCOMPARE(link.lastErrorCode(), failures.at(0).at(0).toInt());
        QVERIFY(link.open(0));
        QCOMPARE(link.lastErrorCode(), 0);
        // One socket's datagrams keep their order: the marker comes first or something was sent.
        link.send(QStringLiteral("marker"), droneAddress.toString(), drone.localPort());
        QTRY_VERIFY(drone.hasPendingDatagrams());
        QCOMPARE(drone.receiveDatagram().data(), QByteArray("marker"));
    }

    // Every port number binds, the top one too. One that fails, or that is refused,
    // leaves the link as it was, is reported once and keeps no lock; nor does the
    // other copy of the application keep its locks after its Disconnect.
    void openKeepsTheLinkUnlessItBinds_data()
    {
        QTest::addColumn<QString>("holder");   // of the port asked for ("socket", "copy"), or of the state port
        QTest::addColumn<qint64>("localPort"); // 0: a free one
        QTest::addColumn<QString>("reason");   // empty: none; "-": the port binds
        QTest::newRow("top port") << "" << qint64(65535) << "-";
        QTest::newRow("above range") << "" << qint64(65536) << "";
        QTest::newRow("negative") << "" << qint64(-1) << "";
        QTest::newRow("in use") << "socket" << qint64(0) << "";
        QTest::newRow("state port in use") << "state socket" << qint64(0) << "";
        QTest::newRow("state port") << "" << qint64(8890) << "Local Port 8890 receives the drone's state";
        QTest::newRow("video port") << "" << qint64(11111) << "Local Port 11111 receives the drone's video";
        QTest::newRow("another copy's port") << "copy" << qint64(0) << "Another copy of Hoverdeck holds port ";
        QTest::newRow("another copy connected")
            << "state copy" << qint64(0) << "receives the drone's state on port 8890";
    }
    void openKeepsTheLinkUnlessItBinds()
    {
        QFETCH(QString, holder);
        QFETCH(qint64, localPort);
        QFETCH(QString, reason);
        link.closeState();
        const quint16 before = linkPort();
        if (localPort == 0) {
            QUdpSocket probe;
            QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0));
            localPort = probe.localPort();
        }
        QUdpSocket plain;
        DroneLink copy;
        if (holder.endsWith(QLatin1String("socket")))
            QVERIFY(plain.bind(QHostAddress::AnyIPv4, holder == QLatin1String("socket") ? localPort : 8890,
                               QAbstractSocket::DontShareAddress));
        if (holder.endsWith(QLatin1String("copy")))
            QVERIFY(copy.open(holder == QLatin1String("copy") ? localPort : 0));
        QSignalSpy failures(&link, &DroneLink::failed);
        QSignalSpy reasons(&link, &DroneLink::refused);
        const bool opens = reason == QLatin1String("-");
        QCOMPARE(link.open(localPort), opens);
        QCOMPARE(failures.size(), opens ? 0 : 1);
        QCOMPARE(reasons.size(), int(!opens && !reason.isEmpty()));
        if (!reasons.isEmpty())
            QVERIFY2(reasons.at(0).at(0).toString().contains(reason), qPrintable(reasons.at(0).at(0).toString()));
        QCOMPARE(qint64(linkPort()), opens ? localPort : before);
        QCOMPARE(socket("udpr")->state() == QAbstractSocket::BoundState, opens);
        // Answers reach this link where it was bound, and the other copy where it is.
        for (DroneLink *receiver : {&link, &copy}) {
            QSignalSpy lines(receiver, &DroneLink::lineCompleted);
            const QUdpSocket *udps = receiver->findChild<QUdpSocket *>(QStringLiteral("udps"));
            if (udps->state() == QAbstractSocket::BoundState
                && drone.writeDatagram("ok", appAddress, udps->localPort()))
                QVERIFY(lines.wait(5000));
        }
        if (opens) // its own lock does not stand in its way
            QVERIFY(link.open(localPort));
        copy.close();
        plain.close();
        link.close();
        if (localPort > 0 && localPort <= 65535 && localPort != 8890 && localPort != 11111)
            QVERIFY(DroneLink().open(localPort));
        QVERIFY(link.open(0));
    }
};

QTEST_GUILESS_MAIN(tst_DroneLink)
#include "tst_dronelink.moc"
