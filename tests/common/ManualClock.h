#pragma once

#include "Clock.h"

// A clock that moves only when the test says so.
class ManualClock final : public hd::Clock
{
public:
    qint64 ticks() const override { return mTicks; }
    void set(qint64 ticks) { mTicks = ticks; }
    void advance(qint64 ticks) { mTicks += ticks; }

private:
    qint64 mTicks = 0;
};
