// hoverdeck-drone: a simulated drone on a loopback address, to try the application
// (and to test it) without a real drone.
#include "SimDrone.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

QByteArray unescape(const QString &text)
{
    QByteArray out;
    const QByteArray in = text.toUtf8();
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 1 < in.size()) {
            const char next = in[i + 1];
            if (next == 'r' || next == 'n' || next == '\\') {
                out.append(next == 'r' ? '\r' : next == 'n' ? '\n' : '\\');
                ++i;
                continue;
            }
        }
        out.append(in[i]);
    }
    return out;
}

QString visible(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(u'\r', QLatin1String("\\r"));
    text.replace(u'\n', QLatin1String("\\n"));
    return text;
}

bool readPort(const QString &text, bool allowZero, quint16 *port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535 || (!allowZero && value == 0))
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hoverdeck-drone"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated drone for Hoverdeck. It answers on its command socket like a real drone "
                       "and sends state datagrams. Loopback addresses (127.0.0.0/8) only."));
    parser.addHelpOption();
    const QCommandLineOption addressOpt(QStringLiteral("address"),
                                        QStringLiteral("Loopback address to bind (default 127.0.0.2)."),
                                        QStringLiteral("ip"), QStringLiteral("127.0.0.2"));
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("Command port (default 8889)."),
                                     QStringLiteral("port"), QStringLiteral("8889"));
    const QCommandLineOption statePortOpt(QStringLiteral("state-port"),
                                          QStringLiteral("Port the state datagrams go to (default 8890)."),
                                          QStringLiteral("port"), QStringLiteral("8890"));
    const QCommandLineOption stateTargetOpt(
        QStringLiteral("state-target"),
        QStringLiteral("Loopback address the state datagrams go to (default 127.0.0.1)."), QStringLiteral("ip"),
        QStringLiteral("127.0.0.1"));
    const QCommandLineOption stateIntervalOpt(
        QStringLiteral("state-interval"),
        QStringLiteral("Milliseconds between state datagrams (default 100; 0: no state)."), QStringLiteral("ms"),
        QStringLiteral("100"));
    const QCommandLineOption answerOpt(QStringLiteral("answer"),
                                       QStringLiteral("Answer WORD with TEXT (\\r and \\n allowed). Repeatable."),
                                       QStringLiteral("WORD=TEXT"));
    const QCommandLineOption rejectOpt(QStringLiteral("reject"),
                                       QStringLiteral("Answer WORD with \"error\", or with \"error REASON\" "
                                                      "(e.g. 'land=Not flying'). Repeatable."),
                                       QStringLiteral("WORD[=REASON]"));
    const QCommandLineOption unknownOpt(QStringLiteral("unknown"),
                                        QStringLiteral("Answer WORD with \"unknown command: \" and the command, as old "
                                                       "firmware does. Repeatable."),
                                        QStringLiteral("WORD"));
    const QCommandLineOption silentOpt(QStringLiteral("silent"), QStringLiteral("Never answer WORD. Repeatable."),
                                       QStringLiteral("WORD"));
    const QCommandLineOption answerDelayOpt(QStringLiteral("answer-delay"),
                                            QStringLiteral("Milliseconds before each answer (default 0)."),
                                            QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption motionDelayOpt(
        QStringLiteral("motion-delay"),
        QStringLiteral("Extra milliseconds before answering takeoff and land, as a real drone "
                       "answers when the motion is done (default 0)."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption flightRulesOpt(
        QStringLiteral("flight-rules"),
        QStringLiteral("On the ground, answer \"error Not flying\" to land and to the motion "
                       "commands (up, down, left, right, forward, back, cw, ccw, flip, go, curve) "
                       "and stay put. Scripted words keep their answers."));
    const QCommandLineOption videoOpt(
        QStringLiteral("video"),
        QStringLiteral("On \"streamon\", send an H.264 test stream to 127.0.0.1 (needs ffmpeg)."));
    const QCommandLineOption videoPortOpt(QStringLiteral("video-port"),
                                          QStringLiteral("Port of the video stream (default 11111)."),
                                          QStringLiteral("port"), QStringLiteral("11111"));
    const QCommandLineOption quietOpt(QStringLiteral("quiet"), QStringLiteral("Do not print commands and answers."));
    parser.addOptions({addressOpt, portOpt, statePortOpt, stateTargetOpt, stateIntervalOpt, answerOpt, rejectOpt,
                       unknownOpt, silentOpt, answerDelayOpt, motionDelayOpt, flightRulesOpt, videoOpt, videoPortOpt,
                       quietOpt});
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);

    const QHostAddress address(parser.value(addressOpt));
    const QHostAddress stateTarget(parser.value(stateTargetOpt));
    for (const auto &[text, parsed] :
         {std::pair{parser.value(addressOpt), address}, std::pair{parser.value(stateTargetOpt), stateTarget}}) {
        if (!SimDrone::isLoopback(parsed)) {
            err << "hoverdeck-drone: refusing \"" << text << "\": only loopback addresses (127.0.0.0/8) are allowed\n";
            return 2;
        }
    }

    quint16 port = 0, statePort = 0, videoPort = 0;
    bool intervalOk = false, answerDelayOk = false, motionDelayOk = false;
    const int interval = parser.value(stateIntervalOpt).toInt(&intervalOk);
    const int answerDelay = parser.value(answerDelayOpt).toInt(&answerDelayOk);
    const int motionDelay = parser.value(motionDelayOpt).toInt(&motionDelayOk);
    if (!readPort(parser.value(portOpt), true, &port) || !readPort(parser.value(statePortOpt), false, &statePort)
        || !readPort(parser.value(videoPortOpt), false, &videoPort) || !intervalOk || interval < 0 || !answerDelayOk
        || answerDelay < 0 || !motionDelayOk || motionDelay < 0) {
        err << "hoverdeck-drone: a port must be 1..65535 and a time 0 or more milliseconds\n";
        return 2;
    }

    SimDrone drone;
    for (const QString &entry : parser.values(answerOpt)) {
        const qsizetype eq = entry.indexOf(u'=');
        if (eq <= 0) {
            err << "hoverdeck-drone: --answer needs WORD=TEXT, got \"" << entry << "\"\n";
            return 2;
        }
        drone.setAnswer(entry.left(eq), unescape(entry.mid(eq + 1)));
    }
    for (const QString &entry : parser.values(rejectOpt)) {
        const qsizetype eq = entry.indexOf(u'=');
        if (eq == 0 || entry.isEmpty()) {
            err << "hoverdeck-drone: --reject needs WORD or WORD=REASON, got \"" << entry << "\"\n";
            return 2;
        }
        drone.setReject(eq < 0 ? entry : entry.left(eq), eq < 0 ? QString() : entry.mid(eq + 1));
    }
    for (const QString &word : parser.values(unknownOpt))
        drone.setUnknown(word);
    for (const QString &word : parser.values(silentOpt))
        drone.setSilent(word);
    drone.setAnswerDelay(answerDelay);
    drone.setMotionDelay(motionDelay);
    drone.setFlightRules(parser.isSet(flightRulesOpt));
    drone.setVideoEnabled(parser.isSet(videoOpt), videoPort);

    if (!drone.start(address, port)) {
        err << "hoverdeck-drone: cannot bind " << address.toString() << ":" << port << "\n";
        return 1;
    }
    if (interval > 0)
        drone.startState(statePort, stateTarget, interval);

    const bool quiet = parser.isSet(quietOpt);
    if (!quiet) {
        QObject::connect(&drone, &SimDrone::commandReceived, &drone,
                         [&out](const QString &text) { out << "<- " << visible(text.toUtf8()) << Qt::endl; });
        QObject::connect(&drone, &SimDrone::answerSent, &drone,
                         [&out](const QByteArray &answer) { out << "-> " << visible(answer) << Qt::endl; });
        QObject::connect(&drone, &SimDrone::videoRunningChanged, &drone, [&out](bool running) {
            out << (running ? "video stream on" : "video stream off") << Qt::endl;
        });
    }
    if (!quiet) {
        out << "hoverdeck-drone on " << address.toString() << ":" << drone.port();
        if (interval > 0)
            out << ", state to " << stateTarget.toString() << ":" << statePort << " every " << interval << " ms";
        out << Qt::endl;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char byte;
            [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }

    const int code = app.exec();
    drone.stop();
    return code;
}
