#include "ShortcutFile.h"

#include "ByteCursor.h"

#include <QFile>
#include <QRegularExpression>

using zipformat::ByteCursor;

namespace {

constexpr int kMaxPart = 260;
constexpr uint32_t kHeaderSize = 0x4C;
const uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum LinkFlag : uint32_t {
    HasTargetIdList = 0x01, HasLinkInfo = 0x02, HasName = 0x04, HasRelativePath = 0x08,
    HasWorkingDir = 0x10, HasArguments = 0x20, HasIconLocation = 0x40, IsUnicode = 0x80
};

// A NUL-terminated 8-bit string at an offset of a block (Windows code page:
// Latin-1 is the nearest we have).
QString ansiAt(const QByteArray &block, uint32_t offset)
{
    if (offset == 0 || offset >= static_cast<uint32_t>(block.size()))
        return QString();
    const qsizetype end = block.indexOf('\0', offset);
    return QString::fromLatin1(block.mid(offset, (end < 0 ? block.size() : end) - offset));
}

QString targetFromLinkInfo(const QByteArray &info)
{
    ByteCursor c(info.constData(), static_cast<size_t>(info.size()));
    c.skip(8); // size, header size
    const uint32_t flags = c.u32();
    c.skip(4); // volume id
    const uint32_t localBase = c.u32();
    const uint32_t networkLink = c.u32();
    const uint32_t suffix = c.u32();
    if (!c.ok())
        return QString();
    const QString pathSuffix = ansiAt(info, suffix);
    if ((flags & 2) && networkLink && networkLink < static_cast<uint32_t>(info.size())) {
        // CommonNetworkRelativeLink: the share's name at its own offset.
        const QByteArray link = info.mid(networkLink);
        if (link.size() >= 12) {
            const uint32_t netName = ByteCursor::loadU32(reinterpret_cast<const uint8_t *>(link.constData()) + 8);
            const QString share = ansiAt(link, netName);
            if (!share.isEmpty())
                return pathSuffix.isEmpty() ? share : share + '\\' + pathSuffix;
        }
    }
    if ((flags & 1) && localBase)
        return ansiAt(info, localBase) + pathSuffix;
    return QString();
}

} // namespace

QString ShortcutFile::resolveLink(const QByteArray &bytes)
{
    ByteCursor c(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (c.u32() != kHeaderSize)
        return QString();
    const uint8_t *clsid = c.take(16);
    if (!clsid || !std::equal(clsid, clsid + 16, kLinkClsid))
        return QString();
    const uint32_t flags = c.u32();
    c.skip(kHeaderSize - 24); // attributes, times, size, icon, show command, hot key, reserved
    if (flags & HasTargetIdList)
        c.skip(c.u16());
    QString target;
    if (flags & HasLinkInfo) {
        const size_t at = c.position();
        const uint32_t size = c.u32();
        if (size < 4 || !c.ok())
            return QString();
        c.skip(size - 4);
        if (!c.ok())
            return QString();
        target = targetFromLinkInfo(bytes.mid(static_cast<qsizetype>(at), size));
    }
    // The string data, in this order when present.
    QString relativePath, arguments;
    for (uint32_t flag : {HasName, HasRelativePath, HasWorkingDir, HasArguments, HasIconLocation}) {
        if (!(flags & flag))
            continue;
        const uint16_t count = c.u16();
        QString text;
        if (flags & IsUnicode) {
            const uint8_t *chars = c.take(2u * count);
            if (chars)
                for (uint16_t i = 0; i < count; ++i)
                    text += QChar(ByteCursor::loadU16(chars + 2 * i));
        } else if (const uint8_t *chars = c.take(count)) {
            text = QString::fromLatin1(reinterpret_cast<const char *>(chars), count);
        }
        if (!c.ok())
            return QString();
        if (flag == HasRelativePath)
            relativePath = text;
        if (flag == HasArguments)
            arguments = text;
    }
    if (target.isEmpty())
        target = relativePath;
    if (target.isEmpty())
        return QString();
    QString command = target.left(kMaxPart) + QStringLiteral("  ") + arguments.left(kMaxPart);
    while (command.startsWith(' '))
        command.remove(0, 1);
    return command;
}

QString ShortcutFile::resolveDesktopEntry(const QByteArray &bytes)
{
    bool inEntry = false;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry || !line.startsWith(QLatin1String("Exec")))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Exec"))
            continue;
        // Field codes (%f, %U, ...) stand for files the launcher would pass.
        QString exec = line.mid(equals + 1);
        static const QRegularExpression fieldCode(QStringLiteral("\\s*%[fFuUdDnNickvm]"));
        exec.remove(fieldCode);
        exec.replace(QStringLiteral("%%"), QStringLiteral("%"));
        return exec.trimmed();
    }
    return QString();
}

QString ShortcutFile::resolve(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return QString();
    const QByteArray bytes = file.readAll();
    if (path.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
        return resolveDesktopEntry(bytes);
    return resolveLink(bytes);
}
