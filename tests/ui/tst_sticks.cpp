#include "CntWinFixture.h"
#include "HdTestMain.h"
#include "StickCanvas.h"

#include <QDialog>
#include <QImage>
#include <QMenu>

// The two on-screen sticks: what a press, a drag and a release send.
class tst_Sticks : public QObject
{
    Q_OBJECT

    CntWinFixture f;

    StickCanvas *stick(int i) const { return f.control<StickCanvas>(QStringLiteral("acv_%1").arg(i)); }

    // Counts the paint events of one stick.
    class PaintCounter : public QObject
    {
    public:
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    };

    // Takes the mouse from a held stick as a dialog, another window or the window's hiding would.
    void loseTheMouse(const QString &loss)
    {
        QDialog dialog(f.win);
        QMenu popup(f.win);
        popup.addAction(QStringLiteral("x"));
        if (loss == QLatin1String("modal dialog")) {
            dialog.open();
        } else if (loss == QLatin1String("another window active")) {
            RecWin::instance()->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), RecWin::instance());
        } else if (loss == QLatin1String("window hidden")) {
            f.win->hide();
            f.win->show();
        } else {
            popup.popup(f.win->geometry().center());
            QTest::mouseRelease(&popup, Qt::LeftButton, {}, QPoint(1, 1));
        }
        QTRY_VERIFY(!f.win->mouseHeld());
    }

private slots:
    void initTestCase()
    {
        f.open(28869);
        QVERIFY(f.startDrone());
        f.connectLink();
    }

    void init()
    {
        f.drone.clearReceived();
        f.clearLog();
        CntWinFixture::clearRecorded();
    }

    void sticksStartCentred()
    {
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(stick(i)->index(), i);
            QCOMPARE(f.win->pointerX(i), 50);
            QCOMPARE(f.win->pointerY(i), 50);
            QCOMPARE(f.win->sx(i), 0);
            QCOMPARE(f.win->sy(i), 0);
        }
    }

    void pressAndReleaseSendNothing()
    {
        QTest::mousePress(stick(0), Qt::LeftButton, {}, QPoint(5, 95));
        QVERIFY(f.win->mouseHeld());
        QTest::mouseRelease(stick(0), Qt::LeftButton, {}, QPoint(5, 95));
        QVERIFY(!f.win->mouseHeld());
        QCOMPARE(f.receivedBeforeMarker(), QStringList());
        QCOMPARE(f.log(), QString());
        QCOMPARE(CntWinFixture::recorded(0), QString());
    }

    void dragSendsOnEachChangeOfBand_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<QPoint>>("moves");
        QTest::addColumn<QStringList>("sent"); // zeros from the release, unless the drag sent them
        QTest::addColumn<QString>("loss");     // what takes the mouse before the release; none: released

        const QString zeros = QStringLiteral("rc 0 0 0 0");
        QTest::newRow("jump over bands") << 0 << QList<QPoint>{{75, 50}} << QStringList{"rc 40 0 0 0", zeros}
                                         << QString();
        QTest::newRow("within one band") << 0 << QList<QPoint>{{61, 50}, {64, 52}, {68, 45}}
                                         << QStringList{"rc 20 0 0 0", zeros} << QString();
        QTest::newRow("beyond the edges")
            << 0 << QList<QPoint>{{130, 140}} << QStringList{"rc 100 -100 0 0", zeros} << QString();
        QTest::newRow("truncation toward zero")
            << 0 << QList<QPoint>{{45, 55}, {35, 50}} << QStringList{"rc -20 0 0 0", zeros} << QString();
        QTest::newRow("corners") << 0 << QList<QPoint>{{99, 0}, {0, 99}}
                                 << QStringList{"rc 80 100 0 0", "rc -100 -80 0 0", zeros} << QString();
        QTest::newRow("back to centre before release")
            << 0 << QList<QPoint>{{60, 50}, {50, 50}} << QStringList{"rc 20 0 0 0", zeros} << QString();
        QTest::newRow("left stick up") << 1 << QList<QPoint>{{50, 0}} << QStringList{"rc 0 0 100 0", zeros}
                                       << QString();
        QTest::newRow("left stick both axes")
            << 1 << QList<QPoint>{{35, 65}} << QStringList{"rc 0 0 -20 -20", zeros} << QString();
        QTest::newRow("left stick right")
            << 1 << QList<QPoint>{{150, 50}} << QStringList{"rc 0 0 0 100", zeros} << QString();
        QTest::newRow("left stick far left")
            << 1 << QList<QPoint>{{-40, 50}} << QStringList{"rc 0 0 0 -100", zeros} << QString();
        // A held stick whose release goes elsewhere springs back once, as if released.
        for (const char *loss : {"modal dialog", "another window active", "released over a popup", "window hidden"})
            QTest::addRow("%s", loss) << 0 << QList<QPoint>{{62, 30}} << QStringList{"rc 20 40 0 0", zeros} << loss;
    }

    void dragSendsOnEachChangeOfBand()
    {
        QFETCH(int, index);
        QFETCH(QList<QPoint>, moves);
        QFETCH(QStringList, sent);
        QFETCH(QString, loss);
        StickCanvas *canvas = stick(index);
        f.win->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), f.win);

        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 50));
        for (const QPoint &p : moves) {
            QTest::mouseMove(canvas, p);
            QCOMPARE(f.win->pointerX(index), p.x());
            QCOMPARE(f.win->pointerY(index), p.y());
        }
        if (!loss.isEmpty()) {
            loseTheMouse(loss);
            // The button still down, a move without a new press must not steer again.
            QTest::mouseMove(canvas, QPoint(90, 90));
            QCOMPARE(f.win->pointerX(index), 50);
        }
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, moves.last()); // late after a loss: sends nothing
        QCOMPARE(f.win->pointerX(index), 50);
        QCOMPARE(f.win->pointerY(index), 50);

        QCOMPARE(f.receivedBeforeMarker(), sent);
        QCOMPARE(f.log(), sent.join(QStringLiteral(": ")) + QStringLiteral(": "));
        QCOMPARE(f.cmdLine(), sent.last());
        QCOMPARE(f.win->sx(index), 0);
        QCOMPARE(f.win->sy(index), 0);
    }

    void theOtherStickKeepsItsValues()
    {
        QTest::mousePress(stick(1), Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(stick(1), QPoint(50, 0));
        QTest::mousePress(stick(0), Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(stick(0), QPoint(80, 50));
        QTest::mouseRelease(stick(0), Qt::LeftButton, {}, QPoint(80, 50));
        QTest::mouseRelease(stick(1), Qt::LeftButton, {}, QPoint(50, 0));
        QCOMPARE(f.receivedBeforeMarker(),
                 QStringList({"rc 0 0 100 0", "rc 60 0 100 0", "rc 0 0 100 0", "rc 0 0 0 0"}));
    }

    void stickCommandIsRecordedWhole()
    {
        QTest::mousePress(stick(0), Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(stick(0), QPoint(75, 50));
        QCOMPARE(CntWinFixture::recorded(0), QStringLiteral("rc 40 0 0 0\n"));
        QTest::mouseRelease(stick(0), Qt::LeftButton, {}, QPoint(75, 50));
        (void)f.receivedBeforeMarker();
    }

    void paintShowsTheDotWhereThePointerWas()
    {
        StickCanvas *canvas = stick(0);
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(canvas, QPoint(75, 30));
        QImage image = canvas->grab().toImage();
        QCOMPARE(image.size(), QSize(100, 100));
        QCOMPARE(image.pixelColor(75, 30), QColor(Qt::red));
        QCOMPARE(image.pixelColor(50, 50), QColor(Qt::white));
        QVERIFY(image.pixelColor(50, 0).lightness() < 128); // the black outline

        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(75, 30));
        image = canvas->grab().toImage();
        QCOMPARE(image.pixelColor(50, 50), QColor(Qt::red));
        QCOMPARE(image.pixelColor(75, 30), QColor(Qt::white));
        (void)f.receivedBeforeMarker();
    }

    void repaintOnlyWhenTheValuesChange()
    {
        StickCanvas *canvas = stick(0);
        PaintCounter counter;
        canvas->installEventFilter(&counter);
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(canvas, QPoint(62, 50));
        QTRY_COMPARE(counter.paints, 1);
        QTest::mouseMove(canvas, QPoint(68, 50));
        QTest::mouseMove(canvas, QPoint(66, 55));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 1);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(66, 55));
        QTRY_COMPARE(counter.paints, 2);
        canvas->removeEventFilter(&counter);
        (void)f.receivedBeforeMarker();
    }
};

HD_TEST_MAIN(tst_Sticks)
#include "tst_sticks.moc"
