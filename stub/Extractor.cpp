#include "Extractor.h"

#include "AesDecrypter.h"
#include "PkCrypt.h"
#include "ZipRecords.h"

#include <zlib.h>

#include <set>

using namespace zipformat;

namespace {

constexpr size_t kPiece = 256 * 1024;

bool isDeviceName(const std::wstring &component)
{
    std::wstring stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && (stem.back() == L' '))
        stem.pop_back();
    for (wchar_t &c : stem)
        c = static_cast<wchar_t>(towupper(c));
    static const wchar_t *const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t *d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0)
        && stem[3] >= L'1' && stem[3] <= L'9';
}

size_t rootLength(const std::wstring &path)
{
    auto isSlash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    size_t start = 0;
    if (path.compare(0, 4, L"\\\\?\\") == 0) {
        if (path.compare(4, 4, L"UNC\\") != 0)
            return path.size() >= 7 && path[5] == L':' ? 7 : 4;
        start = 8; // "\\?\UNC\server\share\"
    } else if (path.size() >= 2 && isSlash(path[0]) && isSlash(path[1])) {
        start = 2; // "\\server\share\"
    } else if (path.size() >= 3 && path[1] == L':' && isSlash(path[2])) {
        return 3;
    } else if (path.size() >= 2 && path[1] == L':') {
        return 2;
    } else {
        return !path.empty() && isSlash(path[0]) ? 1 : 0;
    }
    // Past the server and the share.
    size_t at = start;
    for (int part = 0; part < 2 && at < path.size(); ++part) {
        while (at < path.size() && !isSlash(path[at]))
            ++at;
        if (at < path.size())
            ++at;
    }
    return at;
}

bool isFolder(const wchar_t *path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Problem folderProblem()
{
    return GetLastError() == ERROR_ACCESS_DENIED ? Problem::AccessDenied : Problem::CannotCreateFolder;
}

Problem writeProblem()
{
    switch (GetLastError()) {
    case ERROR_ACCESS_DENIED: return Problem::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Problem::DiskFull;
    default: return Problem::CannotWrite;
    }
}

// An absolute folder in its long-path form: "C:\x" as "\\?\C:\x",
// "\\server\share" as "\\?\UNC\server\share". That form takes no "/", "."
// or "..", so the folder is made whole first.
std::wstring longPathForm(const std::wstring &folder)
{
    const bool drive = folder.size() >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/');
    const bool unc = folder.size() >= 3 && (folder[0] == L'\\' || folder[0] == L'/')
        && (folder[1] == L'\\' || folder[1] == L'/') && folder[2] != L'?' && folder[2] != L'.';
    if (!drive && !unc)
        return folder;
    const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return folder;
    std::wstring full(size, L'\0');
    const DWORD n = GetFullPathNameW(folder.c_str(), size, &full[0], nullptr);
    if (n == 0 || n >= size)
        return folder;
    full.resize(n);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

uint64_t ticks(const FILETIME &t)
{
    return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

} // namespace

// What a run keeps from entry to entry, so that each small file costs no
// more than its own bytes: the buffers, the inflater, the decrypters, the
// folders known to exist.
struct Extractor::Work {
    std::vector<uint8_t> in = std::vector<uint8_t>(kPiece);
    std::vector<uint8_t> out = std::vector<uint8_t>(kPiece);
    z_stream z {};
    bool inflating = false;
    // Where the data of the entry being read lies, once startData found it.
    uint64_t at = 0;
    uint64_t remaining = 0;
    PkCrypt crypt {std::string()};
    WinZipAesDecrypter aes;
    std::set<std::wstring> folders; // relative to the folder, made or found
    int64_t bias = 0;               // local time minus UTC, in FILETIME ticks
    bool biasKnown = false;
    ULONGLONG lastProgress = 0;
    bool progressShown = false;

    ~Work()
    {
        if (inflating)
            inflateEnd(&z);
    }
};

Extractor::Extractor(const StubArchive &archive, std::wstring folder, Overwrite mode, std::string password)
    : m_archive(archive), m_shownFolder(std::move(folder)), m_mode(mode), m_password(std::move(password)),
      m_work(new Work)
{
    if (!m_shownFolder.empty() && m_shownFolder.back() != L'\\' && m_shownFolder.back() != L'/')
        m_shownFolder += L'\\';
    m_folder = longPathForm(m_shownFolder);
    if (!m_folder.empty() && m_folder.back() != L'\\')
        m_folder += L'\\';
}

Extractor::~Extractor() = default;

std::wstring Extractor::safeRelativePath(const std::wstring &name)
{
    if (name.empty() || name[0] == L'/' || name[0] == L'\\' || name.find(L':') != std::wstring::npos)
        return std::wstring();
    std::wstring out;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = name.size();
        std::wstring part = name.substr(start, end - start);
        if (part == L"..")
            return std::wstring();
        if (!part.empty() && part != L".") {
            while (!part.empty() && (part.back() == L'.' || part.back() == L' '))
                part.pop_back();
            if (part.empty() || isDeviceName(part))
                return std::wstring();
            for (wchar_t c : part)
                if (c < 32 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
                    return std::wstring();
            if (!out.empty())
                out += L'\\';
            out += part;
        }
        start = end + 1;
    }
    return out;
}

bool Extractor::makeFolders(const std::wstring &relative, bool includingLast)
{
    const size_t end = includingLast ? relative.size() : relative.rfind(L'\\');
    if (end == std::wstring::npos || end == 0)
        return true;
    std::set<std::wstring> &known = m_work->folders;
    if (known.count(relative.substr(0, end)))
        return true;
    // Each folder is created once a run: parents already made or found are
    // not asked for again.
    for (size_t at = 0;;) {
        size_t slash = relative.find(L'\\', at);
        if (slash == std::wstring::npos || slash > end)
            slash = end;
        std::wstring part = relative.substr(0, slash);
        if (!known.count(part)) {
            const std::wstring path = m_folder + part;
            if (CreateDirectoryW(path.c_str(), nullptr))
                m_created.push_back(path);
            else if (GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
            known.insert(std::move(part));
        }
        if (slash == end)
            return true;
        at = slash + 1;
    }
}

bool Extractor::fileTime(const StubEntry &entry, FILETIME &utc)
{
    FILETIME local;
    if (!DosDateTimeToFileTime(entry.dosDate, entry.dosTime, &local))
        return false;
    // LocalFileTimeToFileTime applies today's offset whatever the date, so
    // one call gives the offset for the whole run.
    if (!m_work->biasKnown) {
        FILETIME converted;
        if (!LocalFileTimeToFileTime(&local, &converted))
            return false;
        m_work->bias = static_cast<int64_t>(ticks(local) - ticks(converted));
        m_work->biasKnown = true;
    }
    const uint64_t value = ticks(local) - static_cast<uint64_t>(m_work->bias);
    utc.dwLowDateTime = static_cast<DWORD>(value);
    utc.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return true;
}

bool Extractor::tellProgress(const StubEntry &entry, bool now)
{
    if (!progress)
        return true;
    const ULONGLONG tick = GetTickCount64();
    if (!now && m_work->progressShown && tick - m_work->lastProgress < 40)
        return true;
    m_work->lastProgress = tick;
    m_work->progressShown = true;
    return progress(m_done, m_total, entry.name);
}

ExtractResult Extractor::run(const std::vector<bool> &selected, bool testOnly)
{
    ExtractResult result;
    const auto &entries = m_archive.entries();
    m_total = 0;
    m_work->progressShown = false;
    for (size_t i = 0; i < entries.size(); ++i)
        if (selected.empty() || selected[i])
            m_total += entries[i].uncompressedSize;
    if (!testOnly && !m_folder.empty()) {
        // The folder itself, with its parents, after its root ("C:\",
        // "\\server\share\", "\\?\C:\", "\" or none for a relative folder).
        std::wstring folder = m_folder;
        for (size_t i = rootLength(folder); i < folder.size(); ++i)
            if (folder[i] == L'\\') {
                folder[i] = 0;
                if (CreateDirectoryW(folder.c_str(), nullptr)) {
                    m_created.push_back(folder.c_str());
                } else if (GetLastError() == ERROR_ACCESS_DENIED && !isFolder(folder.c_str())) {
                    // A new folder where the user may not make one (under
                    // C:\Program Files): every write would fail for a
                    // missing folder, so stop here and say it is the rights.
                    result.accessDenied = true;
                    return result;
                }
                folder[i] = L'\\';
            }
    }
    const StubEntry *last = nullptr;
    for (size_t i = 0; i < entries.size() && !result.cancelled && !result.accessDenied; ++i) {
        if (!selected.empty() && !selected[i])
            continue;
        last = &entries[i];
        switch (extractEntry(entries[i], testOnly, result)) {
        case Outcome::Done: ++result.extracted; break;
        case Outcome::Skipped: ++result.skipped; break;
        case Outcome::Failed:
            ++result.failed;
            // No right to write into the folder: stop at once, so that the
            // run can start again elevated instead of failing file by file.
            if (result.extracted == 0 && result.problems.back().problem == Problem::AccessDenied)
                result.accessDenied = true;
            break;
        case Outcome::Cancelled: result.cancelled = true; break;
        }
    }
    if (last && !result.cancelled)
        tellProgress(*last, true);
    return result;
}

int Extractor::removeCreated()
{
    int removed = 0;
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        const DWORD attributes = GetFileAttributesW(it->c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        const bool gone = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(it->c_str())
                                                                  : DeleteFileW(it->c_str());
        removed += gone ? 1 : 0;
    }
    m_created.clear();
    m_work->folders.clear();
    return removed;
}

Extractor::Outcome Extractor::extractEntry(const StubEntry &entry, bool testOnly, ExtractResult &result)
{
    const std::wstring relative = safeRelativePath(entry.name);
    if (relative.empty()) {
        result.problems.push_back({Problem::OutsideFolder, entry.name});
        return Outcome::Failed;
    }
    if (entry.isFolder()) {
        if (!testOnly && !makeFolders(relative, true)) {
            result.problems.push_back({folderProblem(), entry.name});
            return Outcome::Failed;
        }
        return Outcome::Done;
    }
    const auto fail = [&](Problem problem) {
        result.wrongPassword = result.wrongPassword || problem == Problem::WrongPassword
            || problem == Problem::PasswordNeeded;
        result.diskFull = result.diskFull || problem == Problem::DiskFull;
        result.problems.push_back({problem, entry.name});
        return Outcome::Failed;
    };

    // One open for a new file: CREATE_NEW both makes it and says whether
    // one was there. An existing file is only replaced once the password
    // is known to be right.
    const std::wstring path = m_folder + relative;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!testOnly) {
        if (!makeFolders(relative, false))
            return fail(folderProblem());
        out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            m_created.push_back(path);
        } else if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) {
            WIN32_FILE_ATTRIBUTE_DATA existing {};
            GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &existing);
            if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                return fail(Problem::CannotWrite); // a folder of that name is in the way
            Overwrite rule = m_mode;
            if (rule == Overwrite::Ask) {
                OverwriteQuestion question;
                question.path = m_shownFolder + relative;
                question.existingSize = (uint64_t(existing.nFileSizeHigh) << 32) | existing.nFileSizeLow;
                question.existingTime = existing.ftLastWriteTime;
                question.newSize = entry.uncompressedSize;
                fileTime(entry, question.newTime);
                const OverwriteAnswer answer = askOverwrite ? askOverwrite(question) : OverwriteAnswer::No;
                if (answer == OverwriteAnswer::Cancel)
                    return Outcome::Cancelled;
                if (answer == OverwriteAnswer::YesToAll)
                    m_mode = Overwrite::Always;
                if (answer == OverwriteAnswer::NoToAll)
                    m_mode = Overwrite::Never;
                rule = answer == OverwriteAnswer::Yes || answer == OverwriteAnswer::YesToAll ? Overwrite::Always
                                                                                           : Overwrite::Never;
            }
            if (rule == Overwrite::Never) {
                m_done += entry.uncompressedSize;
                return Outcome::Skipped;
            }
        } else {
            return fail(writeProblem());
        }
    }
    const auto discard = [&]() {
        if (out != INVALID_HANDLE_VALUE) {
            CloseHandle(out);
            DeleteFileW(path.c_str());
            if (!m_created.empty() && m_created.back() == path)
                m_created.pop_back();
        }
    };

    const uint64_t doneBefore = m_done;
    for (;;) {
        Problem problem = startData(entry);
        if (problem == Problem::None && !testOnly && out == INVALID_HANDLE_VALUE) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (out == INVALID_HANDLE_VALUE)
                return fail(writeProblem());
        }
        if (problem == Problem::None && copyData(entry, out, problem)) {
            FILETIME utc;
            if (!testOnly && fileTime(entry, utc))
                SetFileTime(out, nullptr, nullptr, &utc);
            if (out != INVALID_HANDLE_VALUE)
                CloseHandle(out);
            return Outcome::Done;
        }
        m_done = doneBefore;
        const bool wrongPassword = problem == Problem::WrongPassword || problem == Problem::PasswordNeeded;
        std::string password = m_password;
        if (wrongPassword && askPassword && askPassword(entry.name, password)) {
            m_password = password;
            // Written with the wrong password (it passed the check byte):
            // start the file again.
            LARGE_INTEGER zero {};
            if (out != INVALID_HANDLE_VALUE && (!SetFilePointerEx(out, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(out))) {
                discard();
                return fail(writeProblem());
            }
            continue;
        }
        discard();
        if (problem == Problem::Cancelled || (wrongPassword && askPassword))
            return Outcome::Cancelled;
        return fail(problem);
    }
}

Problem Extractor::startData(const StubEntry &entry)
{
    Work &w = *m_work;
    uint8_t local[LocalHeader::kSize];
    if (!m_archive.readAt(entry.localHeaderOffset, local, sizeof local)
        || ByteCursor::loadU32(local) != kLocalHeaderSignature)
        return Problem::Damaged;
    const LocalHeader lh = LocalHeader::parse(local);
    w.at = entry.localHeaderOffset + LocalHeader::kSize + lh.nameLength + lh.extraLength;
    w.remaining = entry.compressedSize;
    // Bit 6: PKWARE's strong encryption, which the stub does not know.
    const bool aes = entry.method == kAesMethod;
    const uint16_t method = aes ? entry.aes.method : entry.method;
    if ((entry.flags & 0x40) || (aes && entry.aes.version == 0) || (method != 0 && method != 8))
        return Problem::Unsupported;
    if (!entry.encrypted())
        return aes ? Problem::Damaged : Problem::None;
    if (m_password.empty())
        return Problem::PasswordNeeded;
    if (aes) {
        uint8_t head[16 + kAesVerifierLength];
        const size_t headLength = entry.aes.saltLength() + kAesVerifierLength;
        if (w.remaining < entry.aes.overhead() || !m_archive.readAt(w.at, head, headLength))
            return Problem::Damaged;
        switch (w.aes.start(entry.aes, m_password, head)) {
        case WinZipAesDecrypter::Start::Ready: break;
        case WinZipAesDecrypter::Start::WrongPassword: return Problem::WrongPassword;
        case WinZipAesDecrypter::Start::Failed: return Problem::Unsupported; // no AES on this system
        }
        w.at += headLength;
        w.remaining -= entry.aes.overhead();
        return Problem::None;
    }
    uint8_t header[12];
    if (w.remaining < 12 || !m_archive.readAt(w.at, header, sizeof header))
        return Problem::Damaged;
    w.crypt = PkCrypt(m_password);
    const uint8_t check = (entry.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(entry.dosTime >> 8)
                                                              : static_cast<uint8_t>(entry.crc32 >> 24);
    if (!w.crypt.acceptHeader(header, check))
        return Problem::WrongPassword;
    w.at += 12;
    w.remaining -= 12;
    return Problem::None;
}

bool Extractor::copyData(const StubEntry &entry, HANDLE out, Problem &problem)
{
    Work &w = *m_work;
    const bool aes = entry.method == kAesMethod;
    const bool pkcrypt = entry.encrypted() && !aes;
    const bool deflated = (aes ? entry.aes.method : entry.method) == 8;
    z_stream &z = w.z;
    if (deflated) {
        // One inflater for the run, reset for each entry.
        const int status = w.inflating ? inflateReset(&z) : inflateInit2(&z, -MAX_WBITS);
        if (status != Z_OK) {
            problem = Problem::OutOfMemory;
            return false;
        }
        w.inflating = true;
    }
    uLong crc = crc32(0, nullptr, 0);
    uint64_t written = 0;
    bool ok = true;
    bool finished = !deflated && w.remaining == 0;
    const auto emit = [&](const uint8_t *data, size_t count) {
        // Never more than the directory declares: a forged size cannot fill the disk.
        if (count > entry.uncompressedSize - written) {
            problem = pkcrypt ? Problem::WrongPassword : aes ? Problem::Damaged : Problem::BadCrc;
            return false;
        }
        crc = crc32(crc, data, static_cast<uInt>(count));
        written += count;
        m_done += count;
        DWORD put = 0;
        if (out != INVALID_HANDLE_VALUE && (!WriteFile(out, data, static_cast<DWORD>(count), &put, nullptr) || put != count)) {
            problem = writeProblem() == Problem::DiskFull ? Problem::DiskFull : Problem::CannotWrite;
            return false;
        }
        if (!tellProgress(entry, false)) {
            problem = Problem::Cancelled;
            return false;
        }
        return true;
    };
    while (ok && w.remaining > 0) {
        const size_t piece = w.remaining < kPiece ? static_cast<size_t>(w.remaining) : kPiece;
        uint8_t *in = w.in.data();
        if (!m_archive.readAt(w.at, in, piece)) {
            problem = Problem::Damaged;
            ok = false;
            break;
        }
        w.at += piece;
        w.remaining -= piece;
        if (pkcrypt)
            w.crypt.decrypt(in, piece);
        if (aes && !w.aes.decrypt(in, piece)) {
            problem = Problem::Unsupported;
            ok = false;
            break;
        }
        if (!deflated) {
            ok = emit(in, piece);
            finished = w.remaining == 0;
            continue;
        }
        z.next_in = in;
        z.avail_in = static_cast<uInt>(piece);
        while (ok && z.avail_in > 0 && !finished) {
            z.next_out = w.out.data();
            z.avail_out = static_cast<uInt>(w.out.size());
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                problem = Problem::Damaged;
                ok = false;
                break;
            }
            const size_t produced = w.out.size() - z.avail_out;
            if (produced > 0)
                ok = emit(w.out.data(), produced);
            finished = status == Z_STREAM_END;
            if (status == Z_BUF_ERROR && produced == 0)
                break;
        }
    }
    // Flush what inflate still holds when the input ended exactly.
    while (deflated && ok && !finished) {
        z.next_out = w.out.data();
        z.avail_out = static_cast<uInt>(w.out.size());
        z.avail_in = 0;
        const int status = inflate(&z, Z_NO_FLUSH);
        const size_t produced = w.out.size() - z.avail_out;
        if (produced > 0)
            ok = emit(w.out.data(), produced);
        if (status == Z_STREAM_END)
            finished = true;
        else if (produced == 0)
            break;
    }
    if (!ok)
        return false;
    if (aes) {
        // The code over the encrypted data tells damage from a sound entry;
        // the password itself was already checked by the verifier.
        uint8_t mac[kAesMacLength];
        if (!m_archive.readAt(w.at, mac, sizeof mac) || !w.aes.macMatches(mac)) {
            problem = Problem::Damaged;
            return false;
        }
    }
    const bool crcChecked = !aes || entry.aes.checksCrc(entry.crc32);
    if (!finished || written != entry.uncompressedSize || (crcChecked && crc != entry.crc32)) {
        // With traditional encryption a wrong password passes the one-byte
        // check one time in 256 and only shows here.
        problem = pkcrypt ? Problem::WrongPassword : Problem::BadCrc;
        return false;
    }
    return true;
}
