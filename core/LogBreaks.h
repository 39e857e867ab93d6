#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The message log lays out a whole paragraph again on every append, and a drone never
// answers a stick command, so one open line can gather thousands of them. The log
// therefore shows a long line as several paragraphs. Those breaks are its own, not
// characters of its text: whatever reads or copies the log joins them back.
namespace hd {

// About this many characters lay out in a tenth of a millisecond: a dozen lines of the log.
inline constexpr qsizetype LogParagraphLength = 1000;

// Offsets in text, ascending, before which the log starts a new paragraph when text
// follows `lead` characters of the paragraph it goes into. Before the text, when a line
// that the text leaves open would grow beyond `limit`; within the text, after the first
// blank at which its paragraph holds `limit` characters. A line end starts a new count.
QList<qsizetype> logBreaks(qsizetype lead, QStringView text, qsizetype limit = LogParagraphLength);

// The log's text from raw text of its document that starts at position `from`: the
// paragraph separators at the positions in breaks (ascending; those outside the raw
// text ignored) left out, the rest as the document's plain text gives them (separators
// become line ends, no-break spaces blanks).
QString joinLogText(QStringView raw, const QList<qsizetype> &breaks, qsizetype from = 0);

} // namespace hd
