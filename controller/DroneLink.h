#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class QLockFile;
class QUdpSocket;

// The application's end of the drone link, without any widget: the command socket
// "udps" that sends command texts and receives the answers, the state socket "udpr"
// on port 8890, and the video port object "udpv", which is never opened. The
// controller window wires its signals to the message log and the status labels.
class DroneLink : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 StatePort = 8890;
    static constexpr quint16 VideoPort = 11111;

    explicit DroneLink(QObject *parent = nullptr);
    ~DroneLink() override;

    // Binds the command socket to localPort and the state socket to StatePort, so
    // that a port changed since the last call takes effect. The new binding replaces
    // the old one only when both sockets bound: a failure leaves the link as it was
    // and is reported through failed(), and a refusal (the state or video port, or
    // a port that another copy of the application holds) through refused() too.
    // True when bound; the error code is 0 again then.
    bool open(qint64 localPort);
    // Closes the command and state sockets.
    void close();
    // Binds the command socket alone again after close(), for a last datagram, if
    // open() succeeded earlier in this run: at the port that bound last, or at any
    // free port when that one cannot be had. True when it is bound.
    bool reopenCommand();
    // Closes all three sockets.
    void closeAll();
    // The state socket alone; nothing reports a failure to bind it.
    void openState();
    void closeState();

    // One command text as one datagram, UTF-8, no terminator. Refused, and reported
    // through failed(), while the command socket is not bound, when the address is
    // not an IP address or the port lies outside 0..65535: an unbound socket would
    // bind itself to a random port, and a bad address or port would become some
    // other destination.
    void send(const QString &text, const QString &address, qint64 port);

    // Whether datagrams the command socket sends to a group it belongs to come back.
    void setSendToSelf(bool on);
    bool sendToSelf() const { return mSendToSelf; }

    bool isOpen() const;
    // 0: no error since start or since the last successful open(); else 100 + the
    // socket's error (the socket's numbering starts at 0, which must mean "none").
    int lastErrorCode() const { return mLastErrorCode; }

signals:
    // "ok" or a failure ("error", "error Not flying", "unknown command: ..."): the
    // answer that ends the command's log line.
    void lineCompleted(const QString &answer);
    // Any other answer: the value of the last status query, as received but for the
    // line end a drone puts after it.
    void valueAnswered(const QString &value);
    // One state datagram as UTF-8 text.
    void stateReceived(const QString &datagram);
    // An error of the command socket, a failed open() or a refused send; code as
    // lastErrorCode().
    void failed(int code);
    // Why open() was refused, as a sentence for the user; after failed().
    void refused(const QString &reason);

private:
    enum class Lease { Held, Taken, HeldElsewhere };
    // Another copy of the application binds its ports with address sharing too, and
    // would take this one's answers: a lock file per port in the user's runtime
    // folder, held exactly as long as one of this link's sockets is bound to the
    // port, keeps the copies apart. Held: this link has it already; Taken: taken
    // now (or no lock can be kept there); HeldElsewhere: another copy has it.
    Lease lease(quint16 port);
    void release(quint16 port);
    void wireCommand();
    // Puts socket in the command socket's place, closing the one there.
    void adoptCommand(std::unique_ptr<QUdpSocket> socket);
    void closeCommand();
    void readAnswers();
    void readState();
    void fail(int code);
    void refuse(int code, const QString &reason);

    QUdpSocket *udps = nullptr;
    QUdpSocket *udpr = nullptr;
    QUdpSocket *udpv = nullptr;
    bool mSendToSelf = false;
    int mLastErrorCode = 0;
    bool mWasOpen = false;
    quint16 mBoundPort = 0; // where the command socket bound last
    std::map<quint16, std::unique_ptr<QLockFile>> mLocks;
    // Tells whether a failing call has already reported itself through the socket's
    // error signal, so that no failure is reported twice or not at all.
    int mFailures = 0;
};
