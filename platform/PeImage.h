#pragma once
// A read-only view of a Windows PE executable (PE32 or PE32+) held in
// memory: its sections and its resource table, as far as icons need them.
// Every read is bounds-checked; a hostile file yields "nothing found", never
// a read outside the bytes.

#include <QByteArray>

#include <optional>
#include <vector>

class PeImage {
public:
    struct Section {
        QByteArray name; // up to 8 bytes, without trailing zeros
        quint32 virtualSize = 0;
        quint32 virtualAddress = 0;
        quint32 rawSize = 0;
        quint32 rawPointer = 0;
    };
    struct DirectoryEntry {
        quint32 nameOrId = 0;
        quint32 offset = 0;
        bool isNamed() const { return nameOrId & 0x80000000u; }
        bool isSubdirectory() const { return offset & 0x80000000u; }
        quint32 target() const { return offset & 0x7FFFFFFFu; } // from the table's start
    };
    struct DataEntry {
        quint32 rva = 0;
        quint32 size = 0;
    };

    static constexpr quint32 kIconType = 3;
    static constexpr quint32 kIconGroupType = 14;

    // nullopt unless the bytes hold "MZ", a "PE\0\0" signature where offset
    // 60 points and a complete section table.
    static std::optional<PeImage> parse(const QByteArray &file);

    const std::vector<Section> &sections() const { return m_sections; }
    // The resource table's RVA from the optional header's data directory.
    quint32 resourceRva() const { return m_resourceRva; }
    // File offset of the resource table: in the first section named ".rsrc",
    // which must contain the table's RVA within its raw data.
    std::optional<qint64> resourceTableOffset() const;
    // File offset of an RVA inside the ".rsrc" section.
    std::optional<qint64> resourceFileOffset(quint32 rva) const;

    // Entries of the resource directory at a table-relative offset.
    std::vector<DirectoryEntry> directoryAt(quint32 offset) const;
    std::optional<DataEntry> dataEntryAt(quint32 offset) const;

    // The icon group at the index (in directory order) as the bytes of an
    // .ico file; empty when there is no such group or it is broken.
    QByteArray iconFile(int index) const;

private:
    const Section *resourceSection() const;
    std::optional<DataEntry> firstLanguage(const DirectoryEntry &entry) const;
    QByteArray resourceBytes(const DataEntry &data) const;
    QByteArray iconImage(quint16 id) const;

    QByteArray m_file;
    std::vector<Section> m_sections;
    quint32 m_resourceRva = 0;
};
