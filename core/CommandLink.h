#pragma once

#include <QString>
#include <QtGlobal>

namespace hd {

// The one port value of the connection row: Val of the text, truncated.
qint64 portFromText(const QString &text);

// Whether a command datagram may be written to this destination: the address
// must parse as an IP address and the port must lie in 0..65535. (Anything else
// goes to the socket's error path instead of being sent somewhere unintended.)
bool isValidDestination(const QString &address, qint64 port);

} // namespace hd
