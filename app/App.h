#pragma once

#include <QApplication>
#include <QTranslator>

// The application object: opens both windows at start and handles the
// application-wide menu items (Window menu, File > Open..., File > Quit).
class App : public QApplication
{
    Q_OBJECT

public:
    App(int &argc, char **argv);

    static App *instance();

    // Start-up after construction: the translation of the menu texts, file types,
    // the menu bar and the menu-handler bindings. main() calls it before the event
    // loop; Event_Open follows from the loop. Runs once; later calls do nothing.
    void startUp();

    void Event_Open();
    bool WindowControll_Action();
    bool WindowShowRecordAndPlayWindow_Action();
    bool RecOpen_Action(int index);

private:
    bool mStarted = false;
    QTranslator mTranslator;
};
