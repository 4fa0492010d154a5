#include "AssociatedProgram.h"

#include "CommandLine.h"
#include "PrivateProfile.h"
#include "ShortcutFile.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace {

// The lists that name default applications, most important first.
QStringList defaultApplicationLists()
{
    QStringList lists;
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    return lists;
}

QStringList desktopEntriesFor(const QString &mimeType)
{
    QStringList entries;
    for (const QString &list : defaultApplicationLists())
        entries << PrivateProfile(list).readString(QStringLiteral("Default Applications"), mimeType, QString()).split(';');
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        entries << PrivateProfile(dir + QStringLiteral("/mimeinfo.cache"))
                       .readString(QStringLiteral("MIME Cache"), mimeType, QString())
                       .split(';');
    entries.removeAll(QString());
    return entries;
}

// The program of a desktop entry's Exec line.
QString programOf(const QString &desktopEntry)
{
    const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopEntry);
    if (file.isEmpty())
        return {};
    return CommandLine::parse(ShortcutFile::resolve(file)).program;
}

} // namespace

QString AssociatedProgram::forFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList types{type.name()};
    types << type.aliases() << type.allAncestors();
    for (const QString &mime : types)
        for (const QString &entry : desktopEntriesFor(mime))
            if (const QString program = programOf(entry); !program.isEmpty())
                return program;
    return {};
}
