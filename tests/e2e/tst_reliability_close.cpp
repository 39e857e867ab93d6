#include "../ui/CntWinFixture.h"
#include "HdTestMain.h"
#include "MainMenuBar.h"
#include "StickCanvas.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

// Closing the controller window lands the drone for good: once "Land" has gone,
// nothing that still plays or that the user does in either window sends again.
class tst_ReliabilityClose : public QObject
{
    Q_OBJECT

    CntWinFixture f;
    QUdpSocket holder; // a port that the window cannot bind

    static RecWin *rec() { return RecWin::instance(); }
    StickCanvas *stick() const { return f.control<StickCanvas>(QStringLiteral("acv_0")); }

    // Lets PLAY follow: the plain list is changed last.
    static void setList(const QString &list)
    {
        for (int i = 1; i < 6; ++i)
            rec()->setTargetText(i, QString());
        rec()->setTargetText(0, list);
    }

    // What the user does before the close (phase 0), during its first wait (1) and
    // during its second (2).
    using Use = std::function<void(int phase)>;
    QMap<QString, Use> uses;

    static void clickTwice(QWidget *control, int phase)
    {
        if (phase > 0)
            QTest::mouseClick(control, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.openApplication()); // aimed at the loopback drone before anything can send

        const auto clicking = [this](const QString &name) {
            return [this, name](int phase) { clickTwice(f.control<QWidget>(name), phase); };
        };
        uses[QStringLiteral("takeoff button")] = clicking(QStringLiteral("ComPB_1"));
        uses[QStringLiteral("Send")] = clicking(QStringLiteral("PushButton1"));
        uses[QStringLiteral("mission pad")] = clicking(QStringLiteral("MissionPadCB"));
        uses[QStringLiteral("streamon")] = clicking(QStringLiteral("StreamOnPM"));
        uses[QStringLiteral("streamoff")] = clicking(QStringLiteral("StreamOffPB"));
        uses[QStringLiteral("speed slider")] = [this](int phase) {
            if (phase > 0)
                QTest::keyClick(f.control<QSlider>(QStringLiteral("SpeedSld")), Qt::Key_Left);
        };
        // Held from before the close, dragged in the first wait, let go in the second.
        uses[QStringLiteral("stick")] = [this](int phase) {
            if (phase == 0) {
                QTest::mousePress(stick(), Qt::LeftButton, {}, QPoint(50, 50));
                QTest::mouseMove(stick(), QPoint(60, 50));
            } else if (phase == 1) {
                QTest::mouseMove(stick(), QPoint(95, 5));
            } else {
                QTest::mouseRelease(stick(), Qt::LeftButton, {}, QPoint(95, 5));
            }
        };
        // Never let go: hiding the window does, and must not send after "Land".
        uses[QStringLiteral("stick held to the end")] = [this](int phase) {
            if (phase == 0) {
                QTest::mousePress(stick(), Qt::LeftButton, {}, QPoint(50, 50));
                QTest::mouseMove(stick(), QPoint(60, 50));
            }
        };
        uses[QStringLiteral("PLAY")] = [](int phase) {
            if (phase > 0) {
                QTest::mouseClick(rec()->PlayBB(), Qt::LeftButton);
                rec()->PlayBB_Action(); // as a click queued before the button went off would
            }
        };
        uses[QStringLiteral("STOP")] = [](int phase) {
            if (phase > 0)
                rec()->StopBB_Action();
        };
        // The drone may still fly after a Disconnect: the landing must reach it.
        uses[QStringLiteral("Disconnect before")] = [this](int phase) {
            if (phase == 0)
                f.click(QStringLiteral("LeavePM"));
        };
        // Only the source port changes: "Land" still goes to the drone's port.
        uses[QStringLiteral("own local port")] = [this](int phase) {
            if (phase == 0) {
                f.edit(QStringLiteral("LocalPortEF"))->setText(QString::number(f.drone.port() + 1));
                f.connectLink();
            }
        };
        // A Connect that fails leaves the link where it was, bound or not.
        const auto failedConnect = [this](bool disconnect, const QString &localPort) {
            return [=](int phase) {
                if (phase == 0) {
                    if (disconnect)
                        f.click(QStringLiteral("LeavePM"));
                    f.edit(QStringLiteral("LocalPortEF"))->setText(localPort);
                    f.connectLink();
                }
            };
        };
        uses[QStringLiteral("failed Connect before")] = failedConnect(false, QStringLiteral("8890"));
        uses[QStringLiteral("Disconnect, failed Connect")] = failedConnect(true, QStringLiteral("11111"));
        // "Land" then leaves from any free port.
        uses[QStringLiteral("Disconnect, own port taken")] = [this](int phase) {
            if (phase == 0) {
                uses[QStringLiteral("own local port")](0);
                f.click(QStringLiteral("LeavePM"));
                QVERIFY(holder.bind(QHostAddress::AnyIPv4, f.drone.port() + 1, QAbstractSocket::DontShareAddress));
            }
        };
        // A restore from the taskbar, say.
        uses[QStringLiteral("show in the waits")] = [this](int phase) {
            if (phase > 0) {
                f.win->hide();
                f.win->show();
                QTest::mouseClick(f.comPB(1), Qt::LeftButton);
            }
        };
        uses[QStringLiteral("close box again")] = [](int phase) {
            if (phase > 0)
                CntWin::instance()->close();
        };
        uses[QStringLiteral("Quit from the recorder")] = [](int phase) {
            if (phase > 0) {
                rec()->activateWindow();
                MainMenuBar::instance()->choose(QStringLiteral("FileQuit"));
            }
        };
    }

    // Each case closes the window; the next one opens it again.
    void init()
    {
        f.win->show();
        rec()->show();
        f.aim(f.drone.port());
        holder.close();
        // A stick left off-centre by a close goes back to rest, as a release does.
        QTest::mousePress(stick(), Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseRelease(stick(), Qt::LeftButton, {}, QPoint(50, 50));
        f.drone.clearScript();
        (void)f.receivedBeforeMarker();
        f.clearLog();
        QuitRecorder::codes().clear();
    }

    void closeLandsLast_data()
    {
        QTest::addColumn<int>("waitTicks"); // a plan playing when the window closes; -1: none
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QString>("use"); // used before the close, then in each of its waits
        QTest::addColumn<QStringList>("sentBefore");
        // First: no Connect at all in this run, so the close sends nothing.
        QTest::newRow("never connected") << -1 << false << "never connected" << QStringList();
        // Short waits would send steps during the close's own waits; long ones later.
        QTest::newRow("100 ms waits") << 6 << false << QString() << QStringList();
        QTest::newRow("10 s waits") << 600 << false << QString() << QStringList();
        QTest::newRow("paused, 100 ms waits") << 6 << true << QString() << QStringList();
        QTest::newRow("no waits") << 0 << false << QString() << QStringList();
        QTest::newRow("playing, PLAY") << 600 << false << "PLAY" << QStringList();
        QTest::newRow("paused, PLAY") << 6 << true << "PLAY" << QStringList();
        QTest::newRow("playing, STOP") << 600 << false << "STOP" << QStringList();
        for (const char *use :
             {"takeoff button", "Send", "mission pad", "streamon", "streamoff", "speed slider", "close box again",
              "Quit from the recorder", "Disconnect before", "own local port", "failed Connect before",
              "Disconnect, failed Connect", "Disconnect, own port taken", "show in the waits"})
            QTest::newRow(use) << -1 << false << use << QStringList();
        QTest::newRow("stick") << -1 << false << "stick" << QStringList{"rc 20 0 0 0"};
        QTest::newRow("stick held to the end") << -1 << false << "stick held to the end" << QStringList{"rc 20 0 0 0"};
    }
    void closeLandsLast()
    {
        QFETCH(int, waitTicks);
        QFETCH(bool, paused);
        QFETCH(QString, use);
        QFETCH(QStringList, sentBefore);
        const bool connected = use != QLatin1String("never connected");
        if (connected)
            f.connectLink();
        QCOMPARE(f.linkBound(), connected);
        if (waitTicks >= 0) {
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
        }

        const Use act = uses.value(use, [](int) {});
        act(0);
        if (!sentBefore.isEmpty())
            QTRY_COMPARE(f.drone.received(), sentBefore);
        // Recording "Land" changes the plain list, which must not switch PLAY back on.
        QList<bool> playOff;
        for (int phase : {1, 2}) {
            QTimer::singleShot(phase == 1 ? 150 : 700, rec(), [&, phase] {
                playOff << !rec()->PlayBB()->isEnabled();
                act(phase);
            });
        }
        CntWin::instance()->close();
        QCOMPARE(playOff, (QList<bool>{true, true}));

        QCOMPARE(QuitRecorder::codes(), QList<int>{0});
        QVERIFY(!rec()->isPlaying());
        QVERIFY(!rec()->PlayTimer()->isActive());
        QVERIFY(!f.linkBound());
        // Whatever played or was used before the close; "Land" last, and nothing after it.
        const QStringList received = f.receivedBeforeMarker();
        if (!connected) {
            QCOMPARE(received, QStringList());
            QCOMPARE(f.log(), QStringLiteral("Land: error...\n"));
            return;
        }
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
