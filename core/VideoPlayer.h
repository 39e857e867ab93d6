#pragma once

#include <QString>
#include <QStringList>

namespace hd {

// Arguments of the external video player, the frame-rate text as one argument,
// exactly as typed (it is never handed to a shell).
QStringList playerArguments(const QString &frameRateText);

// The bundled player under appFolder ("Quenbrast.app/Contents/Resources/ffplay"),
// each step taken only when the one before exists; empty when not found.
QString lookUpPlayer(const QString &appFolder);

} // namespace hd
