#include "PlanWeigher.h"

#include "TargetTexts.h"

#include <QProcess>
#include <QThread>

PlanWeigher::PlanWeigher(const QString &path, const QByteArray &fileHash, const Settings &settings, QObject *parent)
    : QObject(parent)
    , mPath(path)
    , mHash(fileHash)
    , mSettings(settings)
{
    mParts << QStringLiteral("open");
    for (int i = 0; i < hd::TargetKindCount; ++i)
        mParts << QString::number(i);
    mProbes = int(mParts.size());
    mDeadline.setSingleShot(true);
    connect(&mDeadline, &QTimer::timeout, this, [this] {
        mPastDeadline = true;
        judge();
    });
    mDeadline.start(settings.deadlineMs);
    // Started from the event loop, so that a caller connects decided() first.
    QTimer::singleShot(0, this, [this] {
        const int atOnce = qBound(1, QThread::idealThreadCount(), mProbes);
        for (int i = 0; i < atOnce; ++i)
            startNext();
    });
}

PlanWeigher::~PlanWeigher()
{
    cancel();
}

void PlanWeigher::cancel()
{
    mDecided = true;
    stopAll();
}

void PlanWeigher::startNext()
{
    if (mDecided || mParts.isEmpty())
        return;
    auto *probe = new QProcess(this);
    mRunning << probe;
    probe->setProcessChannelMode(QProcess::SeparateChannels);
    probe->setStandardErrorFile(QProcess::nullDevice());
    probe->setStandardInputFile(QProcess::nullDevice());
    connect(probe, &QProcess::readyReadStandardOutput, this, [this, probe] { readFrom(probe); });
    connect(probe, &QProcess::finished, this, [this, probe](int code, QProcess::ExitStatus status) {
        finished(probe, status != QProcess::NormalExit || code != 0);
    });
    connect(probe, &QProcess::errorOccurred, this, [this, probe](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finished(probe, true);
    });
    probe->start(
        mSettings.probe,
        {mPath, mParts.takeFirst(), QString::number(mSettings.budgetNs / 1'000'000), mSettings.font, mSettings.style});
}

void PlanWeigher::readFrom(QProcess *probe)
{
    while (probe->canReadLine()) {
        const std::optional<hd::OpenWeighing::Measured> m = hd::OpenWeighing::parseProbeLine(probe->readLine());
        if (!m)
            mFailed = true;
        else if (!m->fileHash.isEmpty())
            mDone << m->fileHash;
        else
            mMeasured << *m;
    }
    judge();
}

void PlanWeigher::finished(QProcess *probe, bool crashed)
{
    if (!mRunning.contains(probe))
        return;
    readFrom(probe);
    mRunning.removeOne(probe);
    probe->deleteLater();
    // A probe that ended without its last line failed as much as a crashed one.
    const int done = int(mDone.size());
    mFailed = mFailed || crashed || done < mProbes - int(mParts.size()) - int(mRunning.size());
    judge();
    startNext();
}

void PlanWeigher::judge()
{
    if (mDecided)
        return;
    const hd::OpenWeighing::Verdict verdict =
        hd::OpenWeighing::decide(mMeasured, mDone, mProbes, mHash, mSettings.budgetNs, mPastDeadline, mFailed);
    if (verdict.kind == hd::OpenWeighing::Verdict::Pending)
        return;
    mDecided = true;
    stopAll();
    emit decided(verdict);
}

void PlanWeigher::stopAll()
{
    mDeadline.stop();
    mParts.clear();
    for (QProcess *probe : std::as_const(mRunning)) {
        probe->disconnect(this);
        probe->kill();
        probe->waitForFinished(1000);
        probe->deleteLater();
    }
    mRunning.clear();
}
