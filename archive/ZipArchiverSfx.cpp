// Writing a self-extracting executable: the stub (its icon patched), the
// options header, then the archive with every stored offset shifted by what
// now precedes it. Also the copy routines the reverse converter shares.

#include "ZipArchiver.h"

#include "PeImage.h"
#include "PendingFile.h"
#include "SfxHeader.h"
#include "SystemError.h"
#include "WinZipAes.h"
#include "ZipMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <new>
#include <sys/stat.h>

using namespace zipformat;

namespace {

constexpr int64_t kCopyPiece = 256 * 1024; // large enough for speed, small enough to keep the UI served
constexpr int64_t kKernelPiece = 16 * 1024 * 1024; // a few ms in the page cache, under 0.1 s on a slow disk
constexpr qsizetype kIconFileSize = 766;   // 6-byte header, one 16-byte entry, one 744-byte image
constexpr quint32 kIconImageSize = 744;    // one 32x32 16-colour image
constexpr int kOffsetOverflow = 10804;

// The name in the folder that equals `name` without regard to case, or empty.
QString findIgnoringCase(const QString &folder, const QString &name)
{
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return dir.filePath(name);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &candidate : files)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(candidate);
    return QString();
}

// Notes the system's reason for a failed write; the copy result is -2.
int writeFailed(const QIODevice &output)
{
    // A short write leaves Qt without a reason; the system's is in errno.
    const int error = errno;
    if (output.errorString() == QLatin1String("Unknown error") && error != 0)
        SystemError::noteErrno(error);
    else
        SystemError::note(output.errorString());
    return -2;
}

QString withSuffix(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    const QString stem = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(stem + suffix);
}

} // namespace

TZipArchiver::BusyScope::BusyScope(ArchiverHost &host) : m_host(host)
{
    m_host.setBusy(true);
}

TZipArchiver::BusyScope::~BusyScope()
{
    m_host.setBusy(false);
}

bool TZipArchiver::erasingLosesData(const QString &source) const
{
    // Moved to the trash, or still linked under another name, the source
    // survives a crash that loses the unsynced output.
    struct stat st {};
    return HowToDelete == htdFinal && ::stat(QFile::encodeName(source).constData(), &st) == 0 && st.st_nlink == 1;
}

zipformat::SfxHeader TZipArchiver::sfxHeaderFromProperties() const
{
    SfxHeader h;
    h.caption = SFXCaption.toStdString();
    h.defaultDir = SFXDefaultDir.toStdString();
    h.commandLine = SFXCommandLine.toStdString();
    h.message = SFXMessage.toStdString();
    const auto flagIf = [&h](bool condition, uint8_t flag) {
        if (condition)
            h.flags |= flag;
    };
    flagIf(SFXOptions.contains(SFXAskCmdLine), SfxHeader::AskCmdLine);
    flagIf(SFXOptions.contains(SFXAskFiles), SfxHeader::AskFiles);
    flagIf(SFXOptions.contains(SFXHideOverWriteBox), SfxHeader::HideOverwriteBox);
    flagIf(SFXOverWriteMode == OvrAlways, SfxHeader::OverwriteAlways);
    flagIf(SFXOverWriteMode == OvrNever, SfxHeader::OverwriteNever);
    flagIf(!SFXOptions.contains(SFXCheckSize), SfxHeader::NoCheckSize);
    flagIf(SFXOptions.contains(SFXAutoRun), SfxHeader::AutoRun);
    flagIf(SFXOptions.contains(SFXNoSuccessMsg), SfxHeader::NoSuccessMsg);
    return h;
}

QString TZipArchiver::findStub()
{
    const QString stubName = QStringLiteral("SFXSTUB.BIN");
    QStringList candidates;
    const QFileInfo asSet(SFXPath);
    candidates << findIgnoringCase(asSet.path(), asSet.fileName())
               << findIgnoringCase(QDir::currentPath(), stubName)
               << findIgnoringCase(QCoreApplication::applicationDirPath(), stubName)
               << findIgnoringCase(QStringLiteral("/usr/local/share/mantole"), stubName)
               << findIgnoringCase(QStringLiteral("/usr/share/mantole"), stubName);
    if (!m_dllDirectory.isEmpty())
        candidates << findIgnoringCase(m_dllDirectory, stubName);
    for (const QString &candidate : candidates) {
        if (!candidate.isEmpty()) {
            SFXPath = candidate;
            return candidate;
        }
    }
    return QString();
}

bool TZipArchiver::shiftFitsInOffsets(const EOCRecord &record, int64_t shift) const
{
    // A 32-bit offset that would pass 0xFFFFFFFE after the shift cannot be
    // stored; offsets already in Zip64 fields can.
    const auto fits = [shift](uint64_t offset) { return offset + static_cast<uint64_t>(shift) < kSaturated32; };
    for (const ZipDirEntry &e : m_entries)
        if (e.LocalHeaderOffset < kSaturated32 && !fits(e.LocalHeaderOffset))
            return false;
    return record.zip64 || record.classic.centralDirOffset == kSaturated32
        || fits(record.classic.centralDirOffset);
}

namespace {

// The compression methods the stub lacks, by name; empty for the two it has.
QString methodRefusal(int method)
{
    switch (method) {
    case 0:
    case 8: return QString();
    case 1: return QStringLiteral("shrink compression");
    case 2:
    case 3:
    case 4:
    case 5: return QStringLiteral("reduce compression");
    case 6: return QStringLiteral("implode compression");
    case 9: return QStringLiteral("Deflate64 compression");
    case 10: return QStringLiteral("PKWARE DCL implode compression");
    case 12: return QStringLiteral("bzip2 compression");
    case 14: return QStringLiteral("LZMA compression");
    case 16: return QStringLiteral("IBM z/OS CMPSC compression");
    case 18: return QStringLiteral("IBM TERSE compression");
    case 19: return QStringLiteral("IBM LZ77 compression");
    case 93: return QStringLiteral("Zstandard compression");
    case 95: return QStringLiteral("XZ compression");
    case 96: return QStringLiteral("JPEG compression");
    case 97: return QStringLiteral("WavPack compression");
    case 98: return QStringLiteral("PPMd compression");
    default: return QStringLiteral("compression method %1").arg(method);
    }
}

} // namespace

QString TZipArchiver::StubRefusalReason(const ZipDirEntry &entry)
{
    // Bit 6: PKWARE's strong encryption; the certificate-based schemes are
    // nothing the stub knows.
    if (entry.Flags & 0x0040)
        return QStringLiteral("strong encryption");
    // WinZip's AES puts 99 in the method field and the real method in its
    // 0x9901 extra field: the stub decrypts it when it can inflate what is
    // under it.
    if (entry.Method == zipformat::kAesMethod)
        return entry.AesMethod < 0 ? QStringLiteral("AES encryption of an unknown kind") : methodRefusal(entry.AesMethod);
    return methodRefusal(entry.Method);
}

std::vector<TZipArchiver::StubRefusal> TZipArchiver::EntriesTheStubCannotExtract() const
{
    std::vector<StubRefusal> refused;
    if (m_zipFileName.isEmpty())
        return refused;
    for (const ZipDirEntry &e : m_entries)
        if (QString reason = StubRefusalReason(e); !reason.isEmpty())
            refused.push_back({e.FileName, std::move(reason)});
    return refused;
}

int TZipArchiver::WriteSFX()
{
    SystemError::clear();
    CancelRequested = false;
    if (!CreatingEmptySFX && !QFileInfo(m_zipFileName).isFile()) {
        ReportMessage(10102, QString());
        return -9;
    }
    const SfxHeader header = sfxHeaderFromProperties();
    if (!header.textsFit()) {
        ReportMessage(10801, QStringLiteral("\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = ")
                                 + QString::number(header.size() + 1));
        return -9;
    }
    const QString stubPath = findStub();
    if (stubPath.isEmpty()) {
        ReportMessage(10802, QString());
        return -9;
    }
    const std::vector<uint8_t> headerBytes = header.write();
    const int64_t headerLength = static_cast<int64_t>(headerBytes.size());
    BusyScope busy(*m_host);

    QString outputName = m_zipFileName;
    if (!CreatingEmptySFX) {
        if (QFileInfo(m_zipFileName).suffix().toUpper() != QLatin1String("ZIP")) {
            ReportMessage(10803, QString());
            return -9;
        }
        outputName = withSuffix(m_zipFileName, QStringLiteral(".exe"));
    }

    // Written under a temporary name and put in place only once complete, so
    // neither a previous executable nor the archive is lost on a failure.
    PendingFile pending(outputName);
    if (!pending.open())
        return -1;
    QFileDevice &output = pending.device();

    int result = 0;
    int64_t stubLength = -1;
    int64_t archiveLength = -1;
    QByteArray stub;
    {
        QFile stubFile(stubPath);
        if (!stubFile.open(QIODevice::ReadOnly)) {
            SystemError::note(stubFile.errorString());
            result = -3;
        }
        else {
            stub = stubFile.readAll();
            stubLength = stubFile.size() == stub.size() ? stub.size() : -1;
        }
    }
    if (result == 0 && !m_sfxIcon.isEmpty())
        result = ReplaceStubIcon(stub);
    m_copyDone = 0;
    m_copyTotal = stub.size() + headerLength + (CreatingEmptySFX ? 22 : QFileInfo(m_zipFileName).size());
    if (result == 0 && output.write(stub) != stub.size())
        result = writeFailed(output);
    if (result == 0
        && output.write(reinterpret_cast<const char *>(headerBytes.data()), headerLength) != headerLength)
        result = writeFailed(output);

    const int64_t shift = stubLength + headerLength;
    if (result == 0 && CreatingEmptySFX) {
        EndOfCentralDir empty;
        empty.centralDirOffset = static_cast<uint32_t>(shift);
        uint8_t bytes[EndOfCentralDir::kSize];
        empty.write(bytes);
        if (output.write(reinterpret_cast<const char *>(bytes), sizeof bytes) != sizeof bytes)
            result = writeFailed(output);
    } else if (result == 0) {
        result = writeShiftedArchive(output, shift, archiveLength);
    }

    if (result == 0 && !output.flush())
        result = writeFailed(output);
    const int64_t outputLength = output.size();
    if (result == 0 && !CreatingEmptySFX
        && (stubLength < 0 || archiveLength < 0 || outputLength != stubLength + archiveLength + headerLength))
        result = -9;
    if (result != 0)
        return result; // the pending output goes with it

    if (QFileInfo::exists(outputName) && outputName != m_zipFileName)
        EraseFile(outputName, HowToDelete);
    if (!pending.commit(!CreatingEmptySFX && erasingLosesData(m_zipFileName)))
        return -2;
    if (!CreatingEmptySFX) {
        EraseFile(m_zipFileName, HowToDelete);
        setZipFileName(outputName);
    }
    return 0;
}

int TZipArchiver::writeShiftedArchive(QFileDevice &output, int64_t shift, int64_t &archiveLength)
{
    InFileName = m_zipFileName;
    EOCRecord record;
    try {
        FindEOC(record, true);
    } catch (const EZipArchiver &) {
        InHandle.close();
        return -3;
    }
    int result = 0;
    if (OffsetsMismatch) {
        InHandle.seek(0);
        result = CopyBlock(InHandle, output, -1);
        archiveLength = PhysicalSize;
    } else if (!shiftFitsInOffsets(record, shift)) {
        ReportMessage(kOffsetOverflow, QString());
        result = -9;
    } else {
        InHandle.seek(0);
        result = CopyBlock(InHandle, output, static_cast<int64_t>(record.centralDirOffset));
        if (result == 0)
            result = CopyShiftedDirectory(output, record, shift);
        archiveLength = ArchiveEnd;
    }
    InHandle.close();
    return result;
}

int TZipArchiver::CopyBlock(BufferedFile &input, QIODevice &output, int64_t count)
{
    try {
        if (auto *file = qobject_cast<QFileDevice *>(&output)) {
            const int fast = copyInKernel(input, *file, count);
            if (fast != 1)
                return fast;
        }
        std::vector<char> piece(static_cast<size_t>(kCopyPiece));
        for (;;) {
            const int64_t wanted = count >= 0 && count < kCopyPiece ? count : kCopyPiece;
            const size_t got = input.read(piece.data(), static_cast<size_t>(wanted));
            if (output.write(piece.data(), static_cast<qint64>(got)) != static_cast<qint64>(got))
                return writeFailed(output);
            if (count > 0)
                count -= static_cast<int64_t>(got);
            m_copyDone += static_cast<int64_t>(got);
            m_host->copyProgress(m_copyDone, m_copyTotal);
            m_host->processEvents();
            if (CancelRequested)
                return -2;
            if (count == 0 || static_cast<int64_t>(got) < wanted)
                return 0;
        }
    } catch (...) {
        return -2;
    }
}

int TZipArchiver::copyInKernel(BufferedFile &input, QFileDevice &output, int64_t &count)
{
    if (output.handle() < 0 || !output.flush())
        return 1;
    for (;;) {
        const int64_t wanted = count >= 0 && count < kKernelPiece ? count : kKernelPiece;
        if (wanted == 0)
            return 0;
        const int64_t copied = input.copyTo(output.handle(), wanted);
        if (copied < 0) {
            errno = 0; // the memory copy says its own reason
            return 1; // not between these files: copy through memory instead
        }
        // Keep the device's idea of its position in step with the kernel's.
        if (copied > 0 && !output.seek(output.pos() + copied))
            return writeFailed(output);
        if (count > 0)
            count -= copied;
        m_copyDone += copied;
        m_host->copyProgress(m_copyDone, m_copyTotal);
        m_host->processEvents();
        if (CancelRequested)
            return -2; // the user stopped it: the caller drops the partial output
        if (copied < wanted)
            return 0; // end of input
    }
}

int TZipArchiver::CopyShiftedDirectory(QIODevice &output, const EOCRecord &record, int64_t shift)
{
    const auto writeOrRaise = [&output](const void *bytes, int64_t count, int id) {
        if (output.write(static_cast<const char *>(bytes), count) != count) {
            writeFailed(output);
            throw EZipArchiver::CreateById(id, false);
        }
    };
    // A shifted 32-bit offset wraps; one that would leave the 32-bit range
    // upwards needs Zip64 and is refused.
    const auto shifted32 = [shift](uint32_t offset) {
        const int64_t moved = static_cast<int64_t>(offset) + shift;
        if (shift > 0 && moved >= static_cast<int64_t>(kSaturated32))
            throw EZipArchiver::CreateById(kOffsetOverflow, false);
        return static_cast<uint32_t>(moved);
    };
    try {
        for (uint64_t k = 0; k < record.totalEntries; ++k) {
            uint8_t bytes[CentralHeader::kSize];
            if (InHandle.read(bytes, sizeof bytes) != sizeof bytes)
                throw EZipArchiver::CreateById(11013, false);
            CentralHeader header = CentralHeader::parse(bytes);
            if (header.signature != kCentralHeaderSignature)
                throw EZipArchiver::CreateById(11015, false);
            QByteArray rest(header.nameLength + header.extraLength + header.commentLength, Qt::Uninitialized);
            if (InHandle.read(rest.data(), rest.size()) != static_cast<size_t>(rest.size()))
                throw EZipArchiver::CreateById(11042, false);
            if (header.localHeaderOffset == kSaturated32) {
                auto *extra = reinterpret_cast<uint8_t *>(rest.data()) + header.nameLength;
                const long at = zip64OffsetPosition(header, extra, header.extraLength);
                if (at < 0)
                    throw EZipArchiver::CreateById(11042, false);
                ByteWriter(extra + at, 8).u64(ByteCursor::loadU64(extra + at) + static_cast<uint64_t>(shift));
            } else {
                header.localHeaderOffset = shifted32(header.localHeaderOffset);
            }
            header.write(bytes);
            writeOrRaise(bytes, sizeof bytes, 11029);
            writeOrRaise(rest.constData(), rest.size(), 11042);
        }
        if (record.zip64)
            copyShiftedZip64End(output, record, shift);
        if (!InHandle.seek(EOCOffset + static_cast<int64_t>(EndOfCentralDir::kSize)))
            throw EZipArchiver::CreateById(11043, false);
        EndOfCentralDir eoc = record.classic;
        if (eoc.centralDirOffset != kSaturated32) {
            const int64_t moved = static_cast<int64_t>(eoc.centralDirOffset) + shift;
            eoc.centralDirOffset = record.zip64 && moved >= static_cast<int64_t>(kSaturated32)
                ? kSaturated32
                : shifted32(eoc.centralDirOffset);
        }
        uint8_t eocBytes[EndOfCentralDir::kSize];
        eoc.write(eocBytes);
        writeOrRaise(eocBytes, sizeof eocBytes, 11030);
        if (CopyBlock(InHandle, output, eoc.commentLength) != 0)
            throw EZipArchiver::CreateById(11044, false);
        return 0;
    } catch (...) {
        return -2;
    }
}

void TZipArchiver::copyShiftedZip64End(QIODevice &output, const EOCRecord &record, int64_t shift)
{
    // Whatever lies between the directory and the Zip64 end record, and the
    // record's extensible data, is copied as it is.
    const auto copyUpTo = [&](int64_t position) {
        const int64_t count = position - InHandle.position();
        if (count < 0 || CopyBlock(InHandle, output, count) != 0)
            throw EZipArchiver::CreateById(11030, false);
    };
    copyUpTo(record.zip64RecordOffset);
    uint8_t end[Zip64EndOfCentralDir::kSize];
    if (InHandle.read(end, sizeof end) != sizeof end)
        throw EZipArchiver::CreateById(11030, false);
    Zip64EndOfCentralDir zip64 = Zip64EndOfCentralDir::parse(end);
    zip64.centralDirOffset += static_cast<uint64_t>(shift);
    zip64.write(end);
    if (output.write(reinterpret_cast<const char *>(end), sizeof end) != sizeof end) {
        writeFailed(output);
        throw EZipArchiver::CreateById(11030, false);
    }

    const int64_t locatorOffset = EOCOffset - static_cast<int64_t>(Zip64Locator::kSize);
    copyUpTo(locatorOffset);
    uint8_t bytes[Zip64Locator::kSize];
    if (InHandle.read(bytes, sizeof bytes) != sizeof bytes)
        throw EZipArchiver::CreateById(11030, false);
    Zip64Locator locator = Zip64Locator::parse(bytes);
    locator.endRecordOffset = static_cast<uint64_t>(record.zip64RecordOffset + shift);
    locator.write(bytes);
    if (output.write(reinterpret_cast<const char *>(bytes), sizeof bytes) != sizeof bytes)
        throw EZipArchiver::CreateById(11030, false);
}

std::optional<quint32> TZipArchiver::FindIconImage(const PeImage &pe)
{
    // Depth first, first match in entry order: type 3 (icon), then id 1,
    // then any language; the image of one 32x32 16-colour icon is 744 bytes.
    const std::function<std::optional<quint32>(quint32, int)> search =
        [&](quint32 directory, int level) -> std::optional<quint32> {
        for (const PeImage::DirectoryEntry &entry : pe.directoryAt(directory)) {
            if (entry.isNamed())
                continue;
            if ((level == 1 && entry.nameOrId != PeImage::kIconType) || (level == 2 && entry.nameOrId != 1))
                continue;
            if (entry.isSubdirectory()) {
                if (level < 3)
                    if (const std::optional<quint32> hit = search(entry.target(), level + 1))
                        return hit;
            } else if (const std::optional<PeImage::DataEntry> data = pe.dataEntryAt(entry.target())) {
                if (data->size == kIconImageSize)
                    return data->rva;
            }
        }
        return std::nullopt;
    };
    return search(0, 1);
}

int TZipArchiver::ReplaceStubIcon(QByteArray &stub)
{
    try {
        const std::optional<PeImage> pe = PeImage::parse(stub);
        if (!pe || !pe->resourceTableOffset())
            return -10;
        const std::optional<quint32> imageRva = FindIconImage(*pe);
        if (!imageRva)
            return -10;
        const std::optional<qint64> imageAt = pe->resourceFileOffset(*imageRva);
        if (!imageAt || *imageAt + kIconImageSize > stub.size())
            return -10;
        if (m_sfxIcon.size() != kIconFileSize)
            return -12;
        stub.replace(*imageAt, kIconImageSize, m_sfxIcon.mid(22, kIconImageSize));
        return 0;
    } catch (...) {
        return -11;
    }
}
