#pragma once
// An output file written under a temporary name beside its final name and
// put in place by a rename only when it is complete, so a failure never
// leaves a partial file nor costs the file it would replace. Unlike
// QSaveFile, it flushes the data to the disk only when asked: that wait is
// worth it only when a source is about to be deleted for good.
//
// The temporary name starts with ".mantole-" and the writer's process id,
// and the writer holds an flock on it while it writes, so a later run can
// tell the leftover of a killed writer from the file of a live one (see
// isStaleTemporary).

#include <QString>
#include <QTemporaryFile>

class PendingFile {
public:
    explicit PendingFile(const QString &finalName);
    ~PendingFile(); // removes the temporary file unless committed

    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    bool open();
    QFileDevice &device() { return m_file; }
    const QString &finalName() const { return m_finalName; }
    // Moves the complete file to its final name, replacing what is there,
    // and syncs the folder so the rename itself survives a power cut. With
    // durable, its data reaches the disk first.
    bool commit(bool durable);

    // Writes a folder's entries (new names, renames, removals) to the disk.
    static bool syncFolder(const QString &folder);
    // The prefix of every temporary name of ours.
    static QString temporaryPrefix();

    // Whether a file or folder in `folder` is a temporary file of ours left
    // behind by a writer that is gone: a ".mantole-" name (ours) that no
    // live writer holds locked, or the temporary of a compression library
    // (".ziplib-", ".unzlib-partial") untouched for kStaleAfterSeconds and
    // open in no process. A symbolic link is never stale.
    static bool isStaleTemporary(const QString &folder, const QString &name);
    // Removes the stale temporaries directly in `folder`; returns how many.
    static int removeStaleTemporaries(const QString &folder);
    static constexpr int kStaleAfterSeconds = 10 * 60;

private:
    QString m_finalName;
    QTemporaryFile m_file;
};
