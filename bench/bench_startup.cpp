// Start-up time to both windows shown, and resident memory once the event loop has
// settled, against a bare Qt window (QApplication and one 780 x 550 QMainWindow).
// Each measurement is a fresh process: this program starts itself again in "app"
// or "bare" mode, alternately, and takes the time from just before the spawn to the
// moment the child reports its windows exposed and painted. Run it on an X server
// (xvfb-run -a) so that the windows are really mapped.
//
//   bench_startup [runs [settle]]     the comparison (default 10 runs of each)
//   bench_startup app|bare [settle]   one child run; it ends `settle` ms (default 1000)
//                                     after its windows are shown
#include "BenchSupport.h"
#include "RecWin.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMainWindow>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <functional>

using namespace bench;

namespace {

constexpr int DefaultSettleMs = 1000;
int SettleMs = DefaultSettleMs;

// Moments of a child run, steady-clock nanoseconds: main() entered, the application
// object ready, the windows built (before the first expose).
long long gMainNs = 0, gAppNs = 0, gBuiltNs = 0;

long long steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch()).count();
}

long statusKb(const char *field)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    const size_t len = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, len) == 0 && line[len] == ':') {
            kb = std::strtol(line + len + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

// Reports once every window in the list is exposed: the expose event has been
// handled (and so the window painted) when the queued check runs.
class ShownWatcher : public QObject
{
public:
    explicit ShownWatcher(std::function<std::vector<QWidget *>()> windows)
        : mWindows(std::move(windows))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !mDone && qobject_cast<QWindow *>(watched))
            QMetaObject::invokeMethod(
                this, [this] { check(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void check()
    {
        if (mDone)
            return;
        const std::vector<QWidget *> windows = mWindows();
        if (windows.empty())
            return;
        for (QWidget *w : windows) {
            if (!w || !w->windowHandle() || !w->windowHandle()->isExposed())
                return;
        }
        mDone = true;
        const long long shownNs = steadyNs();
        QTimer::singleShot(SettleMs, [shownNs] {
            std::printf("shown_ns=%lld rss_kb=%ld anon_kb=%ld file_kb=%ld hwm_kb=%ld main_ns=%lld app_ns=%lld "
                        "built_ns=%lld\n",
                        shownNs, statusKb("VmRSS"), statusKb("RssAnon"), statusKb("RssFile"), statusKb("VmHWM"),
                        gMainNs, gAppNs, gBuiltNs);
            std::fflush(stdout);
            // Ends here: no close sequence, nothing is sent.
            std::_Exit(0);
        });
    }

    std::function<std::vector<QWidget *>()> mWindows;
    bool mDone = false;
};

int runApp(int argc, char **argv)
{
    // As main() starts the application.
    App app(argc, argv);
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("hoverdeck"), QStringLiteral("_"),
                        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))))
        QCoreApplication::installTranslator(&translator);
    hd::setQuitHandler([](int) {});
    app.startUp();
    gAppNs = steadyNs();
    ShownWatcher watcher([] {
        if (!CntWin::exists() || !RecWin::exists())
            return std::vector<QWidget *>{};
        return std::vector<QWidget *>{CntWin::instance(), RecWin::instance()};
    });
    QTimer::singleShot(0, &app, [&app] {
        app.Event_Open();
        // Nothing sends here and the link stays closed; aimed at the simulated drone all the same.
        CntWin::instance()->findChild<QLineEdit *>(QStringLiteral("AddressEF"))->setText(QStringLiteral("127.0.0.2"));
        gBuiltNs = steadyNs();
    });
    return app.exec();
}

int runBare(int argc, char **argv)
{
    QApplication app(argc, argv);
    gAppNs = steadyNs();
    QMainWindow window;
    window.resize(780, 550);
    ShownWatcher watcher([&window] { return std::vector<QWidget *>{&window}; });
    window.show();
    gBuiltNs = steadyNs();
    return app.exec();
}

struct Sample
{
    double startupMs = -1;
    double rssKb = -1, anonKb = -1, fileKb = -1;
    // Phases, ms: spawn to main(), to the application object, to the windows built,
    // to the windows shown.
    double toMain = -1, toApp = -1, toBuilt = -1, toShown = -1;
};

Sample spawnChild(const char *self, const char *mode)
{
    int out[2];
    if (::pipe(out) != 0)
        std::exit(1);
    std::vector<std::string> args{self, mode, std::to_string(SettleMs)};
    const long long startNs = steadyNs();
    const pid_t pid = spawnProcess(std::move(args), out[1], out[0]);
    ::close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);

    Sample s;
    long long shownNs = 0, mainNs = 0, appNs = 0, builtNs = 0;
    long rss = 0, anon = 0, file = 0, hwm = 0;
    if (std::sscanf(
            text.c_str(),
            "shown_ns=%lld rss_kb=%ld anon_kb=%ld file_kb=%ld hwm_kb=%ld main_ns=%lld app_ns=%lld built_ns=%lld",
            &shownNs, &rss, &anon, &file, &hwm, &mainNs, &appNs, &builtNs)
        == 8) {
        s.startupMs = double(shownNs - startNs) / 1e6;
        s.toMain = double(mainNs - startNs) / 1e6;
        s.toApp = double(appNs - mainNs) / 1e6;
        s.toBuilt = double(builtNs - appNs) / 1e6;
        s.toShown = double(shownNs - builtNs) / 1e6;
        s.rssKb = double(rss);
        s.anonKb = double(anon);
        s.fileKb = double(file);
    } else {
        std::fprintf(stderr, "%s run reported nothing (exit status %d)\n", mode, status);
    }
    return s;
}

int compare(const char *self, int runs)
{
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("QT_QPA_PLATFORM", x11 ? "xcb" : "offscreen");
    if (!x11)
        std::printf("note: no DISPLAY, children use the offscreen platform (run under xvfb-run -a)\n");

    spawnChild(self, "bare"); // warm-up: caches, fonts
    spawnChild(self, "app");
    std::vector<Sample> app, bare;
    for (int i = 0; i < runs; ++i) {
        // A B, then B A: neither always runs right after the other.
        if (i % 2 == 0) {
            app.push_back(spawnChild(self, "app"));
            bare.push_back(spawnChild(self, "bare"));
        } else {
            bare.push_back(spawnChild(self, "bare"));
            app.push_back(spawnChild(self, "app"));
        }
    }

    auto column = [](const std::vector<Sample> &v, double Sample::*field) {
        std::vector<double> out;
        for (const Sample &s : v)
            if (s.startupMs >= 0)
                out.push_back(s.*field);
        return out;
    };
    auto pairRatios = [&](double Sample::*field) {
        std::vector<double> out;
        for (size_t i = 0; i < app.size(); ++i)
            if (app[i].startupMs >= 0 && bare[i].startupMs >= 0)
                out.push_back(app[i].*field / bare[i].*field);
        return out;
    };
    std::printf("Start-up to windows shown and resident memory after %d ms settled, %d fresh processes each (%s)\n",
                SettleMs, runs, x11 ? "X server" : "offscreen");
    std::printf("  %-28s %12s %18s %12s %12s %12s\n", "", "median", "min..max", "RssAnon", "RssFile", "");
    const struct
    {
        const char *name;
        double Sample::*field;
        const char *unit;
        double scale;
    } rows[] = {{"start-up", &Sample::startupMs, "ms", 1}, {"VmRSS", &Sample::rssKb, "MiB", 1.0 / 1024}};
    for (const auto &row : rows) {
        for (const auto &[label, v] : {std::pair{"app (both windows)", &app}, std::pair{"bare QMainWindow", &bare}}) {
            const std::vector<double> c = column(*v, row.field);
            std::printf("  %-9s %-18s %9.1f %-3s %7.1f..%-9.1f", row.name, label, percentile(c, 50) * row.scale,
                        row.unit, percentile(c, 0) * row.scale, percentile(c, 100) * row.scale);
            if (row.field == &Sample::rssKb)
                std::printf(" %9.1f MiB %8.1f MiB", percentile(column(*v, &Sample::anonKb), 50) / 1024,
                            percentile(column(*v, &Sample::fileKb), 50) / 1024);
            std::printf("\n");
        }
        const std::vector<double> r = pairRatios(row.field);
        std::printf("  %-9s ratio app / bare: median %.2fx (pairs %.2f..%.2f); target <= %s\n", row.name,
                    percentile(r, 50), percentile(r, 0), percentile(r, 100),
                    row.field == &Sample::startupMs ? "1.5x" : "1.3x");
    }
    std::printf("  start-up phases, medians in ms: %-20s %8s %8s %8s %8s\n", "", "to main", "app obj", "windows",
                "shown");
    for (const auto &[label, v] : {std::pair{"app", &app}, std::pair{"bare", &bare}}) {
        std::printf("  %-53s %8.1f %8.1f %8.1f %8.1f\n", label, percentile(column(*v, &Sample::toMain), 50),
                    percentile(column(*v, &Sample::toApp), 50), percentile(column(*v, &Sample::toBuilt), 50),
                    percentile(column(*v, &Sample::toShown), 50));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    gMainNs = steadyNs();
    if (argc > 2)
        SettleMs = std::max(0, std::atoi(argv[2]));
    if (argc > 1 && std::strcmp(argv[1], "app") == 0)
        return runApp(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "bare") == 0)
        return runBare(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::string self = "/proc/self/exe";
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0)
        self.assign(path, size_t(n));
    return compare(self.c_str(), runs);
}
