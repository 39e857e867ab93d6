#include "FlightPlan.h"
#include "OpenWeighing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
    void decidesFromProbes_data();
    void decidesFromProbes();
    void givesFewerCoresLonger();
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
    QCOMPARE(hd::flightPlanSections(read.value.bytes), texts);
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
    // Neither the probe nor the window is ever handed what follows: it is not shown.
    QTest::newRow("a run right after the sixth marker is not loaded")
        << (QString("x\n" + M + "\n").repeated(6) + QString(100000, u'W')).toUtf8()
        << QStringList{"x", "x", "x", "x", "x", "x"};
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
    QCOMPARE(hd::flightPlanSections(read.value.bytes), texts);
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

    const qint64 cap = hd::MaxFlightPlanBytes;
    QTest::newRow("at the cap, read") << "sparse.txt" << cap << hd::Refusal::None;
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
    // Nothing here is read but the file at the cap: a bound that only reading a huge
    // file could break.
    QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
    const bool atCap = name == "sparse.txt" && size == hd::MaxFlightPlanBytes;
    QCOMPARE(read.ok, refused != hd::Refusal::None || atCap);
    QCOMPARE(read.error.isEmpty(), read.ok);
    QCOMPARE(read.value.refused, refused);
    QCOMPARE(read.value.bytes.size(), atCap ? size : 0);
    // The figure is the file's own size, which the message sets against the cap.
    QCOMPARE(read.value.size, refused == hd::Refusal::TooLarge || atCap ? size : 0);
}

void tst_FlightPlan::decidesFromProbes_data()
{
    using V = hd::OpenWeighing::Verdict;
    QTest::addColumn<QByteArray>("report"); // what the probes printed, in order
    QTest::addColumn<int>("probes");
    QTest::addColumn<bool>("pastDeadline");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<V::Kind>("verdict");
    QTest::addColumn<QString>("message"); // in the C locale, with a budget of 400 ms

    const QByteArray done = hd::OpenWeighing::doneLine("plan");
    const QByteArray quick = "open 0 0 90000000\ntab 3 1 20000000\nscreen 2 4001 350000000\n";
    QTest::newRow("all within, all done") << quick + done + done << 2 << false << false << V::Accepted << QString();
    QTest::newRow("one probe still weighing") << quick + done << 2 << false << false << V::Pending << QString();
    QTest::newRow("just at the budget") << "page 5 12 400000000\n" + done << 1 << false << false << V::Accepted
                                        << QString();
    // A heavy first screen: 60 lines of one letter under 3,990 marks each.
    QTest::newRow("opening beyond, cut by the probe")
        << QByteArray("open 0 0 400200000 cut\n") << 7 << false << false << V::TooSlow
        << "Opening it would keep the window busy for more than 400 ms; at most 400 ms is allowed, so that the "
           "drone can be landed meanwhile.";
    // The heaviest action is named, with its own tab and line: never the budget twice
    // nor the line for the time.
    QTest::newRow("the same lines below the first screen")
        << quick + "screen 1 4061 4200000000\nscreen 0 7 500000000\n"
        << 7 << false << false << V::TooSlow
        << "Showing the page at line 4061 of the tab \"MJ\" would keep the window busy for about 4200 ms; at most "
           "400 ms is allowed, so that the drone can be landed meanwhile.";
    QTest::newRow("the same lines in a later tab")
        << "tab 4 1 3900000000\n" + done << 7 << false << false << V::TooSlow
        << "Switching to the tab \"QZ Q\" would keep the window busy for about 3900 ms; at most 400 ms is "
           "allowed, so that the drone can be landed meanwhile.";
    QTest::newRow("Ctrl+End beyond") << QByteArray("end 5 1001 450000000\n") << 7 << false << false << V::TooSlow
                                     << "Going to the end of the tab \"WQ Q\" (Ctrl+End) would keep the window busy "
                                        "for about 450 ms; at most 400 ms is allowed, so that the drone can be "
                                        "landed meanwhile.";
    QTest::newRow("too slow outweighs a failure")
        << QByteArray("home 1 1 500000000\n") << 7 << false << true << V::TooSlow
        << "Going back to the start of the tab \"MJ\" (Ctrl+Home) would "
           "keep the window busy for about 500 ms; at most 400 ms is "
           "allowed, so that the drone can be landed meanwhile.";
    QTest::newRow("deadline") << quick + done << 7 << true << false << V::TimedOut
                              << "It could not be weighed within 8 seconds, so it cannot be shown quickly enough.";
    QTest::newRow("all done just at the deadline") << done + done << 2 << true << false << V::Accepted << QString();
    QTest::newRow("a probe that failed") << quick << 7 << false << true << V::Failed
                                         << "It could not be weighed: the helper program that lays it out away "
                                            "from the window failed, so showing it might freeze the window.";
    QTest::newRow("a probe read another file")
        << hd::OpenWeighing::doneLine("plan!") << 1 << false << false << V::Changed
        << "The file changed while it was being weighed; open it again.";
}

void tst_FlightPlan::decidesFromProbes()
{
    QFETCH(QByteArray, report);
    QFETCH(int, probes);
    QFETCH(bool, pastDeadline);
    QFETCH(bool, failed);
    QFETCH(hd::OpenWeighing::Verdict::Kind, verdict);
    QFETCH(QString, message);
    namespace W = hd::OpenWeighing;
    QList<W::Measured> measured;
    QList<QByteArray> done;
    for (const QByteArray &line : report.split('\n')) {
        if (line.isEmpty())
            continue;
        const std::optional<W::Measured> m = W::parseProbeLine(line);
        QVERIFY2(m, line.constData());
        if (m->fileHash.isEmpty()) {
            QCOMPARE(W::probeLine(*m), line + '\n');
            measured << *m;
        } else {
            done << m->fileHash;
        }
    }
    const qint64 budget = 400'000'000;
    const W::Verdict v = W::decide(measured, done, probes, W::fileHash("plan"), budget, pastDeadline, failed);
    QCOMPARE(v.kind, verdict);
    const QStringList tabs{"Original", "MJ", "QZ", "WQ", "QZ Q", "WQ Q"};
    QCOMPARE(W::refusalText(v, budget, 8000, tabs, QLocale::c()), message);
    // Figures follow the user's locale, whichever it is.
    const QLocale german(QLocale::German);
    if (verdict == W::Verdict::TooSlow) {
        const QString there = W::refusalText(v, budget, 8000, tabs, german);
        QVERIFY2(there.contains(german.toString((v.worst.ns + 500'000) / 1'000'000) + " ms"), qPrintable(there));
        if (message.contains("line"))
            QVERIFY2(there.contains(german.toString(v.worst.line)), qPrintable(there));
    }
}

QTEST_GUILESS_MAIN(tst_FlightPlan)
void tst_FlightPlan::givesFewerCoresLonger()
{
    using hd::OpenWeighing::deadlineMs;
    // A machine that reports no core count is taken for the smallest.
    const QList<std::pair<int, qint64>> rows{{16, 8000}, {8, 8000},  {6, 10666}, {4, 16000},
                                             {2, 32000}, {1, 32000}, {0, 32000}};
    for (const auto &[cores, ms] : rows)
        QCOMPARE(deadlineMs(8000, cores), ms);
}

#include "tst_flightplan.moc"
