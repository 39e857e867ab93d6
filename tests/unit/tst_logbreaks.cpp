#include "LogBreaks.h"

#include <QTest>

using namespace hd;

class tst_LogBreaks : public QObject
{
    Q_OBJECT

private slots:
    void breaks_data()
    {
        QTest::addColumn<qsizetype>("lead");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qsizetype>>("breaks"); // with a limit of 10

        using L = QList<qsizetype>;
        QTest::newRow("open line just fits") << qsizetype(3) << "rc 20: " << L{};
        QTest::newRow("open line would grow beyond") << qsizetype(4) << "rc 20: " << L{0};
        QTest::newRow("answer completes the line") << qsizetype(40) << "ok\n" << L{};
        QTest::newRow("after the first blank at the limit")
            << qsizetype(0) << "aaaa bbbbb ccc dddd eeee f" << L{11, 25};
        QTest::newRow("line end starts a new count") << qsizetype(9) << "a\nbbbbbbbbbbbb cc" << L{15};
    }

    void breaks()
    {
        QFETCH(qsizetype, lead);
        QFETCH(QString, text);
        QFETCH(QList<qsizetype>, breaks);
        QCOMPARE(logBreaks(lead, text, 10), breaks);
    }

    void joinLeavesOutTheBreaksOnly()
    {
        QCOMPARE(joinLogText(u"\u2029a\u2029\u2029b\u00a0c\u2028\u2029"_qs, {0, 2, 8}), QStringLiteral("a\nb c\n"));
    }
};

QTEST_APPLESS_MAIN(tst_LogBreaks)
#include "tst_logbreaks.moc"
