#include "CntWinFixture.h"
#include "CommandSplit.h"
#include "HdTestMain.h"
#include "ManualClock.h"
#include "ProgramTextGenerator.h"
#include "StringTargets.h"
#include "TextAreaTargets.h"
#include "TextHelpers.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

using Change = QPair<int, QString>;

// The generator's view of the window's own areas.
static TextAreaTargets areaTargets()
{
    std::array<QPlainTextEdit *, hd::TargetKindCount> areas;
    for (int i = 0; i < hd::TargetKindCount; ++i)
        areas[i] = RecWin::instance()->MjEF(i);
    return TextAreaTargets(areas);
}

static void appendTo(int kind, const QString &piece)
{
    areaTargets().append(kind, piece);
}

class tst_RecWin : public QObject
{
    Q_OBJECT

    static RecWin *rec() { return RecWin::instance(); }

    static void clearAreas()
    {
        for (int i = 0; i < hd::TargetKindCount; ++i)
            rec()->setTargetText(i, QString());
    }

private slots:
    void initTestCase()
    {
        // Built and shown on its own first: its construction runs no handler.
        QVERIFY(!RecWin::exists());
        rec()->show();
        QVERIFY(QTest::qWaitForWindowExposed(rec()));
    }

    void designValues()
    {
        RecWin *w = rec();
        QCOMPARE(RecWin::instance(), w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Record & Play"));
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags
                  & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                     | Qt::WindowFullscreenButtonHint)));

        // The content area is the design size, fixed; only the menu bar is above it.
        QCOMPARE(w->centralWidget()->size(), QSize(400, 460));
        QCOMPARE(w->centralWidget()->y(), w->menuBar()->height());
        QCOMPARE(w->size(), QSize(400, 460 + w->menuBar()->height()));
        QCOMPARE(w->minimumSize(), w->maximumSize());

        QTabWidget *tabs = w->MJType();
        const QStringList captions{"Original", "MJ", "QZ", "WQ", "QZ Q", "WQ Q"};
        const QStringList labels{"Original Command", "MixJuice / Drovelm", "Quenbrast",
                                 "Sallowmere",       "Quenbrast Queue",    "Sallowmere Queue"};
        QCOMPARE(tabs->count(), 6);
        QCOMPARE(tabs->currentIndex(), 0);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QCOMPARE(w->MjLv(i)->text(), labels[i]);
            QVERIFY(w->MjEF(i)->document()->isEmpty());
            QVERIFY(!w->MjEF(i)->isReadOnly());
            QVERIFY(w->MjEF(i)->tabChangesFocus());
            QCOMPARE(w->MjEF(i)->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        }
        QVERIFY(!w->MjEF(6));
        QVERIFY(!w->MjEF(-1));

        QCOMPARE(w->PlayBB()->text(), QStringLiteral("PLAY"));
        QVERIFY(!w->PlayBB()->isEnabled());
        QCOMPARE(w->StopBB()->text(), QStringLiteral("STOP"));
        QVERIFY(!w->StopBB()->isEnabled());
        QCOMPARE(w->BevelButton1()->text(), QStringLiteral("Untitled"));

        QTimer *timer = w->PlayTimer();
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);

        QVERIFY(!w->isRecording());
        QCOMPARE(w->recTick(), qint64(0));
        QVERIFY(!w->isPlaying());
        QVERIFY(w->playCommands().isEmpty());
        QVERIFY(w->playWaits().isEmpty());
    }

    void placeInWindowCoordinates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QRect>("place");
        QTest::newRow("MJType") << "MJType" << 0 << QRect(0, 35, 400, 400);
        QTest::newRow("PlayBB") << "PlayBB" << 0 << QRect(119, 8, 80, 22);
        QTest::newRow("StopBB") << "StopBB" << 0 << QRect(202, 8, 80, 22);
        QTest::newRow("BevelButton1") << "BevelButton1" << 0 << QRect(296, 12, 60, 0);
        for (int i = 0; i < 6; ++i) {
            QTest::addRow("MjEF_%d", i) << QStringLiteral("MjEF_%1").arg(i) << i << QRect(0, 100, 400, 335);
            QTest::addRow("MjLv_%d", i) << QStringLiteral("MjLv_%1").arg(i) << i << QRect(10, 73, 172, 20);
        }
    }

    void placeInWindowCoordinates()
    {
        QFETCH(QString, name);
        QFETCH(int, tab);
        QFETCH(QRect, place);
        rec()->MJType()->setCurrentIndex(tab);
        auto *control = rec()->findChild<QWidget *>(name);
        QVERIFY(control);
        const QPoint origin = control->mapTo(rec()->centralWidget(), QPoint(0, 0));
        QCOMPARE(QRect(origin, control->size()), place);
        rec()->MJType()->setCurrentIndex(0);
    }

    // Placed while only this window is on the screen, it follows the controller to
    // where it is shown, and on while a window manager moves it, until the user
    // first clicks in either window.
    void followsTheControllerUntilTheUserActs()
    {
        QVERIFY(rec()->windowHandle()->isExposed());
        QWidget controller;
        controller.setFixedSize(300, 200);
        controller.winId(); // a window of its own, not yet on the screen
        rec()->placeBeside(&controller);
        controller.move(120, 90);
        controller.show();
        QVERIFY(QTest::qWaitForWindowExposed(&controller));
        QTRY_COMPARE(rec()->geometry().topLeft(), controller.geometry().topLeft() + QPoint(308, 0));
        controller.move(150, 60);
        QTRY_COMPARE(rec()->geometry().topLeft(), controller.geometry().topLeft() + QPoint(308, 0));
        const QPoint placed = rec()->geometry().topLeft();
        QTest::mouseClick(rec()->windowHandle(), Qt::LeftButton, {}, rec()->MJType()->mapTo(rec(), QPoint(5, 5)));
        controller.move(10, 10);
        QTRY_VERIFY(controller.geometry().topLeft() != placed - QPoint(308, 0));
        QCOMPARE(rec()->geometry().topLeft(), placed);
    }

    void tabsShowTheirOwnAreaAndKeepTexts()
    {
        for (int i = 0; i < 6; ++i)
            rec()->setTargetText(i, QStringLiteral("text %1\n").arg(i));
        for (int tab : {3, 5, 0, 1, 4, 2, 0}) {
            rec()->MJType()->setCurrentIndex(tab);
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(rec()->MjEF(i)->isVisible(), i == tab);
                QCOMPARE(rec()->MjLv(i)->isVisible(), i == tab);
                QCOMPARE(rec()->targetText(i), QStringLiteral("text %1\n").arg(i));
            }
        }
        clearAreas();
    }

    void focusOrder()
    {
        const QList<QWidget *> wanted{rec()->MJType(), rec()->BevelButton1(), rec()->PlayBB(), rec()->StopBB()};
        QList<QWidget *> seen;
        QWidget *w = rec()->MJType();
        for (int guard = 0; guard < 1000 && seen.size() < wanted.size(); ++guard, w = w->nextInFocusChain()) {
            if (wanted.contains(w) && !seen.contains(w))
                seen.append(w);
        }
        QCOMPARE(seen, wanted);
    }

    void onlyCodeClosesIt_data()
    {
        QTest::addColumn<bool>("spontaneous");
        QTest::addColumn<bool>("accepted");
        // The window manager's close and Alt+F4 arrive as spontaneous close events.
        QTest::newRow("window manager") << true << false;
        QTest::newRow("controller's close sequence") << false << true;
    }

    void onlyCodeClosesIt()
    {
        QFETCH(bool, spontaneous);
        QFETCH(bool, accepted);
        QCloseEvent event;
        if (spontaneous)
            QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(rec(), &event);
        QCOMPARE(event.isAccepted(), accepted);
        QVERIFY(rec()->isVisible());
    }

    void textComesBackExactly_data()
    {
        QTest::addColumn<QString>("put");
        QTest::addColumn<QString>("held");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("lines") << "up 20:WAIT95\nland\n"
                               << "up 20:WAIT95\nland\n";
        QTest::newRow("only line ends") << "\n\n"
                                        << "\n\n";
        QTest::newRow("no-break space") << QStringLiteral("a\u00A0b") << QStringLiteral("a\u00A0b");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << QStringLiteral("a\u2028b");
        QTest::newRow("tab and quotes") << "?\"QZ U 20\"\t:WAIT3"
                                        << "?\"QZ U 20\"\t:WAIT3";
        QTest::newRow("outside the BMP") << QStringLiteral("\U0001F681 up") << QStringLiteral("\U0001F681 up");
        QTest::newRow("CR LF") << "a\r\nb\r\n"
                               << "a\nb\n";
        QTest::newRow("lone CR") << "a\rb"
                                 << "a\nb";
    }

    void textComesBackExactly()
    {
        QFETCH(QString, put);
        QFETCH(QString, held);
        rec()->setTargetText(2, put);
        QCOMPARE(rec()->targetText(2), held);
        QCOMPARE(areaTargets().endsWithLineEnd(2), held.endsWith(u'\n'));

        // Appending costs only the piece and keeps what was there.
        rec()->setTargetText(3, QStringLiteral("x\u00A0"));
        appendTo(3, put);
        QCOMPARE(rec()->targetText(3), QStringLiteral("x\u00A0") + held);
    }

    void appendShowsTheEnd()
    {
        rec()->MJType()->setCurrentIndex(0);
        clearAreas();
        for (int i = 0; i < 300; ++i)
            appendTo(0, QStringLiteral("cw %1\n").arg(i));
        QScrollBar *bar = rec()->MjEF(0)->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        clearAreas();
    }

    void playFollowsTheLastChange_data()
    {
        QTest::addColumn<QList<Change>>("changes");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain list filled") << QList<Change>{{0, "land\n"}} << true;
        QTest::newRow("another text filled") << QList<Change>{{4, "x"}} << true;
        QTest::newRow("another text emptied last") << QList<Change>{{0, "land\n"}, {5, "x"}, {5, ""}} << false;
        QTest::newRow("plain list emptied, another filled last") << QList<Change>{{0, "a"}, {0, ""}, {3, "y"}} << true;
    }

    void playFollowsTheLastChange()
    {
        QFETCH(QList<Change>, changes);
        QFETCH(bool, enabled);
        clearAreas();
        QVERIFY(!rec()->PlayBB()->isEnabled());
        for (const Change &change : changes)
            rec()->setTargetText(change.first, change.second);
        QCOMPARE(rec()->PlayBB()->isEnabled(), enabled);
        clearAreas();
    }

    void playFollowsTyping()
    {
        clearAreas();
        rec()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rec()));
        rec()->MJType()->setCurrentIndex(2);
        QPlainTextEdit *area = rec()->MjEF(2);
        area->setFocus();
        QTest::keyClicks(area, QStringLiteral("up 20"));
        QVERIFY(rec()->PlayBB()->isEnabled());
        QCOMPARE(rec()->targetText(2), QStringLiteral("up 20"));
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(area, Qt::Key_Backspace);
        QVERIFY(!rec()->PlayBB()->isEnabled());
        rec()->MJType()->setCurrentIndex(0);
    }

    // The controller's commands reach the six tabs exactly as the generator writes them.
    void recordsWhatTheControllerSends()
    {
        CntWinFixture fixture;
        fixture.open(18893);
        ManualClock clock;
        rec()->setClock(clock);
        clearAreas();
        QCOMPARE(rec()->isRecording(), false);

        StringTargets expected;
        ManualClock expectedClock;
        hd::ProgramTextGenerator reference(expected, expectedClock);

        int lastChanged = -1;
        QObject watching; // a failed check returns early: the watches go with it
        for (int i = 0; i < 6; ++i)
            connect(rec()->MjEF(i), &QPlainTextEdit::textChanged, &watching, [&lastChanged, i] { lastChanged = i; });

        struct Step
        {
            qint64 ticks;
            QString sent; // through DoCmd; empty: Disconnect
        };
        const QList<Step> steps{{0, "command"},  {200, "takeoff"}, {180, "up 20"},   {95, "battery?"},
                                {240, "land"},   {30, "cw 45"},    {12, "speed 50"}, {0, "rc 0 20 0 0"},
                                {50, "takeoff"}, {33, "flip f"},   {20, ""},         {7, "Land"}};
        for (const Step &step : steps) {
            clock.advance(step.ticks);
            expectedClock.advance(step.ticks);
            if (step.sent.isEmpty()) {
                fixture.click(QStringLiteral("LeavePM"));
                reference.CreateIJList(QStringLiteral("Disconnect"), QString());
            } else {
                fixture.win->DoCmd(step.sent);
                const hd::CommandWords words = hd::splitFirstWordAndRest(step.sent);
                reference.CreateIJList(words.word, words.argument);
            }
            for (int i = 0; i < 6; ++i)
                QCOMPARE(rec()->targetText(i), expected.texts[i]);
            QCOMPARE(rec()->isRecording(), reference.isRecording());
            QCOMPARE(rec()->recTick(), reference.recTick());
            if (lastChanged >= 0)
                QCOMPARE(rec()->PlayBB()->isEnabled(), !rec()->MjEF(lastChanged)->document()->isEmpty());

            if (step.sent == QLatin1String("land")) {
                // The flight of the worked example, as the plain list and the QZ program.
                QCOMPARE(rec()->targetText(0),
                         QStringLiteral("command:WAIT30\ntakeoff:WAIT180\nup 20:WAIT95\nbattery?:WAIT240\nland\n"));
                QCOMPARE(rec()->targetText(2),
                         QStringLiteral("10 ?\"QZ INIT\":WAIT30:\n20 ?\"QZ TO\":WAIT180\n30 ?\"QZ U 20\":WAIT95\n"
                                        "40 ?\"QZ ? battery?\":WAIT240\n50 ?\"QZ LD\"\n"));
            }
        }
        rec()->setClock(hd::SystemClock::instance());
        clearAreas();
    }

    // A measurement, not a check: recording into the text areas stays linear.
    void recordingTimeGrowsLinearly()
    {
        ManualClock clock;
        rec()->setClock(clock);
        QList<qint64> perThousand;
        for (int commands : {1000, 10000}) {
            clearAreas();
            QElapsedTimer timer;
            timer.start();
            rec()->CreateIJList(QStringLiteral("takeoff"), QString());
            for (int i = 0; i < commands; ++i) {
                clock.advance(3);
                rec()->CreateIJList(i % 2 ? QStringLiteral("up") : QStringLiteral("cw"), QStringLiteral("20"));
            }
            rec()->CreateIJList(QStringLiteral("land"), QString());
            perThousand << timer.elapsed() * 1000 / commands;
            qInfo("%d commands recorded into the six areas in %lld ms", commands, timer.elapsed());
        }
        qInfo("per 1000 commands: %lld ms at 1000, %lld ms at 10000", perThousand[0], perThousand[1]);
        rec()->setClock(hd::SystemClock::instance());
        clearAreas();
    }

    void undoTakesBackOnlyTheUsersEdits_data()
    {
        QTest::addColumn<bool>("opened");
        QTest::newRow("recorded flight") << false;
        QTest::newRow("plan opened over it") << true;
    }

    // A recorded command went to the drone and an opened plan replaced the old one:
    // Undo takes back neither, only what the user typed since.
    void undoTakesBackOnlyTheUsersEdits()
    {
        QFETCH(bool, opened);
        ManualClock clock;
        rec()->setClock(clock);
        clearAreas();
        rec()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rec()));
        QPlainTextEdit *area = rec()->MjEF(0);
        area->setFocus();
        QTest::keyClicks(area, QStringLiteral("typed"));
        for (const char *sent : {"takeoff", "up 20", "land"}) {
            clock.advance(20);
            const hd::CommandWords words = hd::splitFirstWordAndRest(QString::fromLatin1(sent));
            rec()->CreateIJList(words.word, words.argument);
        }
        if (opened) {
            for (int i = 0; i < hd::TargetKindCount; ++i)
                rec()->setTargetText(i, QStringLiteral("plan %1\n").arg(i));
        }
        QStringList held;
        for (int i = 0; i < hd::TargetKindCount; ++i)
            held << rec()->targetText(i);

        QTest::keyClick(area, Qt::Key_Z, Qt::ControlModifier);
        for (int i = 0; i < hd::TargetKindCount; ++i)
            QCOMPARE(rec()->targetText(i), held[i]);

        area->moveCursor(QTextCursor::End);
        QTest::keyClicks(area, QStringLiteral("up 5"));
        QCOMPARE(rec()->targetText(0), held[0] + QStringLiteral("up 5"));
        QTest::keyClick(area, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rec()->targetText(0), held[0]);
        rec()->setClock(hd::SystemClock::instance());
        clearAreas();
    }

    void programmaticCloseWorks()
    {
        rec()->close();
        QVERIFY(!rec()->isVisible());
        rec()->show();
        QVERIFY(rec()->isVisible());
    }
};

HD_TEST_MAIN(tst_RecWin)
#include "tst_recwin.moc"
