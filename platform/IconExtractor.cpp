#include "IconExtractor.h"

#include "ByteCursor.h"
#include "PeImage.h"

#include <QFile>

using zipformat::ByteCursor;

namespace {

constexpr qint64 kLargestFile = 64 * 1024 * 1024; // icon libraries are far smaller

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile)
        return QByteArray();
    return file.readAll();
}

} // namespace

bool IconExtractor::isIconFile(const QByteArray &bytes)
{
    ByteCursor c(bytes.constData(), static_cast<size_t>(bytes.size()));
    const uint16_t reserved = c.u16();
    const uint16_t type = c.u16();
    const uint16_t count = c.u16();
    if (!c.ok() || reserved != 0 || type != 1 || count == 0)
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        c.skip(8);
        const uint32_t size = c.u32();
        const uint32_t offset = c.u32();
        if (!c.ok() || size == 0 || offset > static_cast<uint64_t>(bytes.size())
            || size > static_cast<uint64_t>(bytes.size()) - offset)
            return false;
    }
    return true;
}

QByteArray IconExtractor::extract(const QString &path, int index)
{
    const QByteArray bytes = readFile(path);
    if (isIconFile(bytes))
        return index == 0 ? bytes : QByteArray();
    if (const std::optional<PeImage> pe = PeImage::parse(bytes))
        return pe->iconFile(index);
    return QByteArray();
}

int IconExtractor::iconCount(const QString &path)
{
    const QByteArray bytes = readFile(path);
    if (isIconFile(bytes))
        return 1;
    const std::optional<PeImage> pe = PeImage::parse(bytes);
    int count = 0;
    while (pe && !pe->iconFile(count).isEmpty())
        ++count;
    return count;
}
