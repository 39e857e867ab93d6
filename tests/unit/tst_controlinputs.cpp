#include "CommandLink.h"
#include "ControlCaptions.h"
#include "VideoPlayer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace hd;

class tst_ControlInputs : public QObject
{
    Q_OBJECT

private slots:
    void portFromText_data();
    void portFromText();
    void destination_data();
    void destination();
    void rewriteCaption_data();
    void rewriteCaption();
    void comboNumber_data();
    void comboNumber();
    void boxTextFor_data();
    void boxTextFor();
    void playerArgumentsKeepFrameRateWhole_data();
    void playerArgumentsKeepFrameRateWhole();
    void lookUpPlayer_data();
    void lookUpPlayer();
};

void tst_ControlInputs::portFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("port");

    QTest::newRow("default") << "8889" << qint64(8889);
    QTest::newRow("fraction truncated") << "8889.7" << qint64(8889);
    QTest::newRow("not a number") << "port" << qint64(0);
    QTest::newRow("out of range kept") << "99999" << qint64(99999);
    QTest::newRow("negative kept") << "-1" << qint64(-1);
}

void tst_ControlInputs::portFromText()
{
    QFETCH(QString, text);
    QFETCH(qint64, port);
    QCOMPARE(hd::portFromText(text), port);
}

void tst_ControlInputs::destination_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<qint64>("port");
    QTest::addColumn<bool>("valid");

    QTest::newRow("loopback") << "127.0.0.2" << qint64(8889) << true;
    QTest::newRow("port -1") << "127.0.0.2" << qint64(-1) << false;
    QTest::newRow("port 0") << "127.0.0.2" << qint64(0) << true;
    QTest::newRow("port 65535") << "127.0.0.2" << qint64(65535) << true;
    QTest::newRow("port 65536") << "127.0.0.2" << qint64(65536) << false;
    QTest::newRow("port 99999") << "127.0.0.2" << qint64(99999) << false;
    QTest::newRow("all 255") << "127.255.255.255" << qint64(1) << true;
    QTest::newRow("all zero") << "0.0.0.0" << qint64(1) << true;
    QTest::newRow("part 256") << "127.0.0.256" << qint64(1) << false;
    QTest::newRow("three parts") << "127.0.1" << qint64(1) << false;
    QTest::newRow("five parts") << "127.0.0.1.1" << qint64(1) << false;
    QTest::newRow("empty part") << "127..0.1" << qint64(1) << false;
    QTest::newRow("trailing dot") << "127.0.0.1." << qint64(1) << false;
    QTest::newRow("leading blank") << " 127.0.0.2" << qint64(1) << false;
    QTest::newRow("trailing blank") << "127.0.0.2 " << qint64(1) << false;
    QTest::newRow("sign") << "+127.0.0.2" << qint64(1) << false;
    QTest::newRow("long part") << "0127.0.0.2" << qint64(1) << false;
    QTest::newRow("empty") << "" << qint64(1) << false;
    QTest::newRow("host name") << "localhost" << qint64(1) << false;
    QTest::newRow("hex-looking name") << "cafe" << qint64(1) << false;
    QTest::newRow("ipv6 loopback") << "::1" << qint64(1) << true;
    QTest::newRow("ipv6 any") << "::" << qint64(1) << true;
    QTest::newRow("ipv6 full") << "fe80:0:0:0:0:0:0:1" << qint64(1) << true;
    QTest::newRow("ipv6 trailing ::") << "fe80::" << qint64(1) << true;
    QTest::newRow("ipv6 mapped v4") << "::ffff:127.0.0.2" << qint64(1) << true;
    QTest::newRow("ipv6 two ::") << "1::2::3" << qint64(1) << false;
    QTest::newRow("ipv6 :::") << ":::" << qint64(1) << false;
    QTest::newRow("ipv6 lone colon") << ":" << qint64(1) << false;
    QTest::newRow("ipv6 leading single colon") << ":1::2" << qint64(1) << false;
    QTest::newRow("ipv6 trailing single colon") << "1::2:" << qint64(1) << false;
    QTest::newRow("ipv6 five hex digits") << "12345::1" << qint64(1) << false;
    QTest::newRow("ipv6 nine groups") << "1:2:3:4:5:6:7:8:9" << qint64(1) << false;
    QTest::newRow("ipv6 seven groups") << "1:2:3:4:5:6:7" << qint64(1) << false;
    QTest::newRow("ipv6 not hex") << "::g" << qint64(1) << false;
    QTest::newRow("ipv6 zone") << "fe80::1%lo" << qint64(1) << false;
    QTest::newRow("ipv6 bad v4 tail") << "::ffff:1.2.3" << qint64(1) << false;
    QTest::newRow("ipv6 v4 tail not last") << "::127.0.0.2:5" << qint64(1) << false;
    QTest::newRow("address with port") << "127.0.0.2:8889" << qint64(1) << false;
}

void tst_ControlInputs::destination()
{
    QFETCH(QString, address);
    QFETCH(qint64, port);
    QFETCH(bool, valid);
    QCOMPARE(isValidDestination(address, port), valid);
}

void tst_ControlInputs::rewriteCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("distance") << "forward 50"
                              << "120"
                              << "forward 120";
    QTest::newRow("angle") << "cw 45"
                           << "720"
                           << "cw 720";
    QTest::newRow("no number yet") << "up"
                                   << "20"
                                   << "up 20";
    QTest::newRow("extra words replaced") << "up 20 30"
                                          << "40"
                                          << "up 40";
    QTest::newRow("empty value") << "down 20"
                                 << ""
                                 << "down ";
}

void tst_ControlInputs::rewriteCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(hd::rewriteCaption(caption, value), expected);
}

void tst_ControlInputs::comboNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("number");

    QTest::newRow("plain") << "50" << qint64(50);
    QTest::newRow("leading zero") << "050" << qint64(50);
    QTest::newRow("fraction") << "75.9" << qint64(75);
    QTest::newRow("text") << "abc" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("number then text") << "120cm" << qint64(120);
}

void tst_ControlInputs::comboNumber()
{
    QFETCH(QString, text);
    QFETCH(qint64, number);
    QCOMPARE(hd::comboNumber(text), number);
}

void tst_ControlInputs::boxTextFor_data()
{
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<int>("sliderValue");
    QTest::addColumn<bool>("typing");
    QTest::addColumn<QString>("expected"); // "=": the box keeps its text

    QTest::newRow("slider moved") << "50" << 120 << false << "120";
    QTest::newRow("same number") << "120" << 120 << false << "=";
    QTest::newRow("leading zero entered whole") << "050" << 50 << false << "50";
    QTest::newRow("fraction entered whole") << "75.9" << 75 << false << "75";
    QTest::newRow("partial number while typing") << "1" << 20 << true << "=";
    QTest::newRow("above the range while typing") << "9999" << 500 << true << "=";
    QTest::newRow("pinned once editing ended") << "9999" << 500 << false << "500";
    QTest::newRow("emptied once editing ended") << "" << 20 << false << "20";
}

void tst_ControlInputs::boxTextFor()
{
    QFETCH(QString, boxText);
    QFETCH(int, sliderValue);
    QFETCH(bool, typing);
    QFETCH(QString, expected);
    QCOMPARE(hd::boxTextFor(boxText, sliderValue, typing).value_or(QStringLiteral("=")), expected);
}

void tst_ControlInputs::playerArgumentsKeepFrameRateWhole_data()
{
    QTest::addColumn<QString>("frameRate");

    QTest::newRow("default") << "90";
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << " 30 ";
    QTest::newRow("hostile") << "90; rm -rf ~";
}

void tst_ControlInputs::playerArgumentsKeepFrameRateWhole()
{
    QFETCH(QString, frameRate);
    const QStringList expected{"-probesize", "32", "-i", "udp://0.0.0.0:11111", "-framerate", frameRate};
    QCOMPARE(playerArguments(frameRate), expected);
}

void tst_ControlInputs::lookUpPlayer_data()
{
    QTest::addColumn<QStringList>("made");       // files; "/" at the end: a folder, "*": executable
    QTest::addColumn<QStringList>("searchPath"); // folders under the same root
    QTest::addColumn<QString>("expected");       // under the root; empty: none

    const QString bundled = "Quenbrast.app/Contents/Resources/ffplay";
    QTest::newRow("bundled player") << QStringList{bundled} << QStringList{} << bundled;
    QTest::newRow("player is a folder") << QStringList{bundled + "/"} << QStringList{} << bundled;
    QTest::newRow("other bundle name") << QStringList{"Other.app/Contents/Resources/ffplay"} << QStringList{}
                                       << QString();
    QTest::newRow("no resources") << QStringList{"Quenbrast.app/Contents/"} << QStringList{} << QString();
    QTest::newRow("player elsewhere in the bundle")
        << QStringList{"Quenbrast.app/Contents/Resources/", "Quenbrast.app/ffplay"} << QStringList{} << QString();
    QTest::newRow("nothing") << QStringList{} << QStringList{} << QString();
    QTest::newRow("bundle name case differs")
        << QStringList{"quenbrast.app/Contents/Resources/ffplay"} << QStringList{} << QString();
    QTest::newRow("system player on the search path")
        << QStringList{"usr/bin/ffplay*"} << QStringList{"bin", "usr/bin"} << "usr/bin/ffplay";
    QTest::newRow("first folder that holds one")
        << QStringList{"a/ffplay*", "b/ffplay*"} << QStringList{"b", "a"} << "b/ffplay";
    QTest::newRow("bundle before the search path")
        << QStringList{bundled, "usr/bin/ffplay*"} << QStringList{"usr/bin"} << bundled;
    QTest::newRow("not executable on the search path")
        << QStringList{"a/ffplay", "b/ffplay*"} << QStringList{"a", "b"} << "b/ffplay";
    QTest::newRow("folder named ffplay on the search path")
        << QStringList{"a/ffplay/", "b/ffplay*"} << QStringList{"a", "b"} << "b/ffplay";
    QTest::newRow("no search path") << QStringList{"usr/bin/ffplay*"} << QStringList{} << QString();
}

void tst_ControlInputs::lookUpPlayer()
{
    QFETCH(QStringList, made);
    QFETCH(QStringList, searchPath);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QDir base(root.path());
    for (QString entry : made) {
        const bool executable = entry.endsWith(u'*');
        if (executable)
            entry.chop(1);
        if (entry.endsWith(u'/')) {
            QVERIFY(base.mkpath(entry));
            continue;
        }
        QVERIFY(base.mkpath(QFileInfo(entry).path()));
        QFile file(base.filePath(entry));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(executable ? file.permissions() | QFile::ExeOwner
                                               : file.permissions() & ~(QFile::ExeOwner | QFile::ExeUser)));
    }
    QStringList folders;
    for (const QString &folder : searchPath)
        folders << base.filePath(folder);

    QCOMPARE(hd::lookUpPlayer(root.path(), folders), expected.isEmpty() ? QString() : base.absoluteFilePath(expected));
}

QTEST_GUILESS_MAIN(tst_ControlInputs)
#include "tst_controlinputs.moc"
