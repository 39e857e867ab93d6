// Records whole flights into plain strings and prints the cost per command, which
// must stay flat as flights grow ten- and a hundredfold.
#include "ManualClock.h"
#include "ProgramTextGenerator.h"
#include "StringTargets.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

struct Command
{
    const char *word;
    const char *argument;
};

constexpr Command Mix[] = {
    {"up", "20"},  {"cw", "45"},        {"forward", "50"}, {"battery?", ""},
    {"flip", "f"}, {"rc 0 20 0 0", ""}, {"speed", "50"},   {"curve", "20 20 20 40 40 40 30"},
};

qint64 recordFlight(int commands)
{
    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);
    QElapsedTimer timer;
    timer.start();
    generator.CreateIJList(QStringLiteral("takeoff"), QString());
    for (int i = 0; i < commands - 2; ++i) {
        clock.advance(7 + i % 50);
        const Command &c = Mix[i % (sizeof Mix / sizeof Mix[0])];
        generator.CreateIJList(QString::fromLatin1(c.word), QString::fromLatin1(c.argument));
    }
    clock.advance(30);
    generator.CreateIJList(QStringLiteral("land"), QString());
    const qint64 ns = timer.nsecsElapsed();
    if (texts.texts[hd::PlainList].isEmpty())
        std::puts("empty flight");
    return ns;
}

} // namespace

int main()
{
    recordFlight(1000); // warm-up
    std::printf("%10s %12s %14s\n", "commands", "ms/flight", "ns/command");
    for (int commands : {1000, 10000, 100000}) {
        const int runs = commands >= 100000 ? 3 : 10;
        qint64 best = -1;
        for (int r = 0; r < runs; ++r) {
            const qint64 ns = recordFlight(commands);
            if (best < 0 || ns < best)
                best = ns;
        }
        std::printf("%10d %12.2f %14.0f\n", commands, best / 1e6, double(best) / commands);
    }
    return 0;
}
