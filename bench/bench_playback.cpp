// Playback timing: a 200-step plain command list with varied waits, typed into the
// recorder's first text area and played with PLAY against the simulated drone
// process. Each step's actual time is compared with its planned time (the first
// step plus the sum of the waits before it), taken twice: where the window sends
// (DoCmd's log entry, written just before the datagram goes out) and where the drone
// receives (its printed "<- command" line, read by a helper thread).
//
//   bench_playback [repetitions]
#include "App.h"
#include "CntWin.h"
#include "EventLoop.h"
#include "RecWin.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char **environ;

namespace {

using Steady = std::chrono::steady_clock;

// Only ever this loopback address: the simulated drone.
constexpr const char *DroneAddress = "127.0.0.2";
constexpr quint16 DronePort = 8889;
constexpr int Steps = 200;
constexpr int MsPerTick = 17;

double msBetween(Steady::time_point from, Steady::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

void quietPlatformNotes(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (msg.startsWith(QLatin1String("This plugin does not support")) || msg.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
    if (type == QtFatalMsg)
        std::abort();
}

std::string droneProgram()
{
    const QByteArray dir = qgetenv("HOVERDECK_BIN");
    const QString base = dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")
                                       : QString::fromLocal8Bit(dir);
    return (base + QStringLiteral("/hoverdeck-drone")).toStdString();
}

// The drone prints every command it receives; a thread stamps each line on arrival.
class DroneProcess
{
public:
    void start(std::vector<std::string> args)
    {
        args.insert(args.begin(), droneProgram());
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            std::exit(1);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const int rc = posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(rc));
            std::exit(1);
        }
        mReader = std::thread([this, fd = out[0]] { read(fd); });
    }

    ~DroneProcess()
    {
        if (mPid > 0) {
            ::kill(mPid, SIGTERM);
            ::waitpid(mPid, nullptr, 0);
        }
        if (mReader.joinable())
            mReader.join();
    }

    // Commands received since the last call, with their arrival times.
    std::vector<std::pair<std::string, Steady::time_point>> take()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return std::exchange(mReceived, {});
    }

private:
    void read(int fd)
    {
        std::string pending;
        char buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) {
            const Steady::time_point now = Steady::now();
            pending.append(buf, size_t(n));
            for (size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
                const std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                if (line.rfind("<- ", 0) == 0) {
                    std::lock_guard<std::mutex> lock(mMutex);
                    mReceived.emplace_back(line.substr(3), now);
                }
            }
        }
        ::close(fd);
    }

    pid_t mPid = -1;
    std::thread mReader;
    std::mutex mMutex;
    std::vector<std::pair<std::string, Steady::time_point>> mReceived;
};

bool waitForDrone()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    timeval tv{0, 100000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DronePort);
    ::inet_pton(AF_INET, DroneAddress, &to.sin_addr);
    bool up = false;
    for (int i = 0; i < 50 && !up; ++i) {
        ::sendto(fd, "command", 7, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
        char buf[64];
        up = ::recv(fd, buf, sizeof buf, 0) == 2;
    }
    ::close(fd);
    return up;
}

struct Plan
{
    QString text;
    std::vector<QString> commands;
    std::vector<double> plannedMs; // from the first step
};

// "command", "takeoff", 197 motions and queries with waits of 0 to 8 ticks, "land".
Plan makePlan()
{
    static const char *const moves[] = {"up 20",  "cw 45",   "forward 50", "battery?", "left 30", "flip f",
                                        "down 20", "ccw 90", "back 40",    "height?",  "right 25", "speed?"};
    static const int waits[] = {3, 0, 5, 1, 8, 2, 4, 6, 1, 3, 7, 0, 2, 5, 4};
    Plan plan;
    double at = 0;
    auto step = [&](const QString &command, int ticks, bool last = false) {
        plan.commands.push_back(command);
        plan.plannedMs.push_back(at);
        plan.text += command;
        if (!last)
            plan.text += QStringLiteral(":WAIT%1\n").arg(ticks);
        at += ticks * MsPerTick;
    };
    step(QStringLiteral("command"), 30);
    step(QStringLiteral("takeoff"), 20);
    for (int i = 0; i < Steps - 3; ++i)
        step(QString::fromLatin1(moves[i % 12]), waits[i % 15]);
    step(QStringLiteral("land"), 0, true);
    return plan;
}

struct Side
{
    std::vector<double> absDeviation; // |actual - planned|, ms, every step after the first
    std::vector<double> deviation;    // signed
    std::vector<double> drift;        // signed deviation of the last step, one per run
    // Signed deviations split by the wait before the step: a step planned for the
    // same moment as its predecessor can only follow it.
    std::vector<double> afterZeroWait, afterWait;
};

void addRun(Side &side, const std::vector<double> &actualMs, const Plan &plan)
{
    for (size_t k = 1; k < actualMs.size(); ++k) {
        const double d = actualMs[k] - plan.plannedMs[k];
        side.deviation.push_back(d);
        side.absDeviation.push_back(std::fabs(d));
        (plan.plannedMs[k] == plan.plannedMs[k - 1] ? side.afterZeroWait : side.afterWait).push_back(d);
    }
    side.drift.push_back(actualMs.back() - plan.plannedMs.back());
}

void printSide(const char *name, const Side &side)
{
    std::printf("  %-34s %8.3f %8.3f %8.3f %8.3f   %+.3f (%+.3f..%+.3f)\n", name, percentile(side.deviation, 50),
                percentile(side.absDeviation, 50), percentile(side.absDeviation, 99),
                percentile(side.absDeviation, 100), percentile(side.drift, 50), percentile(side.drift, 0),
                percentile(side.drift, 100));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    qInstallMessageHandler(quietPlatformNotes);
    App app(argc, argv);
    hd::setQuitHandler([](int) {});
    app.startUp();
    app.Event_Open();
    CntWin *win = CntWin::instance();
    // Aimed at the simulated drone before anything can send.
    win->findChild<QLineEdit *>(QStringLiteral("AddressEF"))->setText(QString::fromLatin1(DroneAddress));
    win->findChild<QLineEdit *>(QStringLiteral("PortEF"))->setText(QString::number(DronePort));
    win->findChild<QLineEdit *>(QStringLiteral("LocalPortEF"))->setText(QString::number(DronePort));

    DroneProcess drone;
    drone.start({"--address", DroneAddress, "--port", std::to_string(DronePort), "--state-interval", "0"});
    if (!waitForDrone()) {
        std::fprintf(stderr, "the simulated drone does not answer\n");
        return 1;
    }
    win->findChild<QPushButton *>(QStringLiteral("ConnPM"))->click();
    QPlainTextEdit *log = win->findChild<QPlainTextEdit *>(QStringLiteral("ResEF"));
    if (!log->toPlainText().contains(QStringLiteral("Connect to 127.0.0.2"))) {
        std::fprintf(stderr, "the controller window did not connect\n");
        return 1;
    }

    // DoCmd writes "<command>: " into the log first, then sends: a change that leaves
    // the last line ending in ": " is a step going out. Answers end the line instead.
    std::vector<Steady::time_point> sentAt;
    bool playing = false;
    QObject::connect(log, &QPlainTextEdit::textChanged, [&] {
        if (playing && log->document()->lastBlock().text().endsWith(QLatin1String(": ")))
            sentAt.push_back(Steady::now());
    });

    RecWin *rec = RecWin::instance();
    const Plan plan = makePlan();
    Side windowSide, droneSide;
    std::vector<double> transitMs;
    int failures = 0;
    const double plannedTotal = plan.plannedMs.back();

    for (int run = 0; run < repetitions; ++run) {
        win->findChild<QPushButton *>(QStringLiteral("PushButton3"))->click(); // Clear the log
        rec->setTargetText(0, plan.text);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QThread::msleep(100);
        drone.take();
        sentAt.clear();
        playing = true;

        rec->PlayBB()->click();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!rec->isPlaying())
                loop.quit();
        });
        poll.start(20);
        QTimer::singleShot(int(plannedTotal) + 10000, &loop, &QEventLoop::quit);
        loop.exec();
        playing = false;
        hd::DoEvents(300); // the last answers and the drone's last lines
        const auto received = drone.take();

        if (sentAt.size() != size_t(Steps) || received.size() != size_t(Steps)) {
            std::fprintf(stderr, "run %d: %zu steps sent, %zu received, %d planned\n", run + 1, sentAt.size(),
                         received.size(), Steps);
            ++failures;
            continue;
        }
        std::vector<double> sentMs, receivedMs;
        for (int k = 0; k < Steps; ++k) {
            if (received[size_t(k)].first != plan.commands[size_t(k)].toStdString()) {
                std::fprintf(stderr, "run %d: step %d reached the drone as \"%s\"\n", run + 1, k + 1,
                             received[size_t(k)].first.c_str());
                ++failures;
            }
            sentMs.push_back(msBetween(sentAt[0], sentAt[size_t(k)]));
            receivedMs.push_back(msBetween(received[0].second, received[size_t(k)].second));
            transitMs.push_back(msBetween(sentAt[size_t(k)], received[size_t(k)].second));
        }
        addRun(windowSide, sentMs, plan);
        addRun(droneSide, receivedMs, plan);
    }

    std::printf("Playback of a %d-step plan (waits 0..30 ticks of %d ms, %.1f s planned), %d runs\n", Steps,
                MsPerTick, plannedTotal / 1000, repetitions);
    std::printf("  deviation from plan, ms             %8s %8s %8s %8s   %s\n", "median", "|p50|", "|p99|",
                "|max|", "drift at last step: median (min..max)");
    printSide("sent by the window (DoCmd)", windowSide);
    printSide("received by the drone", droneSide);
    std::printf("  window, steps after a wait of 0 ms: median %+.3f, max %+.3f ms (%zu steps); after a longer "
                "wait: median %+.3f, p99 %+.3f ms\n",
                percentile(windowSide.afterZeroWait, 50), percentile(windowSide.afterZeroWait, 100),
                windowSide.afterZeroWait.size(), percentile(windowSide.afterWait, 50),
                percentile(windowSide.afterWait, 99));
    std::printf("  window -> drone transit: median %.3f ms, p99 %.3f ms\n", percentile(transitMs, 50),
                percentile(transitMs, 99));
    std::printf("  targets (window side): p99 within 2 ms, drift under 5 ms\n");
    return failures ? 1 : 0;
}
