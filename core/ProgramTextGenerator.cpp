#include "ProgramTextGenerator.h"

#include "Clock.h"
#include "TextHelpers.h"

#include <QStringView>

namespace hd {

namespace {

const QString Quote = QStringLiteral("\"");

// The prefixes of the five BASIC texts; text 0 starts with the word itself.
const QString MjPrefix = QStringLiteral("?STR$(S);\"");
const QString QzPrefix = QStringLiteral("?\"QZ ");
const QString WqPrefix = QStringLiteral("?\"WQ ");
const QString QzQueuePrefix = QStringLiteral("?\"QZ Q");
const QString WqQueuePrefix = QStringLiteral("?\"WQ Q");

enum class Case { Command, Takeoff, Motion, EndOfFlight, Disconnect, Other };

struct Codes
{
    const char *word;
    // Appended to line texts 2..5 in that order.
    const char *qz, *wq, *qzQueue, *wqQueue;
};

// Tested in this order, the first match wins; "curve" and "go" behave like motions.
constexpr Codes MotionCodes[] = {
    {"left", "L", "L", "L", "L"},          {"right", "R", "R", "R", "R"},   {"forward", "F", "F", "F", "F"},
    {"back", "B", "B", "B", "B"},          {"up", "U", "U", "U", "U"},      {"down", "D", "D", "D", "D"},
    {"cw", "TR", "TR", "TR", "TR"},        {"ccw", "TL", "TL", "TL", "TL"}, {"flip", "FL", "FL", "FL", "FL"},
    {"curve", "curve", "curve", "C", "C"}, {"go", "go", "go", "G", "G"},
};

bool is(const QString &word, const char *caseWord)
{
    return SameText(word, QLatin1String(caseWord));
}

// The string literal of a printed command: the argument, if any, inside it.
QString closed(const QString &body, const QString &argument)
{
    if (argument.isEmpty())
        return body + Quote;
    return body + QLatin1Char(' ') + argument + Quote;
}

} // namespace

ProgramTextGenerator::ProgramTextGenerator(TargetTexts &texts, const Clock &clock)
    : mTexts(texts)
    , mClock(&clock)
{
}

void ProgramTextGenerator::CreateIJList(const QString &word, const QString &argument)
{
    const QString &eol = EndOfLine;
    const bool inFlight = mIsRec;

    QString wait;
    if (mIsRec) {
        wait = QStringLiteral(":WAIT") + Str(mClock->ticks() - mRecTick) + eol;
        mRecTick = mClock->ticks();
    }

    const QString prefix[TargetKindCount] = {word, MjPrefix + word, QzPrefix, WqPrefix, QzQueuePrefix, WqQueuePrefix};
    QString line[TargetKindCount];
    for (int i = 0; i < TargetKindCount; ++i)
        line[i] = mTexts.isEmpty(i) ? prefix[i] : wait + prefix[i];

    const QString upperArgument = argument.toUpper();
    const QString spacedArgument = argument.isEmpty() ? QString() : QLatin1Char(' ') + argument;

    Case kind = Case::Other;
    const Codes *motion = nullptr;
    if (is(word, "command")) {
        kind = Case::Command;
    } else if (is(word, "takeoff")) {
        kind = Case::Takeoff;
    } else {
        for (const Codes &codes : MotionCodes) {
            if (is(word, codes.word)) {
                motion = &codes;
                kind = Case::Motion;
                break;
            }
        }
        if (!motion) {
            if (is(word, "land") || is(word, "stop") || is(word, "emergency"))
                kind = Case::EndOfFlight;
            else if (is(word, "Disconnect"))
                kind = Case::Disconnect;
        }
    }

    bool endOfFlight = false;
    switch (kind) {
    case Case::Command:
        for (QString &l : line)
            l.clear();
        break;

    case Case::Takeoff:
        for (int i = 0; i < TargetKindCount; ++i)
            mTexts.setText(i, QString());
        mIsRec = true;
        mRecTick = mClock->ticks();
        line[PlainList] = QStringLiteral("command:WAIT30") + eol + word + spacedArgument;
        line[MixJuice] = QStringLiteral("S=\"MJ UDP 192.168.10.1 8889 \"") + eol + MjPrefix
            + QStringLiteral("command\"") + eol + closed(MjPrefix + QStringLiteral("takeoff"), argument);
        line[QzProgram] =
            QzPrefix + QStringLiteral("INIT\":WAIT30:") + eol + closed(QzPrefix + QStringLiteral("TO"), upperArgument);
        line[WqProgram] =
            WqPrefix + QStringLiteral("INIT\":WAIT30:") + eol + closed(WqPrefix + QStringLiteral("TO"), upperArgument);
        line[QzQueue].clear();
        line[WqQueue].clear();
        break;

    case Case::Motion:
        line[PlainList] += spacedArgument;
        line[MixJuice] = closed(line[MixJuice], argument);
        line[QzProgram] = closed(line[QzProgram] + QLatin1String(motion->qz), upperArgument);
        line[WqProgram] = closed(line[WqProgram] + QLatin1String(motion->wq), upperArgument);
        line[QzQueue] = closed(line[QzQueue] + QLatin1String(motion->qzQueue), upperArgument);
        line[WqQueue] = closed(line[WqQueue] + QLatin1String(motion->wqQueue), upperArgument);
        break;

    case Case::EndOfFlight:
    case Case::Disconnect:
        // The plain list keeps the command whole on its line: playback sends it as it
        // was sent, and the next command starts a line of its own. The programs'
        // closing statements take no argument.
        line[PlainList] += spacedArgument;
        if (kind == Case::EndOfFlight || mIsRec) {
            // Disconnect in a flight lands it: the network module sends "land".
            const QString landWord = kind == Case::EndOfFlight ? word : QStringLiteral("land");
            line[PlainList] += eol;
            line[MixJuice] = wait + MjPrefix + landWord + Quote + eol;
            line[QzProgram] = wait + QzPrefix + QStringLiteral("LD\"") + eol;
            line[WqProgram] = wait + WqPrefix + QStringLiteral("LD\"") + eol;
            line[QzQueue] = wait + QzQueuePrefix + QStringLiteral("RUN\"") + eol;
            line[WqQueue] = wait + WqQueuePrefix + QStringLiteral("RUN\"") + eol;
        } else {
            // Nothing lands and nothing is sent: the programs get no statement for it.
            for (int i = MixJuice; i <= WqQueue; ++i)
                line[i].clear();
        }
        mIsRec = false;
        endOfFlight = true;
        break;

    case Case::Other: {
        const QString body = word.endsWith(QLatin1Char('?')) ? QStringLiteral("? ") + word : word;
        line[PlainList] += spacedArgument;
        line[MixJuice] = closed(wait + MjPrefix + word, argument);
        line[QzProgram] = closed(wait + QzPrefix + body, upperArgument);
        line[WqProgram] = closed(wait + WqPrefix + body, upperArgument);
        line[QzQueue].clear();
        line[WqQueue].clear();
        break;
    }
    }

    // Outside a flight no wait closes a line, yet playback sends the plain list line
    // by line, and a BASIC line holds one statement: glued together, "up 20" and
    // "land" would go out as "up 20land", and the program would stop at a syntax
    // error. So each command has a line of its own, also after a last line that the
    // user or a file left unfinished; numbering would drop such a line, so it is
    // closed before numbering too. Within a flight the wait closes the lines.
    if (!inFlight && !mIsRec) {
        for (int i = 0; i < TargetKindCount; ++i) {
            const bool numbered = endOfFlight && i != PlainList;
            if (line[i].isEmpty() && !numbered)
                continue;
            if (!line[i].isEmpty() && !line[i].endsWith(eol))
                line[i] += eol;
            if (!mTexts.isEmpty(i) && !mTexts.endsWithLineEnd(i))
                line[i].prepend(eol);
        }
    }

    for (int i = 0; i < TargetKindCount; ++i) {
        if (!line[i].isEmpty())
            mTexts.append(i, line[i]);
    }

    if (endOfFlight) {
        for (int i = MixJuice; i <= WqQueue; ++i)
            mTexts.setText(i, numberLines(mTexts.text(i)));
    }
}

QString ProgramTextGenerator::numberLines(const QString &text)
{
    const QString &eol = EndOfLine;
    QString numbered;
    numbered.reserve(text.size() + text.size() / 4 + 16);
    qsizetype start = 0;
    qint64 number = 10;
    // Only lines closed by a line end are kept; the piece after the last one goes.
    for (qsizetype end; (end = text.indexOf(eol, start)) >= 0; start = end + eol.size()) {
        QStringView line = QStringView(text).mid(start, end - start);
        // A line numbered by an earlier end of flight gets its number replaced: two
        // numbers in front of a line are a syntax error in BASIC.
        qsizetype digits = 0;
        while (digits < line.size() && line[digits] >= u'0' && line[digits] <= u'9')
            ++digits;
        if (digits > 0 && digits < line.size() && line[digits] == u' ')
            line = line.mid(digits + 1);
        numbered += Str(number);
        numbered += QLatin1Char(' ');
        numbered += line;
        numbered += eol;
        number += 10;
    }
    return numbered;
}

} // namespace hd
