#pragma once

#include <QBasicTimer>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <vector>

// The message log ResEF. A long line is shown as several paragraphs, so that an append
// lays out one short paragraph instead of the whole line; those breaks are the log's
// own and no characters of its text. logText() and everything the user copies (copy,
// cut, drag, the selection clipboard) leave them out; a selection of breaks alone holds
// nothing and is dropped, so copying it leaves the clipboard as it was. A triple-click
// selects a whole line of the log, all its paragraphs. What the user types stays as
// typed: an Enter is a line end, and deleting a break just joins its paragraphs.
class LogEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogEdit(QWidget *parent = nullptr);

    // Appends text, or inserts it before the line still open for an answer. No scrolling.
    void write(const QString &text, bool beforeLastLine);
    // The log's text between two document positions; to < 0: up to the end.
    QString logText(int from = 0, int to = -1) const;

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void addBreak(int position);
    bool isBreak(int position) const;
    void forgetDeletedBreaks();
    void dropSelectedBreaks();
    void selectWholeLines();

    // Each selects one separator of the log's own making, in document order. The
    // document moves them along with every edit; one whose separator is deleted collapses.
    std::vector<QTextCursor> mBreaks;
    // A press soon after a double-click, near it, is a triple-click, as the text
    // control itself times it; from then on the mouse selects whole lines.
    QBasicTimer mTripleClick;
    QPoint mDoubleClickAt;
    bool mSelectingLines = false;
};
