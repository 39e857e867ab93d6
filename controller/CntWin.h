#pragma once

#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>

class DroneLink;
class QComboBox;
class QLabel;
class QProcess;
class QPushButton;
class QSlider;
class QTimer;
class StickCanvas;

namespace Ui {
class CntWin;
}

namespace hd {
struct CommandWords;
}

// The controller window: command link, command controls, sticks, state stream,
// video row and message log. One instance, reached through instance().
class CntWin : public QMainWindow
{
    Q_OBJECT

public:
    // Ranges of the command and query buttons ComPB, whose captions are the
    // commands they send. The turn and movement buttons carry the number of the
    // angle and distance controls; query button FirstQueryButton + i shows its
    // answer in status label StaLv i.
    static constexpr int FirstAngleButton = 4, LastAngleButton = 5;        // "cw", "ccw"
    static constexpr int FirstDistanceButton = 6, LastDistanceButton = 11; // "up" ... "left"
    static constexpr int FirstQueryButton = 16;                            // "speed?" ... "sn?"

    // The one controller window, created (and shown) on first use.
    static CntWin *instance();
    // Whether it exists, without creating it.
    static bool exists();

    ~CntWin() override;

    // Sends cmd by the sender rule and records its first and second word.
    void DoCmd(const QString &cmd);
    // Appends to the message log; newline adds the line end. Scrolls to the end.
    void addmsg(const QString &msg, bool newline);
    // A line of the application's own in the message log, before a line still
    // waiting for the drone's answer.
    void addReport(const QString &msg);

    // Read-only views of the window's state, for tests.
    QString address() const { return mAddress; }
    qint64 port() const { return mPort; }
    qint64 localPort() const { return mLocalPort; }
    qint64 staId() const { return mStaID; }
    qint64 sx(int stick) const { return mSx.at(stick); }
    qint64 sy(int stick) const { return mSy.at(stick); }
    qint64 pointerX(int stick) const { return mX.at(stick); }
    qint64 pointerY(int stick) const { return mY.at(stick); }
    bool mouseHeld() const { return mMd; }
    QString ffplay() const { return mFFplay; }
    // 0: no error since start or since the last successful Connect.
    int lastErrorCode() const;
    bool isPlayerRunning() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    CntWin();

    void wireHandlers();
    // The controls' Open events, then the window's own.
    void runOpenEvents();
    void Event_Open();
    void Event_Close();

    // Connection row
    void AddressEF_TextChange();
    void PortEF_TextChange();
    void LocalPortEF_TextChange();
    void ConnPM_Action();
    void LeavePM_Action();
    void SendToSelfCheck_Action(); // the hidden "Send To Self" box
    void PushButton3_Action();     // "Clear": empties the message log

    // Command link
    void writeLog(const QString &text, bool beforeLastLine);
    void sendDatagram(const QString &text);
    void record(const hd::CommandWords &words);
    void udps_LineCompleted(const QString &answer); // "ok" or a failure ends the log line
    void udps_ValueAnswered(const QString &value);  // goes to the last query's status label, or to the log
    // The status label of the query button captioned text; NoLabel for any other text.
    qint64 queryLabel(const QString &text) const;
    void udps_Error(int code);

    // Command and query controls
    void ComPB_Action(int index);
    void PushButton1_Action(); // "Send": sends the command line as it stands
    void SpeedSld_ValueChanged(int value);
    void dSld_ValueChanged(int value);
    void aSld_ValueChanged(int value);
    void dTa_TextChanged(const QString &text);
    void aTa_TextChanged(const QString &text);
    void sliderChanged(QComboBox *box, int firstButton, int lastButton, int value);
    void boxChanged(QComboBox *box, QSlider *slider, const QString &text);
    void boxEditingFinished(QComboBox *box, QSlider *slider);
    void MissionPadCB_Action(bool ticked);
    void StaTimerX_Action(); // its timer is never started

    // Sticks: acv 0 is the right stick, 1 the left one
    void acv_MouseDown(int index);
    void acv_MouseDrag(int index, qint64 x, qint64 y);
    void acv_MouseUp(int index);
    void CalcRadio(int index, qint64 x, qint64 y); // a pointer place into stick values
    void DoRadicon();                              // sends the stick command

    // State stream
    void udpr_DataAvailable(const QString &datagram);
    void ConnPM1_Action();  // hidden: opens the state socket alone
    void LeavePM1_Action(); // hidden: closes it alone

    // Video row
    void PushButton2_Action(); // "Select": chooses the video player
    void StreamOnPM_Action();
    void StreamOffPB_Action();
    void vss_Error(int error);
    void endPlayer();
    void endPlayerNow();

    std::unique_ptr<Ui::CntWin> ui;
    std::array<QPushButton *, 28> ComPB{}; // command and query buttons
    std::array<QLabel *, 12> StaLv{};      // status labels
    std::array<StickCanvas *, 2> acv{};    // the sticks

    DroneLink *mLink = nullptr; // the command, state and video sockets
    QTimer *StaTimerX = nullptr;
    QProcess *vss = nullptr; // the video player

    QString mAddress;                     // where every command goes
    qint64 mPort = 0;                     // its port
    qint64 mLocalPort = 0;                // the port the command socket binds at Connect
    qint64 mStaID = 0;                    // the last status query sent: the label a value answer goes to
    static constexpr qint64 NoLabel = -1; // mStaID after a typed command that is no query: values go to the log
    std::array<qint64, 2> mSx{};          // stick values last sent, per stick
    std::array<qint64, 2> mSy{};
    std::array<qint64, 2> mX{}; // pointer place, per stick
    std::array<qint64, 2> mY{};
    bool mMd = false; // a stick is held
    QString mFFplay;  // the video player's path

    // Set from the close request on: "Land" is then the last command the drone
    // gets, whatever the user still clicks or drags while the sequence waits.
    bool mClosing = false;
    bool mClosed = false; // the close sequence has run
    bool acceptsCommands() const { return !mClosing; }
    QComboBox *mTypingIn = nullptr; // the box whose typed text is being mirrored
};
