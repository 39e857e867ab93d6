#include "FileDialogs.h"

#include "FileTypes1.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace FileDialogs {

namespace {

TestHooks &hooks()
{
    static TestHooks current;
    return current;
}

} // namespace

QString GetOpenFolderItem(QWidget *parent, const QString &typeName)
{
    if (hooks().open)
        return hooks().open(typeName);
    return QFileDialog::getOpenFileName(parent, QString(), QString(), FileTypes1::dialogFilter(typeName));
}

QString GetSaveFolderItem(QWidget *parent, const QString &typeName, const QString &defaultName)
{
    if (hooks().save)
        return hooks().save(typeName, defaultName);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(FileTypes1::dialogFilter(typeName));
    dialog.setDefaultSuffix(FileTypes1::defaultSuffix(typeName));
    dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

void showFileError(QWidget *parent, const QString &message)
{
    if (hooks().error) {
        hooks().error(message);
        return;
    }
    QMessageBox::warning(parent, QCoreApplication::translate("FileDialogs", "Flight plan"), message);
}

void showFileWarning(QWidget *parent, const QString &message)
{
    if (hooks().warning) {
        hooks().warning(message);
        return;
    }
    QMessageBox::warning(parent, QCoreApplication::translate("FileDialogs", "Flight plan"), message);
}

void setTestHooks(TestHooks newHooks)
{
    hooks() = std::move(newHooks);
}

} // namespace FileDialogs
