#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace hd {

// Arguments of the external video player, the frame-rate text as one argument,
// exactly as typed (it is never handed to a shell).
QStringList playerArguments(const QString &frameRateText);

// The bundled player under appFolder ("Quenbrast.app/Contents/Resources/ffplay"),
// each step taken only when the one before exists; without a bundle, the first
// executable "ffplay" in the folders of searchPath, where the system's package
// manager puts it; empty when there is neither.
QString lookUpPlayer(const QString &appFolder, const QStringList &searchPath);

// The folders searched for a player outside the bundle: the executable search path
// (PATH), unless setPlayerSearchPath gave others. Tests give none, so that no test
// starts the system's player by accident.
QStringList playerSearchPath();
void setPlayerSearchPath(std::optional<QStringList> folders);

// The message log's line for a player that could not be started.
QString playerStartFailure(const QString &player, const QString &reason);

} // namespace hd
