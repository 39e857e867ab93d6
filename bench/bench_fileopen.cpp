// File > Open... with flight plans shaped to the opening budget (hd::ShowBudget), in the
// real record and play window. Each shape is grown until its estimate just fits the
// budget (a share of it, if given) or, when its name says "beyond", just exceeds it;
// the recorded flights and the files at the size cap are as their names say.
// "estimate" is hd::layoutLoad's. Each repetition opens the file in a fresh process
// whose six texts hold a line each, after every tab has been shown once, as a user
// would have: "first" is that first open, RecOpen_Action until the window has
// painted; "again" opens the same file over itself; "step" is the longest single tab
// switch or page scroll after the first open, over every text (up to 40 pages each,
// from the first to the last). Run it with the machine's fonts and, to see rarer
// scripts shaped, with a full set of fonts (FONTCONFIG_FILE naming a configuration
// that adds them).
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
#include <QProcess>
#include <QFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
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
    qint64 sparse = 0;                   // instead of a text: a file of that many bytes, all holes
};

QList<Shape> shapes()
{
    const QChar w = u'W', hangul = QChar(0xAC00);
    const QString latin = QStringLiteral("?\"QZ U 20\"?\"QZ battery?\" "), cjk = QStringLiteral("飛行計画、");
    // Right to left within left to right, and letters under stacks of combining marks.
    const QString mixed = QStringLiteral("up 20 שלום עולם forward مرحبا بالعالم ");
    const QString marks = QStringLiteral("a\u0301\u0316\u0308\u0323e\u0300\u0317\u0303\u0324 ");
    const QString command = QStringLiteral("up 20") + QString(236, u' ') + QStringLiteral(":WAIT30");
    const QString shortCommand = QStringLiteral("up 20:WAIT30");
    return {
        {"one run, W", [=](double t) { return QString(run(t), w); }},
        {"one run, em dash", [](double t) { return QString(run(t), QChar(0x2014)); }},
        {"one run, three-em dash", [](double t) { return QString(run(t), QChar(0x2E3B)); }},
        {"one run, @", [](double t) { return QString(run(t), u'@'); }},
        {"one run, x", [](double t) { return QString(run(t), u'x'); }},
        {"one run, Hangul", [=](double t) { return QString(run(t), hangul); }},
        {"one run, Khmer vowel sign", [](double t) { return QString(run(t), QChar(0x17C1)); }},
        {"one run, Khmer sign", [](double t) { return QString(run(t), QChar(0x17C6)); }},
        {"one run, Hebrew", [](double t) { return QString(run(t), QChar(0x05D0)); }},
        {"one run, combining mark", [](double t) { return u'a' + QString(run(t), QChar(0x0301)); }},
        {"one run per text, W", [=](double t) { return six(QString(run(t / 6), w)); }},
        // A pair costs 4 r * r, 16 runs 46 r * r (each run and twice the next).
        {"pairs one blank apart, W", [=](double t) { return six(runs(2, run(t / 24), w)); }},
        {"16 runs one blank apart, W", [=](double t) { return six(runs(16, run(t / (6 * 46)), w)); }},
        {"runs on 10 lines per text, W",
         [=](double t) { return six(QStringList(10, QString(run(t / 60), w)).join(u'\n')); }},
        {"long lines of words, Latin", [=](double t) { return six(wordsLine(t / 6, latin)); }},
        {"long lines of words, CJK", [=](double t) { return six(wordsLine(t / 6, cjk)); }},
        {"long lines of words, RTL mixed", [=](double t) { return six(wordsLine(t / 6, mixed)); }},
        {"long lines of words, marks", [=](double t) { return six(wordsLine(t / 6, marks)); }},
        // Every character a place to break.
        {"long lines of %", [](double t) { return six(wordsLine(t / 6, QStringLiteral("%"))); }},
        {"lines just short of long, W", [=](double t) { return six(lines(t / 6, QString(budget::LongLine, w))); }},
        {"command lines, largest file", [=](double t) { return lines(t, command); }},
        {"CJK lines", [=](double t) { return lines(t, cjk.repeated(16)); }},
        {"RTL mixed lines", [=](double t) { return lines(t, mixed.repeated(4)); }},
        {"short command lines", [=](double t) { return six(lines(t / 6, shortCommand)); }},
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
        // Each command adds about 16 us to the estimate.
        {"recorded flight, longest", [](double t) { return recordedFlight(qsizetype(t / 16000)); }},
        {"recorded flight, 40k commands", [](double) { return recordedFlight(40000); }, Either},
        {"recorded flight, 150k commands", [](double) { return recordedFlight(150000); }, Either},
        {"one run beyond, W", [=](double t) { return QString(run(t), w); }, Refused},
        {"short command lines beyond", [=](double t) { return six(lines(t / 6, shortCommand)); }, Refused},
        {"command lines beyond", [=](double t) { return lines(t, command); }, Refused},
        // As large as is read at all, and refused once read.
        {"command lines up to the size cap",
         [=](double) { return (command + u'\n').repeated(qsizetype(budget::MaxFileBytes) / (command.size() + 1)); },
         Either},
        {"over the size cap", {}, Either, budget::MaxFileBytes + 1},
        {"1 TiB", {}, Either, qint64(1) << 40},
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

// In a fresh process, with every tab shown once as a user would have: the first
// open of the file, the longest step after it, and opening it again over itself.
Result measure(RecWin *rec)
{
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

// The child: opens path once in a fresh application and prints what measure() gives,
// then the refusal's message on a line of its own.
int openOnce(int argc, char **argv, const QString &path)
{
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
    // Texts that were there make the first open lay a text's only line out twice.
    for (int i = 0; i < 6; ++i)
        rec->setTargetText(i, QStringLiteral("old"));
    rec->MJType()->setCurrentIndex(0);
    settle();
    QString message;
    FileDialogs::setTestHooks(
        {[&path](const QString &) { return path; }, {}, [&message](const QString &m) { message = m; }});
    const Result r = measure(rec);
    std::printf("%f %f %f %d\n%s\n", r.openMs, r.againMs, r.worstStepMs, int(r.refused),
                qPrintable(message.section(u'\n', 1).simplified()));
    std::fflush(stdout);
    std::_Exit(0);
}

Result runChild(const QString &path, QString *message)
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
    const QStringList figures = lines.value(0).split(u' ');
    if (figures.size() != 4) {
        std::fprintf(stderr, "the child that opens %s said: %s\n", qPrintable(path), qPrintable(lines.join(u'\n')));
        std::exit(1);
    }
    r.openMs = figures[0].toDouble();
    r.againMs = figures[1].toDouble();
    r.worstStepMs = figures[2].toDouble();
    r.refused = figures[3] == QLatin1String("1");
    *message = lines.value(1);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    quietOffscreenByDefault();
    if (argc == 3 && std::strcmp(argv[1], "--open-once") == 0)
        return openOnce(argc, argv, QString::fromLocal8Bit(argv[2]));
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString filter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const double share = argc > 3 ? std::atof(argv[3]) : 1.0;

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.txt"));

    std::printf("budget %.0f ms: %.1f ns a byte, %.0f ns a line, %.0f ns a byte of lines over %lld characters, "
                "%.3f ns a square character of runs; files over %lld bytes refused unread\n",
                budget::BudgetNs / 1e6, budget::NsPerByte, budget::NsPerLine, budget::NsPerLongLineByte,
                qint64(budget::LongLine), budget::NsPerRunSquare, qint64(budget::MaxFileBytes));
    std::printf("first: the first open in a fresh process; again: the same file over itself; "
                "medians of %d, min..max\n",
                repetitions);
    std::printf("%-34s %11s %8s %7s %13s %7s %13s %6s\n", "shape", "bytes", "estimate", "first", "min..max", "again",
                "min..max", "step");
    double worstOpen = 0, worstRefusal = 0;
    QString worstOpenShape, worstRefusalShape;
    for (const Shape &shape : shapes()) {
        if (!filter.isEmpty() && !QString::fromUtf8(shape.name).contains(filter))
            continue;
        qint64 size = shape.sparse;
        double estimate = 0;
        QString text;
        QFile file(path);
        if (shape.sparse > 0) {
            if (!file.open(QIODevice::WriteOnly) || !file.resize(shape.sparse))
                return 1;
        } else {
            text = shape.expect == Either ? shape.text(0) : fitted(shape, budget::BudgetNs * share);
            const QByteArray bytes = text.toUtf8();
            estimate = hd::layoutLoad(bytes).ns;
            size = bytes.size();
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                return 1;
        }
        file.close();
        std::vector<double> open, again;
        double worst = 0;
        bool refused = false;
        QString message;
        for (int i = 0; i < repetitions; ++i) {
            const Result r = runChild(path, &message);
            refused = r.refused;
            if ((shape.expect == Opens && r.refused) || (shape.expect == Refused && share == 1 && !r.refused)) {
                std::fprintf(stderr, "%s: %s\n%s\n", shape.name, r.refused ? "refused" : "opened", qPrintable(message));
                return 1;
            }
            open.push_back(r.openMs);
            again.push_back(r.againMs);
            worst = std::max(worst, r.worstStepMs);
        }
        const double slowest = percentile(open, 100);
        if (!refused && slowest > worstOpen) {
            worstOpen = slowest;
            worstOpenShape = QString::fromUtf8(shape.name);
        }
        if (refused && slowest > worstRefusal) {
            worstRefusal = slowest;
            worstRefusalShape = QString::fromUtf8(shape.name);
        }
        std::printf("%-34s %11lld %8.0f %7.0f %6.0f..%-6.0f %7.0f %6.0f..%-6.0f %6.0f%s\n",
                    qPrintable(QString::fromUtf8(shape.name)), size, estimate / 1e6, percentile(open, 50),
                    percentile(open, 0), slowest, percentile(again, 50), percentile(again, 0), percentile(again, 100),
                    worst, refused ? "  (refused)" : "");
        if (refused)
            std::printf("    %s\n", qPrintable(message));
        if (QString::fromUtf8(shape.name).startsWith(QLatin1String("recorded flight")))
            std::printf("    %lld lines in the plain command list\n",
                        qint64(text.section(Marker, 0, 0).count(u'\n') + 1));
        std::fflush(stdout);
    }
    std::printf("slowest first open accepted: %.0f ms (%s), %.2f of the budget\n", worstOpen,
                qPrintable(worstOpenShape), worstOpen / (budget::BudgetNs / 1e6));
    std::printf("slowest refusal: %.0f ms (%s)\n", worstRefusal, qPrintable(worstRefusalShape));
    return 0;
}
