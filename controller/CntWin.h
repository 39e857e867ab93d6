#pragma once

#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QProcess;
class QPushButton;
class QSlider;
class QTimer;
class QUdpSocket;
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
    qint64 staId() const { return mStaID; }
    qint64 sx(int stick) const { return mSx.at(stick); }
    qint64 sy(int stick) const { return mSy.at(stick); }
    qint64 pointerX(int stick) const { return mX.at(stick); }
    qint64 pointerY(int stick) const { return mY.at(stick); }
    bool mouseHeld() const { return mMd; }
    QString ffplay() const { return mFFplay; }
    // 0: no error since start or since the last successful Connect.
    int lastErrorCode() const { return mLastErrorCode; }
    bool isPlayerRunning() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    CntWin();

    void wireHandlers();
    void runOpenEvents();
    void Event_Open();
    void Event_Close();

    // Connection row
    void AddressEF_TextChange();
    void PortEF_TextChange();
    void LocalPortEF_TextChange();
    void ConnPM_Action();
    void LeavePM_Action();
    void SendToSelfCheck_Action();
    void PushButton3_Action();

    // Command link
    bool bindCommandSocket();
    void bindStateSocket();
    void sendDatagram(const QString &text);
    void record(const hd::CommandWords &words);
    void udps_DataAvailable();
    void udps_Error(int code);

    // Command and query controls
    void ComPB_Action(int index);
    void PushButton1_Action();
    void SpeedSld_ValueChanged(int value);
    void dSld_ValueChanged(int value);
    void aSld_ValueChanged(int value);
    void dTa_TextChanged(const QString &text);
    void aTa_TextChanged(const QString &text);
    void sliderChanged(QComboBox *box, int firstButton, int lastButton, int value);
    void boxChanged(QComboBox *box, QSlider *slider, const QString &text);
    void boxEditingFinished(QComboBox *box, QSlider *slider);
    void MissionPadCB_Action(bool ticked);
    void StaTimerX_Action();

    // Sticks
    void acv_MouseDown(int index);
    void acv_MouseDrag(int index, qint64 x, qint64 y);
    void acv_MouseUp(int index);
    void CalcRadio(int index, qint64 x, qint64 y);
    void DoRadicon();

    // State stream
    void udpr_DataAvailable();
    void ConnPM1_Action();
    void LeavePM1_Action();

    // Video row
    void PushButton2_Action();
    void StreamOnPM_Action();
    void StreamOffPB_Action();
    void vss_Error(int error);
    void endPlayer();
    void endPlayerNow();

    std::unique_ptr<Ui::CntWin> ui;
    std::array<QPushButton *, 28> ComPB{};
    std::array<QLabel *, 12> StaLv{};
    std::array<StickCanvas *, 2> acv{};

    QUdpSocket *udps = nullptr;
    QUdpSocket *udpr = nullptr;
    QUdpSocket *udpv = nullptr;
    QTimer *StaTimerX = nullptr;
    QProcess *vss = nullptr;

    QString mAddress;
    qint64 mPort = 0;
    qint64 mStaID = 0;
    std::array<qint64, 2> mSx{};
    std::array<qint64, 2> mSy{};
    std::array<qint64, 2> mX{};
    std::array<qint64, 2> mY{};
    bool mMd = false;
    QString mFFplay;

    int mLastErrorCode = 0;
    int mErrorCount = 0;
    bool mSendToSelf = false;
    bool mClosing = false;
    QComboBox *mTypingIn = nullptr; // the box whose typed text is being mirrored
};
