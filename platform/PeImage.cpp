#include "PeImage.h"

#include "ByteCursor.h"

using zipformat::ByteCursor;

namespace {

constexpr quint16 kPe32Magic = 0x10B;
constexpr quint16 kPe32PlusMagic = 0x20B;
constexpr int kResourceDirectoryIndex = 2;
constexpr quint32 kMaxEntriesPerDirectory = 4096; // real files have a handful

ByteCursor cursorAt(const QByteArray &bytes, qint64 offset)
{
    if (offset < 0 || offset > bytes.size())
        offset = bytes.size();
    ByteCursor c(bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset));
    if (offset == bytes.size())
        c.skip(1); // poisons the cursor: nothing can be read there
    return c;
}

} // namespace

std::optional<PeImage> PeImage::parse(const QByteArray &file)
{
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z')
        return std::nullopt;
    const quint32 peOffset = ByteCursor::loadU32(reinterpret_cast<const uint8_t *>(file.constData()) + 60);
    ByteCursor pe = cursorAt(file, peOffset);
    if (pe.u32() != 0x00004550) // "PE\0\0"
        return std::nullopt;
    pe.skip(2); // machine
    const quint16 sectionCount = pe.u16();
    pe.skip(12);
    const quint16 optionalSize = pe.u16();
    pe.skip(2);
    if (!pe.ok())
        return std::nullopt;

    PeImage image;
    image.m_file = file;
    const qint64 optionalAt = qint64(peOffset) + 24;
    ByteCursor optional = cursorAt(file, optionalAt);
    const quint16 magic = optional.u16();
    const qint64 directoriesAt = magic == kPe32PlusMagic ? 112 : 96;
    if (magic == kPe32Magic || magic == kPe32PlusMagic) {
        ByteCursor dir = cursorAt(file, optionalAt + directoriesAt + 8 * kResourceDirectoryIndex);
        if (directoriesAt + 8 * (kResourceDirectoryIndex + 1) <= optionalSize)
            image.m_resourceRva = dir.u32();
    }

    ByteCursor table = cursorAt(file, optionalAt + optionalSize);
    for (int i = 0; i < sectionCount; ++i) {
        Section s;
        const uint8_t *name = table.take(8);
        s.virtualSize = table.u32();
        s.virtualAddress = table.u32();
        s.rawSize = table.u32();
        s.rawPointer = table.u32();
        table.skip(16);
        if (!table.ok())
            return std::nullopt;
        s.name = QByteArray(reinterpret_cast<const char *>(name), 8);
        while (!s.name.isEmpty() && s.name.endsWith('\0'))
            s.name.chop(1);
        image.m_sections.push_back(s);
    }
    return image;
}

const PeImage::Section *PeImage::resourceSection() const
{
    for (const Section &s : m_sections)
        if (s.name == ".rsrc")
            return &s;
    return nullptr;
}

std::optional<qint64> PeImage::resourceFileOffset(quint32 rva) const
{
    const Section *s = resourceSection();
    if (!s || rva < s->virtualAddress || rva - s->virtualAddress >= s->rawSize)
        return std::nullopt;
    return qint64(s->rawPointer) + (rva - s->virtualAddress);
}

std::optional<qint64> PeImage::resourceTableOffset() const
{
    if (m_resourceRva == 0)
        return std::nullopt;
    return resourceFileOffset(m_resourceRva);
}

std::vector<PeImage::DirectoryEntry> PeImage::directoryAt(quint32 offset) const
{
    const std::optional<qint64> table = resourceTableOffset();
    if (!table)
        return {};
    ByteCursor c = cursorAt(m_file, *table + offset);
    c.skip(12);
    const quint32 count = quint32(c.u16()) + c.u16();
    std::vector<DirectoryEntry> entries;
    for (quint32 i = 0; i < count && i < kMaxEntriesPerDirectory; ++i) {
        DirectoryEntry e;
        e.nameOrId = c.u32();
        e.offset = c.u32();
        if (!c.ok())
            break;
        entries.push_back(e);
    }
    return entries;
}

std::optional<PeImage::DataEntry> PeImage::dataEntryAt(quint32 offset) const
{
    const std::optional<qint64> table = resourceTableOffset();
    if (!table)
        return std::nullopt;
    ByteCursor c = cursorAt(m_file, *table + offset);
    DataEntry d;
    d.rva = c.u32();
    d.size = c.u32();
    if (!c.ok())
        return std::nullopt;
    return d;
}

std::optional<PeImage::DataEntry> PeImage::firstLanguage(const DirectoryEntry &entry) const
{
    if (!entry.isSubdirectory())
        return dataEntryAt(entry.target());
    for (const DirectoryEntry &language : directoryAt(entry.target()))
        if (!language.isSubdirectory())
            return dataEntryAt(language.target());
    return std::nullopt;
}

QByteArray PeImage::resourceBytes(const DataEntry &data) const
{
    const std::optional<qint64> at = resourceFileOffset(data.rva);
    if (!at || *at + data.size > m_file.size())
        return {};
    return m_file.mid(*at, data.size);
}

QByteArray PeImage::iconImage(quint16 id) const
{
    for (const DirectoryEntry &type : directoryAt(0)) {
        if (type.isNamed() || type.nameOrId != kIconType || !type.isSubdirectory())
            continue;
        for (const DirectoryEntry &icon : directoryAt(type.target()))
            if (!icon.isNamed() && icon.nameOrId == id)
                if (const std::optional<DataEntry> data = firstLanguage(icon))
                    return resourceBytes(*data);
    }
    return {};
}

QByteArray PeImage::iconFile(int index) const
{
    std::vector<DirectoryEntry> groups;
    for (const DirectoryEntry &type : directoryAt(0))
        if (!type.isNamed() && type.nameOrId == kIconGroupType && type.isSubdirectory())
            groups = directoryAt(type.target());
    if (index < 0 || index >= static_cast<int>(groups.size()))
        return {};
    const std::optional<DataEntry> groupData = firstLanguage(groups[static_cast<size_t>(index)]);
    if (!groupData)
        return {};
    const QByteArray group = resourceBytes(*groupData);

    // GRPICONDIR: a 6-byte header, then 14-byte entries naming RT_ICON ids.
    // The .ico form has 16-byte entries that give each image's file offset.
    ByteCursor g(group.constData(), static_cast<size_t>(group.size()));
    g.skip(4);
    const quint16 count = g.u16();
    std::vector<std::pair<QByteArray, QByteArray>> found; // entry fields, image
    for (int i = 0; i < count; ++i) {
        const uint8_t *fields = g.take(8); // width, height, colours, reserved, planes, bit count
        g.skip(4);                         // size, taken from the image itself
        const quint16 id = g.u16();
        if (!g.ok())
            return {};
        QByteArray image = iconImage(id);
        if (!image.isEmpty())
            found.emplace_back(QByteArray(reinterpret_cast<const char *>(fields), 8), std::move(image));
    }
    if (found.empty())
        return {};

    QByteArray ico(6, '\0');
    ico[2] = 1;
    ico[4] = static_cast<char>(found.size() & 0xFF);
    ico[5] = static_cast<char>(found.size() >> 8);
    const auto appendU32 = [&ico](quint32 v) {
        for (int b = 0; b < 4; ++b)
            ico.append(static_cast<char>((v >> (8 * b)) & 0xFF));
    };
    quint32 offset = static_cast<quint32>(6 + 16 * found.size());
    for (const auto &[fields, image] : found) {
        ico.append(fields);
        appendU32(static_cast<quint32>(image.size()));
        appendU32(offset);
        offset += static_cast<quint32>(image.size());
    }
    for (const auto &entry : found)
        ico.append(entry.second);
    return ico;
}
