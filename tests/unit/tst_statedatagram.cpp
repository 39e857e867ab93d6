#include "StateDatagram.h"

#include <QTest>

using namespace hd;

using LabelTexts = QMap<int, QString>;

class tst_StateDatagram : public QObject
{
    Q_OBJECT

private slots:
    void labels_data();
    void labels();
    void fields_data();
    void fields();
};

namespace {

const char olderFirmware[] = "pitch:0;roll:1;yaw:0;vgx:0;vgy:0;vgz:0;templ:83;temph:85;tof:10;h:0;bat:83;"
                             "baro:-86.04;time:0;agx:-7.00;agy:-32.00;agz:-998.00;\r\n";
const char newerFirmware[] =
    "mid:-1;x:-100;y:-100;z:-100;mpry:-1,-1,-1;pitch:0;roll:0;yaw:0;vgx:0;vgy:0;vgz:0;"
    "templ:44;temph:47;tof:10;h:0;bat:88;baro:138.82;time:0;agx:9.00;agy:0.00;agz:-1000.00;\r\n";

} // namespace

void tst_StateDatagram::labels_data()
{
    QTest::addColumn<QString>("datagram");
    QTest::addColumn<LabelTexts>("expected");

    QTest::newRow("temperatures only") << "templ:60;temph:62;" << LabelTexts{{4, "60 - 62"}};
    QTest::newRow("attitude") << "pitch:1;roll:-2;yaw:30" << LabelTexts{{5, "pitch: 1\nroll: -2\nyaw: 30"}};
    QTest::newRow("value with colon") << "time:1:2" << LabelTexts{{2, "1"}};
    QTest::newRow("repeated key, later wins") << "bat:80;bat:79" << LabelTexts{{1, "79"}};
    QTest::newRow("empty value") << "bat:" << LabelTexts{{1, ""}};
    QTest::newRow("final separator only") << ";" << LabelTexts{};
    QTest::newRow("empty datagram") << "" << LabelTexts{};
    QTest::newRow("not a state datagram") << "hello world" << LabelTexts{};
    QTest::newRow("one key of two missing") << "templ:60" << LabelTexts{};
    QTest::newRow("one key of three missing") << "agx:1;agy:2;tof:5" << LabelTexts{{8, "5"}};
    QTest::newRow("key without colon present with empty value") << "h;bat:1" << LabelTexts{{1, "1"}, {3, ""}};
    QTest::newRow("upper-case keys") << "BAT:70;Tof:12" << LabelTexts{{1, "70"}, {8, "12"}};
    QTest::newRow("values not trimmed") << "bat: 70 ;h:1" << LabelTexts{{1, " 70 "}, {3, "1"}};
    QTest::newRow("keys not trimmed") << " bat:70" << LabelTexts{};
    QTest::newRow("older firmware") << QString::fromLatin1(olderFirmware)
                                    << LabelTexts{{1, "83"},
                                                  {2, "0"},
                                                  {3, "0"},
                                                  {4, "83 - 85"},
                                                  {5, "pitch: 0\nroll: 1\nyaw: 0"},
                                                  {6, "-86.04"},
                                                  {7, "agx: -7.00\nagy: -32.00\nagz: -998.00"},
                                                  {8, "10"}};
    QTest::newRow("newer firmware") << QString::fromLatin1(newerFirmware)
                                    << LabelTexts{{1, "88"},
                                                  {2, "0"},
                                                  {3, "0"},
                                                  {4, "44 - 47"},
                                                  {5, "pitch: 0\nroll: 0\nyaw: 0"},
                                                  {6, "138.82"},
                                                  {7, "agx: 9.00\nagy: 0.00\nagz: -1000.00"},
                                                  {8, "10"}};
    // Values stand as received; only the drone's own ";" keeps its CR LF out of a value.
    QTest::newRow("last field ends in CR LF without separator") << "tof:10\r\n" << LabelTexts{{8, "10\r\n"}};
}

void tst_StateDatagram::labels()
{
    QFETCH(QString, datagram);
    QFETCH(LabelTexts, expected);
    QCOMPARE(stateLabelTexts(datagram), expected);
}

void tst_StateDatagram::fields_data()
{
    QTest::addColumn<QString>("datagram");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("value");

    QTest::newRow("commas kept in value") << QString::fromLatin1(newerFirmware) << "mpry" << true << "-1,-1,-1";
    QTest::newRow("CR LF tail is its own key") << QString::fromLatin1(olderFirmware) << "\r\n" << true << "";
    QTest::newRow("empty field gives empty key") << "a:1;;b:2"
                                                 << "" << true << "";
    QTest::newRow("key lowered") << "AgZ:-1"
                                 << "agz" << true << "-1";
    QTest::newRow("non-ASCII key kept") << QString::fromUtf8("\xc3\x84:1") << QString::fromUtf8("\xc3\x84") << true
                                        << "1";
    QTest::newRow("absent") << "bat:1"
                            << "tof" << false << "";
}

void tst_StateDatagram::fields()
{
    QFETCH(QString, datagram);
    QFETCH(QString, key);
    QFETCH(bool, present);
    QFETCH(QString, value);
    const QHash<QString, QString> table = parseStateFields(datagram);
    QCOMPARE(table.contains(key), present);
    QCOMPARE(table.value(key), value);
}

QTEST_APPLESS_MAIN(tst_StateDatagram)
#include "tst_statedatagram.moc"
