#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace hd {

inline const QString FlightPlanMarker = QStringLiteral("//--------------------//");
inline const QString FlightPlanDefaultName = QStringLiteral("FlightPlan.txt");

// The six texts joined by line end, marker, line end; nothing after the last.
QString composeFlightPlan(const QStringList &texts);

// The sections of a flight-plan file's text, at most six, in order: element i is
// the new text of area i; areas past the end of the list keep their texts.
// The separator the writer puts between two texts is removed exactly, so a
// written plan reads back unchanged.
QStringList parseFlightPlan(const QString &fileText);

// The indexes, ascending, of the texts a written plan would not give back unchanged;
// empty when the whole plan reads back as it is. Each text is judged on its own, so
// a text that makes the reader split (the marker followed by a line end, the text's
// own or the writer's) is named, not the later ones the split moves along.
QList<int> textsNotReadBack(const QStringList &texts);

// What a file access gives: when ok, the value read (if any); otherwise error says
// why, in the system's words.
template <typename T = void>
struct FileResult
{
    bool ok = false;
    QString error;
    T value{};
};

template <>
struct FileResult<void>
{
    bool ok = false;
    QString error;
};

// How long opening a flight plan may keep the record and play window busy: opening
// must never freeze it, as the drone could not be landed meanwhile. The time is
// estimated as the sum of four measured parts, and a file is refused when the sum
// exceeds the budget, so that any one part may use nearly all of it. A text area lays
// a line out whole when it first shows it, and wraps a run of characters without a
// break opportunity at a cost that grows with the square of the run: every wrapped
// line scans the rest of the run and the run after it. Opening lays out the first
// and last lines of every text at once, the others when they come into view.
// Measured with bench_fileopen in the real window on the 8-core development machine
// (medians; the busy machine's speed drifts by up to a fifth); runs in the widest
// glyphs of common scripts (W, @, an em dash, Hangul). Rarer glyphs can be wider: a
// run of three-em dashes costs 2.5 times as much as one of Ws.
namespace ShowBudget {
// The worst files whose estimate just fits open in 1.3 to 1.9 s, under the 2 s wanted.
// Recorded flights are estimated a little above their time: one of 150,000 commands
// just fits and opens in 1.8 s.
inline constexpr double BudgetNs = 1.9e9;
// Reading, decoding, splitting and storing the text, per byte of UTF-8: 10 ns in
// lines of 250 bytes, 9 ns in lines of 4,000, less in CJK.
inline constexpr double NsPerByte = 10;
// Each line becomes a block of its text area: 2.1 us at 850,000 short lines, less
// with fewer lines (1.8 us at 150,000) and for empty ones (1.5 us).
inline constexpr double NsPerLine = 2100;
// Shorter lines cost no layout at opening: even as one run each takes a few
// milliseconds, and only the handful in view are laid out at a time.
inline constexpr qsizetype LongLine = 4'000;
// Laying out the lines longer than LongLine, per byte of UTF-8: 250 to 350 ns for
// words in Latin letters or a break after every character, a little less in CJK.
inline constexpr double NsPerLongLineByte = 340;
// Wrapping runs, per square character (r * r for a lone run of r characters): a run
// of 100,000 Ws, @s or em dashes opens in 1.5 to 2 s, of Hangul in 1.4 to 1.9 s.
inline constexpr double NsPerRunSquare = 0.19;
// Larger files are refused unread: their bytes alone take longer than the budget.
inline constexpr qint64 MaxFileBytes = qint64(BudgetNs / NsPerByte);
} // namespace ShowBudget

// Why a file that can be read is not opened as a flight plan. Beyond the budget, the
// refusal names the part of the estimate that weighs most.
enum class Refusal { None, NotAFile, TooLarge, ManyLines, LongLines, LongRuns };

// What the text areas would have to lay out for a text with "\n" line ends, and how
// long that is estimated to take. Runs are measured only when the other parts keep to
// the budget, which bounds that work.
struct LayoutLoad
{
    Refusal exceeded = Refusal::None; // TooLarge, ManyLines, LongLines, LongRuns or None
    qint64 bytes = 0;                 // UTF-8
    qsizetype lines = 0;
    qsizetype longLineBytes = 0;     // UTF-8 bytes of the lines longer than ShowBudget::LongLine
    qsizetype longestLine = 0;       // bytes
    qsizetype longestLineNumber = 0; // lines count from 1; 0: no line is long
    qsizetype longestRun = 0;        // characters between two break opportunities
    qsizetype longestRunLine = 0;
    qsizetype equivalentRun = 0; // the one run as slow to lay out as all runs together
    double ns = 0;               // the estimated time to open
    // How much of the part that weighs most would fit in the budget with the rest as
    // it is: bytes, lines, bytes of long lines, or the equivalent run's characters.
    qint64 allowed = 0;
};
LayoutLoad layoutLoad(QStringView text);

// A flight-plan file as read: its sections, or why it is not opened.
struct FlightPlanRead
{
    QStringList sections; // as parseFlightPlan() gives them; empty when refused
    Refusal refused = Refusal::None;
    enum Kind { Folder, Pipe, Device, OtherKind } kind = OtherKind; // NotAFile: what it is
    LayoutLoad load; // the figures; a file refused unread for its size gives bytes and allowed only
};

// File access: UTF-8, no BOM. On failure the result says why and nothing else
// changes (the write replaces the file atomically). Reading never blocks on a pipe
// or device: only regular files are read, and only within ShowBudget.
FileResult<> writeFlightPlanFile(const QString &path, const QStringList &texts);
FileResult<FlightPlanRead> readFlightPlanFile(const QString &path);

} // namespace hd
