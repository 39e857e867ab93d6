#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>

#include <optional>

// Helpers shared by the reliability tests (floods, oversized and malformed input,
// the close sequence under load).
namespace reliability {

// Runs the event loop until done() holds or the time is up. Unlike QTRY_*, it does
// not sleep between rounds, so thousands of short waits stay cheap.
template <class Predicate>
bool pumpUntil(Predicate done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // the deadline is seen even when nothing else happens
    wake.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Milliseconds until a zero-delay timer armed now fires: how long the window's
// event loop is kept from its other work.
inline qint64 loopLatency(int timeoutMs)
{
    bool fired = false;
    QElapsedTimer since;
    since.start();
    QTimer::singleShot(0, [&fired] { fired = true; });
    if (!pumpUntil([&] { return fired; }, timeoutMs))
        return timeoutMs;
    return since.elapsed();
}

// Sends raw bytes to a loopback port; refuses anything else.
class LoopbackSender
{
public:
    bool send(const QByteArray &bytes, const QHostAddress &to, quint16 port)
    {
        if (!to.isLoopback() || to.protocol() != QAbstractSocket::IPv4Protocol)
            return false;
        return mSocket.writeDatagram(bytes, to, port) == bytes.size();
    }

private:
    QUdpSocket mSocket;
};

inline const QHostAddress AppSide{QStringLiteral("127.0.0.1")};

// One counter of the UDP table in /proc/net/snmp ("RcvbufErrors",
// "OutDatagrams"...); none where the table cannot be read.
inline std::optional<qint64> udpCounter(const QByteArray &name)
{
    QFile file(QStringLiteral("/proc/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The file reports no size, so it is read whole rather than line by line.
    QList<QByteArray> header;
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (!line.startsWith("Udp: "))
            continue;
        const QList<QByteArray> fields = line.mid(5).split(' ');
        if (header.isEmpty()) {
            header = fields;
            continue;
        }
        const qsizetype at = header.indexOf(name);
        if (at < 0 || at >= fields.size())
            return std::nullopt;
        return fields.at(at).toLongLong();
    }
    return std::nullopt;
}

} // namespace reliability
