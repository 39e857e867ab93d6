#pragma once

#include "TargetTexts.h"

namespace hd {

class Clock;

// Turns every recorded command into up to six program-text lines: waits between
// the commands of a flight, a flight's opening and closing lines, and BASIC line
// numbers once the flight ends.
class ProgramTextGenerator
{
public:
    ProgramTextGenerator(TargetTexts &texts, const Clock &clock);

    // Later waits are measured on this clock; the recording state stays.
    void setClock(const Clock &clock) { mClock = &clock; }

    // One recorded command: its word as the caller split it and the argument text.
    void CreateIJList(const QString &word, const QString &argument);

    bool isRecording() const { return mIsRec; }
    qint64 recTick() const { return mRecTick; }

    // BASIC line numbers 10, 20, 30... in front of every line closed by a line end,
    // in place of the number a line already begins with (digits and one blank);
    // the piece after the last line end is dropped.
    static QString numberLines(const QString &text);

private:
    TargetTexts &mTexts;
    const Clock *mClock;
    bool mIsRec = false;
    qint64 mRecTick = 0;
};

} // namespace hd
