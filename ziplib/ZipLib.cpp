// The compression library: "ZipLibExec" adds files to an archive or deletes
// entries from it, as its request block says; "GetZipLibVersion" reports the
// interface version. Whatever precedes the archive (a self-extracting stub
// and its header) is kept byte for byte, and the new archive is written
// beside the old one and put in its place only when complete.

#include "ArchiveLock.h"
#include "ArchiveReader.h"
#include "DosTime.h"
#include "LibraryCaller.h"
#include "PkCrypt.h"
#include "ZipRecords.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipformat;

namespace {

constexpr int32_t kVersion = 160;
constexpr size_t kPiece = 256 * 1024;
constexpr uint16_t kMadeByUnix = (3 << 8) | 30;

enum Action : int32_t { NewFile = 1, Progress = 2, EndOfBatch = 3, Message = 4, TotalFiles = 5, TotalSize = 6, PasswordRequest = 8 };

uint32_t u32At(const uint8_t *b, int offset) { return ByteCursor::loadU32(b + offset); }
std::string textAt(const uint8_t *b, uint32_t offset)
{
    return offset ? std::string(reinterpret_cast<const char *>(b + offset)) : std::string();
}

struct Request {
    uint32_t caller = 0;
    int32_t (*callback)(void *) = nullptr;
    std::string password, archive;
    std::vector<std::string> storeSuffixes, patterns, exclusions;
    bool encrypt, hidden, folderEntries, withoutFolders, recurse, add, move, remove, update, freshen;
    int level;

    explicit Request(const uint8_t *b)
    {
        caller = u32At(b, 4);
        if (const uint32_t at = u32At(b, 12))
            std::memcpy(&callback, b + at, sizeof callback);
        password = textAt(b, u32At(b, 20));
        const std::string suffixes = textAt(b, u32At(b, 24));
        for (size_t start = 0; start < suffixes.size();) {
            size_t end = suffixes.find(':', start);
            if (end == std::string::npos)
                end = suffixes.size();
            storeSuffixes.push_back(suffixes.substr(start, end - start));
            start = end + 1;
        }
        encrypt = u32At(b, 28) != 0;
        hidden = u32At(b, 32) != 0;
        folderEntries = u32At(b, 44) == 0; // separate folder entries
        level = static_cast<int>(u32At(b, 60));
        withoutFolders = u32At(b, 72) != 0;
        recurse = ByteCursor::loadU16(b + 76) != 0;
        add = u32At(b, 80) != 0;
        move = u32At(b, 88) != 0;
        remove = u32At(b, 92) != 0;
        update = u32At(b, 96) != 0;
        freshen = u32At(b, 100) != 0;
        archive = textAt(b, u32At(b, 124));
        const uint32_t count = u32At(b, 120);
        const uint32_t slotTable = u32At(b, 140);
        for (uint32_t i = 0; slotTable && i < count; ++i)
            patterns.push_back(textAt(b, u32At(b, static_cast<int>(slotTable + 104 * i))));
        const uint32_t excluded = u32At(b, 148);
        const uint32_t array = u32At(b, 152);
        for (uint32_t i = 0; array && i < excluded; ++i)
            exclusions.push_back(textAt(b, u32At(b, static_cast<int>(array + 4 * i))));
    }
};

bool hasWildcard(const std::string &s)
{
    return s.find_first_of("*?") != std::string::npos;
}

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

// A file to add: where it is and the name it gets in the archive.
struct Source {
    std::string path;
    std::string name;
    struct stat st;
};

// One entry of the new archive's directory.
struct NewEntry {
    CentralHeader header;
    std::string name;
    std::string extra;   // central extra field of a kept entry
    std::string comment;
    uint64_t compressedSize = 0, uncompressedSize = 0, offset = 0;
    bool kept = false; // a copied entry: its central record stays as stored but for its offset
};

// Makes a rename into the folder survive a power cut.
void syncFolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string reason()
{
    return std::string(" (") + std::strerror(errno) + ")";
}

// Gives a kept central record the new offset of its local record, keeping
// every other byte; a Zip64 offset is written where the record has one, and
// added to its Zip64 block only when the new offset needs it.
void moveCentralRecord(NewEntry &n)
{
    CentralHeader &h = n.header;
    const auto *extra = reinterpret_cast<const uint8_t *>(n.extra.data());
    const long at = zip64OffsetPosition(h, extra, n.extra.size());
    if (at >= 0) {
        ByteWriter w(reinterpret_cast<uint8_t *>(n.extra.data()) + at, 8);
        w.u64(n.offset);
        return;
    }
    if (n.offset < kSaturated32) {
        h.localHeaderOffset = static_cast<uint32_t>(n.offset);
        return;
    }
    // Rebuild the Zip64 block with the offset among its values.
    std::string others, values;
    const auto add64 = [&values](uint64_t v) {
        for (int i = 0; i < 8; ++i)
            values += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    Zip64Values old;
    resolveZip64(h, extra, n.extra.size(), &old);
    if (h.uncompressedSize == kSaturated32)
        add64(old.uncompressedSize);
    if (h.compressedSize == kSaturated32)
        add64(old.compressedSize);
    add64(n.offset);
    if (h.diskStart == kSaturated16)
        for (int i = 0; i < 4; ++i)
            values += static_cast<char>((old.diskStart >> (8 * i)) & 0xFF);
    ByteCursor c(extra, n.extra.size());
    while (c.remaining() >= 4) {
        const uint8_t *blockStart = c.take(0);
        const uint16_t id = c.u16();
        const uint16_t length = c.u16();
        if (!c.take(length))
            break;
        if (id != kZip64ExtraId)
            others.append(reinterpret_cast<const char *>(blockStart), 4 + length);
    }
    std::string block;
    block += static_cast<char>(kZip64ExtraId & 0xFF);
    block += static_cast<char>(kZip64ExtraId >> 8);
    block += static_cast<char>(values.size());
    block += '\0';
    n.extra = block + values + others;
    h.localHeaderOffset = kSaturated32;
    h.versionNeeded = std::max<uint16_t>(h.versionNeeded, 45);
}

class Writer {
public:
    explicit Writer(const Request &r) : m_request(r), m_caller(r.caller, r.callback) {}
    int32_t run();

private:
    bool collect(const std::string &pattern);
    void collectFolder(const std::string &folder, const std::string &prefix);
    void addSource(const std::string &path, const struct stat &st);
    std::string entryName(const std::string &path) const;
    bool excluded(const std::string &name) const;

    bool copyExisting(const ArchiveEntry &e, const ArchiveReader &reader);
    // Adds one file; true also when it was left out (with a message), which
    // *added tells.
    bool writeNew(const Source &s, bool *added);
    bool lock(ArchiveLock &lock);
    bool writeArchive(const ArchiveReader &reader, const std::vector<bool> &keep,
                      const std::vector<const Source *> &replacing, const std::vector<const Source *> &adding,
                      int32_t *processed);
    bool writeFinish(const std::string &comment);
    bool put(const void *data, size_t count);
    bool storeOnly(const std::string &name) const;
    std::string passwordFor(const std::string &name);

    const Request &m_request;
    LibraryCaller m_caller;
    std::vector<Source> m_sources;
    std::vector<const Source *> m_added;
    std::string m_writeFailure; // why the new archive could not be written
    std::vector<NewEntry> m_entries;
    int m_out = -1;
    uint64_t m_position = 0;
    std::string m_password;
    std::vector<uint8_t> m_buffer; // reused for every entry
    std::vector<uint8_t> m_output;
};

std::string Writer::entryName(const std::string &path) const
{
    std::string name = path;
    while (name.rfind("./", 0) == 0)
        name.erase(0, 2);
    while (!name.empty() && name[0] == '/')
        name.erase(0, 1);
    // No ".." in stored names: an archive must not point outside its folder.
    std::string clean;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..")
            clean += (clean.empty() ? "" : "/") + part;
        start = end + 1;
    }
    if (m_request.withoutFolders) {
        const size_t slash = clean.rfind('/');
        if (slash != std::string::npos)
            clean = clean.substr(slash + 1);
    }
    return clean;
}

bool Writer::excluded(const std::string &name) const
{
    for (const std::string &p : m_request.exclusions) {
        const size_t slash = name.rfind('/');
        if (matchesPattern(p, name) || matchesPattern(p, slash == std::string::npos ? name : name.substr(slash + 1)))
            return true;
    }
    return false;
}

void Writer::addSource(const std::string &path, const struct stat &st)
{
    Source s{path, entryName(path), st};
    if (S_ISDIR(st.st_mode))
        s.name += '/';
    if (s.name.empty() || s.name == "/" || excluded(s.name))
        return;
    for (const Source &known : m_sources)
        if (known.name == s.name)
            return;
    m_sources.push_back(s);
}

void Writer::collectFolder(const std::string &folder, const std::string &pattern)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent *d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        if (name[0] == '.' && !m_request.hidden)
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        const std::string path = folder == "." ? name : folder + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (m_request.recurse) {
                if (m_request.folderEntries && !m_request.withoutFolders)
                    addSource(path, st);
                collectFolder(path, pattern);
            }
        } else if (S_ISREG(st.st_mode) && (pattern.empty() || matchesPattern(pattern, name))) {
            addSource(path, st);
        }
    }
}

bool Writer::collect(const std::string &pattern)
{
    std::string path = pattern;
    for (char &c : path)
        if (c == '\\')
            c = '/';
    struct stat st {};
    if (!hasWildcard(path)) {
        if (::stat(path.c_str(), &st) != 0)
            return false;
        if (S_ISDIR(st.st_mode)) {
            if (m_request.folderEntries && !m_request.withoutFolders)
                addSource(path, st);
            if (m_request.recurse)
                collectFolder(path, std::string());
        } else if (S_ISREG(st.st_mode)) {
            addSource(path, st);
        } else {
            m_caller.message("not a regular file, not added: " + path, 3);
        }
        return true;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    collectFolder(folder, path.substr(slash == std::string::npos ? 0 : slash + 1));
    return true;
}

bool Writer::put(const void *data, size_t count)
{
    const auto *p = static_cast<const uint8_t *>(data);
    while (count > 0) {
        const ssize_t n = ::write(m_out, p, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_writeFailure = n < 0 ? reason() : " (nothing written)";
            return false;
        }
        p += n;
        count -= static_cast<size_t>(n);
        m_position += static_cast<uint64_t>(n);
    }
    return true;
}

bool Writer::storeOnly(const std::string &name) const
{
    if (m_request.level == 0)
        return true;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string suffix = lower(name.substr(dot));
    for (const std::string &s : m_request.storeSuffixes)
        if (lower(s) == suffix)
            return true;
    return false;
}

std::string Writer::passwordFor(const std::string &name)
{
    if (!m_password.empty())
        return m_password;
    m_password = m_request.password;
    if (m_password.empty()) {
        const LibraryCaller::Answer answer = m_caller.send(PasswordRequest, 1, 1, name); // bit 0: for an add
        if (answer.code == 1)
            m_password = answer.text;
    }
    return m_password;
}

bool Writer::copyExisting(const ArchiveEntry &e, const ArchiveReader &reader)
{
    uint64_t length = 0;
    if (!reader.localRecordLength(e, &length))
        return false; // checked before writing began
    NewEntry n;
    n.name = e.name;
    n.offset = m_position;
    n.compressedSize = e.compressedSize;
    n.uncompressedSize = e.uncompressedSize;
    n.header = e.header;
    n.extra = e.centralExtra;
    n.comment = e.comment;
    n.kept = true;
    m_buffer.resize(kPiece);
    uint64_t at = e.localHeaderOffset;
    while (length > 0) {
        const size_t piece = length < kPiece ? static_cast<size_t>(length) : kPiece;
        if (!reader.readAt(at, m_buffer.data(), piece)) {
            m_caller.message("cannot read the entry " + e.name + reason(), 1);
            return false;
        }
        if (!put(m_buffer.data(), piece))
            return false;
        at += piece;
        length -= piece;
    }
    m_entries.push_back(std::move(n));
    return true;
}

bool Writer::writeNew(const Source &s, bool *added)
{
    *added = false;
    NewEntry n;
    n.name = s.name;
    n.offset = m_position;
    const bool folder = S_ISDIR(s.st.st_mode);
    const bool utf8 = std::any_of(s.name.begin(), s.name.end(), [](char c) { return static_cast<unsigned char>(c) >= 128; });
    const uint32_t when = dosFromTime(s.st.st_mtime);
    n.header.versionMadeBy = kMadeByUnix & 0xFF;
    n.header.hostSystem = kMadeByUnix >> 8;
    n.header.time = static_cast<uint16_t>(when & 0xFFFF);
    n.header.date = static_cast<uint16_t>(when >> 16);
    n.header.externalAttributes = (static_cast<uint32_t>(s.st.st_mode & 0xFFFF) << 16) | (folder ? 0x10 : 0);
    n.header.flags = utf8 ? kFlagUtf8 : 0;
    const bool encrypt = m_request.encrypt && !folder;
    const std::string password = encrypt ? passwordFor(s.name) : std::string();
    if (encrypt && password.empty()) {
        m_caller.message("no password: not added, " + s.name, 2);
        return !m_caller.stopped();
    }
    if (encrypt)
        n.header.flags |= kFlagEncrypted;
    const bool compress = !folder && !storeOnly(s.name) && s.st.st_size > 0;
    n.header.method = compress ? 8 : 0;
    n.header.versionNeeded = compress || encrypt ? 20 : 10;
    const bool zip64 = static_cast<uint64_t>(s.st.st_size) >= 0xFFFFFFFFull - (1 << 20);

    int in = -1;
    uLong crc = crc32(0, nullptr, 0);
    if (!folder) {
        in = ::open(s.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (in < 0) {
            m_caller.message("cannot read " + s.path + reason() + ", not added", 3);
            return !m_caller.stopped();
        }
        struct stat now {};
        if (::fstat(in, &now) != 0 || !S_ISREG(now.st_mode)) {
            ::close(in);
            m_caller.message("not a regular file, not added: " + s.path, 3);
            return !m_caller.stopped();
        }
        if (encrypt) {
            // The encryption header's check byte needs the CRC first.
            m_buffer.resize(kPiece);
            ssize_t got;
            while ((got = ::read(in, m_buffer.data(), m_buffer.size())) > 0)
                crc = crc32(crc, m_buffer.data(), static_cast<uInt>(got));
            ::lseek(in, 0, SEEK_SET);
        }
    }

    // The local header is written first and completed once the sizes are known.
    LocalHeader local;
    local.versionNeeded = zip64 ? 45 : n.header.versionNeeded;
    local.flags = n.header.flags;
    local.method = n.header.method;
    local.time = n.header.time;
    local.date = n.header.date;
    local.nameLength = static_cast<uint16_t>(s.name.size());
    local.extraLength = zip64 ? 20 : 0;
    const uint64_t headerAt = m_position;
    uint8_t head[LocalHeader::kSize];
    local.write(head);
    std::string localExtra(zip64 ? 20 : 0, '\0');
    if (!put(head, sizeof head) || !put(s.name.data(), s.name.size()) || !put(localExtra.data(), localExtra.size())) {
        if (in >= 0)
            ::close(in);
        return false;
    }

    PkCrypt crypt(password);
    uint64_t written = 0, read = 0;
    bool ok = true;
    const auto emit = [&](uint8_t *data, size_t count) {
        if (encrypt)
            crypt.encrypt(data, count);
        written += count;
        return put(data, count);
    };
    if (encrypt) {
        uint8_t header[12];
        static std::mt19937 random(std::random_device{}());
        for (uint8_t &b : header)
            b = static_cast<uint8_t>(random());
        header[11] = static_cast<uint8_t>(crc >> 24);
        ok = emit(header, sizeof header);
    }
    if (!encrypt)
        crc = crc32(0, nullptr, 0);
    z_stream z {};
    if (compress && deflateInit2(&z, m_request.level < 1 ? 1 : (m_request.level > 9 ? 9 : m_request.level), Z_DEFLATED,
                                -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        ok = false;
    std::vector<uint8_t> &input = m_buffer, &output = m_output;
    input.resize(kPiece);
    output.resize(kPiece);
    while (ok && in >= 0) {
        const ssize_t got = ::read(in, input.data(), input.size());
        if (got < 0) {
            m_caller.message("cannot read " + s.path + reason(), 3);
            ok = false;
            break;
        }
        read += static_cast<uint64_t>(got);
        if (!encrypt)
            crc = crc32(crc, input.data(), static_cast<uInt>(got));
        if (!compress) {
            if (got == 0)
                break;
            ok = emit(input.data(), static_cast<size_t>(got));
        } else {
            z.next_in = input.data();
            z.avail_in = static_cast<uInt>(got);
            const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            int status;
            do {
                z.next_out = output.data();
                z.avail_out = static_cast<uInt>(output.size());
                status = deflate(&z, flush);
                const size_t produced = output.size() - z.avail_out;
                if (produced)
                    ok = emit(output.data(), produced);
            } while (ok && (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END)));
            if (got == 0)
                break;
        }
        if (got > 0 && m_caller.send(Progress, 0, static_cast<int32_t>(got), std::string()).stop) {
            ok = false;
            break;
        }
    }
    if (compress)
        deflateEnd(&z);
    if (in >= 0)
        ::close(in);
    if (!ok)
        return false;

    n.compressedSize = written;
    n.uncompressedSize = read;
    n.header.crc32 = static_cast<uint32_t>(crc);
    local.crc32 = n.header.crc32;
    local.compressedSize = zip64 ? kSaturated32 : static_cast<uint32_t>(written);
    local.uncompressedSize = zip64 ? kSaturated32 : static_cast<uint32_t>(read);
    local.write(head);
    if (::pwrite(m_out, head, sizeof head, static_cast<off_t>(headerAt)) != sizeof head)
        return false;
    if (zip64) {
        uint8_t extra[20];
        ByteWriter w(extra, sizeof extra);
        w.u16(kZip64ExtraId);
        w.u16(16);
        w.u64(read);
        w.u64(written);
        if (::pwrite(m_out, extra, sizeof extra, static_cast<off_t>(headerAt + LocalHeader::kSize + s.name.size())) != 20)
            return false;
    }
    m_entries.push_back(std::move(n));
    *added = true;
    return true;
}

bool Writer::writeFinish(const std::string &comment)
{
    const uint64_t dirStart = m_position;
    for (NewEntry &n : m_entries) {
        CentralHeader &h = n.header;
        if (n.kept) {
            moveCentralRecord(n);
            h.extraLength = static_cast<uint16_t>(n.extra.size());
            uint8_t bytes[CentralHeader::kSize];
            h.write(bytes);
            if (!put(bytes, sizeof bytes) || !put(n.name.data(), n.name.size()) || !put(n.extra.data(), n.extra.size())
                || !put(n.comment.data(), n.comment.size()))
                return false;
            continue;
        }
        std::string zip64Extra;
        const auto add64 = [&zip64Extra](uint64_t v) {
            for (int i = 0; i < 8; ++i)
                zip64Extra += static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        h.uncompressedSize = n.uncompressedSize >= kSaturated32 ? kSaturated32 : static_cast<uint32_t>(n.uncompressedSize);
        h.compressedSize = n.compressedSize >= kSaturated32 ? kSaturated32 : static_cast<uint32_t>(n.compressedSize);
        h.localHeaderOffset = n.offset >= kSaturated32 ? kSaturated32 : static_cast<uint32_t>(n.offset);
        if (h.uncompressedSize == kSaturated32)
            add64(n.uncompressedSize);
        if (h.compressedSize == kSaturated32)
            add64(n.compressedSize);
        if (h.localHeaderOffset == kSaturated32)
            add64(n.offset);
        std::string extra;
        if (!zip64Extra.empty()) {
            extra += static_cast<char>(kZip64ExtraId & 0xFF);
            extra += static_cast<char>(kZip64ExtraId >> 8);
            extra += static_cast<char>(zip64Extra.size());
            extra += '\0';
            extra += zip64Extra;
            h.versionNeeded = 45;
        }
        h.nameLength = static_cast<uint16_t>(n.name.size());
        h.extraLength = static_cast<uint16_t>(extra.size());
        h.commentLength = 0;
        uint8_t bytes[CentralHeader::kSize];
        h.write(bytes);
        if (!put(bytes, sizeof bytes) || !put(n.name.data(), n.name.size()) || !put(extra.data(), extra.size()))
            return false;
    }
    const uint64_t dirSize = m_position - dirStart;
    const bool zip64 = m_entries.size() >= 0xFFFF || dirStart >= kSaturated32 || dirSize >= kSaturated32;
    if (zip64) {
        Zip64EndOfCentralDir end;
        end.entriesThisDisk = end.totalEntries = m_entries.size();
        end.centralDirSize = dirSize;
        end.centralDirOffset = dirStart;
        const uint64_t endAt = m_position;
        uint8_t bytes[Zip64EndOfCentralDir::kSize];
        end.write(bytes);
        Zip64Locator locator;
        locator.endRecordOffset = endAt;
        uint8_t locatorBytes[Zip64Locator::kSize];
        locator.write(locatorBytes);
        if (!put(bytes, sizeof bytes) || !put(locatorBytes, sizeof locatorBytes))
            return false;
    }
    EndOfCentralDir eoc;
    const uint16_t count = m_entries.size() >= 0xFFFF ? kSaturated16 : static_cast<uint16_t>(m_entries.size());
    eoc.entriesThisDisk = eoc.totalEntries = count;
    eoc.centralDirSize = dirSize >= kSaturated32 ? kSaturated32 : static_cast<uint32_t>(dirSize);
    eoc.centralDirOffset = dirStart >= kSaturated32 ? kSaturated32 : static_cast<uint32_t>(dirStart);
    eoc.commentLength = static_cast<uint16_t>(comment.size());
    uint8_t bytes[EndOfCentralDir::kSize];
    eoc.write(bytes);
    return put(bytes, sizeof bytes) && put(comment.data(), comment.size());
}

bool Writer::lock(ArchiveLock &lock)
{
    bool told = false;
    const auto keepWaiting = [this, &told](int waitedMs) {
        if (!told)
            m_caller.message("waiting for another program to finish with " + m_request.archive, 0);
        told = true;
        // Action 0 asks nothing: the caller keeps its window alive and may stop.
        return waitedMs < 120 * 1000 && !m_caller.send(0, 0, 0, std::string()).stop;
    };
    std::string error;
    if (lock.acquire(m_request.archive, keepWaiting, &error))
        return true;
    m_caller.message("cannot open " + m_request.archive + " (" + error + "); it is left as it was", 1);
    return false;
}

// The new archive in order: what precedes the old one, its entries kept or
// replaced where they stood (the old entry stays when its replacement could
// not be made), then the new files.
bool Writer::writeArchive(const ArchiveReader &reader, const std::vector<bool> &keep,
                          const std::vector<const Source *> &replacing, const std::vector<const Source *> &adding,
                          int32_t *processed)
{
    bool ok = true;
    std::vector<uint8_t> buffer(kPiece);
    for (uint64_t at = 0; ok && at < reader.archiveStart();) {
        const size_t piece = std::min<uint64_t>(kPiece, reader.archiveStart() - at);
        ok = reader.readAt(at, buffer.data(), piece) && put(buffer.data(), piece);
        at += piece;
    }
    uint64_t totalSize = 0;
    size_t totalFiles = adding.size();
    for (const Source *s : adding)
        totalSize += static_cast<uint64_t>(s->st.st_size);
    for (const Source *s : replacing)
        if (s) {
            totalSize += static_cast<uint64_t>(s->st.st_size);
            ++totalFiles;
        }
    m_caller.send(TotalFiles, 0, static_cast<int32_t>(totalFiles), std::string());
    m_caller.send(TotalSize, 0, static_cast<int32_t>(std::min<uint64_t>(totalSize, INT32_MAX)), std::string());
    const auto addOne = [this, processed](const Source &s, bool *added) {
        if (m_caller.stopped() || m_caller.send(NewFile, 0, static_cast<int32_t>(s.st.st_size), s.name).stop)
            return false;
        if (!writeNew(s, added))
            return false;
        if (*added) {
            ++*processed;
            m_added.push_back(&s);
        }
        return true;
    };
    for (size_t i = 0; ok && i < reader.entries().size(); ++i) {
        bool added = false;
        if (replacing[i])
            ok = addOne(*replacing[i], &added);
        if (ok && !added && (keep[i] || replacing[i]))
            ok = copyExisting(reader.entries()[i], reader);
    }
    for (const Source *s : adding) {
        bool added = false;
        if (!ok)
            break;
        ok = addOne(*s, &added);
    }
    return ok && !m_caller.stopped() && writeFinish(reader.comment());
}

int32_t Writer::run()
{
    ArchiveLock archiveLock;
    if (!lock(archiveLock))
        return 0;
    ArchiveReader reader;
    struct stat original {};
    ::fstat(archiveLock.fd(), &original);
    // An empty file (ours, just made, or the user's) is an empty archive.
    if (original.st_size > 0 && !reader.openDescriptor(archiveLock.fd())) {
        m_caller.message(reader.error() + ": " + m_request.archive, 1);
        return 0;
    }
    if (!m_request.remove)
        for (const std::string &p : m_request.patterns)
            if (!collect(p))
                m_caller.message("no such file: " + p, 3);

    // What the new archive holds: existing entries kept or replaced.
    std::vector<bool> keep(reader.entries().size(), true);
    std::vector<const Source *> replacing(reader.entries().size(), nullptr);
    std::vector<const Source *> adding;
    int32_t processed = 0;
    if (m_request.remove) {
        const std::vector<bool> chosen = reader.select(m_request.patterns);
        for (size_t i = 0; i < chosen.size(); ++i)
            if (chosen[i]) {
                keep[i] = false;
                ++processed;
            }
        if (processed == 0)
            return 0;
        processed = 0;
    } else {
        for (const Source &s : m_sources) {
            size_t existing = reader.entries().size();
            for (size_t i = 0; i < reader.entries().size(); ++i)
                if (reader.entries()[i].name == s.name)
                    existing = i;
            const bool present = existing < reader.entries().size();
            if (m_request.freshen && !present)
                continue;
            if ((m_request.update || m_request.freshen) && present) {
                const ArchiveEntry &e = reader.entries()[existing];
                if (s.st.st_mtime <= timeFromDos(e.dosDate, e.dosTime) + 1)
                    continue;
            }
            if (present) {
                keep[existing] = false;
                replacing[existing] = &s;
            } else {
                adding.push_back(&s);
            }
        }
        if (adding.empty() && std::count(replacing.begin(), replacing.end(), nullptr) == static_cast<long>(replacing.size())) {
            archiveLock.removeCreated();
            return 0;
        }
    }

    // Every entry that stays (or may stay, when its replacement fails) must be
    // readable where the directory says, or the rewrite would lose it.
    for (size_t i = 0; i < reader.entries().size(); ++i) {
        uint64_t length = 0;
        if ((keep[i] || replacing[i]) && !reader.localRecordLength(reader.entries()[i], &length)) {
            m_caller.message("damaged entry " + reader.entries()[i].pathName
                                 + ": nothing was changed, the archive is left as it was",
                             1);
            return 0;
        }
    }

    // Written beside the archive, put in its place when complete.
    std::string temporary = m_request.archive + ".ziplib-XXXXXX";
    m_out = ::mkstemp(temporary.data());
    if (m_out < 0) {
        m_caller.message("cannot create a temporary file beside " + m_request.archive + reason(), 4);
        archiveLock.removeCreated();
        return 0;
    }
    ::fchmod(m_out, archiveLock.created() ? 0644 : original.st_mode & 07777);
    bool ok = writeArchive(reader, keep, replacing, adding, &processed);
    if (m_request.remove)
        processed = static_cast<int32_t>(std::count(keep.begin(), keep.end(), false));
    std::string failure = m_writeFailure;
    ok = ok && processed > 0;
    if (ok && ::fsync(m_out) != 0) {
        failure = reason();
        ok = false;
    }
    ::close(m_out);
    if (ok && ::rename(temporary.c_str(), m_request.archive.c_str()) != 0) {
        failure = reason();
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        archiveLock.removeCreated();
        if (!m_caller.stopped() && processed > 0)
            m_caller.message("the archive could not be written" + failure + "; it is left as it was: " + m_request.archive, 5);
        m_caller.send(EndOfBatch, 0, 0, std::string());
        return 0;
    }
    syncFolderOf(m_request.archive);
    if (m_request.move)
        for (const Source *s : m_added)
            if (!S_ISDIR(s->st.st_mode))
                ::unlink(s->path.c_str());
    m_caller.send(EndOfBatch, 0, 0, std::string());
    return processed;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t GetZipLibVersion()
{
    return kVersion;
}

extern "C" __attribute__((visibility("default"))) int32_t ZipLibExec(void *block)
{
    const Request request(static_cast<const uint8_t *>(block));
    return Writer(request).run();
}
