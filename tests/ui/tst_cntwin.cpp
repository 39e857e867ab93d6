#include "CntWinFixture.h"
#include "HdTestMain.h"
#include "LogBreaks.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>

#include <ctime>
#include <limits>

// Processor time of the calling thread: what other processes take while it waits does not count.
static qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The window, the command link, the message log and the close sequence.
class tst_CntWin : public QObject
{
    Q_OBJECT

    CntWinFixture f;

    struct OpenState
    {
        QString title, addressText, address, log, cmdLine;
        qint64 port = -1, staId = -1;
        QStringList labels;
        bool udpsBound = true, udprBound = true;
        QSize content, minimum, maximum;
    } atOpen;

private slots:
    void initTestCase()
    {
        CntWin *win = CntWin::instance();
        f.win = win;
        // Seen before the tests aim the window at the simulated drone.
        atOpen.title = win->windowTitle();
        atOpen.addressText = f.edit("AddressEF")->text();
        atOpen.address = win->address();
        atOpen.port = win->port();
        atOpen.staId = win->staId();
        atOpen.log = f.log();
        atOpen.cmdLine = f.cmdLine();
        for (int i = 0; i < 12; ++i)
            atOpen.labels << f.staLv(i)->text();
        atOpen.udpsBound = f.linkBound();
        atOpen.udprBound = f.socket("udpr")->state() == QAbstractSocket::BoundState;
        atOpen.content = win->centralWidget()->size();
        atOpen.minimum = win->minimumSize();
        atOpen.maximum = win->maximumSize();

        f.open(28889);
        QVERIFY(f.startDrone());
    }

    void init()
    {
        f.drone.clearScript();
        f.drone.setAnswerDelay(0);
        f.drone.clearReceived();
        f.clearLog();
    }

    void designValuesAtOpen()
    {
        QCOMPARE(atOpen.title, QStringLiteral("Hoverdeck"));
        QCOMPARE(atOpen.addressText, QStringLiteral("192.168.10.1"));
        QCOMPARE(atOpen.address, QStringLiteral("192.168.10.1"));
        QCOMPARE(atOpen.port, 8889);
        QCOMPARE(atOpen.staId, 0);
        QCOMPARE(atOpen.log, QString());
        QCOMPARE(atOpen.cmdLine, QString());
        QCOMPARE(atOpen.labels, QStringList(12, QString()));
        QVERIFY(!atOpen.udpsBound);
        QVERIFY(!atOpen.udprBound);
        QCOMPARE(atOpen.content, QSize(780, 550));
        QCOMPARE(atOpen.minimum, atOpen.maximum);
        QVERIFY(RecWin::instance()->isVisible());
        QCOMPARE(RecWin::instance()->geometry().topLeft(), f.win->geometry().topLeft() + QPoint(780 + 8, 0));
        QVERIFY(!f.control<QTimer>("StaTimerX")->isActive());
        QCOMPARE(f.control<QTimer>("StaTimerX")->interval(), 200);
    }

    void connectLogsTheAddress()
    {
        f.connectLink();
        QCOMPARE(f.log(), QStringLiteral("Connect to 127.0.0.2\n"));
        QVERIFY(f.linkBound());
        QCOMPARE(f.socket("udps")->localPort(), f.port);
        QCOMPARE(f.socket("udpr")->localPort(), quint16(8890));
        QCOMPARE(f.win->lastErrorCode(), 0);
        QVERIFY(f.drone.received().isEmpty());
    }

    void doCmdCompletesTheLogLine_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<QByteArray>("answer"); // empty: the drone's own answer
        QTest::addColumn<QString>("expectedLog");
        QTest::addColumn<QString>("expectedList"); // the recorder's plain list

        QTest::newRow("ok") << "cw 90" << QByteArray() << "cw 90: ok\n"
                            << "cw 90\n";
        QTest::newRow("error") << "flip x" << QByteArray("error") << "flip x: error\n"
                               << "flip x\n";
        QTest::newRow("capital OK") << "cw 30" << QByteArray("OK") << "cw 30: OK\n"
                                    << "cw 30\n";
        // Played again, a flight must send what it sent before.
        QTest::newRow("every word recorded") << "rc 10 20 30 40" << QByteArray("ok") << "rc 10 20 30 40: ok\n"
                                             << "rc 10 20 30 40\n";
    }

    void doCmdCompletesTheLogLine()
    {
        QFETCH(QString, cmd);
        QFETCH(QByteArray, answer);
        QFETCH(QString, expectedLog);
        QFETCH(QString, expectedList);
        if (!answer.isEmpty())
            f.drone.setAnswer(cmd.section(u' ', 0, 0), answer);
        CntWinFixture::clearRecorded();

        f.win->DoCmd(cmd);
        QCOMPARE(f.cmdLine(), cmd);
        QCOMPARE(CntWinFixture::recorded(0), expectedList);
        QTRY_COMPARE(f.log(), expectedLog);
        QCOMPARE(f.drone.received(), QStringList{cmd});
    }

    void valueAnswerGoesToTheQueriedLabel_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("label");

        QTest::newRow("battery") << 17 << QByteArray("87\r\n") << "87";
        QTest::newRow("battery keeps ;") << 17 << QByteArray("1;2;3;") << "1;2;3;";
        QTest::newRow("attitude") << 21 << QByteArray("pitch:0;roll:-1;yaw:0;\r\n") << "pitch:0\nroll:-1\nyaw:0\n";
        QTest::newRow("acceleration") << 23 << QByteArray("1;2;3;") << "1\n2\n3\n";
        QTest::newRow("sn") << 27 << QByteArray("0TQDG7BEDB0E9P\r\n") << "0TQDG7BEDB0E9P";
    }

    void valueAnswerGoesToTheQueriedLabel()
    {
        QFETCH(int, button);
        QFETCH(QByteArray, answer);
        QFETCH(QString, label);
        const QString query = f.comPB(button)->text();
        f.drone.setAnswer(query, answer);

        f.click(f.comPB(button));
        QCOMPARE(f.win->staId(), button - 16);
        QTRY_COMPARE(f.staLv(button - 16)->text(), label);
        // A value leaves the query's log line open; the next command continues it.
        f.win->DoCmd(QStringLiteral("land"));
        QTRY_COMPARE(f.log(), query + QStringLiteral(": land: ok\n"));
    }

    void everyPendingAnswerIsHandled()
    {
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
        const QHostAddress app(QStringLiteral("127.0.0.1"));
        for (const char *answer : {"ok", "error", "ok"})
            QCOMPARE(peer.writeDatagram(answer, app, f.port), qint64(qstrlen(answer)));
        QTRY_COMPARE(f.log(), QStringLiteral("ok\nerror\nok\n"));
    }

    void portFieldsSetTheirOwnPort_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("port"); // -1: as aimed
        QTest::addColumn<qint64>("localPort");

        QTest::newRow("fraction truncated") << "PortEF"
                                            << "8889.7" << qint64(8889) << qint64(-1);
        QTest::newRow("local port") << "LocalPortEF"
                                    << "9000" << qint64(-1) << qint64(9000);
        QTest::newRow("no number") << "PortEF"
                                   << "abc" << qint64(0) << qint64(-1);
    }

    void portFieldsSetTheirOwnPort()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(qint64, port);
        QFETCH(qint64, localPort);
        f.edit(field)->setText(text);
        QCOMPARE(f.win->port(), port < 0 ? f.port : port);
        QCOMPARE(f.win->localPort(), localPort < 0 ? f.port : localPort);
        f.aim(f.port);
    }

    // Port aims every command at once; Local Port is bound by the next Connect only.
    void portAimsAtOnceLocalPortBindsAtConnect()
    {
        SimDrone second;
        const quint16 otherPort = f.port + 1;
        QVERIFY(second.start(QHostAddress(CntWinFixture::DroneAddress), otherPort));
        f.edit("PortEF")->setText(QString::number(otherPort));
        f.win->DoCmd(QStringLiteral("up 30"));
        QTRY_COMPARE(second.received(), QStringList{QStringLiteral("up 30")});
        QTRY_COMPARE(f.log(), QStringLiteral("up 30: ok\n"));
        QCOMPARE(f.socket("udps")->localPort(), f.port);

        f.aim(f.port);
        f.edit("LocalPortEF")->setText(QString::number(otherPort + 1));
        f.win->DoCmd(QStringLiteral("cw 1"));
        QTRY_COMPARE(f.log(), QStringLiteral("up 30: ok\ncw 1: ok\n"));
        f.connectLink();
        QCOMPARE(f.socket("udps")->localPort(), otherPort + 1);
        f.win->DoCmd(QStringLiteral("cw 2"));
        QTRY_COMPARE(f.log(), QStringLiteral("up 30: ok\ncw 1: ok\nConnect to 127.0.0.2\ncw 2: ok\n"));
        QCOMPARE(f.drone.received(), (QStringList{"cw 1", "cw 2"}));
        QCOMPARE(second.received(), QStringList{QStringLiteral("up 30")});
        f.aim(f.port);
        f.connectLink();
        CntWinFixture::clearRecorded();
    }

    void clearEmptiesTheLog()
    {
        f.drone.setAnswerDelay(150);
        f.win->DoCmd(QStringLiteral("cw 1"));
        QCOMPARE(f.log(), QStringLiteral("cw 1: "));
        f.clearLog();
        QCOMPARE(f.log(), QString());
        QTRY_COMPARE(f.log(), QStringLiteral("ok\n"));
    }

    void logKeepsUserTextAndShowsTheEnd()
    {
        auto *log = f.control<QPlainTextEdit>("ResEF");
        log->setPlainText(QStringLiteral("typed by hand "));
        for (int i = 0; i < 200; ++i)
            f.win->addmsg(QStringLiteral("line %1").arg(i), true);
        QVERIFY(log->toPlainText().startsWith(QStringLiteral("typed by hand line 0\nline 1\n")));
        QCOMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        QVERIFY(log->verticalScrollBar()->maximum() > 0);
    }

    // A drone never answers "rc": a stick flight puts thousands of commands on one
    // line, which the log shows in short paragraphs. Whatever the user does there, the
    // log reads and copies as its characters alone.
    void longLineReadsAndCopiesAsWritten_data()
    {
        QTest::addColumn<int>("offset");   // from the end of the first paragraph
        QTest::addColumn<int>("selected"); // characters from there
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("copied");   // the selection is on the clipboard; else what was there
        QTest::addColumn<QString>("typed"); // replaces the selection, less the break; null: no edit
        QTest::newRow("untouched") << 0 << 0 << "" << false << "";
        QTest::newRow("Enter before a break") << 0 << 0 << "Return" << false << "\n";
        QTest::newRow("Enter after a break") << 1 << 0 << "Return" << false << "\n";
        QTest::newRow("typed mid-paragraph") << -100 << 0 << "X" << false << "x";
        QTest::newRow("break deleted alone") << 1 << 0 << "Backspace" << false << "";
        QTest::newRow("deleted across a break") << -2 << 5 << "Delete" << false << "";
        QTest::newRow("break deleted, then undo") << 1 << 0 << "Backspace, Ctrl+Z" << false << "";
        QTest::newRow("copied from a break") << 0 << 6 << "Ctrl+C" << true << QString();
        QTest::newRow("copied up to a break") << -5 << 6 << "Ctrl+C" << true << QString();
        QTest::newRow("break alone copied") << 0 << 1 << "Ctrl+C" << false << QString();
        QTest::newRow("break alone cut") << 0 << 1 << "Ctrl+X" << false << QString();
    }

    void longLineReadsAndCopiesAsWritten()
    {
        QFETCH(int, offset);
        QFETCH(int, selected);
        QFETCH(QString, keys);
        QFETCH(bool, copied);
        QFETCH(QString, typed);
        auto *log = f.control<LogEdit>("ResEF");
        f.win->addmsg(QStringLiteral("takeoff: ok"), true);
        QString expected = QStringLiteral("takeoff: ok\n");
        const int lineStart = int(expected.size());
        auto write = [&] {
            for (int i = 0; i < 200; ++i) {
                const QString piece = QStringLiteral("rc %1 -20 0 0: ").arg(i % 6 * 20);
                f.win->addmsg(piece, false);
                expected += piece;
            }
        };
        write();
        // Up to the first break, document positions are the log's.
        const int end = lineStart + log->document()->findBlock(lineStart).length() - 1;
        QTextCursor cursor = log->textCursor();
        cursor.setPosition(end + offset);
        cursor.setPosition(end + offset + selected, QTextCursor::KeepAnchor);
        log->setTextCursor(cursor);
        const QString selection = expected.mid(end + qMin(offset, 0), qMax(selected - 1, 0));
        QGuiApplication::clipboard()->setText(QStringLiteral("held before"));
        QTest::keySequence(log, QKeySequence(keys));
        QCOMPARE(QGuiApplication::clipboard()->text(), copied ? selection : QStringLiteral("held before"));
        if (!typed.isNull())
            expected.replace(end + qMin(offset, 0), qMax(selected - 1, 0), typed);
        write();
        f.win->addReport(QStringLiteral("report")); // before the whole open line
        expected.insert(expected.lastIndexOf(u'\n') + 1, QStringLiteral("report\n"));
        f.win->addmsg(QStringLiteral("ok"), true);
        expected += QStringLiteral("ok\n");

        log->selectAll(); // as the Edit menu does
        log->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
        QCOMPARE(f.log(), expected);
        QVERIFY(log->document()->lastBlock().previous().length() < hd::LogParagraphLength + 20);
    }

    // A triple-click selects a whole line of the log, all its paragraphs, with its line
    // end when it has one; a shift-click after it extends by whole lines.
    void tripleClickSelectsWholeLines_data()
    {
        QTest::addColumn<QString>("at");      // the triple-click
        QTest::addColumn<QString>("shiftAt"); // a shift-click after it; empty: none
        QTest::addColumn<QString>("copied");  // the lines

        QTest::newRow("later paragraph of the open line") << "open, later" << QString() << "open";
        QTest::newRow("last row of the open line") << "log end" << QString() << "open";
        QTest::newRow("last row of a finished line") << "finished end" << QString() << "finished";
        QTest::newRow("shift-click extends by lines") << "finished end"
                                                      << "open, first row"
                                                      << "finished, open";
    }

    void tripleClickSelectsWholeLines()
    {
        QFETCH(QString, at);
        QFETCH(QString, shiftAt);
        QFETCH(QString, copied);
        auto *log = f.control<LogEdit>("ResEF");
        QString finished, open;
        for (int i = 0; i < 200; ++i) {
            finished += QStringLiteral("rc %1 -20 0 0: ").arg(i % 6 * 20);
            open += QStringLiteral("rc 0 %1 0 0: ").arg(i % 6 * 20);
        }
        f.win->addmsg(finished, false);
        f.win->addmsg(QStringLiteral("ok"), true);
        finished += QStringLiteral("ok\n");
        const int openStart = log->document()->characterCount() - 1;
        f.win->addmsg(open, false);
        const QHash<QString, int> places{{"finished end", openStart - 1},
                                         {"open, first row", openStart + 5},
                                         {"open, later", log->document()->findBlock(openStart).next().position() + 50},
                                         {"log end", log->document()->characterCount() - 1}};
        const auto point = [log](int position) {
            QTextCursor cursor(log->document());
            cursor.setPosition(position);
            return log->cursorRect(cursor).center();
        };
        QTextCursor cursor = log->textCursor();
        cursor.setPosition(places[at]);
        log->setTextCursor(cursor); // in view
        QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, point(places[at]));
        QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, point(places[at]));
        if (!shiftAt.isEmpty())
            QTest::mouseClick(log->viewport(), Qt::LeftButton, Qt::ShiftModifier, point(places[shiftAt]));
        QTest::keySequence(log, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 (copied.startsWith("finished") ? finished : QString()) + (copied.endsWith("open") ? open : QString()));
    }

    // Rewriting or laying out the whole text on each append would make an append at
    // 100k lines ten times dearer than one at 10k, and filling the log take minutes.
    // Each size is timed by the processor time of its fastest batch, which waiting
    // for a busy machine does not lengthen: the two compare where a bound on the time
    // itself would not.
    void logStaysFastAtOneHundredThousandLines()
    {
        auto *log = f.control<QPlainTextEdit>("ResEF");
        const auto append = [this](int lines) {
            for (int i = 0; i < lines; ++i) {
                f.win->addmsg(QStringLiteral("takeoff: "), false);
                f.win->addmsg(QStringLiteral("ok"), true);
            }
        };
        // Fills the log up to `lines`, the last 5,000 in timed batches.
        const auto fastestBatchUpTo = [&](int lines) {
            append(lines - 5000 - (log->document()->blockCount() - 1));
            qint64 fastest = std::numeric_limits<qint64>::max();
            for (int batch = 0; batch < 5; ++batch) {
                const qint64 start = threadCpuNs();
                append(1000);
                fastest = qMin(fastest, threadCpuNs() - start);
            }
            return fastest;
        };
        const qint64 at10k = fastestBatchUpTo(10000);
        const qint64 at100k = fastestBatchUpTo(100000);
        const QByteArray times = QByteArray::number(at10k / 1000) + " us at 10k, " + QByteArray::number(at100k / 1000)
            + " us at 100k for 1,000 lines";
        qInfo("%s", times.constData());
        QVERIFY2(at100k < 3 * at10k, times.constData());
        QCOMPARE(log->document()->blockCount(), 100001);
        QCOMPARE(log->document()->lastBlock().previous().text(), QStringLiteral("takeoff: ok"));
    }

    void disconnectLogsAndRecords()
    {
        f.connectLink();
        f.clearLog();
        CntWinFixture::clearRecorded();
        f.click("LeavePM");
        QCOMPARE(f.log(), QStringLiteral("Dissconnected...\n"));
        QCOMPARE(CntWinFixture::recorded(0), QStringLiteral("Disconnect\n"));
        QVERIFY(!f.linkBound());
        QVERIFY(f.socket("udpr")->state() != QAbstractSocket::BoundState);

        f.click("LeavePM");
        QCOMPARE(f.log(), QStringLiteral("Dissconnected...\nDissconnected...\n"));
        QVERIFY(f.drone.received().isEmpty());
    }

    void refusedDatagramsTakeTheErrorPath_data()
    {
        QTest::addColumn<bool>("connectFirst");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("portText");
        QTest::addColumn<QString>("expectedLog");

        const QString connected = QStringLiteral("Connect to 127.0.0.2\n");
        QTest::newRow("not bound") << false << CntWinFixture::DroneAddress << "28889"
                                   << "takeoff: error...\n";
        QTest::newRow("address does not parse") << true << "127.0.0.two"
                                                << "28889" << connected + "takeoff: error...\n";
        // 99999 would wrap to 34463 in a 16-bit port.
        QTest::newRow("port out of range")
            << true << CntWinFixture::DroneAddress << "99999" << connected + "takeoff: error...\n";
        QTest::newRow("negative port") << true << CntWinFixture::DroneAddress << "-1"
                                       << connected + "takeoff: error...\n";
    }

    void refusedDatagramsTakeTheErrorPath()
    {
        QFETCH(bool, connectFirst);
        QFETCH(QString, address);
        QFETCH(QString, portText);
        QFETCH(QString, expectedLog);
        f.click("LeavePM");
        f.clearLog();
        QUdpSocket wrapped;
        QVERIFY(wrapped.bind(QHostAddress(CntWinFixture::DroneAddress), 34463, QAbstractSocket::ShareAddress));

        if (connectFirst)
            f.connectLink();
        f.edit("AddressEF")->setText(address);
        f.edit("PortEF")->setText(portText);
        f.win->DoCmd(QStringLiteral("takeoff"));
        QCOMPARE(f.log(), expectedLog);
        QVERIFY(f.win->lastErrorCode() != 0);
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
        QVERIFY(!wrapped.hasPendingDatagrams());

        f.clearLog();
        f.click("LeavePM");
        QCOMPARE(f.log(), QStringLiteral("Error: ") + QString::number(f.win->lastErrorCode()) + u'\n');
        f.aim(f.port);
        f.connectLink();
        QCOMPARE(f.win->lastErrorCode(), 0);
        CntWinFixture::clearRecorded();
    }

    // The link stays on its old port and keeps working.
    void connectFailsOnAPortItCannotBind_data()
    {
        QTest::addColumn<bool>("inUse");
        QTest::addColumn<QString>("portText");
        QTest::addColumn<QString>("reason");

        QTest::newRow("out of range") << false << "99999" << QString();
        QTest::newRow("in use") << true << QString() << QString();
        QTest::newRow("state port") << false << "8890"
                                    << "Local Port 8890 receives the drone's state; choose another Local Port.\n";
        QTest::newRow("video port") << false << "11111"
                                    << "Local Port 11111 receives the drone's video; choose another Local Port.\n";
    }

    void connectFailsOnAPortItCannotBind()
    {
        QFETCH(bool, inUse);
        QFETCH(QString, portText);
        QFETCH(QString, reason);
        f.connectLink();
        f.clearLog();
        QUdpSocket holder;
        if (inUse) {
            QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
            portText = QString::number(holder.localPort());
        }
        f.edit("LocalPortEF")->setText(portText);
        f.connectLink();
        f.win->DoCmd(QStringLiteral("command"));
        QTRY_COMPARE(f.log(), QStringLiteral("error...\n") + reason + QStringLiteral("command: ok\n"));
        QCOMPARE(f.socket("udps")->localPort(), f.port);
        QVERIFY(f.win->lastErrorCode() != 0);
        f.aim(f.port);
    }

    // Last: the close sequence ends the window's life.
    void closeLandsAndQuits()
    {
        f.connectLink();
        f.clearLog();
        CntWinFixture::clearRecorded();
        QuitRecorder::codes().clear();
        QElapsedTimer timer;
        timer.start();
        // A second close request during the waits must not run the sequence again.
        QTimer::singleShot(100, f.win, [this] { f.win->close(); });

        f.win->windowHandle()->close(); // the way a window manager's close box asks
        QCOMPARE(QuitRecorder::codes(), QList<int>{0});
        QVERIFY2(timer.elapsed() >= 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(f.drone.received(), QStringList{QStringLiteral("Land")});
        QCOMPARE(f.log(), QStringLiteral("Land: ok\n"));
        QCOMPARE(f.cmdLine(), QStringLiteral("Land"));
        QVERIFY(CntWinFixture::recorded(0).startsWith(QStringLiteral("Land")));
        QVERIFY(!f.linkBound());
        QVERIFY(f.socket("udpr")->state() != QAbstractSocket::BoundState);
        QVERIFY(!f.win->isVisible());
        QVERIFY(!RecWin::instance()->isVisible());
    }
};

HD_TEST_MAIN(tst_CntWin)
#include "tst_cntwin.moc"
