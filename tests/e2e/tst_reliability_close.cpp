#include "../ui/CntWinFixture.h"
#include "HdTestMain.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

// Closing the controller window while a flight plan plays: the drone is told to
// land, and no step of the plan follows that.
class tst_ReliabilityClose : public QObject
{
    Q_OBJECT

    CntWinFixture f;

    static RecWin *rec() { return RecWin::instance(); }

    // Lets PLAY follow: the plain list is changed last.
    static void setList(const QString &list)
    {
        for (int i = 1; i < 6; ++i)
            rec()->setTargetText(i, QString());
        rec()->setTargetText(0, list);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.openApplication()); // aimed at the loopback drone before anything can send
    }

    // Each case closes the window; the next one opens it again.
    void init()
    {
        f.win->show();
        rec()->show();
        f.aim(f.drone.port());
        f.connectLink();
        QVERIFY(f.linkBound());
        f.drone.clearScript();
        f.drone.clearReceived();
        f.clearLog();
        QuitRecorder::codes().clear();
    }

    void closeDuringPlayback_data()
    {
        QTest::addColumn<int>("waitTicks");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<int>("playAgainMs"); // PLAY clicked this long into the close; -1: not
        // Short waits would send steps during the close's own waits; long ones later.
        QTest::newRow("100 ms waits") << 6 << false << -1;
        QTest::newRow("10 s waits") << 600 << false << -1;
        QTest::newRow("paused, 100 ms waits") << 6 << true << -1;
        QTest::newRow("no waits") << 0 << false << -1;
        QTest::newRow("PLAY during the first wait") << 600 << false << 150;
        QTest::newRow("paused, PLAY during the second wait") << 6 << true << 700;
    }
    void closeDuringPlayback()
    {
        QFETCH(int, waitTicks);
        QFETCH(bool, paused);
        QFETCH(int, playAgainMs);
        QStringList plan;
        plan << QStringLiteral("takeoff:WAIT%1").arg(waitTicks);
        for (int i = 0; i < 50; ++i)
            plan << QStringLiteral("up %1:WAIT%2").arg(20 + i).arg(waitTicks);
        plan << QStringLiteral("land");
        setList(plan.join(u'\n'));

        QSignalSpy arrived(&f.drone, &SimDrone::commandReceived);
        QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
        QVERIFY(rec()->isPlaying());
        QVERIFY(arrived.wait(5000));
        if (paused)
            QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);

        bool playClicked = false;
        if (playAgainMs >= 0) {
            QTimer::singleShot(playAgainMs, rec(), [&] {
                QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
                rec()->PlayBB_Action(); // as a click queued before the button went off would
                playClicked = true;
            });
        }
        CntWin::instance()->close();
        QCOMPARE(playClicked, playAgainMs >= 0);

        QCOMPARE(QuitRecorder::codes(), QList<int>{0});
        QVERIFY(!rec()->isPlaying());
        QVERIFY(!rec()->PlayTimer()->isActive());
        QVERIFY(!f.linkBound());
        // Whatever played before the close; "Land" last, and nothing after it.
        const QStringList received = f.receivedBeforeMarker();
        QVERIFY2(!received.isEmpty() && received.last() == QLatin1String("Land")
                     && received.count(QStringLiteral("Land")) == 1,
                 qPrintable(received.join(u'|')));
        // Answers to earlier steps may still complete lines, but no command follows.
        const QString log = f.log();
        const QString afterLand = log.mid(log.indexOf(QStringLiteral("Land: ")) + 6);
        QVERIFY2(log.count(QStringLiteral("Land: ")) == 1
                     && QRegularExpression(QStringLiteral("\\A(ok\n)+\\z")).match(afterLand).hasMatch(),
                 qPrintable(log.right(200)));
        QCOMPARE(f.cmdLine(), QStringLiteral("Land"));
        QVERIFY(!f.win->isVisible());
        QVERIFY(!rec()->isVisible());
    }
};

HD_TEST_MAIN(tst_ReliabilityClose)
#include "tst_reliability_close.moc"
