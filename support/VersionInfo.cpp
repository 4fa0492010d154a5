#include "VersionInfo.h"

#include <QHash>

namespace {

const QString kTranslation = QStringLiteral("040C04E4");

// Keyed as a version resource keys its strings.
const QHash<QString, QString> &versionTable()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("\\StringFileInfo\\040C04E4\\CompanyName"), QStringLiteral("Mantole")},
        {QStringLiteral("\\StringFileInfo\\040C04E4\\FileDescription"),
         QStringLiteral("Self-extracting executables from ZIP archives")},
        {QStringLiteral("\\StringFileInfo\\040C04E4\\FileVersion"), QStringLiteral("1.4.0.0")},
        {QStringLiteral("\\StringFileInfo\\040C04E4\\InternalName"), QStringLiteral("mantole")},
        {QStringLiteral("\\StringFileInfo\\040C04E4\\OriginalFilename"), QStringLiteral("mantole")},
        {QStringLiteral("\\StringFileInfo\\040C04E4\\ProductName"), QStringLiteral("Mantole")},
        {QStringLiteral("\\StringFileInfo\\040C04E4\\ProductVersion"), QStringLiteral("1.4")},
    };
    return table;
}

const char *keyName(TInfo key)
{
    switch (key) {
    case TInfo::CompanyName: return "CompanyName";
    case TInfo::FileDescription: return "FileDescription";
    case TInfo::FileVersion: return "FileVersion";
    case TInfo::InternalName: return "InternalName";
    case TInfo::LegalCopyright: return "LegalCopyright";
    case TInfo::OriginalFilename: return "OriginalFilename";
    case TInfo::ProductName: return "ProductName";
    case TInfo::ProductVersion: return "ProductVersion";
    }
    return "";
}

} // namespace

QString VersionTranslation()
{
    return kTranslation;
}

QString ReadVersionString(TInfo key)
{
    return versionTable().value(QStringLiteral("\\StringFileInfo\\") + VersionTranslation() + QLatin1Char('\\')
                                + QLatin1String(keyName(key)));
}
