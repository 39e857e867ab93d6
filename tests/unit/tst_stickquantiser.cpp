#include "StickQuantiser.h"

#include <QTest>

#include <limits>

using namespace hd;

class tst_StickQuantiser : public QObject
{
    Q_OBJECT

private slots:
    void levels_data();
    void levels();
    void workedExamples_data();
    void workedExamples();
    void commandOrder();
};

void tst_StickQuantiser::levels_data()
{
    QTest::addColumn<qint64>("pointer");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");

    // Both ends of every band; the vertical axis is mirrored (up is positive).
    const struct
    {
        qint64 from, to;
        int level;
    } bands[] = {
        {-1000, 0, -100}, {1, 10, -80}, {11, 20, -60}, {21, 30, -40}, {31, 40, -20},    {41, 59, 0},
        {60, 69, 20},     {70, 79, 40}, {80, 89, 60},  {90, 99, 80},  {100, 1000, 100},
    };
    for (const auto &b : bands) {
        for (qint64 p : {b.from, b.to}) {
            QTest::addRow("%lld", static_cast<long long>(p)) << p << b.level << -b.level;
        }
    }
    QTest::newRow("qint64 max") << std::numeric_limits<qint64>::max() << 100 << -100;
    QTest::newRow("qint64 min") << std::numeric_limits<qint64>::min() << -100 << 100;
}

void tst_StickQuantiser::levels()
{
    QFETCH(qint64, pointer);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QCOMPARE(quantiseStick(pointer, 50).x, horizontal);
    QCOMPARE(quantiseStick(50, pointer).y, vertical);
}

void tst_StickQuantiser::workedExamples_data()
{
    QTest::addColumn<int>("stick");
    QTest::addColumn<qint64>("x");
    QTest::addColumn<qint64>("y");
    QTest::addColumn<QString>("command");

    QTest::newRow("right 60,50") << 0 << qint64(60) << qint64(50) << "rc 20 0 0 0";
    QTest::newRow("right 45,55") << 0 << qint64(45) << qint64(55) << "rc 0 0 0 0";
    QTest::newRow("right 99,0") << 0 << qint64(99) << qint64(0) << "rc 80 100 0 0";
    QTest::newRow("right 0,99") << 0 << qint64(0) << qint64(99) << "rc -100 -80 0 0";
    QTest::newRow("right 130,140") << 0 << qint64(130) << qint64(140) << "rc 100 -100 0 0";
    QTest::newRow("left 50,0") << 1 << qint64(50) << qint64(0) << "rc 0 0 100 0";
    QTest::newRow("left 35,65") << 1 << qint64(35) << qint64(65) << "rc 0 0 -20 -20";
    QTest::newRow("left -40,50") << 1 << qint64(-40) << qint64(50) << "rc 0 0 0 -100";
}

void tst_StickQuantiser::workedExamples()
{
    QFETCH(int, stick);
    QFETCH(qint64, x);
    QFETCH(qint64, y);
    QFETCH(QString, command);
    const StickValues moved = quantiseStick(x, y);
    const StickValues rest;
    QCOMPARE(stick == 0 ? stickCommand(moved, rest) : stickCommand(rest, moved), command);
}

void tst_StickQuantiser::commandOrder()
{
    QCOMPARE(stickCommand({1, 2}, {4, 3}), QStringLiteral("rc 1 2 3 4"));
}

QTEST_APPLESS_MAIN(tst_StickQuantiser)
#include "tst_stickquantiser.moc"
