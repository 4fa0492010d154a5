#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool canWrite(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

} // namespace

ProgramFolder ProgramFolder::forApplication()
{
    return forFolder(QCoreApplication::applicationDirPath(),
                     QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                     QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
}

ProgramFolder ProgramFolder::forFolder(const QString &folder, const QString &userConfig, const QString &userCache)
{
    ProgramFolder f;
    f.folder = withSlash(QDir::cleanPath(folder));
    f.defaultIconFile = f.folder + QStringLiteral("icones.dll");
    f.defaultPictureFile = f.folder + QStringLiteral("matrix.gif");
    const bool portable = canWrite(f.folder) && !QFileInfo::exists(f.folder + QLatin1String(kInstalledMark));
    const QString settingsFolder = portable ? f.folder : withSlash(userConfig);
    f.iniFileName = settingsFolder + QStringLiteral("MANTOLE.INI");
    f.tmpDir = (portable ? f.folder : withSlash(userCache)) + QStringLiteral("tmp/");
    if (!portable)
        QDir().mkpath(settingsFolder);
    return f;
}
