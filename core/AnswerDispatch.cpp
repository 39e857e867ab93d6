#include "AnswerDispatch.h"

#include "TextHelpers.h"

namespace hd {

namespace {

// "error" alone or with its reason ("error Not flying"), and the older firmware's
// "unknown command: ...": the command failed, whatever else the text says.
bool isFailure(const QString &text)
{
    const qsizetype blank = text.indexOf(u' ');
    if (SameText(blank < 0 ? text : text.left(blank), QStringLiteral("error")))
        return true;
    const QLatin1String unknown("unknown command:");
    return text.size() >= unknown.size() && SameText(text.left(unknown.size()), unknown);
}

} // namespace

Answer classifyAnswer(const QByteArray &datagram)
{
    QString text = DefineEncoding(datagram);
    // Drones end value answers with a line end ("87\r\n"): a terminator, not part
    // of the value. Only one is removed, so a value's own line breaks survive.
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    else if (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);

    if (SameText(text, QStringLiteral("ok")) || isFailure(text))
        return {Answer::Completion, text};
    return {Answer::Value, text};
}

QString statusLabelText(const QString &value, qint64 staId)
{
    if (staId != AttitudeLabel && staId != AccelerationLabel)
        return value;
    QString text = value;
    text.replace(u';', EndOfLine);
    return text;
}

Answer dispatchAnswer(const QByteArray &datagram, qint64 staId)
{
    Answer answer = classifyAnswer(datagram);
    if (answer.kind == Answer::Value)
        answer.text = statusLabelText(answer.text, staId);
    return answer;
}

} // namespace hd
