#pragma once

#include <QHash>
#include <QMap>
#include <QString>

namespace hd {

// Fields at ";", key and value at ":" (text after a second ":" dropped); later keys
// win. Keys are stored in ASCII lower case: state keys ignore letter case.
QHash<QString, QString> parseStateFields(const QString &datagram);

// New texts of the status labels 1 to 8 (index -> text) for one state datagram.
// A label missing any of its keys is absent from the result and keeps its text.
QMap<int, QString> stateLabelTexts(const QString &datagram);

} // namespace hd
