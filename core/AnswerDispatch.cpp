#include "AnswerDispatch.h"

#include "TextHelpers.h"

namespace hd {

Answer dispatchAnswer(const QByteArray &datagram, qint64 staId)
{
    QString text = DefineEncoding(datagram);
    // Drones end value answers with a line end ("87\r\n"): a terminator, not part
    // of the value. Only one is removed, so a value's own line breaks survive.
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    else if (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);

    if (SameText(text, QStringLiteral("ok")) || SameText(text, QStringLiteral("error")))
        return {Answer::Completion, text};
    if (staId == 5 || staId == 7)
        text.replace(u';', EndOfLine);
    return {Answer::Value, text};
}

} // namespace hd
