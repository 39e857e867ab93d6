#include "FlightPlan.h"

#include "TargetTexts.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSaveFile>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace hd {

namespace {

// The sections of a text with EndOfLine line ends. *loaded: how much of the text
// they come from; the rest of a file with more than six sections is not loaded.
QStringList splitSections(const QString &text, qsizetype *loaded)
{
    const QString splitter = FlightPlanMarker + EndOfLine;

    // Markers are counted alone but split at only with their line end, so a marker
    // without one still claims an area, which then gets the empty text.
    const qsizetype areas = qMin<qsizetype>(CountFields(text, FlightPlanMarker), TargetKindCount);
    const QStringList pieces = text.split(splitter, Qt::KeepEmptyParts);
    QStringList sections;
    *loaded = areas < pieces.size() ? (areas - 1) * splitter.size() : text.size();
    for (qsizetype i = 0; i < areas; ++i) {
        QString section = pieces.value(i);
        if (areas < pieces.size())
            *loaded += section.size();
        // The line end before a marker line is the writer's, not the text's.
        if (i + 1 < pieces.size() && section.endsWith(EndOfLine))
            section.chop(EndOfLine.size());
        sections.append(section);
    }
    return sections;
}

// Qt's layout takes Hangul for letters, as Korean wraps between words; the boundary
// finder alone would break between syllables.
bool isHangul(char16_t c)
{
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) || (c >= 0xA960 && c <= 0xA97F)
        || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xD7B0 && c <= 0xD7FF);
}

// The layout also ends a word at every white space but a no-break one.
bool isBreakingSpace(QChar c)
{
    return c.isSpace() && c.decompositionTag() != QChar::NoBreak;
}

// Calls run(length) for each stretch of the line between two places where the text
// layout may wrap it, in order; white space belongs to no stretch.
template <class Run>
void forEachRun(QStringView line, Run run)
{
    QString letters;
    if (std::any_of(line.begin(), line.end(), [](QChar c) { return isHangul(c.unicode()); })) {
        letters = line.toString();
        for (QChar &c : letters) {
            if (isHangul(c.unicode()))
                c = u'a';
        }
        line = letters;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, line);
    qsizetype start = 0;
    for (qsizetype boundary = finder.toNextBoundary(); boundary > 0; boundary = finder.toNextBoundary()) {
        for (qsizetype i = start; i < boundary; ++i) {
            if (isBreakingSpace(line[i])) {
                if (i > start)
                    run(i - start);
                start = i + 1;
            }
        }
        if (boundary > start)
            run(boundary - start);
        start = boundary;
    }
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
    qsizetype loaded = 0;
    return splitSections(ReplaceLineEndings(fileText, EndOfLine), &loaded);
}

LayoutLoad layoutLoad(QStringView text)
{
    namespace B = ShowBudget;
    // A surrogate pair takes four bytes in UTF-8.
    const auto utf8Size = [](QStringView line) {
        qsizetype bytes = line.size();
        for (QChar c : line) {
            const char16_t u = c.unicode();
            bytes += (u >= 0x80) + (u >= 0x800 && (u < 0xD800 || u > 0xDFFF));
        }
        return bytes;
    };
    LayoutLoad load;
    load.bytes = utf8Size(text);
    QList<QStringView> longLines;
    QList<qsizetype> numbers;
    for (qsizetype start = 0;;) {
        ++load.lines;
        qsizetype end = text.indexOf(EndOfLine, start);
        if (end < 0)
            end = text.size();
        if (end - start > B::LongLine) {
            longLines.append(text.sliced(start, end - start));
            numbers.append(load.lines);
            const qsizetype bytes = utf8Size(longLines.last());
            load.longLineBytes += bytes;
            if (bytes > load.longestLine) {
                load.longestLine = bytes;
                load.longestLineNumber = load.lines;
            }
        }
        if (end == text.size())
            break;
        start = end + EndOfLine.size();
    }
    enum { Bytes, Lines, LongLines, Runs };
    double ns[] = {double(load.bytes) * B::NsPerByte, double(load.lines) * B::NsPerLine,
                   double(load.longLineBytes) * B::NsPerLongLineByte, 0};

    // Each wrapped line of a run scans the rest of it and the next run: the cost of
    // a run r followed by n is about r * (r + 2n) in units of one run's r * r.
    if (ns[Bytes] + ns[Lines] + ns[LongLines] <= B::BudgetNs) {
        double work = 0;
        for (qsizetype i = 0; i < longLines.size(); ++i) {
            double previous = 0;
            forEachRun(longLines[i], [&](qsizetype run) {
                work += previous * (previous + 2 * double(run));
                previous = double(run);
                if (run > load.longestRun) {
                    load.longestRun = run;
                    load.longestRunLine = numbers[i];
                }
            });
            work += previous * previous;
        }
        load.equivalentRun = qsizetype(std::sqrt(work));
        ns[Runs] = work * B::NsPerRunSquare;
    }
    load.ns = ns[Bytes] + ns[Lines] + ns[LongLines] + ns[Runs];
    if (load.ns <= B::BudgetNs)
        return load;

    const auto most = std::max_element(std::begin(ns), std::end(ns)) - std::begin(ns);
    const double left = std::max(0.0, B::BudgetNs - (load.ns - ns[most]));
    switch (most) {
    case Bytes:
        load.exceeded = Refusal::TooLarge;
        load.allowed = qint64(left / B::NsPerByte);
        break;
    case Lines:
        load.exceeded = Refusal::ManyLines;
        load.allowed = qint64(left / B::NsPerLine);
        break;
    case LongLines:
        load.exceeded = Refusal::LongLines;
        load.allowed = qint64(left / B::NsPerLongLineByte);
        break;
    default:
        load.exceeded = Refusal::LongRuns;
        load.allowed = qint64(std::sqrt(left / B::NsPerRunSquare));
    }
    return load;
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
        read.refused = read.load.exceeded = Refusal::TooLarge;
        read.load.bytes = bytes;
        read.load.allowed = ShowBudget::MaxFileBytes;
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
    if (!S_ISREG(info.st_mode) || info.st_size > ShowBudget::MaxFileBytes) {
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
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {false, file.errorString(), {}};
    if (bytes.size() > ShowBudget::MaxFileBytes) { // it grew while being read
        tooLarge(bytes.size());
        return result;
    }
    // Editors that write a byte-order mark would otherwise put it in front of the
    // first command.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QString text = ReplaceLineEndings(DefineEncoding(std::exchange(bytes, QByteArray())), EndOfLine);
    if (text.isEmpty())
        return result;
    qsizetype loaded = 0;
    QStringList sections = splitSections(text, &loaded);
    read.load = layoutLoad(QStringView(text).first(loaded));
    read.refused = read.load.exceeded;
    if (read.refused == Refusal::None)
        read.sections = std::move(sections);
    return result;
}

} // namespace hd
