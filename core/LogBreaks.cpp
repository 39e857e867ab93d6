#include "LogBreaks.h"

namespace hd {

QList<qsizetype> logBreaks(qsizetype lead, QStringView text, qsizetype limit)
{
    QList<qsizetype> breaks;
    qsizetype run = lead;
    // The line an answer completes stays in one piece: it is laid out once more, at most.
    if (lead > 0 && !text.isEmpty() && !text.contains(u'\n') && lead + text.size() > limit) {
        breaks.append(0);
        run = 0;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            run = 0;
            continue;
        }
        if (i > 0 && text[i - 1] == u' ' && run >= limit) {
            breaks.append(i);
            run = 0;
        }
        ++run;
    }
    return breaks;
}

QString joinLogText(QStringView raw, const QList<qsizetype> &breaks, qsizetype from)
{
    QString text;
    text.reserve(raw.size());
    qsizetype kept = 0; // raw up to here is in text
    for (qsizetype position : breaks) {
        const qsizetype at = position - from;
        if (at < 0 || at >= raw.size())
            continue;
        text += raw.mid(kept, at - kept);
        kept = at + 1;
    }
    text += raw.mid(kept);
    for (QChar &c : text) {
        switch (c.unicode()) {
        case 0xfdd0: // beginning of a frame
        case 0xfdd1: // end of a frame
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            c = u'\n';
            break;
        case QChar::Nbsp:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace hd
