#include "Extractor.h"

#include "PkCrypt.h"
#include "ZipRecords.h"

#include <zlib.h>

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

Problem folderProblem()
{
    return GetLastError() == ERROR_ACCESS_DENIED ? Problem::AccessDenied : Problem::CannotCreateFolder;
}

} // namespace

Extractor::Extractor(const StubArchive &archive, std::wstring folder, Overwrite mode, std::string password)
    : m_archive(archive), m_folder(std::move(folder)), m_mode(mode), m_password(std::move(password))
{
    if (!m_folder.empty() && m_folder.back() != L'\\' && m_folder.back() != L'/')
        m_folder += L'\\';
}

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
        const std::wstring part = name.substr(start, end - start);
        if (part == L"..")
            return std::wstring();
        if (!part.empty() && part != L".") {
            if (isDeviceName(part))
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
    size_t at = 0;
    for (;;) {
        const size_t slash = relative.find(L'\\', at);
        if (slash == std::wstring::npos && !includingLast)
            return true;
        const std::wstring path = m_folder + relative.substr(0, slash);
        if (CreateDirectoryW(path.c_str(), nullptr))
            m_created.push_back(path);
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        if (slash == std::wstring::npos)
            return true;
        at = slash + 1;
    }
}

ExtractResult Extractor::run(const std::vector<bool> &selected, bool testOnly)
{
    ExtractResult result;
    const auto &entries = m_archive.entries();
    m_total = 0;
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
                if (CreateDirectoryW(folder.c_str(), nullptr))
                    m_created.push_back(folder.c_str());
                folder[i] = L'\\';
            }
    }
    for (size_t i = 0; i < entries.size() && !result.cancelled && !result.accessDenied; ++i) {
        if (!selected.empty() && !selected[i])
            continue;
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
    const std::wstring path = m_folder + relative;
    HANDLE out = INVALID_HANDLE_VALUE;
    bool existed = false;
    if (!testOnly) {
        WIN32_FILE_ATTRIBUTE_DATA existing;
        existed = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &existing);
        if (existed) {
            Overwrite rule = m_mode;
            if (rule == Overwrite::Ask) {
                OverwriteQuestion question;
                question.path = path;
                question.existingSize = (uint64_t(existing.nFileSizeHigh) << 32) | existing.nFileSizeLow;
                question.existingTime = existing.ftLastWriteTime;
                question.newSize = entry.uncompressedSize;
                FILETIME local;
                if (DosDateTimeToFileTime(entry.dosDate, entry.dosTime, &local))
                    LocalFileTimeToFileTime(&local, &question.newTime);
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
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        if (!makeFolders(relative, false)) {
            result.problems.push_back({folderProblem(), entry.name});
            return Outcome::Failed;
        }
    }
    for (;;) {
        if (!testOnly) {
            out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (out == INVALID_HANDLE_VALUE) {
                const bool denied = GetLastError() == ERROR_ACCESS_DENIED;
                result.problems.push_back({denied ? Problem::AccessDenied : Problem::CannotWrite, entry.name});
                return Outcome::Failed;
            }
            if (!existed && (m_created.empty() || m_created.back() != path))
                m_created.push_back(path);
        }
        Problem problem = Problem::None;
        const uint64_t doneBefore = m_done;
        const bool ok = writeData(entry, out, testOnly, problem);
        if (ok && !testOnly) {
            FILETIME local, utc;
            if (DosDateTimeToFileTime(entry.dosDate, entry.dosTime, &local) && LocalFileTimeToFileTime(&local, &utc))
                SetFileTime(out, nullptr, nullptr, &utc);
        }
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        if (ok)
            return Outcome::Done;
        if (!testOnly)
            DeleteFileW(path.c_str());
        m_done = doneBefore;
        if (problem == Problem::Cancelled)
            return Outcome::Cancelled;
        const bool wrongPassword = problem == Problem::WrongPassword || problem == Problem::PasswordNeeded;
        if (wrongPassword && askPassword) {
            std::string password = m_password;
            if (!askPassword(entry.name, password))
                return Outcome::Cancelled;
            m_password = password;
            continue; // try again with the new password
        }
        result.wrongPassword = result.wrongPassword || wrongPassword;
        result.diskFull = result.diskFull || problem == Problem::DiskFull;
        result.problems.push_back({problem, entry.name});
        return Outcome::Failed;
    }
}

bool Extractor::writeData(const StubEntry &entry, HANDLE out, bool testOnly, Problem &problem)
{
    uint8_t local[LocalHeader::kSize];
    if (!m_archive.readAt(entry.localHeaderOffset, local, sizeof local)
        || ByteCursor::loadU32(local) != kLocalHeaderSignature) {
        problem = Problem::Damaged;
        return false;
    }
    const LocalHeader lh = LocalHeader::parse(local);
    uint64_t at = entry.localHeaderOffset + LocalHeader::kSize + lh.nameLength + lh.extraLength;
    uint64_t remaining = entry.compressedSize;
    if (entry.method != 0 && entry.method != 8) {
        problem = Problem::Unsupported;
        return false;
    }

    PkCrypt crypt(m_password);
    if (entry.encrypted()) {
        if (m_password.empty()) {
            problem = Problem::PasswordNeeded;
            return false;
        }
        uint8_t header[12];
        if (remaining < 12 || !m_archive.readAt(at, header, sizeof header)) {
            problem = Problem::Damaged;
            return false;
        }
        const uint8_t check = (entry.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(entry.dosTime >> 8)
                                                                  : static_cast<uint8_t>(entry.crc32 >> 24);
        if (!crypt.acceptHeader(header, check)) {
            problem = Problem::WrongPassword;
            return false;
        }
        at += 12;
        remaining -= 12;
    }

    z_stream z {};
    const bool deflated = entry.method == 8;
    if (deflated && inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        problem = Problem::OutOfMemory;
        return false;
    }
    std::vector<uint8_t> in(kPiece), outBuffer(kPiece);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t written = 0;
    bool ok = true;
    bool finished = !deflated && remaining == 0;
    const auto emit = [&](const uint8_t *data, size_t count) {
        crc = crc32(crc, data, static_cast<uInt>(count));
        written += count;
        m_done += count;
        DWORD put = 0;
        if (!testOnly && (!WriteFile(out, data, static_cast<DWORD>(count), &put, nullptr) || put != count)) {
            problem = GetLastError() == ERROR_DISK_FULL || GetLastError() == ERROR_HANDLE_DISK_FULL ? Problem::DiskFull
                                                                                                  : Problem::CannotWrite;
            return false;
        }
        if (progress && !progress(m_done, m_total, entry.name)) {
            problem = Problem::Cancelled;
            return false;
        }
        return true;
    };
    while (ok && remaining > 0) {
        const size_t piece = remaining < kPiece ? static_cast<size_t>(remaining) : kPiece;
        if (!m_archive.readAt(at, in.data(), piece)) {
            problem = Problem::Damaged;
            ok = false;
            break;
        }
        at += piece;
        remaining -= piece;
        if (entry.encrypted())
            crypt.decrypt(in.data(), piece);
        if (!deflated) {
            ok = emit(in.data(), piece);
            finished = remaining == 0;
            continue;
        }
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(piece);
        while (ok && z.avail_in > 0 && !finished) {
            z.next_out = outBuffer.data();
            z.avail_out = static_cast<uInt>(outBuffer.size());
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                problem = Problem::Damaged;
                ok = false;
                break;
            }
            const size_t produced = outBuffer.size() - z.avail_out;
            if (produced > 0)
                ok = emit(outBuffer.data(), produced);
            finished = status == Z_STREAM_END;
            if (status == Z_BUF_ERROR && produced == 0)
                break;
        }
    }
    if (deflated) {
        // Flush what inflate still holds when the input ended exactly.
        while (ok && !finished) {
            z.next_out = outBuffer.data();
            z.avail_out = static_cast<uInt>(outBuffer.size());
            z.avail_in = 0;
            const int status = inflate(&z, Z_NO_FLUSH);
            const size_t produced = outBuffer.size() - z.avail_out;
            if (produced > 0)
                ok = emit(outBuffer.data(), produced);
            if (status == Z_STREAM_END)
                finished = true;
            else if (produced == 0)
                break;
        }
        inflateEnd(&z);
    }
    if (!ok)
        return false;
    if (!finished || written != entry.uncompressedSize || crc != entry.crc32) {
        // With traditional encryption a wrong password passes the one-byte
        // check one time in 256 and only shows here.
        problem = entry.encrypted() ? Problem::WrongPassword : Problem::BadCrc;
        return false;
    }
    return true;
}
