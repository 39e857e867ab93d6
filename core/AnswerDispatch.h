#pragma once

#include <QByteArray>
#include <QString>

namespace hd {

// The status labels whose answers hold several values separated by ";" (those of
// "attitude?" and "acceleration?"): they show one value a line.
constexpr qint64 AttitudeLabel = 5;
constexpr qint64 AccelerationLabel = 7;

struct Answer
{
    enum Kind { Completion, Value };
    Kind kind = Completion;
    QString text; // Completion: the answer as received ("ok", "error Not flying"); Value: the value
};

// One datagram from the command socket. "ok" and a failure ("error", with or
// without its reason, and "unknown command: ...", any ASCII case) complete the
// open log line; anything else is the value answer of the last status query.
// The line end a drone puts after a value ("87\r\n") is not part of the value.
Answer classifyAnswer(const QByteArray &datagram);

// A value answer as status label staId shows it: the multi-value labels get one
// value a line.
QString statusLabelText(const QString &value, qint64 staId);

// Both of the above: a value answer comes as its label text.
Answer dispatchAnswer(const QByteArray &datagram, qint64 staId);

} // namespace hd
