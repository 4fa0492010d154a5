#pragma once
// The program's own version entries, compiled in: the translation it
// declares (French, code page 1252) and the strings under it.

#include <QString>

enum class TInfo {
    CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, OriginalFilename, ProductName,
    ProductVersion
};

// The entry of the program's version table, or an empty text.
QString ReadVersionString(TInfo key);
// The first translation, as language and code page in upper-case
// hexadecimal: "040C04E4".
QString VersionTranslation();
