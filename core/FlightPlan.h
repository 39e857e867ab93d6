#pragma once

#include <QByteArrayView>
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
// and last lines of every text at once, the others when they come into view; the
// last line is laid out twice, once to place the cursor and once to size the text.
// Measured with bench_fileopen in the real window on the 8-core development machine,
// with its own fonts and with a full set of Noto fonts: the first open in a fresh
// process, over texts already there, the slowest of several runs (the busy
// machine's speed drifts by up to a fifth).
namespace ShowBudget {
// The worst files whose estimate just fits open in about 1 s, so within 2 s on a
// machine twice as slow. Recorded flights are estimated a little above their time:
// one of 68,000 commands just fits.
inline constexpr double BudgetNs = 1.0e9;
// Reading, decoding, splitting and storing the text, per byte of UTF-8: 12 ns in
// lines of 250 bytes, 10 ns in lines of 4,000, less in CJK. A byte that is not UTF-8
// becomes a replacement character of three.
inline constexpr double NsPerByte = 12;
// Each line becomes a block of its text area: 2.25 us at 850,000 short lines, less
// with fewer lines and for empty ones (1.7 us).
inline constexpr double NsPerLine = 2400;
// Shorter lines cost no layout at opening: even as one run each takes a few
// milliseconds, and only the handful in view are laid out at a time.
inline constexpr qsizetype LongLine = 4'000;
// Laying out the lines longer than LongLine characters, per byte of UTF-8 of plain
// text: 380 to 410 ns for words in Latin letters or a break after every character,
// up to 575 ns in CJK.
inline constexpr double NsPerLongLineByte = 600;
// Wrapping runs, per square character of the widest glyphs of common scripts: a run
// of 97,000 em dashes opens in 1.6 to 2.8 s, of Ws, @s or Hangul in 1.5 to 2.6 s.
inline constexpr double NsPerRunSquare = 0.3;
// Characters that need complex shaping (ShapingOf::Complex) cost that many times a
// plain byte in a long line: right-to-left words among Latin ones 1.5 to 2.5 times.
inline constexpr double ComplexLineFactor = 2.5;
// In a run they weigh as that many characters: a run of Khmer signs costs up to 2.2
// times as much as one of em dashes, of combining marks 1.2 times; a run of three-em
// dashes (ShapingOf::VeryWide) 2.6 times.
inline constexpr double ComplexRunFactor = 1.5;
inline constexpr double VeryWideRunFactor = 1.7;
// Combining marks stacked on one character, beyond DeepStack of them, in the lines
// laid out at opening: up to 65 us each in stacks of 4,000 Khmer signs (12 us of
// accents); a few on a letter, as in accented or Vietnamese text, cost next to nothing.
inline constexpr qsizetype DeepStack = 16;
inline constexpr double NsPerStackedMark = 70'000;
// Larger files are refused unread: their bytes alone take longer than the budget.
inline constexpr qint64 MaxFileBytes = qint64((BudgetNs - NsPerLine) / NsPerByte);
} // namespace ShowBudget

// What a character asks of the text layout beyond its bytes. Complex: shaping that
// looks at its neighbours (right-to-left and bidirectional text, combining marks, the
// Brahmic, Southeast Asian and other scripts whose letters combine). VeryWide: a glyph
// of several ems, as the two- and three-em dashes.
enum class ShapingOf { Plain, Complex, VeryWide };
ShapingOf shapingOf(char32_t c);

// Why a file that can be read is not opened as a flight plan. Beyond the budget, the
// refusal names the part of the estimate that weighs most.
enum class Refusal { None, NotAFile, TooLarge, ManyLines, LongLines, StackedMarks, LongRuns };

// What the text areas would have to lay out for a flight-plan file's bytes (UTF-8, no
// byte-order mark; CR, LF and CR LF line ends), and how long that is estimated to
// take. Only the first six sections count, as only they are shown. The file is
// estimated from its bytes, without decoding it whole: the characters of long lines
// are weighed, marks and runs measured, only when the parts before keep to the
// budget, which bounds that work.
struct LayoutLoad
{
    Refusal exceeded = Refusal::None; // TooLarge, ManyLines, LongLines, StackedMarks, LongRuns or None
    qint64 bytes = 0;
    qsizetype lines = 0;
    qsizetype longLineBytes = 0;     // bytes of the lines longer than ShowBudget::LongLine characters
    qsizetype longestLine = 0;       // bytes
    qsizetype longestLineNumber = 0; // lines count from 1; 0: no line is long
    qsizetype stackedMarks = 0;      // combining marks stacked deeper than ShowBudget::DeepStack
    qsizetype deepestStack = 0;      // marks on one character
    qsizetype deepestStackLine = 0;
    qsizetype longestRun = 0; // characters between two break opportunities
    qsizetype longestRunLine = 0;
    qsizetype equivalentRun = 0; // the one run of the longest run's characters as slow as all runs together
    double ns = 0;               // the estimated time to open
    // How much of the part that weighs most would fit in the budget: bytes, lines,
    // bytes of long lines, stacked marks (each with the rest of the file shrunk alike),
    // or characters of the longest run's kind in the equivalent run.
    qint64 allowed = 0;
};
LayoutLoad layoutLoad(QByteArrayView file);

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
