#pragma once

#include <QPoint>
#include <QWidget>

// One on-screen stick: reports press, drag and release to the controller window
// and paints the dot where the window last stored the pointer.
class StickCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit StickCanvas(QWidget *parent = nullptr);

    int index() const { return mIndex; }
    void setIndex(int index) { mIndex = index; }

    // Where the next paint draws the dot; does not repaint by itself.
    QPoint pointer() const { return mPointer; }
    void setPointer(QPoint pointer) { mPointer = pointer; }

signals:
    void MouseDown(int index, QPoint pos);
    void MouseDrag(int index, QPoint pos);
    void MouseUp(int index, QPoint pos);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void letGo(QPoint pos);

    int mIndex = 0;
    QPoint mPointer{50, 50};
    // Drags count only between our own press and release: the implicit grab
    // keeps delivering moves outside the canvas, but stray moves must not steer.
    bool mHeld = false;
    QPoint mLastPos;
};
