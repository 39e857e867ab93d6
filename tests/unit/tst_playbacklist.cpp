#include "PlaybackList.h"

#include <QTest>

using Steps = QList<hd::PlayStep>;
Q_DECLARE_METATYPE(Steps)

namespace QTest {
template <>
char *toString(const hd::PlayStep &step)
{
    return qstrdup(QStringLiteral("(\"%1\", %2 ms)").arg(step.command).arg(step.waitMs).toUtf8().constData());
}
} // namespace QTest

class tst_PlaybackList : public QObject
{
    Q_OBJECT

private slots:
    void readsLines_data();
    void readsLines();
};

void tst_PlaybackList::readsLines_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<Steps>("steps");

    QTest::newRow("command with wait") << "command:WAIT30" << Steps{{"command", 510}};
    QTest::newRow("motion with wait") << "up 20:WAIT95" << Steps{{"up 20", 1615}};
    QTest::newRow("closing line") << "land" << Steps{{"land", 0}};
    QTest::newRow("wait without number") << "flip f:WAIT" << Steps{{"flip f", 0}};
    QTest::newRow("text before WAIT") << "up 20:xWAIT30" << Steps{{"up 20", 510}};
    QTest::newRow("only the piece after the first colon") << "a:b:WAIT30" << Steps{{"a", 0}};
    QTest::newRow("fraction truncated") << "cw 90:WAIT1.5" << Steps{{"cw 90", 25}};
    QTest::newRow("no colon") << "WAIT30" << Steps{{"WAIT30", 0}};
    QTest::newRow("empty lines skipped") << "\n\nup 20:WAIT1\n\n" << Steps{{"up 20", 17}};
    QTest::newRow("empty list") << "" << Steps{};
    QTest::newRow("final line without line end") << "takeoff:WAIT2\nland" << Steps{{"takeoff", 34}, {"land", 0}};
    QTest::newRow("negative wait plays as none") << "up 20:WAIT-30" << Steps{{"up 20", 0}};
    QTest::newRow("huge wait clamped") << "up 20:WAIT99999999999" << Steps{{"up 20", hd::PlaybackMaxWaitMs}};
    QTest::newRow("overflowing wait clamped") << "up 20:WAIT1e999" << Steps{{"up 20", hd::PlaybackMaxWaitMs}};
    QTest::newRow("recorded flight")
        << "command:WAIT30\ntakeoff:WAIT180\nup 20:WAIT95\nbattery?:WAIT240\nland\n"
        << Steps{{"command", 510}, {"takeoff", 3060}, {"up 20", 1615}, {"battery?", 4080}, {"land", 0}};
}

void tst_PlaybackList::readsLines()
{
    QFETCH(QString, list);
    QFETCH(Steps, steps);
    QCOMPARE(hd::parsePlaybackList(list), steps);
}

QTEST_APPLESS_MAIN(tst_PlaybackList)
#include "tst_playbacklist.moc"
