#include "AnswerDispatch.h"

#include <QTest>

using namespace hd;

class tst_AnswerDispatch : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
};

void tst_AnswerDispatch::dispatch_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<qint64>("staId");
    QTest::addColumn<bool>("completion");
    QTest::addColumn<QString>("text");

    QTest::newRow("ok") << QByteArray("ok") << qint64(0) << true << "ok";
    QTest::newRow("OK as received") << QByteArray("OK") << qint64(0) << true << "OK";
    QTest::newRow("error") << QByteArray("error") << qint64(0) << true << "error";
    QTest::newRow("Error") << QByteArray("Error") << qint64(5) << true << "Error";
    QTest::newRow("ok with CR LF") << QByteArray("ok\r\n") << qint64(0) << true << "ok";
    QTest::newRow("error with its reason")
        << QByteArray("error Not joystick") << qint64(1) << true << "error Not joystick";
    QTest::newRow("error reason with CR LF, capitals")
        << QByteArray("ERROR Motor stop\r\n") << qint64(1) << true << "ERROR Motor stop";
    QTest::newRow("word only starting with error") << QByteArray("errors") << qint64(1) << false << "errors";
    QTest::newRow("error later in a value") << QByteArray("no error") << qint64(1) << false << "no error";
    QTest::newRow("ok with blank is a value") << QByteArray("ok ") << qint64(1) << false << "ok ";
    QTest::newRow("battery with CR LF") << QByteArray("87\r\n") << qint64(1) << false << "87";
    QTest::newRow("battery with LF") << QByteArray("87\n") << qint64(1) << false << "87";
    QTest::newRow("battery with CR") << QByteArray("87\r") << qint64(1) << false << "87";
    QTest::newRow("battery bare") << QByteArray("87") << qint64(1) << false << "87";
    QTest::newRow("only one terminator removed") << QByteArray("87\r\n\r\n") << qint64(1) << false << "87\r\n";
    QTest::newRow("attitude") << QByteArray("pitch:0;roll:-1;yaw:0;\r\n") << qint64(5) << false
                              << "pitch:0\nroll:-1\nyaw:0\n";
    QTest::newRow("acceleration") << QByteArray("agx:-5.00;agy:7.00;agz:-999.00;") << qint64(7) << false
                                  << "agx:-5.00\nagy:7.00\nagz:-999.00\n";
    QTest::newRow("attitude after battery query keeps semicolons")
        << QByteArray("pitch:0;roll:-1;yaw:0;\r\n") << qint64(1) << false << "pitch:0;roll:-1;yaw:0;";
    QTest::newRow("empty datagram") << QByteArray() << qint64(0) << false << "";
    QTest::newRow("bare terminator") << QByteArray("\r\n") << qint64(0) << false << "";
    QTest::newRow("invalid UTF-8") << QByteArray("8\xff\xfe") << qint64(1) << false
                                   << QStringLiteral("8") + QChar(QChar::ReplacementCharacter)
            + QChar(QChar::ReplacementCharacter);
    QTest::newRow("unknown command") << QByteArray("unknown command: sdk?") << qint64(10) << true
                                     << "unknown command: sdk?";
    QTest::newRow("Unknown command, capitals")
        << QByteArray("Unknown Command: mon\r\n") << qint64(10) << true << "Unknown Command: mon";
    QTest::newRow("unknown without colon is a value") << QByteArray("unknown") << qint64(11) << false << "unknown";
}

void tst_AnswerDispatch::dispatch()
{
    QFETCH(QByteArray, datagram);
    QFETCH(qint64, staId);
    QFETCH(bool, completion);
    QFETCH(QString, text);
    const Answer answer = dispatchAnswer(datagram, staId);
    QCOMPARE(answer.kind, completion ? Answer::Completion : Answer::Value);
    QCOMPARE(answer.text, text);
}

QTEST_APPLESS_MAIN(tst_AnswerDispatch)
#include "tst_answerdispatch.moc"
