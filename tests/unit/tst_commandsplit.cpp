#include "CommandSplit.h"

#include <QTest>

using namespace hd;

class tst_CommandSplit : public QObject
{
    Q_OBJECT

private slots:
    void firstWordAndRest_data();
    void firstWordAndRest();
    void firstAndSecondWord_data();
    void firstAndSecondWord();
};

void tst_CommandSplit::firstWordAndRest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("rest");

    QTest::newRow("takeoff") << "takeoff"
                             << "takeoff"
                             << "";
    QTest::newRow("cw 45") << "cw 45"
                           << "cw"
                           << "45";
    QTest::newRow("flip l") << "flip l"
                            << "flip"
                            << "l";
    QTest::newRow("battery?") << "battery?"
                              << "battery?"
                              << "";
    QTest::newRow("go") << "go 20 20 20 10"
                        << "go"
                        << "20 20 20 10";
    QTest::newRow("two spaces") << "up  20"
                                << "up"
                                << " 20";
    QTest::newRow("leading space") << " up 20"
                                   << ""
                                   << "up 20";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("trailing space") << "land "
                                    << "land"
                                    << "";
    QTest::newRow("only space") << " "
                                << ""
                                << "";
    QTest::newRow("tab does not separate") << "up\t20"
                                           << "up\t20"
                                           << "";
    QTest::newRow("non-breaking space does not separate") << QString::fromUtf8("up\xc2\xa0"
                                                                               "20")
                                                          << QString::fromUtf8("up\xc2\xa0"
                                                                               "20")
                                                          << "";
    QTest::newRow("stick command") << "rc -20 0 100 0"
                                   << "rc"
                                   << "-20 0 100 0";
}

void tst_CommandSplit::firstWordAndRest()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(QString, rest);
    QCOMPARE(splitFirstWordAndRest(text), (CommandWords{word, rest}));
}

void tst_CommandSplit::firstAndSecondWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("second");

    QTest::newRow("one word") << "takeoff"
                              << "takeoff"
                              << "";
    QTest::newRow("two words") << "cw 45"
                               << "cw"
                               << "45";
    QTest::newRow("further words dropped") << "go 20 30 40 10"
                                           << "go"
                                           << "20";
    QTest::newRow("two spaces give empty second") << "up  20"
                                                  << "up"
                                                  << "";
    QTest::newRow("leading space") << " up 20"
                                   << ""
                                   << "up";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void tst_CommandSplit::firstAndSecondWord()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(QString, second);
    QCOMPARE(splitFirstAndSecondWord(text), (CommandWords{word, second}));
}

QTEST_APPLESS_MAIN(tst_CommandSplit)
#include "tst_commandsplit.moc"
