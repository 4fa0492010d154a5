#include "LanguageFilePath.h"

#include "FonctionsUtiles.h"

#include <QCoreApplication>

QString LanguageFilePath(const QString &languageName)
{
    return LanguageFilePath(languageName, QCoreApplication::applicationDirPath());
}

QString LanguageFilePath(const QString &languageName, const QString &programFolder)
{
    // Only the ASCII capitals change: the file names are plain ASCII.
    QString fileName = languageName;
    for (QChar &c : fileName)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return AddBackslash(programFolder) + fileName + QStringLiteral(".lgn");
}
