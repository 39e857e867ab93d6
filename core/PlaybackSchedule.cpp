#include "PlaybackSchedule.h"

#include <limits>

namespace hd {

void PlaybackSchedule::start(qint64 nowUs)
{
    mPlannedUs = nowUs;
}

void PlaybackSchedule::stepSent(qint64 sentUs, qint64 waitMs)
{
    if (sentUs - mPlannedUs > mCatchUpUs)
        mPlannedUs = sentUs;
    mPlannedUs += qMax<qint64>(waitMs, 0) * 1000;
}

qint64 PlaybackSchedule::delayMsFrom(qint64 nowUs) const
{
    const qint64 leftUs = mPlannedUs - nowUs;
    return qBound(qint64(0), leftUs / 1000, qint64(std::numeric_limits<int>::max()));
}

} // namespace hd
