#include "FlightPlan.h"

#include "TargetTexts.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSaveFile>

namespace hd {

QString composeFlightPlan(const QStringList &texts)
{
    const QString separator = EndOfLine + FlightPlanMarker + EndOfLine;
    QString plan;
    for (int i = 0; i < TargetKindCount; ++i) {
        if (i > 0)
            plan += separator;
        plan += texts.value(i);
    }
    return plan;
}

QStringList parseFlightPlan(const QString &fileText)
{
    QStringList sections;
    if (fileText.isEmpty())
        return sections;
    const QString text = ReplaceLineEndings(fileText, EndOfLine);
    const QString splitter = FlightPlanMarker + EndOfLine;

    // Markers are counted alone but split at only with their line end, so a marker
    // without one still claims an area, which then gets the empty text.
    const qsizetype areas = qMin<qsizetype>(CountFields(text, FlightPlanMarker), TargetKindCount);
    const QStringList pieces = text.split(splitter, Qt::KeepEmptyParts);
    for (qsizetype i = 0; i < areas; ++i) {
        QString section = pieces.value(i);
        // The line end before a marker line is the writer's, not the text's.
        if (i + 1 < pieces.size() && section.endsWith(EndOfLine))
            section.chop(EndOfLine.size());
        sections.append(section);
    }
    return sections;
}

QList<int> textsNotReadBack(const QStringList &texts)
{
    // A text's effect on the reader stays within its own section: the separators are
    // whole lines and the marker holds no line end. So judging each text alone, with
    // the others empty, finds exactly the texts to blame. Only a marker or a CR can
    // change a text on its way back, so the others are not written and read at all.
    QList<int> lost;
    for (int i = 0; i < TargetKindCount; ++i) {
        const QString text = texts.value(i);
        if (!text.contains(FlightPlanMarker) && !text.contains(u'\r'))
            continue;
        QStringList alone(TargetKindCount);
        alone[i] = text;
        if (parseFlightPlan(composeFlightPlan(alone)) != alone)
            lost.append(i);
    }
    return lost;
}

FileResult<> writeFlightPlanFile(const QString &path, const QStringList &texts)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    const QByteArray bytes = composeFlightPlan(texts).toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return {false, error};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, QString()};
}

FileResult<QStringList> readFlightPlanFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {false, file.errorString()};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {false, file.errorString()};
    // Editors that write a byte-order mark would otherwise put it in front of the
    // first command.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return {true, QString(), parseFlightPlan(DefineEncoding(bytes))};
}

} // namespace hd
