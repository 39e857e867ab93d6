#include "../ui/CntWinFixture.h"
#include "HdTestMain.h"
#include "ReliabilityHelpers.h"

#include <QTextDocument>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace reliability;

// Floods and the largest datagrams on the command socket and the state port:
// everything that reaches the window is shown, and the window keeps running its
// other events meanwhile.
class tst_Reliability : public QObject
{
    Q_OBJECT

    CntWinFixture f;
    LoopbackSender sender;

    static constexpr int FloodSize = 100000;
    // Few enough datagrams that the socket's receive buffer never overflows
    // before the window has read them (the kernel drops, not the window).
    static constexpr int Burst = 64;
    // Under sanitizers everything runs a few times slower; these bound hangs only.
    static constexpr int CatchUpMs = 20000;
    static constexpr qint64 LatencyBoundMs = 1000;

    QTextDocument *logDocument() const { return f.control<QPlainTextEdit>(QStringLiteral("ResEF"))->document(); }
    QUdpSocket *udps() const { return f.socket(QStringLiteral("udps")); }
    // Completed log lines: every "ok" answer adds one.
    int logLines() const { return logDocument()->blockCount() - 1; }

    bool sendToWindow(const QByteArray &bytes) { return sender.send(bytes, AppSide, f.port); }
    bool sendState(const QByteArray &bytes) { return sender.send(bytes, AppSide, 8890); }

    // A state datagram as a drone sends it, every value derived from n.
    static QByteArray stateFor(int n)
    {
        const QByteArray v = QByteArray::number(n);
        return "mid:-1;x:-100;y:-100;z:-100;mpry:-1,-1,-1;pitch:" + QByteArray::number(n % 90) + ";roll:-"
            + QByteArray::number(n % 7) + ";yaw:" + QByteArray::number(n % 360)
            + ";vgx:0;vgy:0;vgz:0;templ:" + QByteArray::number(n % 50) + ";temph:" + QByteArray::number(n % 50 + 3)
            + ";tof:" + v + ";h:" + QByteArray::number(n % 1000) + ";bat:" + QByteArray::number(n % 101) + ";baro:" + v
            + ".5;time:" + v + ";agx:" + v + ".00;agy:-" + v + ".00;agz:-1000.00;\r\n";
    }
    static QStringList labelsFor(int n)
    {
        const QString v = QString::number(n);
        return {QString::number(n % 101),
                v,
                QString::number(n % 1000),
                QStringLiteral("%1 - %2").arg(n % 50).arg(n % 50 + 3),
                QStringLiteral("pitch: %1\nroll: -%2\nyaw: %3").arg(n % 90).arg(n % 7).arg(n % 360),
                v + QStringLiteral(".5"),
                QStringLiteral("agx: %1.00\nagy: -%1.00\nagz: -1000.00").arg(v),
                v};
    }
    QStringList stateLabels() const
    {
        QStringList texts;
        for (int i = 1; i <= 8; ++i)
            texts << f.staLv(i)->text();
        return texts;
    }

    // Sets mStaID by sending status query index (the drone stays silent).
    void selectQuery(int index)
    {
        f.drone.setAllSilent(true);
        f.click(f.comPB(16 + index));
        QCOMPARE(f.win->staId(), qint64(index));
        QTRY_COMPARE(f.drone.received().size(), 1);
        f.drone.setAllSilent(false);
        f.drone.clearReceived();
    }

    // Marks the labels "<unchanged>", sends bytes as an answer to query `index` (on an
    // empty log) or as state, and returns once a datagram sent after them has shown
    // its effect, so the window has handled the bytes.
    void deliverToBlankedLabels(const QString &to, int index, const QList<int> &labels, const QByteArray &bytes)
    {
        if (to == QLatin1String("answer")) {
            selectQuery(index);
            f.clearLog();
        }
        for (int label : labels)
            f.staLv(label)->setText(QStringLiteral("<unchanged>"));
        if (to == QLatin1String("answer")) {
            QVERIFY(sendToWindow(bytes));
            QVERIFY(sendToWindow("ok"));
            // Value answers are not logged; the "ok" after them is, whole.
            QTRY_COMPARE(f.log(), QStringLiteral("ok\n"));
        } else {
            f.staLv(2)->setText(QString());
            QVERIFY(sendState(bytes));
            QVERIFY(sendState("time:after;"));
            QTRY_COMPARE(f.staLv(2)->text(), QStringLiteral("after"));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.openApplication()); // aimed at the loopback drone before anything can send
        f.connectLink();
        QVERIFY(f.linkBound());
        QCOMPARE(f.socket(QStringLiteral("udpr"))->state(), QAbstractSocket::BoundState);
    }

    void init()
    {
        f.drone.clearScript();
        f.drone.clearReceived();
        f.clearLog();
    }

    void answerFloodIsLoggedWhole()
    {
        qint64 worst = 0;
        for (int sent = 0; sent < FloodSize;) {
            const int n = qMin(Burst, FloodSize - sent);
            for (int i = 0; i < n; ++i)
                QVERIFY(sendToWindow("ok"));
            sent += n;
            worst = qMax(worst, loopLatency(CatchUpMs));
            QVERIFY2(pumpUntil([&] { return logLines() >= sent; }, CatchUpMs),
                     qPrintable(QStringLiteral("%1 of %2 answers logged").arg(logLines()).arg(sent)));
        }
        QCOMPARE(logLines(), FloodSize);
        QVERIFY(f.log() == QStringLiteral("ok\n").repeated(FloodSize));
        qInfo("worst event-loop latency %lld ms", worst);
        QVERIFY2(worst < LatencyBoundMs, qPrintable(QString::number(worst)));
    }

    // Without pacing the kernel drops what the socket cannot hold; the window must
    // still log every datagram it was given and keep its timers running.
    void unpacedAnswerFloodKeepsTimersRunning()
    {
        const std::optional<qint64> dropsBefore = udpCounter("InErrors");
        std::atomic<bool> stop{false};
        std::atomic<bool> flooding{true};
        std::atomic<int> sent{0};
        const quint16 port = f.port;
        std::thread flood([&] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            // At least the full flood; longer while the window has not yet shown
            // that it runs its timers during it (bounded, so a stuck window fails).
            for (int n = 0; n < 20 * FloodSize && !(stop && n >= FloodSize); ++n) {
                if (::sendto(fd, "ok", 2, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 2)
                    ++sent;
            }
            ::close(fd);
            flooding = false;
        });
        auto joinFlood = qScopeGuard([&] {
            stop = true;
            flood.join();
        });

        int ticksDuringFlood = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (flooding)
                ++ticksDuringFlood;
        });
        ticker.start(10);
        QVERIFY(pumpUntil(
            [&] {
                if (ticksDuringFlood >= 20)
                    stop = true;
                return !flooding;
            },
            120000));
        joinFlood.dismiss();
        flood.join();
        QVERIFY2(ticksDuringFlood >= 20, qPrintable(QString::number(ticksDuringFlood)));
        // Nothing of the flood may reach the next test, whatever the outcome here.
        auto drain = qScopeGuard([&] { pumpUntil([&] { return !udps()->hasPendingDatagrams(); }, CatchUpMs); });

        if (!dropsBefore)
            QSKIP("no UDP counters: the count of logged answers cannot be checked");
        // What the kernel did not drop, the window logs: nothing more, nothing less.
        // (Other sockets' drops can only make the lower bound looser.)
        const qint64 delivered = sent - (*udpCounter("InErrors") - *dropsBefore);
        QVERIFY2(pumpUntil([&] { return logLines() >= delivered; }, CatchUpMs),
                 qPrintable(QStringLiteral("%1 logged, %2 delivered").arg(logLines()).arg(delivered)));
        QVERIFY(logLines() <= sent);
        qInfo("%d sent, %lld delivered, %d logged, %d timer ticks during the flood", int(sent), delivered, logLines(),
              ticksDuringFlood);
        QVERIFY(f.log().startsWith(QStringLiteral("ok\nok\n")));
    }

    // The whole command path: commands sent through the window, answered by the drone.
    void commandBurstsAreAnsweredInTheLog()
    {
        constexpr int Commands = 5000;
        constexpr int CommandBurst = 100;
        for (int sent = 0; sent < Commands; sent += CommandBurst) {
            for (int i = 0; i < CommandBurst; ++i)
                f.win->DoCmd(QStringLiteral("command"));
            QVERIFY2(pumpUntil([&] { return logLines() >= sent + CommandBurst; }, CatchUpMs),
                     qPrintable(QStringLiteral("%1 of %2 answered").arg(logLines()).arg(sent + CommandBurst)));
        }
        QCOMPARE(f.drone.received().size(), Commands);
        const QString log = f.log();
        // Senders do not wait for answers: a burst's answers follow its commands.
        const QString expected =
            (QStringLiteral("command: ").repeated(CommandBurst) + QStringLiteral("ok\n").repeated(CommandBurst))
                .repeated(Commands / CommandBurst);
        qsizetype at = 0;
        while (at < log.size() && at < expected.size() && log.at(at) == expected.at(at))
            ++at;
        QVERIFY2(log == expected, qPrintable(QStringLiteral("differs at %1: %2").arg(at).arg(log.mid(at, 80))));
    }

    void stateFloodEndsAtTheLastDatagram()
    {
        qint64 worst = 0;
        for (int sent = 0; sent < FloodSize;) {
            const int n = qMin(Burst, FloodSize - sent);
            for (int i = 0; i < n; ++i)
                QVERIFY(sendState(stateFor(sent + i)));
            sent += n;
            worst = qMax(worst, loopLatency(CatchUpMs));
            const QString last = QString::number(sent - 1);
            QVERIFY2(pumpUntil([&] { return f.staLv(2)->text() == last; }, CatchUpMs),
                     qPrintable(QStringLiteral("time shows %1, last sent %2").arg(f.staLv(2)->text(), last)));
        }
        QCOMPARE(stateLabels(), labelsFor(FloodSize - 1));
        qInfo("worst event-loop latency %lld ms", worst);
        QVERIFY2(worst < LatencyBoundMs, qPrintable(QString::number(worst)));
        QCOMPARE(f.log(), QString()); // state is never logged
    }

    // The largest UDP payload over IPv4.
    void largestDatagrams_data()
    {
        QTest::addColumn<QString>("to"); // "answer" or "state"
        QTest::addColumn<int>("query");  // mStaID for answers
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("label");
        QTest::addColumn<QString>("text");

        constexpr int Max = 65507;
        const QByteArray xs(Max, 'x');
        QTest::newRow("answer, ascii") << "answer" << 1 << xs << 1 << QString(Max, u'x');
        // 2-byte characters up to the last byte, which stays half a character.
        const QByteArray accents = QByteArray("\xC3\xA9").repeated(Max / 2) + "\xC3";
        QTest::newRow("answer, cut character")
            << "answer" << 11 << accents << 11 << QString(Max / 2, QChar(0xE9)) + QChar(0xFFFD);
        QByteArray attitude = QByteArray("a;").repeated(Max / 2) + "z";
        QTest::newRow("attitude answer, semicolons")
            << "answer" << 5 << attitude << 5 << QStringLiteral("a\n").repeated(Max / 2) + u'z';
        const QByteArray ok = "ok" + QByteArray(Max - 2, ' ');
        QTest::newRow("answer, ok with padding") << "answer" << 9 << ok << 9 << QString::fromLatin1(ok);

        const QByteArray tof = "tof:" + QByteArray(Max - 4, '7');
        QTest::newRow("state, one value") << "state" << 0 << tof << 8 << QString(Max - 4, u'7');
        QByteArray padded = "bat:42;pad:";
        padded += QByteArray(Max - padded.size() - 5, '.') + ";h:99";
        QTest::newRow("state, value after padding") << "state" << 0 << padded << 3 << "99";
        // Thousands of distinct keys, then one the window shows.
        QByteArray fields;
        for (int k = 0; fields.size() + 20 < Max; ++k)
            fields += "k" + QByteArray::number(k) + ":" + QByteArray::number(k) + ";";
        fields += "tof:5";
        fields += QByteArray(Max - fields.size(), ';');
        QTest::newRow("state, many fields") << "state" << 0 << fields << 8 << "5";
    }
    void largestDatagrams()
    {
        QFETCH(QString, to);
        QFETCH(int, query);
        QFETCH(QByteArray, bytes);
        QFETCH(int, label);
        QFETCH(QString, text);
        QCOMPARE(bytes.size(), 65507);

        deliverToBlankedLabels(to, query, {label}, bytes);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(f.staLv(label)->text() == text,
                 qPrintable(QStringLiteral("%1 characters: %2...")
                                .arg(f.staLv(label)->text().size())
                                .arg(f.staLv(label)->text().left(20))));
        QCOMPARE(f.drone.received(), QStringList());
    }

    void invalidUtf8_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("query");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("labels");
        QTest::addColumn<QStringList>("texts");

        const QChar r(0xFFFD);
        QTest::newRow("answer, stray byte")
            << "answer" << 1 << QByteArray("o\xFFk") << QList<int>{1} << QStringList{QStringLiteral("o") + r + u'k'};
        QTest::newRow("answer, value then line end")
            << "answer" << 1 << QByteArray("87\xFE\r\n") << QList<int>{1} << QStringList{"87" + QString(r)};
        QTest::newRow("answer, surrogate")
            << "answer" << 2 << QByteArray("\xED\xA0\x80s") << QList<int>{2} << QStringList{QString(3, r) + u's'};
        QTest::newRow("answer, overlong")
            << "answer" << 3 << QByteArray("\xC0\x80x") << QList<int>{3} << QStringList{QString(2, r) + u'x'};
        QTest::newRow("answer, cut emoji") << "answer" << 11 << QByteArray("sn\xF0\x9F\x98") << QList<int>{11}
                                           << QStringList{QStringLiteral("sn") + QString(3, r)};
        QTest::newRow("answer, NUL inside") << "answer" << 9
                                            << QByteArray("9\0"
                                                          "0",
                                                          3)
                                            << QList<int>{9} << QStringList{QStringLiteral("9") + QChar(0) + u'0'};
        QTest::newRow("attitude answer") << "answer" << 5 << QByteArray("pitch:\xFF;roll:1;\r\n") << QList<int>{5}
                                         << QStringList{QStringLiteral("pitch:") + r + QStringLiteral("\nroll:1\n")};
        QTest::newRow("ok with stray byte is a value")
            << "answer" << 4 << QByteArray("ok\xFF") << QList<int>{4} << QStringList{QStringLiteral("ok") + r};

        QTest::newRow("state, values") << "state" << 0 << QByteArray("bat:\xFF\xFE;h:12;tof:3\xE2\x82;\r\n")
                                       << QList<int>{1, 3, 8}
                                       << QStringList{QString(2, r), "12", QStringLiteral("3") + QString(2, r)};
        QTest::newRow("state, triple") << "state" << 0 << QByteArray("pitch:\xC0\x80;roll:2;yaw:3;\r\n")
                                       << QList<int>{5}
                                       << QStringList{QStringLiteral("pitch: ") + QString(2, r)
                                                      + QStringLiteral("\nroll: 2\nyaw: 3")};
        QTest::newRow("state, broken key") << "state" << 0
                                           << QByteArray("b\xFF"
                                                         "at:5;h:9;\r\n")
                                           << QList<int>{1, 3} << QStringList{"<unchanged>", "9"};
    }
    void invalidUtf8()
    {
        QFETCH(QString, to);
        QFETCH(int, query);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, labels);
        QFETCH(QStringList, texts);

        deliverToBlankedLabels(to, query, labels, bytes);
        if (QTest::currentTestFailed())
            return;
        for (int i = 0; i < labels.size(); ++i)
            QCOMPARE(f.staLv(labels.at(i))->text(), texts.at(i));
    }
};

HD_TEST_MAIN(tst_Reliability)
#include "tst_reliability.moc"
