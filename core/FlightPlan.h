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

// How much a flight plan may ask of the record and play window's text areas: opening
// one must never freeze the window, which meanwhile could not land the drone. A text
// area lays a line out whole when it first shows it, and wraps a run of characters
// without a break opportunity at a cost that grows with the square of the run: every
// wrapped line scans the rest of the run and the run after it. Opening lays out the
// first and last lines of every text at once, the others when they come into view.
// Measured with bench_fileopen in the real window on the 8-core development machine,
// in the widest glyphs of common scripts (a Latin W, Hangul, CJK): the worst file
// within all limits but the size opens in 1.1 to 1.3 s. Rarer glyphs can be wider:
// a run of three-em dashes costs 2.5 times as much as one of Ws.
namespace ShowLimits {
// Larger files are refused unread: the plainest text loads at about 18 ns a byte,
// 1.4 s for this much, before anything is laid out.
inline constexpr qint64 MaxFileBytes = 80'000'000;
// Shorter lines are not counted: laid out whole, even as one run, each takes a few
// milliseconds, and only the handful in view are laid out at a time.
inline constexpr qsizetype LongLine = 4'000;
// All longer lines together take about 0.25 us a byte of UTF-8 to lay out, Latin
// and CJK text alike: 0.5 s for this much.
inline constexpr qsizetype MaxLongLineBytes = 2'000'000;
// A run of Ws without a break takes 0.7 s at this length, the same cost spread over
// all six texts up to 1 s. Runs count together as the one run that takes as long,
// whatever lines and texts they are in.
inline constexpr qsizetype MaxRun = 64'000;
} // namespace ShowLimits

// Why a file that can be read is not opened as a flight plan.
enum class Refusal { None, NotAFile, TooLarge, LongLines, LongRuns };

// What the text areas would have to lay out for a text with "\n" line ends. Runs are
// measured only when the long lines keep to their limit, which bounds that work.
struct LayoutLoad
{
    Refusal exceeded = Refusal::None; // LongLines, LongRuns or None
    qsizetype longLineBytes = 0;      // UTF-8 bytes of the lines longer than ShowLimits::LongLine
    qsizetype longestLine = 0;        // bytes
    qsizetype longestLineNumber = 0;  // lines count from 1; 0: no line is long
    qsizetype longestRun = 0;         // characters between two break opportunities
    qsizetype longestRunLine = 0;
    qsizetype equivalentRun = 0; // the one run as slow to lay out as all runs together
};
LayoutLoad layoutLoad(QStringView text);

// A flight-plan file as read: its sections, or why it is not opened.
struct FlightPlanRead
{
    QStringList sections; // as parseFlightPlan() gives them; empty when refused
    Refusal refused = Refusal::None;
    enum Kind { Folder, Pipe, Device, OtherKind } kind = OtherKind; // NotAFile: what it is
    qint64 bytes = 0;                                               // TooLarge: the file's size
    LayoutLoad load;                                                // LongLines, LongRuns: the figures
};

// File access: UTF-8, no BOM. On failure the result says why and nothing else
// changes (the write replaces the file atomically). Reading never blocks on a pipe
// or device: only regular files are read, and only within ShowLimits.
FileResult<> writeFlightPlanFile(const QString &path, const QStringList &texts);
FileResult<FlightPlanRead> readFlightPlanFile(const QString &path);

} // namespace hd
