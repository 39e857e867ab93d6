#pragma once

#include <QList>
#include <QString>

namespace hd {

struct PlayStep
{
    QString command;
    qint64 waitMs = 0; // to wait after sending command; never negative
    bool operator==(const PlayStep &o) const { return command == o.command && waitMs == o.waitMs; }
};

// Milliseconds a recorded tick count is played as.
constexpr qint64 PlaybackMsPerTick = 17;

// The longest wait a step is played with (24 days): a timer's interval is an int
// of milliseconds, and a hand-edited wait may be any number.
constexpr qint64 PlaybackMaxWaitMs = qint64(24) * 24 * 60 * 60 * 1000;

// The queue that PLAY sends: one step per non-empty line of the plain command list.
// The command is the line up to its first ":", the wait the number after "WAIT"
// in the piece between the first and second ":", times 17 ms, truncated.
QList<PlayStep> parsePlaybackList(const QString &plainList);

} // namespace hd
