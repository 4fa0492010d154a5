#pragma once
// Finds an archive's end record from the end of the data and reads its
// central directory, for readers that stand alone (the extraction and
// compression libraries, the Windows extractor stub). The archive may sit
// behind other bytes, with offsets shifted by them or not; Zip64 included.
// Reads go through a callable bool readAt(uint64_t offset, void *dest,
// size_t count), so each platform brings its own file access.

#include "ZipRecords.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace zipformat {

struct DirectoryEntry {
    CentralHeader header;
    std::string name;  // as stored
    std::string extra; // the central extra field
    std::string comment;
    Zip64Values values;
    uint64_t localHeaderOffset = 0; // real offset in the file
    // Its local record shares bytes with another entry's: a damaged or
    // hostile archive (one record inflated many times over).
    bool overlaps = false;
};

struct CentralDirectory {
    EndOfCentralDir end;
    // The comment runs past the end of the data; commentLength is what is there.
    bool commentCut = false;
    uint64_t endOffset = 0;      // file offset of the end record
    uint64_t directoryStart = 0; // real file offset of the directory
    std::vector<DirectoryEntry> entries;
};

enum class DirectoryError { None, NoEndRecord, NotOnThisDisk, CannotRead, DamagedEntry };

template <typename ReadAt>
bool hasLocalHeaderAt(ReadAt &&readAt, uint64_t offset)
{
    uint8_t signature[4];
    return readAt(offset, signature, sizeof signature) && ByteCursor::loadU32(signature) == kLocalHeaderSignature;
}

// A directory offset that is simply wrong (not moved by bytes in front of
// the archive) must not move every local offset with it: when the first
// record is not where the shift puts it but is where it was stored, the
// stored local offsets are taken as they are.
template <typename ReadAt>
void unshiftWhenLocalHeadersSayso(ReadAt &&readAt, uint64_t delta, CentralDirectory *out)
{
    const DirectoryEntry *first = &out->entries.front();
    for (const DirectoryEntry &e : out->entries)
        if (e.localHeaderOffset < first->localHeaderOffset)
            first = &e;
    const uint64_t stored = first->localHeaderOffset - delta;
    if (hasLocalHeaderAt(readAt, first->localHeaderOffset) || !hasLocalHeaderAt(readAt, stored))
        return;
    for (DirectoryEntry &e : out->entries)
        e.localHeaderOffset -= delta;
}

// Calls found(later, earlier) for every record that starts before the end
// of an earlier one, in offset order. Every local record holds at least its
// 30-byte header and its compressed data, so records closer than that share
// bytes, as in a zip bomb that lists one record under many names.
template <typename T, typename OffsetOf, typename SizeOf, typename Found>
void findOverlappingRecords(std::vector<T *> records, OffsetOf offsetOf, SizeOf sizeOf, Found found)
{
    std::sort(records.begin(), records.end(), [&offsetOf](const T *a, const T *b) { return offsetOf(*a) < offsetOf(*b); });
    uint64_t reach = 0; // the furthest end of a record seen so far
    T *reaching = nullptr;
    for (T *record : records) {
        const uint64_t start = offsetOf(*record);
        if (reaching && start < reach)
            found(*record, *reaching);
        const uint64_t end = start + LocalHeader::kSize + sizeOf(*record);
        if (!reaching || end > reach || end < start) {
            reach = end < start ? UINT64_MAX : end;
            reaching = record;
        }
    }
}

inline void markOverlappingRecords(CentralDirectory *out)
{
    std::vector<DirectoryEntry *> records;
    records.reserve(out->entries.size());
    for (DirectoryEntry &e : out->entries)
        records.push_back(&e);
    findOverlappingRecords(
        records, [](const DirectoryEntry &e) { return e.localHeaderOffset; },
        [](const DirectoryEntry &e) { return e.values.compressedSize; },
        [](DirectoryEntry &later, DirectoryEntry &earlier) { later.overlaps = earlier.overlaps = true; });
}

template <typename ReadAt>
DirectoryError readCentralDirectory(ReadAt &&readAt, uint64_t dataEnd, CentralDirectory *out)
{
    // The end record lies within its largest comment (and up to 8 bytes of
    // padding a code signature may add) of the end; its comment must fit.
    const uint64_t tailWindow = EndOfCentralDir::kSize + kMaxCommentLength + 8;
    const uint64_t window = dataEnd < tailWindow ? dataEnd : tailWindow;
    std::vector<uint8_t> tail(static_cast<size_t>(window));
    if (!readAt(dataEnd - window, tail.data(), tail.size()))
        return DirectoryError::CannotRead;
    // The nearest record whose comment fits wins; failing that, the nearest
    // one whose comment is cut short, so that such an archive still opens.
    bool found = false;
    for (size_t i = tail.size() >= EndOfCentralDir::kSize ? tail.size() - EndOfCentralDir::kSize + 1 : 0; i-- > 0;) {
        if (ByteCursor::loadU32(tail.data() + i) != kEndOfCentralDirSignature)
            continue;
        const EndOfCentralDir record = EndOfCentralDir::parse(tail.data() + i);
        const bool fits = i + EndOfCentralDir::kSize + record.commentLength <= tail.size();
        if (!fits && found)
            continue;
        out->end = record;
        out->endOffset = dataEnd - window + i;
        out->commentCut = !fits;
        if (!fits)
            out->end.commentLength = static_cast<uint16_t>(tail.size() - i - EndOfCentralDir::kSize);
        found = true;
        if (fits)
            break;
    }
    if (!found)
        return DirectoryError::NoEndRecord;

    uint64_t count = out->end.totalEntries;
    uint64_t size = out->end.centralDirSize;
    uint64_t stored = out->end.centralDirOffset;
    uint64_t directoryEnd = out->endOffset;
    uint8_t locator[Zip64Locator::kSize];
    uint8_t record[Zip64EndOfCentralDir::kSize];
    const uint64_t recordAt = out->endOffset - Zip64Locator::kSize - Zip64EndOfCentralDir::kSize;
    if (out->endOffset >= Zip64Locator::kSize + Zip64EndOfCentralDir::kSize
        && readAt(out->endOffset - Zip64Locator::kSize, locator, sizeof locator)
        && ByteCursor::loadU32(locator) == kZip64LocatorSignature && readAt(recordAt, record, sizeof record)
        && ByteCursor::loadU32(record) == kZip64EndOfCentralDirSignature) {
        const Zip64EndOfCentralDir z = Zip64EndOfCentralDir::parse(record);
        count = z.totalEntries;
        size = z.centralDirSize;
        stored = z.centralDirOffset;
        directoryEnd = recordAt;
    }
    if (out->end.thisDisk != out->end.centralDirDisk || size > directoryEnd)
        return DirectoryError::NotOnThisDisk;
    out->directoryStart = directoryEnd - size;
    // Offsets written relative to the archive's own start move by the bytes
    // in front of it; offsets already shifted stay.
    const uint64_t delta = out->directoryStart - stored;

    std::vector<uint8_t> directory(static_cast<size_t>(size));
    if (!readAt(out->directoryStart, directory.data(), directory.size()))
        return DirectoryError::CannotRead;
    ByteCursor c(directory.data(), directory.size());
    for (uint64_t k = 0; k < count; ++k) {
        const uint8_t *headerBytes = c.take(CentralHeader::kSize);
        if (!headerBytes || ByteCursor::loadU32(headerBytes) != kCentralHeaderSignature)
            return DirectoryError::DamagedEntry;
        DirectoryEntry e;
        e.header = CentralHeader::parse(headerBytes);
        const uint8_t *name = c.take(e.header.nameLength);
        const uint8_t *extra = c.take(e.header.extraLength);
        const uint8_t *comment = c.take(e.header.commentLength);
        if (!c.ok() || !resolveZip64(e.header, extra, e.header.extraLength, &e.values))
            return DirectoryError::DamagedEntry;
        e.name.assign(reinterpret_cast<const char *>(name), e.header.nameLength);
        e.extra.assign(reinterpret_cast<const char *>(extra), e.header.extraLength);
        e.comment.assign(reinterpret_cast<const char *>(comment), e.header.commentLength);
        e.localHeaderOffset = e.values.localHeaderOffset + delta;
        out->entries.push_back(std::move(e));
    }
    if (delta != 0 && !out->entries.empty())
        unshiftWhenLocalHeadersSayso(readAt, delta, out);
    markOverlappingRecords(out);
    return DirectoryError::None;
}

} // namespace zipformat
