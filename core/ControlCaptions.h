#pragma once

#include <QString>
#include <QtGlobal>

namespace hd {

// A movement or turn button's caption with its number replaced: first word + " " + value.
QString rewriteCaption(const QString &caption, const QString &valueText);

// The number a distance or angle combo box text reads as, truncated toward zero.
qint64 comboNumber(const QString &text);

} // namespace hd
