// Growth of the two long-lived texts in the real windows: the controller's message
// log (one entry = "command: " then "ok" with a line end, as a command and its
// answer write it) and the recorder's six text areas (one whole flight through
// RecWin::CreateIJList: takeoff, mixed motions and queries, land). Each is timed at
// 10k and 100k, the two sizes alternating, with the event loop run every 100 entries
// so that layout and painting are paid as the windows would pay them. The same
// flights recorded into plain strings show what the generator itself costs. Last,
// reading a short selection of the log, as copy, drag and the selection clipboard
// read it, in a log of 10k and 100k unanswered stick commands: the log shows such a
// line in paragraphs, and each read must leave out the breaks within the selection only.
//
//   bench_log [log repetitions] [recorder repetitions]     (default 5 and 3)
#include "BenchSupport.h"
#include "LogEdit.h"
#include "ManualClock.h"
#include "ProgramTextGenerator.h"
#include "RecWin.h"
#include "StringTargets.h"

#include <QElapsedTimer>

using namespace bench;

namespace {

constexpr int EventLoopEvery = 100;

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Milliseconds for `entries` log entries, starting from an empty log.
double logRun(CntWin *win, QPlainTextEdit *log, int entries)
{
    win->findChild<QPushButton *>(QStringLiteral("PushButton3"))->click(); // Clear
    settle();
    const QString command = QStringLiteral("command: ");
    const QString ok = QStringLiteral("ok");
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= entries; ++i) {
        win->addmsg(command, false);
        win->addmsg(ok, true);
        if (i % EventLoopEvery == 0)
            QCoreApplication::processEvents();
    }
    settle();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (log->document()->blockCount() != entries + 1) {
        std::fprintf(stderr, "log holds %d lines, expected %d\n", log->document()->blockCount() - 1, entries);
        std::exit(1);
    }
    return ms;
}

struct Recorded
{
    const char *word;
    const char *argument;
};

// Motions, queries, a speed command, a stick command and a curve, as a flight has them.
constexpr Recorded FlightMix[] = {
    {"up", "20"},   {"cw", "45"},    {"forward", "50"}, {"battery?", ""},    {"flip", "f"},
    {"left", "30"}, {"height?", ""}, {"speed", "50"},   {"rc 0 20 0 0", ""}, {"down", "20"},
    {"ccw", "90"},  {"back", "40"},  {"attitude?", ""}, {"right", "25"},     {"curve", "20 20 20 40 40 40 30"},
};

// Milliseconds for a flight of `commands` recorded commands, from empty texts.
double recorderRun(RecWin *rec, int commands)
{
    for (int i = 0; i < 6; ++i)
        rec->setTargetText(i, QString());
    settle();
    ManualClock clock;
    rec->setClock(clock);
    QElapsedTimer timer;
    timer.start();
    rec->CreateIJList(QStringLiteral("takeoff"), QString());
    for (int i = 1; i <= commands - 2; ++i) {
        clock.advance(7 + i % 50);
        const Recorded &c = FlightMix[i % (sizeof FlightMix / sizeof FlightMix[0])];
        rec->CreateIJList(QString::fromLatin1(c.word), QString::fromLatin1(c.argument));
        if (i % EventLoopEvery == 0)
            QCoreApplication::processEvents();
    }
    clock.advance(30);
    rec->CreateIJList(QStringLiteral("land"), QString());
    settle();
    const double ms = timer.nsecsElapsed() / 1e6;
    rec->setClock(hd::SystemClock::instance());
    const int lines = rec->MjEF(0)->document()->blockCount();
    if (lines < commands) {
        std::fprintf(stderr, "plain command list holds %d lines, expected %d\n", lines, commands);
        std::exit(1);
    }
    return ms;
}

// The same flight recorded by the generator into plain strings, without text areas.
double stringsRun(int commands)
{
    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);
    QElapsedTimer timer;
    timer.start();
    generator.CreateIJList(QStringLiteral("takeoff"), QString());
    for (int i = 1; i <= commands - 2; ++i) {
        clock.advance(7 + i % 50);
        const Recorded &c = FlightMix[i % (sizeof FlightMix / sizeof FlightMix[0])];
        generator.CreateIJList(QString::fromLatin1(c.word), QString::fromLatin1(c.argument));
    }
    clock.advance(30);
    generator.CreateIJList(QStringLiteral("land"), QString());
    const double ms = timer.nsecsElapsed() / 1e6;
    if (texts.texts[hd::PlainList].count(QLatin1Char('\n')) < commands - 1) {
        std::fprintf(stderr, "plain command list too short\n");
        std::exit(1);
    }
    return ms;
}

// Microseconds per read of a 40-character selection, the selections spread over a
// log of `entries` stick commands on one open line; median of five batches.
double selectionRun(CntWin *win, LogEdit *log, int entries)
{
    win->findChild<QPushButton *>(QStringLiteral("PushButton3"))->click(); // Clear
    for (int i = 1; i <= entries; ++i) {
        win->addmsg(QStringLiteral("rc %1 -20 0 0: ").arg(i % 6 * 20), false);
        if (i % EventLoopEvery == 0)
            QCoreApplication::processEvents();
    }
    settle();
    const int length = log->document()->characterCount() - 1;
    constexpr int Reads = 20000, Selected = 40;
    std::vector<double> batches;
    qsizetype read = 0;
    for (int batch = 0; batch < 5; ++batch) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < Reads; ++i) {
            const int from = int(qint64(i) * (length - Selected) / Reads);
            read += log->logText(from, from + Selected).size();
        }
        batches.push_back(timer.nsecsElapsed() / 1e3 / Reads);
    }
    if (read < qsizetype(5) * Reads * (Selected - 1)) {
        std::fprintf(stderr, "selections read %lld characters\n", static_cast<long long>(read));
        std::exit(1);
    }
    return percentile(batches, 50);
}

void report(const char *what, const std::vector<double> &small, const std::vector<double> &large)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < small.size(); ++i)
        ratios.push_back(large[i] / small[i]);
    const double s = percentile(small, 50), l = percentile(large, 50);
    if (*what)
        std::printf("%s\n", what);
    std::printf("  %8s %12s %16s %14s\n", "entries", "median ms", "min..max ms", "us per entry");
    std::printf("  %8d %12.1f %7.1f..%-8.1f %14.2f\n", 10000, s, percentile(small, 0), percentile(small, 100),
                s * 1000 / 10000);
    std::printf("  %8d %12.1f %7.1f..%-8.1f %14.2f\n", 100000, l, percentile(large, 0), percentile(large, 100),
                l * 1000 / 100000);
    std::printf("  ratio 100k / 10k: %.2fx (per repetition %.2f..%.2f); target <= 12x, linear is 10x\n", l / s,
                percentile(ratios, 0), percentile(ratios, 100));
}

} // namespace

int main(int argc, char **argv)
{
    quietOffscreenByDefault();
    const int logRepetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int recorderRepetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    App app(argc, argv);
    // Nothing here sends, and the link stays closed.
    CntWin *win = openWindows(app);
    LogEdit *log = win->findChild<LogEdit *>(QStringLiteral("ResEF"));
    RecWin *rec = RecWin::instance();
    settle();

    // Warm-up at the small size.
    logRun(win, log, 10000);
    recorderRun(rec, 10000);
    std::vector<double> log10k, log100k, rec10k, rec100k, str10k, str100k;
    // Small first, then large first, and so on.
    auto pair = [](int r, std::vector<double> &small, std::vector<double> &large, auto run) {
        for (int k = 0; k < 2; ++k) {
            if ((k == 0) == (r % 2 == 0))
                small.push_back(run(10000));
            else
                large.push_back(run(100000));
        }
    };
    for (int r = 0; r < logRepetitions; ++r)
        pair(r, log10k, log100k, [&](int n) { return logRun(win, log, n); });
    for (int r = 0; r < recorderRepetitions; ++r) {
        pair(r, rec10k, rec100k, [&](int n) { return recorderRun(rec, n); });
        pair(r, str10k, str100k, [](int n) { return stringsRun(n); });
    }

    std::printf("Message log (addmsg \"command: \" + addmsg \"ok\" with line end), %d repetitions\n", logRepetitions);
    report("", log10k, log100k);
    std::printf("Recorder (CreateIJList, one flight into the six text areas, land at the end), %d repetitions\n",
                recorderRepetitions);
    report("", rec10k, rec100k);
    std::printf("Reference: the same flights recorded into plain strings (the generator alone), %d repetitions\n",
                recorderRepetitions);
    report("", str10k, str100k);

    const double select10k = selectionRun(win, log, 10000);
    const double select100k = selectionRun(win, log, 100000);
    std::printf("Selection read (LogEdit::logText of 40 characters) in a log of unanswered stick commands\n");
    std::printf("  %8s %14s\n", "entries", "us per read");
    std::printf("  %8d %14.2f\n  %8d %14.2f\n", 10000, select10k, 100000, select100k);
    std::printf("  ratio 100k / 10k: %.2fx; flat is 1x\n", select100k / select10k);
    return 0;
}
