#include "CntWinFixture.h"
#include "FileDialogs.h"
#include "HdTestMain.h"
#include "MainMenuBar.h"
#include "Module1.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTranslator>

using Texts = QList<QString>;

class tst_Menus : public QObject
{
    Q_OBJECT

    CntWinFixture fixture;
    QStringList dialogs; // the file dialogs asked for, with their type

    static MainMenuBar *bar() { return MainMenuBar::instance(); }
    static RecWin *rec() { return RecWin::instance(); }

    QMainWindow *window(const QString &which) const
    {
        return which == QLatin1String("controller") ? static_cast<QMainWindow *>(fixture.win) : rec();
    }

    static bool bringToFront(QWidget *window)
    {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }

    static QMenu *menu(QMainWindow *window, const QString &name) { return window->menuBar()->findChild<QMenu *>(name); }

private slots:
    void initTestCase()
    {
        fixture.open(18895);
        QVERIFY(fixture.startDrone());
        fixture.connectLink();
        QTRY_VERIFY(fixture.linkBound());
        App::instance()->startUp();
        App::instance()->Event_Open();
        QVERIFY(QTest::qWaitForWindowExposed(rec()));

        FileDialogs::setTestHooks({
            [this](const QString &type) {
                dialogs << QStringLiteral("open ") + type;
                return QString();
            },
            [this](const QString &type, const QString &name) {
                dialogs << QStringLiteral("save %1 %2").arg(type, name);
                return QString();
            },
            {},
        });
    }

    void barShowsThreeMenusInOrder_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("controller") << "controller";
        QTest::newRow("record and play") << "recorder";
    }

    void barShowsThreeMenusInOrder()
    {
        QFETCH(QString, which);
        const QList<QAction *> menus = window(which)->menuBar()->actions();
        QStringList titles;
        for (QAction *menuAction : menus)
            titles << menuAction->text();
        QCOMPARE(titles, (QStringList{"ファイル", "編集", "Window"}));
        QCOMPARE(bar()->entryNames(), (QStringList{"FileMenu", "EditMenu", "kWindowMenu"}));
    }

    void itemsTextsAndShortcuts_data()
    {
        QTest::addColumn<QString>("menuName");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text"); // "-": a separator
        QTest::addColumn<QKeySequence>("shortcut");
        const QKeySequence none;
        QTest::newRow("RecOpen") << "FileMenu" << 0 << "RecOpen"
                                 << "Open..." << QKeySequence(QKeySequence::Open);
        QTest::newRow("UntitledSeparator") << "FileMenu" << 1 << "UntitledSeparator"
                                           << "-" << none;
        QTest::newRow("FileRecSave") << "FileMenu" << 2 << "FileRecSave"
                                     << "Save..." << QKeySequence(QKeySequence::Save);
        QTest::newRow("UntitledSeparator0") << "FileMenu" << 3 << "UntitledSeparator0"
                                            << "-" << none;
        QTest::newRow("FileQuit") << "FileMenu" << 4 << "FileQuit"
                                  << "終了" << QKeySequence(QKeySequence::Quit);
        QTest::newRow("EditUndo") << "EditMenu" << 0 << "EditUndo"
                                  << "取り消す" << QKeySequence(QKeySequence::Undo);
        QTest::newRow("EditSeparator1") << "EditMenu" << 1 << "EditSeparator1"
                                        << "-" << none;
        QTest::newRow("EditCut") << "EditMenu" << 2 << "EditCut"
                                 << "カット" << QKeySequence(QKeySequence::Cut);
        QTest::newRow("EditCopy") << "EditMenu" << 3 << "EditCopy"
                                  << "コピー" << QKeySequence(QKeySequence::Copy);
        QTest::newRow("EditPaste") << "EditMenu" << 4 << "EditPaste"
                                   << "貼り付け" << QKeySequence(QKeySequence::Paste);
        QTest::newRow("EditClear") << "EditMenu" << 5 << "EditClear"
                                   << "削除" << none;
        QTest::newRow("EditSeparator2") << "EditMenu" << 6 << "EditSeparator2"
                                        << "-" << none;
        QTest::newRow("EditSelectAll") << "EditMenu" << 7 << "EditSelectAll"
                                       << "すべてを選択" << QKeySequence(QKeySequence::SelectAll);
        QTest::newRow("WindowControll") << "kWindowMenu" << 0 << "WindowControll"
                                        << "Controller window" << none;
        QTest::newRow("WindowShowRecordAndPlayWindow") << "kWindowMenu" << 1 << "WindowShowRecordAndPlayWindow"
                                                       << "Record & Play Window" << none;
    }

    void itemsTextsAndShortcuts()
    {
        QFETCH(QString, menuName);
        QFETCH(int, position);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QKeySequence, shortcut);

        QCOMPARE(bar()->entryNames(menuName).value(position), name);
        QCOMPARE(bar()->text(name), text);
        for (QMainWindow *w : {static_cast<QMainWindow *>(fixture.win), static_cast<QMainWindow *>(rec())}) {
            QMenu *m = menu(w, menuName);
            QVERIFY(m);
            QCOMPARE(m->actions().size(), bar()->entryNames(menuName).size());
            QAction *action = m->actions().value(position);
            QCOMPARE(action->objectName(), name);
            QCOMPARE(action->isSeparator(), text == QLatin1String("-"));
            if (text == QLatin1String("-"))
                continue;
            // One shared item for both windows; an ampersand shows as itself.
            QCOMPARE(action, bar()->item(name));
            QCOMPARE(action->text(), QString(text).replace(QLatin1String("&"), QLatin1String("&&")));
            QCOMPARE(action->shortcut(), shortcut);
            QVERIFY(action->isEnabled());
            QVERIFY(action->isVisible());
        }
    }

    void builtOnlyOnce()
    {
        const int items = bar()->findChildren<QAction *>().size();
        QCOMPARE(MainMenuBar::instance(), bar());
        bar()->installIn(rec());
        QCOMPARE(bar()->findChildren<QAction *>().size(), items);
        QCOMPARE(rec()->menuBar()->actions().size(), 3);
    }

    void saveActsOnlyFromTheRecordAndPlayWindow()
    {
        dialogs.clear();
        QVERIFY(bringToFront(fixture.win));
        QCOMPARE(bar()->choose(QStringLiteral("FileRecSave")), false);
        QTest::keyClick(fixture.win, Qt::Key_S, Qt::ControlModifier);
        bar()->item(QStringLiteral("FileRecSave"))->trigger();
        QCOMPARE(dialogs, QStringList());

        QVERIFY(bringToFront(rec()));
        bar()->choose(QStringLiteral("FileRecSave"));
        QTest::keyClick(rec(), Qt::Key_S, Qt::ControlModifier);
        bar()->item(QStringLiteral("FileRecSave"))->trigger();
        QCOMPARE(dialogs, QStringList(3, QStringLiteral("save TEXTTYPE FlightPlan.txt")));
    }

    void openActsFromEitherWindow_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("controller") << "controller";
        QTest::newRow("record and play") << "recorder";
    }

    void openActsFromEitherWindow()
    {
        QFETCH(QString, which);
        dialogs.clear();
        QVERIFY(bringToFront(window(which)));
        // Cancelled: not handled.
        QCOMPARE(bar()->choose(QStringLiteral("RecOpen")), false);
        QTest::keyClick(window(which), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs, QStringList(2, QStringLiteral("open TEXTTYPE")));
    }

    void editItemsActOnTheFocusedText_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        for (const QString control : {"MjEF_3", "CmdEF"}) {
            QTest::addRow("%s cut", qPrintable(control)) << control << QStringList{"EditSelectAll", "EditCut"} << "";
            QTest::addRow("%s cut then paste twice", qPrintable(control))
                << control << QStringList{"EditSelectAll", "EditCut", "EditPaste", "EditPaste"} << "up 20up 20";
            QTest::addRow("%s copy then paste over", qPrintable(control))
                << control << QStringList{"EditSelectAll", "EditCopy", "EditPaste", "EditPaste"} << "up 20up 20";
            QTest::addRow("%s clear", qPrintable(control))
                << control << QStringList{"EditSelectAll", "EditClear"} << "";
            QTest::addRow("%s clear then undo", qPrintable(control))
                << control << QStringList{"EditSelectAll", "EditClear", "EditUndo"} << "up 20";
        }
    }

    void editItemsActOnTheFocusedText()
    {
        QFETCH(QString, control);
        QFETCH(QStringList, items);
        QFETCH(QString, text);

        QWidget *target =
            control.startsWith(QLatin1String("MjEF")) ? static_cast<QWidget *>(rec()->MjEF(3)) : fixture.edit(control);
        QVERIFY(bringToFront(target->window()));
        if (auto *area = qobject_cast<QPlainTextEdit *>(target)) {
            rec()->MJType()->setCurrentIndex(3);
            area->setPlainText(QStringLiteral("up 20"));
        } else {
            static_cast<QLineEdit *>(target)->setText(QStringLiteral("up 20"));
        }
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);
        for (const QString &item : items)
            QVERIFY(bar()->choose(item));
        const QString now =
            qobject_cast<QPlainTextEdit *>(target) ? rec()->targetText(3) : static_cast<QLineEdit *>(target)->text();
        QCOMPARE(now, text);
        rec()->setTargetText(3, QString());
        rec()->MJType()->setCurrentIndex(0);
    }

    void windowTextsWithoutTranslation_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("kWindow") << "kWindow"
                                 << "Window";
        QTest::newRow("kShowRecordPlayWindow") << "kShowRecordPlayWindow"
                                               << "Record & Play Window";
        QTest::newRow("kShowControllerWindow") << "kShowControllerWindow"
                                               << "Controller window";
        QTest::newRow("kRecSave") << "kRecSave"
                                  << "Save...";
        QTest::newRow("kRecOpen") << "kRecOpen"
                                  << "Open...";
    }

    void windowTextsWithoutTranslation()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QCOMPARE(lookUp(key, QString()), text);
    }

    void localisedTextsByKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("fallback");
        QTest::addColumn<QString>("german");
        QTest::newRow("kWindow") << "kWindow"
                                 << "Window"
                                 << "Fenster";
        QTest::newRow("kShowRecordPlayWindow") << "kShowRecordPlayWindow"
                                               << "Record & Play Window"
                                               << "Aufnahme- & Wiedergabefenster";
        QTest::newRow("kShowControllerWindow") << "kShowControllerWindow"
                                               << "Controller window"
                                               << "Steuerfenster";
        QTest::newRow("kRecSave") << "kRecSave"
                                  << "Save..."
                                  << "Sichern...";
        QTest::newRow("kRecOpen") << "kRecOpen"
                                  << "Open..."
                                  << "Öffnen...";
    }

    void localisedTextsByKey()
    {
        QFETCH(QString, key);
        QFETCH(QString, fallback);
        QFETCH(QString, german);

        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral("hoverdeck_test_de"), QStringLiteral(HD_TEST_QM_DIR)));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        const QString translated = lookUp(key, QString());
        const QString otherLanguage = lookUp(key, QStringLiteral("fr"));
        QCoreApplication::removeTranslator(&translator);

        QCOMPARE(translated, german);
        QCOMPARE(otherLanguage, fallback);
        QCOMPARE(lookUp(key, QString()), fallback);
        // Looked up once, while the bar was built.
        QVERIFY(!bar()->text(QStringLiteral("kWindowMenu")).contains(QLatin1String("Fenster")));
    }

    // Last: File > Quit lands the drone through the controller's close sequence.
    void quitLandsTheDroneFirst()
    {
        QuitRecorder::codes().clear();
        fixture.drone.clearReceived();
        QVERIFY(bar()->choose(QStringLiteral("FileQuit")));
        QTRY_COMPARE_WITH_TIMEOUT(QuitRecorder::codes(), QList<int>{0}, 5000);
        QCOMPARE(fixture.drone.received(), QStringList{"Land"});
        QVERIFY(!rec()->isVisible());
    }

    void cleanupTestCase() { FileDialogs::setTestHooks({}); }

private:
    static QString lookUp(const QString &key, const QString &lang)
    {
        if (key == QLatin1String("kWindow"))
            return Module1::kWindow(lang);
        if (key == QLatin1String("kShowRecordPlayWindow"))
            return Module1::kShowRecordPlayWindow(lang);
        if (key == QLatin1String("kShowControllerWindow"))
            return Module1::kShowControllerWindow(lang);
        if (key == QLatin1String("kRecSave"))
            return Module1::kRecSave(lang);
        return Module1::kRecOpen(lang);
    }
};

HD_TEST_MAIN(tst_Menus)
#include "tst_menus.moc"
