#include "PlaybackSchedule.h"

#include <limits>

void PlaybackSchedule::start(qint64 nowMs)
{
    mPlannedMs = nowMs;
}

void PlaybackSchedule::stepSent(qint64 sentMs, qint64 waitMs)
{
    if (sentMs - mPlannedMs > mCatchUpMs)
        mPlannedMs = sentMs;
    mPlannedMs += qMax<qint64>(waitMs, 0);
}

qint64 PlaybackSchedule::delayFrom(qint64 nowMs) const
{
    return qBound(qint64(0), mPlannedMs - nowMs, qint64(std::numeric_limits<int>::max()));
}
