#include "../ui/CntWinFixture.h"
#include "FileDialogs.h"
#include "FlightPlan.h"
#include "HdTestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Flight-plan files that are malformed or very large, opened with File > Open...
// and written with File > Save... as the user does.
class tst_ReliabilityFiles : public QObject
{
    Q_OBJECT

    CntWinFixture f;
    QTemporaryDir dir;
    QString chosen;
    QStringList errors;

    static RecWin *rec() { return RecWin::instance(); }
    static QStringList areas()
    {
        QStringList texts;
        for (int i = 0; i < 6; ++i)
            texts << rec()->targetText(i);
        return texts;
    }
    static void setAreas(const QStringList &texts)
    {
        for (int i = 0; i < 6; ++i)
            rec()->setTargetText(i, texts.value(i));
    }

    // A thread that opens a pipe for writing; let go by a reader when the test ends.
    struct BlockedWriter
    {
        std::atomic<pid_t> tid{0};
        QByteArray path;
        std::thread thread;
        void start(const QByteArray &fifo)
        {
            path = fifo;
            thread = std::thread([this] {
                tid = ::gettid();
                const int fd = ::open(path.constData(), O_WRONLY);
                if (fd >= 0)
                    ::close(fd);
            });
        }
        ~BlockedWriter()
        {
            if (!thread.joinable())
                return;
            const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
            thread.join();
            ::close(fd);
        }
    };
    // Whether a thread of this process sleeps in open(); a woken one runs or has ended.
    static bool sleepsInOpen(pid_t tid)
    {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        QFile call(QStringLiteral("/proc/self/task/%1/syscall").arg(tid));
        if (tid == 0 || !stat.open(QIODevice::ReadOnly) || !call.open(QIODevice::ReadOnly))
            return false;
        const QByteArray fields = stat.readAll();
        const long number = call.readAll().split(' ').value(0).toLong();
        return fields.mid(fields.lastIndexOf(')') + 2, 1) == "S" && (number == SYS_openat || number == SYS_open);
    }

    bool writeBytes(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray readBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    bool open(const QString &path)
    {
        chosen = path;
        QSignalSpy weighed(App::instance(), &App::flightPlanWeighed);
        if (!App::instance()->RecOpen_Action(0))
            return false;
        return (!weighed.isEmpty() || weighed.wait(BoundMs)) && weighed.constFirst().constFirst().toBool();
    }

    // Command lines of about lineLength bytes (at least the recorder's own
    // "up N:WAITn"), about size bytes in all.
    static QByteArray commandLines(qsizetype size, int lineLength, int seed)
    {
        QByteArray text;
        text.reserve(size + lineLength + 64);
        for (int n = 0; text.size() < size; ++n) {
            text += "up " + QByteArray::number((n + seed) % 500);
            if (lineLength > 16)
                text += QByteArray(lineLength - 16, n % 2 ? ' ' : 'x');
            text += ":WAIT" + QByteArray::number(n % 97);
            text += '\n';
        }
        text.chop(1);
        return text;
    }

    static constexpr qsizetype FiftyMB = 50 * 1000 * 1000;
    static constexpr qsizetype FortyMB = 40 * 1000 * 1000;
    // Bounds hangs only; sanitizer builds run a few times slower.
    static constexpr qint64 BoundMs = 45000;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        App::instance()->startUp();
        App::instance()->setOpenProbe(qEnvironmentVariable("HOVERDECK_BIN") + "/hoverdeck-openprobe");
        f.open(18899); // aimed at loopback before anything can send; nothing is sent here
        FileDialogs::setTestHooks({
            [this](const QString &) { return chosen; },
            [this](const QString &, const QString &) { return chosen; },
            [this](const QString &message) { errors << message; },
        });
    }

    void cleanupTestCase() { FileDialogs::setTestHooks({}); }

    void init()
    {
        errors.clear();
        setAreas(QStringList(6, QStringLiteral("<old>")));
    }

    void invalidUtf8Sections_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("sections");

        const QByteArray m = "\n//--------------------//\n";
        const QString r(QChar(0xFFFD));
        QTest::newRow("stray bytes in commands")
            << QByteArray("command:WAIT30\nup 20\xFF:WAIT60\nland") + m + "10 '\xFE\xFF" + m + "QZ" + m + "WQ" + m + m
            << QStringList{QStringLiteral("command:WAIT30\nup 20") + r + QStringLiteral(":WAIT60\nland"),
                           QStringLiteral("10 '") + r + r,
                           "QZ",
                           "WQ",
                           "",
                           ""};
        QTest::newRow("cut character before a marker") << QByteArray("takeoff\xE2\x82") + m + "b\xC0\x80" + m + "c" + m
                + "d" + m + "e" + m + "f\xF0" << QStringList{QStringLiteral("takeoff") + r + r,
                                                             QStringLiteral("b") + r + r,
                                                             "c",
                                                             "d",
                                                             "e",
                                                             QStringLiteral("f") + r};
        QTest::newRow("byte inside a marker") << QByteArray("a\n//-------\xFF-------------//\nb") + m
                + "c" << QStringList{QStringLiteral("a\n//-------") + r + QStringLiteral("-------------//\nb"),
                                     "c",
                                     "<old>",
                                     "<old>",
                                     "<old>",
                                     "<old>"};
        QTest::newRow("NUL bytes kept") << QByteArray("up\0 20", 6) + m + QByteArray("\0", 1)
                                        << QStringList{QStringLiteral("up") + QChar(0) + QStringLiteral(" 20"),
                                                       QString(QChar(0)),
                                                       "<old>",
                                                       "<old>",
                                                       "<old>",
                                                       "<old>"};
        QTest::newRow("only invalid bytes")
            << QByteArray("\xFF\xFF\xFF")
            << QStringList{QString(3, QChar(0xFFFD)), "<old>", "<old>", "<old>", "<old>", "<old>"};
    }
    void invalidUtf8Sections()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, sections);
        const QString path = dir.filePath(QStringLiteral("broken.txt"));
        QVERIFY(writeBytes(path, bytes));

        QVERIFY(open(path));
        QCOMPARE(areas(), sections);
        QCOMPARE(errors, QStringList());
    }

    // Opening cost grows with the number of lines (each becomes a block of a
    // text area), so the many-lines case is measured at a sixteenth of the size.
    void largePlanOpens_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<int>("lineLength");
        QTest::newRow("1 MB, 4k lines") << FortyMB / 40 << 250;
        QTest::newRow("0.3 MB, 20k short lines") << FortyMB / 128 << 0;
    }
    void largePlanOpens()
    {
        QFETCH(qsizetype, size);
        QFETCH(int, lineLength);
        QList<QByteArray> sections;
        for (int i = 0; i < 6; ++i)
            sections << commandLines(size / 6, lineLength, i);
        const QByteArray bytes = sections.join("\n//--------------------//\n");
        QVERIFY(bytes.size() >= size);
        const QString path = dir.filePath(QStringLiteral("big.txt"));
        QVERIFY(writeBytes(path, bytes));

        QElapsedTimer took;
        took.start();
        QVERIFY(open(path));
        const qint64 ms = took.elapsed();
        qInfo("%lld bytes opened in %lld ms", qint64(bytes.size()), ms);
        QVERIFY2(ms < BoundMs, qPrintable(QString::number(ms)));
        for (int i = 0; i < 6; ++i)
            QVERIFY2(rec()->targetText(i) == QString::fromLatin1(sections.at(i)), qPrintable(QString::number(i)));
        QVERIFY(rec()->PlayBB()->isEnabled());
        QCOMPARE(errors, QStringList());
    }

    // What cannot be shown quickly is refused with its reason, and nothing changes;
    // a file inside the budget opens as it is. The sizes and figures are written out,
    // so that a changed constant of the estimate shows here.
    void showLimits_data()
    {
        QTest::addColumn<QString>("kind"); // file, fifo or folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("said"); // in the refusal; none: opens

        QTest::addColumn<QString>("limits"); // budget0, deadline0, noprobe: set so; none: as shipped

        const QLocale here;
        QTest::newRow("run well inside the budget") << "file" << QByteArray(4000, 'W') << QStringList() << "";
        // Each line just short of the old "long line", under a deep stack of marks.
        const QByteArray stacks = QStringList(60, "a" + QString(3990, QChar(0x301))).join(u'\n').toUtf8();
        QTest::newRow("stacked marks in the first screen")
            << "file" << stacks
            << QStringList{"Opening it would keep the window busy for more than ",
                           "at most " + here.toString(App::OpenBudgetNs / 1'000'000) + " ms is allowed"}
            << "";
        // The file's size and the cap, each once.
        const qint64 cap = hd::MaxFlightPlanBytes;
        QTest::newRow("too large, refused unread")
            << "sparse" << QByteArray::number(cap + 1)
            << QStringList{"It holds " + here.toString(cap + 1) + " bytes; a flight plan of more than "
                           + here.toString(cap) + " bytes is not opened."}
            << "";
        QTest::newRow("any action beyond the budget")
            << "file" << QByteArray("up 20") << QStringList{"Opening it would keep the window busy"} << "budget0";
        QTest::newRow("past the deadline")
            << "file" << QByteArray("up 20") << QStringList{"could not be weighed within 0 seconds"} << "deadline0";
        QTest::newRow("no probe: closed")
            << "file" << QByteArray("up 20") << QStringList{"could not be weighed: the helper program"} << "noprobe";
        // After landing, recorded commands go on without line ends.
        const QByteArray session = QByteArray("?\"QZ rc 0 -20 100 0\"").repeated(1000);
        QTest::newRow("recorded session, long lines with blanks")
            << "file" << QList<QByteArray>(6, session).join("\n//--------------------//\n") << QStringList() << "";
        QTest::newRow("FIFO") << "fifo" << QByteArray() << QStringList{"pipe"} << "";
        QTest::newRow("folder") << "folder" << QByteArray() << QStringList{"folder"} << "";
    }
    void showLimits()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, said);
        QFETCH(QString, limits);
        const QString path = dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        App *app = App::instance();
        const QString probe = qEnvironmentVariable("HOVERDECK_BIN") + "/hoverdeck-openprobe";
        app->setOpenLimits(limits == "budget0" ? 0 : App::OpenBudgetNs,
                           limits == "deadline0" ? 0 : App::OpenDeadlineMs);
        app->setOpenProbe(limits == "noprobe" ? dir.filePath("no-such-probe") : probe);
        const auto restore = qScopeGuard([&] {
            app->setOpenLimits(App::OpenBudgetNs, App::OpenDeadlineMs);
            app->setOpenProbe(probe);
        });
        const QByteArray name = QFile::encodeName(path);
        BlockedWriter writer;
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
            // A writer waits in open() until a reader opens the pipe.
            writer.start(name);
            QTRY_VERIFY(sleepsInOpen(writer.tid));
        } else if (kind == "sparse") {
            QFile sparse(path);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(bytes.toLongLong()));
            bytes.clear();
        } else {
            QVERIFY(kind == "folder" ? QDir().mkdir(path) : writeBytes(path, bytes));
        }

        // A reader that blocks on the pipe, or any hang, ends the run instead.
        ::alarm(BoundMs / 1000);
        const bool opened = open(path);
        ::alarm(0);
        QCOMPARE(opened, said.isEmpty());
        const QStringList sections = opened ? hd::parseFlightPlan(QString::fromUtf8(bytes)) : QStringList();
        QCOMPARE(areas(), sections + QStringList(6 - sections.size(), QStringLiteral("<old>")));
        QCOMPARE(errors.size(), opened ? 0 : 1);
        for (const QString &words : said)
            QVERIFY2(errors[0].contains(words), qPrintable(errors[0]));
        if (kind == "fifo") {
            // Opening the pipe, even to look at it, would have woken the writer.
            QVERIFY(sleepsInOpen(writer.tid));
        }
    }

    void fiftyMegabytePlanSaves()
    {
        QStringList texts;
        for (int i = 0; i < 6; ++i)
            texts << QString::fromLatin1(commandLines(FiftyMB / 6, 250, 10 + i));
        setAreas(texts);
        const QString path = dir.filePath(QStringLiteral("saved.txt"));
        chosen = path;

        QElapsedTimer took;
        took.start();
        QVERIFY(rec()->FileRecSave_Action(0));
        const qint64 ms = took.elapsed();
        qInfo("50 MB saved in %lld ms", ms);
        QVERIFY2(ms < BoundMs, qPrintable(QString::number(ms)));
        QCOMPARE(errors, QStringList());
        const QByteArray written = readBytes(path);
        QVERIFY(written.size() >= FiftyMB);
        QVERIFY(written == hd::composeFlightPlan(texts).toUtf8());
    }
};

HD_TEST_MAIN(tst_ReliabilityFiles)
#include "tst_reliability_files.moc"
