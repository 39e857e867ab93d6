#include "EventLoop.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

class tst_EventLoop : public QObject
{
    Q_OBJECT

private slots:
    void doEventsHandlesEventsWithinItsWindow();
    void doEventsReturnsAfterItsTime();
    void quitCallsInstalledHandler_data();
    void quitCallsInstalledHandler();
    void quitWithoutHandlerEndsEventLoop();
};

void tst_EventLoop::doEventsHandlesEventsWithinItsWindow()
{
    bool queued = false;
    bool timed = false;
    QMetaObject::invokeMethod(
        this, [&] { queued = true; }, Qt::QueuedConnection);
    QTimer::singleShot(20, this, [&] { timed = true; });
    hd::DoEvents(200);
    QVERIFY(queued);
    QVERIFY(timed);
}

void tst_EventLoop::doEventsReturnsAfterItsTime()
{
    // A timer far beyond the window must not keep the nested loop running.
    bool late = false;
    QTimer::singleShot(60000, this, [&] { late = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    hd::DoEvents(50);
    QVERIFY(elapsed.elapsed() >= 45);
    QVERIFY(elapsed.elapsed() < 5000);
    QVERIFY(!late);
    hd::DoEvents(0);
}

void tst_EventLoop::quitCallsInstalledHandler_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("zero") << 0;
    QTest::newRow("non-zero") << 3;
}

void tst_EventLoop::quitCallsInstalledHandler()
{
    QFETCH(int, code);
    QList<int> calls;
    hd::setQuitHandler([&calls](int c) { calls.append(c); });
    hd::Quit(code);
    hd::setQuitHandler(nullptr);
    QCOMPARE(calls, QList<int>{code});
}

void tst_EventLoop::quitWithoutHandlerEndsEventLoop()
{
    // Without a handler Quit must end the running application loop with its code.
    QTimer::singleShot(0, [] { hd::Quit(7); });
    QCOMPARE(QCoreApplication::exec(), 7);
}

QTEST_GUILESS_MAIN(tst_EventLoop)
#include "tst_eventloop.moc"
