// hoverdeck-openprobe: weighs a flight-plan file for File > Open... away from the
// window. It builds a record and play window of its own on the offscreen platform,
// with the text areas' font, performs on it the actions a user can take and prints
// one line per action as it goes (OpenWeighing.h has the format). An action that
// outlasts the budget is reported cut and ends the probe at once, so a heavy file is
// refused in about the budget's time.
//
//   hoverdeck-openprobe FILE PART BUDGET_MS FONT STYLE
//     PART "open": opening, each tab switch, Ctrl+End and Ctrl+Home in each text;
//     PART 0..5: the heaviest screenful of that text, laid out line by line, then
//     scrolled to and painted.
#include "FlightPlan.h"
#include "OpenWeighing.h"
#include "PlanDocuments.h"
#include "RecWin.h"
#include "TargetTexts.h"

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

namespace {

using hd::OpenWeighing::Action;
using hd::OpenWeighing::Measured;

clockid_t mainClock;
std::mutex printing;
std::mutex current; // guards what the watchdog reads
Measured running;
qint64 runningSince = -1; // processor time; -1: no action running
qint64 budgetNs = 0;

qint64 cpuNs()
{
    timespec t;
    clock_gettime(mainClock, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void print(const QByteArray &line)
{
    const std::lock_guard<std::mutex> lock(printing);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void begin(Action action, int tab, qsizetype line)
{
    const std::lock_guard<std::mutex> lock(current);
    running = Measured{action, tab, line, 0, false, {}};
    runningSince = cpuNs();
}

// Ends the action and reports it; the probe stops at the first one beyond the budget.
void end(qint64 extraNs = 0)
{
    Measured done;
    {
        const std::lock_guard<std::mutex> lock(current);
        done = running;
        done.ns = cpuNs() - runningSince + extraNs;
        runningSince = -1;
    }
    print(hd::OpenWeighing::probeLine(done));
    if (done.ns > budgetNs)
        std::_Exit(0);
}

void report(const Measured &m)
{
    print(hd::OpenWeighing::probeLine(m));
    if (m.ns > budgetNs)
        std::_Exit(0);
}

// Cuts an action that outlasts the budget: laying out one huge line cannot be
// interrupted otherwise.
void watch()
{
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::lock_guard<std::mutex> lock(current);
        if (runningSince >= 0 && cpuNs() - runningSince > budgetNs) {
            Measured cut = running;
            cut.ns = cpuNs() - runningSince;
            cut.cut = true;
            print(hd::OpenWeighing::probeLine(cut));
            std::_Exit(0);
        }
    }
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Opening as the application opens: the documents are built away from the window,
// which is busy only while they are put in and shown.
void open(RecWin *rec, const QStringList &sections, int tab)
{
    QList<QPlainTextEdit *> areas;
    for (int i = 0; i < hd::TargetKindCount; ++i)
        areas.append(tab < 0 || i == tab ? rec->MjEF(i) : nullptr);
    QStringList texts = sections;
    if (tab >= 0)
        texts = texts.mid(0, tab + 1);
    PlanDocuments documents(texts, areas);
    QEventLoop built;
    QObject::connect(&documents, &PlanDocuments::ready, &built, &QEventLoop::quit);
    built.exec();
    begin(Action::Open, std::max(tab, 0), 0);
    for (int i = 0; i < documents.count(); ++i) {
        if (areas.at(i))
            documents.install(i);
    }
    rec->repaint();
    settle();
    end();
}

void openAndVisit(RecWin *rec, const QByteArray &bytes)
{
    QTabWidget *tabs = rec->MJType();
    open(rec, hd::flightPlanSections(bytes), -1);
    for (int tab : {1, 2, 3, 4, 5, 0}) {
        begin(Action::Tab, tab, 1);
        tabs->setCurrentIndex(tab);
        rec->repaint();
        settle();
        end();
    }
    for (int tab = 0; tab < hd::TargetKindCount; ++tab) {
        QPlainTextEdit *area = rec->MjEF(tab);
        tabs->setCurrentIndex(tab);
        settle();
        begin(Action::End, tab, area->document()->blockCount());
        area->moveCursor(QTextCursor::End);
        rec->repaint();
        settle();
        end();
        begin(Action::Home, tab, 1);
        area->moveCursor(QTextCursor::Start);
        rec->repaint();
        settle();
        end();
    }
}

struct Window
{
    qint64 ns;
    int first; // block number
};

// Lays every line of the text out once, timing each, and finds the screenfuls that
// take longest: a screenful is the lines from one line on until they fill the
// viewport's height, the last one whole.
void sweep(RecWin *rec, int tab, const QByteArray &bytes)
{
    rec->MJType()->setCurrentIndex(tab);
    rec->repaint();
    settle();
    // Opening with this tab in front: what the open probe cannot see of it.
    const QStringList sections = hd::flightPlanSections(bytes);
    if (tab >= sections.size())
        return;
    open(rec, sections, tab);
    QPlainTextEdit *area = rec->MjEF(tab);
    QTextDocument *doc = area->document();
    auto *layout = qobject_cast<QPlainTextDocumentLayout *>(doc->documentLayout());
    const qreal height = area->viewport()->height();

    std::vector<qint64> times;
    std::vector<qreal> heights;
    times.reserve(size_t(doc->blockCount()));
    heights.reserve(size_t(doc->blockCount()));
    std::vector<Window> heaviest; // a few, heaviest first
    qint64 windowNs = 0;
    qreal windowHeight = 0;
    int first = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        block.layout()->clearLayout();
        begin(Action::Screen, tab, first + 1);
        const qint64 start = cpuNs();
        heights.push_back(layout->blockBoundingRect(block).height());
        times.push_back(cpuNs() - start);
        {
            const std::lock_guard<std::mutex> lock(current);
            runningSince = -1;
        }
        block.layout()->clearLayout();
        windowNs += times.back();
        windowHeight += heights.back();
        while (first < block.blockNumber() && windowHeight - heights[size_t(first)] >= height) {
            windowHeight -= heights[size_t(first)];
            windowNs -= times[size_t(first)];
            ++first;
        }
        if (windowNs > budgetNs)
            report(Measured{Action::Screen, tab, first + 1, windowNs, false, {}});
        const auto overlaps = [&](const Window &w) { return w.first + 8 > first && first + 8 > w.first; };
        const auto same = std::find_if(heaviest.begin(), heaviest.end(), overlaps);
        if (same != heaviest.end()) {
            if (windowNs > same->ns)
                *same = Window{windowNs, first};
        } else {
            heaviest.push_back(Window{windowNs, first});
        }
        std::sort(heaviest.begin(), heaviest.end(), [](const Window &a, const Window &b) { return a.ns > b.ns; });
        if (heaviest.size() > 3)
            heaviest.pop_back();
    }
    if (!heaviest.empty())
        report(Measured{Action::Screen, tab, heaviest.front().first + 1, heaviest.front().ns, false, {}});

    // The real thing at the heaviest places: scrolled there and painted, its lines
    // laid out afresh.
    for (const Window &w : heaviest) {
        area->verticalScrollBar()->setValue(0);
        rec->repaint();
        settle();
        QTextBlock block = doc->findBlockByNumber(w.first);
        for (QTextBlock b = block; b.isValid() && b.blockNumber() < w.first + 64; b = b.next())
            b.layout()->clearLayout();
        begin(Action::Page, tab, w.first + 1);
        area->verticalScrollBar()->setValue(block.firstLineNumber());
        rec->repaint();
        settle();
        end();
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Dies with the application, whatever ends it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 6) {
        std::fprintf(stderr, "usage: hoverdeck-openprobe FILE PART BUDGET_MS FONT STYLE\n");
        return 2;
    }
    // Nothing of the probe ever shows on the screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QByteArray part = argv[2];
    budgetNs = QByteArray(argv[3]).toLongLong() * 1'000'000;
    const QString style = QString::fromLocal8Bit(argv[5]);
    if (!style.isEmpty())
        QApplication::setStyle(style);
    pthread_getcpuclockid(pthread_self(), &mainClock);

    const hd::FileResult<hd::FlightPlanRead> read = hd::readFlightPlanFile(path);
    if (!read.ok || read.value.refused != hd::Refusal::None) {
        std::fprintf(stderr, "%s cannot be read\n", argv[1]);
        return 1;
    }
    RecWin *rec = RecWin::instance();
    QFont font;
    if (font.fromString(QString::fromLocal8Bit(argv[4]))) {
        for (int i = 0; i < hd::TargetKindCount; ++i)
            rec->MjEF(i)->setFont(font);
    }
    // The window as the user has it: shown, with old texts in every area.
    rec->show();
    for (int i = 0; i < hd::TargetKindCount; ++i)
        rec->setTargetText(i, QStringLiteral("old"));
    rec->repaint();
    settle();

    std::thread(watch).detach();
    if (part == "open") {
        openAndVisit(rec, read.value.bytes);
    } else {
        bool ok = false;
        const int tab = part.toInt(&ok);
        if (!ok || tab < 0 || tab >= hd::TargetKindCount)
            return 2;
        sweep(rec, tab, read.value.bytes);
    }
    print(hd::OpenWeighing::doneLine(read.value.bytes));
    std::_Exit(0);
}
