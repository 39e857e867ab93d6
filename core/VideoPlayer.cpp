#include "VideoPlayer.h"

#include <QDir>
#include <QFileInfo>

namespace hd {

QStringList playerArguments(const QString &frameRateText)
{
    return {QStringLiteral("-probesize"),          QStringLiteral("32"),         QStringLiteral("-i"),
            QStringLiteral("udp://0.0.0.0:11111"), QStringLiteral("-framerate"), frameRateText};
}

namespace {

QString bundledPlayer(const QString &appFolder)
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

std::optional<QStringList> &searchPathOverride()
{
    static std::optional<QStringList> folders;
    return folders;
}

} // namespace

QString lookUpPlayer(const QString &appFolder, const QStringList &searchPath)
{
    const QString bundled = bundledPlayer(appFolder);
    if (!bundled.isEmpty())
        return bundled;
    for (const QString &folder : searchPath) {
        // An empty entry would mean the working folder: not a place to run programs from.
        if (folder.isEmpty())
            continue;
        const QFileInfo player(QDir(folder), QStringLiteral("ffplay"));
        if (player.isFile() && player.isExecutable())
            return player.absoluteFilePath();
    }
    return QString();
}

QStringList playerSearchPath()
{
    if (searchPathOverride())
        return *searchPathOverride();
    return qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

void setPlayerSearchPath(std::optional<QStringList> folders)
{
    searchPathOverride() = std::move(folders);
}

QString playerStartFailure(const QString &player, const QString &reason)
{
    // Qt names the system call it failed in ("execvp: No such file or directory").
    QString why = reason;
    if (why.startsWith(QLatin1String("exec")) && why.contains(QLatin1String(": ")))
        why = why.section(QLatin1String(": "), 1);
    return QStringLiteral("The video player %1 could not be started: %2").arg(QDir::toNativeSeparators(player), why);
}

} // namespace hd
