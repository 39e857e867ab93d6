#include "TextAreaTargets.h"

#include "TextHelpers.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TextAreaTargets::TextAreaTargets(const std::array<QPlainTextEdit *, hd::TargetKindCount> &areas)
    : mAreas(areas)
{
}

bool TextAreaTargets::isEmpty(int kind) const
{
    return mAreas[kind]->document()->isEmpty();
}

bool TextAreaTargets::endsWithLineEnd(int kind) const
{
    // A line end starts a new block: the text ends with one when its last block is empty.
    const QTextDocument *document = mAreas[kind]->document();
    return document->blockCount() > 1 && document->lastBlock().length() == 1;
}

QString TextAreaTargets::text(int kind) const
{
    // toPlainText() would turn no-break spaces into blanks.
    QString raw = mAreas[kind]->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return raw;
}

// A text area breaks its blocks at CR, LF and CR LF alike; one "\n" per line end
// keeps CR LF a single line end.
void TextAreaTargets::setText(int kind, const QString &text)
{
    mAreas[kind]->setPlainText(hd::ReplaceLineEndings(text, hd::EndOfLine));
}

void TextAreaTargets::append(int kind, const QString &piece)
{
    QPlainTextEdit *area = mAreas[kind];
    QTextCursor cursor(area->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(hd::ReplaceLineEndings(piece, hd::EndOfLine));
    QScrollBar *bar = area->verticalScrollBar();
    bar->setValue(bar->maximum());
}
