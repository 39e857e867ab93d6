#include "CntWinFixture.h"
#include "CommandSplit.h"
#include "FileDialogs.h"
#include "HdTestMain.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Command and query buttons, the command line, the sliders and combo boxes, the
// mission-pad switch, the state stream and the video row.
class tst_CntWinControls : public QObject
{
    Q_OBJECT

    CntWinFixture f;

    QSlider *slider(const QString &name) const { return f.control<QSlider>(name); }
    QComboBox *combo(const QString &name) const { return f.control<QComboBox>(name); }
    // The box's text selected and replaced key by key, with the keyboard focus in it.
    QLineEdit *typeInto(const QString &name, const QString &keys) const
    {
        QLineEdit *box = combo(name)->lineEdit();
        f.win->activateWindow();
        if (!QTest::qWaitFor([this] { return QApplication::activeWindow() == f.win; }))
            qFatal("the controller window cannot be made active");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, keys);
        return box;
    }
    QStringList captions(int from, int to) const
    {
        QStringList list;
        for (int i = from; i <= to; ++i)
            list << f.comPB(i)->text();
        return list;
    }

private slots:
    void initTestCase()
    {
        f.open(28879);
        QVERIFY(f.startDrone());
        f.connectLink();
    }

    void init()
    {
        f.drone.clearScript();
        f.drone.clearReceived();
        f.clearLog();
        CntWinFixture::clearRecorded();
    }

    void controlsStandAtTheirPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");

        QTest::newRow("AddressEF") << "AddressEF" << QRect(73, 8, 107, 22);
        QTest::newRow("LocalPortEF") << "LocalPortEF" << QRect(231, 35, 62, 22);
        QTest::newRow("ConnPM") << "ConnPM" << QRect(310, 8, 100, 28);
        QTest::newRow("hidden SendToSelfCheck") << "SendToSelfCheck" << QRect(97, -65, 98, 20);
        QTest::newRow("hidden ConnPM1") << "ConnPM1" << QRect(349, -69, 70, 28);
        QTest::newRow("hidden LeavePM1") << "LeavePM1" << QRect(431, -69, 70, 28);
        QTest::newRow("ccw") << "ComPB_5" << QRect(20, 132, 100, 28);
        QTest::newRow("acceleration?") << "ComPB_23" << QRect(566, 308, 110, 28);
        QTest::newRow("sn?") << "ComPB_27" << QRect(578, 475, 100, 28);
        QTest::newRow("attitude label") << "StaLv_5" << QRect(678, 234, 80, 50);
        QTest::newRow("sn label") << "StaLv_11" << QRect(680, 477, 80, 20);
        QTest::newRow("ResEF") << "ResEF" << QRect(0, 368, 500, 163);
        QTest::newRow("CmdEF") << "CmdEF" << QRect(75, 343, 341, 22);
        QTest::newRow("SpeedSld") << "SpeedSld" << QRect(624, 76, 143, 23);
        QTest::newRow("dTa") << "dTa" << QRect(449, 76, 50, 20);
        QTest::newRow("aTa") << "aTa" << QRect(186, 77, 60, 20);
        QTest::newRow("PushButton1") << "PushButton1" << QRect(421, 343, 80, 20);
        QTest::newRow("MissionPadCB") << "MissionPadCB" << QRect(661, 428, 100, 20);
        QTest::newRow("right stick") << "acv_0" << QRect(380, 195, 100, 100);
        QTest::newRow("left stick") << "acv_1" << QRect(50, 195, 100, 100);
        QTest::newRow("StreamOnPM") << "StreamOnPM" << QRect(600, 8, 100, 28);
        QTest::newRow("frEF") << "frEF" << QRect(705, 35, 60, 22);
        QTest::newRow("PushButton3") << "PushButton3" << QRect(0, 530, 50, 20);
    }

    void controlsStandAtTheirPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QWidget *control = f.control<QWidget>(name);
        QCOMPARE(control->parentWidget(), f.win->centralWidget());
        QCOMPARE(control->geometry(), place);
    }

    void designTexts()
    {
        QCOMPARE(captions(0, 15),
                 QStringList({"command", "takeoff", "land", "stop", "cw 45", "ccw 45", "up 20", "down 20", "forward 50",
                              "back 50", "right 50", "left 50", "flip f", "flip b", "flip r", "flip l"}));
        QCOMPARE(captions(16, 27),
                 QStringList({"speed?", "battery?", "time?", "height?", "temp?", "attitude?", "baro?", "acceleration?",
                              "tof?", "wifi?", "sdk?", "sn?"}));
        QCOMPARE(slider("SpeedSld")->value(), 100);
        QVERIFY(!slider("SpeedSld")->hasTracking());
        QCOMPARE(slider("dSld")->value(), 50);
        QCOMPARE(slider("aSld")->value(), 45);
        QCOMPARE(combo("dTa")->currentText(), QStringLiteral("50"));
        QCOMPARE(combo("aTa")->count(), 1);
        QVERIFY(!combo("dTa")->completer());
        QCOMPARE(f.edit("frEF")->text(), QStringLiteral("90"));
        QCOMPARE(f.edit("ffplayEF")->text(), QString());
        QCOMPARE(f.win->ffplay(), QString());
        QVERIFY(!f.control<QCheckBox>("MissionPadCB")->isChecked());
        QVERIFY(!f.button("PushButton1")->isDefault());
    }

    void buttonsSendTheirCaption_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expectedLog");
        QTest::addColumn<int>("recordedKind");
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<QString>("label");

        // In this order: "takeoff" opens a flight that "land" ends. Where the plain
        // list cannot show how a command was split, the QZ text can.
        QTest::newRow("command") << 0 << "command: ok\n"
                                 << 0 << ""
                                 << "";
        QTest::newRow("takeoff") << 1 << "takeoff: ok\n"
                                 << 0 << "command:WAIT30\ntakeoff"
                                 << "";
        QTest::newRow("land") << 2 << "land: ok\n"
                              << 0 << "land\n"
                              << "";
        QTest::newRow("stop") << 3 << "stop: ok\n"
                              << 0 << "stop\n"
                              << "";
        const char *moves[][3] = {{"cw", "45", "TR"},   {"ccw", "45", "TL"},    {"up", "20", "U"},
                                  {"down", "20", "D"},  {"forward", "50", "F"}, {"back", "50", "B"},
                                  {"right", "50", "R"}, {"left", "50", "L"},    {"flip", "f", "FL"},
                                  {"flip", "b", "FL"},  {"flip", "r", "FL"},    {"flip", "l", "FL"}};
        for (int i = 4; i <= 15; ++i) {
            const QString word = QString::fromLatin1(moves[i - 4][0]);
            const QString arg = QString::fromLatin1(moves[i - 4][1]);
            QTest::addRow("%s %s", moves[i - 4][0], moves[i - 4][1])
                << i << word + u' ' + arg + ": ok\n"
                << 2 << QStringLiteral("?\"QZ %1 %2\"\n").arg(QLatin1String(moves[i - 4][2]), arg.toUpper()) << "";
        }
        const char *values[] = {"100.0",       "87",
                                "11s",         "15dm",
                                "85~88C",      "pitch:0\nroll:-1\nyaw:0\n",
                                "-102.865509", "agx:-5.00\nagy:7.00\nagz:-999.00\n",
                                "875mm",       "90",
                                "20",          "0TQDG7BEDB0E9P"};
        const QStringList queries = {"speed?", "battery?",      "time?", "height?", "temp?", "attitude?",
                                     "baro?",  "acceleration?", "tof?",  "wifi?",   "sdk?",  "sn?"};
        // "speed?" last: its answer must move from the label of the query before it.
        for (int i : {17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 16})
            QTest::addRow("%s", qPrintable(queries[i - 16]))
                << i << queries[i - 16] + ": " << 0 << queries[i - 16] + "\n"
                << values[i - 16];
    }

    void buttonsSendTheirCaption()
    {
        QFETCH(int, index);
        QFETCH(QString, expectedLog);
        QFETCH(int, recordedKind);
        QFETCH(QString, recorded);
        QFETCH(QString, label);
        const QString caption = f.comPB(index)->text();
        const qint64 staIdBefore = f.win->staId();

        f.click(f.comPB(index));
        QCOMPARE(f.win->staId(), index >= 16 ? index - 16 : staIdBefore);
        QCOMPARE(f.cmdLine(), caption);
        QCOMPARE(CntWinFixture::recorded(recordedKind), recorded);
        if (index >= 16)
            QTRY_COMPARE(f.staLv(index - 16)->text(), label);
        QTRY_COMPARE(f.log(), expectedLog);
        QCOMPARE(f.receivedBeforeMarker(), QStringList{caption});
    }

    void sendButtonSendsTheCommandLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("qz"); // the recorder's QZ text: only the argument is upper-cased
        QTest::addColumn<int>("label");  // the status label of a value answer; -1: the log

        QTest::newRow("query") << "battery?"
                               << "?\"QZ ? battery?\"" << 1;
        QTest::newRow("last query") << "sn?"
                                    << "?\"QZ ? sn?\"" << 11;
        QTest::newRow("query with a blank") << "tof? "
                                            << "?\"QZ ? tof?\"" << -1;
        QTest::newRow("other command") << "xyz ab cd"
                                       << "?\"QZ xyz AB CD\"" << -1;
        QTest::newRow("stick command") << "rc 10 -20 30 0"
                                       << "?\"QZ rc 10 -20 30 0\"" << -1;
        QTest::newRow("two spaces") << "up  20"
                                    << "?\"QZ U  20\"" << -1;
        QTest::newRow("leading space") << " up 20"
                                       << "?\"QZ  UP 20\"" << -1;
        QTest::newRow("trailing space") << "cw 30 "
                                        << "?\"QZ TR 30 \"" << -1;
        QTest::newRow("empty") << ""
                               << "?\"QZ \"" << -1;
    }

    void sendButtonSendsTheCommandLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, qz);
        QFETCH(int, label);
        f.drone.setAnswer(hd::splitFirstWordAndRest(text).word, "-1\r\n");
        f.edit("CmdEF")->setText(text);

        f.click("PushButton1");
        QCOMPARE(f.cmdLine(), text);
        // Outside a flight every command ends its own line.
        QCOMPARE(CntWinFixture::recorded(2), qz + u'\n');
        QCOMPARE(f.receivedBeforeMarker(), QStringList{text});
        // A typed query answers into its own label; any other value ends the log line.
        QTRY_COMPARE(f.log(), text + QStringLiteral(": ") + (label < 0 ? QStringLiteral("-1\n") : QString()));
        if (label >= 0)
            QTRY_COMPARE(f.staLv(label)->text(), QStringLiteral("-1"));
    }

    void speedSliderSendsOncePerChange_data()
    {
        QTest::addColumn<int>("key"); // 0: a drag of the thumb
        QTest::addColumn<int>("expected");

        QTest::newRow("arrow key") << int(Qt::Key_Left) << 99;
        QTest::newRow("page key") << int(Qt::Key_PageDown) << 80;
        QTest::newRow("drag") << 0 << 60;
    }

    void speedSliderSendsOncePerChange()
    {
        QFETCH(int, key);
        QFETCH(int, expected);
        QSlider *speed = slider("SpeedSld");
        if (speed->value() != 100) {
            speed->setValue(100);
            QTRY_COMPARE(f.log(), QStringLiteral("Change Speed: ok\n"));
            f.clearLog();
            (void)f.receivedBeforeMarker();
        }
        f.edit("CmdEF")->setText(QStringLiteral("kept"));

        if (key) {
            QTest::keyClick(speed, Qt::Key(key));
        } else {
            speed->setSliderDown(true);
            for (int v : {90, 75, expected})
                speed->setSliderPosition(v);
            speed->setSliderDown(false);
        }
        QCOMPARE(speed->value(), expected);
        QTRY_COMPARE(f.log(), QStringLiteral("Change Speed: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("speed %1").arg(expected)});
        QCOMPARE(f.cmdLine(), QStringLiteral("kept"));
        QCOMPARE(CntWinFixture::recorded(0), QString());
    }

    void distanceSliderRewritesCaptionsAndCombo()
    {
        slider("dSld")->setValue(120);
        QCOMPARE(captions(6, 11),
                 QStringList({"up 120", "down 120", "forward 120", "back 120", "right 120", "left 120"}));
        QCOMPARE(combo("dTa")->currentText(), QStringLiteral("120"));
        QCOMPARE(captions(4, 5), QStringList({"cw 45", "ccw 45"}));

        f.click(f.comPB(8));
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("forward 120")});
        QCOMPARE(CntWinFixture::recorded(2), QStringLiteral("?\"QZ F 120\"\n"));
        QTRY_COMPARE(f.log(), QStringLiteral("forward 120: ok\n"));
    }

    void pickingTheListItemSetsTheDistance()
    {
        slider("dSld")->setValue(120);
        QComboBox *dTa = combo("dTa");
        dTa->showPopup();
        QAbstractItemView *view = dTa->view();
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(view->model()->index(0, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        QTRY_COMPARE(dTa->currentText(), QStringLiteral("50"));
        QCOMPARE(slider("dSld")->value(), 50);
        QCOMPARE(captions(6, 11), QStringList({"up 50", "down 50", "forward 50", "back 50", "right 50", "left 50"}));
    }

    void comboTextMirrorsIntoTheSlider_data()
    {
        QTest::addColumn<QString>("combo");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("textAfter");
        QTest::addColumn<QString>("caption"); // of ComPB 6 (distance) or 4 (angle)

        QTest::newRow("050 at 120") << "dTa" << 120 << "050" << 50 << "50"
                                    << "up 50";
        QTest::newRow("050 at 50 stays") << "dTa" << 50 << "050" << 50 << "050"
                                         << "up 50";
        QTest::newRow("fraction") << "dTa" << 50 << "75.9" << 75 << "75"
                                  << "up 75";
        QTest::newRow("120 stays") << "dTa" << 50 << "120" << 120 << "120"
                                   << "up 120";
        // The slider pins to its range and the pinned value is written back.
        QTest::newRow("below minimum") << "dTa" << 50 << "1" << 20 << "20"
                                       << "up 20";
        QTest::newRow("above maximum") << "dTa" << 50 << "9999" << 500 << "500"
                                       << "up 500";
        QTest::newRow("no number") << "dTa" << 50 << "abc" << 20 << "20"
                                   << "up 20";
        QTest::newRow("angle") << "aTa" << 45 << "90" << 90 << "90"
                               << "cw 90";
        QTest::newRow("angle negative") << "aTa" << 45 << "-5" << 1 << "1"
                                        << "cw 1";
    }

    void comboTextMirrorsIntoTheSlider()
    {
        QFETCH(QString, combo);
        QFETCH(int, before);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, textAfter);
        QFETCH(QString, caption);
        const bool distance = combo == QLatin1String("dTa");
        QSlider *partner = slider(distance ? "dSld" : "aSld");
        partner->setValue(before);

        this->combo(combo)->setEditText(text);
        QCOMPARE(partner->value(), value);
        QCOMPARE(this->combo(combo)->currentText(), textAfter);
        QCOMPARE(f.comPB(distance ? 6 : 4)->text(), caption);
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
        QCOMPARE(f.log(), QString());
    }

    // Typed key by key, as a user does: the box keeps every key while the user
    // types, the slider pins what lies outside its range, and once editing ends the
    // box shows what the buttons send.
    void typingIntoTheBoxes_data()
    {
        QTest::addColumn<QString>("combo");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("end"); // "typing", "return" or "focus leaves"
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<int>("value");

        QTest::newRow("120 from 50") << "dTa" << 50 << "120"
                                     << "typing"
                                     << "120" << 120;
        QTest::newRow("75 from 50") << "dTa" << 50 << "75"
                                    << "return"
                                    << "75" << 75;
        QTest::newRow("20 from 500") << "dTa" << 500 << "20"
                                     << "focus leaves"
                                     << "20" << 20;
        QTest::newRow("500 from 20") << "dTa" << 20 << "500"
                                     << "typing"
                                     << "500" << 500;
        QTest::newRow("angle 1 from 45") << "aTa" << 45 << "1"
                                         << "return"
                                         << "1" << 1;
        QTest::newRow("angle 720 from 1") << "aTa" << 1 << "720"
                                          << "typing"
                                          << "720" << 720;
        QTest::newRow("below the range, still typing") << "dTa" << 50 << "5"
                                                       << "typing"
                                                       << "5" << 20;
        QTest::newRow("below the range, Return") << "dTa" << 50 << "5"
                                                 << "return"
                                                 << "20" << 20;
        QTest::newRow("above the range, focus leaves") << "dTa" << 50 << "9999"
                                                       << "focus leaves"
                                                       << "500" << 500;
        QTest::newRow("leading zero, Return") << "dTa" << 120 << "050"
                                              << "return"
                                              << "50" << 50;
        QTest::newRow("angle 0, focus leaves") << "aTa" << 90 << "0"
                                               << "focus leaves"
                                               << "1" << 1;
    }

    void typingIntoTheBoxes()
    {
        QFETCH(QString, combo);
        QFETCH(int, start);
        QFETCH(QString, keys);
        QFETCH(QString, end);
        QFETCH(QString, boxText);
        QFETCH(int, value);
        const bool distance = combo == QLatin1String("dTa");
        slider(distance ? "dSld" : "aSld")->setValue(start);
        QLineEdit *box = typeInto(combo, keys);
        if (end == QLatin1String("return"))
            QTest::keyClick(box, Qt::Key_Return);
        else if (end == QLatin1String("focus leaves"))
            f.edit("CmdEF")->setFocus();

        QCOMPARE(box->text(), boxText);
        QCOMPARE(slider(distance ? "dSld" : "aSld")->value(), value);
        const int button = distance ? 8 : 4;
        f.click(f.comPB(button));
        const QString sent = (distance ? QStringLiteral("forward ") : QStringLiteral("cw ")) + QString::number(value);
        QCOMPARE(f.receivedBeforeMarker(), QStringList{sent});
        QCOMPARE(f.comPB(distance ? 11 : 5)->text().section(u' ', 1), QString::number(value));
    }

    // Every whole number of each range, each typed over the one before.
    void everyNumberInRangeTypesAsItself()
    {
        for (const auto &[combo, first, last] : {std::tuple{"dTa", 20, 500}, std::tuple{"aTa", 1, 720}}) {
            QSlider *partner = slider(QLatin1String(combo) == QLatin1String("dTa") ? "dSld" : "aSld");
            for (int n = first; n <= last; ++n) {
                QLineEdit *box = typeInto(QLatin1String(combo), QString::number(n));
                QCOMPARE(box->text(), QString::number(n));
                QCOMPARE(partner->value(), n);
            }
        }
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
    }

    void angleSliderSendsNothing()
    {
        slider("aSld")->setValue(90);
        QCOMPARE(captions(4, 5), QStringList({"cw 90", "ccw 90"}));
        QCOMPARE(combo("aTa")->currentText(), QStringLiteral("90"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
        QCOMPARE(f.log(), QString());
    }

    void missionPadSwitch()
    {
        auto *pad = f.control<QCheckBox>("MissionPadCB");
        f.edit("CmdEF")->setText(QStringLiteral("kept"));
        f.click(pad);
        QTRY_COMPARE(f.log(), QStringLiteral("mon: ok\n"));
        f.click(pad);
        QTRY_COMPARE(f.log(), QStringLiteral("mon: ok\nmoff: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList({"mon", "moff"}));
        QCOMPARE(f.cmdLine(), QStringLiteral("kept"));
        QCOMPARE(CntWinFixture::recorded(0), QString());
        QCOMPARE(CntWinFixture::recorded(1), QString());
    }

    void eduCheckBoxDoesNothing()
    {
        f.click(f.control<QCheckBox>("EduCB"));
        QVERIFY(f.control<QCheckBox>("EduCB")->isChecked());
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
        QCOMPARE(f.log(), QString());
    }

    void stateDatagramsFillLabelsOneToEight_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QStringList>("labels"); // 0..11; "=" keeps the text before

        const QString keep = QStringLiteral("=");
        QTest::newRow("real drone, CR LF")
            << QByteArray("pitch:0;roll:1;yaw:0;vgx:0;vgy:0;vgz:0;templ:83;temph:85;tof:10;h:0;bat:83;"
                          "baro:-86.04;time:0;agx:-7.00;agy:-32.00;agz:-998.00;\r\n")
            << QStringList({keep, "83", "0", "0", "83 - 85", "pitch: 0\nroll: 1\nyaw: 0", "-86.04",
                            "agx: -7.00\nagy: -32.00\nagz: -998.00", "10", keep, keep, keep});
        QTest::newRow("temperatures only")
            << QByteArray("templ:60;temph:62;")
            << QStringList({keep, keep, keep, keep, "60 - 62", keep, keep, keep, keep, keep, keep, keep});
        QTest::newRow("value with colon, repeated key, empty value")
            << QByteArray("time:1:2;h:5;h:6;bat:")
            << QStringList({keep, "", "1", "6", keep, keep, keep, keep, keep, keep, keep, keep});
    }

    void stateDatagramsFillLabelsOneToEight()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QStringList, labels);
        QStringList before;
        for (int i = 0; i < 12; ++i) {
            f.staLv(i)->setText(QStringLiteral("before %1").arg(i));
            before << f.staLv(i)->text();
        }
        QVERIFY(f.drone.sendState(datagram));
        QTRY_VERIFY(f.staLv(4)->text() != before[4] || f.staLv(2)->text() != before[2]);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(f.staLv(i)->text(), labels[i] == QLatin1String("=") ? before[i] : labels[i]);
    }

    void queryAnswerAndStateOverwriteEachOther()
    {
        f.drone.setAnswer(QStringLiteral("battery?"), "55\r\n");
        QVERIFY(f.drone.sendState("bat:70;"));
        QTRY_COMPARE(f.staLv(1)->text(), QStringLiteral("70"));
        f.click(f.comPB(17));
        QTRY_COMPARE(f.staLv(1)->text(), QStringLiteral("55"));
        QVERIFY(f.drone.sendState("bat:69;"));
        QTRY_COMPARE(f.staLv(1)->text(), QStringLiteral("69"));
    }

    void hiddenButtonsOpenAndCloseOnlyTheStateSocket()
    {
        QUdpSocket *udpr = f.socket("udpr");
        f.button("LeavePM1")->click();
        QCOMPARE(udpr->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(f.linkBound());
        f.button("ConnPM1")->click();
        QCOMPARE(udpr->state(), QAbstractSocket::BoundState);
        QCOMPARE(udpr->localPort(), quint16(8890));
        QCOMPARE(f.log(), QString());
    }

    void selectSetsThePlayerUnlessCancelled()
    {
        QString offered;
        FileDialogs::setTestHooks({[&](const QString &type) { return offered = type, QString(); }, {}, {}});
        f.click("PushButton2");
        QCOMPARE(offered, QStringLiteral("anytype"));
        QCOMPARE(f.win->ffplay(), QString());

        FileDialogs::setTestHooks({[](const QString &) { return QStringLiteral("/opt/player/ffplay"); }, {}, {}});
        f.click("PushButton2");
        FileDialogs::setTestHooks({});
        QCOMPARE(f.win->ffplay(), QStringLiteral("/opt/player/ffplay"));
        QCOMPARE(f.edit("ffplayEF")->text(), QStringLiteral("/opt/player/ffplay"));
    }

    void streamOnStartsThePlayerWithoutAShell_data()
    {
        QTest::addColumn<QString>("frameRate");

        QTest::newRow("default") << "90";
        QTest::newRow("empty") << "";
        QTest::newRow("hostile") << "90; touch %1/pwned";
        QTest::newRow("hostile substitution") << "$(touch %1/pwned)";
    }

    void streamOnStartsThePlayerWithoutAShell()
    {
        QFETCH(QString, frameRate);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (frameRate.contains(QLatin1String("%1")))
            frameRate = frameRate.arg(dir.path());
        const QString player = dir.filePath(QStringLiteral("player"));
        QFile script(player);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n"
                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.tmp\"\n"
                     "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"\n"
                     "exec sleep 30\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        FileDialogs::setTestHooks({[&](const QString &) { return player; }, {}, {}});
        f.click("PushButton2");
        FileDialogs::setTestHooks({});
        f.edit("ffplayEF")->setText(QStringLiteral("/not/the/player")); // never read
        f.edit("frEF")->setText(frameRate);

        f.click("StreamOnPM");
        QCOMPARE(f.cmdLine(), QStringLiteral("streamon"));
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\n"));
        QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("args"))));
        QFile args(dir.filePath(QStringLiteral("args")));
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()),
                 QStringLiteral("-probesize\n32\n-i\nudp://0.0.0.0:11111\n-framerate\n") + frameRate + u'\n');
        QVERIFY(f.win->isPlayerRunning());

        // One player at a time: a second streamon sends, but starts nothing.
        const qint64 pid = f.control<QProcess>("vss")->processId();
        f.click("StreamOnPM");
        QCOMPARE(f.control<QProcess>("vss")->processId(), pid);
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\nstreamon: ok\n"));

        f.click("StreamOffPB");
        QCOMPARE(f.cmdLine(), QStringLiteral("streamoff"));
        QTRY_VERIFY(!f.win->isPlayerRunning());
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\nstreamon: ok\nstreamoff: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList({"streamon", "streamon", "streamoff"}));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
        QCOMPARE(CntWinFixture::recorded(0), QString());
        f.edit("frEF")->setText(QStringLiteral("90"));
    }

    void streamOffWithoutPlayerOnlySends()
    {
        QVERIFY(!f.win->isPlayerRunning());
        f.click("StreamOffPB");
        QTRY_COMPARE(f.log(), QStringLiteral("streamoff: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("streamoff")});
    }
};

HD_TEST_MAIN(tst_CntWinControls)
#include "tst_cntwin_controls.moc"
