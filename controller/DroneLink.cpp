#include "DroneLink.h"

#include "AnswerDispatch.h"
#include "CommandLink.h"
#include "TextHelpers.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QVariant>

namespace {

// A flood of datagrams must not keep the window from its other events: each data
// event reads one batch, and the socket reports the rest when the loop comes round.
constexpr int DatagramsPerEvent = 64;

int errorCode(QAbstractSocket::SocketError error)
{
    return 100 + int(error);
}

// Refusals made before the socket is asked, reported like the socket's own errors.
const int WriteWhileUnbound = errorCode(QAbstractSocket::OperationError);
const int InvalidDestination = errorCode(QAbstractSocket::HostNotFoundError);
const int InvalidLocalPort = errorCode(QAbstractSocket::SocketAddressNotAvailableError);

// The simulated drone, or a second copy of the application, may share the port.
constexpr QAbstractSocket::BindMode SharedBind = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

QUdpSocket *namedSocket(const char *name, QObject *parent)
{
    auto *socket = new QUdpSocket(parent);
    socket->setObjectName(QLatin1String(name));
    return socket;
}

} // namespace

DroneLink::DroneLink(QObject *parent)
    : QObject(parent)
    , udps(namedSocket("udps", this))
    , udpr(namedSocket("udpr", this))
    , udpv(namedSocket("udpv", this))
{
    connect(udps, &QUdpSocket::readyRead, this, &DroneLink::readAnswers);
    connect(udps, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { fail(errorCode(error)); });
    connect(udpr, &QUdpSocket::readyRead, this, &DroneLink::readState);
}

bool DroneLink::open(qint64 localPort)
{
    const bool bound = bindCommand(localPort);
    openState();
    return bound;
}

bool DroneLink::reopenCommand(qint64 localPort)
{
    if (isOpen())
        return true;
    return mWasOpen && bindCommand(localPort);
}

bool DroneLink::bindCommand(qint64 localPort)
{
    udps->close();
    bool bound = false;
    if (localPort < 0 || localPort > 65535) {
        fail(InvalidLocalPort);
    } else {
        const int failuresBefore = mFailures;
        bound = udps->bind(QHostAddress::AnyIPv4, quint16(localPort), SharedBind);
        if (!bound && mFailures == failuresBefore)
            fail(errorCode(udps->error()));
    }
    if (bound) {
        udps->setSocketOption(QAbstractSocket::MulticastLoopbackOption, mSendToSelf ? 1 : 0);
        mLastErrorCode = 0;
        mWasOpen = true;
    }
    return bound;
}

void DroneLink::close()
{
    udps->close();
    udpr->close();
}

void DroneLink::closeAll()
{
    close();
    udpv->close();
}

void DroneLink::openState()
{
    udpr->close();
    udpr->bind(QHostAddress::AnyIPv4, StatePort, SharedBind);
}

void DroneLink::closeState()
{
    udpr->close();
}

void DroneLink::send(const QString &text, const QString &address, qint64 port)
{
    if (!isOpen()) {
        fail(WriteWhileUnbound);
        return;
    }
    if (!hd::isValidDestination(address, port)) {
        fail(InvalidDestination);
        return;
    }
    const int failuresBefore = mFailures;
    if (udps->writeDatagram(text.toUtf8(), QHostAddress(address), quint16(port)) < 0 && mFailures == failuresBefore)
        fail(errorCode(udps->error()));
}

void DroneLink::setSendToSelf(bool on)
{
    mSendToSelf = on;
    if (isOpen())
        udps->setSocketOption(QAbstractSocket::MulticastLoopbackOption, on ? 1 : 0);
}

bool DroneLink::isOpen() const
{
    return udps->state() == QAbstractSocket::BoundState;
}

void DroneLink::readAnswers()
{
    for (int n = 0; n < DatagramsPerEvent && udps->hasPendingDatagrams(); ++n) {
        const hd::Answer answer = hd::classifyAnswer(udps->receiveDatagram().data());
        if (answer.kind == hd::Answer::Completion)
            emit lineCompleted(answer.text);
        else
            emit valueAnswered(answer.text);
    }
}

void DroneLink::readState()
{
    for (int n = 0; n < DatagramsPerEvent && udpr->hasPendingDatagrams(); ++n)
        emit stateReceived(hd::DefineEncoding(udpr->receiveDatagram().data()));
}

void DroneLink::fail(int code)
{
    mLastErrorCode = code;
    ++mFailures;
    emit failed(code);
}
