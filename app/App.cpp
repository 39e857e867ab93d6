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

// Why a flight plan that could be read is not opened, in the user's words.
QString refusalText(const hd::FlightPlanRead &read)
{
    const QLocale locale;
    const auto n = [&locale](qint64 value) { return locale.toString(value); };
    const hd::LayoutLoad &load = read.load;
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
        return App::tr("It holds %1 bytes; at most about %2 can be shown in time.").arg(n(load.bytes), n(load.allowed));
    case hd::Refusal::ManyLines:
        return App::tr("It holds %1 lines; at most about %2 can be shown in time.").arg(n(load.lines), n(load.allowed));
    case hd::Refusal::LongLines:
        return App::tr("Its lines longer than %1 characters hold %2 bytes together (line %3 alone %4); "
                       "at most about %5 can be shown in time.")
            .arg(n(hd::ShowBudget::LongLine), n(load.longLineBytes), n(load.longestLineNumber), n(load.longestLine),
                 n(load.allowed));
    case hd::Refusal::StackedMarks:
        return App::tr("Its characters carry %1 combining marks stacked more than %2 deep (line %3: %4 on one "
                       "character); at most about %5 can be shown in time.")
            .arg(n(load.stackedMarks), n(hd::ShowBudget::DeepStack), n(load.deepestStackLine), n(load.deepestStack),
                 n(load.allowed));
    case hd::Refusal::LongRuns:
        if (load.longestRun > load.allowed)
            return App::tr("Line %1 holds %2 characters in a row without a blank or other place to wrap the line; "
                           "at most about %3 can be shown in time.")
                .arg(n(load.longestRunLine), n(load.longestRun), n(load.allowed));
        return App::tr("Its stretches without a blank or other place to wrap the line (line %1: %2 characters in a "
                       "row) take as long to show as one of %3 characters; at most about %4 can be shown in time.")
            .arg(n(load.longestRunLine), n(load.longestRun), n(load.equivalentRun), n(load.allowed));
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

    const hd::FileResult<hd::FlightPlanRead> read = hd::readFlightPlanFile(path);
    if (!read.ok) {
        FileDialogs::showFileError(
            parent,
            tr("The flight plan \"%1\" could not be read.\n%2").arg(QDir::toNativeSeparators(path), read.error));
        return false;
    }
    // Showing what cannot be laid out quickly would freeze both windows, and the
    // drone could not be landed meanwhile.
    if (read.value.refused != hd::Refusal::None) {
        FileDialogs::showFileError(parent,
                                   tr("The flight plan \"%1\" was not opened.\n%2")
                                       .arg(QDir::toNativeSeparators(path), refusalText(read.value)));
        return false;
    }
    const QStringList &sections = read.value.sections;
    RecWin *recorder = RecWin::instance();
    for (int i = 0; i < sections.size(); ++i)
        recorder->setTargetText(i, sections.at(i));
    return true;
}
