#include "FlightPlan.h"

#include "TargetTexts.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace hd {

namespace {

// The sections of a text with EndOfLine line ends; the rest of a file with more
// than six sections is not loaded.
QStringList splitSections(const QString &text)
{
    const QString splitter = FlightPlanMarker + EndOfLine;

    // Markers are counted alone but split at only with their line end, so a marker
    // without one still claims an area, which then gets the empty text.
    const qsizetype areas = qMin<qsizetype>(CountFields(text, FlightPlanMarker), TargetKindCount);
    const QStringList pieces = text.split(splitter, Qt::KeepEmptyParts);
    QStringList sections;
    for (qsizetype i = 0; i < areas; ++i) {
        QString section = pieces.value(i);
        // The line end before a marker line is the writer's, not the text's.
        if (i + 1 < pieces.size() && section.endsWith(EndOfLine))
            section.chop(EndOfLine.size());
        sections.append(section);
    }
    return sections;
}

} // namespace

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
    if (fileText.isEmpty())
        return QStringList();
    return splitSections(ReplaceLineEndings(fileText, EndOfLine));
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

FileResult<FlightPlanRead> readFlightPlanFile(const QString &path)
{
    FileResult<FlightPlanRead> result{true, QString(), {}};
    FlightPlanRead &read = result.value;
    const auto notAFile = [&read](mode_t mode) {
        read.refused = Refusal::NotAFile;
        read.kind = S_ISDIR(mode)              ? FlightPlanRead::Folder
            : S_ISFIFO(mode)                   ? FlightPlanRead::Pipe
            : (S_ISCHR(mode) || S_ISBLK(mode)) ? FlightPlanRead::Device
                                               : FlightPlanRead::OtherKind;
    };
    const auto tooLarge = [&read](qint64 bytes) {
        read.refused = Refusal::TooLarge;
        read.size = bytes;
    };

    // A pipe or device would block the open or the read until something writes to
    // it. Looking first keeps most from being opened at all; opening without
    // blocking and looking at what was opened leaves no gap between the two.
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        notAFile(info.st_mode);
        return result;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {false, qt_error_string(errno), {}};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return {false, qt_error_string(error), {}};
    }
    if (!S_ISREG(info.st_mode) || info.st_size > MaxFlightPlanBytes) {
        ::close(fd);
        if (!S_ISREG(info.st_mode))
            notAFile(info.st_mode);
        else
            tooLarge(info.st_size);
        return result;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {false, file.errorString(), {}};
    }
    // One byte more than the cap tells a file that grew while being read.
    QByteArray bytes = file.read(MaxFlightPlanBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {false, file.errorString(), {}};
    read.size = bytes.size();
    if (bytes.size() > MaxFlightPlanBytes) {
        tooLarge(qMax<qint64>(bytes.size(), file.size()));
        return result;
    }
    // Editors that write a byte-order mark would otherwise put it in front of the
    // first command.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    read.bytes = std::move(bytes);
    return result;
}

QStringList flightPlanSections(QByteArray bytes)
{
    if (bytes.isEmpty())
        return QStringList();
    return splitSections(ReplaceLineEndings(DefineEncoding(std::move(bytes)), EndOfLine));
}

} // namespace hd
