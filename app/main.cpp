#include "App.h"

#include <QTimer>

int main(int argc, char **argv)
{
    App app(argc, argv);
    app.startUp();
    QTimer::singleShot(0, &app, &App::Event_Open);
    return app.exec();
}
