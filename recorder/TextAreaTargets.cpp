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
// keeps CR LF a single line end. Replacing the text leaves no undo step behind.
void TextAreaTargets::setText(int kind, const QString &text)
{
    mAreas[kind]->setPlainText(hd::ReplaceLineEndings(text, hd::EndOfLine));
}

// Written with undo off, which also drops the history before it: a recorded command
// has gone to the drone, so Undo must neither take it back nor reach an older edit
// underneath it. The user's edits after it are undoable again.
void TextAreaTargets::append(int kind, const QString &piece)
{
    QPlainTextEdit *area = mAreas[kind];
    QTextDocument *document = area->document();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(hd::ReplaceLineEndings(piece, hd::EndOfLine));
    document->setUndoRedoEnabled(true);
    QScrollBar *bar = area->verticalScrollBar();
    bar->setValue(bar->maximum());
}
