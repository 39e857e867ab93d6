#include "LogEdit.h"

#include "LogBreaks.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

bool intact(const QTextCursor &separator)
{
    return separator.position() == separator.anchor() + 1;
}

} // namespace

LogEdit::LogEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    // The document knows no breaks of the log's own: undo would bring a deleted one back
    // as a line end of the text, and undoing an append would take back what was logged.
    setUndoRedoEnabled(false);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int) {
        if (removed > 0)
            forgetDeletedBreaks();
    });
    connect(this, &QPlainTextEdit::selectionChanged, this, &LogEdit::dropSelectedBreaks);
}

void LogEdit::write(const QString &text, bool beforeLastLine)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (beforeLastLine) {
        cursor.movePosition(QTextCursor::StartOfBlock);
        // The open line may fill several paragraphs: to its first.
        while (cursor.position() > 0 && isBreak(cursor.position() - 1))
            cursor.movePosition(QTextCursor::PreviousBlock);
    }
    const QList<qsizetype> breaks = hd::logBreaks(cursor.positionInBlock(), text);
    if (breaks.isEmpty()) {
        cursor.insertText(text);
        return;
    }
    cursor.beginEditBlock();
    qsizetype from = 0;
    for (qsizetype at : breaks) {
        cursor.insertText(text.mid(from, at - from));
        cursor.insertBlock();
        addBreak(cursor.position() - 1);
        from = at;
    }
    cursor.insertText(text.mid(from));
    cursor.endEditBlock();
}

QString LogEdit::logText(int from, int to) const
{
    QTextCursor range(document());
    range.setPosition(from);
    if (to < 0)
        range.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    else
        range.setPosition(to, QTextCursor::KeepAnchor);
    // Only the breaks about the range, found in document order: a selection in a long
    // log reads as fast as in a short one. Which of them fall inside is for the join.
    const auto before = [](const QTextCursor &c, int p) { return c.anchor() < p; };
    const auto after = [](int p, const QTextCursor &c) { return p < c.anchor(); };
    const auto first = std::lower_bound(mBreaks.begin(), mBreaks.end(), from, before);
    const auto last = std::upper_bound(first, mBreaks.end(), range.position(), after);
    QList<qsizetype> breaks;
    for (auto separator = first; separator != last; ++separator) {
        if (intact(*separator))
            breaks.append(separator->anchor());
    }
    return hd::joinLogText(range.selectedText(), breaks, from);
}

QMimeData *LogEdit::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    auto *mime = new QMimeData;
    mime->setText(logText(selection.selectionStart(), selection.selectionEnd()));
    return mime;
}

void LogEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        mTripleClick.start(QApplication::doubleClickInterval(), this);
        mDoubleClickAt = event->position().toPoint();
    }
}

void LogEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const bool triple = mTripleClick.isActive()
            && (event->position().toPoint() - mDoubleClickAt).manhattanLength() < QApplication::startDragDistance();
        // A shift-click after a triple-click extends by whole lines, as the text control does.
        mSelectingLines = triple || (mSelectingLines && event->modifiers() == Qt::ShiftModifier);
        mTripleClick.stop();
    }
    QPlainTextEdit::mousePressEvent(event);
    if (mSelectingLines)
        selectWholeLines();
}

void LogEdit::mouseMoveEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseMoveEvent(event);
    if (mSelectingLines && (event->buttons() & Qt::LeftButton))
        selectWholeLines();
}

void LogEdit::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == mTripleClick.timerId())
        mTripleClick.stop();
    else
        QPlainTextEdit::timerEvent(event);
}

// The text control selects the paragraphs under the mouse; a line of the log runs on
// over its breaks, and its line end comes with it as in any text area.
void LogEdit::selectWholeLines()
{
    QTextCursor selection = textCursor();
    if (!selection.hasSelection())
        return;
    QTextBlock first = document()->findBlock(selection.selectionStart());
    while (first.position() > 0 && isBreak(first.position() - 1))
        first = first.previous();
    QTextBlock last = document()->findBlock(selection.selectionEnd() - 1);
    while (last.next().isValid() && isBreak(last.position() + last.length() - 1))
        last = last.next();
    const int start = first.position();
    const int end = qMin(last.position() + last.length(), document()->characterCount() - 1);
    const bool forward = selection.position() >= selection.anchor();
    const int anchor = forward ? start : end, position = forward ? end : start;
    // Cursors compare by position alone: on a line's last paragraph the text control's
    // selection already ends where the line does, and only its anchor is short.
    if (selection.anchor() == anchor && selection.position() == position)
        return;
    selection.setPosition(anchor);
    selection.setPosition(position, QTextCursor::KeepAnchor);
    // The view stays where the user clicked, however far the line runs.
    const int scrolled = verticalScrollBar()->value();
    setTextCursor(selection);
    verticalScrollBar()->setValue(scrolled);
}

// Breaks alone hold none of the log's text: as nothing selected, they give nothing to
// copy, cut or drag, and the clipboard keeps what it held.
void LogEdit::dropSelectedBreaks()
{
    QTextCursor selection = textCursor();
    if (!selection.hasSelection())
        return;
    for (int at = selection.selectionStart(); at < selection.selectionEnd(); ++at) {
        if (!isBreak(at))
            return;
    }
    selection.clearSelection();
    setTextCursor(selection);
}

void LogEdit::addBreak(int position)
{
    QTextCursor separator(document());
    separator.setPosition(position);
    separator.setPosition(position + 1, QTextCursor::KeepAnchor);
    // Text typed right after the separator must not join the selection.
    separator.setKeepPositionOnInsert(true);
    const auto at = std::upper_bound(mBreaks.begin(), mBreaks.end(), position,
                                     [](int p, const QTextCursor &c) { return p < c.anchor(); });
    mBreaks.insert(at, separator);
}

bool LogEdit::isBreak(int position) const
{
    const auto at = std::lower_bound(mBreaks.begin(), mBreaks.end(), position,
                                     [](const QTextCursor &c, int p) { return c.anchor() < p; });
    return at != mBreaks.end() && at->anchor() == position && intact(*at);
}

void LogEdit::forgetDeletedBreaks()
{
    mBreaks.erase(std::remove_if(mBreaks.begin(), mBreaks.end(), [](const QTextCursor &c) { return !intact(c); }),
                  mBreaks.end());
}
