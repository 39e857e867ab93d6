#include "DroneLink.h"

#include "AnswerDispatch.h"
#include "CommandLink.h"
#include "TextHelpers.h"

#include <QLockFile>
#include <QNetworkDatagram>
#include <QStandardPaths>
#include <QUdpSocket>
#include <QVariant>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

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
const int PortHeldElsewhere = errorCode(QAbstractSocket::AddressInUseError);

// The simulated drone shares the port (it takes no lock); other copies of the
// application are kept off by the port locks.
constexpr QAbstractSocket::BindMode SharedBind = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

QUdpSocket *namedSocket(const char *name, QObject *parent)
{
    auto *socket = new QUdpSocket(parent);
    socket->setObjectName(QLatin1String(name));
    return socket;
}

// A socket bound to port, or none, with the failure's code in error.
std::unique_ptr<QUdpSocket> boundSocket(quint16 port, int &error)
{
    auto socket = std::make_unique<QUdpSocket>();
    if (socket->bind(QHostAddress::AnyIPv4, port, SharedBind))
        return socket;
    error = errorCode(socket->error());
    return nullptr;
}

// Ports belong to a network namespace: copies in two namespaces do not meet, so
// their locks must not meet either.
QString networkNamespaceKey()
{
    QString key;
#ifdef Q_OS_LINUX
    char target[64];
    const ssize_t n = ::readlink("/proc/self/ns/net", target, sizeof target);
    for (ssize_t i = 0; i < n; ++i) {
        if (target[i] >= '0' && target[i] <= '9')
            key += QLatin1Char(target[i]);
    }
#endif
    return key.isEmpty() ? key : QStringLiteral("-net") + key;
}

// Empty where the user has no runtime folder.
QString lockPath(quint16 port)
{
    static const QString namespaceKey = networkNamespaceKey();
    static const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        return {};
    return dir + QStringLiteral("/hoverdeck-udp") + QString::number(port) + namespaceKey + QStringLiteral(".lock");
}

} // namespace

DroneLink::DroneLink(QObject *parent)
    : QObject(parent)
    , udps(namedSocket("udps", this))
    , udpr(namedSocket("udpr", this))
    , udpv(namedSocket("udpv", this))
{
    wireCommand();
    connect(udpr, &QUdpSocket::readyRead, this, &DroneLink::readState);
}

DroneLink::~DroneLink() = default;

void DroneLink::wireCommand()
{
    connect(udps, &QUdpSocket::readyRead, this, &DroneLink::readAnswers);
    connect(udps, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { fail(errorCode(error)); });
}

bool DroneLink::open(qint64 localPort)
{
    if (localPort < 0 || localPort > 65535) {
        fail(InvalidLocalPort);
        return false;
    }
    const auto port = quint16(localPort);
    if (port == StatePort || port == VideoPort) {
        const QString what = port == StatePort ? QStringLiteral("state") : QStringLiteral("video");
        refuse(InvalidLocalPort,
               QStringLiteral("Local Port %1 receives the drone's %2; choose another Local Port.").arg(port).arg(what));
        return false;
    }
    const Lease commandLease = lease(port);
    const Lease stateLease = lease(StatePort);
    const auto giveBack = [&] {
        if (commandLease == Lease::Taken)
            release(port);
        if (stateLease == Lease::Taken)
            release(StatePort);
    };
    if (commandLease == Lease::HeldElsewhere || stateLease == Lease::HeldElsewhere) {
        giveBack();
        refuse(PortHeldElsewhere,
               commandLease == Lease::HeldElsewhere
                   ? QStringLiteral("Another copy of Hoverdeck holds port %1; disconnect it or choose another Local "
                                    "Port.")
                         .arg(port)
                   : QStringLiteral("Another copy of Hoverdeck receives the drone's state on port %1; disconnect it "
                                    "first.")
                         .arg(StatePort));
        return false;
    }

    // Bound anew only where the port changed; the old binding goes only once both
    // sockets are bound.
    int error = 0;
    std::unique_ptr<QUdpSocket> command;
    bool bound = (isOpen() && port != 0 && udps->localPort() == port) || (command = boundSocket(port, error));
    if (bound && udpr->state() != QAbstractSocket::BoundState) {
        bound = udpr->bind(QHostAddress::AnyIPv4, StatePort, SharedBind);
        if (!bound) {
            error = errorCode(udpr->error());
            udpr->close();
        }
    }
    if (!bound) {
        giveBack();
        fail(error);
        return false;
    }
    if (command)
        adoptCommand(std::move(command));
    mBoundPort = udps->localPort();
    mLastErrorCode = 0;
    mWasOpen = true;
    return true;
}

bool DroneLink::reopenCommand()
{
    if (isOpen())
        return true;
    if (!mWasOpen)
        return false;
    int error = 0;
    std::unique_ptr<QUdpSocket> command;
    if (lease(mBoundPort) != Lease::HeldElsewhere) {
        command = boundSocket(mBoundPort, error);
        if (!command)
            release(mBoundPort);
    }
    if (!command)
        command = boundSocket(0, error);
    if (!command) {
        fail(error);
        return false;
    }
    adoptCommand(std::move(command));
    return true;
}

void DroneLink::adoptCommand(std::unique_ptr<QUdpSocket> socket)
{
    closeCommand();
    delete udps;
    udps = socket.release();
    udps->setParent(this);
    udps->setObjectName(QStringLiteral("udps"));
    udps->setSocketOption(QAbstractSocket::MulticastLoopbackOption, mSendToSelf ? 1 : 0);
    wireCommand();
}

DroneLink::Lease DroneLink::lease(quint16 port)
{
    if (mLocks.count(port) != 0)
        return Lease::Held;
    const QString path = lockPath(port);
    if (port == 0 || path.isEmpty())
        return Lease::Taken; // a port of the system's choice, or nowhere to keep a lock
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // only the lock of a copy that is gone is stale, however old
    if (lock->tryLock(0)) {
        mLocks[port] = std::move(lock);
        return Lease::Taken;
    }
    // A lock that cannot be written keeps nobody apart: the port binds as it would without.
    return lock->error() == QLockFile::LockFailedError ? Lease::HeldElsewhere : Lease::Taken;
}

void DroneLink::release(quint16 port)
{
    mLocks.erase(port);
}

void DroneLink::closeCommand()
{
    if (isOpen())
        release(udps->localPort());
    udps->close();
}

void DroneLink::close()
{
    closeCommand();
    closeState();
}

void DroneLink::closeAll()
{
    close();
    udpv->close();
}

void DroneLink::openState()
{
    if (udpr->state() == QAbstractSocket::BoundState)
        return;
    if (lease(StatePort) == Lease::HeldElsewhere)
        return;
    if (!udpr->bind(QHostAddress::AnyIPv4, StatePort, SharedBind)) {
        udpr->close();
        release(StatePort);
    }
}

void DroneLink::closeState()
{
    if (udpr->state() == QAbstractSocket::BoundState)
        release(StatePort);
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

void DroneLink::refuse(int code, const QString &reason)
{
    fail(code);
    emit refused(reason);
}
