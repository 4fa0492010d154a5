#pragma once
// Where a language's file lies: the program's folder, the name with A–Z in
// lower case, ".lgn" ("Deutsch" → deutsch.lgn).

#include <QString>

QString LanguageFilePath(const QString &languageName);
QString LanguageFilePath(const QString &languageName, const QString &programFolder);
