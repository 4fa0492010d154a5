// Reading archives spread over several volumes: removable disks labelled
// "PKBACK# 001"... in one drive, or numbered files (name001.zip,
// name002.zip, ...) in one folder.

#include "ZipArchiver.h"

#include "OemCodePage.h"
#include "PendingFile.h"
#include "VolumeProbe.h"
#include "ZipMessages.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QTemporaryFile>

#include <memory>
#include <new>

using namespace zipformat;

namespace {

constexpr int64_t kCopyPiece = 8192;

bool volumesAreFiles(DriveType type)
{
    return type == DriveType::Fixed || type == DriveType::Network;
}

// The three digits that number volume n: 001 for the first.
QString volumeDigits(int n)
{
    return QString::number(n + 1001).right(3);
}

// name001.zip -> (name, 001, .zip)
struct VolumeName {
    QString stem;
    QString digits;
    QString extension;
};

VolumeName splitVolumeName(const QString &path)
{
    const int slash = path.lastIndexOf('/');
    int dot = path.lastIndexOf('.');
    if (dot <= slash)
        dot = path.size();
    VolumeName name;
    name.extension = path.mid(dot);
    const int digitsStart = std::max(slash + 1, dot - 3);
    name.stem = path.left(digitsStart);
    name.digits = path.mid(digitsStart, dot - digitsStart);
    return name;
}

// Where a disk mounted at root holds the set's file: at the place it had on
// the disk it was picked from, else under its name at the top (when it was
// picked through a link, the place is unknown).
QString fileOnDisk(const QString &root, const QString &relative, const QString &name)
{
    if (!relative.isEmpty() && QFileInfo(root + relative).isFile())
        return root + relative;
    if (QFileInfo(root + name).isFile())
        return root + name;
    return QString();
}

// Whether a file ends in an end record, as the last volume of a set does.
bool holdsEndRecord(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 window = std::min<qint64>(file.size(), EndOfCentralDir::kSize + kMaxCommentLength);
    if (!file.seek(file.size() - window))
        return false;
    return file.read(window).contains(QByteArray("PK\x05\x06", 4));
}

// A desktop mounts each removable disk at a folder of its own, named after
// its label, so the next disk of a set turns up somewhere else than the one
// before. Moves root and file to the mounted disk that holds the set's file
// and is disk number `disk` by its label; or, when the last disk is wanted
// (disk < 0, the set's size unknown yet), whose file ends the set. The disk
// at hand is looked at first; nothing moves when no disk fits.
void followDisk(const VolumeProbe &probe, int disk, QString &root, QString &file)
{
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QString relative = absolute.startsWith(root) ? absolute.mid(root.size()) : QString();
    const QString name = QFileInfo(absolute).fileName();
    QStringList roots = probe.removableRoots();
    roots.removeAll(root);
    roots.prepend(root);
    const QString wanted = disk >= 0 ? QLatin1String("PKBACK# ") + volumeDigits(disk) : QString();
    for (const QString &candidate : std::as_const(roots)) {
        const std::optional<VolumeInfo> info = probe.query(candidate);
        if (!info || (disk >= 0 && info->label != wanted))
            continue;
        const QString found = fileOnDisk(candidate, relative, name);
        if (found.isEmpty() || (disk < 0 && !holdsEndRecord(found)))
            continue;
        root = candidate;
        file = found;
        return;
    }
}

// One entry of the directory while a set is joined.
struct SpanEntry {
    QByteArray name;
    uint32_t compressedSize = 0;
    int64_t newOffset = -1; // where its local header went in the joined archive
};

} // namespace

DriveType TZipArchiver::PromptForDisk()
{
    m_host->processEvents();
    // Only a removable disk leaves its drive root with nothing mounted.
    const DriveType type = m_volumes->isPresent(DriveRoot) ? m_volumes->driveType(DriveRoot) : DriveType::Removable;
    bool ok = true;
    const auto driveUsable = [this, type] {
        if (!volumesAreFiles(type))
            followDisk(*m_volumes, DiskNumber, DriveRoot, InFileName);
        // An empty drive may not even be mounted; that only means "ask".
        try {
            return CheckDrive();
        } catch (const EZipArchiver &) {
            return false;
        }
    };
    while ((ok && !driveUsable()) || DiskPromptPending) {
        if (volumesAreFiles(type)) {
            DiskPromptPending = false;
            break;
        }
        if (Unattended)
            throw EZipArchiver::CreateById(11025, true);
        QString text;
        const bool firstQuestion = DiskNumber < 0;
        if (firstQuestion)
            text = ZipLoadStr(11033, QStringLiteral("Please insert last disk in set"));
        else
            text = ZipMessages::format(ZipLoadStr(11034, QStringLiteral("Please insert disk volume %.1d of %.1d")),
                                       {DiskNumber + 1, LastDisk + 1});
        text += ZipMessages::format(ZipLoadStr(11035, QStringLiteral("\r\nin drive: %s")), {DriveRoot});
        ok = m_host->askForDisk(text, firstQuestion);
        DiskPromptPending = false;
    }
    if (!ok)
        throw EZipArchiver::CreateById(11007, false); // a cancel is no error to show
    return type;
}

bool TZipArchiver::IsExpectedVolume(DriveType type)
{
    const QString digits = volumeDigits(DiskNumber);
    if (volumesAreFiles(type)) {
        const VolumeName name = splitVolumeName(InFileName);
        InFileName = name.stem + digits + name.extension;
        return true;
    }
    return VolumeLabel == QLatin1String("PKBACK# ") + digits;
}

void TZipArchiver::OpenDiskVolume(int n)
{
    InHandle.close();
    DiskNumber = n;
    DriveType type = DriveType::Removable;
    bool previousFailed = false;
    for (;;) {
        if (previousFailed) {
            if (volumesAreFiles(type))
                throw EZipArchiver::CreateById(11001, true);
            ReportMessage(11001, QString());
        }
        do {
            DiskPromptPending = true;
            type = PromptForDisk();
        } while (!IsExpectedVolume(type));
        if (InHandle.open(InFileName))
            return;
        previousFailed = true;
    }
}

void TZipArchiver::WriteOrRaise(const void *bytes, int64_t count, int id)
{
    if (OutHandle.write(static_cast<const char *>(bytes), count) != count)
        throw EZipArchiver::CreateById(id, true);
}

void TZipArchiver::CopyAcrossVolumes(int64_t count, int id)
{
    char piece[kCopyPiece];
    while (count > 0) {
        const size_t wanted = static_cast<size_t>(std::min(count, kCopyPiece));
        const size_t got = InHandle.read(piece, wanted);
        if (got < wanted) {
            if (!InHandle.atEnd() || DiskNumber >= LastDisk)
                throw EZipArchiver::CreateById(id, true);
            OpenDiskVolume(DiskNumber + 1);
        }
        WriteOrRaise(piece, static_cast<int64_t>(got), id);
        count -= static_cast<int64_t>(got);
    }
}

int TZipArchiver::ReadSpan(const QString &source, QString &target)
{
    int result = 0;
    UnzipBusy = true;
    DriveRoot = driveRootOf(source);
    DiskNumber = -1;
    DiskPromptPending = false;
    InFileName = QFileInfo(source).absoluteFilePath();
    InHandle.close();
    OutHandle.close();
    m_host->setBusy(true);

    std::vector<SpanEntry> table;
    int64_t volumeTime = 0;
    // A name the caller gives is written exactly so, and only once the join
    // is complete: until then the archive grows under a temporary name
    // beside it, and whatever the name held stays as it was. In a folder,
    // the archive gets a new name of its own.
    QString joined;
    std::unique_ptr<PendingFile> pending;
    bool joinedIsOurs = false; // a new file that a failure must not leave
    try {
        if (!target.isEmpty() && !target.endsWith('/')) {
            joined = QFileInfo(target).absoluteFilePath();
            if (QFileInfo(joined).isDir())
                throw EZipArchiver::CreateById(11009, true);
            pending = std::make_unique<PendingFile>(joined);
            if (!pending->open())
                throw EZipArchiver::CreateById(11009, true);
            OutHandle.setFileName(pending->device().fileName());
        } else {
            QTemporaryFile unique(WithTrailingBackslash(target.isEmpty() ? QStringLiteral(".") : target)
                                  + QStringLiteral("zipXXXXXX.zip"));
            unique.setAutoRemove(false);
            if (!unique.open())
                throw EZipArchiver::CreateById(11027, true);
            joined = unique.fileName();
            joinedIsOurs = true;
            OutHandle.setFileName(joined);
        }
        if (!OutHandle.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw EZipArchiver::CreateById(11009, true);

        // Find the last volume: the one that holds the end record.
        EOCRecord record;
        DriveType type = DriveType::Removable;
        for (;;) {
            if (volumesAreFiles(type)) {
                const int number = splitVolumeName(InFileName).digits.toInt();
                if (number == 1)
                    throw EZipArchiver::CreateById(11037, true);
                throw EZipArchiver::CreateWithNumber(11038, number);
            }
            type = PromptForDisk();
            DiskPromptPending = true;
            if (FindEOC(record, false))
                break;
        }
        volumeTime = InHandle.modificationTime();

        LastDisk = static_cast<int>(record.thisDisk);
        DiskNumber = LastDisk;
        if (record.centralDirDisk != record.thisDisk)
            OpenDiskVolume(static_cast<int>(record.centralDirDisk));
        if (!InHandle.seek(static_cast<int64_t>(record.centralDirOffset)))
            throw EZipArchiver::CreateById(11008, true);

        // First pass: the names and sizes of the directory.
        const uint64_t count = record.totalEntries;
        table.reserve(static_cast<size_t>(std::min<uint64_t>(count, 1u << 16)));
        int64_t byteTotal = 0;
        for (uint64_t k = 0; k < count; ++k) {
            SpanEntry entry;
            const CentralHeader header = readCentralHeader(entry.name);
            entry.compressedSize = header.compressedSize;
            table.push_back(entry);
            byteTotal += header.nameLength + static_cast<int64_t>(header.compressedSize)
                + header.extraLength + header.commentLength;
            if (!InHandle.skip(header.extraLength + header.commentLength))
                throw EZipArchiver::CreateById(11008, true);
        }

        // Lookup by name, ignoring case; duplicates are taken in directory order.
        QMultiHash<QByteArray, size_t> byName;
        for (size_t k = table.size(); k-- > 0;)
            byName.insert(table[k].name.toLower(), k);

        OpenDiskVolume(0);
        if (OnProgress) {
            OnProgress(this, ptTotalFiles, QString(), static_cast<int64_t>(count));
            OnProgress(this, ptTotalSize, QString(), byteTotal);
        }
        uint8_t mark[4];
        if (InHandle.read(mark, sizeof mark) != sizeof mark || ByteCursor::loadU32(mark) != kSpanMarkSignature)
            throw EZipArchiver::CreateById(11031, true);

        // Second pass: the local headers and data, in file order.
        for (uint64_t k = 0; k < count; ++k) {
            uint8_t bytes[LocalHeader::kSize];
            readVolumes(bytes, sizeof bytes, 11012);
            const LocalHeader local = LocalHeader::parse(bytes);
            if (local.signature != kLocalHeaderSignature)
                throw EZipArchiver::CreateById(11014, true);
            QByteArray name(local.nameLength, Qt::Uninitialized);
            readVolumes(name.data(), name.size(), 11016);
            SpanEntry *entry = nullptr;
            const auto range = byName.equal_range(name.toLower());
            for (auto it = range.first; it != range.second && !entry; ++it)
                if (table[*it].newOffset < 0)
                    entry = &table[*it];
            if (!entry)
                throw EZipArchiver::CreateById(11026, true);
            entry->newOffset = OutHandle.pos();
            if (OnMessage)
                OnMessage(this, 0, ZipLoadStr(10105, QStringLiteral("Copying: "))
                              + SlashToBackslash(decodeStoredText(name, local.flags)));
            WriteOrRaise(bytes, sizeof bytes, 11028);
            WriteOrRaise(name.constData(), name.size(), 11028);
            CopyAcrossVolumes(local.extraLength, 11018);
            // Writers that put the sizes in a data descriptor leave 0 here.
            CopyAcrossVolumes(local.compressedSize != 0 ? local.compressedSize : entry->compressedSize, 11021);
            if (local.flags & kFlagDataDescriptor)
                copyDataDescriptor();
        }

        // Third pass: the directory, which follows the data.
        int64_t newDirOffset = OutHandle.pos();
        for (uint64_t k = 0; k < count; ++k) {
            QByteArray name;
            CentralHeader header = readCentralHeader(name);
            const SpanEntry &entry = table[k]; // same directory, same order
            if (name.toLower() != entry.name.toLower() || entry.newOffset < 0
                || entry.newOffset > INT64_C(0xFFFFFFFF))
                throw EZipArchiver::CreateById(11026, true);
            header.localHeaderOffset = static_cast<uint32_t>(entry.newOffset);
            header.diskStart = 0;
            uint8_t bytes[CentralHeader::kSize];
            header.write(bytes);
            WriteOrRaise(bytes, sizeof bytes, 11029);
            WriteOrRaise(name.constData(), name.size(), 11029);
            CopyAcrossVolumes(header.extraLength, 11019);
            CopyAcrossVolumes(header.commentLength, 11022);
        }

        // The end record of a one-volume archive.
        EndOfCentralDir eoc = record.classic;
        eoc.thisDisk = 0;
        eoc.centralDirDisk = 0;
        eoc.entriesThisDisk = eoc.totalEntries; // all on the one volume now
        eoc.centralDirOffset = static_cast<uint32_t>(newDirOffset);
        uint8_t eocBytes[EndOfCentralDir::kSize];
        eoc.write(eocBytes);
        WriteOrRaise(eocBytes, sizeof eocBytes, 11030);
        if (!InHandle.skip(EndOfCentralDir::kSize))
            throw EZipArchiver::CreateById(11023, true);
        CopyAcrossVolumes(eoc.commentLength, 11023);

        // Complete: dated like the last volume, then put in place.
        if (!OutHandle.flush()) // before the date, or the last write would change it
            throw EZipArchiver::CreateById(11010, true);
        if (volumeTime != 0)
            OutHandle.setFileTime(QDateTime::fromMSecsSinceEpoch(volumeTime), QFileDevice::FileModificationTime);
        OutHandle.close();
        if (pending) {
            // The file the name held goes to the trash when that is the
            // setting (a name with wildcards would take others along: such a
            // file is only replaced); when the trash refuses it, it stays.
            const bool wildcards = joined.contains('*') || joined.contains('?');
            if (HowToDelete == htdAllowUndo && !wildcards && QFileInfo::exists(joined)
                && EraseFile(joined, htdAllowUndo) > 0)
                throw EZipArchiver::CreateById(11009, true);
            if (!pending->commit(false))
                throw EZipArchiver::CreateById(11009, true);
        }
    } catch (const EZipArchiver &e) {
        ReportException(e);
        result = -7;
    } catch (const std::bad_alloc &) {
        ReportMessage(10103, QString());
        result = -8;
    } catch (const std::exception &e) {
        ReportMessage(11024, QString::fromLocal8Bit(e.what()));
        result = -9;
    }

    if (OnProgress)
        OnProgress(this, ptEndOfBatch, QString(), 0);
    InHandle.close();
    OutHandle.close();
    if (result == 0) {
        target = joined;
    } else {
        if (joinedIsOurs)
            QFile::remove(joined);
        pending.reset(); // its temporary file goes with it
        target.clear();
    }
    UnzipBusy = false;
    m_host->setBusy(false);
    return result;
}

void TZipArchiver::copyDataDescriptor()
{
    // The descriptor's signature is optional (APPNOTE 4.3.9.3): copy 16
    // bytes with it, 12 without.
    uint8_t first[4];
    readVolumes(first, sizeof first, 11020);
    WriteOrRaise(first, sizeof first, 11020);
    const int64_t rest = ByteCursor::loadU32(first) == kDataDescriptorSignature ? 12 : 8;
    CopyAcrossVolumes(rest, 11020);
}
