#pragma once

#include <QString>

// The five menu texts that can be localised. Each is looked up by its key
// ("Module1.kWindow", ...) in the installed translations of the user's language
// (lang empty), falling back to its English default.
namespace Module1 {

QString kWindow(const QString &lang = QString());
QString kShowRecordPlayWindow(const QString &lang = QString());
QString kShowControllerWindow(const QString &lang = QString());
QString kRecSave(const QString &lang = QString());
QString kRecOpen(const QString &lang = QString());

} // namespace Module1
