#include "CntWin.h"

#include "ui_CntWin.h"

#include "AnswerDispatch.h"
#include "CommandLink.h"
#include "CommandSplit.h"
#include "ControlCaptions.h"
#include "DroneLink.h"
#include "EventLoop.h"
#include "FileDialogs.h"
#include "MainMenuBar.h"
#include "RecWin.h"
#include "StateDatagram.h"
#include "StickCanvas.h"
#include "StickQuantiser.h"
#include "TextHelpers.h"
#include "VideoPlayer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QProcess>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>

#include <limits>
#include <utility>

namespace {

QPointer<CntWin> &theWindow()
{
    static QPointer<CntWin> window;
    return window;
}

constexpr int PlayerGraceMs = 1000;

int toSliderValue(qint64 n)
{
    return int(qBound(qint64(std::numeric_limits<int>::min()), n, qint64(std::numeric_limits<int>::max())));
}

} // namespace

CntWin *CntWin::instance()
{
    QPointer<CntWin> &window = theWindow();
    if (!window) {
        window = new CntWin;
        window->show();
        // Only now is the window placed, which the open sequence reads.
        window->runOpenEvents();
    }
    return window;
}

bool CntWin::exists()
{
    return !theWindow().isNull();
}

CntWin::CntWin()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::CntWin>())
{
    // Every control gets its design values here; handlers are attached only
    // afterwards, so building the window raises none of them.
    ui->setupUi(this);
    setWindowTitle(QGuiApplication::applicationDisplayName());

    for (int i = 0; i < int(ComPB.size()); ++i)
        ComPB[i] = findChild<QPushButton *>(QStringLiteral("ComPB_%1").arg(i));
    for (int i = 0; i < int(StaLv.size()); ++i)
        StaLv[i] = findChild<QLabel *>(QStringLiteral("StaLv_%1").arg(i));
    acv = {ui->acv_0, ui->acv_1};
    for (int i = 0; i < int(acv.size()); ++i)
        acv[i]->setIndex(i);

    ui->aTa->setCompleter(nullptr);
    ui->dTa->setCompleter(nullptr);

    mLink = new DroneLink(this);
    StaTimerX = new QTimer(this);
    StaTimerX->setObjectName(QStringLiteral("StaTimerX"));
    StaTimerX->setInterval(200);
    vss = new QProcess(this);
    vss->setObjectName(QStringLiteral("vss"));
    // The player's output is never read; unread output must not pile up here.
    vss->setStandardInputFile(QProcess::nullDevice());
    vss->setStandardOutputFile(QProcess::nullDevice());
    vss->setStandardErrorFile(QProcess::nullDevice());

    ui->centralwidget->setFixedSize(780, 550);
    MainMenuBar::instance()->installIn(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    wireHandlers();
}

CntWin::~CntWin()
{
    endPlayerNow();
}

void CntWin::wireHandlers()
{
    connect(ui->AddressEF, &QLineEdit::textChanged, this, &CntWin::AddressEF_TextChange);
    connect(ui->PortEF, &QLineEdit::textChanged, this, &CntWin::PortEF_TextChange);
    connect(ui->ConnPM, &QPushButton::clicked, this, &CntWin::ConnPM_Action);
    connect(ui->LeavePM, &QPushButton::clicked, this, &CntWin::LeavePM_Action);
    connect(ui->SendToSelfCheck, &QCheckBox::toggled, this, &CntWin::SendToSelfCheck_Action);
    connect(mLink, &DroneLink::lineCompleted, this, &CntWin::udps_LineCompleted);
    connect(mLink, &DroneLink::valueAnswered, this, &CntWin::udps_ValueAnswered);
    connect(mLink, &DroneLink::failed, this, &CntWin::udps_Error);
    connect(mLink, &DroneLink::refused, this, &CntWin::addReport);
    for (int i = 0; i < int(ComPB.size()); ++i)
        connect(ComPB[i], &QPushButton::clicked, this, [this, i] { ComPB_Action(i); });
    connect(ui->LocalPortEF, &QLineEdit::textChanged, this, &CntWin::LocalPortEF_TextChange);
    connect(StaTimerX, &QTimer::timeout, this, &CntWin::StaTimerX_Action);
    connect(ui->SpeedSld, &QSlider::valueChanged, this, &CntWin::SpeedSld_ValueChanged);
    connect(ui->dSld, &QSlider::valueChanged, this, &CntWin::dSld_ValueChanged);
    connect(ui->aSld, &QSlider::valueChanged, this, &CntWin::aSld_ValueChanged);
    connect(ui->aTa, &QComboBox::editTextChanged, this, &CntWin::aTa_TextChanged);
    connect(ui->dTa, &QComboBox::editTextChanged, this, &CntWin::dTa_TextChanged);
    connect(ui->aTa->lineEdit(), &QLineEdit::editingFinished, this, [this] { boxEditingFinished(ui->aTa, ui->aSld); });
    connect(ui->dTa->lineEdit(), &QLineEdit::editingFinished, this, [this] { boxEditingFinished(ui->dTa, ui->dSld); });
    connect(ui->PushButton1, &QPushButton::clicked, this, &CntWin::PushButton1_Action);
    connect(ui->MissionPadCB, &QCheckBox::toggled, this, &CntWin::MissionPadCB_Action);
    for (StickCanvas *stick : acv) {
        connect(stick, &StickCanvas::MouseDown, this, [this](int i, QPoint) { acv_MouseDown(i); });
        connect(stick, &StickCanvas::MouseDrag, this, [this](int i, QPoint p) { acv_MouseDrag(i, p.x(), p.y()); });
        connect(stick, &StickCanvas::MouseUp, this, [this](int i, QPoint) { acv_MouseUp(i); });
    }
    connect(mLink, &DroneLink::stateReceived, this, &CntWin::udpr_DataAvailable);
    connect(ui->LeavePM1, &QPushButton::clicked, this, &CntWin::LeavePM1_Action);
    connect(ui->ConnPM1, &QPushButton::clicked, this, &CntWin::ConnPM1_Action);
    connect(ui->StreamOffPB, &QPushButton::clicked, this, &CntWin::StreamOffPB_Action);
    connect(ui->StreamOnPM, &QPushButton::clicked, this, &CntWin::StreamOnPM_Action);
    connect(ui->PushButton2, &QPushButton::clicked, this, &CntWin::PushButton2_Action);
    connect(ui->PushButton3, &QPushButton::clicked, this, &CntWin::PushButton3_Action);
    connect(vss, &QProcess::errorOccurred, this, &CntWin::vss_Error);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CntWin::endPlayerNow);
}

void CntWin::runOpenEvents()
{
    AddressEF_TextChange();
    PortEF_TextChange();
    LocalPortEF_TextChange();
    ui->SendToSelfCheck->setChecked(mLink->sendToSelf());
    for (QLabel *label : StaLv)
        label->clear();
    for (int i = 0; i < int(acv.size()); ++i) {
        mX[i] = 50;
        mY[i] = 50;
        acv[i]->setPointer(QPoint(50, 50));
    }
    Event_Open();
}

void CntWin::Event_Open()
{
    mFFplay = hd::lookUpPlayer(QCoreApplication::applicationDirPath(), hd::playerSearchPath());
    if (!mFFplay.isEmpty())
        ui->ffplayEF->setText(QDir::toNativeSeparators(mFFplay));

    RecWin *rec = RecWin::instance();
    connect(rec, &RecWin::commandRequested, this, &CntWin::DoCmd,
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));
    rec->show();
    rec->placeBeside(this);
}

void CntWin::closeEvent(QCloseEvent *event)
{
    // The two waits below run the event loop: a second close request meanwhile
    // (close box, File > Quit from either window) must not start the sequence again.
    if (mClosing) {
        event->ignore();
        return;
    }
    // The gate stays shut after the sequence: hiding the window still lets go of
    // a held stick, which must not send after "Land".
    mClosing = true;
    Event_Close();
    mClosed = true;
    event->accept();
}

// Only a window shown again after its close takes commands again; a show during
// the close's waits (a restore from the taskbar, say) must not open the gate.
void CntWin::showEvent(QShowEvent *event)
{
    if (std::exchange(mClosed, false))
        mClosing = false;
    QMainWindow::showEvent(event);
}

void CntWin::Event_Close()
{
    // Playback must not send its next steps after the drone was told to land.
    if (RecWin::exists())
        RecWin::instance()->endPlayback();
    const QString land = QStringLiteral("Land");
    addmsg(land + QStringLiteral(": "), false);
    // After a Disconnect, or a Connect that failed, the drone may still be in the
    // air: the landing must reach it. Without any Connect, nothing is sent.
    mLink->reopenCommand();
    sendDatagram(land);
    ui->CmdEF->setText(land);
    record(hd::splitFirstAndSecondWord(land));
    hd::DoEvents(500);
    mLink->closeAll();
    hd::DoEvents(500);
    RecWin::instance()->close();
    hd::Quit(0);
}

// --- Connection row -----------------------------------------------------------

void CntWin::AddressEF_TextChange()
{
    mAddress = ui->AddressEF->text();
}

void CntWin::PortEF_TextChange()
{
    mPort = hd::portFromText(ui->PortEF->text());
}

// Only the port the next Connect binds: commands still go to the drone's port.
void CntWin::LocalPortEF_TextChange()
{
    mLocalPort = hd::portFromText(ui->LocalPortEF->text());
}

void CntWin::ConnPM_Action()
{
    if (mLink->open(mLocalPort))
        addmsg(QStringLiteral("Connect to ") + mAddress, true);
}

void CntWin::LeavePM_Action()
{
    mLink->close();
    if (mLink->lastErrorCode() == 0)
        addmsg(QStringLiteral("Dissconnected..."), true);
    else
        addmsg(QStringLiteral("Error: ") + hd::Str(mLink->lastErrorCode()), true);
    record({QStringLiteral("Disconnect"), QString()});
}

void CntWin::SendToSelfCheck_Action()
{
    mLink->setSendToSelf(ui->SendToSelfCheck->isChecked());
}

void CntWin::PushButton3_Action()
{
    ui->ResEF->clear();
}

// --- Command link ---------------------------------------------------------------

void CntWin::sendDatagram(const QString &text)
{
    mLink->send(text, mAddress, mPort);
}

void CntWin::record(const hd::CommandWords &words)
{
    RecWin::instance()->CreateIJList(words.word, words.argument);
}

void CntWin::DoCmd(const QString &cmd)
{
    if (!acceptsCommands())
        return;
    addmsg(cmd + QStringLiteral(": "), false);
    // A played query shows its answer where its button would.
    if (const qint64 label = queryLabel(cmd); label != NoLabel)
        mStaID = label;
    sendDatagram(cmd);
    ui->CmdEF->setText(cmd);
    // Recorded whole, as typed commands are: a flight played again stays the same.
    record(hd::splitFirstWordAndRest(cmd));
}

qint64 CntWin::queryLabel(const QString &text) const
{
    for (int i = FirstQueryButton; i < int(ComPB.size()); ++i) {
        if (ComPB[i]->text() == text)
            return i - FirstQueryButton;
    }
    return NoLabel;
}

void CntWin::udps_LineCompleted(const QString &answer)
{
    addmsg(answer, true);
}

void CntWin::udps_ValueAnswered(const QString &value)
{
    if (mStaID == NoLabel)
        addmsg(value, true);
    else
        StaLv[mStaID]->setText(hd::statusLabelText(value, mStaID));
}

// Whatever the error: the user may press Connect again.
void CntWin::udps_Error(int)
{
    addmsg(QStringLiteral("error..."), true);
}

void CntWin::addmsg(const QString &msg, bool newline)
{
    writeLog(newline ? msg + hd::EndOfLine : msg, false);
}

// A report of the application's own, on a line of its own. A command line still
// open for its answer stays last, so that the answer completes it.
void CntWin::addReport(const QString &msg)
{
    writeLog(msg + hd::EndOfLine, true);
}

// Inserts at the end, or at the start of the last line, without touching the rest:
// the log is never trimmed and must stay fast however long it grows, also on one line.
void CntWin::writeLog(const QString &text, bool beforeLastLine)
{
    ui->ResEF->write(text, beforeLastLine);
    QScrollBar *bar = ui->ResEF->verticalScrollBar();
    bar->setValue(bar->maximum());
}

// --- Command and query controls -------------------------------------------------

void CntWin::ComPB_Action(int index)
{
    if (!acceptsCommands())
        return;
    const QString caption = ComPB[index]->text();
    addmsg(caption + QStringLiteral(": "), false);
    if (index >= FirstQueryButton)
        mStaID = index - FirstQueryButton;
    sendDatagram(caption);
    ui->CmdEF->setText(caption);
    record(hd::splitFirstWordAndRest(caption));
}

void CntWin::PushButton1_Action()
{
    if (!acceptsCommands())
        return;
    const QString text = ui->CmdEF->text();
    addmsg(text + QStringLiteral(": "), false);
    // A typed query answers into its own label; what no label stands for, the log shows.
    mStaID = queryLabel(text);
    sendDatagram(text);
    record(hd::splitFirstWordAndRest(text));
}

void CntWin::SpeedSld_ValueChanged(int value)
{
    if (!acceptsCommands())
        return;
    addmsg(QStringLiteral("Change Speed: "), false);
    sendDatagram(QStringLiteral("speed ") + hd::Str(value));
}

void CntWin::dSld_ValueChanged(int value)
{
    sliderChanged(ui->dTa, FirstDistanceButton, LastDistanceButton, value);
}

void CntWin::aSld_ValueChanged(int value)
{
    sliderChanged(ui->aTa, FirstAngleButton, LastAngleButton, value);
}

void CntWin::dTa_TextChanged(const QString &text)
{
    boxChanged(ui->dTa, ui->dSld, text);
}

void CntWin::aTa_TextChanged(const QString &text)
{
    boxChanged(ui->aTa, ui->aSld, text);
}

// The slider and its combo box set each other; comparing before each write ends
// the exchange after one return.
void CntWin::sliderChanged(QComboBox *box, int firstButton, int lastButton, int value)
{
    const QString text = hd::Str(value);
    for (int k = firstButton; k <= lastButton; ++k)
        ComPB[k]->setText(hd::rewriteCaption(ComPB[k]->text(), text));
    if (const auto boxText = hd::boxTextFor(box->currentText(), value, mTypingIn == box))
        box->setEditText(*boxText);
}

void CntWin::boxChanged(QComboBox *box, QSlider *slider, const QString &text)
{
    const qint64 n = hd::comboNumber(text);
    if (slider->value() == n)
        return;
    // Keys typed into the box stay there until editing ends, even where the slider
    // pins the number they make so far ("1" on the way to "120").
    QWidget *focus = QApplication::focusWidget();
    const bool typing = focus && (focus == box || box->isAncestorOf(focus));
    const QScopedValueRollback<QComboBox *> typingIn(mTypingIn, typing ? box : nullptr);
    slider->setValue(toSliderValue(n));
}

// Once editing ends the box shows the number the buttons send.
void CntWin::boxEditingFinished(QComboBox *box, QSlider *slider)
{
    if (const auto boxText = hd::boxTextFor(box->currentText(), slider->value(), false))
        box->setEditText(*boxText);
}

void CntWin::MissionPadCB_Action(bool ticked)
{
    if (!acceptsCommands())
        return;
    const QString cmd = ticked ? QStringLiteral("mon") : QStringLiteral("moff");
    addmsg(cmd + QStringLiteral(": "), false);
    sendDatagram(cmd);
}

void CntWin::StaTimerX_Action() {}

// --- Sticks ---------------------------------------------------------------------

void CntWin::acv_MouseDown(int)
{
    mMd = true;
}

void CntWin::acv_MouseDrag(int index, qint64 x, qint64 y)
{
    mX[index] = x;
    mY[index] = y;
    acv[index]->setPointer(QPoint(int(x), int(y)));
    CalcRadio(index, x, y);
}

void CntWin::acv_MouseUp(int index)
{
    mMd = false;
    mX[index] = 50;
    mY[index] = 50;
    acv[index]->setPointer(QPoint(50, 50));
    CalcRadio(index, 50, 50);
}

void CntWin::CalcRadio(int index, qint64 x, qint64 y)
{
    // A stick held while the window closes keeps the values it last sent.
    if (!acceptsCommands())
        return;
    const hd::StickValues values = hd::quantiseStick(x, y);
    if (values.x != mSx[index] || values.y != mSy[index]) {
        mSx[index] = values.x;
        mSy[index] = values.y;
        DoRadicon();
        acv[index]->update();
    }
}

void CntWin::DoRadicon()
{
    const QString text = hd::stickCommand({int(mSx[0]), int(mSy[0])}, {int(mSx[1]), int(mSy[1])});
    addmsg(text + QStringLiteral(": "), false);
    sendDatagram(text);
    ui->CmdEF->setText(text);
    record({text, QString()});
}

// --- State stream ---------------------------------------------------------------

void CntWin::udpr_DataAvailable(const QString &datagram)
{
    const QMap<int, QString> texts = hd::stateLabelTexts(datagram);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        StaLv[it.key()]->setText(it.value());
}

void CntWin::ConnPM1_Action()
{
    mLink->openState();
}

void CntWin::LeavePM1_Action()
{
    mLink->closeState();
}

// --- Video row ------------------------------------------------------------------

void CntWin::PushButton2_Action()
{
    const QString path = FileDialogs::GetOpenFolderItem(this, QStringLiteral("anytype"));
    if (path.isEmpty())
        return;
    mFFplay = path;
    ui->ffplayEF->setText(QDir::toNativeSeparators(path));
}

void CntWin::StreamOnPM_Action()
{
    if (!acceptsCommands())
        return;
    const QString cmd = QStringLiteral("streamon");
    addmsg(cmd + QStringLiteral(": "), false);
    sendDatagram(cmd);
    ui->CmdEF->setText(cmd);
    // Started directly, never through a shell: the frame-rate text is one
    // argument as typed. One player at a time.
    if (!mFFplay.isEmpty() && vss->state() == QProcess::NotRunning)
        vss->start(mFFplay, hd::playerArguments(ui->frEF->text()));
}

void CntWin::StreamOffPB_Action()
{
    if (!acceptsCommands())
        return;
    const QString cmd = QStringLiteral("streamoff");
    addmsg(cmd + QStringLiteral(": "), false);
    sendDatagram(cmd);
    ui->CmdEF->setText(cmd);
    endPlayer();
}

// Without this the user would see "streamon: ok" and wonder where the video is.
void CntWin::vss_Error(int error)
{
    if (error == QProcess::FailedToStart)
        addReport(hd::playerStartFailure(vss->program(), vss->errorString()));
}

int CntWin::lastErrorCode() const
{
    return mLink->lastErrorCode();
}

bool CntWin::isPlayerRunning() const
{
    return vss->state() != QProcess::NotRunning;
}

// Asks the player to end and, without blocking the window, kills it if it has
// not after a grace period (and only that same process, not a later one).
void CntWin::endPlayer()
{
    if (vss->state() == QProcess::NotRunning)
        return;
    const qint64 pid = vss->processId();
    vss->terminate();
    QTimer::singleShot(PlayerGraceMs, this, [this, pid] {
        if (vss->state() != QProcess::NotRunning && vss->processId() == pid)
            vss->kill();
    });
}

void CntWin::endPlayerNow()
{
    if (!vss || vss->state() == QProcess::NotRunning)
        return;
    vss->terminate();
    if (!vss->waitForFinished(PlayerGraceMs)) {
        vss->kill();
        vss->waitForFinished(PlayerGraceMs);
    }
}
