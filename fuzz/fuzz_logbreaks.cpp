// The message log shows a long line as several paragraphs and joins them back for
// every read and copy, of the whole log or of any range of it: whatever the text,
// joining what was broken must read as the text never broken. The first four bytes
// set the open line's length, the paragraph limit and the range; the rest is the text.
#include "LogBreaks.h"

#include <cstdlib>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

// The document's raw text as the log writes it, with each line end a separator.
QString unbroken(const QString &text)
{
    QString raw = text;
    raw.replace(u'\n', QChar(QChar::ParagraphSeparator));
    return raw;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const qsizetype lead = data[0];
    const qsizetype limit = 1 + data[1] % 64;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4));
    const QList<qsizetype> breaks = hd::logBreaks(lead, text, limit);

    // Before a character, after a blank or before all of it, and never before a line end.
    for (qsizetype i = 0; i < breaks.size(); ++i) {
        const qsizetype at = breaks[i];
        check(at >= 0 && at < text.size() && (i == 0 || at > breaks[i - 1]));
        check(at == 0 ? lead > 0 : text[at - 1] == u' ');
        check(text[at] != u'\n');
    }

    // The document, somewhere in the log: a separator of the log's own at each break.
    const qsizetype documentStart = 1000;
    QString raw;
    QList<qsizetype> positions;
    for (qsizetype i = 0, next = 0; i < text.size(); ++i) {
        if (next < breaks.size() && breaks[next] == i) {
            positions.append(documentStart + raw.size());
            raw += QChar(QChar::ParagraphSeparator);
            ++next;
        }
        raw += text[i] == u'\n' ? QChar(QChar::ParagraphSeparator) : text[i];
    }
    check(hd::joinLogText(raw, positions, documentStart) == hd::joinLogText(unbroken(text), {}));

    // Any range, a break at either end included, reads as the same range of the text.
    const qsizetype from = data[2] * raw.size() / 255;
    const qsizetype to = from + data[3] * (raw.size() - from) / 255;
    const auto textIndex = [&](qsizetype rawIndex) {
        qsizetype before = 0;
        while (before < positions.size() && positions[before] < documentStart + rawIndex)
            ++before;
        return rawIndex - before;
    };
    const QString part = unbroken(text).mid(textIndex(from), textIndex(to) - textIndex(from));
    check(hd::joinLogText(QStringView(raw).mid(from, to - from), positions, documentStart + from)
          == hd::joinLogText(part, {}));
    return 0;
}
