#include "ArchiveReader.h"

#include "CentralDirectoryReader.h"
#include "Cp437.h"
#include "LibraryCaller.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipformat;

ArchiveReader::~ArchiveReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ArchiveReader::fail(const std::string &text)
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

namespace {

std::string pathNameOf(const std::string &name, uint16_t flags, uint8_t hostSystem)
{
    const bool oem = !(flags & kFlagUtf8) && (hostSystem == 0 || hostSystem == 6 || hostSystem == 11);
    std::string out;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\')
            out += '/';
        else if (oem && b >= 128)
            appendUtf8(out, kCp437UpperHalf[b - 128]);
        else
            out += c;
    }
    return out;
}

bool isUtf8(const std::string &text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2)
                return false;
        i += length;
    }
    return true;
}

std::string shownNameOf(const std::string &pathName)
{
    if (isUtf8(pathName))
        return pathName;
    std::string out;
    for (char c : pathName) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 128)
            appendUtf8(out, kCp437UpperHalf[b - 128]);
        else
            out += c;
    }
    return out;
}

std::string withSlashes(std::string text)
{
    for (char &c : text)
        if (c == '\\')
            c = '/';
    return text;
}

} // namespace

bool ArchiveReader::open(const std::string &path)
{
    // Non-blocking, so that a FIFO given as the archive cannot hang us.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return fail(std::string("cannot open the archive (") + std::strerror(errno) + ")");
    return readDirectory();
}

bool ArchiveReader::openDescriptor(int fd)
{
    m_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0)
        return fail(std::string("cannot open the archive (") + std::strerror(errno) + ")");
    return readDirectory();
}

std::vector<bool> ArchiveReader::select(const std::vector<std::string> &specifications) const
{
    std::vector<bool> chosen(m_entries.size(), specifications.empty());
    for (const std::string &spec : specifications) {
        const std::string wanted = withSlashes(spec);
        bool exact = false;
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (withSlashes(m_entries[i].name) == wanted || m_entries[i].pathName == wanted
                || m_entries[i].shownName == wanted) {
                chosen[i] = true;
                exact = true;
            }
        if (exact)
            continue;
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (matchesPattern(spec, m_entries[i].name) || matchesPattern(spec, m_entries[i].pathName)
                || matchesPattern(spec, m_entries[i].shownName))
                chosen[i] = true;
    }
    return chosen;
}

bool ArchiveReader::readDirectory()
{
    struct stat st {};
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail("not a regular file");
    m_size = static_cast<uint64_t>(st.st_size);

    CentralDirectory directory;
    const auto read = [this](uint64_t offset, void *dest, size_t count) { return readAt(offset, dest, count); };
    switch (readCentralDirectory(read, m_size, &directory)) {
    case DirectoryError::None: break;
    case DirectoryError::NoEndRecord: return fail("no end of central directory: not a ZIP archive");
    case DirectoryError::CannotRead: return fail("cannot read the central directory");
    case DirectoryError::NotOnThisDisk: return fail("the central directory cannot be found (a volume of a spanned set?)");
    case DirectoryError::DamagedEntry: return fail("a central directory entry is damaged");
    }
    if (directory.end.commentLength > 0) {
        m_comment.resize(directory.end.commentLength);
        if (!readAt(directory.endOffset + EndOfCentralDir::kSize, m_comment.data(), m_comment.size()))
            m_comment.clear();
    }
    // What precedes the first local header (or an empty directory) is not
    // part of the archive.
    m_archiveStart = directory.directoryStart;
    for (const DirectoryEntry &d : directory.entries) {
        const CentralHeader &h = d.header;
        ArchiveEntry e;
        e.name = d.name;
        e.flags = h.flags;
        e.method = h.method;
        e.dosTime = h.time;
        e.dosDate = h.date;
        e.crc32 = h.crc32;
        e.compressedSize = d.values.compressedSize;
        e.uncompressedSize = d.values.uncompressedSize;
        e.localHeaderOffset = d.localHeaderOffset;
        e.externalAttributes = h.externalAttributes;
        e.hostSystem = h.hostSystem;
        e.pathName = pathNameOf(d.name, h.flags, h.hostSystem);
        e.shownName = shownNameOf(e.pathName);
        e.header = h;
        e.centralExtra = d.extra;
        e.comment = d.comment;
        e.overlaps = d.overlaps;
        if (e.localHeaderOffset < m_archiveStart)
            m_archiveStart = e.localHeaderOffset;
        m_entries.push_back(std::move(e));
    }
    return true;
}
