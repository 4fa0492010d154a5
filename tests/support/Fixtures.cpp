#include "Fixtures.h"

#include <QFile>

namespace Fixtures {

QString path(const QString &name)
{
    return QStringLiteral(MANTOLE_FIXTURE_DIR "/") + name;
}

QByteArray read(const QString &name)
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("fixture %s is missing: run the tests through ctest", qPrintable(name));
    return file.readAll();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

void putU16(QByteArray &bytes, qsizetype at, quint16 value)
{
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

void putU32(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

quint32 getU32(const QByteArray &bytes, qsizetype at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

} // namespace Fixtures
