#include "TextHelpers.h"

#include <QStringView>

#include <cmath>
#include <limits>

namespace hd {

QString NthField(const QString &text, const QString &separator, qsizetype n)
{
    if (n < 1)
        return QString();
    if (separator.isEmpty())
        return n == 1 ? text : QString();
    const qsizetype sepLen = separator.size();
    qsizetype start = 0;
    for (qsizetype field = 1; field < n; ++field) {
        const qsizetype at = text.indexOf(separator, start);
        if (at < 0)
            return QString();
        start = at + sepLen;
    }
    const qsizetype end = text.indexOf(separator, start);
    return end < 0 ? text.mid(start) : text.mid(start, end - start);
}

qsizetype CountFields(const QString &text, const QString &separator)
{
    if (text.isEmpty())
        return 0;
    if (separator.isEmpty())
        return 1;
    qsizetype count = 1;
    qsizetype at = 0;
    while ((at = text.indexOf(separator, at)) >= 0) {
        ++count;
        at += separator.size();
    }
    return count;
}

QString ReplaceAll(const QString &text, const QString &find, const QString &replacement)
{
    if (find.isEmpty())
        return text;
    QString result = text;
    result.replace(find, replacement);
    return result;
}

QString ReplaceLineEndings(const QString &text, const QString &lineEnd)
{
    if (lineEnd == QLatin1String("\n") && !text.contains(u'\r'))
        return text;
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        result.append(QStringView(text).mid(runStart, i - runStart));
        result.append(lineEnd);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        runStart = i + 1;
    }
    result.append(QStringView(text).mid(runStart));
    return result;
}

QString Mid(const QString &text, qsizetype start)
{
    if (start < 1)
        start = 1;
    if (start > text.size())
        return QString();
    return text.mid(start - 1);
}

qsizetype Len(const QString &text)
{
    return text.size();
}

QString Str(qint64 value)
{
    return QString::number(value);
}

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The decimal exponent of a scanned number's first non-zero digit: 2 for "123",
// -3 for "0.00123", 400 for "1e400"; 0 for zero. The written exponent saturates
// far beyond any text's length, so no length of it overflows and the sign of the
// result stays right.
qint64 decimalExponent(const QByteArray &number)
{
    const qsizetype e = qMax(number.indexOf('e'), number.indexOf('E'));
    const qsizetype mantissaEnd = e < 0 ? number.size() : e;
    const qsizetype dot = number.indexOf('.');
    const qsizetype point = dot < 0 ? mantissaEnd : dot;
    qsizetype first = 0;
    while (first < mantissaEnd && (number.at(first) < '1' || number.at(first) > '9'))
        ++first;
    if (first == mantissaEnd)
        return 0;

    constexpr qint64 saturated = qint64(1) << 62;
    qint64 exponent = 0;
    for (qsizetype i = mantissaEnd + 1; i < number.size(); ++i) {
        const char c = number.at(i);
        if (c >= '0' && c <= '9')
            exponent = exponent >= saturated / 10 ? saturated : exponent * 10 + (c - '0');
    }
    if (e >= 0 && number.at(e + 1) == '-')
        exponent = -exponent;
    return (first < point ? point - first - 1 : point - first) + exponent;
}

} // namespace

double Val(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    const qsizetype begin = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text.at(i))) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == u'.') {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (j < n && isDigit(text.at(j))) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        const qsizetype expDigits = j;
        while (j < n && isDigit(text.at(j)))
            ++j;
        if (j > expDigits)
            i = j;
    }
    // The scanned part is ASCII and well formed, so Latin-1 is exact and toDouble
    // (locale-independent) refuses it only when it lies outside double's range
    // (denormals it takes), answering 0 either way. Which side it lies on follows
    // from its size: a written exponent says nothing alone ("0.000...1", "1000...e-9").
    const QByteArray number = QStringView(text).mid(begin, i - begin).toLatin1();
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (ok)
        return value;
    if (decimalExponent(number) < 0)
        return 0.0;
    const double infinity = std::numeric_limits<double>::infinity();
    return number.startsWith('-') ? -infinity : infinity;
}

qint64 IntVal(const QString &text)
{
    const double v = std::trunc(Val(text));
    if (std::isnan(v))
        return 0;
    // 2^63 is exactly representable; anything at or above it saturates.
    constexpr double limit = 9223372036854775808.0;
    if (v >= limit)
        return std::numeric_limits<qint64>::max();
    if (v < -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(v);
}

QString DefineEncoding(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

bool SameText(const QString &a, const QString &b)
{
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    const QChar *pa = a.constData();
    const QChar *pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = pa[i].unicode();
        char16_t y = pb[i].unicode();
        if (x == y)
            continue;
        if (x >= u'A' && x <= u'Z')
            x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z')
            y = char16_t(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace hd
