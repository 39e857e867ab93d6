#pragma once

#include <QByteArray>
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

// Larger files are refused unread. Every plan the recorder writes fits with room to
// spare: a flight of 65,000 commands, in any mix inside and outside a flight, saves
// to about 12 MB (a run of stick commands, 16 MB).
inline constexpr qint64 MaxFlightPlanBytes = 48 * 1000 * 1000;

// Why a file that can be read is not opened as a flight plan before it is weighed
// (OpenWeighing.h).
enum class Refusal { None, NotAFile, TooLarge };

// A flight-plan file as read: its bytes, or why it is not read.
struct FlightPlanRead
{
    QByteArray bytes; // without a byte-order mark; empty when refused
    Refusal refused = Refusal::None;
    enum Kind { Folder, Pipe, Device, OtherKind } kind = OtherKind; // NotAFile: what it is
    qint64 size = 0;                                                // the file's size in bytes
};

// The sections of a flight-plan file's bytes (UTF-8, CR, LF and CR LF line ends), as
// parseFlightPlan() gives them: only the first six, as only they are shown.
QStringList flightPlanSections(QByteArray bytes);

// File access: UTF-8, no BOM. On failure the result says why and nothing else
// changes (the write replaces the file atomically). Reading never blocks on a pipe
// or device: only regular files are read, and only up to MaxFlightPlanBytes.
FileResult<> writeFlightPlanFile(const QString &path, const QStringList &texts);
FileResult<FlightPlanRead> readFlightPlanFile(const QString &path);

} // namespace hd
