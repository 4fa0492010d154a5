#pragma once
// TZipArchiver, the archive engine: it names the archive the wizard works on,
// keeps its central directory in memory and carries every operation on
// archives. It never opens a window (see ArchiverHost) and never lets an
// exception reach its caller: failures become messages (ErrCode, Message,
// OnMessage, a box unless Unattended) and, for file operations, negative
// result codes.

#include "ArchiverHost.h"
#include "BufferedFile.h"
#include "EZipArchiver.h"
#include "EnumSet.h"
#include "ZipDirEntry.h"
#include "ZipRecords.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class LibraryRequest;
class PeImage;
class QFileDevice;
class QIODevice;
class VolumeProbe;
namespace zipformat {
struct SfxHeader;
}
enum class DriveType;

enum AddOptsEnum {
    AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS,
    AddHiddenFiles, AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddDiskSpan,
    AddDiskSpanErase
};
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
enum SFXOptsEnum {
    SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg
};
enum AddStoreSuffixEnum {
    assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA, assEXE
};
enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum CodePageOpts { cpAuto, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
// Order in which progress reports arrive; what each means beyond that is
// up to the operation reporting it.
enum ProgressType { ptNewFile, ptUpdate, ptEndOfBatch, ptTotalFiles, ptTotalSize };
// Why the extraction library skipped a file; the library defines the values.
enum UnZipSkipTypes : int {};
enum DiskSpaceQuery { dsFree, dsTotal, dsBoth };

using AddOpts = EnumSet<AddOptsEnum>;
using ExtrOpts = EnumSet<ExtrOptsEnum>;
using SFXOpts = EnumSet<SFXOptsEnum>;
using AddStoreSuffixSet = EnumSet<AddStoreSuffixEnum>;

// What FindEOC found: the classic end record as stored, and the values in
// force, which come from the Zip64 end record when the archive has one.
struct EOCRecord {
    zipformat::EndOfCentralDir classic;
    bool zip64 = false;
    int64_t zip64RecordOffset = -1; // real file offset of the Zip64 end record
    uint32_t thisDisk = 0;
    uint32_t centralDirDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t centralDirSize = 0;
    uint64_t centralDirOffset = 0; // as stored
};

class TZipArchiver {
public:
    explicit TZipArchiver(ArchiverHost *host = nullptr);
    ~TZipArchiver();
    TZipArchiver(const TZipArchiver &) = delete;
    TZipArchiver &operator=(const TZipArchiver &) = delete;

    // Installs the host that shows messages and answers questions; the
    // component does not own it. nullptr restores a silent host.
    void setHost(ArchiverHost *host);
    ArchiverHost &host() const { return *m_host; }
    // Installs the drive probe (tests stand in removable drives); not owned.
    void setVolumeProbe(VolumeProbe *probe);

    // ---- Published properties ----
    bool Verbose = false;
    bool Trace = false;
    int AddCompLevel = 9;
    AddOpts AddOptions;
    QString ExtrBaseDir;
    ExtrOpts ExtrOptions;
    SFXOpts SFXOptions{SFXCheckSize};
    bool Unattended = false;
    QString Password;
    QString SFXPath = QStringLiteral("SfxStub.bin");
    OvrOpts SFXOverWriteMode = OvrConfirm;
    QString SFXCaption = QStringLiteral("Self-extracting Archive");
    QString SFXDefaultDir;
    QString SFXCommandLine;
    QString SFXMessage;
    QString TempDir;
    CodePageOpts CodePage = cpAuto;
    DeleteOpts HowToDelete = htdAllowUndo;
    AddStoreSuffixSet AddStoreSuffixes{assGIF, assPNG, assZ, assZIP, assZOO, assARC,
                                      assLZH, assARJ, assTAZ, assTGZ, assLHA};
    // Settings of multi-disk writing, which this program never does; kept
    // with the settings only.
    int KeepFreeOnDisk1 = 0;
    int MaxVolumeSize = 0;
    int MinFreeVolumeSize = 65536;
    bool ConfirmErase = true;

    // Assigning stores the name and lists the archive at once.
    const QString &ZipFileName() const { return m_zipFileName; }
    void setZipFileName(const QString &name);
    const QString &DLLDirectory() const { return m_dllDirectory; }
    void setDLLDirectory(const QString &folder);
    const QString &VersionInfo() const { return m_versionInfo; }
    void setVersionInfo(const QString &) {} // fixed when the component is made
    quint32 PasswordReqCount() const { return m_passwordReqCount; }
    void setPasswordReqCount(quint32 count);
    const QStringList &FSpecArgs() const { return m_fSpecArgs; }
    void setFSpecArgs(const QStringList &patterns) { m_fSpecArgs = patterns; }
    const QStringList &FSpecArgsExcl() const { return m_fSpecArgsExcl; }
    void setFSpecArgsExcl(const QStringList &patterns) { m_fSpecArgsExcl = patterns; }
    // The icon in icon-file form (the bytes of a .ico file); empty for none.
    const QByteArray &SFXIcon() const { return m_sfxIcon; }
    void setSFXIcon(const QByteArray &icon) { m_sfxIcon = icon; }

    // ---- Run-time state ----
    const std::vector<ZipDirEntry> &Entries() const { return m_entries; }
    int Count() const;
    int ErrCode = 0;
    int FullErrCode = 0;
    QString Message;
    int ProcessedCount = 0;
    bool CancelRequested = false;
    bool ZipBusy = false;
    bool UnzipBusy = false;
    int64_t ArchiveStart = 0;
    int64_t ArchiveEnd = 0;
    int64_t PhysicalSize = 0;
    int64_t EOCOffset = 0;
    int64_t CentralDirOffset = 0;
    QString ArchiveComment;
    bool OffsetsMismatch = false;
    QString InFileName;
    BufferedFile InHandle;
    uint8_t LastHostSystem = 0;
    uint8_t LastMadeByVersion = 0;
    QString DriveRoot;
    QString VolumeLabel;
    quint32 VolumeSerial = 0;
    int64_t DiskTotalSize = -1;
    int64_t DiskFreeSpace = -1;
    int DiskNumber = -1;
    int LastDisk = 0;
    bool Spanned = false;
    bool DiskPromptPending = false;
    bool CreatingEmptySFX = false;

    // ---- Events: each is called only when assigned ----
    std::function<void(TZipArchiver *)> OnDirUpdate;
    std::function<void(TZipArchiver *, int seqNo, const ZipDirEntry &entry)> OnNewName;
    std::function<void(TZipArchiver *, int errCode, const QString &message)> OnMessage;
    std::function<void(TZipArchiver *, ProgressType, const QString &fileName, int64_t fileSize)> OnProgress;
    std::function<void(TZipArchiver *, QString &oldFileName, bool &isChanged)> OnSetNewName;
    std::function<void(TZipArchiver *, const QString &forFile, quint32 foundCRC, quint32 expectedCRC,
                       bool &doExtract)> OnCRC32Error;
    std::function<void(TZipArchiver *, QString &newPassword, const QString &forFile,
                       quint32 &repeatCount)> OnPasswordError;
    std::function<void(TZipArchiver *, const QString &forFile, bool isOlder, bool &doOverwrite)>
        OnExtractOverwrite;
    std::function<void(TZipArchiver *, const QString &forFile, UnZipSkipTypes skipType, int extError)>
        OnExtractSkipped;

    // ---- Messages ----
    void ClearEntries();
    // The id's text from the message table, or the default when it has none.
    static QString ZipLoadStr(int id, const QString &defaultText);
    void ReportMessage(int id, const QString &extra);
    void ReportException(const EZipArchiver &e);

    // ---- Names and files ----
    // Converts a stored name or comment from the OEM code page (toOem false:
    // the result is UTF-8) or to it (toOem true: the text is UTF-8), when the
    // CodePage setting and the entry last read call for it; otherwise the
    // text comes back unchanged.
    QByteArray TranslateName(const QByteArray &text, bool toOem) const;
    static QString SlashToBackslash(const QString &text);
    static QString WithTrailingBackslash(const QString &folder);
    static bool IsExistingFolder(const QString &path);
    // -1 when no file has the name (wildcards allowed), else 0 on success or
    // the number of files that could not be deleted.
    int EraseFile(const QString &name, DeleteOpts mode);

    // ---- Directory reader ----
    void List();
    bool FindEOC(EOCRecord &record, bool raiseOnFailure);
    bool CheckDrive();
    void QueryDiskSpace(DiskSpaceQuery which);

    // ---- Multi-volume reading ----
    DriveType PromptForDisk();
    bool IsExpectedVolume(DriveType type);
    void OpenDiskVolume(int n);
    // Joins the volumes of source into one archive. target is a file name
    // (written as given, and replaced only once the join is complete) or a
    // folder ending in "/" (a unique name is made there); on return it
    // holds the joined archive's name, or is empty after a failure.
    // 0 on success, -7, -8 or -9 after a failure.
    int ReadSpan(const QString &source, QString &target);

    // ---- Self-extracting executables and file copies ----
    // Writes ZipFileName as a self-extracting executable beside it (.exe),
    // or with CreatingEmptySFX an executable holding an empty archive into
    // ZipFileName itself. 0 on success, else a negative result code.
    int WriteSFX();
    // The listed entries the extractor stub cannot take, each with why: the
    // stub inflates stored and deflated data, plain, under the traditional
    // password scheme or under WinZip AES. Empty when the whole archive comes
    // out on Windows.
    struct StubRefusal {
        QString FileName;
        QString Reason; // "bzip2 compression", "strong encryption", ...
    };
    std::vector<StubRefusal> EntriesTheStubCannotExtract() const;
    // Why the stub cannot extract this entry, or empty when it can.
    static QString StubRefusalReason(const ZipDirEntry &entry);
    // Writes the archive inside the executable ZipFileName to a .zip beside
    // it and reads the options header back into the SFX properties.
    int StripSFX();
    // Reads the options header (and the program's icon) of the listed
    // executable ZipFileName into the SFX properties without converting it.
    // False when it holds no header.
    bool ReadSFXOptions();
    // Copies a file with its date. 0, -1, -3, -4 or -9.
    int CopyZipFile(const QString &source, const QString &destination);
    // Copies count bytes (-1: to the end of input); 0 or -2.
    int CopyBlock(BufferedFile &input, QIODevice &output, int64_t count);
    // Copies the central directory from InHandle (standing at its start),
    // the end records and the comment, every offset moved by shift. 0 or -2.
    int CopyShiftedDirectory(QIODevice &output, const EOCRecord &record, int64_t shift);
    // Puts SFXIcon's image over the stub's 744-byte icon image. 0, -10,
    // -11 or -12.
    int ReplaceStubIcon(QByteArray &stub);
    // The RVA of the first 744-byte image of icon 1, if any.
    static std::optional<quint32> FindIconImage(const PeImage &pe);

    // ---- The compression libraries ----
    // Load a library (DLLDirectory, then the program's folder, then the
    // system search); false, with a message, when it cannot be loaded.
    bool LoadZipLibrary();
    bool LoadUnzipLibrary();
    void UnloadZipLibrary();
    void UnloadUnzipLibrary();
    // The library's interface version; loads it for the question when it is
    // not loaded. 0 when it cannot be loaded.
    int ZipLibraryVersion();
    int UnzipLibraryVersion();
    // The request blocks of a library of the given interface version, from
    // the component's properties; nullopt when the old layouts lack room for
    // all the file patterns.
    std::optional<LibraryRequest> buildZipRequest(int version, const QString &archive) const;
    std::optional<LibraryRequest> buildUnzipRequest(int version, const QString &archive,
                                                    const QByteArray &password) const;
    // Handles one callback record from a library: -1 asks it to stop.
    int32_t LibraryCallback(uint8_t *record);
    // Extracts (or with ExtrTest tests) the entries that FSpecArgs names
    // through the extraction library; ProcessedCount tells how many went
    // well. The directory is not re-read.
    void ExtractEntries();
    // Adds the files FSpecArgs names to ZipFileName (a new .exe is made
    // self-extracting first); deletes the entries FSpecArgs names. Both
    // re-read the directory when something changed.
    void AddFiles();
    void DeleteEntries();
    // Ask the user for a password through the host (two matching entries
    // for an add); empty when none was given.
    QString AskAddPassword();
    QString AskExtractPassword();

private:
    enum LibraryKind { ZipLibrary, UnzipLibrary };
    bool loadLibrary(LibraryKind kind);
    void unloadLibrary(LibraryKind kind);
    int libraryVersion(LibraryKind kind);
    static bool isLibraryLoaded(LibraryKind kind);
    static int32_t callLibrary(LibraryKind kind, LibraryRequest &request);
    void fillCommonFields(LibraryRequest &request) const;
    void runZipLibrary(bool forDelete);
    void answerPasswordRequest(uint8_t *record, const QString &name);
    static uint32_t registerCaller(TZipArchiver *za);
    static void unregisterCaller(uint32_t handle);
    uint32_t m_callerHandle;

    // Busy cursor for the lifetime of an operation.
    class BusyScope {
    public:
        explicit BusyScope(ArchiverHost &host);
        ~BusyScope();
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        ArchiverHost &m_host;
    };

    zipformat::SfxHeader sfxHeaderFromProperties() const;
    void applySfxHeader(const zipformat::SfxHeader &header);
    void readIconOfProgram();
    // Reads the n bytes before the archive and applies a header found there;
    // false when they cannot be read.
    bool readSfxOptionsFromOpenFile(int64_t n);
    bool m_sfxHeaderFound = false;
    QString findStub();
    // True when erasing the source deletes its data for good, so the output
    // must be on the disk first.
    bool erasingLosesData(const QString &source) const;
    bool shiftFitsInOffsets(const EOCRecord &record, int64_t shift) const;
    int writeShiftedArchive(QFileDevice &output, int64_t shift, int64_t &archiveLength);
    // Copies in the kernel where it can: 1 when it cannot go on that way
    // (input position and count then tell what is left), else CopyBlock's
    // result.
    int copyInKernel(BufferedFile &input, QFileDevice &output, int64_t &count);
    void copyShiftedZip64End(QIODevice &output, const EOCRecord &record, int64_t shift);
    int64_t m_copyDone = 0;
    int64_t m_copyTotal = -1;

    void CopyAcrossVolumes(int64_t count, int id);
    void copyDataDescriptor();
    void WriteOrRaise(const void *bytes, int64_t count, int id);
    bool searchTail(EOCRecord &record);
    void readZip64End(EOCRecord &record);
    void readCentralDirectory(const EOCRecord &record, int64_t realOffset);
    void readDirEntry(int index);
    // Reads a central header and its name at the position; raises 11013,
    // 11015 or 11017.
    zipformat::CentralHeader readCentralHeader(QByteArray &name);
    // Reads count bytes from the open volume, going on in the next volume
    // when this one ends; raises id when the bytes cannot all be read.
    void readVolumes(void *dest, size_t count, int id);
    QString decodeStoredText(const QByteArray &raw, uint16_t flags) const;
    [[noreturn]] void raiseNoEOC(bool startsWithSpanMark, int labelDisk);
    QString driveRootOf(const QString &path) const;
    void fireMessage(const QString &text);
    bool shouldTranslate() const;

    ArchiverHost *m_host;
    VolumeProbe *m_volumes;
    QString m_zipFileName;
    QString m_dllDirectory;
    QString m_versionInfo = QStringLiteral("2.00");
    quint32 m_passwordReqCount = 1;
    QStringList m_fSpecArgs;
    QStringList m_fSpecArgsExcl;
    QByteArray m_sfxIcon;
    std::vector<ZipDirEntry> m_entries;
    QFile OutHandle; // the joined archive that ReadSpan writes
};
