#include "FlightPlan.h"

#include "TargetTexts.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSaveFile>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
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

// Calls run(start, length) for each stretch of the line between two places where the text
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
                    run(start, i - start);
                start = i + 1;
            }
        }
        if (boundary > start)
            run(start, boundary - start);
        start = boundary;
    }
}

// Counting several bytes at a time: a file just under the size cap must be refused
// in a small part of the budget, before anything is decoded.
constexpr quint64 EachByte = 0x0101010101010101ULL;
constexpr quint64 HighBits = 0x8080808080808080ULL;

quint64 wordAt(const char *p)
{
    quint64 w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The sum of the eight bytes of v, each at most 255 / 8.
qsizetype sumOfBytes(quint64 v)
{
    return qsizetype((v * EachByte) >> 56);
}

struct ByteCounts
{
    qsizetype lf = 0, cr = 0, crlf = 0, high = 0; // high: bytes outside ASCII
};

ByteCounts countBytes(QByteArrayView bytes)
{
    ByteCounts n;
    const char *p = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time; each byte of a sum counts up to 255 blocks.
    const __m128i lfs = _mm_set1_epi8('\n'), crs = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    const auto add = [&zero](__m128i sums) {
        const __m128i both = _mm_sad_epu8(sums, zero);
        return qsizetype(_mm_cvtsi128_si64(both)) + qsizetype(_mm_cvtsi128_si64(_mm_unpackhi_epi64(both, both)));
    };
    while (i + 17 <= size) {
        __m128i lf = zero, cr = zero, crlf = zero, high = zero;
        for (int k = 0; k < 255 && i + 17 <= size; ++k, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 1));
            const __m128i isCr = _mm_cmpeq_epi8(v, crs);
            lf = _mm_sub_epi8(lf, _mm_cmpeq_epi8(v, lfs));
            cr = _mm_sub_epi8(cr, isCr);
            crlf = _mm_sub_epi8(crlf, _mm_and_si128(isCr, _mm_cmpeq_epi8(next, lfs)));
            high = _mm_sub_epi8(high, _mm_cmplt_epi8(v, zero));
        }
        n.lf += add(lf);
        n.cr += add(cr);
        n.crlf += add(crlf);
        n.high += add(high);
    }
#endif
    // The rest, or all of it where the processor has no SSE2 (not on x86-64).
    for (; i < size; ++i) {
        n.lf += p[i] == '\n';
        n.cr += p[i] == '\r';
        n.crlf += p[i] == '\r' && i + 1 < size && p[i + 1] == '\n';
        n.high += (p[i] & 0x80) != 0;
    }
    return n;
}

// UTF-8 continuation bytes: a valid line holds its size less these in code points.
qsizetype continuationBytes(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype n = 0, i = 0;
    while (i + 8 <= size) {
        quint64 sum = 0;
        for (int k = 0; k < 31 && i + 8 <= size; ++k, i += 8) {
            const quint64 w = wordAt(p + i);
            sum += (w & ~(w << 1) & HighBits) >> 7;
        }
        n += sumOfBytes(sum);
    }
    for (; i < size; ++i)
        n += (p[i] & 0xC0) == 0x80;
    return n;
}

// The first six sections of a file, as the reader loads them: up to where a marker
// line begins a seventh. Only a marker followed by a line end splits; the marker and
// the line ends are ASCII, which no decoding changes.
QByteArrayView shownPart(QByteArrayView file)
{
    const QByteArray marker = FlightPlanMarker.toLatin1();
    int splits = 0;
    for (qsizetype from = 0;;) {
        if (file.size() - from < marker.size())
            return file;
        // The C library's search is several times as fast as a generic one here.
        const void *found =
            ::memmem(file.data() + from, size_t(file.size() - from), marker.constData(), size_t(marker.size()));
        if (!found)
            return file;
        const qsizetype at = static_cast<const char *>(found) - file.data();
        const qsizetype after = at + marker.size();
        if (after < file.size() && (file[after] == '\n' || file[after] == '\r')) {
            if (++splits == TargetKindCount)
                return file.first(at);
            from = after + 1;
        } else {
            from = at + 1;
        }
    }
}

// The code point at k; k moves on to the second half of a surrogate pair.
char32_t codePointAt(QStringView text, qsizetype &k)
{
    const QChar c = text[k];
    if (c.isHighSurrogate() && k + 1 < text.size() && text[k + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[++k]);
    return c.unicode();
}

bool isMark(char32_t c)
{
    if (c < 0x300)
        return false;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

qsizetype utf8Size(char32_t c)
{
    return 1 + (c >= 0x80) + (c >= 0x800) + (c >= 0x10000);
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

ShapingOf shapingOf(char32_t c)
{
    // Latin, its extensions and the spacing modifiers, before the combining marks.
    if (c < 0x300)
        return ShapingOf::Plain;
    if (c == 0x2E3A || c == 0x2E3B || (c >= 0xFDFA && c <= 0xFDFD) || (c >= 0x12000 && c <= 0x1254F))
        return ShapingOf::VeryWide;
    if (isMark(c))
        return ShapingOf::Complex;
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirAN:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return ShapingOf::Complex;
    default:
        break;
    }
    // The scripts that the layout shapes letter by letter, one glyph each.
    switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Inherited:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Armenian:
    case QChar::Script_Georgian:
    case QChar::Script_Hangul:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Bopomofo:
    case QChar::Script_Yi:
    case QChar::Script_Ethiopic:
    case QChar::Script_Cherokee:
    case QChar::Script_CanadianAboriginal:
        return ShapingOf::Plain;
    default:
        return ShapingOf::Complex;
    }
}

LayoutLoad layoutLoad(QByteArrayView file)
{
    namespace B = ShowBudget;
    const QByteArrayView shown = shownPart(file);
    LayoutLoad load;
    const ByteCounts counts = countBytes(shown);
    // Every byte outside ASCII of a file that is not UTF-8 may become a replacement
    // character, which takes three.
    const bool utf8 = counts.high == 0 || shown.isValidUtf8();
    const double invalidExtra = utf8 ? 0 : 2;
    load.bytes = shown.size();
    load.lines = 1 + counts.lf + counts.cr - counts.crlf;
    enum { Bytes, Lines, LongLines, Marks, Runs };
    double ns[] = {(double(load.bytes) + invalidExtra * double(counts.high)) * B::NsPerByte,
                   double(load.lines) * B::NsPerLine, 0, 0, 0};

    // Lines are looked at one by one only when there are few enough to fit. Besides
    // the long lines, opening lays out the lines at both ends of each text: those
    // next to a marker line, and the file's first and last.
    struct Line
    {
        QByteArrayView bytes;
        qsizetype number;
    };
    QList<Line> longLines, endLines;
    if (ns[Bytes] + ns[Lines] <= B::BudgetNs) {
        const QByteArray marker = FlightPlanMarker.toLatin1();
        qsizetype nextLf = -1, nextCr = counts.cr ? -1 : shown.size();
        qsizetype number = 0;
        Line previous{{}, 0};
        bool previousIsLong = false, afterMarker = true;
        for (qsizetype start = 0; start <= shown.size();) {
            ++number;
            if (nextLf < start) {
                nextLf = shown.indexOf('\n', start);
                nextLf = nextLf < 0 ? shown.size() : nextLf;
            }
            if (nextCr < start) {
                nextCr = shown.indexOf('\r', start);
                nextCr = nextCr < 0 ? shown.size() : nextCr;
            }
            const qsizetype end = qMin(nextLf, nextCr);
            const Line line{shown.sliced(start, end - start), number};
            const bool isLong = line.bytes.size() > B::LongLine
                && (!utf8 || line.bytes.size() - continuationBytes(line.bytes) > B::LongLine);
            if (isLong) {
                longLines.append(line);
                load.longLineBytes += line.bytes.size();
                if (line.bytes.size() > load.longestLine) {
                    load.longestLine = line.bytes.size();
                    load.longestLineNumber = number;
                }
            }
            const bool markerLine = end < shown.size() && line.bytes.endsWith(marker);
            const bool last = end == shown.size();
            if (markerLine && !previousIsLong && previous.number > 0
                && (endLines.isEmpty() || endLines.last().number != previous.number))
                endLines.append(previous);
            if ((afterMarker || markerLine || last) && !isLong)
                endLines.append(line);
            afterMarker = markerLine;
            previous = line;
            previousIsLong = isLong;
            start = end + 1 + (end + 1 < shown.size() && shown[end] == '\r' && shown[end + 1] == '\n');
        }
    }

    // The characters of long lines weigh as they shape: the first of them stand for
    // all, as many as the budget could lay out, so that this work stays bounded.
    QList<QString> decoded;
    double weighedBytes = 0, weighedWork = 0;
    const double weighLimit = B::BudgetNs / B::NsPerLongLineByte;
    for (const Line &line : std::as_const(longLines)) {
        if (weighedBytes > weighLimit)
            break;
        decoded.append(QString::fromUtf8(line.bytes));
        weighedBytes += double(line.bytes.size());
        for (char32_t c : QStringView(decoded.last()).toUcs4()) {
            const double size = double(utf8Size(c));
            weighedWork += shapingOf(c) == ShapingOf::Plain ? size : size * B::ComplexLineFactor;
        }
    }
    if (weighedBytes > 0)
        ns[LongLines] = double(load.longLineBytes) * (weighedWork / weighedBytes) * B::NsPerLongLineByte;

    // Combining marks stacked on one character are shaped as one cluster, each at a
    // cost that grows with the stack: a few cost next to nothing, thousands up to
    // 65 us each.
    if (ns[Bytes] + ns[Lines] + ns[LongLines] <= B::BudgetNs) {
        const auto countStacks = [&load](QStringView text, qsizetype number) {
            qsizetype stack = 0;
            for (qsizetype k = 0; k < text.size(); ++k) {
                if (!isMark(codePointAt(text, k))) {
                    stack = 0;
                    continue;
                }
                load.stackedMarks += ++stack > B::DeepStack;
                if (stack > load.deepestStack) {
                    load.deepestStack = stack;
                    load.deepestStackLine = number;
                }
            }
        };
        for (qsizetype i = 0; i < decoded.size(); ++i)
            countStacks(decoded[i], longLines[i].number);
        for (const Line &line : std::as_const(endLines))
            countStacks(QString::fromUtf8(line.bytes), line.number);
        ns[Marks] = double(load.stackedMarks) * B::NsPerStackedMark;
    }

    // Each wrapped line of a run scans the rest of it and the next run: the cost of
    // a run r followed by n is about r * (r + 2n) in units of one run's r * r. Runs
    // count their characters by weight.
    double charactersPerWeight = 1;
    if (ns[Bytes] + ns[Lines] + ns[LongLines] + ns[Marks] <= B::BudgetNs) {
        const auto weight = [](char32_t c) {
            switch (shapingOf(c)) {
            case ShapingOf::Plain:
                return 1.0;
            case ShapingOf::Complex:
                return B::ComplexRunFactor;
            case ShapingOf::VeryWide:
                return B::VeryWideRunFactor;
            }
            return 1.0;
        };
        double work = 0;
        double longestWeighed = 0;
        for (qsizetype i = 0; i < decoded.size(); ++i) {
            const QStringView line = decoded[i];
            double previous = 0;
            forEachRun(line, [&](qsizetype start, qsizetype length) {
                double run = 0;
                const QStringView piece = line.sliced(start, length);
                for (qsizetype k = 0; k < piece.size(); ++k)
                    run += weight(codePointAt(piece, k));
                work += previous * (previous + 2 * run);
                previous = run;
                if (length > load.longestRun) {
                    load.longestRun = length;
                    load.longestRunLine = longLines[i].number;
                    longestWeighed = run;
                }
            });
            work += previous * previous;
        }
        if (longestWeighed > 0)
            charactersPerWeight = double(load.longestRun) / longestWeighed;
        load.equivalentRun = qsizetype(std::sqrt(work) * charactersPerWeight);
        ns[Runs] = work * B::NsPerRunSquare;
    }
    load.ns = ns[Bytes] + ns[Lines] + ns[LongLines] + ns[Marks] + ns[Runs];
    if (load.ns <= B::BudgetNs)
        return load;

    // A part of the file shrinks with the rest of it: fewer lines hold fewer bytes. A
    // run shrinks alone.
    const double linear = ns[Bytes] + ns[Lines] + ns[LongLines] + ns[Marks];
    const double share = std::max(0.0, B::BudgetNs - ns[Runs]) / linear;
    switch (std::max_element(std::begin(ns), std::end(ns)) - std::begin(ns)) {
    case Bytes:
        load.exceeded = Refusal::TooLarge;
        load.allowed = qint64(double(load.bytes) * share);
        break;
    case Lines:
        load.exceeded = Refusal::ManyLines;
        load.allowed = qint64(double(load.lines) * share);
        break;
    case LongLines:
        load.exceeded = Refusal::LongLines;
        load.allowed = qint64(double(load.longLineBytes) * share);
        break;
    case Marks:
        load.exceeded = Refusal::StackedMarks;
        load.allowed = qint64(double(load.stackedMarks) * share);
        break;
    default:
        load.exceeded = Refusal::LongRuns;
        load.allowed = qint64(std::sqrt(std::max(0.0, B::BudgetNs - linear) / B::NsPerRunSquare) * charactersPerWeight);
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
    // Refusing looks at the bytes only, which takes a small part of the time that
    // decoding and splitting them would.
    read.load = layoutLoad(bytes);
    read.refused = read.load.exceeded;
    if (read.refused != Refusal::None || bytes.isEmpty())
        return result;
    read.sections = splitSections(ReplaceLineEndings(DefineEncoding(std::exchange(bytes, QByteArray())), EndOfLine));
    return result;
}

} // namespace hd
