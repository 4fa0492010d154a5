// The extraction library: "UnzLibExec" extracts or tests the entries of an
// archive named in a request block, "GetUnzLibVersion" reports the interface
// version. Progress, messages, questions (overwrite, password, CRC errors)
// and skipped entries go back through the request's callback.

#include "ArchiveReader.h"
#include "Cp437.h"
#include "DosTime.h"
#include "LibraryCaller.h"
#include "PkCrypt.h"
#include "ZipRecords.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace zipformat;

namespace {

constexpr int32_t kVersion = 160;
constexpr size_t kPiece = 256 * 1024;

enum Action : int32_t {
    NewFile = 1, Progress = 2, EndOfBatch = 3, Message = 4, TotalFiles = 5, TotalSize = 6,
    PasswordRequest = 8, CrcError = 9, Overwrite = 10, Skipped = 11
};
enum SkipReason : int32_t { SkipOnFreshen = 0, SkipNoOverwrite = 1, SkipBadPassword = 3, SkipUnsafeName = 9, SkipError = 8 };

uint32_t u32At(const uint8_t *block, int offset)
{
    return ByteCursor::loadU32(block + offset);
}

std::string textAt(const uint8_t *block, uint32_t offset)
{
    return offset ? std::string(reinterpret_cast<const char *>(block + offset)) : std::string();
}

struct Request {
    uint32_t caller = 0;
    int32_t (*callback)(void *) = nullptr;
    std::string password;
    bool test = false, update = false, freshen = false, dirNames = false, overwrite = false;
    std::vector<std::string> patterns;
    std::string archive;
    uint32_t passwordTries = 1;

    explicit Request(const uint8_t *b)
    {
        caller = u32At(b, 4);
        if (const uint32_t at = u32At(b, 12))
            std::memcpy(&callback, b + at, sizeof callback);
        password = textAt(b, u32At(b, 24));
        test = u32At(b, 28) != 0;
        update = u32At(b, 48) != 0;
        freshen = u32At(b, 52) != 0;
        dirNames = u32At(b, 56) != 0;
        overwrite = u32At(b, 60) != 0;
        archive = textAt(b, u32At(b, 68));
        const uint32_t count = u32At(b, 64);
        const uint32_t slotTable = u32At(b, 72);
        for (uint32_t i = 0; slotTable && i < count; ++i)
            patterns.push_back(textAt(b, u32At(b, static_cast<int>(slotTable + 72 * i))));
        passwordTries = u32At(b, 104);
    }
};

bool selected(const Request &r, const ArchiveEntry &e)
{
    if (r.patterns.empty())
        return true;
    for (const std::string &p : r.patterns)
        if (matchesPattern(p, e.name))
            return true;
    return false;
}

// The stored name as a UTF-8 path: names flagged UTF-8 or made on Unix stay
// as they are, MS-DOS ones are converted from code page 437.
std::string fileSystemName(const ArchiveEntry &e)
{
    const bool oem = !(e.flags & kFlagUtf8) && (e.hostSystem == 0 || e.hostSystem == 6 || e.hostSystem == 11);
    std::string out;
    for (char c : e.name) {
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

// A path below the target folder, or empty when the name would land outside
// it (absolute, a drive, "..").
std::string safePath(const std::string &name, bool keepFolders)
{
    if (name.empty() || name[0] == '/')
        return std::string();
    std::string out;
    size_t start = 0;
    bool first = true;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part == "..")
            return std::string();
        if (first && part.size() == 2 && part[1] == ':')
            return std::string();
        first = false;
        if (!part.empty() && part != ".") {
            if (!out.empty())
                out += '/';
            out += part;
        }
        start = end + 1;
    }
    if (!keepFolders) {
        const size_t slash = out.rfind('/');
        if (slash != std::string::npos)
            out = out.substr(slash + 1);
    }
    return out;
}

bool makeParents(const std::string &path)
{
    for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1)) {
        const std::string folder = path.substr(0, at);
        if (!folder.empty() && ::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

class Unzipper {
public:
    Unzipper(const Request &r, ArchiveReader &archive)
        : m_request(r), m_archive(archive), m_caller(r.caller, r.callback)
    {
    }
    int32_t run();

private:
    enum class Result { Sound, Skipped, Failed, WrongPassword, Stopped };
    Result entry(const ArchiveEntry &e);
    Result inflateTo(const ArchiveEntry &e, int out, const std::string &password, uint32_t *crc, uint64_t *size);

    const Request &m_request;
    ArchiveReader &m_archive;
    LibraryCaller m_caller;
    std::string m_password;
    std::vector<uint8_t> m_in, m_out;
};

int32_t Unzipper::run()
{
    m_password = m_request.password;
    uint64_t totalSize = 0;
    int32_t totalFiles = 0;
    for (const ArchiveEntry &e : m_archive.entries())
        if (selected(m_request, e)) {
            ++totalFiles;
            totalSize += e.uncompressedSize;
        }
    m_caller.send(TotalFiles, 0, totalFiles, std::string());
    m_caller.send(TotalSize, 0, static_cast<int32_t>(totalSize > INT32_MAX ? INT32_MAX : totalSize), std::string());
    int32_t processed = 0;
    for (const ArchiveEntry &e : m_archive.entries()) {
        if (m_caller.stopped())
            break;
        if (!selected(m_request, e))
            continue;
        if (entry(e) == Result::Sound)
            ++processed;
    }
    m_caller.send(EndOfBatch, 0, 0, std::string());
    return processed;
}

Unzipper::Result Unzipper::entry(const ArchiveEntry &e)
{
    const std::string name = fileSystemName(e);
    const std::string path = safePath(name, m_request.dirNames);
    if (path.empty()) {
        m_caller.message("refused, it would be written outside the folder: " + name, 1);
        m_caller.send(Skipped, 1, SkipUnsafeName, name);
        return Result::Failed;
    }
    if (m_caller.send(NewFile, 0, static_cast<int32_t>(e.uncompressedSize), name).stop)
        return Result::Stopped;
    if (e.isFolder()) {
        if (!m_request.test && m_request.dirNames && (!makeParents(path + "/") || (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)))
            return Result::Failed;
        return Result::Sound;
    }

    int out = -1;
    std::string temporary;
    if (!m_request.test) {
        struct stat st {};
        const bool exists = ::stat(path.c_str(), &st) == 0;
        const time_t stamp = timeFromDos(e.dosDate, e.dosTime);
        if (m_request.freshen && (!exists || st.st_mtime >= stamp)) {
            m_caller.send(Skipped, 0, SkipOnFreshen, name);
            return Result::Skipped;
        }
        if (m_request.update && exists && st.st_mtime >= stamp) {
            m_caller.send(Skipped, 0, SkipOnFreshen, name);
            return Result::Skipped;
        }
        if (exists && !m_request.overwrite && !m_request.update && !m_request.freshen) {
            const LibraryCaller::Answer a = m_caller.send(Overwrite, st.st_mtime < stamp ? 1 : 0, 0, name);
            if ((a.value & 0xFF) == 0) {
                m_caller.send(Skipped, 0, SkipNoOverwrite, name);
                return Result::Skipped;
            }
        }
        if (!makeParents(path)) {
            m_caller.message("cannot create the folder of " + name, 2);
            return Result::Failed;
        }
        // Written beside the target and renamed over it once sound.
        temporary = path + ".unzlib-partial";
        out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (out < 0) {
            m_caller.message("cannot write " + name, 2);
            return Result::Failed;
        }
    }

    uint32_t tries = m_request.passwordTries ? m_request.passwordTries : 1;
    for (;;) {
        uint32_t crc = 0;
        uint64_t size = 0;
        if (out >= 0 && (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) != 0))
            break;
        Result r = inflateTo(e, out, m_password, &crc, &size);
        if (r == Result::WrongPassword && tries > 0) {
            const LibraryCaller::Answer a = m_caller.send(PasswordRequest, 0, static_cast<int32_t>(tries), name);
            if (a.code == 1 && !a.text.empty()) {
                m_password = a.text;
                tries = static_cast<uint32_t>(a.value) > 0 ? static_cast<uint32_t>(a.value) - 1 : 0;
                continue;
            }
        }
        if (r == Result::Sound && (crc != e.crc32 || size != e.uncompressedSize)) {
            const LibraryCaller::Answer a = m_caller.send(CrcError, static_cast<int32_t>(crc), static_cast<int32_t>(e.crc32), name);
            r = a.code == 1 ? Result::Sound : Result::Failed;
            if (r == Result::Failed)
                m_caller.message("CRC error: " + name, 3);
        }
        if (r == Result::WrongPassword) {
            m_caller.message("wrong password: " + name, 4);
            m_caller.send(Skipped, 0, SkipBadPassword, name);
        }
        if (out >= 0) {
            ::close(out);
            if (r == Result::Sound) {
                const struct timeval times[2] = {{timeFromDos(e.dosDate, e.dosTime), 0}, {timeFromDos(e.dosDate, e.dosTime), 0}};
                ::utimes(temporary.c_str(), times);
                if (::rename(temporary.c_str(), path.c_str()) != 0)
                    r = Result::Failed;
            }
            if (r != Result::Sound)
                ::unlink(temporary.c_str());
        }
        return r;
    }
    ::close(out);
    ::unlink(temporary.c_str());
    return Result::Failed;
}

Unzipper::Result Unzipper::inflateTo(const ArchiveEntry &e, int out, const std::string &password, uint32_t *crc,
                                     uint64_t *size)
{
    uint64_t at = 0;
    if (!m_archive.dataOffset(e, &at)) {
        m_caller.message("damaged local header: " + e.name, 5);
        return Result::Failed;
    }
    if (e.method != 0 && e.method != 8) {
        m_caller.message("compression method not supported: " + e.name, 6);
        return Result::Failed;
    }
    uint64_t remaining = e.compressedSize;
    PkCrypt crypt(password);
    if (e.encrypted()) {
        uint8_t header[12];
        if (password.empty() || remaining < 12 || !m_archive.readAt(at, header, sizeof header))
            return Result::WrongPassword;
        const uint8_t check = (e.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(e.dosTime >> 8)
                                                              : static_cast<uint8_t>(e.crc32 >> 24);
        if (!crypt.acceptHeader(header, check))
            return Result::WrongPassword;
        at += 12;
        remaining -= 12;
    }
    z_stream z {};
    const bool deflated = e.method == 8;
    if (deflated && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return Result::Failed;
    // Buffers live as long as the run: thousands of small entries must not
    // each pay for a fresh quarter megabyte.
    std::vector<uint8_t> &in = m_in, &buffer = m_out;
    in.resize(kPiece);
    buffer.resize(kPiece);
    uLong running = crc32(0, nullptr, 0);
    bool ok = true, finished = !deflated;
    const auto emit = [&](const uint8_t *data, size_t n) {
        running = crc32(running, data, static_cast<uInt>(n));
        *size += n;
        if (out >= 0 && ::write(out, data, n) != static_cast<ssize_t>(n)) {
            m_caller.message("cannot write (disk full?): " + e.name, 7);
            return false;
        }
        if (m_caller.send(Progress, 0, static_cast<int32_t>(n), std::string()).stop)
            return false;
        return true;
    };
    while (ok && remaining > 0) {
        const size_t piece = remaining < kPiece ? static_cast<size_t>(remaining) : kPiece;
        if (!m_archive.readAt(at, in.data(), piece)) {
            m_caller.message("data cut short: " + e.name, 5);
            ok = false;
            break;
        }
        at += piece;
        remaining -= piece;
        if (e.encrypted())
            crypt.decrypt(in.data(), piece);
        if (!deflated) {
            ok = emit(in.data(), piece);
            continue;
        }
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(piece);
        while (ok && !finished && (z.avail_in > 0 || z.avail_out == 0)) {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                m_caller.message("damaged data: " + e.name, 5);
                ok = false;
                break;
            }
            const size_t produced = buffer.size() - z.avail_out;
            if (produced)
                ok = emit(buffer.data(), produced);
            finished = status == Z_STREAM_END;
            if (status == Z_BUF_ERROR && produced == 0)
                break;
        }
    }
    if (deflated)
        inflateEnd(&z);
    *crc = static_cast<uint32_t>(running);
    if (!ok)
        return m_caller.stopped() ? Result::Stopped : Result::Failed;
    if (deflated && !finished) {
        if (e.encrypted())
            return Result::WrongPassword;
        m_caller.message("damaged data (the stream ends early): " + e.name, 5);
        return Result::Failed;
    }
    if (e.encrypted() && *crc != e.crc32)
        return Result::WrongPassword; // the check byte let a wrong password through
    return Result::Sound;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t GetUnzLibVersion()
{
    return kVersion;
}

extern "C" __attribute__((visibility("default"))) int32_t UnzLibExec(void *block)
{
    const Request request(static_cast<const uint8_t *>(block));
    ArchiveReader archive;
    if (!archive.open(request.archive)) {
        LibraryCaller(request.caller, request.callback).message(archive.error() + ": " + request.archive, 1);
        return 0;
    }
    return Unzipper(request, archive).run();
}
