// The generator takes whatever the command line sends. Feed it a sequence of
// words and arguments with arbitrary waits; it must never fault, the plain
// command list must only ever grow between a takeoff and the next one, and
// outside a flight no text is left with an unfinished last line for the next
// command to glue onto.
#include "ProgramTextGenerator.h"
#include "StringTargets.h"
#include "ManualClock.h"
#include "TextHelpers.h"

#include <QStringList>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);

    const QString input = hd::DefineEncoding(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const QStringList commands = input.split(QLatin1Char('\n'));
    for (const QString &command : commands) {
        if (!command.isEmpty())
            clock.advance(command.at(0).unicode() % 97);
        const int space = command.indexOf(QLatin1Char(' '));
        const QString word = space < 0 ? command : command.left(space);
        const QString argument = space < 0 ? QString() : command.mid(space + 1);
        const qsizetype before = texts.text(hd::PlainList).size();
        const bool takeoff = hd::SameText(word, QStringLiteral("takeoff"));
        generator.CreateIJList(word, argument);
        if (!takeoff && texts.text(hd::PlainList).size() < before)
            std::abort();
        for (int i = 0; i < hd::TargetKindCount && !generator.isRecording(); ++i) {
            if (!texts.isEmpty(i) && !texts.endsWithLineEnd(i))
                std::abort();
        }
    }
    return 0;
}
