// A long stick flight: a drone never answers "rc", so every stick command joins the
// same open log line. Drag events on the right stick, each crossing a band, with 0,
// 5,000 and 20,000 unanswered stick commands already on that line, measure:
//   move -> datagram  from the drag event to the datagram's arrival at a receiver on
//                     the drone's loopback address (a thread of this program, in place
//                     of the drone), so a little more than the time to leaving
//   handler           the drag handler as a whole: log, send, echo, record
//   with paint        the handler and the event loop's follow-up (layout, paint) until idle
// The levels take turns within each round, so that a change in machine speed hits all
// of them alike.
//
//   bench_stick [moves per level and round] [rounds]     (default 100 and 6)
#include "BenchSupport.h"
#include "RecWin.h"
#include "StickCanvas.h"

#include <QElapsedTimer>
#include <QMouseEvent>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace bench;

namespace {

constexpr int Levels[] = {0, 5000, 20000};
constexpr int PrefillChunk = 250; // stick commands per addmsg while filling the line

// Stamps the arrival of every datagram sent to the drone's address and port.
class Receiver
{
public:
    bool open()
    {
        mFd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        ::setsockopt(mFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on); // the window binds the same port
        timeval tv{0, 100000};
        ::setsockopt(mFd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        const sockaddr_in at = inetAddress(DroneAddress, DronePort);
        if (::bind(mFd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0)
            return false;
        mThread = std::thread([this] { run(); });
        return true;
    }
    ~Receiver()
    {
        mStop = true;
        if (mThread.joinable())
            mThread.join();
        if (mFd >= 0)
            ::close(mFd);
    }
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mStamps.size();
    }
    // Arrival of datagram number k (from 0), waiting up to a second for it.
    bool arrival(size_t k, Steady::time_point &at)
    {
        std::unique_lock<std::mutex> lock(mMutex);
        if (!mArrived.wait_for(lock, std::chrono::seconds(1), [&] { return mStamps.size() > k; }))
            return false;
        at = mStamps[k];
        return true;
    }

private:
    void run()
    {
        char buf[512];
        while (!mStop) {
            if (::recv(mFd, buf, sizeof buf, 0) <= 0)
                continue;
            const Steady::time_point now = Steady::now();
            {
                std::lock_guard<std::mutex> lock(mMutex);
                mStamps.push_back(now);
            }
            mArrived.notify_one();
        }
    }

    int mFd = -1;
    std::atomic<bool> mStop{false};
    std::thread mThread;
    std::mutex mMutex;
    std::condition_variable mArrived;
    std::vector<Steady::time_point> mStamps;
};

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do
        QCoreApplication::processEvents();
    while (timer.elapsed() < ms);
}

void mouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

struct Figures
{
    std::vector<double> toDatagram, handler, withPaint;
};

} // namespace

int main(int argc, char **argv)
{
    quietOffscreenByDefault();
    const int moves = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 6;

    App app(argc, argv);
    CntWin *win = openWindows(app);
    Receiver receiver;
    if (!receiver.open()) {
        std::fprintf(stderr, "cannot bind the receiver to %s:%d\n", DroneAddress, DronePort);
        return 1;
    }
    win->findChild<QPushButton *>(QStringLiteral("ConnPM"))->click();
    auto *log = win->findChild<QPlainTextEdit *>(QStringLiteral("ResEF"));
    if (!log->toPlainText().contains(QStringLiteral("Connect to 127.0.0.2"))) {
        std::fprintf(stderr, "the controller window did not connect\n");
        return 1;
    }
    auto *stick = win->findChild<StickCanvas *>(QStringLiteral("acv_0"));
    RecWin *rec = RecWin::instance();
    settle(500);

    QString chunk;
    const char *pieces[] = {"rc 20 0 0 0: ", "rc 40 -20 0 0: ", "rc 60 -40 20 0: ", "rc 0 0 0 0: "};
    for (int i = 0; i < PrefillChunk; ++i)
        chunk += QString::fromLatin1(pieces[i % 4]);

    std::vector<Figures> figures(std::size(Levels));
    size_t expected = receiver.count();
    for (int r = 0; r < rounds; ++r) {
        for (size_t l = 0; l < std::size(Levels); ++l) {
            const size_t level = (l + size_t(r)) % std::size(Levels);
            win->findChild<QPushButton *>(QStringLiteral("PushButton3"))->click(); // Clear
            for (int i = 0; i < 6; ++i)
                rec->setTargetText(i, QString());
            for (int n = 0; n < Levels[level]; n += PrefillChunk)
                win->addmsg(chunk, false);
            settle(200);

            mouse(stick, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
            for (int m = 0; m < moves; ++m) {
                const QPoint to(m % 2 ? 25 : 75, 50); // -40 and 40: every move sends
                const Steady::time_point start = Steady::now();
                mouse(stick, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
                const Steady::time_point handled = Steady::now();
                Steady::time_point arrived;
                if (!receiver.arrival(expected++, arrived)) {
                    std::fprintf(stderr, "a stick command did not arrive\n");
                    return 1;
                }
                QCoreApplication::processEvents();
                const Steady::time_point idle = Steady::now();
                figures[level].toDatagram.push_back(msBetween(start, arrived));
                figures[level].handler.push_back(msBetween(start, handled));
                figures[level].withPaint.push_back(msBetween(start, idle));
            }
            mouse(stick, QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
            Steady::time_point ignored;
            if (!receiver.arrival(expected++, ignored)) {
                std::fprintf(stderr, "the release's stick command did not arrive\n");
                return 1;
            }
        }
    }

    std::printf("Stick commands on one unanswered log line: %d moves per level in each of %d rounds (ms)\n", moves,
                rounds);
    std::printf("  %8s  %-24s %-24s %-24s %s\n", "on line", "move -> datagram", "handler", "with paint",
                "datagram within 1 ms");
    std::printf("  %8s  %-24s %-24s %-24s\n", "", "median   p90    max", "median   p90    max", "median   p90    max");
    auto cell = [](const std::vector<double> &v) {
        std::printf("%6.3f %6.3f %7.2f   ", percentile(v, 50), percentile(v, 90), percentile(v, 100));
    };
    for (size_t l = 0; l < std::size(Levels); ++l) {
        const Figures &f = figures[l];
        const auto within = std::count_if(f.toDatagram.begin(), f.toDatagram.end(), [](double ms) { return ms <= 1; });
        std::printf("  %8d  ", Levels[l]);
        cell(f.toDatagram);
        cell(f.handler);
        cell(f.withPaint);
        std::printf("%5.1f %%\n", 100.0 * double(within) / double(f.toDatagram.size()));
    }
    const Figures &zero = figures.front();
    for (size_t l = 1; l < std::size(Levels); ++l) {
        const Figures &f = figures[l];
        std::printf("  ratio of medians %d / 0: move -> datagram %.2fx, handler %.2fx, with paint %.2fx\n", Levels[l],
                    percentile(f.toDatagram, 50) / percentile(zero.toDatagram, 50),
                    percentile(f.handler, 50) / percentile(zero.handler, 50),
                    percentile(f.withPaint, 50) / percentile(zero.withPaint, 50));
    }
    std::printf("  target: at 20000 each within 2x of 0; the datagram within 1 ms of the move\n");
    return 0;
}
