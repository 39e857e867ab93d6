#include "StateDatagram.h"

#include "TextHelpers.h"

namespace hd {

namespace {

QString asciiLower(QString text)
{
    for (QChar &c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

} // namespace

QHash<QString, QString> parseStateFields(const QString &datagram)
{
    QHash<QString, QString> table;
    // One left-to-right pass; same fields as CountFields/NthField would give.
    const QStringView text(datagram);
    if (text.isEmpty())
        return table;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(u';', start);
        const QStringView field = end < 0 ? text.mid(start) : text.mid(start, end - start);
        const qsizetype colon = field.indexOf(u':');
        QString key;
        QString value;
        if (colon < 0) {
            key = field.toString();
        } else {
            key = field.left(colon).toString();
            const QStringView rest = field.mid(colon + 1);
            const qsizetype second = rest.indexOf(u':');
            value = (second < 0 ? rest : rest.left(second)).toString();
        }
        table.insert(asciiLower(std::move(key)), value);
        if (end < 0)
            break;
        start = end + 1;
    }
    return table;
}

QMap<int, QString> stateLabelTexts(const QString &datagram)
{
    const QHash<QString, QString> table = parseStateFields(datagram);
    QMap<int, QString> labels;

    auto single = [&](int label, const char *key) {
        const auto it = table.constFind(QLatin1String(key));
        if (it != table.constEnd())
            labels.insert(label, *it);
    };
    auto triple = [&](int label, const char *k1, const char *k2, const char *k3) {
        const auto a = table.constFind(QLatin1String(k1));
        const auto b = table.constFind(QLatin1String(k2));
        const auto c = table.constFind(QLatin1String(k3));
        if (a == table.constEnd() || b == table.constEnd() || c == table.constEnd())
            return;
        labels.insert(label,
                      QLatin1String(k1) + QStringLiteral(": ") + *a + EndOfLine + QLatin1String(k2)
                          + QStringLiteral(": ") + *b + EndOfLine + QLatin1String(k3) + QStringLiteral(": ") + *c);
    };

    single(1, "bat");
    single(2, "time");
    single(3, "h");
    const auto low = table.constFind(QStringLiteral("templ"));
    const auto high = table.constFind(QStringLiteral("temph"));
    if (low != table.constEnd() && high != table.constEnd())
        labels.insert(4, *low + QStringLiteral(" - ") + *high);
    triple(5, "pitch", "roll", "yaw");
    single(6, "baro");
    triple(7, "agx", "agy", "agz");
    single(8, "tof");
    return labels;
}

} // namespace hd
