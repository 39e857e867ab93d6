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

    // Every port number binds, the top one too; beyond it nothing is bound.
    void localPortRange_data()
    {
        QTest::addColumn<qint64>("localPort");
        QTest::addColumn<bool>("bound");
        QTest::newRow("top port") << qint64(65535) << true;
        QTest::newRow("above range") << qint64(65536) << false;
        QTest::newRow("negative") << qint64(-1) << false;
    }
    void localPortRange()
    {
        QFETCH(qint64, localPort);
        QFETCH(bool, bound);
        QSignalSpy failures(&link, &DroneLink::failed);
        QCOMPARE(link.open(localPort), bound);
        QCOMPARE(link.isOpen(), bound);
        QCOMPARE(failures.size(), bound ? 0 : 1);
        if (bound)
            QCOMPARE(qint64(linkPort()), localPort);
        QVERIFY(link.open(0));
    }

    void portInUseFailsOnce()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
        QSignalSpy failures(&link, &DroneLink::failed);
        QVERIFY(!link.open(holder.localPort()));
        QCOMPARE(failures.size(), 1);
        QVERIFY(!link.isOpen());
        link.closeAll();
        QCOMPARE(socket("udpr")->state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_GUILESS_MAIN(tst_DroneLink)
#include "tst_dronelink.moc"
