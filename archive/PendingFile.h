#pragma once
// An output file written under a temporary name beside its final name and
// put in place by a rename only when it is complete, so a failure never
// leaves a partial file nor costs the file it would replace. Unlike
// QSaveFile, it flushes to the disk only when asked: that wait is worth it
// only when a source is about to be deleted for good.

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
    // Moves the complete file to its final name, replacing what is there.
    // With durable, its data reaches the disk first.
    bool commit(bool durable);

private:
    QString m_finalName;
    QTemporaryFile m_file;
};
