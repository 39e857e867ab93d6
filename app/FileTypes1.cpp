#include "FileTypes1.h"

#include <QCoreApplication>

namespace FileTypes1 {

namespace {

QList<FileType> &types()
{
    static QList<FileType> list;
    return list;
}

const FileType *find(const QString &name)
{
    for (const FileType &type : types()) {
        if (type.Name == name)
            return &type;
    }
    return nullptr;
}

QString describe(const QString &name)
{
    if (name == QLatin1String("TEXTTYPE"))
        return QCoreApplication::translate("FileTypes1", "Text files");
    if (name == QLatin1String("bintype"))
        return QCoreApplication::translate("FileTypes1", "Binary files");
    return QCoreApplication::translate("FileTypes1", "All files");
}

} // namespace

void Initialize()
{
    if (!types().isEmpty())
        return;
    types() = {
        {QStringLiteral("bintype"), {QStringLiteral("bin")}},
        {QStringLiteral("anytype"), {}},
        {QStringLiteral("TEXTTYPE"), {QStringLiteral("txt")}},
    };
}

bool isRegistered(const QString &name)
{
    return find(name) != nullptr;
}

QList<FileType> registeredTypes()
{
    return types();
}

QString dialogFilter(const QString &name)
{
    const FileType *type = find(name);
    QStringList patterns;
    if (type) {
        for (const QString &extension : type->Extensions)
            patterns << QStringLiteral("*.") + extension;
    }
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return describe(type ? type->Name : QString()) + QStringLiteral(" (") + patterns.join(u' ') + QLatin1Char(')');
}

QString defaultSuffix(const QString &name)
{
    const FileType *type = find(name);
    return type ? type->Extensions.value(0) : QString();
}

} // namespace FileTypes1
