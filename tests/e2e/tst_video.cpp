#include "../ui/CntWinFixture.h"
#include "FileDialogs.h"
#include "HdTestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// The video row: the player found beside the executable at open or chosen with
// "Select", started on "streamon" with its argument list and ended on "streamoff"
// and with the window. The player here is a script that writes down its arguments,
// one a line, and then waits to be ended.
class tst_Video : public QObject
{
    Q_OBJECT

    CntWinFixture f;
    QTemporaryDir dir;
    QString player, argsFile, pidFile;
    QString bundle = QCoreApplication::applicationDirPath() + QStringLiteral("/Quenbrast.app");
    QString bundledPlayer = bundle + QStringLiteral("/Contents/Resources/ffplay");
    QString dialogType;

    QStringList playerArgs() const
    {
        QFile file(argsFile);
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("<no file>")};
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        lines.removeLast(); // after the last line end
        return lines;
    }

    static bool processAlive(const QString &pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        return !stat.readAll().contains(") Z "); // a zombie has ended
    }

    void startPlayer()
    {
        QFile::remove(argsFile);
        QFile::remove(pidFile);
        f.click("StreamOnPM");
        QTRY_VERIFY(QFile::exists(argsFile));
        QVERIFY(f.win->isPlayerRunning());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        player = dir.filePath(QStringLiteral("fake-player"));
        argsFile = dir.filePath(QStringLiteral("args"));
        pidFile = dir.filePath(QStringLiteral("pid"));
        QFile script(player);
        QVERIFY(script.open(QIODevice::WriteOnly));
        // The arguments file appears whole (renamed into place), then the script
        // becomes the waiting process itself, so ending it ends the player.
        script.write("#!/bin/sh\n"
                     "echo $$ > \"$FAKE_PLAYER_DIR/pid\"\n"
                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$FAKE_PLAYER_DIR/args.part\"\n"
                     "mv \"$FAKE_PLAYER_DIR/args.part\" \"$FAKE_PLAYER_DIR/args\"\n"
                     "exec sleep 600\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
        qputenv("FAKE_PLAYER_DIR", dir.path().toLocal8Bit());
        QDir(bundle).removeRecursively();
        QVERIFY(QDir().mkpath(QFileInfo(bundledPlayer).path()));
        QVERIFY(QFile::copy(player, bundledPlayer));

        CntWin::instance();
        QVERIFY(f.drone.start(QHostAddress(CntWinFixture::DroneAddress), 0));
        f.open(f.drone.port()); // aimed at the loopback drone before anything can send
        f.connectLink();
    }

    void cleanupTestCase()
    {
        FileDialogs::setTestHooks({});
        QDir(bundle).removeRecursively();
    }

    void bundledPlayerFoundAtOpen()
    {
        QCOMPARE(f.win->ffplay(), bundledPlayer);
        QCOMPARE(f.edit("ffplayEF")->text(), bundledPlayer);
        startPlayer();
        QCOMPARE(f.control<QProcess>("vss")->program(), bundledPlayer);
        QCOMPARE(playerArgs().value(3), QStringLiteral("udp://0.0.0.0:11111"));
        f.click("StreamOffPB");
        QTRY_VERIFY(!f.win->isPlayerRunning());
        QCOMPARE(f.receivedBeforeMarker(), (QStringList{QStringLiteral("streamon"), QStringLiteral("streamoff")}));
    }

    void selectChoosesThePlayer()
    {
        FileDialogs::TestHooks hooks;
        hooks.open = [this](const QString &type) {
            dialogType = type;
            return QString(); // cancelled
        };
        FileDialogs::setTestHooks(hooks);
        f.click("PushButton2");
        QCOMPARE(dialogType, QStringLiteral("anytype"));
        QCOMPARE(f.win->ffplay(), bundledPlayer);
        QCOMPARE(f.edit("ffplayEF")->text(), bundledPlayer);

        hooks.open = [this](const QString &) { return player; };
        FileDialogs::setTestHooks(hooks);
        f.click("PushButton2");
        QCOMPARE(f.win->ffplay(), player);
        QCOMPARE(f.edit("ffplayEF")->text(), player);
        // The field only shows the player: editing it changes nothing.
        f.edit("ffplayEF")->setText(QStringLiteral("/bin/false"));
        QCOMPARE(f.win->ffplay(), player);
    }

    void playerGetsItsArguments_data()
    {
        QTest::addColumn<QString>("frameRate"); // %DIR% stands for the temporary folder
        QTest::newRow("default") << "90";
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << " 30 60 ";
        QTest::newRow("command after ;") << "90; touch %DIR%/pwned";
        QTest::newRow("command substitution") << "$(touch %DIR%/pwned)";
        QTest::newRow("backquotes") << "`touch %DIR%/pwned`";
        QTest::newRow("redirect and pipe") << "90 > %DIR%/pwned | cat";
        QTest::newRow("quote") << "90' ; touch %DIR%/pwned '";
    }
    void playerGetsItsArguments()
    {
        QFETCH(QString, frameRate);
        frameRate.replace(QLatin1String("%DIR%"), dir.path());
        f.edit("frEF")->setText(frameRate);
        f.clearLog();

        startPlayer();
        QCOMPARE(playerArgs(),
                 (QStringList{QStringLiteral("-probesize"), QStringLiteral("32"), QStringLiteral("-i"),
                              QStringLiteral("udp://0.0.0.0:11111"), QStringLiteral("-framerate"), frameRate}));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\n"));
        QCOMPARE(f.cmdLine(), QStringLiteral("streamon"));

        QFile pid(pidFile);
        QVERIFY(pid.open(QIODevice::ReadOnly));
        const QString playerPid = QString::fromLatin1(pid.readAll().trimmed());
        QVERIFY(processAlive(playerPid));

        f.click("StreamOffPB");
        QTRY_VERIFY(!f.win->isPlayerRunning());
        QVERIFY(!processAlive(playerPid));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
        QTRY_COMPARE(f.log(), QStringLiteral("streamon: ok\nstreamoff: ok\n"));
        QCOMPARE(f.cmdLine(), QStringLiteral("streamoff"));
        QCOMPARE(f.receivedBeforeMarker(), (QStringList{QStringLiteral("streamon"), QStringLiteral("streamoff")}));
    }

    // The drone keeps "streamon" unanswered, so the report must stand on a line of
    // its own before the line that waits for the answer.
    void playerThatCannotStartIsReported_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("missing") << "gone/ffplay";
        QTest::newRow("not executable") << "args";
    }
    void playerThatCannotStartIsReported()
    {
        QFETCH(QString, chosen);
        chosen = dir.filePath(chosen);
        QFile::remove(argsFile);
        QVERIFY(QFile(argsFile).open(QIODevice::WriteOnly));
        FileDialogs::TestHooks hooks;
        hooks.open = [&](const QString &) { return chosen; };
        FileDialogs::setTestHooks(hooks);
        f.click("PushButton2");
        f.drone.setSilent(QStringLiteral("streamon"));
        f.clearLog();

        f.click("StreamOnPM");
        const QString report = QStringLiteral("The video player %1 could not be started: ").arg(chosen);
        QTRY_VERIFY2(f.log().startsWith(report), qPrintable(f.log()));
        const QStringList lines = f.log().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].size() > report.size() && !lines[0].contains(QLatin1String("exec")), qPrintable(lines[0]));
        QCOMPARE(lines[1], QStringLiteral("streamon: "));
        QVERIFY(!f.win->isPlayerRunning());
        f.drone.clearScript();
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("streamon")});
        hooks.open = [this](const QString &) { return player; };
        FileDialogs::setTestHooks(hooks);
        f.click("PushButton2");
    }

    void streamoffWithoutPlayerOnlySends()
    {
        f.clearLog();
        QVERIFY(!f.win->isPlayerRunning());
        f.click("StreamOffPB");
        QTRY_COMPARE(f.log(), QStringLiteral("streamoff: ok\n"));
        QCOMPARE(f.receivedBeforeMarker(), QStringList{QStringLiteral("streamoff")});
    }

    // Last: the window goes.
    void playerEndsWithTheWindow()
    {
        f.edit("frEF")->setText(QStringLiteral("90"));
        startPlayer();
        QFile pid(pidFile);
        QVERIFY(pid.open(QIODevice::ReadOnly));
        const QString playerPid = QString::fromLatin1(pid.readAll().trimmed());
        QVERIFY(processAlive(playerPid));

        f.click("LeavePM"); // nothing left to send to
        delete CntWin::instance();
        QVERIFY(!CntWin::exists());
        QTRY_VERIFY(!processAlive(playerPid));
    }
};

HD_TEST_MAIN(tst_Video)
#include "tst_video.moc"
