#pragma once

#include <QByteArray>
#include <QString>

namespace hd {

struct Answer
{
    enum Kind { Completion, Value };
    Kind kind = Completion;
    QString text; // Completion: the answer as received ("ok", "error Not flying"); Value: the label text
};

// One datagram from the command socket. "ok" and a failure ("error", with or
// without its reason, and "unknown command: ...", any ASCII case) complete the
// open log line; anything else is the value answer of the last status query,
// with ";" turned into line ends for the attitude and acceleration labels (5, 7).
// The line end a drone puts after a value ("87\r\n") is not part of the value.
Answer dispatchAnswer(const QByteArray &datagram, qint64 staId);

} // namespace hd
