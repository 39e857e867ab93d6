#include "StickQuantiser.h"

#include "TextHelpers.h"

#include <QtNumeric>

#include <limits>

namespace hd {

int stickLevel(qint64 offsetFromCentre)
{
    // Truncating division makes the centre band 19 pixels wide (-9..9); clamping
    // after it keeps pointers far outside the canvas at full deflection.
    const qint64 band = offsetFromCentre / 10;
    if (band >= 5)
        return 100;
    if (band <= -5)
        return -100;
    return int(band * 20);
}

StickValues quantiseStick(qint64 x, qint64 y)
{
    // Saturating offsets: pointer coordinates near the qint64 limits must not overflow.
    auto offset = [](qint64 a, qint64 b) -> qint64 {
        qint64 r;
        if (qSubOverflow(a, b, &r))
            return a < b ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        return r;
    };
    return {stickLevel(offset(x, 50)), stickLevel(offset(50, y))};
}

QString stickCommand(StickValues right, StickValues left)
{
    return QStringLiteral("rc ") + Str(right.x) + u' ' + Str(right.y) + u' ' + Str(left.y) + u' ' + Str(left.x);
}

} // namespace hd
