#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace hd {

// A movement or turn button's caption with its number replaced: first word + " " + value.
QString rewriteCaption(const QString &caption, const QString &valueText);

// The number a distance or angle combo box text reads as, truncated toward zero.
qint64 comboNumber(const QString &text);

// The text the distance or angle box is given once its slider reports value, or
// nothing when the box keeps its text. While the user types in the box it keeps
// every key (a partial number may lie outside the slider's range, and the slider
// pins it); otherwise it shows the number the buttons send.
std::optional<QString> boxTextFor(const QString &boxText, int sliderValue, bool userTyping);

} // namespace hd
