#pragma once

#include <QString>
#include <QStringList>

// The file types that the file dialogs name: "bintype" (*.bin), "anytype" (any
// file) and "TEXTTYPE" (*.txt).
namespace FileTypes1 {

struct FileType
{
    QString Name;
    QStringList Extensions; // without the dot; empty admits any file
};

// Registers the three types, once; later calls change nothing.
void Initialize();

bool isRegistered(const QString &name);
QList<FileType> registeredTypes();

// The dialog name filter of a registered type, e.g. "Text files (*.txt)"; the
// all-files filter for an unknown name.
QString dialogFilter(const QString &name);

// The extension a save dialog appends when the user gives none ("txt"); empty when
// the type has no extension.
QString defaultSuffix(const QString &name);

} // namespace FileTypes1
