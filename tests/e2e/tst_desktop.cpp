#include "SimDrone.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

// The real application binary on a private X server under a real window manager,
// driven through the X server as a user drives it: pointer clicks, key-by-key
// typing. Whatever the in-process widget tests cannot see shows here: placement
// by the window manager, activation, stacking and real keyboard input.
class tst_Desktop : public QObject
{
    Q_OBJECT

    struct Geometry
    {
        int x = 0, y = 0, width = 0, height = 0; // client area, absolute
        int frameTop = -1;                       // title bar and top border, -1 before the frame
        bool operator==(const Geometry &o) const
        {
            return x == o.x && y == o.y && width == o.width && height == o.height && frameTop == o.frameTop;
        }
    };
    struct Layout
    {
        Geometry controller, recorder;
        int activeWindow = 0;
        int controllerStack = -1, recorderStack = -1; // bottom to top
        bool operator==(const Layout &o) const
        {
            return controller == o.controller && recorder == o.recorder && activeWindow == o.activeWindow
                && controllerStack == o.controllerStack && recorderStack == o.recorderStack;
        }
    };
    // Design coordinates in the controller's central area, under the menu bar.
    struct Control
    {
        int x, y, width, height;
    };
    static constexpr Control AddressEF{73, 8, 107, 22}, PortEF{230, 8, 62, 22}, LocalPortEF{231, 35, 62, 22},
        Connect{310, 8, 100, 28}, Takeoff{503, 8, 100, 28}, DistanceBox{449, 76, 50, 20}, Forward{352, 107, 100, 28};
    static constexpr int CentralHeight = 550, RecorderCentralHeight = 460;

    QTemporaryDir wmConfig;
    QProcess xvfb, wm, app;
    QProcessEnvironment env; // for everything that talks to the private display
    QString display;
    QString bin;                            // the application
    static constexpr int FirstDisplay = 20; // clear of the :0 up that -displayfd takes and xvfb-run's :99 up
    SimDrone drone;
    int controller = 0, recorder = 0; // X window ids
    Layout settled;
    bool aimed = false;        // the address field holds the loopback drone's address
    bool placedByHand = false; // the record window no longer stands where it placed itself
    bool failed = false;

    static void dieWithTheTest(QProcess &process)
    {
        // A crashed or killed test must not leave an X server or the application behind.
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }

    QString run(const QStringList &command, int timeoutMs = 5000) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(command.first(), command.mid(1));
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }
    QString xdotool(const QStringList &args) const { return run(QStringList{QStringLiteral("xdotool")} + args); }

    static int number(const QString &text, const QString &label)
    {
        const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
        const auto m = pattern.match(text);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    static QList<int> windowIds(const QString &text) // "... window id # 0x400006, 0x40000d"
    {
        QList<int> ids;
        for (const auto &m : QRegularExpression(QStringLiteral("0x[0-9a-fA-F]+")).globalMatch(text))
            ids.append(m.captured().toInt(nullptr, 16));
        return ids;
    }

    int findWindow(const QString &title) const
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                        QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')})
            .section(u'\n', 0, 0)
            .toInt();
    }

    Geometry geometry(int window) const
    {
        const QString info = run({QStringLiteral("xwininfo"), QStringLiteral("-id"), QString::number(window)});
        const QString extents = run({QStringLiteral("xprop"), QStringLiteral("-id"), QString::number(window),
                                     QStringLiteral("_NET_FRAME_EXTENTS")});
        const QStringList lrtb = extents.section(u'=', 1).split(u',');
        return {number(info, QStringLiteral("Absolute upper-left X")),
                number(info, QStringLiteral("Absolute upper-left Y")), number(info, QStringLiteral("Width")),
                number(info, QStringLiteral("Height")), lrtb.size() == 4 ? lrtb[2].trimmed().toInt() : -1};
    }

    Layout layout() const
    {
        Layout l{geometry(controller), geometry(recorder)};
        l.activeWindow = xdotool({QStringLiteral("getactivewindow")}).trimmed().toInt();
        const QList<int> stack = windowIds(
            run({QStringLiteral("xprop"), QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")}));
        l.controllerStack = stack.indexOf(controller);
        l.recorderStack = stack.indexOf(recorder);
        return l;
    }

    bool asIntended(const Layout &l) const
    {
        const Geometry &c = l.controller, &r = l.recorder;
        return r.x == c.x + c.width + 8 && r.y == c.y && r.frameTop >= 0 && c.frameTop >= 0 && r.y - r.frameTop >= 0
            && c.y - c.frameTop >= 0 && l.controllerStack > l.recorderStack && l.activeWindow == controller;
    }

    // Shows what the screen looked like, so that a failed CI run can be understood.
    void reportFailure(const QString &step)
    {
        failed = true;
        if (display.isEmpty())
            return;
        const QString path = QStringLiteral("/tmp/tst_desktop-%1.png").arg(step).replace(u' ', u'_');
        run({QStringLiteral("import"), QStringLiteral("-display"), display, QStringLiteral("-window"),
             QStringLiteral("root"), path});
        qWarning("screen at the failure: %s",
                 qPrintable(QFileInfo::exists(path) ? path : QStringLiteral("(import failed)")));
    }

    QString wmState(int window) const
    {
        return run({QStringLiteral("xprop"), QStringLiteral("-id"), QString::number(window),
                    QStringLiteral("WM_STATE")})
            .section(QStringLiteral("window state: "), 1)
            .section(u'\n', 0, 0);
    }

    bool movedFrom(int window, const Geometry &from) const
    {
        const Geometry now = geometry(window);
        return now.x != from.x || now.y != from.y;
    }

    void clickAt(const Control &c) const
    {
        const int top = settled.controller.height - CentralHeight;
        // Near the left edge: clear of a combo box's arrow, still inside every button.
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(controller),
                 QString::number(c.x + qMin(c.width / 2, 15)), QString::number(top + c.y + c.height / 2),
                 QStringLiteral("click"), QStringLiteral("1")});
    }

    // Clicks into a text field, replaces its text key by key and returns what the
    // field holds then, read back through the X selection that select-all sets.
    QString typeInto(const Control &field, const QString &text) const
    {
        clickAt(field);
        // Keys go where the X focus is: the window manager hands it over after the click.
        const auto focused = [&] {
            return xdotool({QStringLiteral("getwindowfocus")}).trimmed().toInt() == controller;
        };
        if (!QTest::qWaitFor(focused, 5000))
            return QStringLiteral("<the controller never got the keyboard focus>");
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
        return run({QCoreApplication::applicationFilePath(), QStringLiteral("--print-selection")});
    }

    // Whether an X client can open the display now: the server that listens on this
    // network namespace's abstract socket for it completes a connection setup. A client
    // library falls back to /tmp/.X11-unix, which other namespaces share, so this probe
    // talks the protocol itself rather than trusting one to have reached our server.
    static bool acceptsClients(int number)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = "/tmp/.X11-unix/X" + QByteArray::number(number);
        std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0)
            return false;
        // Little-endian, protocol 11.0, no authorisation; the reply's first byte is 1 on success.
        const char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        if (::write(fd, setup, sizeof setup) != qsizetype(sizeof setup))
            return false;
        pollfd reply{fd, POLLIN, 0};
        char status = 0;
        return ::poll(&reply, 1, 5000) == 1 && ::read(fd, &status, 1) == 1 && status == 1;
    }

    // Starts a private X server that a client can open, or says why none could be had.
    // Display numbers are taken by the lock file in /tmp, which every network namespace
    // sees; -displayfd takes none and picks the lowest number free in this namespace, so
    // every test's server got :0 at once and they raced on what is named after it (the
    // socket in /tmp/.X11-unix, the compiled keymap). The server listens only on this
    // namespace's abstract socket, so no client of another namespace can reach it, and it
    // never resets: a reset when the last client leaves drops clients that are connecting.
    QString startXServer()
    {
        QStringList failures;
        for (int number = FirstDisplay; number < FirstDisplay + 100 && failures.size() < 3; ++number) {
            dieWithTheTest(xvfb);
            xvfb.start(QStringLiteral("Xvfb"),
                       {QLatin1Char(':') + QString::number(number), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                        QStringLiteral("-nolisten"), QStringLiteral("unix"), QStringLiteral("-noreset")});
            // A first start can take seconds on a busy machine.
            const bool decided =
                QTest::qWaitFor([&] { return xvfb.state() == QProcess::NotRunning || acceptsClients(number); }, 20000);
            if (decided && xvfb.state() == QProcess::Running) {
                display = QLatin1Char(':') + QString::number(number);
                return {};
            }
            const QString said = QString::fromLocal8Bit(xvfb.readAllStandardError()).simplified();
            if (xvfb.state() == QProcess::NotRunning && said.contains(QLatin1String("already active")))
                continue; // another server holds this number
            const QString ended = xvfb.error() == QProcess::FailedToStart ? xvfb.errorString()
                : xvfb.exitStatus() == QProcess::CrashExit                ? QStringLiteral("killed by a signal")
                                                           : QStringLiteral("exit code %1").arg(xvfb.exitCode());
            failures << (xvfb.state() == QProcess::Running
                             ? QStringLiteral(":%1 took no client within 20 s").arg(number)
                             : QStringLiteral(":%1 ended (%2): %3").arg(number).arg(ended, said.right(300)));
            xvfb.kill();
            xvfb.waitForFinished();
        }
        return QStringLiteral("no X server that a client could open: ") + failures.join(QStringLiteral("; "));
    }

    // Starts the application and waits until the window manager has placed both windows.
    void startApplication()
    {
        aimed = false;
        controller = recorder = 0;
        settled = Layout();
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
        dieWithTheTest(app);
        app.start(bin, {});
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         controller = findWindow(QStringLiteral("Hoverdeck"));
                         recorder = findWindow(QStringLiteral("Record & Play"));
                         return (controller && recorder) || app.state() == QProcess::NotRunning;
                     },
                     20000)
                     && controller && recorder,
                 qPrintable(QStringLiteral("the two windows did not show: ") + QString::fromLocal8Bit(app.readAll())));

        // The window manager moves windows after they map: wait until the layout is
        // as intended or has stopped changing for a while.
        QElapsedTimer steady;
        steady.start();
        const bool calm = QTest::qWaitFor(
            [&] {
                const Layout now = layout();
                if (!(now == settled))
                    steady.restart();
                settled = now;
                return asIntended(now) || steady.elapsed() > 1000;
            },
            8000);
        if (!calm)
            qWarning("the windows were still moving after 8 s");
        QCOMPARE(settled.controller.width, 780);
        QCOMPARE(settled.recorder.width, 400);
        QVERIFY2(settled.controller.frameTop >= 0 && settled.recorder.frameTop >= 0, "the windows got no frames");
    }

private slots:
    void initTestCase()
    {
        auto onFailure = qScopeGuard([this] {
            if (QTest::currentTestFailed())
                reportFailure(QStringLiteral("start"));
        });
        for (const char *tool : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                     qPrintable(
                         QStringLiteral("%1 is not installed (scripts/deps.sh installs it)").arg(QLatin1String(tool))));
        // CTest names the folder; run by hand, the build's own is next to the tests'.
        QString binDir = qEnvironmentVariable("HOVERDECK_BIN");
        if (binDir.isEmpty())
            binDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
        bin = QDir::cleanPath(binDir + QStringLiteral("/hoverdeck"));
        QVERIFY2(QFileInfo(bin).isExecutable(), qPrintable(bin + QStringLiteral(" is missing (see HOVERDECK_BIN)")));

        const QString noServer = startXServer();
        QVERIFY2(noServer.isEmpty(), qPrintable(noServer));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

        // The window manager with its stock settings, whatever the user configured.
        QVERIFY(wmConfig.isValid());
        QProcessEnvironment wmEnv = env;
        wmEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), wmConfig.path());
        wm.setProcessEnvironment(wmEnv);
        wm.setProcessChannelMode(QProcess::MergedChannels);
        dieWithTheTest(wm);
        wm.start(QStringLiteral("openbox"), {});
        // A first start can build font caches for seconds before it manages anything.
        // Its check window comes early, before it handles map requests: a window
        // mapped then stays unmapped for good. The theme it names on the root comes
        // once it has loaded its settings, right before it manages windows.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return run({QStringLiteral("xprop"), QStringLiteral("-root"), QStringLiteral("_OB_THEME")})
                                    .startsWith(QLatin1String("_OB_THEME("))
                             || wm.state() == QProcess::NotRunning;
                     },
                     20000)
                     && wm.state() == QProcess::Running,
                 qPrintable(QStringLiteral("openbox did not start: ") + QString::fromLocal8Bit(wm.readAll())));

        QVERIFY(drone.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));

        startApplication();
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            reportFailure(
                QString::fromLatin1(QTest::currentTestFunction())
                + (QTest::currentDataTag() ? QLatin1Char('-') + QLatin1String(QTest::currentDataTag()) : QString()));
    }

    void cleanupTestCase()
    {
        // Still running means a step failed: closing could send to whatever the
        // address field holds, so the application is killed instead.
        for (QProcess *p : {&app, &wm, &xvfb}) {
            if (p->state() != QProcess::NotRunning) {
                // The X server, asked to end, removes its lock file; a stale one only costs a number.
                if (p == &xvfb)
                    p->terminate();
                else
                    p->kill();
                if (!p->waitForFinished(5000)) {
                    p->kill();
                    p->waitForFinished(5000);
                }
            }
        }
        const QByteArray output = app.readAll();
        if (failed && !output.isEmpty())
            qInfo("the application's output:\n%s", output.constData());
    }

    void windowsAfterStart_data()
    {
        QTest::addColumn<int>("actual");
        QTest::addColumn<int>("expected");
        const Geometry &c = settled.controller, &r = settled.recorder;
        // Side by side with a gap of 8, top edges level, title bars reachable.
        QTest::newRow("recorder left") << r.x << c.x + c.width + 8;
        QTest::newRow("recorder top") << r.y << c.y;
        QTest::newRow("recorder title bar on screen") << qMin(r.y - r.frameTop, 0) << 0;
        QTest::newRow("controller title bar on screen") << qMin(c.y - c.frameTop, 0) << 0;
        // The controller is what the user works with first.
        QTest::newRow("controller active") << settled.activeWindow << controller;
        QTest::newRow("controller above recorder") << int(settled.controllerStack > settled.recorderStack) << 1;
    }
    void windowsAfterStart()
    {
        QFETCH(int, actual);
        QFETCH(int, expected);
        QCOMPARE(actual, expected);
    }

    // The record window follows the controller while the window manager may still
    // move it, until the user takes over: by a drag of its title bar, which it never
    // sees as a click, another program moving it, or a key in either window. From
    // then on it stays where it is, also when the controller moves or it is shown again.
    void recorderStaysWhereItIsPut_data()
    {
        // xdotool's words, {x} {y} a point on the record window's title bar.
        QTest::addColumn<QString>("takeOver");
        QTest::newRow("title bar drag") << "mousemove {x} {y} mousedown 1 sleep 0.2 mousemove_relative 20 10 "
                                           "sleep 0.2 mousemove_relative 70 60 sleep 0.2 mouseup 1";
        QTest::newRow("moved by another program") << "windowmove {window} {x} {y}";
        QTest::newRow("key press") << "key shift";
    }
    void recorderStaysWhereItIsPut()
    {
        QFETCH(QString, takeOver);
        if (std::exchange(placedByHand, true)) {
            app.kill();
            app.waitForFinished(5000);
            startApplication();
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY2(asIntended(settled), "the windows were not placed as intended at start");
        const Geometry before = geometry(recorder);
        QString words = takeOver;
        words.replace(QLatin1String("{window}"), QString::number(recorder))
            .replace(QLatin1String("{x}"), QString::number(before.x + before.width / 2))
            .replace(QLatin1String("{y}"), QString::number(before.y - before.frameTop / 2));
        xdotool(words.split(u' '));
        if (!takeOver.startsWith(QLatin1String("key")))
            QTRY_VERIFY_WITH_TIMEOUT(movedFrom(recorder, before), 5000);
        const Geometry put = geometry(recorder);

        const Geometry c = geometry(controller);
        xdotool(QStringLiteral("windowmove %1 %2 %3").arg(controller).arg(c.x + 60).arg(c.y + 50).split(u' '));
        QTRY_VERIFY_WITH_TIMEOUT(movedFrom(controller, c), 5000);
        QVERIFY2(!QTest::qWaitFor([&] { return movedFrom(recorder, put); }, 1000),
                 "the record window followed the controller");

        xdotool({QStringLiteral("windowminimize"), QString::number(recorder)});
        QTRY_COMPARE_WITH_TIMEOUT(wmState(recorder), QStringLiteral("Iconic"), 5000);
        xdotool({QStringLiteral("windowactivate"), QString::number(recorder)});
        QTRY_COMPARE_WITH_TIMEOUT(wmState(recorder), QStringLiteral("Normal"), 5000);
        // The window manager reports the frame's way back from the icon for a moment.
        QTRY_VERIFY_WITH_TIMEOUT(!movedFrom(recorder, put), 5000);
        QVERIFY2(!QTest::qWaitFor([&] { return movedFrom(recorder, put); }, 1000),
                 "the record window went back beside the controller when shown again");
    }

    void flyByMouseAndKeyboard()
    {
        // Nothing is sent before the address field holds the loopback drone's address.
        QCOMPARE(typeInto(AddressEF, QStringLiteral("127.0.0.2")), QStringLiteral("127.0.0.2"));
        aimed = true;
        const QString port = QString::number(drone.port());
        QCOMPARE(typeInto(PortEF, port), port);
        QCOMPARE(typeInto(LocalPortEF, port), port);
        clickAt(Connect);
        clickAt(Takeoff);
        QTRY_VERIFY_WITH_TIMEOUT(drone.received().contains(QStringLiteral("takeoff")), 5000);

        const QString distance = typeInto(DistanceBox, QStringLiteral("120"));
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        drone.clearReceived();
        clickAt(Forward);
        QTRY_VERIFY_WITH_TIMEOUT(!drone.received().isEmpty(), 5000);
        QVERIFY2(drone.received() == QStringList{QStringLiteral("forward 120")},
                 qPrintable(QStringLiteral("the drone received %1; the distance box held \"%2\" after typing 120")
                                .arg(drone.received().join(QStringLiteral(", ")), distance)));
    }

    // Openbox gives both windows a minimise button; the Window menu of the other
    // window is then the way back, to the same place, in front and active.
    void minimisedWindowComesBack_data()
    {
        QTest::addColumn<bool>("minimiseController");
        QTest::newRow("controller") << true;
        QTest::newRow("record and play") << false;
    }
    void minimisedWindowComesBack()
    {
        QFETCH(bool, minimiseController);
        const int window = minimiseController ? controller : recorder;
        const int other = minimiseController ? recorder : controller;
        const Geometry before = geometry(window);
        const auto state = [&] { return wmState(window); };
        xdotool({QStringLiteral("windowminimize"), QString::number(window)});
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("Iconic"), 5000);

        // Window > its item, by keyboard from the other window's File menu: moving
        // across the bar makes the Window menu's first item the active one.
        const Geometry menuOwner = geometry(other);
        const int menuBar = menuOwner.height - (other == controller ? CentralHeight : RecorderCentralHeight);
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(other), QStringLiteral("15"),
                 QString::number(menuBar / 2), QStringLiteral("click"), QStringLiteral("1")});
        QStringList keys{QStringLiteral("Right"), QStringLiteral("Right")};
        if (!minimiseController)
            keys << QStringLiteral("Down");
        keys << QStringLiteral("Return");
        for (const QString &key : keys)
            xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"), key});

        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("Normal"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(layout().activeWindow, window, 5000);
        const auto inFront = [&] {
            const Layout now = layout();
            return minimiseController ? now.controllerStack > now.recorderStack
                                      : now.recorderStack > now.controllerStack;
        };
        QTRY_VERIFY_WITH_TIMEOUT(inFront(), 5000);
        QVERIFY(run({QStringLiteral("xwininfo"), QStringLiteral("-id"), QString::number(window)})
                    .contains(QLatin1String("IsViewable")));
        // The window manager reports the frame of a window it maps again a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(geometry(window) == before, 5000);
    }

    void quitLandsAndEnds()
    {
        QVERIFY2(aimed, "the address was never typed: not closing, the application is killed");
        drone.clearReceived();
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")});
        QTRY_VERIFY_WITH_TIMEOUT(drone.received().contains(QStringLiteral("Land")), 5000);
        QVERIFY2(app.waitForFinished(5000), "the application did not end");
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
    }
};

int main(int argc, char **argv)
{
    // Run again as a plain X client on the test's display, it prints the X selection
    // that select-all in the application's text fields sets.
    if (argc == 2 && qstrcmp(argv[1], "--print-selection") == 0) {
        QGuiApplication app(argc, argv);
        fputs(qPrintable(QGuiApplication::clipboard()->text(QClipboard::Selection)), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    tst_Desktop test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
