// Command round trip against the simulated drone process: DoCmd("command") in the
// running controller window until the drone's "ok" completes its log line, side by
// side with a bare blocking UDP client and an event-loop QUdpSocket client, all
// three talking to the same drone. Rounds alternate the clients so that a change
// in machine speed hits all three alike.
//
//   bench_roundtrip [commands per round] [rounds]
#include "BenchSupport.h"

#include <QEventLoop>
#include <QNetworkDatagram>
#include <QMainWindow>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextBlock>
#include <QTimer>
#include <QUdpSocket>

#include <functional>

using namespace bench;

namespace {

double usSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
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
    quietOffscreenByDefault();
    const int perRound = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;

    App app(argc, argv);
    CntWin *win = openWindows(app);
    const pid_t drone = spawnDrone({"--state-interval", "0", "--quiet"});
    if (!connectWindow(win)) {
        stopProcess(drone);
        return 1;
    }
    QPlainTextEdit *log = win->findChild<QPlainTextEdit *>(QStringLiteral("ResEF"));

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
    const sockaddr_in to = inetAddress(DroneAddress, DronePort);
    auto posixClient = [&]() -> double {
        const Steady::time_point start = Steady::now();
        return commandAnswered(fd, to, "command") ? usSince(start) : -1;
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
    stopProcess(drone);

    std::printf("Command round trip, \"command\" -> \"ok\", %d rounds x %d commands each "
                "(after one warm-up round)\n",
                rounds, perRound);
    std::printf("  %-42s %10s %10s %10s   %s\n", "client", "median us", "p99 us", "max us", "round medians min..max");
    for (const Method &m : methods) {
        std::printf("  %-42s %10.1f %10.1f %10.1f   %.1f..%.1f\n", m.name, percentile(m.all, 50), percentile(m.all, 99),
                    percentile(m.all, 100), *std::min_element(m.roundMedians.begin(), m.roundMedians.end()),
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
                    b == 1       ? "bare client:"
                        : b == 2 ? "QUdpSocket client:"
                                 : "client + bare log:",
                    percentile(r, 50), *std::min_element(r.begin(), r.end()), *std::max_element(r.begin(), r.end()),
                    percentile(methods[0].all, 99) / percentile(methods[b].all, 99));
    }
    std::printf("  of the window's round trip, DoCmd itself (log, send, echo, record): median %.1f us, p99 %.1f us\n",
                percentile(doCmdUs, 50), percentile(doCmdUs, 99));
    std::printf("  target: window / client + bare log, median of the per-round ratios, <= 2x\n");
    if (failures)
        std::printf("  %d round trips timed out or were answered otherwise\n", failures);
    return failures ? 1 : 0;
}
