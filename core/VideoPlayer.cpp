#include "VideoPlayer.h"

#include <QDir>
#include <QFileInfo>

namespace hd {

QStringList playerArguments(const QString &frameRateText)
{
    return {QStringLiteral("-probesize"), QStringLiteral("32"), QStringLiteral("-i"),
            QStringLiteral("udp://0.0.0.0:11111"), QStringLiteral("-framerate"), frameRateText};
}

QString lookUpPlayer(const QString &appFolder)
{
    if (appFolder.isEmpty())
        return QString();
    QString path = QDir(appFolder).absolutePath();
    for (const char *step : {"Quenbrast.app", "Contents", "Resources", "ffplay"}) {
        path += u'/' + QLatin1String(step);
        if (!QFileInfo::exists(path))
            return QString();
    }
    return path;
}

} // namespace hd
