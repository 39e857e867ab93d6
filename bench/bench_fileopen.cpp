// File > Open... with flight plans shaped at the show limits (hd::ShowLimits), in the
// real record and play window: every tab has been shown once, as a user would have.
// "open" is RecOpen_Action until the window has painted; "worst step" is the longest
// single tab switch or page scroll afterwards, over every text (up to 40 pages each,
// spread from the first to the last). Each shape is just inside the limits unless its
// name says otherwise, in the widest glyphs of common scripts: a Latin W, Hangul, CJK.
//
//   bench_fileopen [repetitions] [name filter]     (default 3, every shape)
#include "BenchSupport.h"
#include "FileDialogs.h"
#include "FlightPlan.h"
#include "RecWin.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <functional>

using namespace bench;
namespace limits = hd::ShowLimits;

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

// n runs of r characters c, one blank apart.
QString runs(int n, qsizetype r, QChar c)
{
    QStringList list(n, QString(r, c));
    return list.join(u' ');
}

// Words repeated in one line of at most n bytes of UTF-8.
QString wordsLine(qsizetype n, const QString &word)
{
    const qsizetype wordBytes = word.toUtf8().size();
    return word.repeated(n / wordBytes);
}

qsizetype root(double x)
{
    return qsizetype(std::floor(std::sqrt(x)));
}

struct Shape
{
    const char *name;
    std::function<QString()> text;
    bool refused;
};

QList<Shape> shapes()
{
    const double run2 = double(limits::MaxRun) * limits::MaxRun;
    const QChar w = u'W', hangul = QChar(0xAC00);
    const qsizetype perText = limits::MaxLongLineBytes / 6;
    return {
        {"one run, x", [] { return QString(limits::MaxRun, u'x'); }, false},
        {"one run, W", [=] { return QString(limits::MaxRun, w); }, false},
        {"one run, Hangul", [=] { return QString(limits::MaxRun, hangul); }, false},
        {"one run per text, W", [=] { return six(QString(root(run2 / 6), w)); }, false},
        {"pairs one blank apart, W", [=] { return six(runs(2, root(run2 / 24), w)); }, false},
        {"16 runs one blank apart, W", [=] { return six(runs(16, root(run2 / (6 * 46)), w)); }, false},
        {"runs on 10 lines per text, W", [=] { return six(QStringList(10, QString(root(run2 / 60), w)).join(u'\n')); },
         false},
        {"long lines of words, Latin",
         [=] { return six(wordsLine(perText, QStringLiteral("?\"QZ U 20\"?\"QZ battery?\" "))); }, false},
        {"long lines of words, CJK", [=] { return six(wordsLine(perText, QStringLiteral("飛行計画、"))); }, false},
        {"both limits, W and CJK",
         [=] {
             // The words' own runs take a little of the budget.
             const qsizetype r = root(run2 * 0.99 / 6);
             return six(QString(r, w) + u'\n' + wordsLine(perText - r, QStringLiteral("飛行計画、")));
         },
         false},
        {"lines just short of long, W",
         [=] { return six(QStringList(2000, QString(limits::LongLine, w)).join(u'\n')); }, false},
        {"largest file, command lines",
         [] {
             QString line = QStringLiteral("up 20") + QString(236, u' ') + QStringLiteral(":WAIT30\n");
             return line.repeated(qsizetype(limits::MaxFileBytes / line.size()) - 1);
         },
         false},
        {"one run beyond, x", [] { return QString(limits::MaxRun + 1, u'x'); }, true},
        {"long lines beyond, Latin", [=] { return six(wordsLine(perText + 11, QStringLiteral("rc 0 20 0 0"))); }, true},
    };
}

struct Result
{
    double openMs = 0;
    double worstStepMs = 0;
    bool refused = false;
};

Result measure(RecWin *rec)
{
    for (int i = 0; i < 6; ++i)
        rec->setTargetText(i, QStringLiteral("old"));
    rec->MJType()->setCurrentIndex(0);
    settle();
    Result r;
    QElapsedTimer timer;
    timer.start();
    r.refused = !App::instance()->RecOpen_Action(0);
    rec->repaint();
    settle();
    r.openMs = timer.nsecsElapsed() / 1e6;
    for (int tab = 0; tab < 6; ++tab) {
        timer.restart();
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
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    quietOffscreenByDefault();
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString filter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

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

    std::printf("limits: file %lld bytes, long line > %lld characters, long lines %lld bytes, run %lld characters\n",
                qint64(limits::MaxFileBytes), qint64(limits::LongLine), qint64(limits::MaxLongLineBytes),
                qint64(limits::MaxRun));
    std::printf("%-32s %11s %12s %18s %14s\n", "shape", "bytes", "open ms", "min..max", "worst step ms");
    for (const Shape &shape : shapes()) {
        if (!filter.isEmpty() && !QString::fromLatin1(shape.name).contains(filter))
            continue;
        QByteArray bytes = shape.text().toUtf8();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();
        std::vector<double> open;
        double worst = 0;
        for (int i = 0; i < repetitions; ++i) {
            message.clear();
            const Result r = measure(rec);
            if (r.refused != shape.refused) {
                std::fprintf(stderr, "%s: %s\n%s\n", shape.name, r.refused ? "refused" : "opened", qPrintable(message));
                return 1;
            }
            open.push_back(r.openMs);
            worst = std::max(worst, r.worstStepMs);
        }
        std::printf("%-32s %11lld %12.0f %8.0f..%-9.0f %14.0f%s\n", shape.name, qint64(bytes.size()),
                    percentile(open, 50), percentile(open, 0), percentile(open, 100), worst,
                    shape.refused ? "  (refused)" : "");
        std::fflush(stdout);
    }
    std::_Exit(0);
}
