// Fuzz target: list whatever bytes arrive as if they were an archive.
// Built for libFuzzer (MANTOLE_FUZZ) and, with ReplayMain.cpp, as a plain
// program that replays saved inputs in the test suite.

#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/mantole-fuzz-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("input.zip"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    TZipArchiver za;
    za.Unattended = true;
    za.setZipFileName(path);
    // Touch every entry so that a bad one shows under the sanitizers.
    size_t total = 0;
    for (const ZipDirEntry &e : za.Entries())
        total += static_cast<size_t>(e.FileName.size() + e.FileComment.size());
    return total == SIZE_MAX ? 1 : 0;
}
