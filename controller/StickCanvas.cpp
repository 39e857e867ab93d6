#include "StickCanvas.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

StickCanvas::StickCanvas(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void StickCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || mHeld) {
        event->ignore();
        return;
    }
    mHeld = true;
    mLastPos = event->position().toPoint();
    // Whatever else gets the mouse while the stick is held takes its release along.
    qApp->installEventFilter(this);
    emit MouseDown(mIndex, mLastPos);
}

void StickCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!mHeld) {
        event->ignore();
        return;
    }
    mLastPos = event->position().toPoint();
    emit MouseDrag(mIndex, mLastPos);
}

void StickCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !mHeld) {
        event->ignore();
        return;
    }
    letGo(event->position().toPoint());
}

void StickCanvas::letGo(QPoint pos)
{
    mHeld = false;
    qApp->removeEventFilter(this);
    emit MouseUp(mIndex, pos);
}

// A stick whose release never comes would keep the drone moving: when a dialog,
// another window or the window's own hiding takes the mouse or the keyboard, the
// stick is let go as if released.
bool StickCanvas::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
    case QEvent::Hide:
    case QEvent::UngrabMouse:
        if (mHeld)
            letGo(mLastPos);
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

// A click that reaches another window (a popup menu, say) means the release will
// never come here.
bool StickCanvas::eventFilter(QObject *watched, QEvent *event)
{
    if (mHeld && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
        && watched->isWidgetType() && static_cast<QWidget *>(watched)->window() != window())
        letGo(mLastPos);
    return false;
}

void StickCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(disc);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(disc);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0x00, 0x00));
    painter.drawEllipse(QRectF(mPointer.x() - 10, mPointer.y() - 10, 20, 20));
}
