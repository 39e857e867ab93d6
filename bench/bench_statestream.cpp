// Event-loop latency of the controller window while a state stream of 1,000
// datagrams/s runs: a 5 ms single-shot timer, re-armed at every expiry, and an event
// posted at each expiry, measure how late the loop gets to them. The stream comes
// from a paced sender process (this program in "sender" mode: the simulated drone's
// own state datagram, on an absolute 1 ms schedule), the commands go to the simulated
// drone process. Phases of 2 s alternate between the state socket open (stream
// received) and closed (the sender keeps sending, the kernel drops the datagrams), so
// the same run gives the loop's latency with and without the stream.
//
//   bench_statestream [seconds with the stream]
//   bench_statestream sender      the paced sender, until terminated
#include "BenchSupport.h"
#include "SimDrone.h"

#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <time.h>

using namespace bench;

namespace {

constexpr quint16 StatePort = 8890;
constexpr long StateIntervalNs = 1000000;
constexpr int TimerMs = 5;
constexpr int PhaseMs = 2000;

// Sends the simulated drone's state datagram to 127.0.0.1:8890 every millisecond on
// an absolute schedule (a late send does not shift the ones after it).
int runSender(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray datagram = SimDrone().currentState();
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in from = inetAddress(DroneAddress, 0);
    ::bind(fd, reinterpret_cast<const sockaddr *>(&from), sizeof from);
    const sockaddr_in to = inetAddress("127.0.0.1", StatePort);
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        ::sendto(fd, datagram.constData(), size_t(datagram.size()), 0, reinterpret_cast<const sockaddr *>(&to),
                 sizeof to);
        next.tv_nsec += StateIntervalNs;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {}
    }
}

// The UDP counters of this network namespace (/proc/net/snmp): datagrams delivered to
// a socket, sent to a port nobody listens on, dropped for a full receive buffer.
struct UdpCounters
{
    long long in = 0, noPorts = 0, rcvbufErrors = 0;
};

UdpCounters udpCounters()
{
    std::ifstream snmp("/proc/net/snmp");
    std::string header, values, line;
    while (std::getline(snmp, line)) {
        if (line.rfind("Udp:", 0) == 0) {
            if (header.empty())
                header = line;
            else
                values = line;
        }
    }
    std::istringstream h(header), v(values);
    std::string name, value;
    UdpCounters c;
    while (h >> name && v >> value) {
        if (name == "InDatagrams")
            c.in = std::stoll(value);
        else if (name == "NoPorts")
            c.noPorts = std::stoll(value);
        else if (name == "RcvbufErrors")
            c.rcvbufErrors = std::stoll(value);
    }
    return c;
}

double cpuSecondsUsed()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Phase
{
    std::vector<double> timerLate;  // ms past the 5 ms expiry
    std::vector<double> postedLate; // ms from posting to handling
    double seconds = 0;
    double cpuSeconds = 0; // the window's process, user + system
    long long delivered = 0, refused = 0, dropped = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "sender") == 0)
        return runSender(argc, argv);
    quietOffscreenByDefault();
    const int streamSeconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    const int phasesEach = std::max(1, streamSeconds * 1000 / PhaseMs);

    App app(argc, argv);
    CntWin *win = openWindows(app);
    const pid_t drone = spawnDrone({"--state-interval", "0", "--quiet"});
    char self[4096];
    const ssize_t selfLength = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const pid_t sender = spawnProcess({std::string(self, size_t(std::max<ssize_t>(selfLength, 0))), "sender"});
    auto stopChildren = [&] {
        for (pid_t pid : {sender, drone})
            stopProcess(pid);
    };
    if (!waitForDrone()) {
        std::fprintf(stderr, "the simulated drone does not answer\n");
        stopChildren();
        return 1;
    }
    win->findChild<QPushButton *>(QStringLiteral("ConnPM"))->click();
    QPushButton *stateOpen = win->findChild<QPushButton *>(QStringLiteral("ConnPM1"));
    QPushButton *stateClose = win->findChild<QPushButton *>(QStringLiteral("LeavePM1"));
    QLabel *heightLabel = win->findChild<QLabel *>(QStringLiteral("StaLv_3"));

    Phase withStream, without;
    Phase *current = nullptr;
    QEventLoop loop;

    QTimer probe;
    probe.setSingleShot(true);
    probe.setTimerType(Qt::PreciseTimer);
    Steady::time_point armedAt;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const Steady::time_point now = Steady::now();
        current->timerLate.push_back(msBetween(armedAt, now) - TimerMs);
        QMetaObject::invokeMethod(
            &probe, [&, now] { current->postedLate.push_back(msBetween(now, Steady::now())); }, Qt::QueuedConnection);
        armedAt = Steady::now();
        probe.start(TimerMs);
    });

    auto runPhase = [&](Phase &phase, bool stream) {
        (stream ? stateOpen : stateClose)->click();
        hd::DoEvents(200); // let the socket change settle before counting
        current = &phase;
        const UdpCounters before = udpCounters();
        const double cpuBefore = cpuSecondsUsed();
        const Steady::time_point start = Steady::now();
        armedAt = start;
        probe.start(TimerMs);
        QTimer::singleShot(PhaseMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        probe.stop();
        const UdpCounters after = udpCounters();
        phase.seconds += msBetween(start, Steady::now()) / 1000;
        phase.cpuSeconds += cpuSecondsUsed() - cpuBefore;
        phase.delivered += after.in - before.in;
        phase.refused += after.noPorts - before.noPorts;
        phase.dropped += after.rcvbufErrors - before.rcvbufErrors;
        hd::DoEvents(20); // the last posted probe
    };

    heightLabel->clear();
    for (int i = 0; i < phasesEach; ++i) {
        // Alternating which comes first, so neither always follows the other.
        runPhase(i % 2 == 0 ? withStream : without, i % 2 == 0);
        runPhase(i % 2 == 0 ? without : withStream, i % 2 != 0);
    }
    const bool labelsFed = !heightLabel->text().isEmpty();
    stopChildren();

    std::printf("Event-loop latency, %d ms single-shot timer re-armed at each expiry, %d x %d s phases each way "
                "(%s)\n",
                TimerMs, phasesEach, PhaseMs / 1000, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  %-24s %8s %6s %9s %9s %9s   %s\n", "", "sent /s", "CPU", "p50 ms", "p99 ms", "max ms",
                "posted event p50 / p99 / max ms");
    for (const auto &[name, p] :
         {std::pair{"state stream received", &withStream}, std::pair{"state socket closed", &without}}) {
        const double rate = double(p->delivered + p->refused + p->dropped) / p->seconds;
        std::printf("  %-24s %8.0f %5.1f%% %9.3f %9.3f %9.3f   %.3f / %.3f / %.3f\n", name, rate,
                    100 * p->cpuSeconds / p->seconds, percentile(p->timerLate, 50), percentile(p->timerLate, 99),
                    percentile(p->timerLate, 100), percentile(p->postedLate, 50), percentile(p->postedLate, 99),
                    percentile(p->postedLate, 100));
    }
    std::printf("  with the stream: %.0f datagrams/s reached the window's socket, %lld dropped for a full buffer; "
                "status labels fed: %s\n",
                double(withStream.delivered) / withStream.seconds, withStream.dropped, labelsFed ? "yes" : "NO");
    std::printf("  target: p99 < 20 ms with the stream\n");
    return labelsFed ? 0 : 1;
}
