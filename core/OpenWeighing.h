#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace hd {

// A flight plan is weighed before it is shown: a probe process lays it out in text
// areas like the record and play window's, away from the window, performs each action
// a user can take on it and reports how long each took. The file opens only when every
// action kept within the budget, so no action freezes the window, whatever the file
// holds. The probe's times are its main thread's processor time, so probes running
// side by side do not slow each other's figures down.
namespace OpenWeighing {

// The actions, each timed on its own. Screen: the layout of the heaviest screenful
// of a text, its lines laid out one by one; Page: scrolling there and painting it.
enum class Action { Open, Tab, End, Home, Screen, Page };

struct Measured
{
    Action action = Action::Open;
    int tab = 0;         // the text area, 0..5
    qsizetype line = 0;  // the first line concerned, counted from 1; 0: none
    qint64 ns = 0;       // how long it took, or, when cut, how long before it was stopped
    bool cut = false;    // stopped at the budget, unfinished
    QByteArray fileHash; // Done only: what the probe read, as fileHash() gives it
};

// One line of a probe's report, and back. A probe ends its report with a line
// "done <hash>"; parsed, that line gives a Measured with fileHash set.
QByteArray probeLine(const Measured &measured);
std::optional<Measured> parseProbeLine(QByteArrayView line);
QByteArray doneLine(QByteArrayView fileBytes);
QByteArray fileHash(QByteArrayView fileBytes);

struct Verdict
{
    enum Kind { Pending, Accepted, TooSlow, TimedOut, Failed, Changed } kind = Pending;
    Measured worst; // TooSlow: the action that weighs most
};

// What the probes' reports so far decide. probes: how many report; finished: those
// that ended their report with "done" (each Done counted once); pastDeadline: the
// weighing took longer than it may; failed: a probe could not start, crashed or
// said something else. A single action beyond the budget refuses the file at once,
// before the probes end.
Verdict decide(const QList<Measured> &measured, const QList<QByteArray> &doneHashes, int probes,
               const QByteArray &expectedHash, qint64 budgetNs, bool pastDeadline, bool failed);

// How long weighing may take on a machine of that many cores, baseMs being what
// eight or more are given. The probes' work is shared out over the cores, so fewer
// of them are given longer: the plans Hoverdeck saves must open there too.
qint64 deadlineMs(qint64 baseMs, int cores);

// Why a file was not opened, in the user's words; tabs: the captions of the six tabs.
QString refusalText(const Verdict &verdict, qint64 budgetNs, qint64 deadlineMs, const QStringList &tabs,
                    const QLocale &locale);

} // namespace OpenWeighing
} // namespace hd
