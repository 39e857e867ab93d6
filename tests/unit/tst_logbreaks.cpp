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

    void joinLeavesOutTheBreaksOnly_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QList<qsizetype>>("breaks");
        QTest::addColumn<qsizetype>("from"); // the document position where raw starts
        QTest::addColumn<QString>("text");

        using L = QList<qsizetype>;
        QTest::newRow("document's separators kept")
            << u"\u2029a\u2029\u2029b\u00a0c\u2028\u2029"_qs << L{0, 2, 8} << qsizetype(0) << "a\nb c\n";
        QTest::newRow("range starts at a break") << u"\u2029abc"_qs << L{3, 5} << qsizetype(5) << "abc";
        QTest::newRow("breaks beyond either end") << u"ab\u2029c"_qs << L{9, 12, 14} << qsizetype(10) << "abc";
        QTest::newRow("a break alone holds nothing") << u"\u2029"_qs << L{7} << qsizetype(7) << "";
    }

    void joinLeavesOutTheBreaksOnly()
    {
        QFETCH(QString, raw);
        QFETCH(QList<qsizetype>, breaks);
        QFETCH(qsizetype, from);
        QFETCH(QString, text);
        QCOMPARE(joinLogText(raw, breaks, from), text);
    }
};

QTEST_APPLESS_MAIN(tst_LogBreaks)
#include "tst_logbreaks.moc"
