#include "App.h"

#include <QDir>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

int main(int argc, char **argv)
{
    App app(argc, argv);

    // Menu texts come in the user's language when a translation is installed next
    // to the executable; none is shipped, so the defaults show.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("hoverdeck"), QStringLiteral("_"),
                        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))))
        QCoreApplication::installTranslator(&translator);

    app.startUp();
    QTimer::singleShot(0, &app, &App::Event_Open);
    return app.exec();
}
