#include "CntWinFixture.h"
#include "FileDialogs.h"
#include "HdTestMain.h"
#include "MainMenuBar.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>

using Six = QStringList;

namespace {

const QByteArray M = "//--------------------//";

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_FlightPlanFile : public QObject
{
    Q_OBJECT

    CntWinFixture fixture;
    QTemporaryDir dir;
    QString chosen;       // what the next dialog answers; empty: cancelled
    QStringList dialogs;  // the dialogs asked for
    QStringList errors;   // the file errors reported
    QStringList warnings; // the file warnings reported

    static RecWin *rec() { return RecWin::instance(); }

    static void setAreas(const Six &texts)
    {
        for (int i = 0; i < 6; ++i)
            rec()->setTargetText(i, texts.value(i));
    }
    static Six areas()
    {
        Six texts;
        for (int i = 0; i < 6; ++i)
            texts << rec()->targetText(i);
        return texts;
    }

    bool save() { return rec()->FileRecSave_Action(0); }
    // An Open that starts weighing ends with the plan shown or refused.
    static bool open()
    {
        QSignalSpy weighed(App::instance(), &App::flightPlanWeighed);
        if (!App::instance()->RecOpen_Action(0))
            return false;
        return (!weighed.isEmpty() || weighed.wait(20000)) && weighed.constFirst().constFirst().toBool();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        fixture.open(18897);
        App::instance()->startUp();
        App::instance()->setOpenProbe(qEnvironmentVariable("HOVERDECK_BIN") + "/hoverdeck-openprobe");
        // Not the defaults: an opened plan must keep what the areas were given.
        for (int i = 0; i < 6; ++i) {
            rec()->MjEF(i)->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 13));
            rec()->MjEF(i)->setTabStopDistance(33);
        }
        FileDialogs::setTestHooks({
            [this](const QString &type) {
                dialogs << QStringLiteral("open ") + type;
                return chosen;
            },
            [this](const QString &type, const QString &name) {
                dialogs << QStringLiteral("save %1 %2").arg(type, name);
                return chosen;
            },
            [this](const QString &message) { errors << message; },
            [this](const QString &message) { warnings << message; },
        });
    }

    void init()
    {
        dialogs.clear();
        errors.clear();
        warnings.clear();
        chosen.clear();
    }

    void cleanupTestCase() { FileDialogs::setTestHooks({}); }

    void savesExactBytes_data()
    {
        QTest::addColumn<Six>("texts");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("warnedTabs"); // named in one warning; none: no warning
        QTest::newRow("a, -, b, -, -, c")
            << Six{"a", "", "b", "", "", "c"} << "a\n" + M + "\n\n" + M + "\nb\n" + M + "\n\n" + M + "\n\n" + M + "\nc"
            << QStringList();
        QTest::newRow("six empty texts") << Six{"", "", "", "", "", ""}
                                         << "\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n"
                                         << QStringList();
        QTest::newRow("line ends kept, UTF-8 without mark")
            << Six{"land\n", "", "", "", "", QStringLiteral("\u00FC\u00A0\n")}
            << "land\n\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n\xC3\xBC\xC2\xA0\n"
            << QStringList();
        const QString marker = QString::fromLatin1(M);
        QTest::newRow("marker line inside MJ, saved as is")
            << Six{"a", "x\n" + marker + "\ny", "", "", "", ""}
            << "a\n" + M + "\nx\n" + M + "\ny\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n"
            << QStringList{"MJ"};
        QTest::newRow("marker ending the queues, saved as is")
            << Six{"", "", "", "", "q " + marker, "w\n" + marker + "\n"}
            << "\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\nq " + M + "\n" + M + "\nw\n" + M + "\n"
            << QStringList{"QZ Q", "WQ Q"};
    }

    void savesExactBytes()
    {
        QFETCH(Six, texts);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, warnedTabs);
        chosen = dir.filePath(QStringLiteral("plan.txt"));
        // An existing, longer file is replaced, not overwritten in place.
        QVERIFY(writeBytes(chosen, QByteArray(4096, 'x')));
        setAreas(texts);

        QVERIFY(save());
        QCOMPARE(dialogs, QStringList{"save TEXTTYPE FlightPlan.txt"});
        QCOMPARE(readBytes(chosen), bytes);
        QCOMPARE(errors, QStringList());
        QCOMPARE(areas(), texts);
        QCOMPARE(warnings.size(), warnedTabs.isEmpty() ? 0 : 1);
        for (const QString &tab : QStringList{"Original", "MJ", "QZ", "WQ", "QZ Q", "WQ Q"})
            QCOMPARE(warnings.value(0).contains('"' + tab + '"'), warnedTabs.contains(tab));
        if (!warnings.isEmpty())
            QVERIFY(warnings[0].contains(QString::fromLatin1(M)));
    }

    void roundTripChangesNothing_data()
    {
        QTest::addColumn<Six>("texts");
        QTest::newRow("empty") << Six{"", "", "", "", "", ""};
        QTest::newRow("recorded flight") << Six{"command:WAIT30\ntakeoff:WAIT180\nland\n",
                                                "10 S=\"MJ UDP 192.168.10.1 8889 \"\n20 ?STR$(S);\"land\"\n",
                                                "10 ?\"QZ LD\"\n",
                                                "10 ?\"WQ LD\"\n",
                                                "",
                                                ""};
        QTest::newRow("no final line ends") << Six{"a", "b", "c", "d", "e", "f"};
        QTest::newRow("only line ends") << Six{"\n", "\n\n", "", "\n", "", "\n"};
        QTest::newRow("marker inside a line")
            << Six{"x" + QString::fromLatin1(M) + "y", "", "", "", "", QString::fromLatin1(M)};
        QTest::newRow("no-break spaces and CR")
            << Six{QStringLiteral("up\u00A020"), "a\r\nb", "c\rd", "", "", QStringLiteral("\u3042")};
    }

    void roundTripChangesNothing()
    {
        QFETCH(Six, texts);
        setAreas(texts);
        const Six held = areas(); // CR and CR LF are held as "\n"
        chosen = dir.filePath(QStringLiteral("round.txt"));
        QVERIFY(save());
        setAreas(Six(6, QStringLiteral("something else")));

        QVERIFY(open());
        QCOMPARE(areas(), held);
        QCOMPARE(errors, QStringList());
        QCOMPARE(warnings, QStringList());
        for (int i = 0; i < 6; ++i) {
            const QTextDocument *doc = rec()->MjEF(i)->document();
            QCOMPARE(doc->defaultFont(), rec()->MjEF(i)->font());
            QCOMPARE(doc->defaultTextOption().tabStopDistance(), 33.0);
            QVERIFY(!doc->isUndoAvailable()); // Undo cannot bring the old plan back
        }
        // PLAY follows the area assigned last, area 5.
        QCOMPARE(rec()->PlayBB()->isEnabled(), !held[5].isEmpty());

        // Again: nothing grows.
        QVERIFY(save());
        QVERIFY(open());
        QCOMPARE(areas(), held);
    }

    void opensWhatOthersWrote_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Six>("texts");
        const Six before{"0", "1", "2", "3", "4", "5"};
        QTest::newRow("no marker") << QByteArray("up 20\nland\n") << Six{"up 20\nland\n", "1", "2", "3", "4", "5"};
        QTest::newRow("two markers") << "a\n" + M + "\nb\n" + M + "\nc" << Six{"a", "b", "c", "3", "4", "5"};
        QTest::newRow("CR LF") << "a\r\n" + M + "\r\nb\r\nc" << Six{"a", "b\nc", "2", "3", "4", "5"};
        QTest::newRow("CR") << "a\r" + M + "\rb" << Six{"a", "b", "2", "3", "4", "5"};
        QTest::newRow("more than five markers") << "a\n" + M + "\nb\n" + M + "\nc\n" + M + "\nd\n" + M + "\ne\n" + M
                + "\nf\n" + M + "\ng" << Six{"a", "b", "c", "d", "e", "f"};
        QTest::newRow("empty file") << QByteArray() << before;
    }

    void opensWhatOthersWrote()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Six, texts);
        setAreas({"0", "1", "2", "3", "4", "5"});
        chosen = dir.filePath(QStringLiteral("other.txt"));
        QVERIFY(writeBytes(chosen, bytes));

        QVERIFY(open());
        QCOMPARE(dialogs, QStringList{"open TEXTTYPE"});
        QCOMPARE(areas(), texts);
        QCOMPARE(errors, QStringList());
    }

    void failingSaveIsReported_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("inside a file") << "file.txt/plan.txt";
        QTest::newRow("missing folder") << "missing/plan.txt";
    }

    void failingSaveIsReported()
    {
        QFETCH(QString, path);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder")));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("file.txt")), "keep"));
        const Six texts{"takeoff\n", "", "", "", "", "x"};
        setAreas(texts);
        chosen = dir.filePath(path);

        QVERIFY(save());
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains(QDir::toNativeSeparators(chosen)));
        QCOMPARE(areas(), texts);
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("file.txt"))), QByteArray("keep"));
    }

    void failingOpenIsReported_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << "nothing-here.txt";
        QTest::newRow("a folder") << "folder";
    }

    void failingOpenIsReported()
    {
        QFETCH(QString, path);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder")));
        const Six texts{"a", "b", "c", "d", "e", ""};
        setAreas(texts);
        chosen = dir.filePath(path);

        QVERIFY(!open());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(areas(), texts);
        QVERIFY(!rec()->PlayBB()->isEnabled());
    }

    void cancelledDialogsChangeNothing()
    {
        const Six texts{"a", "b", "c", "d\n" + QString::fromLatin1(M) + "\n", "e", "f"};
        setAreas(texts);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QVERIFY(!save());
        QVERIFY(!open());
        QCOMPARE(dialogs, (QStringList{"save TEXTTYPE FlightPlan.txt", "open TEXTTYPE"}));
        QCOMPARE(areas(), texts);
        QCOMPARE(errors, QStringList());
        QCOMPARE(warnings, QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
    }
};

HD_TEST_MAIN(tst_FlightPlanFile)
#include "tst_flightplanfile.moc"
