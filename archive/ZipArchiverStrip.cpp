// Turning a self-extracting executable back into its archive, and copying
// files with their dates.

#include "ZipArchiver.h"

#include "PeImage.h"
#include "PendingFile.h"
#include "SfxHeader.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <new>

using namespace zipformat;

namespace {

// Where a program can hold its icons; a stub is far smaller.
constexpr int64_t kLargestProgramForIcons = 64 * 1024 * 1024;

// Header texts are UTF-8; older headers hold the Windows ANSI code page,
// of which Latin-1 is the closest Unicode subset.
QString headerText(const std::string &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return decoder.hasError() ? QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())) : text;
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
    SFXCaption = headerText(header.caption);
    SFXDefaultDir = headerText(header.defaultDir);
    SFXCommandLine = headerText(header.commandLine);
    if (!header.oldForm) {
        if (has(SfxHeader::NoSuccessMsg))
            SFXOptions.insert(SFXNoSuccessMsg);
        SFXMessage = headerText(header.message);
    }
}

int TZipArchiver::StripSFX()
{
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
    if (result == 0 && !output.flush())
        result = -2;
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
    if (!QFileInfo(source).isFile())
        return -3;
    BusyScope busy(*m_host);
    BufferedFile input;
    if (!input.open(source))
        return -3;
    // Made under a temporary name, so an existing destination survives a
    // failed copy.
    PendingFile pending(destination);
    if (!pending.open())
        return -1;
    QFileDevice &output = pending.device();
    m_copyDone = 0;
    m_copyTotal = input.size();
    int result = CopyBlock(input, output, -1);
    if (result == 0 && !output.flush())
        result = -2;
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
