#pragma once

#include "PlaybackSchedule.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class TextAreaTargets;

namespace Ui {
class RecWin;
}

namespace hd {
class Clock;
class ProgramTextGenerator;
} // namespace hd

// The record and play window: six program texts, playback, File > Save...
class RecWin : public QMainWindow
{
    Q_OBJECT

public:
    // The one record and play window, created on first use.
    static RecWin *instance();
    // Whether it exists, without creating it.
    static bool exists();
    ~RecWin() override;

    // Records one command (the controller calls it after sending).
    void CreateIJList(const QString &word, const QString &argument);

    // Stands 8 units right of the controller window, with the same top edge. A window
    // manager may still move the controller after both windows are on the screen:
    // this window follows it until the user first clicks or types in either window,
    // or this window is moved to where it did not place itself.
    void placeBeside(QWidget *controller);

    // Text area of target kind i (0..5).
    QPlainTextEdit *MjEF(int i) const;
    QLabel *MjLv(int i) const;         // the caption above text area i
    QTabWidget *MJType() const;        // the tabs of the six texts
    QPushButton *PlayBB() const;       // PLAY, which reads PAUSE while playing
    QPushButton *StopBB() const;       // STOP: ends playback and lands
    QPushButton *BevelButton1() const; // never seen (its height is 0), no handler
    QTimer *PlayTimer() const;         // one playback step per expiry

    // Target text i exactly as its area holds it, and its replacement (a change of
    // the area like any other).
    QString targetText(int i) const;
    void setTargetText(int i, const QString &text);

    // File > Save..., bound to this window only.
    bool FileRecSave_Action(int index);

    // Waits are measured on this clock from now on (the default is the system's).
    void setClock(const hd::Clock &clock);

    bool isRecording() const; // mIsRec
    qint64 recTick() const;   // mRecTick
    bool isPlaying() const { return mIsPlay; }
    // The steps still to play: commands and the milliseconds to wait after each.
    QStringList playCommands() const { return mPlayCmd; }
    QList<qint64> playWaits() const { return mPlayWait; }

    // Ends playback without sending anything: the pending step is dropped.
    void cancelPlayback();
    // The same, for good: the controller's close sequence calls it before "Land",
    // so that no step of a plan can follow the landing (PLAY stays off).
    void endPlayback();

    void MjEF_TextChange(int i);
    void PlayBB_Action();
    void PlayTimer_Action();
    void StopBB_Action();

signals:
    // A step of the plan, or STOP's "land", for the controller window to send and
    // record like any command. It connects directly, so the command has gone out
    // when the emit returns.
    void commandRequested(const QString &cmd);

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    RecWin();
    void placePageControls();
    void placeNow();
    void stopFollowing();
    void setPlaying(bool playing);
    void playNextStep();
    qint64 playClockUs() const;

    std::unique_ptr<Ui::RecWin> ui;
    std::unique_ptr<TextAreaTargets> mTargets;
    std::unique_ptr<hd::ProgramTextGenerator> mGenerator;
    QTimer *mPlayTimer = nullptr;
    QWidget *mPageStack = nullptr;
    QPointer<QWidget> mPlaceBeside; // the controller, while this window follows it
    bool mBothShown = false;        // both windows have been exposed
    QList<QPoint> mPlacedAt;        // where it last placed itself, latest last

    bool mIsPlay = false;
    bool mPaused = false;    // PAUSE holds a queue that PLAY resumes
    bool mRecording = false; // CreateIJList is writing the texts
    bool mPlaybackEnded = false;
    QStringList mPlayCmd;
    QList<qint64> mPlayWait;
    QElapsedTimer mPlayClock;
    quint64 mPlayArming = 0;
    hd::PlaybackSchedule mSchedule;
};
