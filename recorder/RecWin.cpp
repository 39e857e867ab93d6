#include "RecWin.h"
#include "ui_RecWin.h"

#include "Clock.h"
#include "FileDialogs.h"
#include "FlightPlan.h"
#include "MainMenuBar.h"
#include "PlaybackList.h"
#include "ProgramTextGenerator.h"
#include "TextAreaTargets.h"

#include <QCloseEvent>
#include <QDir>
#include <QLayout>
#include <QMoveEvent>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace {

QPointer<RecWin> &theWindow()
{
    static QPointer<RecWin> window;
    return window;
}

const QRect TextAreaPlace(0, 100, 400, 335);
const QRect LabelPlace(10, 73, 172, 20);

} // namespace

RecWin *RecWin::instance()
{
    QPointer<RecWin> &window = theWindow();
    if (!window)
        window = new RecWin;
    return window;
}

bool RecWin::exists()
{
    return !theWindow().isNull();
}

RecWin::RecWin()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ui(std::make_unique<Ui::RecWin>())
{
    MainMenuBar::instance()->installIn(this);
    // The design's creation order is also the focus order (MJType, BevelButton1,
    // PlayBB, StopBB); Qt 6.4's setTabOrder would split the chain at the tab pages.
    ui->setupUi(this);
    // The content area keeps its design size; only the menu bar comes on top.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    QPalette areaColours;
    areaColours.setColor(QPalette::Base, Qt::white);
    areaColours.setColor(QPalette::Text, Qt::black);
    for (int i = 0; i < hd::TargetKindCount; ++i) {
        MjEF(i)->setPalette(areaColours);
        MjLv(i)->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
    }

    // The text areas and labels are placed in the window's coordinates, wherever
    // the style puts the tab pages.
    mPageStack = ui->MJType->findChild<QStackedWidget *>();
    mPageStack->installEventFilter(this);
    placePageControls();

    mTargets = std::make_unique<TextAreaTargets>(std::array<QPlainTextEdit *, hd::TargetKindCount>{
        ui->MjEF_0, ui->MjEF_1, ui->MjEF_2, ui->MjEF_3, ui->MjEF_4, ui->MjEF_5});
    mGenerator = std::make_unique<hd::ProgramTextGenerator>(*mTargets, hd::SystemClock::instance());

    mPlayTimer = new QTimer(this);
    mPlayTimer->setObjectName(QStringLiteral("PlayTimer"));
    mPlayTimer->setSingleShot(true);
    mPlayTimer->setTimerType(Qt::PreciseTimer);
    mPlayTimer->setInterval(1000);

    // Handlers only now that every design value is in place: building runs none.
    for (int i = 0; i < hd::TargetKindCount; ++i)
        connect(MjEF(i), &QPlainTextEdit::textChanged, this, [this, i] { MjEF_TextChange(i); });
    connect(ui->PlayBB, &QPushButton::clicked, this, &RecWin::PlayBB_Action);
    connect(ui->StopBB, &QPushButton::clicked, this, &RecWin::StopBB_Action);
    connect(mPlayTimer, &QTimer::timeout, this, &RecWin::PlayTimer_Action);

    MainMenuBar::instance()->bind(
        QStringLiteral("FileRecSave"), [this](int index) { return FileRecSave_Action(index); }, this);
}

RecWin::~RecWin() = default;

void RecWin::CreateIJList(const QString &word, const QString &argument)
{
    const QScopedValueRollback<bool> recording(mRecording, true);
    mGenerator->CreateIJList(word, argument);
}

QPlainTextEdit *RecWin::MjEF(int i) const
{
    static constexpr QPlainTextEdit *Ui::RecWin::*areas[] = {&Ui::RecWin::MjEF_0, &Ui::RecWin::MjEF_1,
                                                             &Ui::RecWin::MjEF_2, &Ui::RecWin::MjEF_3,
                                                             &Ui::RecWin::MjEF_4, &Ui::RecWin::MjEF_5};
    return (i >= 0 && i < hd::TargetKindCount) ? (*ui).*areas[i] : nullptr;
}

QLabel *RecWin::MjLv(int i) const
{
    static constexpr QLabel *Ui::RecWin::*labels[] = {&Ui::RecWin::MjLv_0, &Ui::RecWin::MjLv_1, &Ui::RecWin::MjLv_2,
                                                      &Ui::RecWin::MjLv_3, &Ui::RecWin::MjLv_4, &Ui::RecWin::MjLv_5};
    return (i >= 0 && i < hd::TargetKindCount) ? (*ui).*labels[i] : nullptr;
}

QTabWidget *RecWin::MJType() const
{
    return ui->MJType;
}

QPushButton *RecWin::PlayBB() const
{
    return ui->PlayBB;
}

QPushButton *RecWin::StopBB() const
{
    return ui->StopBB;
}

QPushButton *RecWin::BevelButton1() const
{
    return ui->BevelButton1;
}

QTimer *RecWin::PlayTimer() const
{
    return mPlayTimer;
}

QString RecWin::targetText(int i) const
{
    return mTargets->text(i);
}

void RecWin::setTargetText(int i, const QString &text)
{
    mTargets->setText(i, text);
}

void RecWin::setClock(const hd::Clock &clock)
{
    mGenerator->setClock(clock);
}

bool RecWin::isRecording() const
{
    return mGenerator->isRecording();
}

qint64 RecWin::recTick() const
{
    return mGenerator->recTick();
}

void RecWin::placePageControls()
{
    for (int i = 0; i < hd::TargetKindCount; ++i) {
        const QPoint pageOrigin = MjEF(i)->parentWidget()->mapTo(centralWidget(), QPoint(0, 0));
        MjEF(i)->setGeometry(TextAreaPlace.translated(-pageOrigin));
        MjLv(i)->setGeometry(LabelPlace.translated(-pageOrigin));
    }
}

bool RecWin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mPageStack && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placePageControls();
    // The controller widget's own move event, not its window's: that one comes before
    // the widget knows its new place.
    if (watched == mPlaceBeside && event->type() == QEvent::Move)
        placeNow();
    if (mPlaceBeside && (watched == windowHandle() || watched == mPlaceBeside->windowHandle())) {
        switch (event->type()) {
        case QEvent::Expose:
            if (!mBothShown)
                placeNow();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
            stopFollowing();
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void RecWin::closeEvent(QCloseEvent *event)
{
    // No close box: only the controller's close sequence closes this window.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    // Playback goes with its window; shown again, the window plays like a new one.
    cancelPlayback();
    mPlaybackEnded = false;
    QMainWindow::closeEvent(event);
}

// Once both windows are on the screen, a move to anywhere this window did not place
// itself is the user's drag by the title bar, which the window never sees as a
// click, or another program's: the window stays where it was put.
void RecWin::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (mPlaceBeside && mBothShown && !mPlacedAt.contains(geometry().topLeft()))
        stopFollowing();
}

void RecWin::placeBeside(QWidget *controller)
{
    stopFollowing();
    mPlaceBeside = controller;
    controller->installEventFilter(this);
    for (QWindow *window : {windowHandle(), controller->windowHandle()}) {
        if (window)
            window->installEventFilter(this);
    }
    placeNow();
}

// A window manager places a new window only when it maps it, after the code that
// showed it has run on, and a busy one may still move the controller once both
// windows are on the screen: this window follows the controller's moves until the
// user first clicks or types in either window, or moves this one.
void RecWin::placeNow()
{
    QWidget *controller = mPlaceBeside;
    if (!controller)
        return;
    const QRect area = controller->geometry();
    const QPoint place(area.x() + controller->width() + 8, area.y());
    // The window system reports each place asked for, some of them only after the
    // next one was asked for.
    mPlacedAt.removeAll(place);
    mPlacedAt.append(place);
    if (mPlacedAt.size() > 16)
        mPlacedAt.removeFirst();
    setGeometry(QRect(place, size()));

    QWindow *own = windowHandle();
    QWindow *other = controller->windowHandle();
    mBothShown = own && own->isExposed() && other && other->isExposed();
}

void RecWin::stopFollowing()
{
    if (mPlaceBeside)
        mPlaceBeside->removeEventFilter(this);
    for (QWidget *window : {static_cast<QWidget *>(this), mPlaceBeside.data()}) {
        if (window && window->windowHandle())
            window->windowHandle()->removeEventFilter(this);
    }
    mPlaceBeside.clear();
}

void RecWin::cancelPlayback()
{
    mPlayTimer->stop();
    mPaused = false;
    setPlaying(false);
}

void RecWin::endPlayback()
{
    mPlaybackEnded = true;
    cancelPlayback();
    ui->PlayBB->setEnabled(false);
}

void RecWin::MjEF_TextChange(int i)
{
    // The queue was read from the plain list as it stood, and only the recorder may
    // write to it meanwhile: the played steps, a played takeoff's fresh start, the
    // commands the user sends while paused. Any other change (Open, typing, paste,
    // undo) shows a plan that is no longer the queue's, and the old one must not fly
    // on unseen: playback ends where it is and the drone hovers after its last command.
    if (i == hd::PlainList && !mRecording && (mIsPlay || mPaused))
        cancelPlayback();
    ui->PlayBB->setEnabled(!mPlaybackEnded && !mTargets->isEmpty(i));
}

void RecWin::setPlaying(bool playing)
{
    mIsPlay = playing;
    ui->PlayBB->setText(playing ? QStringLiteral("PAUSE") : QStringLiteral("PLAY"));
    ui->StopBB->setEnabled(playing);
}

void RecWin::PlayBB_Action()
{
    if (mPlaybackEnded)
        return;
    if (mIsPlay) {
        // PAUSE holds the rest of the plan until PLAY or STOP: the user pauses to
        // take over, so nothing more may go out meanwhile. STOP stays at hand to land.
        mPlayTimer->stop();
        setPlaying(false);
        mPaused = !mPlayCmd.isEmpty();
        ui->StopBB->setEnabled(mPaused);
        return;
    }

    mPlayTimer->stop();
    setPlaying(true);
    if (std::exchange(mPaused, false)) {
        // Resumed: the next step goes out now, the waits after it as planned.
        mSchedule.start(playClockUs());
        playNextStep();
        return;
    }
    mPlayCmd.clear();
    mPlayWait.clear();
    const QList<hd::PlayStep> steps = hd::parsePlaybackList(mTargets->text(hd::PlainList));
    for (const hd::PlayStep &step : steps) {
        mPlayCmd.append(step.command);
        mPlayWait.append(step.waitMs);
    }
    if (mPlayCmd.isEmpty()) {
        setPlaying(false);
        return;
    }
    mPlayClock.start();
    mSchedule.start(playClockUs());
    playNextStep();
}

void RecWin::PlayTimer_Action()
{
    if (mPlayCmd.isEmpty()) {
        setPlaying(false);
        return;
    }
    playNextStep();
}

void RecWin::playNextStep()
{
    const QString command = mPlayCmd.takeFirst();
    const qint64 waitMs = mPlayWait.takeFirst();
    mSchedule.stepSent(playClockUs(), waitMs);
    emit commandRequested(command);
    // Armed after sending and recording, for the time left until the next step.
    const int delayMs = int(mSchedule.delayMsFrom(playClockUs()));
    mPlayTimer->start(delayMs);
    const quint64 arming = ++mPlayArming;
    if (delayMs == 0) {
        // A zero-length timer fires only after both windows have repainted; a
        // queued call comes before that, so a step without a wait follows at once.
        // It does nothing once the timer was stopped or armed anew.
        QMetaObject::invokeMethod(
            this,
            [this, arming] {
                if (arming == mPlayArming && mPlayTimer->isActive()) {
                    mPlayTimer->stop();
                    PlayTimer_Action();
                }
            },
            Qt::QueuedConnection);
    }
}

qint64 RecWin::playClockUs() const
{
    return mPlayClock.nsecsElapsed() / 1000;
}

void RecWin::StopBB_Action()
{
    cancelPlayback();
    emit commandRequested(QStringLiteral("land"));
}

bool RecWin::FileRecSave_Action(int)
{
    const QString path = FileDialogs::GetSaveFolderItem(this, QStringLiteral("TEXTTYPE"), hd::FlightPlanDefaultName);
    if (path.isEmpty())
        return false;

    QStringList texts;
    for (int i = 0; i < hd::TargetKindCount; ++i)
        texts.append(mTargets->text(i));
    // The file format stays as it is, so such a plan is still saved unchanged; the
    // user is only told that it will not come back as saved.
    const QList<int> lost = hd::textsNotReadBack(texts);
    if (!lost.isEmpty()) {
        QStringList tabs;
        for (int i : lost)
            tabs.append(QStringLiteral("\"%1\"").arg(ui->MJType->tabText(i)));
        const QString holds = lost.size() == 1 ? tr("The text in tab %1 holds the line %2.")
                                               : tr("The texts in tabs %1 hold the line %2.");
        FileDialogs::showFileWarning(
            this,
            holds.arg(tabs.join(QStringLiteral(", ")), hd::FlightPlanMarker) + QLatin1Char(' ')
                + tr("In the file this line separates the texts, so the plan will not open again as saved."));
    }
    const hd::FileResult<> result = hd::writeFlightPlanFile(path, texts);
    if (!result.ok) {
        FileDialogs::showFileError(
            this,
            tr("The flight plan could not be saved to \"%1\".\n%2").arg(QDir::toNativeSeparators(path), result.error));
    }
    return true;
}
