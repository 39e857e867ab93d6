#pragma once

#include "OpenWeighing.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QProcess;

// Weighs one flight-plan file with probe processes (hoverdeck-openprobe) while the
// window goes on answering: one probe opens the plan and visits every tab and both
// ends of every text, one per text finds its heaviest screenful. Up to as many run at
// once as the machine has cores. decided() comes once, as soon as an action is beyond
// the budget, every probe has ended, one failed or the deadline has passed; the probes
// still running are then killed, as they are when the weigher is destroyed.
class PlanWeigher : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString probe;   // the probe's executable
        qint64 budgetNs; // the longest any one action may take
        int deadlineMs;  // the longest the weighing may take
        QString font;    // the text areas' font, as QFont::toString() gives it
        QString style;   // the application's style
    };
    PlanWeigher(const QString &path, const QByteArray &fileHash, const Settings &settings, QObject *parent = nullptr);
    ~PlanWeigher() override;

    // Kills the probes still running; nothing is decided any more.
    void cancel();

signals:
    void decided(const hd::OpenWeighing::Verdict &verdict);

private:
    void startNext();
    void readFrom(QProcess *probe);
    void finished(QProcess *probe, bool crashed);
    void judge();
    void stopAll();

    QString mPath;
    QByteArray mHash;
    Settings mSettings;
    QStringList mParts; // not started yet
    QList<QProcess *> mRunning;
    QList<hd::OpenWeighing::Measured> mMeasured;
    QList<QByteArray> mDone;
    int mProbes = 0;
    bool mFailed = false;
    bool mPastDeadline = false;
    bool mDecided = false;
    QTimer mDeadline;
};
