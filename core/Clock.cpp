#include "Clock.h"

const SystemClock &SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}

qint64 hd::Ticks()
{
    return SystemClock::instance().ticks();
}
