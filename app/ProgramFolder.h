#pragma once
// Where the program finds and keeps its files. The settings file
// MANTOLE.INI and the working folder tmp/ live beside the program, so that
// the program's folder is a portable install; when that folder cannot be
// written (installed for the whole system), they go to the user's
// configuration and cache folders instead. The icon library and the side
// picture are always read from beside the program.

#include <QString>

struct ProgramFolder {
    QString folder;             // the program's folder, ending in "/"
    QString iniFileName;        // MANTOLE.INI
    QString defaultIconFile;    // icones.dll
    QString defaultPictureFile; // matrix.gif
    QString tmpDir;             // tmp/, ending in "/"

    // For the running program.
    static ProgramFolder forApplication();
    // For a program in the given folder; userConfig and userCache stand in
    // when that folder cannot be written.
    static ProgramFolder forFolder(const QString &folder, const QString &userConfig, const QString &userCache);
};
