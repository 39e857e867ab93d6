#include "CntWinFixture.h"
#include "FileTypes1.h"
#include "HdTestMain.h"
#include "MainMenuBar.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

class tst_App : public QObject
{
    Q_OBJECT

    CntWinFixture fixture;

    static RecWin *rec() { return RecWin::instance(); }

    struct Places
    {
        QRect controller, recorder;
        bool operator==(const Places &o) const { return controller == o.controller && recorder == o.recorder; }
    };
    Places places() const { return {fixture.win->geometry(), rec()->geometry()}; }

private slots:
    // Start-up as main() runs it, in a German desktop with a German translation
    // beside the executable (this test's folder is its own).
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Hoverdeck"));
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDir translations(QCoreApplication::applicationDirPath() + QStringLiteral("/translations"));
        const QString installed = translations.filePath(QStringLiteral("hoverdeck_de.qm"));
        QVERIFY(translations.mkpath(QStringLiteral(".")));
        QFile::remove(installed);
        QVERIFY(QFile::copy(QStringLiteral(HD_TEST_QM_DIR "/hoverdeck_test_de.qm"), installed));

        App::instance()->startUp();
        QFile::remove(installed);
        QCOMPARE(MainMenuBar::instance()->text(QStringLiteral("kWindowMenu")), QStringLiteral("Fenster"));
        QCOMPARE(MainMenuBar::instance()->text(QStringLiteral("RecOpen")), QStringLiteral("Öffnen..."));
        fixture.open(18896);
        App::instance()->startUp();
    }

    void fileTypes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("admitted");
        QTest::newRow("text plan") << "TEXTTYPE"
                                   << "FlightPlan.txt" << true;
        QTest::newRow("text other") << "TEXTTYPE"
                                    << "FlightPlan.bin" << false;
        QTest::newRow("text no extension") << "TEXTTYPE"
                                           << "FlightPlan" << false;
        QTest::newRow("any player") << "anytype"
                                    << "ffplay" << true;
        QTest::newRow("any text") << "anytype"
                                  << "a.txt" << true;
        QTest::newRow("bin") << "bintype"
                             << "fw.bin" << true;
        QTest::newRow("bin text") << "bintype"
                                  << "fw.txt" << false;
    }

    void fileTypes()
    {
        QFETCH(QString, type);
        QFETCH(QString, file);
        QFETCH(bool, admitted);
        QVERIFY(FileTypes1::isRegistered(type));
        const QRegularExpressionMatch patterns =
            QRegularExpression(QStringLiteral("\\(([^)]*)\\)$")).match(FileTypes1::dialogFilter(type));
        QVERIFY(patterns.hasMatch());
        QCOMPARE(QDir::match(patterns.captured(1).split(u' '), file), admitted);
    }

    void fileTypesRegisteredOnce()
    {
        QStringList names;
        for (const FileTypes1::FileType &type : FileTypes1::registeredTypes())
            names << type.Name;
        QCOMPARE(names, (QStringList{"bintype", "anytype", "TEXTTYPE"}));
    }

    // Bound at start-up, before any window opened: the first choice reaches them.
    void handlersBoundBeforeOpen() { QVERIFY(MainMenuBar::instance()->choose(QStringLiteral("WindowControll"))); }

    void openPlacesTheWindowsSideBySide()
    {
        fixture.win->move(40, 50);
        App::instance()->Event_Open();
        QVERIFY(QTest::qWaitForWindowExposed(rec()));
        QVERIFY(fixture.win->isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), fixture.win);

        const QRect controller = fixture.win->geometry();
        QCOMPARE(rec()->geometry().left(), controller.left() + fixture.win->width() + 8);
        QCOMPARE(rec()->geometry().top(), controller.top());
        QCOMPARE(rec()->centralWidget()->mapToGlobal(QPoint(0, 0)).y(),
                 fixture.win->centralWidget()->mapToGlobal(QPoint(0, 0)).y());
    }

    void windowMenuBringsToFrontWithoutMoving_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("recorderInFront");
        QTest::newRow("record and play") << "WindowShowRecordAndPlayWindow" << true;
        QTest::newRow("controller") << "WindowControll" << false;
        QTest::newRow("record and play again") << "WindowShowRecordAndPlayWindow" << true;
    }

    void windowMenuBringsToFrontWithoutMoving()
    {
        QFETCH(QString, item);
        QFETCH(bool, recorderInFront);
        QWidget *front = recorderInFront ? static_cast<QWidget *>(rec()) : fixture.win;
        const Places before = places();
        for (int twice = 0; twice < 2; ++twice) {
            QVERIFY(MainMenuBar::instance()->choose(item));
            QTRY_COMPARE(QApplication::activeWindow(), front);
            QVERIFY(fixture.win->isVisible() && rec()->isVisible());
            QVERIFY(places() == before);
        }
    }
};

HD_TEST_MAIN(tst_App)
#include "tst_app.moc"
