#include "ManualClock.h"
#include "ProgramTextGenerator.h"
#include "StringTargets.h"

#include <QRegularExpression>
#include <QTest>

namespace {

// One recorded command at a tick, or the user leaving a text area holding the
// argument (kind >= 0), as typing or opening a plan does.
struct Step
{
    qint64 tick = 0;
    QString word;
    QString argument;
    int edited = -1;
};
using Script = QList<Step>;

Step at(qint64 tick, const QString &word, const QString &argument = QString())
{
    return Step{tick, word, argument, -1};
}

Step userLeaves(int kind, const QString &text)
{
    return Step{0, QString(), text, kind};
}

Step userEmpties(int kind)
{
    return userLeaves(kind, QString());
}

// A BASIC line holds one statement, or a print and its waits: anything else behind
// a closing quote is a syntax error before the program lands.
bool glued(const QString &numberedLine)
{
    bool quoted = false;
    for (qsizetype i = 0; i < numberedLine.size(); ++i) {
        if (numberedLine[i] != u'"')
            continue;
        quoted = !quoted;
        if (!quoted && i + 1 < numberedLine.size() && numberedLine[i + 1] != u':')
            return true;
    }
    return false;
}

// Every line followed by a line end.
QString lines(const QStringList &l)
{
    QString s;
    for (const QString &line : l)
        s += line + QLatin1Char('\n');
    return s;
}

// The last line still open, waiting for the next command's wait.
QString openLines(const QStringList &l)
{
    return l.join(QLatin1Char('\n'));
}

// The WQ texts are the QZ texts with WQ in place of QZ.
QString wq(const QString &qz)
{
    return QString(qz).replace(QStringLiteral("\"QZ "), QStringLiteral("\"WQ "));
}

QStringList six(const QString &plain, const QString &mj, const QString &qz, const QString &qzQueue)
{
    return {plain, mj, qz, wq(qz), qzQueue, wq(qzQueue)};
}

const QString MjHeader = QStringLiteral(R"(S="MJ UDP 192.168.10.1 8889 ")");
const QString MjCommand = QStringLiteral(R"(?STR$(S);"command")");
const QString QzInit = QStringLiteral(R"(?"QZ INIT":WAIT30:)");

QString firstDifference(int kind, const QString &actual, const QString &expected)
{
    const QStringList a = actual.split(QLatin1Char('\n'));
    const QStringList e = expected.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < qMax(a.size(), e.size()); ++i) {
        if (a.value(i, QStringLiteral("<none>")) != e.value(i, QStringLiteral("<none>")))
            return QStringLiteral("text %1, line %2:\n   actual: %3\n expected: %4")
                .arg(kind)
                .arg(i + 1)
                .arg(a.value(i, QStringLiteral("<none>")), e.value(i, QStringLiteral("<none>")));
    }
    return QStringLiteral("text %1 differs").arg(kind);
}

} // namespace

Q_DECLARE_METATYPE(Script)

class tst_ProgramTextGenerator : public QObject
{
    Q_OBJECT

private slots:
    void recordsFlights_data();
    void recordsFlights();
    void numbering_data();
    void numbering();
    void commandsAppendWithoutWholeTextAccess_data();
    void commandsAppendWithoutWholeTextAccess();
};

void tst_ProgramTextGenerator::recordsFlights_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("recording");

    QTest::newRow("worked flight up to the stick command")
        << Script{at(0, "command"),     at(200, "takeoff"),   at(500, "up", "20"),     at(620, "cw", "45"),
                  at(800, "flip", "f"), at(1000, "battery?"), at(1100, "speed", "50"), at(1150, "rc 0 20 0 0")}
        << six(openLines({"command:WAIT30", "takeoff:WAIT300", "up 20:WAIT120", "cw 45:WAIT180", "flip f:WAIT200",
                          "battery?:WAIT100", "speed 50:WAIT50", "rc 0 20 0 0"}),
               openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff":WAIT300)", R"(?STR$(S);"up 20":WAIT120)",
                          R"(?STR$(S);"cw 45":WAIT180)", R"(?STR$(S);"flip f":WAIT200)",
                          R"(?STR$(S);"battery?":WAIT100)", R"(?STR$(S);"speed 50":WAIT50)",
                          R"(?STR$(S);"rc 0 20 0 0")"}),
               openLines({QzInit, R"(?"QZ TO":WAIT300)", R"(?"QZ U 20":WAIT120)", R"(?"QZ TR 45":WAIT180)",
                          R"(?"QZ FL F":WAIT200)", R"(?"QZ ? battery?":WAIT100)", R"(?"QZ speed 50":WAIT50)",
                          R"(?"QZ rc 0 20 0 0")"}),
               openLines({R"(?"QZ QU 20":WAIT120)", R"(?"QZ QTR 45":WAIT180)", R"(?"QZ QFL F")"}))
        << true;

    // Outside a flight each command ends its own line; the queue texts take no query.
    QTest::newRow("queries before takeoff")
        << Script{at(10, "battery?"), at(20, "speed?")}
        << six("battery?\nspeed?\n", lines({R"(?STR$(S);"battery?")", R"(?STR$(S);"speed?")"}),
               lines({R"(?"QZ ? battery?")", R"(?"QZ ? speed?")"}), "")
        << false;

    // Every text of a plan saved without a final line end; the empty ones stay clean.
    QTest::newRow("commands start a line after an unfinished last line")
        << Script{userLeaves(0, "battery?:WAIT30\nspeed?"),
                  userLeaves(1, R"(10 ?STR$(S);"speed?")"),
                  userLeaves(2, R"(10 ?"QZ ? speed?")"),
                  userLeaves(4, R"(10 ?"QZ QU 20")"),
                  at(0, "sdk?"),
                  at(5, "up", "20"),
                  at(9, "land")}
        << QStringList{lines({"battery?:WAIT30", "speed?", "sdk?", "up 20", "land"}),
                       lines({R"(10 ?STR$(S);"speed?")", R"(20 ?STR$(S);"sdk?")", R"(30 ?STR$(S);"up 20")",
                              R"(40 ?STR$(S);"land")"}),
                       lines({R"(10 ?"QZ ? speed?")", R"(20 ?"QZ ? sdk?")", R"(30 ?"QZ U 20")", R"(40 ?"QZ LD")"}),
                       lines({R"(10 ?"WQ ? sdk?")", R"(20 ?"WQ U 20")", R"(30 ?"WQ LD")"}),
                       lines({R"(10 ?"QZ QU 20")", R"(20 ?"QZ QU 20")", R"(30 ?"QZ QRUN")"}),
                       lines({R"(10 ?"WQ QU 20")", R"(20 ?"WQ QRUN")"})}
        << false;

    QTest::newRow("takeoff clears what stood before")
        << Script{at(10, "battery?"), at(20, "speed?"), at(100, "takeoff")}
        << six(openLines({"command:WAIT30", "takeoff"}), openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff")"}),
               openLines({QzInit, R"(?"QZ TO")"}), "")
        << true;

    QTest::newRow("whole flight to land")
        << Script{at(900, "command"), at(1000, "takeoff"), at(1180, "up", "20"), at(1275, "battery?"), at(1515, "land")}
        << six(lines({"command:WAIT30", "takeoff:WAIT180", "up 20:WAIT95", "battery?:WAIT240", "land"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT180)",
                      R"(40 ?STR$(S);"up 20":WAIT95)", R"(50 ?STR$(S);"battery?":WAIT240)", R"(60 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT180)", R"(30 ?"QZ U 20":WAIT95)",
                      R"(40 ?"QZ ? battery?":WAIT240)", R"(50 ?"QZ LD")"}),
               lines({R"(10 ?"QZ QU 20":WAIT240)", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("second takeoff drops the flight so far")
        << Script{at(0, "takeoff"), at(50, "up", "20"), at(100, "takeoff"), at(160, "forward", "30")}
        << six(openLines({"command:WAIT30", "takeoff:WAIT60", "forward 30"}),
               openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff":WAIT60)", R"(?STR$(S);"forward 30")"}),
               openLines({QzInit, R"(?"QZ TO":WAIT60)", R"(?"QZ F 30")"}), R"(?"QZ QF 30")")
        << true;

    // Text 1 starts with the wait of a query even though it was empty; text 0 and
    // the queue text start clean; the queue text that kept its line loses the
    // query's wait.
    QTest::newRow("texts emptied by the user during a flight")
        << Script{at(0, "takeoff"), at(30, "up", "20"), userEmpties(0),      userEmpties(1),
                  userEmpties(4),   at(50, "battery?"), at(80, "left", "10")}
        << QStringList{openLines({"battery?:WAIT30", "left 10"}),
                       openLines({":WAIT20", R"(?STR$(S);"battery?":WAIT30)", R"(?STR$(S);"left 10")"}),
                       openLines({QzInit, R"(?"QZ TO":WAIT30)", R"(?"QZ U 20":WAIT20)", R"(?"QZ ? battery?":WAIT30)",
                                  R"(?"QZ L 10")"}),
                       openLines({R"(?"WQ INIT":WAIT30:)", R"(?"WQ TO":WAIT30)", R"(?"WQ U 20":WAIT20)",
                                  R"(?"WQ ? battery?":WAIT30)", R"(?"WQ L 10")"}),
                       R"(?"QZ QL 10")",
                       openLines({R"(?"WQ QU 20":WAIT30)", R"(?"WQ QL 10")"})}
        << true;

    QTest::newRow("Disconnect in a flight lands it")
        << Script{at(0, "takeoff"), at(60, "up", "20"), at(100, "Disconnect")}
        << six(lines({"command:WAIT30", "takeoff:WAIT60", "up 20:WAIT40", "Disconnect"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT60)",
                      R"(40 ?STR$(S);"up 20":WAIT40)", R"(50 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT60)", R"(30 ?"QZ U 20":WAIT40)", R"(40 ?"QZ LD")"}),
               lines({R"(10 ?"QZ QU 20":WAIT40)", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("Disconnect after a landing numbers once")
        << Script{at(0, "takeoff"), at(10, "land"), at(50, "Disconnect")}
        << six(lines({"command:WAIT30", "takeoff:WAIT10", "land", "Disconnect"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT10)", R"(40 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT10)", R"(30 ?"QZ LD")"}),
               lines({"10 :WAIT10", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("stop, land, Disconnect: one number per line")
        << Script{at(0, "command"), at(10, "takeoff"), at(40, "up", "20"),  at(55, "cw", "90"),
                  at(70, "stop"),   at(90, "land"),    at(95, "Disconnect")}
        << six(lines(
                   {"command:WAIT30", "takeoff:WAIT30", "up 20:WAIT15", "cw 90:WAIT15", "stop", "land", "Disconnect"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT30)",
                      R"(40 ?STR$(S);"up 20":WAIT15)", R"(50 ?STR$(S);"cw 90":WAIT15)", R"(60 ?STR$(S);"stop")",
                      R"(70 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT30)", R"(30 ?"QZ U 20":WAIT15)", R"(40 ?"QZ TR 90":WAIT15)",
                      R"(50 ?"QZ LD")", R"(60 ?"QZ LD")"}),
               lines({R"(10 ?"QZ QU 20":WAIT15)", R"(20 ?"QZ QTR 90":WAIT15)", R"(30 ?"QZ QRUN")", R"(40 ?"QZ QRUN")"}))
        << false;

    // Nothing lands: the programs get no line for it, and numbering keeps every line.
    QTest::newRow("Disconnect outside a flight")
        << Script{at(0, "battery?"), userLeaves(4, R"(10 ?"QZ QRUN")"), at(5, "Disconnect")}
        << QStringList{"battery?\nDisconnect\n",          lines({R"(10 ?STR$(S);"battery?")"}),
                       lines({R"(10 ?"QZ ? battery?")"}), lines({R"(10 ?"WQ ? battery?")"}),
                       lines({R"(10 ?"QZ QRUN")"}),       ""}
        << false;

    QTest::newRow("land with an argument, then a query")
        << Script{at(0, "takeoff"), at(20, "land", "now"), at(30, "battery?")}
        << six(lines({"command:WAIT30", "takeoff:WAIT20", "land now", "battery?"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT20)", R"(40 ?STR$(S);"land")",
                      R"(?STR$(S);"battery?")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT20)", R"(30 ?"QZ LD")", R"(?"QZ ? battery?")"}),
               lines({"10 :WAIT20", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("second land numbers every line once")
        << Script{at(0, "takeoff"), at(30, "up", "20"), at(40, "land"), at(90, "land")}
        << six(lines({"command:WAIT30", "takeoff:WAIT30", "up 20:WAIT10", "land", "land"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT30)",
                      R"(40 ?STR$(S);"up 20":WAIT10)", R"(50 ?STR$(S);"land")", R"(60 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT30)", R"(30 ?"QZ U 20":WAIT10)", R"(40 ?"QZ LD")",
                      R"(50 ?"QZ LD")"}),
               lines({R"(10 ?"QZ QU 20":WAIT10)", R"(20 ?"QZ QRUN")", R"(30 ?"QZ QRUN")"}))
        << false;

    // Hovering for a moment ends the flight; what follows has no waits but a line
    // and a number each, so every program runs to its landing.
    QTest::newRow("stop, then commands, then land")
        << Script{at(0, "command"),   at(5, "takeoff"),   at(10, "up", "20"), at(20, "stop"),
                  at(30, "up", "20"), at(35, "battery?"), at(40, "land")}
        << six(lines({"command:WAIT30", "takeoff:WAIT5", "up 20:WAIT10", "stop", "up 20", "battery?", "land"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT5)",
                      R"(40 ?STR$(S);"up 20":WAIT10)", R"(50 ?STR$(S);"stop")", R"(60 ?STR$(S);"up 20")",
                      R"(70 ?STR$(S);"battery?")", R"(80 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT5)", R"(30 ?"QZ U 20":WAIT10)", R"(40 ?"QZ LD")",
                      R"(50 ?"QZ U 20")", R"(60 ?"QZ ? battery?")", R"(70 ?"QZ LD")"}),
               lines({R"(10 ?"QZ QU 20":WAIT10)", R"(20 ?"QZ QRUN")", R"(30 ?"QZ QU 20")", R"(40 ?"QZ QRUN")"}))
        << false;

    // The closing lines of the program texts carry the wait even where the text
    // was empty; only the plain list starts clean.
    QTest::newRow("texts emptied by the user just before landing")
        << Script{at(0, "takeoff"), at(30, "up", "20"), userEmpties(0), userEmpties(1),
                  userEmpties(2),   userEmpties(4),     at(70, "land")}
        << QStringList{lines({"land"}),
                       lines({"10 :WAIT40", R"(20 ?STR$(S);"land")"}),
                       lines({"10 :WAIT40", R"(20 ?"QZ LD")"}),
                       lines(
                           {"10 " + wq(QzInit), R"(20 ?"WQ TO":WAIT30)", R"(30 ?"WQ U 20":WAIT40)", R"(40 ?"WQ LD")"}),
                       lines({"10 :WAIT40", R"(20 ?"QZ QRUN")"}),
                       lines({R"(10 ?"WQ QU 20":WAIT40)", R"(20 ?"WQ QRUN")"})}
        << false;

    QTest::newRow("stick commands, whole and as played back")
        << Script{at(0, "takeoff"), at(12, "rc 0 20 0 0"), at(20, "rc", "0"), at(25, "land")}
        << six(lines({"command:WAIT30", "takeoff:WAIT12", "rc 0 20 0 0:WAIT8", "rc 0:WAIT5", "land"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT12)",
                      R"(40 ?STR$(S);"rc 0 20 0 0":WAIT8)", R"(50 ?STR$(S);"rc 0":WAIT5)", R"(60 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT12)", R"(30 ?"QZ rc 0 20 0 0":WAIT8)",
                      R"(40 ?"QZ rc 0":WAIT5)", R"(50 ?"QZ LD")"}),
               lines({"10 :WAIT5", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("case words match in any letter case, texts keep it")
        << Script{at(0, "TAKEOFF"), at(20, "Up", "x"), at(50, "Land")}
        << six(lines({"command:WAIT30", "TAKEOFF:WAIT20", "Up x:WAIT30", "Land"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT20)",
                      R"(40 ?STR$(S);"Up x":WAIT30)", R"(50 ?STR$(S);"Land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT20)", R"(30 ?"QZ U X":WAIT30)", R"(40 ?"QZ LD")"}),
               lines({R"(10 ?"QZ QU X":WAIT30)", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("land right after takeoff")
        << Script{at(100, "takeoff"), at(160, "land")}
        << six(lines({"command:WAIT30", "takeoff:WAIT60", "land"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT60)", R"(40 ?STR$(S);"land")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT60)", R"(30 ?"QZ LD")"}),
               lines({"10 :WAIT60", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("stop closes like land")
        << Script{at(0, "takeoff"), at(7, "stop")}
        << six(lines({"command:WAIT30", "takeoff:WAIT7", "stop"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT7)", R"(40 ?STR$(S);"stop")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT7)", R"(30 ?"QZ LD")"}),
               lines({"10 :WAIT7", R"(20 ?"QZ QRUN")"}))
        << false;

    QTest::newRow("emergency closes like land")
        << Script{at(0, "takeoff"), at(3, "emergency")}
        << six(lines({"command:WAIT30", "takeoff:WAIT3", "emergency"}),
               lines({"10 " + MjHeader, "20 " + MjCommand, R"(30 ?STR$(S);"takeoff":WAIT3)",
                      R"(40 ?STR$(S);"emergency")"}),
               lines({"10 " + QzInit, R"(20 ?"QZ TO":WAIT3)", R"(30 ?"QZ LD")"}),
               lines({"10 :WAIT3", R"(20 ?"QZ QRUN")"}))
        << false;

    // The wait up to "command" is lost; the next wait counts from it.
    QTest::newRow("command in a flight adds nothing and resets the wait")
        << Script{at(0, "takeoff"), at(40, "up", "20"), at(100, "command", "x"), at(130, "down", "5")}
        << six(openLines({"command:WAIT30", "takeoff:WAIT40", "up 20:WAIT30", "down 5"}),
               openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff":WAIT40)", R"(?STR$(S);"up 20":WAIT30)",
                          R"(?STR$(S);"down 5")"}),
               openLines({QzInit, R"(?"QZ TO":WAIT40)", R"(?"QZ U 20":WAIT30)", R"(?"QZ D 5")"}),
               openLines({R"(?"QZ QU 20":WAIT30)", R"(?"QZ QD 5")"}))
        << true;

    QTest::newRow("command with an argument before takeoff changes nothing")
        << Script{at(0, "command", "x")} << six("", "", "", "") << false;

    QTest::newRow("motion without an argument still closes its literal")
        << Script{at(0, "takeoff"), at(10, "up"), at(25, "cw", "90")}
        << six(openLines({"command:WAIT30", "takeoff:WAIT10", "up:WAIT15", "cw 90"}),
               openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff":WAIT10)", R"(?STR$(S);"up":WAIT15)",
                          R"(?STR$(S);"cw 90")"}),
               openLines({QzInit, R"(?"QZ TO":WAIT10)", R"(?"QZ U":WAIT15)", R"(?"QZ TR 90")"}),
               openLines({R"(?"QZ QU":WAIT15)", R"(?"QZ QTR 90")"}))
        << true;

    QTest::newRow("curve and go queue like motions")
        << Script{at(0, "takeoff"), at(10, "curve", "20 20 20 40 40 40 30"), at(40, "go", "50 0 0 20 m1")}
        << six(openLines({"command:WAIT30", "takeoff:WAIT10", "curve 20 20 20 40 40 40 30:WAIT30", "go 50 0 0 20 m1"}),
               openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff":WAIT10)",
                          R"(?STR$(S);"curve 20 20 20 40 40 40 30":WAIT30)", R"(?STR$(S);"go 50 0 0 20 m1")"}),
               openLines({QzInit, R"(?"QZ TO":WAIT10)", R"(?"QZ curve 20 20 20 40 40 40 30":WAIT30)",
                          R"(?"QZ go 50 0 0 20 M1")"}),
               openLines({R"(?"QZ QC 20 20 20 40 40 40 30":WAIT30)", R"(?"QZ QG 50 0 0 20 M1")"}))
        << true;

    QTest::newRow("takeoff with an argument keeps it inside the literal")
        << Script{at(0, "takeoff", "a")}
        << six(openLines({"command:WAIT30", "takeoff a"}), openLines({MjHeader, MjCommand, R"(?STR$(S);"takeoff a")"}),
               openLines({QzInit, R"(?"QZ TO A")"}), "")
        << true;

    QTest::newRow("unknown and empty command words")
        << Script{at(0, "takeoff"), at(5, "cw45"), at(9, "")}
        << six("command:WAIT30\ntakeoff:WAIT5\ncw45:WAIT4\n",
               openLines(
                   {MjHeader, MjCommand, R"(?STR$(S);"takeoff":WAIT5)", R"(?STR$(S);"cw45":WAIT4)", R"(?STR$(S);"")"}),
               openLines({QzInit, R"(?"QZ TO":WAIT5)", R"(?"QZ cw45":WAIT4)", R"(?"QZ ")"}), "")
        << true;
}

void tst_ProgramTextGenerator::recordsFlights()
{
    QFETCH(Script, script);
    QFETCH(QStringList, expected);
    QFETCH(bool, recording);

    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);
    for (const Step &step : script) {
        if (step.edited >= 0) {
            texts.texts[step.edited] = step.argument;
            continue;
        }
        clock.set(step.tick);
        generator.CreateIJList(step.word, step.argument);
    }

    for (int kind = 0; kind < hd::TargetKindCount; ++kind) {
        const QString &actual = texts.texts[kind];
        QVERIFY2(actual == expected.at(kind), qPrintable(firstDifference(kind, actual, expected.at(kind))));
        if (kind == hd::PlainList)
            continue;
        static const QRegularExpression numbered(QStringLiteral("^\\d+ "));
        for (const QString &line : actual.split(QLatin1Char('\n')))
            QVERIFY2(!line.contains(numbered) || !glued(line), qPrintable(line));
    }
    QCOMPARE(generator.isRecording(), recording);
}

void tst_ProgramTextGenerator::numbering_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("numbered");

    QTest::newRow("empty stays empty") << ""
                                       << "";
    QTest::newRow("no line end becomes empty") << "?\"QZ "
                                               << "";
    QTest::newRow("one line") << "a\n"
                              << "10 a\n";
    QTest::newRow("unfinished last line dropped") << "a\nb"
                                                  << "10 a\n";
    QTest::newRow("empty lines keep their numbers") << "\na\n\n"
                                                    << "10 \n20 a\n30 \n";
    QTest::newRow("number replaced, not doubled") << "10 x\n20 y\n"
                                                  << "10 x\n20 y\n";
    QTest::newRow("renumbered from the top") << "30 x\n\n70 y\n"
                                             << "10 x\n20 \n30 y\n";
    QTest::newRow("only the first number and one blank go") << "10  x\n5 6 y\n"
                                                            << "10  x\n20 6 y\n";
    QTest::newRow("digits without a blank are text") << "100\n7x\n"
                                                     << "10 100\n20 7x\n";
    QTest::newRow("three-digit numbers have no fill")
        << QString("x\n").repeated(11)
        << lines({"10 x", "20 x", "30 x", "40 x", "50 x", "60 x", "70 x", "80 x", "90 x", "100 x", "110 x"});
}

void tst_ProgramTextGenerator::numbering()
{
    QFETCH(QString, text);
    QFETCH(QString, numbered);
    QCOMPARE(hd::ProgramTextGenerator::numberLines(text), numbered);
}

void tst_ProgramTextGenerator::commandsAppendWithoutWholeTextAccess_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("landed");

    QTest::newRow("motion") << "up"
                            << "20" << false;
    QTest::newRow("query") << "battery?"
                           << "" << false;
    QTest::newRow("stick") << "rc 0 20 0 0"
                           << "" << false;
    QTest::newRow("other with argument") << "speed"
                                         << "50" << false;
    QTest::newRow("command") << "command"
                             << "" << false;
    QTest::newRow("curve") << "curve"
                           << "20 20 20 40 40 40 30" << false;
    QTest::newRow("motion after landing") << "up"
                                          << "20" << true;
    QTest::newRow("query after landing") << "battery?"
                                         << "" << true;
}

// A text area hands out its whole text only as a copy, so a flight of n commands
// must not read or replace whole texts per command.
void tst_ProgramTextGenerator::commandsAppendWithoutWholeTextAccess()
{
    QFETCH(QString, word);
    QFETCH(QString, argument);
    QFETCH(bool, landed);

    StringTargets texts;
    ManualClock clock;
    hd::ProgramTextGenerator generator(texts, clock);
    generator.CreateIJList("takeoff", "");
    if (landed)
        generator.CreateIJList("land", "");
    texts.wholeTextReads = 0;
    texts.wholeTextWrites = 0;
    for (int i = 0; i < 3; ++i) {
        clock.advance(10);
        generator.CreateIJList(word, argument);
    }
    QCOMPARE(texts.wholeTextReads, 0);
    QCOMPARE(texts.wholeTextWrites, 0);
}

QTEST_APPLESS_MAIN(tst_ProgramTextGenerator)
#include "tst_programtextgenerator.moc"
