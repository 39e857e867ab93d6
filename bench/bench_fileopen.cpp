// File > Open... with flight plans shaped to the opening budget (hd::ShowBudget), in the
// real record and play window: every tab has been shown once, as a user would have.
// Each shape is grown until its estimate just fits the budget (a share of it, if given)
// or, when its name says "beyond", just exceeds it; the recorded flights are as long
// as their names say. "estimate" is hd::layoutLoad's; "open" is RecOpen_Action until
// the window has painted; "again" opens the same file over itself, so the old texts
// are thrown away first; "worst step" is the longest single tab switch or page scroll
// after opening, over every text (up to 40 pages each, from the first to the last).
// Runs are in the widest glyphs of common scripts: a Latin W or @, an em dash, Hangul.
//
//   bench_fileopen [repetitions] [name filter] [share of the budget]   (default 3, every shape, 1)
#include "BenchSupport.h"
#include "FileDialogs.h"
#include "FlightPlan.h"
#include "ManualClock.h"
#include "ProgramTextGenerator.h"
#include "RecWin.h"
#include "StringTargets.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <functional>

using namespace bench;
namespace budget = hd::ShowBudget;

namespace {

const QString Marker = QStringLiteral("\n//--------------------//\n");

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A plan of six texts alike, joined as the writer joins them.
QString six(const QString &text)
{
    return QStringList(6, text).join(Marker);
}

// The run that alone takes ns to lay out.
qsizetype run(double ns)
{
    return qsizetype(std::sqrt(ns / budget::NsPerRunSquare));
}

// n runs of r characters c, one blank apart.
QString runs(int n, qsizetype r, QChar c)
{
    return QStringList(n, QString(r, c)).join(u' ');
}

// Words repeated in one line that takes ns to lay out.
QString wordsLine(double ns, const QString &word)
{
    const double bytes = ns / budget::NsPerLongLineByte;
    return word.repeated(qsizetype(bytes / double(word.toUtf8().size())));
}

// Lines that take ns to open.
QString lines(double ns, const QString &line)
{
    const double each = budget::NsPerLine + budget::NsPerByte * double(line.toUtf8().size() + 1);
    return QStringList(qsizetype(ns / each), line).join(u'\n');
}

// Motions, queries, a speed command, a stick command and a curve, as a flight has them.
const char *const FlightMix[][2] = {
    {"up", "20"},   {"cw", "45"},    {"forward", "50"}, {"battery?", ""},    {"flip", "f"},
    {"left", "30"}, {"height?", ""}, {"speed", "50"},   {"rc 0 20 0 0", ""}, {"down", "20"},
    {"ccw", "90"},  {"back", "40"},  {"attitude?", ""}, {"right", "25"},     {"curve", "20 20 20 40 40 40 30"},
};

// The six texts of a flight of n commands as the recorder writes them, saved.
QString recordedFlight(qsizetype n)
{
    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);
    generator.CreateIJList(QStringLiteral("takeoff"), QString());
    for (qsizetype i = 1; i <= n - 2; ++i) {
        clock.advance(7 + i % 50);
        const auto &c = FlightMix[i % std::size(FlightMix)];
        generator.CreateIJList(QString::fromLatin1(c[0]), QString::fromLatin1(c[1]));
    }
    clock.advance(30);
    generator.CreateIJList(QStringLiteral("land"), QString());
    return hd::composeFlightPlan(QStringList(texts.texts.begin(), texts.texts.end()));
}

enum Expect { Opens, Refused, Either };

struct Shape
{
    const char *name;
    std::function<QString(double)> text; // about that many ns to open
    Expect expect = Opens;               // Either: as long as named, not fitted to the budget
};

QList<Shape> shapes()
{
    const QChar w = u'W', hangul = QChar(0xAC00);
    const QString latin = QStringLiteral("?\"QZ U 20\"?\"QZ battery?\" "), cjk = QStringLiteral("飛行計画、");
    const QString command = QStringLiteral("up 20") + QString(236, u' ') + QStringLiteral(":WAIT30");
    return {
        {"one run, W", [=](double t) { return QString(run(t), w); }},
        {"one run, em dash", [](double t) { return QString(run(t), QChar(0x2014)); }},
        {"one run, @", [](double t) { return QString(run(t), u'@'); }},
        {"one run, x", [](double t) { return QString(run(t), u'x'); }},
        {"one run, Hangul", [=](double t) { return QString(run(t), hangul); }},
        {"one run per text, W", [=](double t) { return six(QString(run(t / 6), w)); }},
        // A pair costs 4 r * r, 16 runs 46 r * r (each run and twice the next).
        {"pairs one blank apart, W", [=](double t) { return six(runs(2, run(t / 24), w)); }},
        {"16 runs one blank apart, W", [=](double t) { return six(runs(16, run(t / (6 * 46)), w)); }},
        {"runs on 10 lines per text, W",
         [=](double t) { return six(QStringList(10, QString(run(t / 60), w)).join(u'\n')); }},
        {"long lines of words, Latin", [=](double t) { return six(wordsLine(t / 6, latin)); }},
        {"long lines of words, CJK", [=](double t) { return six(wordsLine(t / 6, cjk)); }},
        // Every character a place to break.
        {"long lines of %", [](double t) { return six(wordsLine(t / 6, QStringLiteral("%"))); }},
        {"lines just short of long, W", [=](double t) { return six(lines(t / 6, QString(budget::LongLine, w))); }},
        {"command lines, largest file", [=](double t) { return lines(t, command); }},
        {"CJK lines", [=](double t) { return lines(t, cjk.repeated(16)); }},
        {"short command lines", [](double t) { return six(lines(t / 6, QStringLiteral("up 20:WAIT30"))); }},
        {"empty lines", [](double t) { return six(lines(t / 6, QString())); }},
        {"run and long lines, W and CJK",
         [=](double t) { return six(QString(run(t / 12), w) + u'\n' + wordsLine(t / 12, cjk)); }},
        {"run and short lines, W",
         [=](double t) { return six(QString(run(t / 12), w) + u'\n' + lines(t / 12, QStringLiteral("up 20"))); }},
        {"all four parts, W",
         [=](double t) {
             return six(QString(run(t / 24), w) + u'\n' + wordsLine(t / 24, latin) + u'\n'
                        + lines(t / 48, QStringLiteral("up 20")) + u'\n' + lines(t / 48, command));
         }},
        // Each command adds about 12 us to the estimate.
        {"recorded flight, longest", [](double t) { return recordedFlight(qsizetype(t / 12000)); }},
        {"recorded flight, 100k commands", [](double) { return recordedFlight(100000); }, Either},
        {"recorded flight, 150k commands", [](double) { return recordedFlight(150000); }, Either},
        {"one run beyond, W", [=](double t) { return QString(run(t), w); }, Refused},
        {"short command lines beyond", [](double t) { return six(lines(t / 6, QStringLiteral("up 20:WAIT30"))); },
         Refused},
    };
}

double estimateNs(const QString &plan)
{
    return hd::layoutLoad(plan.toUtf8()).ns;
}

// The shape's text whose estimate is closest to the limit from inside, or from
// outside for a shape expected to be refused.
QString fitted(const Shape &shape, double limit)
{
    double inside = 0, outside = limit;
    while (estimateNs(shape.text(outside)) <= limit) {
        inside = outside;
        outside *= 2;
    }
    while (outside - inside > outside * 1e-4) {
        const double t = (inside + outside) / 2;
        (estimateNs(shape.text(t)) <= limit ? inside : outside) = t;
    }
    return shape.text(shape.expect == Refused ? outside : inside);
}

struct Result
{
    double openMs = 0;
    double againMs = 0;
    double worstStepMs = 0;
    bool refused = false;
};

double openMs(RecWin *rec, bool *refused)
{
    QElapsedTimer timer;
    timer.start();
    *refused = !App::instance()->RecOpen_Action(0);
    rec->repaint();
    settle();
    return timer.nsecsElapsed() / 1e6;
}

Result measure(RecWin *rec)
{
    for (int i = 0; i < 6; ++i)
        rec->setTargetText(i, QStringLiteral("old"));
    rec->MJType()->setCurrentIndex(0);
    settle();
    Result r;
    r.openMs = openMs(rec, &r.refused);
    QElapsedTimer timer;
    for (int tab = 0; tab < 6; ++tab) {
        timer.start();
        rec->MJType()->setCurrentIndex(tab);
        rec->repaint();
        settle();
        r.worstStepMs = std::max(r.worstStepMs, timer.nsecsElapsed() / 1e6);
        QScrollBar *bar = rec->MjEF(tab)->verticalScrollBar();
        const int pages = std::min(40, bar->maximum() / std::max(1, bar->pageStep()) + 1);
        for (int p = 1; p <= pages; ++p) {
            timer.restart();
            bar->setValue(int(qint64(bar->maximum()) * p / pages));
            rec->repaint();
            settle();
            r.worstStepMs = std::max(r.worstStepMs, timer.nsecsElapsed() / 1e6);
        }
    }
    rec->MJType()->setCurrentIndex(0);
    settle();
    bool refused = false;
    r.againMs = openMs(rec, &refused);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    quietOffscreenByDefault();
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString filter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const double share = argc > 3 ? std::atof(argv[3]) : 1.0;

    App app(argc, argv);
    // Nothing here sends, and the link stays closed.
    openWindows(app);
    RecWin *rec = RecWin::instance();
    rec->show();
    rec->raise();
    for (int i = 0; i < 6; ++i) {
        rec->MJType()->setCurrentIndex(i);
        rec->repaint();
        settle();
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.txt"));
    QString message;
    FileDialogs::setTestHooks(
        {[&path](const QString &) { return path; }, {}, [&message](const QString &m) { message = m; }});

    std::printf("budget %.0f ms: %.1f ns a byte, %.0f ns a line, %.0f ns a byte of lines over %lld characters, "
                "%.3f ns a square character of runs; files over %lld bytes refused unread\n",
                budget::BudgetNs / 1e6, budget::NsPerByte, budget::NsPerLine, budget::NsPerLongLineByte,
                qint64(budget::LongLine), budget::NsPerRunSquare, qint64(budget::MaxFileBytes));
    std::printf("%-32s %11s %9s %9s %17s %9s %11s\n", "shape", "bytes", "estimate", "open ms", "min..max", "again ms",
                "worst step");
    for (const Shape &shape : shapes()) {
        if (!filter.isEmpty() && !QString::fromLatin1(shape.name).contains(filter))
            continue;
        const QString text = shape.expect == Either ? shape.text(0) : fitted(shape, budget::BudgetNs * share);
        QByteArray bytes = text.toUtf8();
        const hd::LayoutLoad load = hd::layoutLoad(bytes);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();
        std::vector<double> open, again;
        double worst = 0;
        bool refused = false;
        for (int i = 0; i < repetitions; ++i) {
            message.clear();
            const Result r = measure(rec);
            refused = r.refused;
            if ((shape.expect == Opens && r.refused) || (shape.expect == Refused && share == 1 && !r.refused)) {
                std::fprintf(stderr, "%s: %s\n%s\n", shape.name, r.refused ? "refused" : "opened", qPrintable(message));
                return 1;
            }
            open.push_back(r.openMs);
            again.push_back(r.againMs);
            worst = std::max(worst, r.worstStepMs);
        }
        std::printf("%-32s %11lld %9.0f %9.0f %8.0f..%-8.0f %9.0f %11.0f%s\n", shape.name, qint64(bytes.size()),
                    load.ns / 1e6, percentile(open, 50), percentile(open, 0), percentile(open, 100),
                    percentile(again, 50), worst, refused ? "  (refused)" : "");
        if (refused)
            std::printf("    %s\n", qPrintable(message.section(u'\n', 1)));
        if (QString::fromLatin1(shape.name).startsWith(QLatin1String("recorded flight")))
            std::printf("    %lld lines in the plain command list\n",
                        qint64(text.section(Marker, 0, 0).count(u'\n') + 1));
        std::fflush(stdout);
    }
    std::_Exit(0);
}
