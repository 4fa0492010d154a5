#include "StubArchive.h"

#include "CentralDirectoryReader.h"

#include <zlib.h>

#include <cstring>

using namespace zipformat;

std::wstring decodeText(const std::string &bytes, bool utf8, unsigned fallbackCodePage)
{
    if (bytes.empty())
        return std::wstring();
    const int length = static_cast<int>(bytes.size());
    unsigned codePage = utf8 ? CP_UTF8 : fallbackCodePage;
    DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    int wide = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (wide <= 0 && codePage == CP_UTF8) {
        codePage = fallbackCodePage;
        flags = 0;
        wide = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    }
    if (wide <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), length, &out[0], wide);
    return out;
}

namespace {

constexpr uint16_t kUnicodePathExtraId = 0x7075; // Info-ZIP Unicode Path Extra Field
constexpr uint8_t kUnixHost = 3;

// The entry's name: UTF-8 when flagged; from the Info-ZIP Unicode path field
// when it matches the stored name; UTF-8 when a Unix tool stored valid
// UTF-8; otherwise code page 437, as MS-DOS tools wrote it.
std::wstring entryName(const CentralHeader &h, const uint8_t *name, const uint8_t *extra)
{
    const std::string stored(reinterpret_cast<const char *>(name), h.nameLength);
    if (h.flags & kFlagUtf8)
        return decodeText(stored, true, 437);
    size_t length = 0;
    if (const uint8_t *field = findExtraBlock(extra, h.extraLength, kUnicodePathExtraId, &length)) {
        if (length > 5 && field[0] == 1
            && ByteCursor::loadU32(field + 1) == crc32(0, name, h.nameLength))
            return decodeText(std::string(reinterpret_cast<const char *>(field + 5), length - 5), true, 437);
    }
    return decodeText(stored, h.hostSystem == kUnixHost, 437);
}

} // namespace

StubArchive::~StubArchive()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
}

bool StubArchive::fail(const wchar_t *text)
{
    m_error = text;
    return false;
}

bool StubArchive::readFile(uint64_t offset, void *dest, size_t count) const
{
    OVERLAPPED at {};
    auto *out = static_cast<uint8_t *>(dest);
    while (count > 0) {
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD piece = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        DWORD got = 0;
        if (!ReadFile(m_file, out, piece, &got, &at) || got == 0)
            return false;
        out += got;
        count -= got;
        offset += got;
    }
    return true;
}

bool StubArchive::readAt(uint64_t offset, void *dest, size_t count) const
{
    constexpr size_t kBuffer = 1024 * 1024;
    if (offset > m_size || count > m_size - offset)
        return false;
    if (offset >= m_bufferStart && offset - m_bufferStart <= m_bufferLength
        && count <= m_bufferLength - (offset - m_bufferStart)) {
        memcpy(dest, m_buffer.data() + (offset - m_bufferStart), count);
        return true;
    }
    if (count >= kBuffer / 2)
        return readFile(offset, dest, count);
    m_buffer.resize(kBuffer);
    const size_t length = m_size - offset < kBuffer ? static_cast<size_t>(m_size - offset) : kBuffer;
    m_bufferLength = 0;
    if (!readFile(offset, m_buffer.data(), length))
        return false;
    m_bufferStart = offset;
    m_bufferLength = length;
    memcpy(dest, m_buffer.data(), count);
    return true;
}

bool StubArchive::readImageLayout()
{
    // The options header follows the last section's raw data; a code
    // signature (the certificate table, given by file offset) ends the file.
    uint8_t dos[64];
    if (!readAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return fail(L"This program is damaged: it is no Windows executable.");
    const uint32_t pe = ByteCursor::loadU32(dos + 60);
    uint8_t head[24];
    if (!readAt(pe, head, sizeof head) || ByteCursor::loadU32(head) != 0x00004550)
        return fail(L"This program is damaged: it is no Windows executable.");
    const uint16_t sections = ByteCursor::loadU16(head + 6);
    const uint16_t optionalSize = ByteCursor::loadU16(head + 20);
    std::vector<uint8_t> optional(optionalSize);
    if (!readAt(pe + 24, optional.data(), optional.size()))
        return fail(L"This program is damaged.");
    const uint16_t magic = optional.size() >= 2 ? ByteCursor::loadU16(optional.data()) : 0;
    const size_t directories = magic == 0x20B ? 112 : 96;
    const size_t security = directories + 8 * 4;
    m_dataEnd = m_size;
    if (optional.size() >= security + 8) {
        const uint32_t at = ByteCursor::loadU32(optional.data() + security);
        const uint32_t size = ByteCursor::loadU32(optional.data() + security + 4);
        if (at != 0 && size != 0 && uint64_t(at) + size == m_size)
            m_dataEnd = at;
    }
    for (uint16_t i = 0; i < sections; ++i) {
        uint8_t section[40];
        if (!readAt(pe + 24 + optionalSize + 40ull * i, section, sizeof section))
            return fail(L"This program is damaged.");
        const uint64_t end = uint64_t(ByteCursor::loadU32(section + 20)) + ByteCursor::loadU32(section + 16);
        if (end > m_imageEnd)
            m_imageEnd = end;
    }
    return true;
}

bool StubArchive::open(const std::wstring &path)
{
    m_file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        return fail(L"This program cannot read its own file.");
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_file, &size))
        return fail(L"This program cannot read its own file.");
    m_size = static_cast<uint64_t>(size.QuadPart);
    if (!readImageLayout())
        return false;

    CentralDirectory directory;
    const auto read = [this](uint64_t offset, void *dest, size_t count) { return readAt(offset, dest, count); };
    switch (readCentralDirectory(read, m_dataEnd, &directory)) {
    case DirectoryError::None: break;
    case DirectoryError::NoEndRecord:
    case DirectoryError::CannotRead: return fail(L"This program holds no archive, or its archive is damaged.");
    case DirectoryError::NotOnThisDisk: return fail(L"This program's archive is damaged: its directory cannot be found.");
    case DirectoryError::DamagedEntry: return fail(L"This program's archive is damaged: a directory entry is broken.");
    }
    m_entries.reserve(directory.entries.size());
    for (const DirectoryEntry &d : directory.entries) {
        const CentralHeader &h = d.header;
        StubEntry e;
        e.name = entryName(h, reinterpret_cast<const uint8_t *>(d.name.data()),
                           reinterpret_cast<const uint8_t *>(d.extra.data()));
        for (wchar_t &ch : e.name)
            if (ch == L'\\')
                ch = L'/';
        e.flags = h.flags;
        e.method = h.method;
        e.dosTime = h.time;
        e.dosDate = h.date;
        e.crc32 = h.crc32;
        e.compressedSize = d.values.compressedSize;
        e.uncompressedSize = d.values.uncompressedSize;
        e.localHeaderOffset = d.localHeaderOffset;
        e.externalAttributes = h.externalAttributes;
        if (h.method == kAesMethod)
            readAesField(reinterpret_cast<const uint8_t *>(d.extra.data()), d.extra.size(), &e.aes);
        m_entries.push_back(std::move(e));
    }
    return true;
}
