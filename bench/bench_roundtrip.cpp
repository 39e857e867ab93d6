// Command round trip against the simulated drone process: DoCmd("command") in the
// running controller window until the drone's "ok" completes its log line, side by
// side with a bare blocking UDP client and an event-loop QUdpSocket client, all
// three talking to the same drone. Rounds alternate the clients so that a change
// in machine speed hits all three alike.
//
//   bench_roundtrip [commands per round] [rounds]
#include "App.h"
#include "CntWin.h"
#include "EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextBlock>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Steady = std::chrono::steady_clock;

// Only ever this loopback address: the simulated drone.
constexpr const char *DroneAddress = "127.0.0.2";
constexpr quint16 DronePort = 8889;

double usSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

std::string droneProgram()
{
    const QByteArray dir = qgetenv("HOVERDECK_BIN");
    const QString base = dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")
                                       : QString::fromLocal8Bit(dir);
    return (base + QStringLiteral("/hoverdeck-drone")).toStdString();
}

pid_t spawnDrone(std::vector<std::string> args)
{
    args.insert(args.begin(), droneProgram());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(rc));
        std::exit(1);
    }
    return pid;
}

void stopDrone(pid_t pid)
{
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

sockaddr_in droneSockaddr()
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DronePort);
    ::inet_pton(AF_INET, DroneAddress, &to.sin_addr);
    return to;
}

// A blocking client socket on 127.0.0.1 with a receive time-out.
int clientSocket(int timeoutMs)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// Sends cmd and waits for the answer; false on time-out or an answer other than "ok".
bool posixRoundTrip(int fd, const sockaddr_in &to, const char *cmd)
{
    ::sendto(fd, cmd, std::strlen(cmd), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    char buf[256];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    return n == 2 && buf[0] == 'o' && buf[1] == 'k';
}

bool waitForDrone()
{
    const int fd = clientSocket(100);
    const sockaddr_in to = droneSockaddr();
    bool up = false;
    for (int i = 0; i < 50 && !up; ++i)
        up = posixRoundTrip(fd, to, "command");
    ::close(fd);
    return up;
}

// The offscreen platform's notes about window features it lacks say nothing here.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (msg.startsWith(QLatin1String("This plugin does not support")) || msg.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
    if (type == QtFatalMsg)
        std::abort();
}

struct Method
{
    const char *name;
    std::vector<double> all;          // every round trip, microseconds
    std::vector<double> roundMedians; // one per round
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int perRound = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;

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

    const pid_t drone = spawnDrone({"--address", DroneAddress, "--port", std::to_string(DronePort),
                                    "--state-interval", "0", "--quiet"});
    if (!waitForDrone()) {
        std::fprintf(stderr, "the simulated drone does not answer\n");
        stopDrone(drone);
        return 1;
    }
    win->findChild<QPushButton *>(QStringLiteral("ConnPM"))->click();
    QPlainTextEdit *log = win->findChild<QPlainTextEdit *>(QStringLiteral("ResEF"));
    if (!log->toPlainText().contains(QStringLiteral("Connect to 127.0.0.2"))) {
        std::fprintf(stderr, "the controller window did not connect\n");
        stopDrone(drone);
        return 1;
    }

    // --- the controller window: DoCmd until the log line reads "command: ok"
    QEventLoop loop;
    bool waiting = false;
    Steady::time_point sentAt;
    double lastUs = 0;
    const QString completed = QStringLiteral("command: ok");
    QObject::connect(log, &QPlainTextEdit::textChanged, [&] {
        if (!waiting)
            return;
        const QTextBlock last = log->document()->lastBlock();
        if (last.text().isEmpty() && last.previous().text().endsWith(completed)) {
            lastUs = usSince(sentAt);
            waiting = false;
            loop.quit();
        }
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (waiting && usSince(sentAt) > 2e6)
            loop.quit();
    });
    watchdog.start(500);
    std::vector<double> doCmdUs;
    auto appRoundTrip = [&]() -> double {
        sentAt = Steady::now();
        win->DoCmd(QStringLiteral("command"));
        doCmdUs.push_back(usSince(sentAt));
        waiting = true;
        loop.exec();
        if (waiting) {
            waiting = false;
            return -1;
        }
        return lastUs;
    };

    // --- a bare blocking client
    const int fd = clientSocket(2000);
    const sockaddr_in to = droneSockaddr();
    auto posixClient = [&]() -> double {
        const Steady::time_point start = Steady::now();
        return posixRoundTrip(fd, to, "command") ? usSince(start) : -1;
    };

    // --- a QUdpSocket client in the same event loop as the windows
    QUdpSocket qtSocket;
    qtSocket.bind(QHostAddress::LocalHost, 0);
    bool qtWaiting = false;
    bool qtOk = false;
    double qtUs = 0;
    Steady::time_point qtSentAt;
    QObject::connect(&qtSocket, &QUdpSocket::readyRead, [&] {
        while (qtSocket.hasPendingDatagrams()) {
            const QByteArray data = qtSocket.receiveDatagram().data();
            if (qtWaiting && data == "ok") {
                qtUs = usSince(qtSentAt);
                qtWaiting = false;
                qtOk = true;
                loop.quit();
            }
        }
    });
    const QHostAddress droneHost(QString::fromLatin1(DroneAddress));
    auto qtClient = [&]() -> double {
        qtOk = false;
        qtSentAt = Steady::now();
        qtSocket.writeDatagram("command", droneHost, DronePort);
        qtWaiting = true;
        sentAt = qtSentAt; // the watchdog reads it
        waiting = true;
        loop.exec();
        waiting = qtWaiting = false;
        return qtOk ? qtUs : -1;
    };

    // --- the same QUdpSocket client writing the same log lines into a bare text area
    // of the log's size and font in a window of its own: what any widget log costs.
    QMainWindow bareWindow;
    auto *bareLog = new QPlainTextEdit(&bareWindow);
    bareLog->setGeometry(log->geometry());
    bareLog->setFont(log->font());
    bareLog->setVerticalScrollBarPolicy(log->verticalScrollBarPolicy());
    bareLog->setHorizontalScrollBarPolicy(log->horizontalScrollBarPolicy());
    bareLog->setUndoRedoEnabled(false);
    bareWindow.resize(780, 550);
    bareWindow.show();
    auto bareAppend = [bareLog](const QString &text) {
        QTextCursor cursor(bareLog->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
        QScrollBar *bar = bareLog->verticalScrollBar();
        bar->setValue(bar->maximum());
    };
    bool bareLogging = false;
    QObject::connect(&qtSocket, &QUdpSocket::readyRead, [&] {
        // Runs after the client's handler above has taken the time.
        if (bareLogging && qtOk)
            bareAppend(QStringLiteral("ok\n"));
    });
    auto bareLogClient = [&]() -> double {
        bareLogging = true;
        qtOk = false;
        qtSentAt = Steady::now();
        bareAppend(QStringLiteral("command: "));
        qtSocket.writeDatagram("command", droneHost, DronePort);
        qtWaiting = true;
        sentAt = qtSentAt;
        waiting = true;
        loop.exec();
        waiting = qtWaiting = bareLogging = false;
        return qtOk ? qtUs : -1;
    };

    constexpr int Methods = 4;
    Method methods[Methods] = {{"controller window (DoCmd -> log \"ok\")", {}, {}},
                               {"bare blocking UDP client", {}, {}},
                               {"QUdpSocket client in the event loop", {}, {}},
                               {"QUdpSocket client + bare text-area log", {}, {}}};
    std::function<double()> runners[Methods] = {appRoundTrip, posixClient, qtClient, bareLogClient};
    int failures = 0;

    // One warm-up round, not counted, then the rounds with a rotating order.
    for (int round = -1; round < rounds; ++round) {
        for (int k = 0; k < Methods; ++k) {
            const int m = (k + std::max(round, 0)) % Methods;
            std::vector<double> samples;
            samples.reserve(size_t(perRound));
            for (int i = 0; i < perRound; ++i) {
                const double us = runners[m]();
                if (us < 0)
                    ++failures;
                else
                    samples.push_back(us);
            }
            if (round < 0)
                continue;
            methods[m].roundMedians.push_back(percentile(samples, 50));
            methods[m].all.insert(methods[m].all.end(), samples.begin(), samples.end());
        }
    }
    ::close(fd);
    stopDrone(drone);

    std::printf("Command round trip, \"command\" -> \"ok\", %d rounds x %d commands each "
                "(after one warm-up round)\n",
                rounds, perRound);
    std::printf("  %-42s %10s %10s %10s   %s\n", "client", "median us", "p99 us", "max us",
                "round medians min..max");
    for (const Method &m : methods) {
        std::printf("  %-42s %10.1f %10.1f %10.1f   %.1f..%.1f\n", m.name, percentile(m.all, 50),
                    percentile(m.all, 99), percentile(m.all, 100),
                    *std::min_element(m.roundMedians.begin(), m.roundMedians.end()),
                    *std::max_element(m.roundMedians.begin(), m.roundMedians.end()));
    }
    auto ratios = [&](int a, int b) {
        std::vector<double> r;
        for (size_t i = 0; i < methods[a].roundMedians.size(); ++i)
            r.push_back(methods[a].roundMedians[i] / methods[b].roundMedians[i]);
        return r;
    };
    for (int b : {1, 2, 3}) {
        const std::vector<double> r = ratios(0, b);
        std::printf("  ratio window / %-28s median %.2fx  (per round %.2f..%.2f), p99 %.2fx\n",
                    b == 1 ? "bare client:" : b == 2 ? "QUdpSocket client:" : "client + bare log:",
                    percentile(r, 50),
                    *std::min_element(r.begin(), r.end()), *std::max_element(r.begin(), r.end()),
                    percentile(methods[0].all, 99) / percentile(methods[b].all, 99));
    }
    std::printf("  of the window's round trip, DoCmd itself (log, send, echo, record): median %.1f us, p99 %.1f us\n",
                percentile(doCmdUs, 50), percentile(doCmdUs, 99));
    std::printf("  target: window <= 2x the bare client\n");
    if (failures)
        std::printf("  %d round trips timed out or were answered otherwise\n", failures);
    return failures ? 1 : 0;
}
