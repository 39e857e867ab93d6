#pragma once

#include <QtGlobal>

namespace hd {

// When the steps of a playback go out. Each step is planned its predecessor's wait
// after the predecessor's planned time, the first at the PLAY press, and the timer
// is armed for the time left until then: timer latency and the time spent sending
// and recording do not add up over a long list.
// A step that went out more than catchUpMs late (a blocked event loop, a suspended
// machine) re-bases the plan on the time it actually went out, so the wait after a
// command is never cut short by more than catchUpMs and the rest of the list is not
// sent in a burst.
// Times are kept in microseconds: a plan in whole milliseconds would make every
// step late by the fraction of a millisecond that passed before it was armed.
class PlaybackSchedule
{
public:
    static constexpr qint64 DefaultCatchUpMs = 50;

    explicit PlaybackSchedule(qint64 catchUpMs = DefaultCatchUpMs)
        : mCatchUpUs(catchUpMs * 1000)
    {
    }

    // The first step is planned for nowUs.
    void start(qint64 nowUs);

    // The step planned for plannedUs() went out at sentUs; the next one is planned
    // waitMs (negative counts as 0) after it.
    void stepSent(qint64 sentUs, qint64 waitMs);

    qint64 plannedUs() const { return mPlannedUs; }

    // Whole milliseconds from nowUs until the next planned step, rounded down (a
    // timer fires at or after its interval), clamped to what a timer takes (0 to INT_MAX).
    qint64 delayMsFrom(qint64 nowUs) const;

private:
    qint64 mCatchUpUs;
    qint64 mPlannedUs = 0;
};

} // namespace hd
