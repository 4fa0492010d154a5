#pragma once
// Reads an archive's directory for the extraction library: the archive may
// sit behind other bytes (a self-extracting stub), with offsets shifted or
// not; Zip64 included. Names stay as stored bytes.

#include "ZipRecords.h"

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveEntry {
    std::string name; // as stored
    // The name as a UTF-8 path with "/": names flagged UTF-8 or made on Unix
    // stay as they are, MS-DOS ones are converted from code page 437.
    std::string pathName;
    // The name as listings show it: names that are not UTF-8 read as code
    // page 437, so that a name typed back from a listing selects the entry.
    std::string shownName;
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
    // The central record as stored, kept whole when the entry is copied.
    zipformat::CentralHeader header;
    std::string centralExtra;
    std::string comment;
    bool overlaps = false; // its local record shares bytes with another's
    bool isFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
    bool encrypted() const { return flags & 1; }
};

class ArchiveReader {
public:
    ArchiveReader() = default;
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;
    bool open(const std::string &path);
    // Reads the archive open on fd; the reader keeps its own duplicate.
    bool openDescriptor(int fd);
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

    // The entries a list of specifications selects. A specification equal
    // to an entry's name (as stored, or as its path name; "\\" counts as
    // "/") selects exactly the entries of that name, letter case included;
    // only one that names no entry is matched as a pattern. Empty: all.
    std::vector<bool> select(const std::vector<std::string> &specifications) const;

private:
    bool fail(const std::string &text);
    bool readDirectory();

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_archiveStart = 0;
    std::string m_comment;
    std::vector<ArchiveEntry> m_entries;
    std::string m_error;
};
