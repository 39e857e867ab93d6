#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

// File access: UTF-8, no BOM. On failure the result says why and nothing else
// changes (the write replaces the file atomically).
FileResult<> writeFlightPlanFile(const QString &path, const QStringList &texts);
FileResult<QStringList> readFlightPlanFile(const QString &path);

} // namespace hd
