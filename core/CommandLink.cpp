#include "CommandLink.h"

#include "TextHelpers.h"

namespace hd {

qint64 portFromText(const QString &text)
{
    return IntVal(text);
}

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(QChar c)
{
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Four decimal parts 0..255 joined by dots; digits only (no blanks, signs, or
// the shorthand forms "127.1" that inet_aton would also take).
bool isIPv4(QStringView text)
{
    int parts = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        int value = 0;
        int digits = 0;
        while (i < n && isDigit(text.at(i))) {
            value = value * 10 + (text.at(i).unicode() - u'0');
            if (++digits > 3 || value > 255)
                return false;
            ++i;
        }
        if (digits == 0)
            return false;
        ++parts;
        if (i == n)
            return parts == 4;
        if (text.at(i) != u'.' || parts == 4)
            return false;
        ++i;
    }
}

// IPv6 in its text forms: groups of at most four hex digits separated by ":",
// at most one "::", optionally an IPv4 tail. Zone ids ("%eth0") are refused.
bool isIPv6(QStringView text)
{
    if (!text.contains(u':'))
        return false;
    const qsizetype doubleColon = text.indexOf(QStringView(u"::"));
    if (doubleColon >= 0 && text.indexOf(QStringView(u"::"), doubleColon + 1) >= 0)
        return false;

    int groups = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (doubleColon == 0)
        i = 2;
    else if (text.at(0) == u':')
        return false;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && isHexDigit(text.at(i)) && i - start < 5)
            ++i;
        if (i < n && text.at(i) == u'.') {
            // An IPv4 tail ends the address and counts as two groups.
            if (!isIPv4(text.mid(start)))
                return false;
            groups += 2;
            i = n;
            break;
        }
        const qsizetype len = i - start;
        if (len == 0 || len > 4)
            return false;
        ++groups;
        if (i == n)
            break;
        if (text.at(i) != u':')
            return false;
        ++i;
        if (i < n && text.at(i) == u':') {
            if (i - 1 != doubleColon)
                return false;
            ++i;
        } else if (i == n) {
            return false; // a single trailing ':'
        }
    }
    return doubleColon >= 0 ? groups < 8 : groups == 8;
}

} // namespace

bool isValidDestination(const QString &address, qint64 port)
{
    if (port < 0 || port > 65535)
        return false;
    return isIPv4(address) || isIPv6(address);
}

} // namespace hd
