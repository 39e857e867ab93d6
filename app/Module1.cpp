#include "Module1.h"

#include <QCoreApplication>

// Only the user's language is installed: asking for another one gives the default.
namespace Module1 {

QString kWindow(const QString &lang)
{
    return lang.isEmpty() ? QCoreApplication::translate("Module1", "Window", "Module1.kWindow")
                          : QStringLiteral("Window");
}

QString kShowRecordPlayWindow(const QString &lang)
{
    return lang.isEmpty()
        ? QCoreApplication::translate("Module1", "Record & Play Window", "Module1.kShowRecordPlayWindow")
        : QStringLiteral("Record & Play Window");
}

QString kShowControllerWindow(const QString &lang)
{
    return lang.isEmpty() ? QCoreApplication::translate("Module1", "Controller window", "Module1.kShowControllerWindow")
                          : QStringLiteral("Controller window");
}

QString kRecSave(const QString &lang)
{
    return lang.isEmpty() ? QCoreApplication::translate("Module1", "Save...", "Module1.kRecSave")
                          : QStringLiteral("Save...");
}

QString kRecOpen(const QString &lang)
{
    return lang.isEmpty() ? QCoreApplication::translate("Module1", "Open...", "Module1.kRecOpen")
                          : QStringLiteral("Open...");
}

} // namespace Module1
