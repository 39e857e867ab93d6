#include "../ui/CntWinFixture.h"
#include "HdTestMain.h"

#include <QElapsedTimer>
#include <QWindow>

// The whole application started as main() starts it, flown against the simulated
// drone from the controller window's own controls, and closed at the end.
class tst_Flight : public QObject
{
    Q_OBJECT

    CntWinFixture f;

    static QString lastLine(const QString &text)
    {
        QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.last();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.openApplication()); // aimed at the loopback drone before anything can send
        QVERIFY(f.win->isVisible());
        QVERIFY(RecWin::instance()->isVisible());
    }

    void init()
    {
        f.drone.clearScript();
        f.drone.clearReceived();
        f.clearLog();
    }

    void connectLogsTheAddress()
    {
        f.connectLink();
        QCOMPARE(f.log(), QStringLiteral("Connect to 127.0.0.2\n"));
        QVERIFY(f.linkBound());
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
    }

    void answersCompleteTheLogLine_data()
    {
        QTest::addColumn<QString>("how");    // "button N", "send TEXT" or "docmd TEXT"
        QTest::addColumn<QString>("script"); // "", "reject WORD" or "answer WORD=TEXT"
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("log");

        QTest::newRow("command button, ok") << "button 0"
                                            << ""
                                            << "command"
                                            << "command: ok\n";
        QTest::newRow("takeoff rejected") << "button 1"
                                          << "reject takeoff"
                                          << "takeoff"
                                          << "takeoff: error\n";
        QTest::newRow("old firmware OK") << "button 2"
                                         << "answer land=OK"
                                         << "land"
                                         << "land: OK\n";
        QTest::newRow("old firmware ERROR") << "button 12"
                                            << "answer flip=ERROR"
                                            << "flip f"
                                            << "flip f: ERROR\n";
        QTest::newRow("DoCmd, ok") << "docmd up 20"
                                   << ""
                                   << "up 20"
                                   << "up 20: ok\n";
        QTest::newRow("DoCmd, error") << "docmd cw 400"
                                      << "reject cw"
                                      << "cw 400"
                                      << "cw 400: error\n";
        QTest::newRow("Send, typed text") << "send go 50 50 0 20"
                                          << ""
                                          << "go 50 50 0 20"
                                          << "go 50 50 0 20: ok\n";
        // A stick command is never answered: its line stays open.
        QTest::newRow("rc stays open") << "send rc 0 10 0 0"
                                       << ""
                                       << "rc 0 10 0 0"
                                       << "rc 0 10 0 0: ";
    }
    void answersCompleteTheLogLine()
    {
        QFETCH(QString, how);
        QFETCH(QString, script);
        QFETCH(QString, sent);
        QFETCH(QString, log);
        if (script.startsWith(QLatin1String("reject ")))
            f.drone.setReject(script.mid(7));
        else if (script.startsWith(QLatin1String("answer "))) {
            const QString rule = script.mid(7);
            f.drone.setAnswer(rule.section(u'=', 0, 0), rule.section(u'=', 1).toUtf8());
        }
        const QString what = how.section(u' ', 1);
        if (how.startsWith(QLatin1String("button")))
            f.click(f.comPB(what.toInt()));
        else if (how.startsWith(QLatin1String("docmd")))
            f.win->DoCmd(what);
        else {
            f.edit("CmdEF")->setText(what);
            f.click("PushButton1");
        }

        QCOMPARE(f.receivedBeforeMarker(), QStringList{sent});
        QTRY_COMPARE(f.log(), log);
        QCOMPARE(f.cmdLine(), sent);
    }

    void valueAnswersFillTheQueriedLabel_data()
    {
        QTest::addColumn<int>("query");         // status label index; button 16 + index
        QTest::addColumn<QByteArray>("answer"); // empty: the drone's own
        QTest::addColumn<QString>("label");

        QTest::newRow("speed?") << 0 << QByteArray() << "100.0";
        QTest::newRow("battery?") << 1 << QByteArray() << "87";
        QTest::newRow("time?") << 2 << QByteArray() << "11s";
        QTest::newRow("height?") << 3 << QByteArray() << "15dm";
        QTest::newRow("temp?") << 4 << QByteArray() << "85~88C";
        QTest::newRow("attitude?") << 5 << QByteArray() << "pitch:0\nroll:-1\nyaw:0\n";
        QTest::newRow("baro?") << 6 << QByteArray() << "-102.865509";
        QTest::newRow("acceleration?") << 7 << QByteArray() << "agx:-5.00\nagy:7.00\nagz:-999.00\n";
        QTest::newRow("tof?") << 8 << QByteArray() << "875mm";
        QTest::newRow("wifi?") << 9 << QByteArray() << "90";
        QTest::newRow("sdk?") << 10 << QByteArray() << "20";
        QTest::newRow("sn?") << 11 << QByteArray() << "0TQDG7BEDB0E9P";
        QTest::newRow("semicolons kept for battery?")
            << 1 << QByteArray("pitch:0;roll:-1;yaw:0;\r\n") << "pitch:0;roll:-1;yaw:0;";
        QTest::newRow("answer without line end") << 8 << QByteArray("875mm") << "875mm";
        // A failure is no value: the label keeps its text and the query's line ends.
        QTest::newRow("error with a reason") << 9 << QByteArray("error Not joystick") << "<before>";
        QTest::newRow("unknown command") << 10 << QByteArray("unknown command: sdk?") << "<before>";
    }
    void valueAnswersFillTheQueriedLabel()
    {
        QFETCH(int, query);
        QFETCH(QByteArray, answer);
        QFETCH(QString, label);
        const QString caption = f.comPB(16 + query)->text();
        if (!answer.isEmpty())
            f.drone.setAnswer(caption, answer);
        f.staLv(query)->setText(QStringLiteral("<before>"));

        f.click(f.comPB(16 + query));
        if (label == QLatin1String("<before>"))
            QTRY_COMPARE(f.log(), caption + QStringLiteral(": ") + QString::fromLatin1(answer) + u'\n');
        QTRY_COMPARE(f.staLv(query)->text(), label);
        QCOMPARE(f.win->staId(), query);
        QCOMPARE(f.drone.received(), QStringList{caption});
        // Value answers are not logged: the query's line stays open.
        if (label != QLatin1String("<before>"))
            QCOMPARE(f.log(), caption + QStringLiteral(": "));
    }

    void nextCommandContinuesAnOpenLine()
    {
        f.click(f.comPB(17)); // battery?
        QTRY_COMPARE(f.staLv(1)->text(), QStringLiteral("87"));
        f.click(f.comPB(2)); // land
        QTRY_COMPARE(f.log(), QStringLiteral("battery?: land: ok\n"));
    }

    void lateAnswersArriveInOrder()
    {
        f.drone.setMotionDelay(300);
        f.click(f.comPB(1));  // takeoff, answered when "airborne"
        f.click(f.comPB(17)); // battery?
        QCOMPARE(f.log(), QStringLiteral("takeoff: battery?: "));
        // The log only appends: the late "ok" lands after the query's open text.
        QTRY_COMPARE(f.log(), QStringLiteral("takeoff: battery?: ok\n"));
        QTRY_COMPARE(f.staLv(1)->text(), QStringLiteral("87"));
        f.drone.setMotionDelay(0);
    }

    void disconnectLogsAndRecords()
    {
        CntWinFixture::clearRecorded();
        f.click("LeavePM");
        QCOMPARE(f.log(), QStringLiteral("Dissconnected...\n"));
        QCOMPARE(lastLine(CntWinFixture::recorded(0)), QStringLiteral("Disconnect"));
        QVERIFY(!f.linkBound());
        QVERIFY(f.socket("udpr")->state() != QAbstractSocket::BoundState);
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
    }

    void sendingWhileDisconnectedTakesTheErrorPath()
    {
        f.click(f.comPB(1));
        QCOMPARE(f.log(), QStringLiteral("takeoff: error...\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
        f.connectLink();
        QCOMPARE(lastLine(f.log()), QStringLiteral("Connect to 127.0.0.2"));
    }

    // Last: the close sequence ends the window's life.
    void closeLandsAndQuits()
    {
        QVERIFY(f.linkBound());
        QuitRecorder::codes().clear();
        QElapsedTimer timer;
        timer.start();
        f.win->windowHandle()->close();
        const qint64 took = timer.elapsed();

        QCOMPARE(QuitRecorder::codes(), QList<int>{0});
        QVERIFY2(took >= 1000 && took < 2500, qPrintable(QString::number(took)));
        QCOMPARE(f.drone.received(), QStringList{QStringLiteral("Land")});
        // The drone's answer arrives during the first wait.
        QCOMPARE(f.log(), QStringLiteral("Land: ok\n"));
        QCOMPARE(f.cmdLine(), QStringLiteral("Land"));
        QCOMPARE(lastLine(CntWinFixture::recorded(0)).section(u',', 0, 0), QStringLiteral("Land"));
        QVERIFY(!f.linkBound());
        QVERIFY(f.socket("udpr")->state() != QAbstractSocket::BoundState);
        QVERIFY(!f.win->isVisible());
        QVERIFY(!RecWin::instance()->isVisible());
    }
};

HD_TEST_MAIN(tst_Flight)
#include "tst_flight.moc"
