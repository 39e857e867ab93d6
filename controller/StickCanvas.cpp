#include "StickCanvas.h"

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
    emit MouseDown(mIndex, event->position().toPoint());
}

void StickCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!mHeld) {
        event->ignore();
        return;
    }
    emit MouseDrag(mIndex, event->position().toPoint());
}

void StickCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !mHeld) {
        event->ignore();
        return;
    }
    mHeld = false;
    emit MouseUp(mIndex, event->position().toPoint());
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
