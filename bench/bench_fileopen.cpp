// File > Open... in the real record and play window, with the weighing probes. Each
// file is opened in a fresh process whose six texts hold a line each, after every tab
// has been shown once, as a user would have. Printed per shape: how long until the
// decision (the refusal time for a refused file), the longest stretch the window did
// not answer from choosing the file until the plan was shown (its event loop is
// sampled every 2 ms), and, for an opened plan, the slowest tab switch, the slowest
// page (Page Down through each text, up to 40 pages, and Ctrl+End) afterwards.
//
//   bench_fileopen [name filter]
//   bench_fileopen --search N [seed [from]]   random files: the slowest action of each accepted one;
//                                            from: only files from that number on (to retry one)
#include "BenchSupport.h"
#include "FileDialogs.h"
#include "FlightPlan.h"
#include "ManualClock.h"
#include "ProgramTextGenerator.h"
#include "OpenWeighing.h"
#include "RecWin.h"
#include "StringTargets.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <functional>

using namespace bench;

namespace {

const QString Marker = QStringLiteral("\n//--------------------//\n");

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

QString six(const QString &text, int tab = -1)
{
    QStringList texts(6, QStringLiteral("up 20"));
    for (int i = 0; i < 6; ++i) {
        if (tab < 0 || tab == i)
            texts[i] = text;
    }
    return texts.join(Marker);
}

// Motions, queries, a stick command and a curve, as a flight has them; with breaks,
// the flight stops, lands or loses the link now and then and goes on.
const char *const FlightMix[][2] = {
    {"up", "20"},   {"cw", "45"},    {"forward", "50"}, {"battery?", ""},    {"flip", "f"},
    {"left", "30"}, {"height?", ""}, {"speed", "50"},   {"rc 0 20 0 0", ""}, {"down", "20"},
    {"ccw", "90"},  {"back", "40"},  {"attitude?", ""}, {"right", "25"},     {"curve", "20 20 20 40 40 40 30"},
};

enum class Flight { InFlight, AfterStop, Sticks, Breaks };

// The six texts of a recording of n commands, as the recorder writes them, saved.
QString recordedFlight(qsizetype n, Flight kind)
{
    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);
    generator.CreateIJList(QStringLiteral("command"), QString());
    generator.CreateIJList(QStringLiteral("takeoff"), QString());
    if (kind == Flight::AfterStop)
        generator.CreateIJList(QStringLiteral("stop"), QString());
    const char *const breaks[] = {"stop", "land", "emergency", "takeoff"};
    for (qsizetype i = 1; i <= n - 3; ++i) {
        clock.advance(7 + i % 50);
        if (kind == Flight::Breaks && i % 997 == 0) {
            generator.CreateIJList(QString::fromLatin1(breaks[(i / 997) % 4]), QString());
            continue;
        }
        const auto &c = kind == Flight::Sticks ? FlightMix[8] : FlightMix[i % std::size(FlightMix)];
        generator.CreateIJList(QString::fromLatin1(c[0]), QString::fromLatin1(c[1]));
    }
    clock.advance(30);
    generator.CreateIJList(QStringLiteral("land"), QString());
    return hd::composeFlightPlan(QStringList(texts.texts.begin(), texts.texts.end()));
}

struct Shape
{
    const char *name;
    std::function<QByteArray()> bytes;
};

QString stacks(int lines)
{
    return QStringList(lines, u'a' + QString(3990, QChar(0x301))).join(u'\n');
}

QList<Shape> shapes()
{
    const auto u = [](const QString &s) { return s.toUtf8(); };
    const QString upLines = QStringList(200, QStringLiteral("up 20")).join(u'\n');
    return {
        {"run of 48,000 W", [=] { return u(QString(48000, u'W')); }},
        {"run of 64,000 W", [=] { return u(QString(64000, u'W')); }},
        {"500,000 short lines", [=] { return QByteArray("up 20\n").repeated(500000); }},
        {"long lines of words, 6 x 270 KB",
         [=] { return u(six(QStringLiteral("?\"QZ U 20\"?\"QZ battery?\" ").repeated(10000))); }},
        {"60 lines under 3,990 marks", [=] { return u(stacks(60)); }},
        {"the same below the first screen", [=] { return u(upLines + u'\n' + stacks(60)); }},
        {"the same in a later tab", [=] { return u(six(stacks(60), 4)); }},
        {"1,000 x up 20 + 3,990 U+2029",
         [=] { return u((QStringLiteral("up 20") + QString(3990, QChar(0x2029))).repeated(1000)); }},
        {"e + U+0301, 20,000 lines",
         [=] { return u(QStringList(20000, QStringLiteral("cafe\u0301 up 20")).join(u'\n')); }},
        {"CR LF, 100,000 lines", [=] { return QByteArray("up 20:WAIT30\r\n").repeated(100000); }},
        {"65k commands in flight", [=] { return u(recordedFlight(65000, Flight::InFlight)); }},
        {"65k commands after stop", [=] { return u(recordedFlight(65000, Flight::AfterStop)); }},
        {"65k stick commands", [=] { return u(recordedFlight(65000, Flight::Sticks)); }},
        {"65k with stop/land/emergency", [=] { return u(recordedFlight(65000, Flight::Breaks)); }},
        {"over the size cap", [=] { return QByteArray(hd::MaxFlightPlanBytes + 1, 'x'); }},
    };
}

struct Result
{
    double decisionMs = 0, longestGapMs = 0, tabMs = 0, pageMs = 0;
    bool opened = false;
    QString message;
};

double timed(RecWin *rec, const std::function<void()> &action)
{
    QElapsedTimer t;
    t.start();
    action();
    rec->repaint();
    settle();
    return double(t.nsecsElapsed()) / 1e6;
}

// The child: one open in a fresh application.
int openOnce(int argc, char **argv, const QString &path)
{
    App app(argc, argv);
    openWindows(app);
    app.setOpenProbe(QString::fromLocal8Bit(qgetenv("HOVERDECK_BIN")) + QStringLiteral("/hoverdeck-openprobe"));
    if (qEnvironmentVariableIsSet("HOVERDECK_OPEN_BUDGET_MS"))
        app.setOpenLimits(qEnvironmentVariableIntValue("HOVERDECK_OPEN_BUDGET_MS") * 1'000'000LL,
                          int(hd::OpenWeighing::deadlineMs(App::OpenDeadlineMs, QThread::idealThreadCount())));
    RecWin *rec = RecWin::instance();
    rec->show();
    rec->raise();
    for (int i = 0; i < 6; ++i) {
        rec->setTargetText(i, QStringLiteral("old"));
        rec->MJType()->setCurrentIndex(i);
        rec->repaint();
        settle();
    }
    rec->MJType()->setCurrentIndex(0);
    settle();
    Result r;
    FileDialogs::setTestHooks({[&path](const QString &) { return path; },
                               {},
                               [&r](const QString &m) { r.message = m.section(u'\n', 1).simplified(); }});
    QElapsedTimer sinceTick, all;
    QTimer ticks;
    ticks.setInterval(2);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        r.longestGapMs = std::max(r.longestGapMs, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    int decided = 0; // 1: refused, 2: opened
    QObject::connect(&app, &App::flightPlanWeighed, [&decided](bool opened) { decided = opened ? 2 : 1; });
    all.start();
    sinceTick.start();
    ticks.start();
    const bool started = app.RecOpen_Action(0);
    while (started && !decided && all.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    r.decisionMs = double(all.nsecsElapsed()) / 1e6;
    // The plan's first paint belongs to opening.
    rec->repaint();
    settle();
    r.longestGapMs = std::max(r.longestGapMs, double(sinceTick.nsecsElapsed()) / 1e6);
    ticks.stop();
    r.opened = started && decided == 2;
    if (r.opened) {
        for (int tab : {1, 2, 3, 4, 5, 0})
            r.tabMs = std::max(r.tabMs, timed(rec, [&] { rec->MJType()->setCurrentIndex(tab); }));
        for (int tab = 0; tab < 6; ++tab) {
            rec->MJType()->setCurrentIndex(tab);
            settle();
            QPlainTextEdit *area = rec->MjEF(tab);
            QScrollBar *bar = area->verticalScrollBar();
            for (int p = 0; p < 40 && bar->value() < bar->maximum(); ++p)
                r.pageMs = std::max(r.pageMs, timed(rec, [&] { bar->triggerAction(QScrollBar::SliderPageStepAdd); }));
            r.pageMs = std::max(r.pageMs, timed(rec, [&] { area->moveCursor(QTextCursor::Start); }));
            r.pageMs = std::max(r.pageMs, timed(rec, [&] { area->moveCursor(QTextCursor::End); }));
        }
    }
    std::printf("%f %f %f %f %d\n%s\n", r.decisionMs, r.longestGapMs, r.tabMs, r.pageMs, int(r.opened),
                qPrintable(r.message));
    std::fflush(stdout);
    std::_Exit(0);
}

Result runChild(const QString &path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-once"), path});
    Result r;
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        std::fprintf(stderr, "the child that opens %s failed\n", qPrintable(path));
        std::exit(1);
    }
    const QStringList lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split(u'\n');
    const QStringList f = lines.value(0).split(u' ');
    if (f.size() != 5) {
        std::fprintf(stderr, "the child said: %s\n", qPrintable(lines.join(u'\n')));
        std::exit(1);
    }
    r.decisionMs = f[0].toDouble();
    r.longestGapMs = f[1].toDouble();
    r.tabMs = f[2].toDouble();
    r.pageMs = f[3].toDouble();
    r.opened = f[4] == QLatin1String("1");
    r.message = lines.value(1);
    return r;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Random files mixing shapes, placed anywhere; for each opened one, the slowest single
// action in the real window against the budget.
QByteArray randomFile(QRandomGenerator &rng)
{
    const auto pick = [&rng](int n) { return int(rng.bounded(n)); };
    const QList<std::function<QString()>> pieces = {
        [&] { return QStringLiteral("up 20:WAIT30\n").repeated(1 + pick(3000)); },
        [&] { return QString(1 + pick(30000), QChar(u"W@x\u2014\u2E3B\uAC00\u05D0\u17C6"[pick(8)])); },
        [&] { return u'a' + QString(1 + pick(4000), QChar(u"\u0301\u17C1\u0E31"[pick(3)])) + u'\n'; },
        [&] {
            return QStringLiteral("cafe\u0301 \u0627\u0644\u0639\u0631\u0628\u064A\u0629 ").repeated(1 + pick(4000));
        },
        [&] {
            return QStringLiteral("\u0915\u094D\u0937\u093F \u1780\u17D2\u1798\u17C2\u179A ").repeated(1 + pick(3000));
        },
        [&] { return QString(1 + pick(3000), QChar(u"\u2029\u2028\t\r\x01\x0B"[pick(6)])); },
        [&] { return QStringLiteral("?\"QZ rc 0 20 0 0\"").repeated(1 + pick(5000)); },
        [&] { return QStringLiteral("\u98DB\u884C\u8A08\u753B\u3001").repeated(1 + pick(20000)); },
    };
    QStringList texts(6);
    const int count = 1 + pick(6);
    for (int k = 0; k < count; ++k) {
        const int tab = pick(6);
        QString piece = pieces[pick(int(pieces.size()))]();
        switch (pick(3)) { // first screen, middle, end
        case 0:
            texts[tab].prepend(piece + u'\n');
            break;
        case 1:
            texts[tab].insert(texts[tab].size() / 2, u'\n' + piece + u'\n');
            break;
        default:
            texts[tab] += u'\n' + piece;
        }
        if (pick(4) == 0)
            texts[tab].prepend(QStringLiteral("up 20\n").repeated(pick(400)));
    }
    QByteArray bytes = texts.join(Marker).toUtf8();
    if (pick(8) == 0)
        bytes.insert(pick(int(bytes.size())), "\xFF\xC0");
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    quietOffscreenByDefault();
    if (argc == 3 && std::strcmp(argv[1], "--open-once") == 0)
        return openOnce(argc, argv, QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.txt"));
    const double budgetMs = double(App::OpenBudgetNs) / 1e6;

    if (argc >= 3 && std::strcmp(argv[1], "--search") == 0) {
        const int n = std::atoi(argv[2]);
        QRandomGenerator rng(argc > 3 ? quint32(std::atoi(argv[3])) : 1u);
        const int from = argc > 4 ? std::atoi(argv[4]) : 0;
        double worst = 0;
        int opened = 0;
        QString worstPath = dir.filePath(QStringLiteral("worst.txt"));
        for (int i = 0; i < n; ++i) {
            const QByteArray bytes = randomFile(rng);
            if (i < from)
                continue;
            if (!writeFile(path, bytes))
                return 1;
            const Result r = runChild(path);
            if ((i + 1) % 50 == 0) {
                std::printf("%d files so far, %d opened\n", i + 1, opened + int(r.opened));
                std::fflush(stdout);
            }
            if (!r.opened)
                continue;
            ++opened;
            const double slowest = std::max({r.longestGapMs, r.tabMs, r.pageMs});
            if (slowest > worst) {
                worst = slowest;
                QFile::remove(worstPath);
                QFile::copy(path, worstPath);
                std::printf("file %d (%lld bytes): slowest action %.0f ms, %.2f of the probe's budget\n", i,
                            qint64(bytes.size()), slowest, slowest / budgetMs);
                std::fflush(stdout);
            }
        }
        std::printf("%d files, %d opened; the slowest action of an opened one: %.0f ms, %.2f of the budget "
                    "(%.0f ms), %.2f of 1 s\n",
                    n, opened, worst, worst / budgetMs, budgetMs, worst / 1000);
        if (qEnvironmentVariableIsSet("HOVERDECK_KEEP_WORST"))
            QFile::copy(worstPath, qEnvironmentVariable("HOVERDECK_KEEP_WORST"));
        return 0;
    }

    const QString filter = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::printf("probe budget %.0f ms per action, deadline %lld ms on %d cores\n", budgetMs,
                hd::OpenWeighing::deadlineMs(App::OpenDeadlineMs, QThread::idealThreadCount()),
                QThread::idealThreadCount());
    std::printf("%-34s %10s %9s %7s %7s %7s\n", "shape", "bytes", "decision", "busy", "tab", "page");
    for (const Shape &shape : shapes()) {
        if (!filter.isEmpty() && !QString::fromUtf8(shape.name).contains(filter))
            continue;
        const QByteArray bytes = shape.bytes();
        if (!writeFile(path, bytes))
            return 1;
        const Result r = runChild(path);
        std::printf("%-34s %10lld %9.0f %7.0f %7.0f %7.0f%s\n", shape.name, qint64(bytes.size()), r.decisionMs,
                    r.longestGapMs, r.tabMs, r.pageMs, r.opened ? "" : "  (refused)");
        if (!r.opened)
            std::printf("    %s\n", qPrintable(r.message));
        std::fflush(stdout);
    }
    return 0;
}
