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
        if (IsExistingFolder(ExtrBaseDir))
            QDir::setCurrent(ExtrBaseDir);
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
