#include "PlaybackList.h"

#include "TextHelpers.h"

#include <QStringView>

#include <cmath>
#include <limits>

namespace hd {

static_assert(PlaybackMaxWaitMs <= std::numeric_limits<int>::max());

QList<PlayStep> parsePlaybackList(const QString &plainList)
{
    QList<PlayStep> steps;
    const QString &eol = EndOfLine;
    qsizetype start = 0;
    while (start <= plainList.size()) {
        qsizetype end = plainList.indexOf(eol, start);
        if (end < 0)
            end = plainList.size();
        const QString line = plainList.mid(start, end - start);
        start = end + eol.size();
        if (line.isEmpty())
            continue;

        const QString colon = QStringLiteral(":");
        const double ticks = Val(NthField(NthField(line, colon, 2), QStringLiteral("WAIT"), 2));
        const double ms = std::trunc(ticks * double(PlaybackMsPerTick));
        qint64 waitMs = 0;
        // NaN and negative waits (only from hand edits) play as no wait at all.
        if (ms >= double(PlaybackMaxWaitMs))
            waitMs = PlaybackMaxWaitMs;
        else if (ms > 0)
            waitMs = qint64(ms);
        steps.append(PlayStep{NthField(line, colon, 1), waitMs});
    }
    return steps;
}

} // namespace hd
