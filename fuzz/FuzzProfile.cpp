// Fuzz target: read and rewrite whatever bytes arrive as an INI file. Also
// built with ReplayMain.cpp for the tests.

#include "PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/mantole-fuzz-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("fuzz.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const PrivateProfile ini(path);
    qsizetype total = 0;
    for (const QString &section : ini.readSectionNames()) {
        for (const QString &key : ini.readSectionKeys(section))
            total += ini.readString(section, key, QString()).size() + ini.readInteger(section, key, 0);
    }
    try {
        ini.writeString(QStringLiteral("wzd"), QStringLiteral("level"), QStringLiteral("9"));
        ini.eraseSection(QStringLiteral("HistoryCfgDir"));
    } catch (const ProfileWriteError &) {
    }
    return total == -1 ? 1 : 0;
}
