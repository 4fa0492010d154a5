#pragma once
// The fixed-size ZIP records this project reads and rewrites (APPNOTE 4.3),
// each with a parse from and a write to its exact little-endian layout.
// Header-only and free of anything but the C++ standard library, so the
// Windows extractor stub can share it.

#include "ByteCursor.h"

#include <cstddef>
#include <cstdint>

namespace zipformat {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kSpanMarkSignature = 0x08074B50; // first 4 bytes of a spanned set
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndOfCentralDirSignature = 0x06054B50;
constexpr uint32_t kZip64EndOfCentralDirSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;

constexpr uint16_t kSaturated16 = 0xFFFF;
constexpr uint32_t kSaturated32 = 0xFFFFFFFF;

constexpr size_t kMaxCommentLength = 65535;

struct LocalHeader {
    static constexpr size_t kSize = 30;
    uint32_t signature = kLocalHeaderSignature;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;

    static LocalHeader parse(const uint8_t *p)
    {
        ByteCursor c(p, kSize);
        LocalHeader h;
        h.signature = c.u32();
        h.versionNeeded = c.u16();
        h.flags = c.u16();
        h.method = c.u16();
        h.time = c.u16();
        h.date = c.u16();
        h.crc32 = c.u32();
        h.compressedSize = c.u32();
        h.uncompressedSize = c.u32();
        h.nameLength = c.u16();
        h.extraLength = c.u16();
        return h;
    }
    void write(uint8_t *p) const
    {
        ByteWriter w(p, kSize);
        w.u32(signature);
        w.u16(versionNeeded);
        w.u16(flags);
        w.u16(method);
        w.u16(time);
        w.u16(date);
        w.u32(crc32);
        w.u32(compressedSize);
        w.u32(uncompressedSize);
        w.u16(nameLength);
        w.u16(extraLength);
    }
};

struct DataDescriptor {
    static constexpr size_t kSize = 16; // with its signature
    uint32_t signature = kDataDescriptorSignature;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;

    static DataDescriptor parse(const uint8_t *p)
    {
        ByteCursor c(p, kSize);
        DataDescriptor d;
        d.signature = c.u32();
        d.crc32 = c.u32();
        d.compressedSize = c.u32();
        d.uncompressedSize = c.u32();
        return d;
    }
    void write(uint8_t *p) const
    {
        ByteWriter w(p, kSize);
        w.u32(signature);
        w.u32(crc32);
        w.u32(compressedSize);
        w.u32(uncompressedSize);
    }
};

struct CentralHeader {
    static constexpr size_t kSize = 46;
    uint32_t signature = kCentralHeaderSignature;
    uint8_t versionMadeBy = 0;
    uint8_t hostSystem = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;

    static CentralHeader parse(const uint8_t *p)
    {
        ByteCursor c(p, kSize);
        CentralHeader h;
        h.signature = c.u32();
        h.versionMadeBy = c.u8();
        h.hostSystem = c.u8();
        h.versionNeeded = c.u16();
        h.flags = c.u16();
        h.method = c.u16();
        h.time = c.u16();
        h.date = c.u16();
        h.crc32 = c.u32();
        h.compressedSize = c.u32();
        h.uncompressedSize = c.u32();
        h.nameLength = c.u16();
        h.extraLength = c.u16();
        h.commentLength = c.u16();
        h.diskStart = c.u16();
        h.internalAttributes = c.u16();
        h.externalAttributes = c.u32();
        h.localHeaderOffset = c.u32();
        return h;
    }
    void write(uint8_t *p) const
    {
        ByteWriter w(p, kSize);
        w.u32(signature);
        w.u8(versionMadeBy);
        w.u8(hostSystem);
        w.u16(versionNeeded);
        w.u16(flags);
        w.u16(method);
        w.u16(time);
        w.u16(date);
        w.u32(crc32);
        w.u32(compressedSize);
        w.u32(uncompressedSize);
        w.u16(nameLength);
        w.u16(extraLength);
        w.u16(commentLength);
        w.u16(diskStart);
        w.u16(internalAttributes);
        w.u32(externalAttributes);
        w.u32(localHeaderOffset);
    }
    // True when at least one field is too small and its value lives in the
    // Zip64 extra field.
    bool needsZip64() const
    {
        return compressedSize == kSaturated32 || uncompressedSize == kSaturated32
            || localHeaderOffset == kSaturated32 || diskStart == kSaturated16;
    }
};

struct EndOfCentralDir {
    static constexpr size_t kSize = 22;
    uint32_t signature = kEndOfCentralDirSignature;
    uint16_t thisDisk = 0;
    uint16_t centralDirDisk = 0;
    uint16_t entriesThisDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t centralDirSize = 0;
    uint32_t centralDirOffset = 0;
    uint16_t commentLength = 0;

    static EndOfCentralDir parse(const uint8_t *p)
    {
        ByteCursor c(p, kSize);
        EndOfCentralDir e;
        e.signature = c.u32();
        e.thisDisk = c.u16();
        e.centralDirDisk = c.u16();
        e.entriesThisDisk = c.u16();
        e.totalEntries = c.u16();
        e.centralDirSize = c.u32();
        e.centralDirOffset = c.u32();
        e.commentLength = c.u16();
        return e;
    }
    void write(uint8_t *p) const
    {
        ByteWriter w(p, kSize);
        w.u32(signature);
        w.u16(thisDisk);
        w.u16(centralDirDisk);
        w.u16(entriesThisDisk);
        w.u16(totalEntries);
        w.u32(centralDirSize);
        w.u32(centralDirOffset);
        w.u16(commentLength);
    }
    // True when a field is saturated, so a writer had to add Zip64 records.
    bool hasSaturatedField() const
    {
        return thisDisk == kSaturated16 || centralDirDisk == kSaturated16
            || entriesThisDisk == kSaturated16 || totalEntries == kSaturated16
            || centralDirSize == kSaturated32 || centralDirOffset == kSaturated32;
    }
};

// The Zip64 end record without its optional extensible data.
struct Zip64EndOfCentralDir {
    static constexpr size_t kSize = 56;
    uint32_t signature = kZip64EndOfCentralDirSignature;
    uint64_t recordSize = kSize - 12; // counts the bytes after this field
    uint16_t versionMadeBy = 45;
    uint16_t versionNeeded = 45;
    uint32_t thisDisk = 0;
    uint32_t centralDirDisk = 0;
    uint64_t entriesThisDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t centralDirSize = 0;
    uint64_t centralDirOffset = 0;

    static Zip64EndOfCentralDir parse(const uint8_t *p)
    {
        ByteCursor c(p, kSize);
        Zip64EndOfCentralDir e;
        e.signature = c.u32();
        e.recordSize = c.u64();
        e.versionMadeBy = c.u16();
        e.versionNeeded = c.u16();
        e.thisDisk = c.u32();
        e.centralDirDisk = c.u32();
        e.entriesThisDisk = c.u64();
        e.totalEntries = c.u64();
        e.centralDirSize = c.u64();
        e.centralDirOffset = c.u64();
        return e;
    }
    void write(uint8_t *p) const
    {
        ByteWriter w(p, kSize);
        w.u32(signature);
        w.u64(recordSize);
        w.u16(versionMadeBy);
        w.u16(versionNeeded);
        w.u32(thisDisk);
        w.u32(centralDirDisk);
        w.u64(entriesThisDisk);
        w.u64(totalEntries);
        w.u64(centralDirSize);
        w.u64(centralDirOffset);
    }
};

struct Zip64Locator {
    static constexpr size_t kSize = 20;
    uint32_t signature = kZip64LocatorSignature;
    uint32_t endRecordDisk = 0;
    uint64_t endRecordOffset = 0;
    uint32_t totalDisks = 1;

    static Zip64Locator parse(const uint8_t *p)
    {
        ByteCursor c(p, kSize);
        Zip64Locator l;
        l.signature = c.u32();
        l.endRecordDisk = c.u32();
        l.endRecordOffset = c.u64();
        l.totalDisks = c.u32();
        return l;
    }
    void write(uint8_t *p) const
    {
        ByteWriter w(p, kSize);
        w.u32(signature);
        w.u32(endRecordDisk);
        w.u64(endRecordOffset);
        w.u32(totalDisks);
    }
};

// Values of a central header after its Zip64 extra field has been applied.
struct Zip64Values {
    uint64_t uncompressedSize = 0;
    uint64_t compressedSize = 0;
    uint64_t localHeaderOffset = 0;
    uint32_t diskStart = 0;
};

// Finds the extra block with the given id; returns its data and length, or
// nullptr when the extra field holds no such (complete) block.
inline const uint8_t *findExtraBlock(const uint8_t *extra, size_t extraLength, uint16_t id,
                                     size_t *blockLength)
{
    ByteCursor c(extra, extraLength);
    while (c.remaining() >= 4) {
        const uint16_t blockId = c.u16();
        const uint16_t length = c.u16();
        const uint8_t *data = c.take(length);
        if (!data)
            return nullptr;
        if (blockId == id) {
            *blockLength = length;
            return data;
        }
    }
    return nullptr;
}

// Applies the Zip64 extra field (APPNOTE 4.5.3): it holds, in this order,
// only those of the four values whose header field is saturated. Returns
// false when a needed value is missing, leaving the 32-bit values in place.
inline bool resolveZip64(const CentralHeader &h, const uint8_t *extra, size_t extraLength,
                         Zip64Values *out)
{
    Zip64Values v;
    v.uncompressedSize = h.uncompressedSize;
    v.compressedSize = h.compressedSize;
    v.localHeaderOffset = h.localHeaderOffset;
    v.diskStart = h.diskStart;
    *out = v;
    if (!h.needsZip64())
        return true;
    size_t length = 0;
    const uint8_t *block = findExtraBlock(extra, extraLength, kZip64ExtraId, &length);
    if (!block)
        return false;
    ByteCursor c(block, length);
    if (h.uncompressedSize == kSaturated32)
        v.uncompressedSize = c.u64();
    if (h.compressedSize == kSaturated32)
        v.compressedSize = c.u64();
    if (h.localHeaderOffset == kSaturated32)
        v.localHeaderOffset = c.u64();
    if (h.diskStart == kSaturated16)
        v.diskStart = c.u32();
    if (!c.ok())
        return false;
    *out = v;
    return true;
}

// Where the local-header offset sits inside the extra field of a central
// header whose offset field is saturated: its position in `extra`, or -1
// when the Zip64 block lacks it.
inline long zip64OffsetPosition(const CentralHeader &h, const uint8_t *extra, size_t extraLength)
{
    size_t length = 0;
    const uint8_t *block = findExtraBlock(extra, extraLength, kZip64ExtraId, &length);
    if (!block || h.localHeaderOffset != kSaturated32)
        return -1;
    size_t at = 0;
    if (h.uncompressedSize == kSaturated32)
        at += 8;
    if (h.compressedSize == kSaturated32)
        at += 8;
    if (at + 8 > length)
        return -1;
    return static_cast<long>((block - extra) + at);
}

} // namespace zipformat
