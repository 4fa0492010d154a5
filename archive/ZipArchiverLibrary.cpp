// The run-time loaded compression libraries: loading them, the request
// blocks they receive and the callback through which they report back.

#include "ZipArchiver.h"

#include "LibraryRequest.h"
#include "ZipMessages.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>

#include <cstring>

namespace {

using ExecEntry = int32_t (*)(void *request);
using VersionEntry = int32_t (*)();

// One library's process-wide state: loaded once, shared by every component.
struct LibrarySlot {
    const char *fileBase; // libNAME.so
    const char *displayName;
    const char *execName;
    const char *versionName;
    int loadedId, notFoundId, noExecId, noVersionId;
    std::unique_ptr<QLibrary> library;
    ExecEntry exec = nullptr;
    VersionEntry version = nullptr;
};

LibrarySlot &zipSlot()
{
    static LibrarySlot slot{"ziplib", "ZIPLIB.DLL", "ZipLibExec", "GetZipLibVersion", 10601, 10604, 10602, 10603, {}, nullptr, nullptr};
    return slot;
}

LibrarySlot &unzipSlot()
{
    static LibrarySlot slot{"unzlib", "UNZLIB.DLL", "UnzLibExec", "GetUnzLibVersion", 10701, 10704, 10702, 10703, {}, nullptr, nullptr};
    return slot;
}

// Callers travel through the libraries as 32-bit handles.
QHash<uint32_t, TZipArchiver *> &callers()
{
    static QHash<uint32_t, TZipArchiver *> table;
    return table;
}

constexpr int kTextSize = 512;
constexpr int kBaseFolderOffset = 108;
constexpr int kSpecSlotsOld = 4097;
constexpr const char *kSuffixes[] = {"gif", "png", "z", "zip", "zoo", "arc", "lzh", "arj", "taz", "tgz", "lha", "exe"};

QByteArray latin(const QString &text)
{
    return text.toUtf8();
}

} // namespace

// The callback every request carries: one argument, the callback record;
// -1 asks the library to stop.
extern "C" int32_t MantoleLibraryCallback(void *record)
{
    uint32_t caller = 0;
    std::memcpy(&caller, static_cast<const char *>(record) + 4, sizeof caller);
    TZipArchiver *za = callers().value(caller, nullptr);
    return za ? za->LibraryCallback(static_cast<uint8_t *>(record)) : 0;
}

uint32_t TZipArchiver::registerCaller(TZipArchiver *za)
{
    static uint32_t next = 0;
    const uint32_t handle = ++next;
    callers().insert(handle, za);
    return handle;
}

void TZipArchiver::unregisterCaller(uint32_t handle)
{
    callers().remove(handle);
}

bool TZipArchiver::loadLibrary(LibraryKind kind)
{
    LibrarySlot &slot = kind == ZipLibrary ? zipSlot() : unzipSlot();
    if (slot.library)
        return true;
    const QString file = QStringLiteral("lib%1.so").arg(QLatin1String(slot.fileBase));
    QString path;
    if (!m_dllDirectory.isEmpty() && QFileInfo::exists(m_dllDirectory + '/' + file))
        path = m_dllDirectory + '/' + file;
    else if (QFileInfo::exists(QCoreApplication::applicationDirPath() + '/' + file))
        path = QCoreApplication::applicationDirPath() + '/' + file;
    else
        path = QLatin1String(slot.fileBase); // the system's library search
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        ReportMessage(slot.notFoundId, QString());
        return false;
    }
    if (Trace)
        ReportMessage(slot.loadedId, QString());
    slot.exec = reinterpret_cast<ExecEntry>(library->resolve(slot.execName));
    slot.version = reinterpret_cast<VersionEntry>(library->resolve(slot.versionName));
    if (!slot.exec)
        ReportMessage(slot.noExecId, QString());
    if (!slot.version)
        ReportMessage(slot.noVersionId, QString());
    slot.library = std::move(library);
    return true;
}

void TZipArchiver::unloadLibrary(LibraryKind kind)
{
    LibrarySlot &slot = kind == ZipLibrary ? zipSlot() : unzipSlot();
    if (slot.library)
        slot.library->unload();
    slot.library.reset();
    slot.exec = nullptr;
    slot.version = nullptr;
}

bool TZipArchiver::LoadZipLibrary() { return loadLibrary(ZipLibrary); }
bool TZipArchiver::LoadUnzipLibrary() { return loadLibrary(UnzipLibrary); }
void TZipArchiver::UnloadZipLibrary() { unloadLibrary(ZipLibrary); }
void TZipArchiver::UnloadUnzipLibrary() { unloadLibrary(UnzipLibrary); }

int TZipArchiver::libraryVersion(LibraryKind kind)
{
    LibrarySlot &slot = kind == ZipLibrary ? zipSlot() : unzipSlot();
    const bool wasLoaded = slot.library != nullptr;
    if (!wasLoaded && !loadLibrary(kind))
        return 0;
    const int version = slot.version ? slot.version() : 0;
    if (!wasLoaded)
        unloadLibrary(kind);
    return version;
}

int TZipArchiver::ZipLibraryVersion() { return libraryVersion(ZipLibrary); }
int TZipArchiver::UnzipLibraryVersion() { return libraryVersion(UnzipLibrary); }

bool TZipArchiver::isLibraryLoaded(LibraryKind kind)
{
    return (kind == ZipLibrary ? zipSlot() : unzipSlot()).library != nullptr;
}

int32_t TZipArchiver::callLibrary(LibraryKind kind, LibraryRequest &request)
{
    const ExecEntry exec = (kind == ZipLibrary ? zipSlot() : unzipSlot()).exec;
    return exec ? exec(request.bytes().data()) : 0;
}

void TZipArchiver::fillCommonFields(LibraryRequest &request) const
{
    request.setU32(0, 0); // no owner window: the libraries open none
    request.setU32(4, m_callerHandle);
    request.setU32(8, 160);
    request.setU32(12, request.appendPointer(reinterpret_cast<const void *>(&MantoleLibraryCallback)));
    request.setFlag(16, Trace);
}

std::optional<LibraryRequest> TZipArchiver::buildZipRequest(int version, const QString &archive) const
{
    const bool current = version >= 151;
    if (!current && m_fSpecArgs.size() > kSpecSlotsOld)
        return std::nullopt; // the old layout has no room for more
    LibraryRequest r(current ? 216 : 16520);
    fillCommonFields(r);
    // The whole password: the field points to a text of any length.
    r.setU32(20, r.appendText(latin(Password), 81));
    QByteArrayList suffixes;
    for (int i = 0; i <= assEXE; ++i)
        if (AddStoreSuffixes.contains(static_cast<AddStoreSuffixEnum>(i)))
            suffixes << QByteArray(".") + kSuffixes[i];
    r.setU32(24, suffixes.isEmpty() ? 0 : r.appendText(suffixes.join(':')));
    r.setFlag(28, AddOptions.contains(AddEncrypt));
    r.setFlag(32, AddOptions.contains(AddHiddenFiles));
    r.setFlag(44, !AddOptions.contains(AddSeparateDirs));
    r.setFlag(52, Verbose || Trace);
    r.setFlag(56, true);
    r.setU32(60, static_cast<uint32_t>(AddCompLevel));
    r.setFlag(72, !AddOptions.contains(AddDirNames));
    r.setU16(76, AddOptions.contains(AddRecurseDirs) ? 0xFFFF : 0);
    r.setFlag(80, true);
    r.setFlag(84, AddOptions.contains(AddForceDOS));
    r.setFlag(88, AddOptions.contains(AddMove));
    r.setFlag(92, false);
    r.setFlag(96, AddOptions.contains(AddUpdate));
    r.setFlag(100, AddOptions.contains(AddFreshen) && !AddOptions.contains(AddUpdate));
    r.setFlag(108, AddOptions.contains(AddZipTime));
    r.setU32(120, static_cast<uint32_t>(m_fSpecArgs.size()));
    r.setU32(124, r.appendText(latin(archive)));
    if (!current) {
        r.setU32(128, 7);
        for (int i = 0; i < m_fSpecArgs.size(); ++i)
            r.setU32(132 + 4 * i, r.appendText(latin(m_fSpecArgs[i])));
        return r;
    }
    r.setU32(128, TempDir.isEmpty() ? 0 : r.appendText(latin(TempDir)));
    if (version >= 160) {
        r.setU32(132, ArchiveComment.isEmpty() ? 0 : r.appendText(latin(ArchiveComment)));
        r.setU16(136, AddOptions.contains(AddArchiveOnly) ? 1 : 0);
        r.setU16(138, AddOptions.contains(AddResetArchive) ? 1 : 0);
    }
    const uint32_t slotTable = r.appendZeros(104 * static_cast<int>(m_fSpecArgs.size()));
    for (int i = 0; i < m_fSpecArgs.size(); ++i)
        r.setU32(static_cast<int>(slotTable) + 104 * i, r.appendText(latin(m_fSpecArgs[i])));
    r.setU32(140, m_fSpecArgs.isEmpty() ? 0 : slotTable);
    if (version >= 160) {
        r.setU32(148, static_cast<uint32_t>(m_fSpecArgsExcl.size()));
        const uint32_t array = r.appendZeros(4 * static_cast<int>(m_fSpecArgsExcl.size()));
        for (int i = 0; i < m_fSpecArgsExcl.size(); ++i)
            r.setU32(static_cast<int>(array) + 4 * i, r.appendText(latin(m_fSpecArgsExcl[i])));
        r.setU32(152, m_fSpecArgsExcl.isEmpty() ? 0 : array);
    }
    r.setU32(212, 7);
    return r;
}

std::optional<LibraryRequest> TZipArchiver::buildUnzipRequest(int version, const QString &archive,
                                                              const QByteArray &password) const
{
    const bool current = version >= 152;
    if (!current && m_fSpecArgs.size() > kSpecSlotsOld)
        return std::nullopt;
    LibraryRequest r(current ? 148 : 16464);
    fillCommonFields(r);
    r.setU32(24, r.appendText(password, 81));
    r.setFlag(28, ExtrOptions.contains(ExtrTest));
    r.setFlag(40, true);
    r.setFlag(44, Verbose || Trace);
    r.setFlag(48, ExtrOptions.contains(ExtrUpdate));
    r.setFlag(52, ExtrOptions.contains(ExtrFreshen) && !ExtrOptions.contains(ExtrUpdate));
    r.setFlag(56, ExtrOptions.contains(ExtrDirNames));
    r.setFlag(60, ExtrOptions.contains(ExtrOverWrite));
    r.setU32(64, static_cast<uint32_t>(m_fSpecArgs.size()));
    r.setU32(68, r.appendText(latin(archive)));
    if (!current) {
        r.setU32(72, 7);
        for (int i = 0; i < m_fSpecArgs.size(); ++i)
            r.setU32(76 + 4 * i, r.appendText(latin(m_fSpecArgs[i])));
        return r;
    }
    const uint32_t slotTable = r.appendZeros(72 * static_cast<int>(m_fSpecArgs.size()));
    for (int i = 0; i < m_fSpecArgs.size(); ++i)
        r.setU32(static_cast<int>(slotTable) + 72 * i, r.appendText(latin(m_fSpecArgs[i])));
    r.setU32(72, m_fSpecArgs.isEmpty() ? 0 : slotTable);
    if (version >= 160) {
        r.setU32(104, m_passwordReqCount);
        // Our libraries' addition in an unused field: where to extract to
        // (0: the current folder).
        if (IsExistingFolder(ExtrBaseDir))
            r.setU32(kBaseFolderOffset, r.appendText(ExtrBaseDir.toUtf8()));
    }
    r.setU32(144, 7);
    return r;
}

int32_t TZipArchiver::LibraryCallback(uint8_t *record)
{
    const auto u32At = [record](int offset) {
        uint32_t v = 0;
        std::memcpy(&v, record + offset, sizeof v);
        return v;
    };
    const auto setU32 = [record](int offset, uint32_t v) { std::memcpy(record + offset, &v, sizeof v); };
    const uint32_t action = u32At(16);
    const int32_t code = static_cast<int32_t>(u32At(20));
    const uint32_t value = u32At(24);
    char *text = reinterpret_cast<char *>(record + 28);
    const QByteArray raw(text, static_cast<int>(strnlen(text, kTextSize)));
    QString name = QString::fromUtf8(raw);
    while (name.endsWith(' '))
        name.chop(1);
    name = SlashToBackslash(name);

    switch (action) {
    case 1:
        if (OnProgress)
            OnProgress(this, ptNewFile, name, value);
        break;
    case 2:
        if (OnProgress)
            OnProgress(this, ptUpdate, QString(), value);
        break;
    case 3:
        if (OnProgress)
            OnProgress(this, ptEndOfBatch, QString(), 0);
        break;
    case 4:
        Message = name;
        if (code != 0) {
            ErrCode = code & 0xFF;
            FullErrCode = code;
        }
        if (OnMessage)
            OnMessage(this, code, name);
        break;
    case 5:
        if (OnProgress)
            OnProgress(this, ptTotalFiles, QString(), value);
        break;
    case 6:
        if (OnProgress)
            OnProgress(this, ptTotalSize, QString(), value);
        break;
    case 7:
        if (OnSetNewName) {
            QString oldName = QString::fromUtf8(raw);
            bool changed = false;
            OnSetNewName(this, oldName, changed);
            if (changed) {
                const QByteArray bytes = oldName.toUtf8().left(kTextSize - 1);
                std::memset(text, 0, kTextSize);
                std::memcpy(text, bytes.constData(), static_cast<size_t>(bytes.size()));
                setU32(16, 8);
            }
        }
        break;
    case 8:
        answerPasswordRequest(record, name);
        break;
    case 9:
        if (OnCRC32Error) {
            bool extract = true;
            OnCRC32Error(this, name, static_cast<quint32>(code), value, extract);
            setU32(20, extract ? 1 : 0);
        } else {
            setU32(20, 2);
        }
        break;
    case 10:
        if (OnExtractOverwrite) {
            bool overwrite = (value & 0xFF) != 0;
            OnExtractOverwrite(this, name, (code & 1) != 0, overwrite);
            setU32(24, overwrite ? 1 : 0);
        }
        break;
    case 11:
        if (OnExtractSkipped)
            OnExtractSkipped(this, name, static_cast<UnZipSkipTypes>(value & 0xFF), code);
        break;
    default:
        break;
    }
    const bool stop = CancelRequested;
    m_host->processEvents();
    return stop ? -1 : 0;
}

void TZipArchiver::answerPasswordRequest(uint8_t *record, const QString &name)
{
    uint32_t repeat = 0;
    std::memcpy(&repeat, record + 24, sizeof repeat);
    int32_t code = 0;
    std::memcpy(&code, record + 20, sizeof code);
    QString password;
    if (OnPasswordError)
        OnPasswordError(this, password, name, repeat);
    else
        password = (code & 1) ? AskAddPassword() : AskExtractPassword();
    uint32_t answer = 0;
    const QByteArray bytes = password.toUtf8();
    if (bytes.size() >= kTextSize) {
        // The record's text field cannot carry it, and a cut password would
        // be a different one.
        ReportMessage(10104, QStringLiteral(" (%1 bytes at most)").arg(kTextSize - 1));
        password.clear();
    }
    if (!password.isEmpty()) {
        std::memset(record + 28, 0, kTextSize);
        std::memcpy(record + 28, bytes.constData(), static_cast<size_t>(bytes.size()));
        answer = 1;
    } else {
        repeat = 0;
    }
    std::memcpy(record + 20, &answer, sizeof answer);
    repeat = std::min<uint32_t>(repeat, 15);
    std::memcpy(record + 24, &repeat, sizeof repeat);
}

QString TZipArchiver::AskAddPassword()
{
    if (Unattended) {
        ReportMessage(10150, QString());
        return QString();
    }
    const QString caption = ZipLoadStr(10154, ZipMessages::missingText(10154));
    const std::optional<QString> first = m_host->askPassword(caption, ZipLoadStr(10155, QString()));
    if (!first || first->isEmpty())
        return QString();
    const std::optional<QString> second = m_host->askPassword(caption, ZipLoadStr(10156, QString()));
    if (!second || second->isEmpty())
        return QString();
    if (*first != *second) {
        ReportMessage(10104, QString());
        return QString();
    }
    return *first;
}

QString TZipArchiver::AskExtractPassword()
{
    if (Unattended) {
        ReportMessage(10151, QString());
        return QString();
    }
    const std::optional<QString> typed =
        m_host->askPassword(ZipLoadStr(10154, ZipMessages::missingText(10154)), ZipLoadStr(10155, QString()));
    return typed.value_or(QString());
}
