#pragma once

#include <QString>
#include <QtGlobal>

namespace hd {

struct StickValues
{
    int x = 0; // right positive
    int y = 0; // up positive
    bool operator==(const StickValues &o) const { return x == o.x && y == o.y; }
    bool operator!=(const StickValues &o) const { return !(*this == o); }
};

// One axis: offset from the stick centre (x - 50, or 50 - y), integer-divided by
// 10 toward zero, times 20, clamped to -100..100: eleven levels.
int stickLevel(qint64 offsetFromCentre);

// Pointer position in canvas pixels (any value, also outside the canvas).
StickValues quantiseStick(qint64 x, qint64 y);

// "rc " and right x, right y, left y, left x.
QString stickCommand(StickValues right, StickValues left);

} // namespace hd
