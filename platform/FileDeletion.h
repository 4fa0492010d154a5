#pragma once
// Deleting files by name, as a desktop shell does: a name may hold the
// wildcards * and ?, and a deletion may go to the trash (freedesktop.org
// trash, so it can be undone from the file manager) or be final.

#include <QString>
#include <QStringList>

class FileDeletion {
public:
    enum class Mode { Final, ToTrash };

    // The files the name stands for, in directory order. A wildcard name
    // counts only when the first directory entry matching it is a file, as a
    // Windows directory search would report it; folders are never included.
    static QStringList matchingFiles(const QString &absoluteName);
    // Deletes every file of matchingFiles(). Returns -1 when there is none,
    // 0 when all went, else the number of files that could not be deleted.
    static int remove(const QString &absoluteName, Mode mode);

    // Windows directory-search matching: * any run, ? one character, and a
    // pattern ending in ".*" also matches the name without any extension.
    static bool wildcardMatch(QStringView pattern, QStringView name);
};
