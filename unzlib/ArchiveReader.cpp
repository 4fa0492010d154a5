#include "ArchiveReader.h"

#include "ZipRecords.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipformat;

ArchiveReader::~ArchiveReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ArchiveReader::fail(const char *text)
{
    m_error = text;
    return false;
}

bool ArchiveReader::readAt(uint64_t offset, void *dest, size_t count) const
{
    if (offset > m_size || count > m_size - offset)
        return false;
    auto *out = static_cast<uint8_t *>(dest);
    while (count > 0) {
        const ssize_t got = ::pread(m_fd, out, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += static_cast<uint64_t>(got);
        count -= static_cast<size_t>(got);
    }
    return true;
}

bool ArchiveReader::dataOffset(const ArchiveEntry &entry, uint64_t *offset) const
{
    uint8_t bytes[LocalHeader::kSize];
    if (!readAt(entry.localHeaderOffset, bytes, sizeof bytes) || ByteCursor::loadU32(bytes) != kLocalHeaderSignature)
        return false;
    const LocalHeader h = LocalHeader::parse(bytes);
    *offset = entry.localHeaderOffset + LocalHeader::kSize + h.nameLength + h.extraLength;
    return true;
}

bool ArchiveReader::localRecordLength(const ArchiveEntry &entry, uint64_t *length) const
{
    uint64_t data = 0;
    if (!dataOffset(entry, &data))
        return false;
    uint64_t end = data + entry.compressedSize;
    if (entry.flags & kFlagDataDescriptor) {
        // The descriptor's signature is optional; Zip64 descriptors hold
        // 8-byte sizes.
        uint8_t first[4];
        const bool signature = readAt(end, first, 4) && ByteCursor::loadU32(first) == kDataDescriptorSignature;
        const bool wide = entry.compressedSize >= kSaturated32 || entry.uncompressedSize >= kSaturated32;
        end += (signature ? 4 : 0) + (wide ? 20 : 12);
    }
    *length = end - entry.localHeaderOffset;
    return end <= m_size;
}

bool ArchiveReader::open(const std::string &path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail("cannot open the archive");
    m_size = static_cast<uint64_t>(st.st_size);

    const uint64_t window = m_size < EndOfCentralDir::kSize + kMaxCommentLength
        ? m_size : EndOfCentralDir::kSize + kMaxCommentLength;
    std::vector<uint8_t> tail(static_cast<size_t>(window));
    if (!readAt(m_size - window, tail.data(), tail.size()))
        return fail("cannot read the archive");
    uint64_t eocOffset = 0;
    bool found = false;
    for (size_t i = tail.size() >= EndOfCentralDir::kSize ? tail.size() - EndOfCentralDir::kSize + 1 : 0; i-- > 0;) {
        if (ByteCursor::loadU32(tail.data() + i) == kEndOfCentralDirSignature) {
            eocOffset = m_size - window + i;
            found = true;
            break;
        }
    }
    if (!found)
        return fail("no end of central directory: not a ZIP archive");
    uint8_t eocBytes[EndOfCentralDir::kSize];
    readAt(eocOffset, eocBytes, sizeof eocBytes);
    const EndOfCentralDir eoc = EndOfCentralDir::parse(eocBytes);
    uint64_t count = eoc.totalEntries, dirSize = eoc.centralDirSize, dirStored = eoc.centralDirOffset;
    uint64_t dirEnd = eocOffset;
    uint8_t locator[Zip64Locator::kSize];
    uint8_t record[Zip64EndOfCentralDir::kSize];
    if (eocOffset >= Zip64Locator::kSize + Zip64EndOfCentralDir::kSize
        && readAt(eocOffset - Zip64Locator::kSize, locator, sizeof locator)
        && ByteCursor::loadU32(locator) == kZip64LocatorSignature
        && readAt(eocOffset - Zip64Locator::kSize - Zip64EndOfCentralDir::kSize, record, sizeof record)
        && ByteCursor::loadU32(record) == kZip64EndOfCentralDirSignature) {
        const Zip64EndOfCentralDir z = Zip64EndOfCentralDir::parse(record);
        count = z.totalEntries;
        dirSize = z.centralDirSize;
        dirStored = z.centralDirOffset;
        dirEnd = eocOffset - Zip64Locator::kSize - Zip64EndOfCentralDir::kSize;
    }
    if (eoc.thisDisk != eoc.centralDirDisk || dirSize > dirEnd)
        return fail("the central directory cannot be found (a volume of a spanned set?)");
    const uint64_t dirStart = dirEnd - dirSize;
    const uint64_t delta = dirStart - dirStored; // bytes in front of an unshifted archive
    m_archiveStart = dirStart;
    if (eoc.commentLength > 0) {
        m_comment.resize(eoc.commentLength);
        if (!readAt(eocOffset + EndOfCentralDir::kSize, m_comment.data(), m_comment.size()))
            m_comment.clear();
    }

    std::vector<uint8_t> directory(static_cast<size_t>(dirSize));
    if (!readAt(dirStart, directory.data(), directory.size()))
        return fail("cannot read the central directory");
    ByteCursor c(directory.data(), directory.size());
    for (uint64_t k = 0; k < count; ++k) {
        const uint8_t *headerBytes = c.take(CentralHeader::kSize);
        if (!headerBytes || ByteCursor::loadU32(headerBytes) != kCentralHeaderSignature)
            return fail("a central directory entry is damaged");
        const CentralHeader h = CentralHeader::parse(headerBytes);
        const uint8_t *name = c.take(h.nameLength);
        const uint8_t *extra = c.take(h.extraLength);
        c.skip(h.commentLength);
        Zip64Values values;
        if (!c.ok() || !resolveZip64(h, extra, h.extraLength, &values))
            return fail("a central directory entry is damaged");
        ArchiveEntry e;
        e.name.assign(reinterpret_cast<const char *>(name), h.nameLength);
        e.flags = h.flags;
        e.method = h.method;
        e.dosTime = h.time;
        e.dosDate = h.date;
        e.crc32 = h.crc32;
        e.compressedSize = values.compressedSize;
        e.uncompressedSize = values.uncompressedSize;
        e.localHeaderOffset = values.localHeaderOffset + delta;
        e.externalAttributes = h.externalAttributes;
        e.hostSystem = h.hostSystem;
        if (e.localHeaderOffset < m_archiveStart)
            m_archiveStart = e.localHeaderOffset;
        m_entries.push_back(std::move(e));
    }
    return true;
}
