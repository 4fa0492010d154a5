#pragma once
// One entry of an archive's central directory. The sixteen header fields
// come first, in the central header's order; sizes and the local-header
// offset are 64-bit so that entries of Zip64 archives carry their real
// values (from the Zip64 extra field) rather than the 0xFFFFFFFF marks.

#include <QString>

#include <cstdint>

struct ZipDirEntry {
    uint8_t VersionMadeBy = 0;
    uint8_t HostSystem = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint32_t DateTime = 0; // MS-DOS time in the low 16 bits, date in the high 16
    uint32_t CRC32 = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint32_t DiskStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint64_t LocalHeaderOffset = 0; // as stored (relative to what the writer counted from)

    QString FileName;    // converted, with "\" separators
    QString FileComment; // converted; empty when there is none
    bool Encrypted = false;
    // WinZip AES (Method 99): the compression method under the encryption,
    // from its 0x9901 extra field; -1 when that field is missing or unknown.
    int AesMethod = -1;
};
