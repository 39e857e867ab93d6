#pragma once

#include <QString>
#include <functional>

class QWidget;

// The file dialogs and the file-error and file-warning reports, with hooks so
// that tests can answer them without a person.
namespace FileDialogs {

// typeName is a registered file type's name: "TEXTTYPE" or "anytype".
// Returns the chosen path, or an empty text when the dialog was cancelled.
QString GetOpenFolderItem(QWidget *parent, const QString &typeName);
QString GetSaveFolderItem(QWidget *parent, const QString &typeName, const QString &defaultName);
void showFileError(QWidget *parent, const QString &message);
void showFileWarning(QWidget *parent, const QString &message);

struct TestHooks
{
    std::function<QString(const QString &typeName)> open;
    std::function<QString(const QString &typeName, const QString &defaultName)> save;
    std::function<void(const QString &message)> error;
    std::function<void(const QString &message)> warning; // last: tests set the first three by position
};
// Replaces the real dialogs while set; pass {} to restore them.
void setTestHooks(TestHooks hooks);

} // namespace FileDialogs
