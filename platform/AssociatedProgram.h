#pragma once
// The program the desktop opens a file with: the file's type (by name and
// contents) looked up in the freedesktop default-application lists
// (mimeapps.list, then the installed applications' mimeinfo.cache), parent
// types included, and the Exec line of the desktop entry found.

#include <QString>

class AssociatedProgram {
public:
    // The path of the program for an existing file; empty when the file is
    // missing or no program is associated with its type.
    static QString forFile(const QString &path);
};
