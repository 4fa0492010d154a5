#include "ZipArchiver.h"

#include "FileDeletion.h"
#include "OemCodePage.h"
#include "VolumeProbe.h"
#include "ZipMessages.h"

#include <QDir>
#include <QFileInfo>

namespace {

SilentHost &silentHost()
{
    static SilentHost host;
    return host;
}

bool isAscii(const QByteArray &text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 128)
            return false;
    return true;
}

} // namespace

TZipArchiver::TZipArchiver(ArchiverHost *host)
    : m_callerHandle(registerCaller(this)), m_host(host ? host : &silentHost()), m_volumes(&VolumeProbe::system())
{
}

TZipArchiver::~TZipArchiver()
{
    unregisterCaller(m_callerHandle);
    ClearEntries();
}

void TZipArchiver::setHost(ArchiverHost *host)
{
    m_host = host ? host : &silentHost();
}

void TZipArchiver::setVolumeProbe(VolumeProbe *probe)
{
    m_volumes = probe ? probe : &VolumeProbe::system();
}

void TZipArchiver::setZipFileName(const QString &name)
{
    m_zipFileName = name;
    List();
}

void TZipArchiver::setDLLDirectory(const QString &folder)
{
    if (folder == m_dllDirectory)
        return;
    QString stored = folder;
    if (stored.endsWith('/') || stored.endsWith('\\'))
        stored.chop(1);
    m_dllDirectory = stored;
}

void TZipArchiver::setPasswordReqCount(quint32 count)
{
    if (count != m_passwordReqCount)
        m_passwordReqCount = std::min<quint32>(count, 15);
}

int TZipArchiver::Count() const
{
    return m_zipFileName.isEmpty() ? 0 : static_cast<int>(m_entries.size());
}

void TZipArchiver::ClearEntries()
{
    m_entries.clear();
}

QString TZipArchiver::ZipLoadStr(int id, const QString &defaultText)
{
    return ZipMessages::text(id).value_or(defaultText);
}

void TZipArchiver::ReportMessage(int id, const QString &extra)
{
    const QString text = ZipLoadStr(id, ZipMessages::missingText(id)) + extra;
    Message = text;
    ErrCode = id;
    if (!Unattended)
        m_host->showMessage(text);
    fireMessage(text);
}

void TZipArchiver::ReportException(const EZipArchiver &e)
{
    if (e.display() && !Unattended)
        m_host->showMessage(e.message());
    ErrCode = e.id();
    Message = e.message();
    fireMessage(e.message());
}

void TZipArchiver::fireMessage(const QString &text)
{
    if (OnMessage)
        OnMessage(this, 0, text);
}

bool TZipArchiver::shouldTranslate() const
{
    return CodePage == cpOEM || (CodePage == cpAuto && LastHostSystem == 0) || LastHostSystem == 6
        || (LastHostSystem == 11 && LastMadeByVersion == 50);
}

QByteArray TZipArchiver::TranslateName(const QByteArray &text, bool toOem) const
{
    if (isAscii(text) || !shouldTranslate())
        return text;
    if (toOem)
        return OemCodePage::fromUnicode(QString::fromUtf8(text));
    return OemCodePage::toUnicode(text).toUtf8();
}

QString TZipArchiver::SlashToBackslash(const QString &text)
{
    QString out = text;
    out.replace('/', '\\');
    return out;
}

QString TZipArchiver::WithTrailingBackslash(const QString &folder)
{
    // Folders end in the platform's separator.
    return folder.endsWith('/') ? folder : folder + '/';
}

bool TZipArchiver::IsExistingFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

int TZipArchiver::EraseFile(const QString &name, DeleteOpts mode)
{
    const QString full = name.contains('/') ? name : QDir::currentPath() + '/' + name;
    return FileDeletion::remove(full, mode == htdAllowUndo ? FileDeletion::Mode::ToTrash
                                                           : FileDeletion::Mode::Final);
}

QString TZipArchiver::driveRootOf(const QString &path) const
{
    return m_volumes->rootOf(QFileInfo(path).absoluteFilePath());
}
