#pragma once

#include <QtGlobal>

// When the steps of a playback go out. Each step is planned its predecessor's wait
// after the predecessor's planned time, the first at the PLAY press, and the timer
// is armed for the time left until then: timer latency and the time spent sending
// and recording do not add up over a long list.
// A step that went out more than catchUpMs late (a blocked event loop, a suspended
// machine) re-bases the plan on the time it actually went out, so the wait after a
// command is never cut short by more than catchUpMs and the rest of the list is not
// sent in a burst.
class PlaybackSchedule
{
public:
    static constexpr qint64 DefaultCatchUpMs = 50;

    explicit PlaybackSchedule(qint64 catchUpMs = DefaultCatchUpMs) : mCatchUpMs(catchUpMs) {}

    // The first step is planned for nowMs.
    void start(qint64 nowMs);

    // The step planned for plannedMs() went out at sentMs; the next one is planned
    // waitMs (negative counts as 0) after it.
    void stepSent(qint64 sentMs, qint64 waitMs);

    qint64 plannedMs() const { return mPlannedMs; }

    // Milliseconds from nowMs until the next planned step, clamped to what a timer
    // takes (0 to INT_MAX).
    qint64 delayFrom(qint64 nowMs) const;

private:
    qint64 mCatchUpMs;
    qint64 mPlannedMs = 0;
};
