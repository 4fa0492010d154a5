// The operations handed to the compression libraries.

#include "ZipArchiver.h"

#include "LibraryRequest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <new>

void TZipArchiver::ExtractEntries()
{
    ProcessedCount = 0;
    const quint32 notedRequestCount = m_passwordReqCount;
    if (m_zipFileName.isEmpty() || !QFileInfo(m_zipFileName).isFile()) {
        ReportMessage(10102, QString());
        return;
    }
    if (UnzipBusy)
        return;
    if (Unattended && Password.isEmpty() && !OnPasswordError) {
        m_passwordReqCount = 0; // nobody to ask: for this run only
        ReportMessage(10502, QString());
    }
    UnzipBusy = true;
    CancelRequested = false;
    const bool loadedHere = !isLibraryLoaded(UnzipLibrary);
    if (loadedHere && !LoadUnzipLibrary()) {
        m_passwordReqCount = notedRequestCount;
        UnzipBusy = false;
        return;
    }

    QString archive = m_zipFileName;
    QString joined;
    bool ready = true;
    if (LastDisk != 0) {
        // Volumes are joined into one temporary archive first.
        joined = WithTrailingBackslash(TempDir.isEmpty() ? QDir::tempPath() : TempDir);
        ready = ReadSpan(m_zipFileName, joined) == 0;
        UnzipBusy = true; // ReadSpan clears it on its way out
        archive = joined;
    }
    if (ready) {
        // The library extracts into ExtrBaseDir itself: the process's
        // current folder stays where it is.
        const int version = UnzipLibraryVersion();
        QByteArray password = Password.toUtf8();
        if (version < 160 && Unattended && AddOptions.contains(AddEncrypt) && Password.isEmpty())
            password = QByteArray(80, '\x01'); // fills the password field for old libraries
        try {
            std::optional<LibraryRequest> request = buildUnzipRequest(version, archive, password);
            if (request)
                ProcessedCount = callLibrary(UnzipLibrary, *request);
        } catch (const std::exception &) {
            ReportMessage(10501, QString());
        }
        if (!joined.isEmpty())
            QFile::remove(joined);
        m_fSpecArgs.clear();
    }

    m_passwordReqCount = notedRequestCount;
    if (loadedHere)
        UnloadUnzipLibrary();
    CancelRequested = false;
    UnzipBusy = false;
}

void TZipArchiver::AddFiles()
{
    ProcessedCount = 0;
    if (m_fSpecArgs.isEmpty()) {
        ReportMessage(10301, QString());
        return;
    }
    if (m_zipFileName.isEmpty()) {
        ReportMessage(10102, QString());
        return;
    }
    if (Unattended && AddOptions.contains(AddEncrypt) && Password.isEmpty()) {
        ReportMessage(10302, QString());
        return;
    }
    const bool isExe = QFileInfo(m_zipFileName).suffix().toUpper() == QLatin1String("EXE");
    if (AddOptions.contains(AddDiskSpan) || AddOptions.contains(AddDiskSpanErase)) {
        // Writing across disks is not done here.
        if (AddOptions.contains(AddFreshen) || AddOptions.contains(AddUpdate))
            ReportMessage(10303, QString());
        else
            ReportMessage(isExe ? 11041 : 11025, QString());
        return;
    }
    if (ZipBusy)
        return;
    const bool newExe = isExe && ArchiveStart == 0 && !QFileInfo::exists(m_zipFileName);
    if (newExe) {
        // A new executable: the stub with an empty archive, then the files.
        CreatingEmptySFX = true;
        const int result = WriteSFX();
        CreatingEmptySFX = false;
        if (result != 0) {
            ReportException(EZipArchiver::CreateWithNumber(10304, result));
            return;
        }
    }
    runZipLibrary(false);
    if (newExe && ProcessedCount == 0) {
        // Nothing went in: the executable made for the files goes too.
        QFile::remove(m_zipFileName);
        List();
    }
}

void TZipArchiver::DeleteEntries()
{
    ProcessedCount = 0;
    if (m_fSpecArgs.isEmpty()) {
        ReportMessage(10401, QString());
        return;
    }
    if (m_zipFileName.isEmpty() || !QFileInfo(m_zipFileName).isFile()) {
        ReportMessage(10102, QString());
        return;
    }
    if (ZipBusy)
        return;
    runZipLibrary(true);
}

void TZipArchiver::runZipLibrary(bool forDelete)
{
    const bool loadedHere = !isLibraryLoaded(ZipLibrary);
    if (loadedHere && !LoadZipLibrary())
        return;
    ZipBusy = true;
    CancelRequested = false;
    const int version = ZipLibraryVersion();
    try {
        std::optional<LibraryRequest> request = buildZipRequest(version, m_zipFileName);
        if (request && forDelete) {
            request->setFlag(92, true);
            for (int offset : {80, 72, 88, 96, 100, 28})
                request->setFlag(offset, false);
            request->setU16(76, 0);
        }
        if (request)
            ProcessedCount = callLibrary(ZipLibrary, *request);
    } catch (const std::exception &) {
        ReportMessage(10101, QString());
    }
    m_fSpecArgs.clear();
    m_fSpecArgsExcl.clear();
    if (loadedHere)
        UnloadZipLibrary();
    CancelRequested = false;
    ZipBusy = false;
    if (ProcessedCount > 0)
        List();
}
