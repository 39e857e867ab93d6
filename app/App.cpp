#include "App.h"

#include "CntWin.h"
#include "FileDialogs.h"
#include "FileTypes1.h"
#include "FlightPlan.h"
#include "MainMenuBar.h"
#include "OpenWeighing.h"
#include "PlanDocuments.h"
#include "PlanWeigher.h"
#include "RecWin.h"
#include "TargetTexts.h"

#include <QDir>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTabWidget>
#include <QThread>

#include <utility>

namespace {

// Showing a minimised window means restoring it: show() alone would leave it
// iconic, out of reach without a taskbar.
void bringToFront(QWidget *window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

// Why a flight plan is not read, in the user's words.
QString refusalText(const hd::FlightPlanRead &read)
{
    const QLocale locale;
    switch (read.refused) {
    case hd::Refusal::NotAFile:
        switch (read.kind) {
        case hd::FlightPlanRead::Folder:
            return App::tr("It is a folder, not a file.");
        case hd::FlightPlanRead::Pipe:
            return App::tr("It is a pipe, not a file: reading it would wait for whatever writes to it.");
        case hd::FlightPlanRead::Device:
            return App::tr("It is a device, not a file.");
        case hd::FlightPlanRead::OtherKind:
            break;
        }
        return App::tr("It is not a regular file.");
    case hd::Refusal::TooLarge:
        return App::tr("It holds %1 bytes; a flight plan of more than %2 bytes is not opened.")
            .arg(locale.toString(read.size), locale.toString(hd::MaxFlightPlanBytes));
    case hd::Refusal::None:
        break;
    }
    return QString();
}

} // namespace

App::App(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The display name follows the application name. Setting a display name of its
    // own would make the platform append it to every window title.
    setApplicationName(QStringLiteral("Hoverdeck"));
    // The windows close only through the controller's close sequence, which quits.
    setQuitOnLastWindowClosed(false);
    mOpenProbe = QDir(applicationDirPath()).filePath(QStringLiteral("hoverdeck-openprobe"));
    mOpenDeadlineMs = int(hd::OpenWeighing::deadlineMs(OpenDeadlineMs, QThread::idealThreadCount()));
    // A probe must not outlive the run: closing the controller quits.
    connect(this, &QCoreApplication::aboutToQuit, this, &App::stopWeighing);
}

App::~App()
{
    stopWeighing();
}

App *App::instance()
{
    return qobject_cast<App *>(QCoreApplication::instance());
}

void App::startUp()
{
    if (mStarted)
        return;
    mStarted = true;

    // Menu texts come in the user's language when a translation is installed next
    // to the executable (none is shipped). The menu bar looks its texts up once,
    // while it is built, so the translation must be in place before.
    if (mTranslator.load(QLocale(), QStringLiteral("hoverdeck"), QStringLiteral("_"),
                         QDir(applicationDirPath()).filePath(QStringLiteral("translations"))))
        installTranslator(&mTranslator);

    FileTypes1::Initialize();
    MainMenuBar *bar = MainMenuBar::instance();
    bar->bind(QStringLiteral("WindowControll"), [](int) { return App::instance()->WindowControll_Action(); });
    bar->bind(QStringLiteral("WindowShowRecordAndPlayWindow"),
              [](int) { return App::instance()->WindowShowRecordAndPlayWindow_Action(); });
    bar->bind(QStringLiteral("RecOpen"), [](int index) { return App::instance()->RecOpen_Action(index); });
    // Quitting lands the drone first: the controller's close sequence ends the run.
    bar->bind(QStringLiteral("FileQuit"), [](int) {
        CntWin::instance()->close();
        return true;
    });
}

void App::Event_Open()
{
    CntWin::instance()->show();
    RecWin::instance()->show();
    RecWin::instance()->placeBeside(CntWin::instance());
    bringToFront(CntWin::instance());
}

bool App::WindowControll_Action()
{
    bringToFront(CntWin::instance());
    return true;
}

bool App::WindowShowRecordAndPlayWindow_Action()
{
    bringToFront(RecWin::instance());
    return true;
}

bool App::RecOpen_Action(int)
{
    QWidget *parent = activeWindow();
    const QString path = FileDialogs::GetOpenFolderItem(parent, QStringLiteral("TEXTTYPE"));
    if (path.isEmpty())
        return false;

    hd::FileResult<hd::FlightPlanRead> read = hd::readFlightPlanFile(path);
    if (!read.ok) {
        FileDialogs::showFileError(
            parent,
            tr("The flight plan \"%1\" could not be read.\n%2").arg(QDir::toNativeSeparators(path), read.error));
        return false;
    }
    if (read.value.refused != hd::Refusal::None) {
        FileDialogs::showFileError(parent,
                                   tr("The flight plan \"%1\" was not opened.\n%2")
                                       .arg(QDir::toNativeSeparators(path), refusalText(read.value)));
        return false;
    }
    // A second Open replaces the first, whose file is then not shown.
    stopWeighing();
    if (read.value.bytes.isEmpty()) {
        emit flightPlanWeighed(true);
        return true;
    }
    // Showing what cannot be laid out quickly would freeze both windows, and the
    // drone could not be landed meanwhile: the file is weighed first, away from the
    // window, which goes on answering.
    mWeighedPath = path;
    mWeighedBytes = std::move(read.value.bytes);
    RecWin *recorder = RecWin::instance();
    const PlanWeigher::Settings settings{mOpenProbe, mOpenBudgetNs, mOpenDeadlineMs,
                                         recorder->MjEF(0)->font().toString(), style()->name()};
    mWeigher = std::make_unique<PlanWeigher>(path, hd::OpenWeighing::fileHash(mWeighedBytes), settings);
    connect(mWeigher.get(), &PlanWeigher::decided, this, &App::weighed);
    setOverrideCursor(Qt::BusyCursor);
    return true;
}

void App::setOpenProbe(const QString &path)
{
    mOpenProbe = path;
}

void App::setOpenLimits(qint64 budgetNs, int deadlineMs)
{
    mOpenBudgetNs = budgetNs;
    mOpenDeadlineMs = deadlineMs;
}

void App::weighed(const hd::OpenWeighing::Verdict &verdict)
{
    const QString path = mWeighedPath;
    QByteArray bytes = std::exchange(mWeighedBytes, QByteArray());
    stopWeighing();
    RecWin *recorder = RecWin::instance();
    if (verdict.kind != hd::OpenWeighing::Verdict::Accepted) {
        QStringList tabs;
        for (int i = 0; i < recorder->MJType()->count(); ++i)
            tabs << recorder->MJType()->tabText(i);
        FileDialogs::showFileError(
            activeWindow(),
            tr("The flight plan \"%1\" was not opened.\n%2")
                .arg(QDir::toNativeSeparators(path),
                     hd::OpenWeighing::refusalText(verdict, mOpenBudgetNs, mOpenDeadlineMs, tabs, QLocale())));
        emit flightPlanWeighed(false);
        return;
    }
    // Built away from the window and shown at once, all six in one go, so that
    // nothing recorded meanwhile lands in half of an old and half of a new plan.
    QList<QPlainTextEdit *> areas;
    for (int i = 0; i < hd::TargetKindCount; ++i)
        areas.append(recorder->MjEF(i));
    setOverrideCursor(Qt::BusyCursor);
    mDocuments = new PlanDocuments(hd::flightPlanSections(std::move(bytes)), areas, this);
    connect(mDocuments, &PlanDocuments::ready, this, [this] {
        PlanDocuments *documents = std::exchange(mDocuments, nullptr);
        for (int i = 0; i < documents->count(); ++i)
            documents->install(i);
        documents->deleteLater();
        restoreOverrideCursor();
        emit flightPlanWeighed(true);
    });
}

void App::stopWeighing()
{
    if (mDocuments) {
        std::exchange(mDocuments, nullptr)->drop();
        restoreOverrideCursor();
    }
    if (!mWeigher)
        return;
    // Destroyed later, as this may run inside the weigher's own signal; its probes
    // are killed now.
    PlanWeigher *weigher = mWeigher.release();
    weigher->disconnect(this);
    weigher->cancel();
    weigher->deleteLater();
    mWeighedBytes.clear();
    restoreOverrideCursor();
}
