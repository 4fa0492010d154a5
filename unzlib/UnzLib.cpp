// The extraction library: "UnzLibExec" extracts or tests the entries of an
// archive named in a request block, "GetUnzLibVersion" reports the interface
// version. Progress, messages, questions (overwrite, password, CRC errors)
// and skipped entries go back through the request's callback.

#include "AesReader.h"
#include "ArchiveReader.h"
#include "DosTime.h"
#include "LibraryCaller.h"
#include "PkCrypt.h"
#include "TargetFolder.h"
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
    std::string baseFolder; // where names are extracted to; empty: the current folder
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
        baseFolder = textAt(b, u32At(b, 108));
    }
};

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

bool writeAll(int fd, const uint8_t *data, size_t n)
{
    while (n > 0) {
        const ssize_t done = ::write(fd, data, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC;
            return false;
        }
        data += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

class Unzipper {
public:
    Unzipper(const Request &r, ArchiveReader &archive, const TargetFolder &target)
        : m_request(r), m_archive(archive), m_target(target), m_caller(r.caller, r.callback)
    {
    }
    int32_t run();

private:
    enum class Result { Sound, Skipped, Failed, WrongPassword, Stopped };
    Result entry(const ArchiveEntry &e);
    // Asks about an existing file as the request says; false skips the entry.
    bool mayWrite(const ArchiveEntry &e, const std::string &name, int folder, const std::string &leaf);
    // Extracts or tests with the password, asking again when it is wrong.
    Result extractWithPassword(const ArchiveEntry &e, const std::string &name, int out);
    Result inflateTo(const ArchiveEntry &e, int out, const std::string &password, uint32_t *crc, uint64_t *size);

    const Request &m_request;
    ArchiveReader &m_archive;
    const TargetFolder &m_target;
    LibraryCaller m_caller;
    std::string m_password;
    std::vector<uint8_t> m_in, m_out;
    AesReader m_aes;
};

int32_t Unzipper::run()
{
    m_password = m_request.password;
    uint64_t totalSize = 0;
    int32_t totalFiles = 0;
    const std::vector<bool> chosen = m_archive.select(m_request.patterns);
    for (size_t i = 0; i < chosen.size(); ++i)
        if (chosen[i]) {
            ++totalFiles;
            totalSize += m_archive.entries()[i].uncompressedSize;
        }
    m_caller.send(TotalFiles, 0, totalFiles, std::string());
    m_caller.send(TotalSize, 0, static_cast<int32_t>(totalSize > INT32_MAX ? INT32_MAX : totalSize), std::string());
    int32_t processed = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (m_caller.stopped())
            break;
        if (chosen[i] && entry(m_archive.entries()[i]) == Result::Sound)
            ++processed;
    }
    m_caller.send(EndOfBatch, 0, 0, std::string());
    return processed;
}

Unzipper::Result Unzipper::entry(const ArchiveEntry &e)
{
    const std::string &name = e.pathName;
    const std::string path = safePath(name, m_request.dirNames);
    if (path.empty()) {
        m_caller.message("refused, it would be written outside the folder: " + name, 1);
        m_caller.send(Skipped, 1, SkipUnsafeName, name);
        return Result::Failed;
    }
    if (e.overlaps) {
        // One compressed record listed under many names: a zip bomb or damage.
        m_caller.message("refused, its data overlaps another entry's (damaged archive): " + name, 5);
        m_caller.send(Skipped, 5, SkipError, name);
        return Result::Failed;
    }
    if (m_caller.send(NewFile, 0, static_cast<int32_t>(e.uncompressedSize), name).stop)
        return Result::Stopped;
    std::string error;
    if (e.isFolder()) {
        if (!m_request.test && m_request.dirNames && !m_target.makeFolders(path, &error)) {
            m_caller.message("cannot create the folder " + name + " (" + error + ")", 2);
            return Result::Failed;
        }
        return Result::Sound;
    }
    if (m_request.test)
        return extractWithPassword(e, name, -1);

    std::string leaf, temporary;
    const int folder = m_target.openFolderOf(path, &leaf, &error);
    if (folder < 0) {
        m_caller.message("cannot create the folder of " + name + " (" + error + ")", 2);
        return Result::Failed;
    }
    Result r = Result::Skipped;
    if (mayWrite(e, name, folder, leaf)) {
        const int out = TargetFolder::createTemporary(folder, leaf, &temporary, &error);
        if (out < 0) {
            m_caller.message("cannot write " + name + " (" + error + ")", 2);
            ::close(folder);
            return Result::Failed;
        }
        r = extractWithPassword(e, name, out);
        if (r == Result::Sound) {
            const time_t stamp = timeFromDos(e.dosDate, e.dosTime);
            const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
            ::futimens(out, times);
        }
        ::close(out);
        // Checked again right before the rename: a link must never be replaced.
        struct stat st {};
        if (r == Result::Sound && ::fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
            m_caller.message("refused, a symbolic link is in the way: " + name, 2);
            r = Result::Failed;
        }
        if (r == Result::Sound && ::renameat(folder, temporary.c_str(), folder, leaf.c_str()) != 0) {
            m_caller.message("cannot write " + name + " (" + std::strerror(errno) + ")", 2);
            r = Result::Failed;
        }
        if (r != Result::Sound)
            ::unlinkat(folder, temporary.c_str(), 0);
    }
    ::close(folder);
    return r;
}

bool Unzipper::mayWrite(const ArchiveEntry &e, const std::string &name, int folder, const std::string &leaf)
{
    struct stat st {};
    const bool exists = ::fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && (S_ISLNK(st.st_mode) || S_ISDIR(st.st_mode))) {
        m_caller.message(std::string(S_ISLNK(st.st_mode) ? "refused, a symbolic link is in the way: "
                                                           : "refused, a folder is in the way: ")
                             + name,
                         2);
        m_caller.send(Skipped, 2, SkipError, name);
        return false;
    }
    const time_t stamp = timeFromDos(e.dosDate, e.dosTime);
    if ((m_request.freshen && (!exists || st.st_mtime >= stamp)) || (m_request.update && exists && st.st_mtime >= stamp)) {
        m_caller.send(Skipped, 0, SkipOnFreshen, name);
        return false;
    }
    if (exists && !m_request.overwrite && !m_request.update && !m_request.freshen) {
        const LibraryCaller::Answer a = m_caller.send(Overwrite, st.st_mtime < stamp ? 1 : 0, 0, name);
        if ((a.value & 0xFF) == 0) {
            m_caller.send(Skipped, 0, SkipNoOverwrite, name);
            return false;
        }
    }
    return true;
}

Unzipper::Result Unzipper::extractWithPassword(const ArchiveEntry &e, const std::string &name, int out)
{
    uint32_t tries = m_request.passwordTries ? m_request.passwordTries : 1;
    for (;;) {
        uint32_t crc = 0;
        uint64_t size = 0;
        if (out >= 0 && (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) != 0))
            return Result::Failed;
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
        return r;
    }
}

Unzipper::Result Unzipper::inflateTo(const ArchiveEntry &e, int out, const std::string &password, uint32_t *crc,
                                     uint64_t *size)
{
    uint64_t at = 0;
    if (!m_archive.dataOffset(e, &at)) {
        m_caller.message("damaged local header: " + e.pathName, 5);
        return Result::Failed;
    }
    // WinZip AES: method 99, the real method in the 0x9901 extra field.
    const bool aes = e.method == kAesMethod;
    AesField field;
    // Bit 6: PKWARE's strong encryption, nothing we can read.
    if ((e.flags & 0x40)
        || (aes && (!e.encrypted()
                || !readAesField(reinterpret_cast<const uint8_t *>(e.centralExtra.data()), e.centralExtra.size(), &field)))) {
        m_caller.message("encryption not supported: " + e.pathName, 6);
        return Result::Failed;
    }
    const uint16_t method = aes ? field.method : e.method;
    if (method != 0 && method != 8) {
        m_caller.message("compression method not supported: " + e.pathName, 6);
        return Result::Failed;
    }
    uint64_t remaining = e.compressedSize;
    PkCrypt crypt(password);
    if (aes) {
        uint8_t head[16 + kAesVerifierLength];
        const size_t headLength = field.saltLength() + kAesVerifierLength;
        if (password.empty())
            return Result::WrongPassword;
        if (remaining < field.overhead() || !m_archive.readAt(at, head, headLength)) {
            m_caller.message("data cut short: " + e.pathName, 5);
            return Result::Failed;
        }
        switch (m_aes.start(field, password, head)) {
        case AesReader::Start::Ready: break;
        case AesReader::Start::WrongPassword: return Result::WrongPassword;
        case AesReader::Start::Failed:
            m_caller.message("AES decryption failed: " + e.pathName, 6);
            return Result::Failed;
        }
        at += headLength;
        remaining -= field.overhead();
    } else if (e.encrypted()) {
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
    const bool deflated = method == 8;
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
        // Never more than the directory declares: a forged size cannot fill the disk.
        const bool tooLong = n > e.uncompressedSize - *size;
        if (tooLong)
            n = static_cast<size_t>(e.uncompressedSize - *size);
        running = crc32(running, data, static_cast<uInt>(n));
        *size += n;
        if (out >= 0 && n > 0 && !writeAll(out, data, n)) {
            m_caller.message("cannot write " + e.pathName + " (" + std::strerror(errno) + ")", 7);
            return false;
        }
        if (tooLong) {
            m_caller.message("damaged data (longer than its stated size): " + e.pathName, 5);
            return false;
        }
        if (m_caller.send(Progress, 0, static_cast<int32_t>(n), std::string()).stop)
            return false;
        return true;
    };
    while (ok && remaining > 0) {
        const size_t piece = remaining < kPiece ? static_cast<size_t>(remaining) : kPiece;
        if (!m_archive.readAt(at, in.data(), piece)) {
            m_caller.message("data cut short: " + e.pathName, 5);
            ok = false;
            break;
        }
        at += piece;
        remaining -= piece;
        if (aes && !m_aes.decrypt(in.data(), piece)) {
            m_caller.message("AES decryption failed: " + e.pathName, 6);
            ok = false;
            break;
        }
        if (e.encrypted() && !aes)
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
                m_caller.message("damaged data: " + e.pathName, 5);
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
    if (aes) {
        // The password passed the verifier; a code that does not match
        // means the data was changed.
        uint8_t mac[kAesMacLength];
        if (!m_archive.readAt(at, mac, sizeof mac) || !m_aes.macMatches(mac)) {
            m_caller.message("damaged data (its authentication code does not match): " + e.pathName, 5);
            return Result::Failed;
        }
        // AE-2 stores no CRC: the code stands for it.
        if (!field.checksCrc(e.crc32))
            *crc = e.crc32;
    }
    if (deflated && !finished) {
        if (e.encrypted() && !aes)
            return Result::WrongPassword;
        m_caller.message("damaged data (the stream ends early): " + e.pathName, 5);
        return Result::Failed;
    }
    if (e.encrypted() && !aes && *crc != e.crc32)
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
    TargetFolder target;
    std::string error;
    if (!request.test && !target.open(request.baseFolder, &error)) {
        LibraryCaller(request.caller, request.callback).message("cannot open the folder " + request.baseFolder + " (" + error + ")", 2);
        return 0;
    }
    return Unzipper(request, archive, target).run();
}
