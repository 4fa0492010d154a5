// Turning a self-extracting executable back into its archive, and copying
// files with their dates.

#include "ZipArchiver.h"

#include "PeImage.h"
#include "PendingFile.h"
#include "SfxHeader.h"
#include "SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <new>

using namespace zipformat;

namespace {

// Where a program can hold its icons; a stub is far smaller.
constexpr int64_t kLargestProgramForIcons = 64 * 1024 * 1024;

// Windows code page 1252 where it differs from Latin-1: bytes 0x80 to 0x9F
// hold printable characters there (the five bytes it leaves undefined keep
// their C1 code points, as Windows itself converts them).
constexpr char16_t kCp1252From80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(const std::string &bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b < 0xA0 ? kCp1252From80[b - 0x80] : char16_t(b));
    }
    return text;
}

// We write header texts in UTF-8. "MPU" headers, and "MPV" headers of older
// writers, hold the Windows ANSI code page, 1252 in the west.
QString headerText(const std::string &bytes, bool oldForm)
{
    if (oldForm)
        return fromWindows1252(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return decoder.hasError() ? fromWindows1252(bytes) : text;
}

QString withZipSuffix(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".zip"));
}

} // namespace

void TZipArchiver::applySfxHeader(const SfxHeader &header)
{
    SFXOptions = SFXOpts();
    SFXOverWriteMode = OvrConfirm;
    const auto has = [&header](uint8_t flag) { return (header.flags & flag) != 0; };
    if (has(SfxHeader::AskCmdLine))
        SFXOptions.insert(SFXAskCmdLine);
    if (has(SfxHeader::AskFiles))
        SFXOptions.insert(SFXAskFiles);
    if (has(SfxHeader::HideOverwriteBox))
        SFXOptions.insert(SFXHideOverWriteBox);
    if (has(SfxHeader::OverwriteAlways))
        SFXOverWriteMode = OvrAlways;
    if (has(SfxHeader::OverwriteNever))
        SFXOverWriteMode = OvrNever; // wins when both are set
    if (!has(SfxHeader::NoCheckSize))
        SFXOptions.insert(SFXCheckSize);
    if (has(SfxHeader::AutoRun))
        SFXOptions.insert(SFXAutoRun);
    SFXCaption = headerText(header.caption, header.oldForm);
    SFXDefaultDir = headerText(header.defaultDir, header.oldForm);
    SFXCommandLine = headerText(header.commandLine, header.oldForm);
    if (!header.oldForm) {
        if (has(SfxHeader::NoSuccessMsg))
            SFXOptions.insert(SFXNoSuccessMsg);
        SFXMessage = headerText(header.message, header.oldForm);
    }
}

int TZipArchiver::StripSFX()
{
    SystemError::clear();
    CancelRequested = false;
    if (m_zipFileName.isEmpty() || !QFileInfo(m_zipFileName).isFile()) {
        ReportMessage(10901, QString());
        return -3;
    }
    if (QFileInfo(m_zipFileName).suffix().toUpper() != QLatin1String("EXE")) {
        ReportMessage(10902, QString());
        return -3;
    }
    if (ArchiveStart == 0) {
        ReportMessage(10903, QString());
        return -9;
    }
    BusyScope busy(*m_host);
    const QString outputName = withZipSuffix(m_zipFileName);
    PendingFile pending(outputName);
    if (!pending.open())
        return -1;
    QFileDevice &output = pending.device();

    int result = -2;
    int64_t archiveLength = -1;
    try {
        const int64_t n = std::min<int64_t>(ArchiveStart, SfxHeader::kLargestSize);
        InFileName = m_zipFileName;
        EOCRecord record;
        FindEOC(record, true);
        if (readSfxOptionsFromOpenFile(n)) {
            InHandle.seek(ArchiveStart);
            m_copyDone = 0;
            m_copyTotal = PhysicalSize - ArchiveStart;
            if (OffsetsMismatch) {
                result = CopyBlock(InHandle, output, -1);
                archiveLength = PhysicalSize;
            } else {
                result = CopyBlock(InHandle, output, static_cast<int64_t>(record.centralDirOffset) - ArchiveStart);
                if (result == 0)
                    result = CopyShiftedDirectory(output, record, -ArchiveStart);
                archiveLength = ArchiveEnd;
            }
        }
    } catch (const std::bad_alloc &) {
        result = -10;
    } catch (...) {
        result = -3;
    }
    InHandle.close();
    if (result == 0 && !output.flush()) {
        SystemError::note(output.errorString());
        result = -2;
    }
    if (result == 0 && (archiveLength < 0 || output.size() != archiveLength - ArchiveStart))
        result = -9;
    if (result != 0)
        return result; // the pending output goes with it
    if (QFileInfo::exists(outputName))
        EraseFile(outputName, HowToDelete);
    if (!pending.commit(erasingLosesData(m_zipFileName)))
        return -2;
    EraseFile(m_zipFileName, HowToDelete);
    setZipFileName(outputName);
    return 0;
}

bool TZipArchiver::readSfxOptionsFromOpenFile(int64_t n)
{
    std::vector<uint8_t> tail(static_cast<size_t>(n));
    if (!InHandle.seek(ArchiveStart - n) || InHandle.read(tail.data(), tail.size()) != tail.size())
        return false;
    if (const std::optional<SfxHeader> header = SfxHeader::find(tail.data(), tail.size())) {
        readIconOfProgram();
        applySfxHeader(*header);
        m_sfxHeaderFound = true;
    }
    return true;
}

bool TZipArchiver::ReadSFXOptions()
{
    m_sfxHeaderFound = false;
    if (m_zipFileName.isEmpty() || ArchiveStart <= 0)
        return false;
    InFileName = m_zipFileName;
    if (!InHandle.open(InFileName))
        return false;
    try {
        readSfxOptionsFromOpenFile(std::min<int64_t>(ArchiveStart, SfxHeader::kLargestSize));
    } catch (const std::exception &) {
        m_sfxHeaderFound = false;
    }
    InHandle.close();
    return m_sfxHeaderFound;
}

void TZipArchiver::readIconOfProgram()
{
    // The first icon of the program in front of the archive; a program
    // without icons leaves SFXIcon as it was.
    if (ArchiveStart > kLargestProgramForIcons || !InHandle.seek(0))
        return;
    QByteArray program(static_cast<qsizetype>(ArchiveStart), Qt::Uninitialized);
    if (InHandle.read(program.data(), program.size()) != static_cast<size_t>(program.size()))
        return;
    if (const std::optional<PeImage> pe = PeImage::parse(program)) {
        const QByteArray icon = pe->iconFile(0);
        if (!icon.isEmpty())
            m_sfxIcon = icon;
    }
}

int TZipArchiver::CopyZipFile(const QString &source, const QString &destination)
{
    SystemError::clear();
    CancelRequested = false;
    if (!QFileInfo(source).isFile())
        return -3;
    BusyScope busy(*m_host);
    BufferedFile input;
    if (!input.open(source)) {
        SystemError::noteErrno();
        return -3;
    }
    // Made under a temporary name, so an existing destination survives a
    // failed copy.
    PendingFile pending(destination);
    if (!pending.open())
        return -1;
    QFileDevice &output = pending.device();
    m_copyDone = 0;
    m_copyTotal = input.size();
    int result = CopyBlock(input, output, -1);
    if (result == 0 && !output.flush()) {
        SystemError::note(output.errorString());
        result = -2;
    }
    if (result == 0 && output.size() != input.size())
        result = -9;
    if (result != 0)
        return result;
    const bool dated = output.setFileTime(QDateTime::fromMSecsSinceEpoch(input.modificationTime()),
                                          QFileDevice::FileModificationTime);
    if (QFileInfo::exists(destination))
        EraseFile(destination, HowToDelete);
    if (!pending.commit(false))
        return -2;
    return dated ? 0 : -4;
}
