#pragma once
// Reads an archive's directory for the extraction library: the archive may
// sit behind other bytes (a self-extracting stub), with offsets shifted or
// not; Zip64 included. Names stay as stored bytes.

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveEntry {
    std::string name; // as stored
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localHeaderOffset = 0; // real offset in the file
    uint32_t externalAttributes = 0;
    uint8_t hostSystem = 0;
    bool isFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
    bool encrypted() const { return flags & 1; }
};

class ArchiveReader {
public:
    ~ArchiveReader();
    bool open(const std::string &path);
    const std::string &error() const { return m_error; }
    const std::vector<ArchiveEntry> &entries() const { return m_entries; }
    // Where the archive begins: what lies before it (a self-extracting stub
    // and its header) is kept as it is by a rewrite.
    uint64_t archiveStart() const { return m_archiveStart; }
    uint64_t size() const { return m_size; }
    // The archive comment as stored.
    const std::string &comment() const { return m_comment; }
    // The length of the entry's whole local record: header, name, extra
    // field, data and data descriptor; false when the header is missing.
    bool localRecordLength(const ArchiveEntry &entry, uint64_t *length) const;
    bool readAt(uint64_t offset, void *dest, size_t count) const;
    // Where the entry's data starts, after its local header; false when the
    // local header is missing.
    bool dataOffset(const ArchiveEntry &entry, uint64_t *offset) const;

private:
    bool fail(const char *text);

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_archiveStart = 0;
    std::string m_comment;
    std::vector<ArchiveEntry> m_entries;
    std::string m_error;
};
