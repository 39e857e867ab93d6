#include "App.h"

#include "CntWin.h"
#include "FileDialogs.h"
#include "FileTypes1.h"
#include "FlightPlan.h"
#include "MainMenuBar.h"
#include "RecWin.h"

#include <QDir>
#include <QLocale>

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

} // namespace

App::App(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The display name follows the application name. Setting a display name of its
    // own would make the platform append it to every window title.
    setApplicationName(QStringLiteral("Hoverdeck"));
    // The windows close only through the controller's close sequence, which quits.
    setQuitOnLastWindowClosed(false);
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

    const hd::FileResult<QStringList> read = hd::readFlightPlanFile(path);
    if (!read.ok) {
        FileDialogs::showFileError(
            parent,
            tr("The flight plan \"%1\" could not be read.\n%2").arg(QDir::toNativeSeparators(path), read.error));
        return false;
    }
    RecWin *recorder = RecWin::instance();
    for (int i = 0; i < read.value.size(); ++i)
        recorder->setTargetText(i, read.value.at(i));
    return true;
}
