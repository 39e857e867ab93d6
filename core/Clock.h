#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace hd {

// Time in ticks, 60 per second. Injected wherever recorded waits are measured,
// so tests can drive time by hand.
class Clock
{
public:
    static constexpr qint64 TicksPerSecond = 60;

    virtual ~Clock() = default;
    virtual qint64 ticks() const = 0;
};

class SystemClock final : public Clock
{
public:
    SystemClock() { mTimer.start(); }
    qint64 ticks() const override { return mTimer.elapsed() * TicksPerSecond / 1000; }

    // The process-wide clock behind hd::Ticks().
    static const SystemClock &instance();

private:
    QElapsedTimer mTimer;
};

qint64 Ticks();

} // namespace hd
