#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QStringList>

class QUdpSocket;
class QTimer;

// A simulated drone for tests, demos and trying the application without a drone.
// It answers on its command socket like a real one ("ok", "error", values with
// CR LF, silence for "rc"), streams state datagrams, and can be scripted.
// It only ever binds and sends to loopback addresses (127.0.0.0/8).
class SimDrone : public QObject
{
    Q_OBJECT

public:
    explicit SimDrone(QObject *parent = nullptr);
    ~SimDrone() override;

    // Whether address lies in 127.0.0.0/8 (the only addresses the drone uses).
    static bool isLoopback(const QHostAddress &address);

    // Binds the command socket (address sharing on). False for a non-loopback
    // address or a failed bind. Port 0 picks a free port (see port()).
    bool start(const QHostAddress &address = QHostAddress(QStringLiteral("127.0.0.2")), quint16 port = 8889);
    void stop();
    quint16 port() const;
    QHostAddress address() const;
    bool isRunning() const;

    // Scripting by command word (the text before the first space, ASCII case ignored).
    // A scripted word changes only the answer: the command still acts on the flight.
    void setAnswer(const QString &word, const QByteArray &answer); // e.g. "battery?" -> "87\r\n"
    // Answers "error", or "error <reason>" (e.g. "Not flying") when a reason is given.
    void setReject(const QString &word, const QString &reason = QString());
    // Answers "unknown command: <command text>", as old firmware does to newer commands.
    void setUnknown(const QString &word);
    void setSilent(const QString &word); // no answer
    void setAllSilent(bool silent);
    // While on, "land" and the motion commands (up, down, left, right, forward, back,
    // cw, ccw, flip, go, curve) on the ground are answered "error Not flying" and
    // change nothing. Off by default; scripted words are answered as scripted.
    void setFlightRules(bool on);
    // Back to the plain answers: no scripted words, not all silent, no flight rules.
    void clearScript();

    // Every answer waits this long (ms) after its command. Answers always leave in the
    // order of their commands: one waiting for a motion holds back the ones after it.
    void setAnswerDelay(int ms);
    // "takeoff", "land" (and "Land") are answered only after this extra time, as a
    // real drone answers when the motion has finished.
    void setMotionDelay(int ms);

    // Every command text received, in order.
    QStringList received() const { return mReceived; }
    void clearReceived() { mReceived.clear(); }

    // State datagrams to target:port (loopback only) every intervalMs; false when refused.
    bool startState(quint16 port = 8890, const QHostAddress &target = QHostAddress(QStringLiteral("127.0.0.1")),
                    int intervalMs = 100);
    void stopState();
    bool isStateRunning() const;
    // One state datagram now, exactly these bytes, to the state target of the last
    // startState (127.0.0.1:8890 until then).
    bool sendState(const QByteArray &datagram);
    // The datagram a real drone of newer firmware sends, ending with ";\r\n".
    QByteArray currentState() const;

    // On "streamon", send a generated H.264 test stream to 127.0.0.1:videoPort
    // (needs ffmpeg); stopped on "streamoff".
    void setVideoEnabled(bool enabled, quint16 videoPort = 11111);
    bool isVideoRunning() const;
    // The encoder's arguments for a stream to 127.0.0.1:videoPort.
    static QStringList videoArguments(quint16 videoPort);

signals:
    void commandReceived(const QString &text);
    void answerSent(const QByteArray &answer);
    void videoRunningChanged(bool running);

private:
    void readCommands();
    void handleCommand(const QString &text, const QHostAddress &sender, quint16 senderPort);
    void queueAnswer(const QByteArray &answer, const QHostAddress &to, quint16 toPort, int extraDelay);
    void sendDueAnswers();
    void startVideo();
    void stopVideo();

    // Owned by the implementation.
    struct Private;
    Private *d;
    QStringList mReceived;
};
