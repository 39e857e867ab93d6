#include "FlightPlan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

const QString M = hd::FlightPlanMarker;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_FlightPlan : public QObject
{
    Q_OBJECT

private slots:
    void composes_data();
    void composes();
    void roundTrips_data();
    void roundTrips();
    void namesTextsNotReadBack_data();
    void namesTextsNotReadBack();
    void reads_data();
    void reads();
    void readsFileBytes_data();
    void readsFileBytes();
    void failedWriteKeepsWhatWasThere_data();
    void failedWriteKeepsWhatWasThere();
    void unreadableFileIsAnError_data();
    void unreadableFileIsAnError();
    void layoutLoad_data();
    void layoutLoad();
};

void tst_FlightPlan::composes_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("file");

    QTest::newRow("sections with empty ones") << QStringList{"a", "", "b", "", "", "c"}
                                              << "a\n" + M + "\n\n" + M + "\nb\n" + M + "\n\n" + M + "\n\n" + M + "\nc";
    QTest::newRow("six empty texts") << QStringList(6) << QString("\n" + M + "\n").repeated(5);
    QTest::newRow("last text's own line end ends the file")
        << QStringList{"land\n", "", "", "", "", "10 x\n"}
        << "land\n\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n\n" + M + "\n10 x\n";
}

void tst_FlightPlan::composes()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, file);
    QCOMPARE(hd::composeFlightPlan(texts), file);

    QTemporaryDir dir;
    const QString path = dir.filePath(hd::FlightPlanDefaultName);
    QVERIFY(hd::writeFlightPlanFile(path, texts).ok);
    QCOMPARE(fileBytes(path), file.toUtf8());
}

void tst_FlightPlan::roundTrips_data()
{
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("six empty") << QStringList(6);
    QTest::newRow("one letter each") << QStringList{"a", "b", "c", "d", "e", "f"};
    QTest::newRow("mixed empty") << QStringList{"a", "", "b", "", "", "c"};
    QTest::newRow("ending with line ends") << QStringList{"a\n", "\n", "b\n\n", "\n\n", "x", "c\n"};
    QTest::newRow("recorded flight") << QStringList{"command:WAIT30\ntakeoff:WAIT180\nup 20:WAIT95\nland\n",
                                                    "10 S=\"MJ UDP 192.168.10.1 8889 \"\n20 ?STR$(S);\"land\"\n",
                                                    "10 ?\"QZ INIT\":WAIT30:\n20 ?\"QZ LD\"\n",
                                                    "10 ?\"WQ LD\"\n",
                                                    "10 ?\"QZ QRUN\"\n",
                                                    "10 ?\"WQ QRUN\"\n"};
    QTest::newRow("non-ASCII and no-break space") << QStringList{"飛行\n", "é", "a\u00A0b", "😀\n", "", "ファイル"};
    QTest::newRow("marker inside a line") << QStringList{M + "x", "y " + M + " z", "", "", "", "x" + M};
    QTest::newRow("marker ending the last text") << QStringList{"a", "", "", "", "", "b\n" + M};
}

void tst_FlightPlan::roundTrips()
{
    QFETCH(QStringList, texts);
    QCOMPARE(hd::parseFlightPlan(hd::composeFlightPlan(texts)), texts);
    QCOMPARE(hd::textsNotReadBack(texts), QList<int>());

    QTemporaryDir dir;
    const QString path = dir.filePath("plan.txt");
    QVERIFY(hd::writeFlightPlanFile(path, texts).ok);
    const auto read = hd::readFlightPlanFile(path);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.value.sections, texts);
}

void tst_FlightPlan::namesTextsNotReadBack_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("lost");

    QTest::newRow("marker line in the middle")
        << QStringList{"a", "up 20\n" + M + "\nland", "", "", "", ""} << QList<int>{1};
    QTest::newRow("marker line ending the last text")
        << QStringList{"a", "", "", "", "", "b\n" + M + "\n"} << QList<int>{5};
    QTest::newRow("marker line starting the first text")
        << QStringList{M + "\nup 20", "x", "", "", "", ""} << QList<int>{0};
    QTest::newRow("marker ending a text that is not the last")
        << QStringList{"", "", "up 20 " + M, "", "", ""} << QList<int>{2};
    QTest::newRow("marker ending the last text") << QStringList{"", "", "", "", "", "up 20 " + M} << QList<int>{};
    QTest::newRow("marker inside longer lines")
        << QStringList{"x" + M + "y\nz", "-" + M + "-\n", M + M + "x", "", "", ""} << QList<int>{};
    QTest::newRow("marker before CR LF") << QStringList{"", "", "", "a\n" + M + "\r\nb", "", ""} << QList<int>{3};
    QTest::newRow("two texts to blame, the rest moved along")
        << QStringList{"a\n" + M + "\n", "1", "2", "b\n" + M + "\n" + M + "\nc", "4", "5"} << QList<int>{0, 3};
    QTest::newRow("CR read back as a line end") << QStringList{"a\rb", "", "", "", "", ""} << QList<int>{0};
}

void tst_FlightPlan::namesTextsNotReadBack()
{
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, lost);
    QCOMPARE(hd::textsNotReadBack(texts), lost);
    QCOMPARE(hd::parseFlightPlan(hd::composeFlightPlan(texts)) == texts, lost.isEmpty());
}

void tst_FlightPlan::reads_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("empty file changes nothing") << "" << QStringList{};
    QTest::newRow("no marker fills area 0 only") << "up 20\nland\n" << QStringList{"up 20\nland\n"};
    QTest::newRow("two markers fill areas 0 to 2") << "a\n" + M + "\nb\nc\n" + M + "\nd\n"
                                                   << QStringList{"a", "b\nc", "d\n"};
    QTest::newRow("CR LF line ends") << "a\r\n" + M + "\r\nb\r\nc\r\n" << QStringList{"a", "b\nc\n"};
    QTest::newRow("CR line ends") << "a\r" + M + "\rb\rc" << QStringList{"a", "b\nc"};
    QTest::newRow("mixed line ends") << "a\r\n\r" + M + "\nb" << QStringList{"a\n", "b"};
    QTest::newRow("last marker without line end") << "a\n" + M + "\nb\n" + M << QStringList{"a", "b\n" + M, ""};
    QTest::newRow("text after a marker on its line")
        << "a\n" + M + "x\nb\n" + M + "\nc" << QStringList{"a\n" + M + "x\nb", "c", ""};
    QTest::newRow("more than five markers") << "0\n" + M + "\n1\n" + M + "\n2\n" + M + "\n3\n" + M + "\n4\n" + M
            + "\n5\n" + M + "\n6" << QStringList{"0", "1", "2", "3", "4", "5"};
    QTest::newRow("marker line inside a saved text")
        << hd::composeFlightPlan({"x\n" + M + "\ny", "1", "2", "3", "4", "5"})
        << QStringList{"x", "y", "1", "2", "3", "4"};
    QTest::newRow("text before the first marker without line end") << "a" + M + "\nb" << QStringList{"a", "b"};
}

void tst_FlightPlan::reads()
{
    QFETCH(QString, file);
    QFETCH(QStringList, texts);
    QCOMPARE(hd::parseFlightPlan(file), texts);
}

void tst_FlightPlan::readsFileBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("invalid UTF-8 becomes replacement characters") << QByteArray("a\xff"
                                                                                "b")
                                                                  << QStringList{u"a\uFFFDb"_qs};
    QTest::newRow("byte-order mark dropped") << QByteArray("\xEF\xBB\xBF"
                                                           "command:WAIT30\n")
                                             << QStringList{"command:WAIT30\n"};
    QTest::newRow("UTF-8 decoded") << QByteArray("\xE9\xA3\x9B") << QStringList{u"\u98DB"_qs};
}

void tst_FlightPlan::readsFileBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, texts);

    QTemporaryDir dir;
    const QString path = dir.filePath("plan.txt");
    QVERIFY(writeBytes(path, bytes));
    const auto read = hd::readFlightPlanFile(path);
    QVERIFY(read.ok);
    QCOMPARE(read.value.sections, texts);
}

void tst_FlightPlan::failedWriteKeepsWhatWasThere_data()
{
    QTest::addColumn<QString>("target");

    QTest::newRow("inside a missing folder") << "missing/plan.txt";
    QTest::newRow("a folder's path") << "plan.txt";
}

// Tests run as root, so permissions cannot make a write fail; a folder in the way
// or a missing parent folder does.
void tst_FlightPlan::failedWriteKeepsWhatWasThere()
{
    QFETCH(QString, target);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("plan.txt"));
    const QString kept = dir.filePath("plan.txt/old.txt");
    QVERIFY(writeBytes(kept, "old plan"));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    const hd::FileResult<> result = hd::writeFlightPlanFile(dir.filePath(target), QStringList{"a", "b"});
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(fileBytes(kept), QByteArray("old plan"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
}

void tst_FlightPlan::unreadableFileIsAnError_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");         // of sparse.txt
    QTest::addColumn<hd::Refusal>("refused"); // None: an error

    const qint64 cap = hd::ShowBudget::MaxFileBytes;
    QTest::newRow("missing file") << "none.txt" << cap << hd::Refusal::None;
    QTest::newRow("a folder") << "." << cap << hd::Refusal::NotAFile;
    QTest::newRow("a device") << "/dev/null" << cap << hd::Refusal::NotAFile;
    QTest::newRow("too large, refused unread") << "sparse.txt" << cap + 1 << hd::Refusal::TooLarge;
    // Read whole, it could not even be held in memory.
    QTest::newRow("1 TiB, refused unread") << "sparse.txt" << (qint64(1) << 40) << hd::Refusal::TooLarge;
}

void tst_FlightPlan::unreadableFileIsAnError()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(hd::Refusal, refused);
    QTemporaryDir dir;
    QFile sparse(dir.filePath("sparse.txt"));
    QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(size));
    QElapsedTimer took;
    took.start();
    const auto read = hd::readFlightPlanFile(QDir(dir.path()).filePath(name));
    // Nothing here is read: a bound that only reading the file could break.
    QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
    QCOMPARE(read.ok, refused != hd::Refusal::None);
    QCOMPARE(read.error.isEmpty(), read.ok);
    QCOMPARE(read.value.refused, refused);
    QCOMPARE(read.value.sections, QStringList());
}

void tst_FlightPlan::layoutLoad_data()
{
    using R = hd::Refusal;
    namespace B = hd::ShowBudget;
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<R>("exceeded");
    QTest::addColumn<qsizetype>("longestRun");
    QTest::addColumn<qsizetype>("line"); // of the longest run, or line, if too long

    // The lone run that takes the whole budget, and the short lines that do.
    const qsizetype max = qsizetype(std::sqrt(B::BudgetNs / B::NsPerRunSquare));
    const QString x(max, u'x'), line = QStringLiteral("up 20\n");
    const qsizetype lines = qsizetype(B::BudgetNs / (B::NsPerLine + double(line.size()) * B::NsPerByte));
    QTest::newRow("empty file") << QByteArray() << R::None << qsizetype(0) << qsizetype(0);
    QTest::newRow("run just beyond") << ("up 20\n" + x + "x").toUtf8() << R::LongRuns << max + 1 << qsizetype(2);
    QTest::newRow("two runs one blank apart count together")
        << (x.left(max / 2) + " " + x.left(max / 2 + 1)).toUtf8() << R::LongRuns << max / 2 + 1 << qsizetype(1);
    const QString r(max * 71 / 100, u'x');
    QTest::newRow("runs in other lines and sections too")
        << (r + "\n" + M + "\n" + r).toUtf8() << R::LongRuns << r.size() << qsizetype(1);
    QTest::newRow("sections past the sixth are not shown")
        << (QString(6, u'a').split(QString()).join("\n" + M + "\n") + x + "x").toUtf8() << R::None << qsizetype(0)
        << qsizetype(0);
    QTest::newRow("CR and CR LF end lines as LF does")
        << ("a\r\nb\r" + x + "x").toUtf8() << R::LongRuns << max + 1 << qsizetype(3);
    QTest::newRow("lines up to the long line never count")
        << QStringList(300, QString(B::LongLine, u'x')).join(u'\n').toUtf8() << R::None << qsizetype(0) << qsizetype(0);
    QTest::newRow("long lines counted in characters, not bytes")
        << QStringList(300, QString(B::LongLine, QChar(0x98DB))).join(u'\n').toUtf8() << R::None << qsizetype(0)
        << qsizetype(0);
    QTest::newRow("digits break at blanks")
        << QString("1 ").repeated(max).toUtf8() << R::None << qsizetype(1) << qsizetype(1);
    QTest::newRow("no-break spaces do not break") << QStringView(u"x\u00A0").toString().repeated(max / 2 + 1).toUtf8()
                                                  << R::LongRuns << (max / 2 + 1) * 2 << qsizetype(1);
    QTest::newRow("Hangul breaks only at blanks")
        << QString(max + 1, QChar(0xAC00)).toUtf8() << R::LongRuns << max + 1 << qsizetype(1);
    // Well inside the budget as Ws.
    QTest::newRow("36,000 three-em dashes beyond")
        << QString(36000, QChar(0x2E3B)).toUtf8() << R::LongRuns << qsizetype(36000) << qsizetype(1);
    QTest::newRow("40,000 Hebrew letters beyond")
        << QString(40000, QChar(0x5D0)).toUtf8() << R::LongRuns << qsizetype(40000) << qsizetype(1);
    QTest::newRow("long lines beyond, in UTF-8 bytes")
        << ("a\n" + QStringView(u"\u00E9 ").toString().repeated(qsizetype(B::BudgetNs / B::NsPerLongLineByte) / 3 + 1))
               .toUtf8()
        << R::LongLines << qsizetype(0) << qsizetype(2);
    // 792 KB: as Latin words, half the budget.
    QTest::newRow("right-to-left words beyond")
        << QStringView(u"\u05E9\u05DC\u05D5\u05DD ").toString().repeated(88000).toUtf8() << R::LongLines << qsizetype(0)
        << qsizetype(1);
    // 6 x 2,600 marks on a letter: as accents over as many letters, nothing.
    const QString stack = "a" + QString(2600, QChar(0x301));
    QTest::newRow("marks stacked in the lines laid out at opening")
        << QStringList(6, stack + "\nup 20\nland").join("\n" + M + "\n").toUtf8() << R::StackedMarks << qsizetype(0)
        << qsizetype(1);
    QTest::newRow("marks stacked in the lines shown later")
        << QStringList(6, "up 20\n" + stack + "\nland").join("\n" + M + "\n").toUtf8() << R::None << qsizetype(0)
        << qsizetype(0);
    QTest::newRow("short lines just inside")
        << line.repeated(lines * 99 / 100).toUtf8() << R::None << qsizetype(0) << qsizetype(0);
    // 30 MB: as UTF-8, less than half the budget.
    QTest::newRow("bytes that are not UTF-8 weigh as replacement characters")
        << QByteArray(QByteArray(1000, '\xFF') + "\n").repeated(30000) << R::TooLarge << qsizetype(0) << qsizetype(0);
    // Each part alone fits.
    QTest::newRow("a run and short lines together")
        << (x.left(max * 8 / 10) + "\n" + line.repeated(lines * 45 / 100)).toUtf8() << R::LongRuns << max * 8 / 10
        << qsizetype(1);
}

void tst_FlightPlan::layoutLoad()
{
    QFETCH(QByteArray, file);
    QFETCH(hd::Refusal, exceeded);
    QFETCH(qsizetype, longestRun);
    QFETCH(qsizetype, line);
    const hd::LayoutLoad load = hd::layoutLoad(file);
    QCOMPARE(load.exceeded, exceeded);
    QCOMPARE(load.longestRun, longestRun);
    QCOMPARE(exceeded == hd::Refusal::LongLines          ? load.longestLineNumber
                 : exceeded == hd::Refusal::StackedMarks ? load.deepestStackLine
                                                         : load.longestRunLine,
             line);
    QCOMPARE(load.ns > hd::ShowBudget::BudgetNs, exceeded != hd::Refusal::None);
    // The message's "at most": less than there is of the part, not far less.
    const qint64 there = exceeded == hd::Refusal::TooLarge ? load.bytes
        : exceeded == hd::Refusal::ManyLines               ? load.lines
        : exceeded == hd::Refusal::LongLines               ? load.longLineBytes
        : exceeded == hd::Refusal::StackedMarks            ? load.stackedMarks
                                                           : load.equivalentRun;
    if (exceeded != hd::Refusal::None)
        QVERIFY2(load.allowed < there && load.allowed > there * 8 / 10, qPrintable(QString::number(load.allowed)));
}

QTEST_GUILESS_MAIN(tst_FlightPlan)
#include "tst_flightplan.moc"
