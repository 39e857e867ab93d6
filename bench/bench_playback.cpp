// Playback timing: a 200-step plain command list with varied waits, typed into the
// recorder's first text area and played with PLAY against the simulated drone
// process. Each step's actual time is compared with its planned time (the first
// step plus the sum of the waits before it), taken twice: where the window sends
// (DoCmd's log entry, written just before the datagram goes out) and where the drone
// receives (its printed "<- command" line, read by a helper thread).
//
//   bench_playback [repetitions]
#include "BenchSupport.h"
#include "RecWin.h"

#include <QEventLoop>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <mutex>
#include <thread>
#include <utility>

using namespace bench;

namespace {

constexpr int Steps = 200;
constexpr int MsPerTick = 17;

// The drone prints every command it receives; a thread stamps each line on arrival.
class DroneProcess
{
public:
    void start(std::vector<std::string> args)
    {
        int out[2];
        if (::pipe(out) != 0)
            std::exit(1);
        mPid = spawnDrone(std::move(args), out[1], out[0]);
        ::close(out[1]);
        mReader = std::thread([this, fd = out[0]] { read(fd); });
    }

    ~DroneProcess()
    {
        if (mPid > 0)
            stopProcess(mPid);
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

struct Plan
{
    QString text;
    std::vector<QString> commands;
    std::vector<double> plannedMs; // from the first step
};

// "command", "takeoff", 197 motions and queries with waits of 0 to 8 ticks, "land".
Plan makePlan()
{
    static const char *const moves[] = {"up 20",   "cw 45",  "forward 50", "battery?", "left 30",  "flip f",
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
    quietOffscreenByDefault();
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    App app(argc, argv);
    CntWin *win = openWindows(app);
    DroneProcess drone;
    drone.start({"--state-interval", "0"});
    if (!connectWindow(win))
        return 1;
    QPlainTextEdit *log = win->findChild<QPlainTextEdit *>(QStringLiteral("ResEF"));

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

    std::printf("Playback of a %d-step plan (waits 0..30 ticks of %d ms, %.1f s planned), %d runs\n", Steps, MsPerTick,
                plannedTotal / 1000, repetitions);
    std::printf("  deviation from plan, ms             %8s %8s %8s %8s   %s\n", "median", "|p50|", "|p99|", "|max|",
                "drift at last step: median (min..max)");
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
