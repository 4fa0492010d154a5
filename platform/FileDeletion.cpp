#include "FileDeletion.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

bool hasWildcard(const QString &name)
{
    return name.contains('*') || name.contains('?');
}

bool matchFrom(QStringView pattern, QStringView name)
{
    // Iterative glob with single-star backtracking: linear for typical names.
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool FileDeletion::wildcardMatch(QStringView pattern, QStringView name)
{
    if (matchFrom(pattern, name))
        return true;
    if (pattern.endsWith(u".*") && !name.contains('.'))
        return matchFrom(pattern.chopped(2), name);
    return false;
}

QStringList FileDeletion::matchingFiles(const QString &absoluteName)
{
    const QFileInfo target(absoluteName);
    if (!hasWildcard(target.fileName()))
        return target.isFile() ? QStringList{absoluteName} : QStringList{};

    const QString pattern = target.fileName();
    QStringList files;
    bool first = true;
    QDirIterator it(target.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        if (!wildcardMatch(pattern, entry.fileName()))
            continue;
        if (first && !entry.isFile())
            return {};
        first = false;
        if (entry.isFile())
            files.append(entry.absoluteFilePath());
    }
    return files;
}

int FileDeletion::remove(const QString &absoluteName, Mode mode)
{
    const QStringList files = matchingFiles(absoluteName);
    if (files.isEmpty())
        return -1;
    int failures = 0;
    for (const QString &file : files) {
        const bool gone = mode == Mode::ToTrash ? QFile::moveToTrash(file) : QFile::remove(file);
        if (!gone)
            ++failures;
    }
    return failures;
}
