#pragma once
// Helpers the benchmark programs share: statistics, the simulated drone process, and
// the application opened with its controller window aimed at that drone.
#include "App.h"
#include "CntWin.h"
#include "EventLoop.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

using Steady = std::chrono::steady_clock;

// Only ever this loopback address: the simulated drone.
inline constexpr const char *DroneAddress = "127.0.0.2";
inline constexpr quint16 DronePort = 8889;

inline double msBetween(Steady::time_point from, Steady::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Nearest-rank percentile; p = 0 gives the minimum, p = 100 the maximum.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

// The offscreen platform's notes about window features it lacks say nothing here.
inline void quietPlatformNotes(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (msg.startsWith(QLatin1String("This plugin does not support")) || msg.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
    if (type == QtFatalMsg)
        std::abort();
}

// Offscreen unless the caller chose a platform; to be called before the application object exists.
inline void quietOffscreenByDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietPlatformNotes);
}

// Opens the windows as the application does and aims the controller at the simulated
// drone before anything can send.
inline CntWin *openWindows(App &app)
{
    hd::setQuitHandler([](int) {});
    app.startUp();
    app.Event_Open();
    CntWin *win = CntWin::instance();
    win->findChild<QLineEdit *>(QStringLiteral("AddressEF"))->setText(QString::fromLatin1(DroneAddress));
    win->findChild<QLineEdit *>(QStringLiteral("PortEF"))->setText(QString::number(DronePort));
    win->findChild<QLineEdit *>(QStringLiteral("LocalPortEF"))->setText(QString::number(DronePort));
    return win;
}

inline sockaddr_in inetAddress(const char *address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

// A blocking client socket on 127.0.0.1 with a receive time-out.
inline int clientSocket(int timeoutMs)
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
inline bool commandAnswered(int fd, const sockaddr_in &to, const char *cmd)
{
    ::sendto(fd, cmd, std::strlen(cmd), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    char buf[256];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    return n == 2 && buf[0] == 'o' && buf[1] == 'k';
}

// Up to five seconds for the drone process to answer "command".
inline bool waitForDrone()
{
    const int fd = clientSocket(100);
    const sockaddr_in to = inetAddress(DroneAddress, DronePort);
    bool up = false;
    for (int i = 0; i < 50 && !up; ++i)
        up = commandAnswered(fd, to, "command");
    ::close(fd);
    return up;
}

inline std::string droneProgram()
{
    const QByteArray dir = qgetenv("HOVERDECK_BIN");
    const QString base = dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")
                                       : QString::fromLocal8Bit(dir);
    return (base + QStringLiteral("/hoverdeck-drone")).toStdString();
}

// Starts args[0] with args. Its standard output goes to outFd, with closeInChild closed
// in the child (the pipe's other end), or to /dev/null without outFd.
inline pid_t spawnProcess(std::vector<std::string> args, int outFd = -1, int closeInChild = -1)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        if (closeInChild >= 0)
            posix_spawn_file_actions_addclose(&actions, closeInChild);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(rc));
        std::exit(1);
    }
    return pid;
}

// The simulated drone with args, on 127.0.0.2:8889 only.
inline pid_t spawnDrone(std::vector<std::string> args, int outFd = -1, int closeInChild = -1)
{
    args.insert(args.begin(), {droneProgram(), "--address", DroneAddress, "--port", std::to_string(DronePort)});
    return spawnProcess(std::move(args), outFd, closeInChild);
}

inline void stopProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

// Waits for the drone, then connects the controller window; says on stderr what failed.
inline bool connectWindow(CntWin *win)
{
    if (!waitForDrone()) {
        std::fprintf(stderr, "the simulated drone does not answer\n");
        return false;
    }
    win->findChild<QPushButton *>(QStringLiteral("ConnPM"))->click();
    QPlainTextEdit *log = win->findChild<QPlainTextEdit *>(QStringLiteral("ResEF"));
    if (!log->toPlainText().contains(QStringLiteral("Connect to 127.0.0.2"))) {
        std::fprintf(stderr, "the controller window did not connect\n");
        return false;
    }
    return true;
}

} // namespace bench
