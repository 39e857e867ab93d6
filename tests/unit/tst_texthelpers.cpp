#include "TextHelpers.h"

#include <QTest>

#include <limits>

using namespace hd;

class tst_TextHelpers : public QObject
{
    Q_OBJECT

private slots:
    void nthField_data();
    void nthField();
    void countFields_data();
    void countFields();
    void replaceAll_data();
    void replaceAll();
    void replaceLineEndings_data();
    void replaceLineEndings();
    void mid_data();
    void mid();
    void str_data();
    void str();
    void val_data();
    void val();
    void intVal_data();
    void intVal();
    void sameText_data();
    void sameText();
    void defineEncodingReplacesInvalidBytes();
};

void tst_TextHelpers::nthField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<qsizetype>("n");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first") << "a;b;c"
                           << ";" << qsizetype(1) << "a";
    QTest::newRow("middle") << "a;b;c"
                            << ";" << qsizetype(2) << "b";
    QTest::newRow("last") << "a;b;c"
                          << ";" << qsizetype(3) << "c";
    QTest::newRow("beyond last") << "a;b;c"
                                 << ";" << qsizetype(4) << "";
    QTest::newRow("far beyond") << "a;b;c"
                                << ";" << qsizetype(1000) << "";
    QTest::newRow("zero") << "a;b"
                          << ";" << qsizetype(0) << "";
    QTest::newRow("negative") << "a;b"
                              << ";" << qsizetype(-1) << "";
    QTest::newRow("absent separator") << "abc"
                                      << ";" << qsizetype(1) << "abc";
    QTest::newRow("absent separator, 2") << "abc"
                                         << ";" << qsizetype(2) << "";
    QTest::newRow("leading separator") << ";a"
                                       << ";" << qsizetype(1) << "";
    QTest::newRow("after leading") << ";a"
                                   << ";" << qsizetype(2) << "a";
    QTest::newRow("trailing separator") << "a;"
                                        << ";" << qsizetype(2) << "";
    QTest::newRow("adjacent separators") << "a;;b"
                                         << ";" << qsizetype(3) << "b";
    QTest::newRow("multi-char") << "a<>b<>c"
                                << "<>" << qsizetype(2) << "b";
    QTest::newRow("multi-char partial is text") << "a<b<>c"
                                                << "<>" << qsizetype(1) << "a<b";
    // Occurrences are taken left to right and do not overlap: "aaa" at "aa" is "" | "a".
    QTest::newRow("non-overlapping 1") << "aaa"
                                       << "aa" << qsizetype(1) << "";
    QTest::newRow("non-overlapping 2") << "aaa"
                                       << "aa" << qsizetype(2) << "a";
    QTest::newRow("empty text") << ""
                                << ";" << qsizetype(1) << "";
    QTest::newRow("blank separator") << "go 20  30"
                                     << " " << qsizetype(3) << "";
    QTest::newRow("blank separator after gap") << "go 20  30"
                                               << " " << qsizetype(4) << "30";
    QTest::newRow("key with colons") << "time:1:2"
                                     << ":" << qsizetype(2) << "1";
    QTest::newRow("cr lf field") << "agz:-1000.00;\r\n"
                                 << ";" << qsizetype(2) << "\r\n";
}

void tst_TextHelpers::nthField()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(qsizetype, n);
    QFETCH(QString, expected);
    QCOMPARE(NthField(text, separator, n), expected);
}

void tst_TextHelpers::countFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("empty text") << ""
                                << ";" << qsizetype(0);
    QTest::newRow("no separator") << "abc"
                                  << ";" << qsizetype(1);
    QTest::newRow("three fields") << "a;b;c"
                                  << ";" << qsizetype(3);
    QTest::newRow("trailing separator") << "a;b;"
                                        << ";" << qsizetype(3);
    QTest::newRow("only separator") << ";"
                                    << ";" << qsizetype(2);
    QTest::newRow("multi-char") << "a<>b<>"
                                << "<>" << qsizetype(3);
    QTest::newRow("non-overlapping") << "aaaa"
                                     << "aa" << qsizetype(3);
    QTest::newRow("real drone tail") << "bat:83;\r\n"
                                     << ";" << qsizetype(2);
}

void tst_TextHelpers::countFields()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(qsizetype, expected);
    QCOMPARE(CountFields(text, separator), expected);
}

void tst_TextHelpers::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");

    QTest::newRow("every occurrence") << "a;b;c;"
                                      << ";"
                                      << "\n"
                                      << "a\nb\nc\n";
    QTest::newRow("absent") << "abc"
                            << ";"
                            << "\n"
                            << "abc";
    QTest::newRow("empty find") << "abc"
                                << ""
                                << "x"
                                << "abc";
    QTest::newRow("longer replacement") << "aa"
                                        << "a"
                                        << "aa"
                                        << "aaaa";
    QTest::newRow("multi-char find") << "1<>2<>3"
                                     << "<>"
                                     << ","
                                     << "1,2,3";
    QTest::newRow("case kept") << "Ab ab"
                               << "ab"
                               << "x"
                               << "Ab x";
}

void tst_TextHelpers::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(ReplaceAll(text, find, replacement), expected);
}

void tst_TextHelpers::replaceLineEndings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lineEnd");
    QTest::addColumn<QString>("expected");

    QTest::newRow("crlf") << "a\r\nb"
                          << "\n"
                          << "a\nb";
    QTest::newRow("lone cr") << "a\rb"
                             << "\n"
                             << "a\nb";
    QTest::newRow("lf kept as lf") << "a\nb"
                                   << "\n"
                                   << "a\nb";
    QTest::newRow("mixed") << "1\r\n2\r3\n4"
                           << "\n"
                           << "1\n2\n3\n4";
    QTest::newRow("lf cr is two") << "a\n\rb"
                                  << "\n"
                                  << "a\n\nb";
    QTest::newRow("cr cr lf") << "a\r\r\nb"
                              << "\n"
                              << "a\n\nb";
    QTest::newRow("to crlf") << "a\nb\r"
                             << "\r\n"
                             << "a\r\nb\r\n";
    QTest::newRow("none") << "abc"
                          << "\n"
                          << "abc";
    QTest::newRow("empty") << ""
                           << "\n"
                           << "";
    QTest::newRow("only ends") << "\r\n\r\n"
                               << "|"
                               << "||";
}

void tst_TextHelpers::replaceLineEndings()
{
    QFETCH(QString, text);
    QFETCH(QString, lineEnd);
    QFETCH(QString, expected);
    QCOMPARE(ReplaceLineEndings(text, lineEnd), expected);
}

void tst_TextHelpers::mid_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<QString>("expected");

    QTest::newRow("from 1") << "cw 45" << qsizetype(1) << "cw 45";
    QTest::newRow("inside") << "cw 45" << qsizetype(4) << "45";
    QTest::newRow("last char") << "cw 45" << qsizetype(5) << "5";
    QTest::newRow("just past end") << "cw 45" << qsizetype(6) << "";
    QTest::newRow("far past end") << "cw" << qsizetype(100) << "";
    QTest::newRow("zero acts as 1") << "cw" << qsizetype(0) << "cw";
    QTest::newRow("negative acts as 1") << "cw" << qsizetype(-7) << "cw";
}

void tst_TextHelpers::mid()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(QString, expected);
    QCOMPARE(Mid(text, start), expected);
}

void tst_TextHelpers::str_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("positive") << qint64(120) << "120";
    QTest::newRow("negative") << qint64(-100) << "-100";
    QTest::newRow("min") << std::numeric_limits<qint64>::min() << "-9223372036854775808";
}

void tst_TextHelpers::str()
{
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    QCOMPARE(Str(value), expected);
}

void tst_TextHelpers::val_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("integer") << "8889" << 8889.0;
    QTest::newRow("fraction") << "8889.7" << 8889.7;
    QTest::newRow("trailing text") << "12abc" << 12.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("leading dot") << ".5" << 0.5;
    QTest::newRow("second dot ends") << "1.5.3" << 1.5;
    QTest::newRow("trailing dot") << "7." << 7.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("lone dot") << "." << 0.0;
    QTest::newRow("sign dot") << "-.5" << -0.5;
    QTest::newRow("negative") << "-40" << -40.0;
    QTest::newRow("plus") << "+3" << 3.0;
    QTest::newRow("leading blanks and tabs") << " \t 75.9" << 75.9;
    QTest::newRow("blank after sign") << "- 5" << 0.0;
    QTest::newRow("leading newline not skipped") << "\n5" << 0.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent upper signed") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "5e" << 5.0;
    QTest::newRow("exponent sign without digits") << "5e+x" << 5.0;
    QTest::newRow("leading zeros") << "050" << 50.0;
    QTest::newRow("unit suffix") << "15dm" << 15.0;
    QTest::newRow("fullwidth digits are not digits") << QString::fromUtf8("\xef\xbc\x95") << 0.0;
    QTest::newRow("huge") << "1e999" << std::numeric_limits<double>::infinity();
    QTest::newRow("huge negative") << "-1e999" << -std::numeric_limits<double>::infinity();
    QTest::newRow("tiny") << "1e-999" << 0.0;
    QTest::newRow("400 digits") << QString("1" + QString(400, u'0')) << std::numeric_limits<double>::infinity();
    // Beyond double's range the number's size decides, not the sign of its exponent.
    const double inf = std::numeric_limits<double>::infinity();
    const QString zeros400(400, u'0');
    QTest::newRow("tiny without exponent") << "0." + QString(330, u'0') + "1" << 0.0;
    QTest::newRow("huge negative without exponent") << "-1" + zeros400 << -inf;
    QTest::newRow("huge despite negative exponent") << "1" + zeros400 + zeros400 + "e-100" << inf;
    QTest::newRow("tiny despite positive exponent") << "0." + zeros400 + zeros400 + "1e100" << 0.0;
    QTest::newRow("long fraction, exponent brings it in range") << "0." + zeros400 + "1e400" << 0.1;
    QTest::newRow("400 digits, exponent brings it in range")
        << QString("1234567890").repeated(40) + "e-500" << 1.2345678901234568e-101;
    QTest::newRow("leading zeros beyond range") << QString(500, u'0') + "5" << 5.0;
    QTest::newRow("exponent longer than qint64") << "1e99999999999999999999999" << inf;
    QTest::newRow("negative exponent longer than qint64") << "-1e-99999999999999999999" << 0.0;
    QTest::newRow("zero with a huge exponent") << "0.000e99999999999999999999" << 0.0;
    QTest::newRow("denormal") << "4e-320" << 4e-320;
    QTest::newRow("below the smallest denormal") << "2e-324" << 0.0;
}

void tst_TextHelpers::val()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(Val(text), expected);
    // QCOMPARE counts every value below 1e-12 as equal to zero and to each other.
    QVERIFY(Val(text) == expected || qFuzzyCompare(Val(text), expected));
}

void tst_TextHelpers::intVal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("truncates") << "75.9" << qint64(75);
    QTest::newRow("truncates toward zero") << "-75.9" << qint64(-75);
    QTest::newRow("port") << "8889.7" << qint64(8889);
    QTest::newRow("no number") << "x" << qint64(0);
    QTest::newRow("above range") << "1e30" << std::numeric_limits<qint64>::max();
    QTest::newRow("below range") << "-1e30" << std::numeric_limits<qint64>::min();
    QTest::newRow("infinite") << "1e999" << std::numeric_limits<qint64>::max();
    QTest::newRow("2^63") << "9223372036854775808" << std::numeric_limits<qint64>::max();
    QTest::newRow("-2^63") << "-9223372036854775808" << std::numeric_limits<qint64>::min();
    QTest::newRow("tiny without exponent") << "0." + QString(330, u'0') + "1" << qint64(0);
    QTest::newRow("huge despite negative exponent")
        << "-1" + QString(800, u'0') + "e-100" << std::numeric_limits<qint64>::min();
}

void tst_TextHelpers::intVal()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(IntVal(text), expected);
}

void tst_TextHelpers::sameText_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("expected");

    QTest::newRow("equal") << "ok"
                           << "ok" << true;
    QTest::newRow("upper") << "OK"
                           << "ok" << true;
    QTest::newRow("mixed") << "eRRoR"
                           << "Error" << true;
    QTest::newRow("different") << "ok"
                               << "no" << false;
    QTest::newRow("prefix") << "ok"
                            << "ok " << false;
    QTest::newRow("empty") << ""
                           << "" << true;
    QTest::newRow("non-letters next to letters") << "@"
                                                 << "`" << false;
    QTest::newRow("bracket vs letter") << "["
                                       << "{" << false;
    QTest::newRow("non-ASCII exact") << QString::fromUtf8("\xc3\xa9") << QString::fromUtf8("\xc3\xa9") << true;
    QTest::newRow("non-ASCII case kept") << QString::fromUtf8("\xc3\xa9") << QString::fromUtf8("\xc3\x89") << false;
    QTest::newRow("Kelvin sign is not k") << QString::fromUtf8("o\xe2\x84\xaa") << "ok" << false;
    QTest::newRow("dotless i is not I") << QString::fromUtf8("\xc4\xb1") << "I" << false;
}

void tst_TextHelpers::sameText()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, expected);
    QCOMPARE(SameText(a, b), expected);
    QCOMPARE(SameText(b, a), expected);
}

void tst_TextHelpers::defineEncodingReplacesInvalidBytes()
{
    QCOMPARE(DefineEncoding(QByteArray("h\xc3\xa9")), QString::fromUtf8("h\xc3\xa9"));
    const QString bad = DefineEncoding(QByteArray("a\xff"
                                                  "b"));
    QCOMPARE(bad.size(), 3);
    QCOMPARE(bad.at(1), QChar(QChar::ReplacementCharacter));
}

QTEST_APPLESS_MAIN(tst_TextHelpers)
#include "tst_texthelpers.moc"
