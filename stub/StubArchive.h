#pragma once
// The archive inside the stub's own file: found from the end of the file
// (also when a code signature follows it), with offsets shifted by the
// writer or left relative to the archive's own start, Zip64 included.

#include "WinZipAes.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct StubEntry {
    std::wstring name; // as stored, converted to UTF-16, "/" separators
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localHeaderOffset = 0; // real offset in the file
    uint32_t externalAttributes = 0;
    zipformat::AesField aes; // version 0 unless WinZip AES with a field we know
    bool isFolder() const { return !name.empty() && name.back() == L'/'; }
    bool encrypted() const { return flags & 1; }
};

class StubArchive {
public:
    ~StubArchive();
    // Opens the file and reads the directory; false with an error text.
    bool open(const std::wstring &path);
    const std::wstring &error() const { return m_error; }
    const std::vector<StubEntry> &entries() const { return m_entries; }
    // The end of the program's own image: where the options header starts.
    uint64_t imageEnd() const { return m_imageEnd; }

    // Small reads are served from one large buffer filled ahead: entries
    // lie one after the other, so thousands of small ones cost a few reads.
    bool readAt(uint64_t offset, void *dest, size_t count) const;
    HANDLE handle() const { return m_file; }

private:
    bool fail(const wchar_t *text);
    bool readImageLayout();
    bool readFile(uint64_t offset, void *dest, size_t count) const;

    HANDLE m_file = INVALID_HANDLE_VALUE;
    uint64_t m_size = 0;
    uint64_t m_imageEnd = 0;
    uint64_t m_dataEnd = 0; // end of the file before any code signature
    std::vector<StubEntry> m_entries;
    mutable std::vector<uint8_t> m_buffer;
    mutable uint64_t m_bufferStart = 0;
    mutable size_t m_bufferLength = 0;
    std::wstring m_error;
};

// Decodes stored text: as UTF-8 when utf8 is set and the bytes are valid
// UTF-8, else in the fallback code page.
std::wstring decodeText(const std::string &bytes, bool utf8, unsigned fallbackCodePage);
