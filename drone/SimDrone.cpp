#include "SimDrone.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <deque>
#include <limits>

namespace {

enum class Reply { Answer, Unknown, Silent };

struct Scripted
{
    Reply reply = Reply::Answer;
    QByteArray answer;
};

// An answer waiting for its time; the queue keeps them in command order.
struct Pending
{
    qint64 due = 0;
    QByteArray answer;
    QHostAddress to;
    quint16 toPort = 0;
};

// Command words are compared ignoring ASCII letter case only.
QString wordKey(const QString &word)
{
    QString key = word;
    for (QChar &c : key) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return key;
}

QString commandWord(const QString &text)
{
    const qsizetype blank = text.indexOf(u' ');
    return wordKey(blank < 0 ? text : text.left(blank));
}

// What a drone answers to its status queries, with the line end it puts after values.
const QHash<QString, QByteArray> &queryAnswers()
{
    static const QHash<QString, QByteArray> answers = {
        {QStringLiteral("speed?"), "100.0\r\n"},
        {QStringLiteral("battery?"), "87\r\n"},
        {QStringLiteral("time?"), "11s\r\n"},
        {QStringLiteral("height?"), "15dm\r\n"},
        {QStringLiteral("temp?"), "85~88C\r\n"},
        {QStringLiteral("attitude?"), "pitch:0;roll:-1;yaw:0;\r\n"},
        {QStringLiteral("baro?"), "-102.865509\r\n"},
        {QStringLiteral("acceleration?"), "agx:-5.00;agy:7.00;agz:-999.00;\r\n"},
        {QStringLiteral("tof?"), "875mm\r\n"},
        {QStringLiteral("wifi?"), "90\r\n"},
        {QStringLiteral("sdk?"), "20\r\n"},
        {QStringLiteral("sn?"), "0TQDG7BEDB0E9P\r\n"},
    };
    return answers;
}

// Commands a drone on the ground refuses, given flight rules.
bool needsFlight(const QString &word)
{
    static const QSet<QString> words = {
        QStringLiteral("land"),  QStringLiteral("up"),      QStringLiteral("down"), QStringLiteral("left"),
        QStringLiteral("right"), QStringLiteral("forward"), QStringLiteral("back"), QStringLiteral("cw"),
        QStringLiteral("ccw"),   QStringLiteral("flip"),    QStringLiteral("go"),   QStringLiteral("curve"),
    };
    return words.contains(word);
}

constexpr int StartBattery = 87;
constexpr int TakeoffHeightCm = 80;
constexpr int MaxHeightCm = 3000;

} // namespace

struct SimDrone::Private
{
    QUdpSocket *command = nullptr;
    QUdpSocket *stateSender = nullptr;
    QTimer *stateTimer = nullptr;
    QTimer *answerTimer = nullptr;
    QProcess *video = nullptr;

    QHash<QString, Scripted> script;
    bool allSilent = false;
    bool flightRules = false;
    int answerDelay = 0;
    int motionDelay = 0;
    QElapsedTimer clock;
    // One queue behind one timer: separate timers per answer can fire out of order
    // when their intervals are rounded to whole milliseconds.
    std::deque<Pending> answers;

    QHostAddress stateTarget{QStringLiteral("127.0.0.1")};
    quint16 statePort = 8890;

    bool videoEnabled = false;
    quint16 videoPort = 11111;

    // The flight, as far as the state datagram shows it.
    bool flying = false;
    qint64 flightStartMs = 0;
    qint64 flownMs = 0;
    int heightCm = 0;
    int yaw = 0;
};

SimDrone::SimDrone(QObject *parent)
    : QObject(parent)
    , d(new Private)
{
    d->clock.start();
    d->stateTimer = new QTimer(this);
    connect(d->stateTimer, &QTimer::timeout, this, [this] { sendState(currentState()); });
    d->answerTimer = new QTimer(this);
    d->answerTimer->setSingleShot(true);
    d->answerTimer->setTimerType(Qt::PreciseTimer);
    connect(d->answerTimer, &QTimer::timeout, this, &SimDrone::sendDueAnswers);
}

SimDrone::~SimDrone()
{
    stop();
    delete d;
}

bool SimDrone::isLoopback(const QHostAddress &address)
{
    bool ok = false;
    const quint32 ipv4 = address.toIPv4Address(&ok);
    return ok && (ipv4 >> 24) == 127;
}

bool SimDrone::start(const QHostAddress &address, quint16 port)
{
    if (!isLoopback(address))
        return false;
    if (d->command)
        stop();
    d->command = new QUdpSocket(this);
    if (!d->command->bind(address, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        delete d->command;
        d->command = nullptr;
        return false;
    }
    connect(d->command, &QUdpSocket::readyRead, this, &SimDrone::readCommands);
    return true;
}

void SimDrone::stop()
{
    stopState();
    stopVideo();
    // Answers to commands of this run must not leave through the socket of the next one.
    d->answerTimer->stop();
    d->answers.clear();
    if (d->command) {
        d->command->close();
        delete d->command;
        d->command = nullptr;
    }
}

quint16 SimDrone::port() const
{
    return d->command ? d->command->localPort() : 0;
}

QHostAddress SimDrone::address() const
{
    return d->command ? d->command->localAddress() : QHostAddress();
}

bool SimDrone::isRunning() const
{
    return d->command != nullptr;
}

void SimDrone::setAnswer(const QString &word, const QByteArray &answer)
{
    d->script.insert(wordKey(word), Scripted{Reply::Answer, answer});
}

void SimDrone::setReject(const QString &word, const QString &reason)
{
    const QByteArray answer = reason.isEmpty() ? QByteArrayLiteral("error") : "error " + reason.toUtf8();
    d->script.insert(wordKey(word), Scripted{Reply::Answer, answer});
}

void SimDrone::setUnknown(const QString &word)
{
    d->script.insert(wordKey(word), Scripted{Reply::Unknown, {}});
}

void SimDrone::setSilent(const QString &word)
{
    d->script.insert(wordKey(word), Scripted{Reply::Silent, {}});
}

void SimDrone::setAllSilent(bool silent)
{
    d->allSilent = silent;
}

void SimDrone::setFlightRules(bool on)
{
    d->flightRules = on;
}

void SimDrone::clearScript()
{
    d->script.clear();
    d->allSilent = false;
    d->flightRules = false;
}

void SimDrone::setAnswerDelay(int ms)
{
    d->answerDelay = std::max(0, ms);
}

void SimDrone::setMotionDelay(int ms)
{
    d->motionDelay = std::max(0, ms);
}

void SimDrone::readCommands()
{
    // The socket may be deleted by a handler of commandReceived (stop()).
    while (d->command && d->command->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = d->command->receiveDatagram();
        if (!datagram.isValid())
            continue;
        handleCommand(QString::fromUtf8(datagram.data()), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void SimDrone::handleCommand(const QString &text, const QHostAddress &sender, quint16 senderPort)
{
    mReceived.append(text);
    emit commandReceived(text);

    const QString word = commandWord(text);
    const QString argument = text.section(u' ', 1, 1);
    const qint64 now = d->clock.elapsed();
    bool slow = false;
    const auto scripted = d->script.constFind(word);
    const bool grounded = d->flightRules && !d->flying && scripted == d->script.constEnd() && needsFlight(word);

    if (grounded) {
        // Refused: the drone stays where it is.
    } else if (word == QLatin1String("takeoff")) {
        if (!d->flying) {
            d->flying = true;
            d->flightStartMs = now;
        }
        d->heightCm = std::max(d->heightCm, TakeoffHeightCm);
        slow = true;
    } else if (word == QLatin1String("land") || word == QLatin1String("emergency")) {
        if (d->flying)
            d->flownMs += now - d->flightStartMs;
        d->flying = false;
        d->heightCm = 0;
        slow = word == QLatin1String("land");
    } else if (d->flying && (word == QLatin1String("up") || word == QLatin1String("down"))) {
        const int step = argument.toInt();
        d->heightCm = std::clamp(d->heightCm + (word == QLatin1String("up") ? step : -step), 20, MaxHeightCm);
    } else if (word == QLatin1String("cw") || word == QLatin1String("ccw")) {
        const int turn = argument.toInt() % 360;
        d->yaw = (d->yaw + (word == QLatin1String("cw") ? turn : -turn) + 540) % 360 - 180;
    } else if (word == QLatin1String("streamon")) {
        if (d->videoEnabled)
            startVideo();
    } else if (word == QLatin1String("streamoff")) {
        stopVideo();
    }

    if (d->allSilent)
        return;

    QByteArray answer = "ok";
    if (scripted != d->script.constEnd()) {
        if (scripted->reply == Reply::Silent)
            return;
        answer = scripted->reply == Reply::Unknown ? "unknown command: " + text.toUtf8() : scripted->answer;
    } else if (grounded) {
        answer = "error Not flying";
    } else if (word == QLatin1String("rc")) {
        return;
    } else if (queryAnswers().contains(word)) {
        answer = queryAnswers().value(word);
    }
    queueAnswer(answer, sender, senderPort, slow ? d->motionDelay : 0);
}

void SimDrone::queueAnswer(const QByteArray &answer, const QHostAddress &to, quint16 toPort, int extraDelay)
{
    if (!isLoopback(to) || !d->command)
        return;
    const qint64 due = d->clock.elapsed() + d->answerDelay + extraDelay;
    d->answers.push_back(Pending{due, answer, to, toPort});
    // Real drones answer in the order of the commands, even when one takes long.
    if (d->answers.size() == 1)
        sendDueAnswers();
}

void SimDrone::sendDueAnswers()
{
    // A handler of answerSent may stop the drone, which empties the queue.
    while (!d->answers.empty() && d->command) {
        const qint64 wait = d->answers.front().due - d->clock.elapsed();
        if (wait > 0) {
            d->answerTimer->start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
            return;
        }
        const Pending pending = std::move(d->answers.front());
        d->answers.pop_front();
        d->command->writeDatagram(pending.answer, pending.to, pending.toPort);
        emit answerSent(pending.answer);
    }
}

bool SimDrone::startState(quint16 port, const QHostAddress &target, int intervalMs)
{
    if (!isLoopback(target) || port == 0 || intervalMs <= 0)
        return false;
    d->stateTarget = target;
    d->statePort = port;
    d->stateTimer->start(intervalMs);
    return true;
}

void SimDrone::stopState()
{
    d->stateTimer->stop();
}

bool SimDrone::isStateRunning() const
{
    return d->stateTimer->isActive();
}

bool SimDrone::sendState(const QByteArray &datagram)
{
    if (!isLoopback(d->stateTarget))
        return false;
    // A real drone sends its state from its command port; without one, any port will do.
    QUdpSocket *socket = d->command;
    if (!socket) {
        if (!d->stateSender)
            d->stateSender = new QUdpSocket(this);
        socket = d->stateSender;
    }
    return socket->writeDatagram(datagram, d->stateTarget, d->statePort) == datagram.size();
}

QByteArray SimDrone::currentState() const
{
    const qint64 now = d->clock.elapsed();
    const qint64 flown = d->flownMs + (d->flying ? now - d->flightStartMs : 0);
    // About one percent every half minute, faster in the air.
    const int battery = std::max(0, StartBattery - int(now / 30000) - int(flown / 20000));
    const int tof = d->heightCm + 10;
    const double baro = -102.87 + d->heightCm / 100.0;

    return QStringLiteral("mid:-1;x:-100;y:-100;z:-100;mpry:-1,-1,-1;pitch:0;roll:-1;yaw:%1;vgx:0;vgy:0;vgz:0;"
                          "templ:85;temph:88;tof:%2;h:%3;bat:%4;baro:%5;time:%6;"
                          "agx:-5.00;agy:7.00;agz:-999.00;\r\n")
        .arg(d->yaw)
        .arg(tof)
        .arg(d->heightCm)
        .arg(battery)
        .arg(baro, 0, 'f', 2)
        .arg(flown / 1000)
        .toLatin1();
}

void SimDrone::setVideoEnabled(bool enabled, quint16 videoPort)
{
    d->videoEnabled = enabled;
    d->videoPort = videoPort;
    if (!enabled)
        stopVideo();
}

bool SimDrone::isVideoRunning() const
{
    return d->video && d->video->state() != QProcess::NotRunning;
}

QStringList SimDrone::videoArguments(quint16 videoPort)
{
    // The destination is built here from the loopback address and a port number only.
    const QString destination = QStringLiteral("udp://127.0.0.1:%1?pkt_size=1460").arg(videoPort);
    return {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
            QStringLiteral("-nostdin"), QStringLiteral("-re"), QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("testsrc=size=960x720:rate=30"), QStringLiteral("-c:v"),
            QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-tune"),
            QStringLiteral("zerolatency"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
            // Frequent key frames, so a player that joins late shows a picture soon.
            QStringLiteral("-g"), QStringLiteral("30"), QStringLiteral("-f"), QStringLiteral("h264"), destination};
}

void SimDrone::startVideo()
{
    if (isVideoRunning())
        return;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
        qWarning("hoverdeck-drone: ffmpeg not found, no video stream");
        return;
    }
    if (!d->video) {
        d->video = new QProcess(this);
        d->video->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        d->video->setStandardOutputFile(QProcess::nullDevice());
        connect(d->video, &QProcess::finished, this, [this] { emit videoRunningChanged(false); });
    }
    d->video->start(ffmpeg, videoArguments(d->videoPort));
    if (d->video->waitForStarted(5000))
        emit videoRunningChanged(true);
    else
        qWarning("hoverdeck-drone: ffmpeg did not start");
}

void SimDrone::stopVideo()
{
    if (!isVideoRunning())
        return;
    d->video->terminate();
    if (!d->video->waitForFinished(3000)) {
        d->video->kill();
        d->video->waitForFinished(3000);
    }
}
