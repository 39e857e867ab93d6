#include "Clock.h"

namespace hd {

const SystemClock &SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}

qint64 Ticks()
{
    return SystemClock::instance().ticks();
}

} // namespace hd
