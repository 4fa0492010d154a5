// Reading an archive's directory: List, FindEOC and the drive checks.

#include "ZipArchiver.h"

#include "CentralDirectoryReader.h"
#include "OemCodePage.h"
#include "VolumeProbe.h"
#include "WinZipAes.h"
#include "ZipMessages.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <new>

using namespace zipformat;

namespace {

// 22 + the longest possible comment: where the end record must lie.
constexpr int64_t kTailWindow = EndOfCentralDir::kSize + kMaxCommentLength;

// A text the archive holds outside any entry (the archive comment): UTF-8
// when it is valid UTF-8, else the OEM code page old tools wrote.
QString decodeArchiveText(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? OemCodePage::toUnicode(bytes) : text;
}

bool onlyZeros(const uint8_t *begin, const uint8_t *end)
{
    return std::all_of(begin, end, [](uint8_t b) { return b == 0; });
}

} // namespace

void TZipArchiver::readVolumes(void *dest, size_t count, int id)
{
    auto *out = static_cast<uint8_t *>(dest);
    size_t done = InHandle.read(out, count);
    // A piece that ends a volume goes on at the start of the next one.
    while (done < count) {
        if (DiskNumber >= LastDisk || !InHandle.atEnd())
            throw EZipArchiver::CreateById(id, true);
        OpenDiskVolume(DiskNumber + 1);
        done += InHandle.read(out + done, count - done);
    }
}

QString TZipArchiver::decodeStoredText(const QByteArray &raw, uint16_t flags) const
{
    if (flags & kFlagUtf8)
        return QString::fromUtf8(raw); // bit 11: UTF-8 already, never converted
    const QByteArray text = TranslateName(raw, false);
    // Unix tools store names in whatever the system's encoding was; bytes
    // that are not UTF-8 are shown as code page 437, which can be typed back,
    // rather than as replacement characters, which cannot.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(text);
    return utf8.hasError() ? OemCodePage::toUnicode(raw) : decoded;
}

namespace {

// How many entries start inside an earlier entry's record.
int countOverlappingRecords(const std::vector<ZipDirEntry> &entries)
{
    std::vector<const ZipDirEntry *> records;
    records.reserve(entries.size());
    for (const ZipDirEntry &e : entries)
        records.push_back(&e);
    int overlapping = 0;
    findOverlappingRecords(
        records, [](const ZipDirEntry &e) { return e.LocalHeaderOffset; },
        [](const ZipDirEntry &e) { return e.CompressedSize; },
        [&overlapping](const ZipDirEntry &, const ZipDirEntry &) { ++overlapping; });
    return overlapping;
}

} // namespace

void TZipArchiver::List()
{
    ClearEntries();
    PhysicalSize = 0;
    CentralDirOffset = 0;
    ArchiveStart = 0;
    ArchiveComment.clear();
    Spanned = false;

    if (m_zipFileName.isEmpty() || !QFileInfo(m_zipFileName).isFile()) {
        if (OnDirUpdate)
            OnDirUpdate(this);
        return;
    }

    m_host->setBusy(true);
    bool failed = false;
    int64_t realOffset = 0;
    int64_t storedOffset = 0;
    try {
        InFileName = m_zipFileName;
        DriveRoot = driveRootOf(InFileName);
        if (!CheckDrive())
            throw EZipArchiver::CreateWithText(11004, DriveRoot);
        EOCRecord record;
        FindEOC(record, true);
        LastDisk = static_cast<int>(record.thisDisk);
        DiskNumber = LastDisk;
        if (LastDisk > 0)
            Spanned = true;

        storedOffset = static_cast<int64_t>(record.centralDirOffset);
        if (record.centralDirDisk == record.thisDisk) {
            realOffset = record.zip64
                ? record.zip64RecordOffset - static_cast<int64_t>(record.centralDirSize)
                : ArchiveEnd - static_cast<int64_t>(record.centralDirSize)
                    - static_cast<int64_t>(EndOfCentralDir::kSize) - record.classic.commentLength;
        } else {
            OpenDiskVolume(static_cast<int>(record.centralDirDisk));
            ArchiveEnd = InHandle.size();
            realOffset = storedOffset;
        }
        CentralDirOffset = realOffset;
        ArchiveStart = ArchiveEnd == static_cast<int64_t>(EndOfCentralDir::kSize) ? 0 : ArchiveEnd;
        OffsetsMismatch = storedOffset != realOffset;
        if (OffsetsMismatch)
            ReportMessage(10203, QString());
        readCentralDirectory(record, realOffset);
        if (!Spanned) {
            const int overlapping = countOverlappingRecords(m_entries);
            if (overlapping > 0)
                ReportMessage(10203, QStringLiteral("\n%1 entries share their data with another entry").arg(overlapping));
        }
    } catch (const EZipArchiver &e) {
        ReportException(e);
        failed = true;
    } catch (const std::bad_alloc &) {
        ReportMessage(10103, QString());
        failed = true;
    } catch (const std::exception &e) {
        ReportMessage(10202, QString::fromLocal8Bit(e.what()));
        failed = true;
    }

    m_host->setBusy(false);
    InHandle.close();
    if (failed) {
        m_zipFileName.clear(); // without listing again: Count is 0 from now on
        ArchiveStart = 0;
    } else {
        ArchiveStart += realOffset - storedOffset;
    }
    if (OnDirUpdate)
        OnDirUpdate(this);
}

void TZipArchiver::readCentralDirectory(const EOCRecord &record, int64_t realOffset)
{
    if (!InHandle.seek(realOffset))
        throw EZipArchiver::CreateById(10201, true);
    // Every header takes at least 46 bytes, so the file bounds what a hostile
    // entry count may reserve.
    const uint64_t plausible = static_cast<uint64_t>(PhysicalSize) / CentralHeader::kSize + 1;
    m_entries.reserve(static_cast<size_t>(std::min(record.totalEntries, plausible)));
    for (uint64_t k = 0; k < record.totalEntries; ++k)
        readDirEntry(static_cast<int>(k));
}

CentralHeader TZipArchiver::readCentralHeader(QByteArray &name)
{
    uint8_t bytes[CentralHeader::kSize];
    readVolumes(bytes, sizeof bytes, 11013);
    const CentralHeader header = CentralHeader::parse(bytes);
    if (header.signature != kCentralHeaderSignature)
        throw EZipArchiver::CreateById(11015, true);
    name.resize(header.nameLength);
    readVolumes(name.data(), name.size(), 11017);
    return header;
}

void TZipArchiver::readDirEntry(int index)
{
    QByteArray rawName;
    const CentralHeader header = readCentralHeader(rawName);
    LastMadeByVersion = header.versionMadeBy;
    LastHostSystem = header.hostSystem;

    ZipDirEntry entry;
    entry.VersionMadeBy = header.versionMadeBy;
    entry.HostSystem = header.hostSystem;
    entry.VersionNeeded = header.versionNeeded;
    entry.Flags = header.flags;
    entry.Method = header.method;
    entry.DateTime = (static_cast<uint32_t>(header.date) << 16) | header.time;
    entry.CRC32 = header.crc32;
    entry.CompressedSize = header.compressedSize;
    entry.UncompressedSize = header.uncompressedSize;
    entry.NameLength = header.nameLength;
    entry.ExtraLength = header.extraLength;
    entry.CommentLength = header.commentLength;
    entry.DiskStart = header.diskStart;
    entry.InternalAttributes = header.internalAttributes;
    entry.ExternalAttributes = header.externalAttributes;
    entry.LocalHeaderOffset = header.localHeaderOffset;
    entry.FileName = SlashToBackslash(decodeStoredText(rawName, header.flags));
    entry.Encrypted = (header.flags & kFlagEncrypted) != 0;

    const bool aes = header.method == kAesMethod;
    if (header.needsZip64() || aes) {
        QByteArray extra(header.extraLength, Qt::Uninitialized);
        readVolumes(extra.data(), extra.size(), 10201);
        const auto *fields = reinterpret_cast<const uint8_t *>(extra.constData());
        if (header.needsZip64()) {
            // Sizes and offsets past 32 bits live in the Zip64 extra field; a
            // header that lacks it keeps its stored values.
            Zip64Values values;
            resolveZip64(header, fields, extra.size(), &values);
            entry.CompressedSize = values.compressedSize;
            entry.UncompressedSize = values.uncompressedSize;
            entry.LocalHeaderOffset = values.localHeaderOffset;
            entry.DiskStart = values.diskStart;
        }
        AesField field;
        if (aes && readAesField(fields, extra.size(), &field))
            entry.AesMethod = field.method;
    } else if (!InHandle.skip(header.extraLength)) {
        throw EZipArchiver::CreateById(10201, true);
    }
    if (header.commentLength > 0) {
        QByteArray comment(header.commentLength, Qt::Uninitialized);
        readVolumes(comment.data(), comment.size(), 11022);
        entry.FileComment = decodeStoredText(comment, header.flags);
    }

    m_entries.push_back(std::move(entry));
    const ZipDirEntry &added = m_entries.back();
    if (OnNewName)
        OnNewName(this, index + 1, added);
    if (added.LocalHeaderOffset < static_cast<uint64_t>(ArchiveStart))
        ArchiveStart = static_cast<int64_t>(added.LocalHeaderOffset);
}

bool TZipArchiver::FindEOC(EOCRecord &record, bool raiseOnFailure)
{
    ArchiveComment.clear();
    EOCOffset = 0;
    record = EOCRecord();
    if (!InHandle.open(InFileName)) {
        if (raiseOnFailure)
            throw EZipArchiver::CreateById(11001, true);
        ReportMessage(11002, QString());
        return false;
    }

    int labelDisk = 0;
    if (VolumeLabel.startsWith(QLatin1String("PKBACK# ")))
        labelDisk = VolumeLabel.mid(8, 3).toInt(); // 0 when not a number

    uint8_t head[8];
    const bool startsWithSpanMark = InHandle.read(head, sizeof head) == sizeof head
        && ByteCursor::loadU32(head) == kSpanMarkSignature
        && ByteCursor::loadU32(head + 4) == kLocalHeaderSignature;
    if (startsWithSpanMark)
        Spanned = true;

    // An archive without a comment ends in its end record: no search needed.
    const int64_t length = InHandle.size();
    ArchiveEnd = PhysicalSize = length;
    if (length >= static_cast<int64_t>(EndOfCentralDir::kSize)) {
        uint8_t tail[EndOfCentralDir::kSize];
        InHandle.seek(length - EndOfCentralDir::kSize);
        if (InHandle.read(tail, sizeof tail) == sizeof tail
            && ByteCursor::loadU32(tail) == kEndOfCentralDirSignature) {
            EOCOffset = length - EndOfCentralDir::kSize;
            record.classic = EndOfCentralDir::parse(tail);
            readZip64End(record);
            return true;
        }
    }

    bool found = false;
    try {
        found = searchTail(record);
    } catch (const EZipArchiver &) {
        if (raiseOnFailure)
            throw;
        return false;
    }
    if (!found) {
        if (!raiseOnFailure)
            return false;
        raiseNoEOC(startsWithSpanMark, labelDisk);
    }
    readZip64End(record);
    return true;
}

bool TZipArchiver::searchTail(EOCRecord &record)
{
    const int64_t length = PhysicalSize;
    const int64_t window = std::min(kTailWindow, length);
    std::vector<uint8_t> tail(static_cast<size_t>(window));
    if (!InHandle.seek(length - window))
        throw EZipArchiver::CreateById(11008, true);
    if (InHandle.read(tail.data(), tail.size()) < tail.size())
        throw EZipArchiver::CreateById(11011, true);

    for (int64_t i = window - EndOfCentralDir::kSize - 1; i >= 0; --i) {
        const uint8_t *p = tail.data() + i;
        if (ByteCursor::loadU32(p) != kEndOfCentralDirSignature)
            continue;
        EOCOffset = length - window + i;
        record.classic = EndOfCentralDir::parse(p);
        const int64_t logicalEnd = i + static_cast<int64_t>(EndOfCentralDir::kSize)
            + record.classic.commentLength;
        if (logicalEnd != window) {
            ArchiveEnd = PhysicalSize + (logicalEnd - window);
            const bool padding = PhysicalSize % 512 == 0 && PhysicalSize - ArchiveEnd < 512
                && (logicalEnd > window || onlyZeros(tail.data() + logicalEnd, tail.data() + window));
            if (!padding)
                ReportMessage(10204, QString());
        }
        if (record.classic.commentLength > 0) {
            const uint8_t *comment = p + EndOfCentralDir::kSize;
            const int64_t available = std::min<int64_t>(record.classic.commentLength,
                                                        window - i - EndOfCentralDir::kSize);
            const uint8_t *end = std::find(comment, comment + available, 0);
            ArchiveComment = decodeArchiveText(
                QByteArray(reinterpret_cast<const char *>(comment), end - comment));
        }
        return true;
    }
    return false;
}

void TZipArchiver::readZip64End(EOCRecord &record)
{
    const EndOfCentralDir &eoc = record.classic;
    record.zip64 = false;
    record.thisDisk = eoc.thisDisk;
    record.centralDirDisk = eoc.centralDirDisk;
    record.totalEntries = eoc.totalEntries;
    record.centralDirSize = eoc.centralDirSize;
    record.centralDirOffset = eoc.centralDirOffset;

    // The locator sits just before the end record; the Zip64 end record
    // normally just before the locator. When something was inserted in
    // between, the locator's stored offset is tried as well.
    const int64_t locatorOffset = EOCOffset - static_cast<int64_t>(Zip64Locator::kSize);
    uint8_t bytes[Zip64EndOfCentralDir::kSize];
    if (locatorOffset < 0 || !InHandle.seek(locatorOffset)
        || InHandle.read(bytes, Zip64Locator::kSize) != Zip64Locator::kSize)
        return;
    const Zip64Locator locator = Zip64Locator::parse(bytes);
    if (locator.signature != kZip64LocatorSignature)
        return;
    const int64_t candidates[] = {locatorOffset - static_cast<int64_t>(Zip64EndOfCentralDir::kSize),
                                  static_cast<int64_t>(std::min<uint64_t>(locator.endRecordOffset, INT64_MAX))};
    for (int64_t at : candidates) {
        if (at < 0 || at > locatorOffset - static_cast<int64_t>(Zip64EndOfCentralDir::kSize)
            || !InHandle.seek(at) || InHandle.read(bytes, sizeof bytes) != sizeof bytes)
            continue;
        const Zip64EndOfCentralDir end = Zip64EndOfCentralDir::parse(bytes);
        if (end.signature != kZip64EndOfCentralDirSignature)
            continue;
        record.zip64 = true;
        record.zip64RecordOffset = at;
        record.thisDisk = end.thisDisk;
        record.centralDirDisk = end.centralDirDisk;
        record.totalEntries = end.totalEntries;
        record.centralDirSize = end.centralDirSize;
        record.centralDirOffset = end.centralDirOffset;
        return;
    }
}

void TZipArchiver::raiseNoEOC(bool startsWithSpanMark, int labelDisk)
{
    if (!startsWithSpanMark && labelDisk > 0)
        throw EZipArchiver::CreateWithNumber(11038, labelDisk);
    if (startsWithSpanMark && labelDisk == 1)
        throw EZipArchiver::CreateById(11037, true);
    if (startsWithSpanMark)
        throw EZipArchiver::CreateById(11045, true);
    throw EZipArchiver::CreateById(11036, true);
}

bool TZipArchiver::CheckDrive()
{
    DiskTotalSize = 0;
    VolumeLabel.clear();
    // A drive root is the mount point of the archive's file system.
    if (!DriveRoot.startsWith('/'))
        throw EZipArchiver::CreateWithText(11003, DriveRoot);
    if (!m_volumes->isPresent(DriveRoot))
        throw EZipArchiver::CreateWithText(11004, DriveRoot);
    const std::optional<VolumeInfo> info = m_volumes->query(DriveRoot);
    if (!info)
        return false;
    VolumeLabel = info->label;
    VolumeSerial = info->serial;
    QueryDiskSpace(dsBoth);
    // Only a mounted file system answers, so the drive holds a disk whatever
    // size it reports; FUSE and network mounts often report none.
    return true;
}

void TZipArchiver::QueryDiskSpace(DiskSpaceQuery which)
{
    int64_t freeBytes = -1;
    int64_t totalBytes = -1;
    if (const std::optional<VolumeInfo> info = m_volumes->query(DriveRoot)) {
        freeBytes = info->freeBytes;
        totalBytes = info->totalBytes;
    }
    if (which != dsTotal)
        DiskFreeSpace = freeBytes;
    if (which != dsFree)
        DiskTotalSize = totalBytes;
}
