#pragma once
// Where the program finds and keeps its files. The settings file
// MANTOLE.INI and the working folder tmp/ live beside the program, so that
// the program's folder is a portable install. An installed copy (its folder
// holds the mark "mantole.installed", which the install rules and the
// Debian package put there) or a folder that cannot be written keeps them
// in the user's configuration and cache folders instead: even root must not
// write settings into a folder the package manager owns. The icon library
// and the side picture are always read from beside the program.

#include <QString>

struct ProgramFolder {
    static constexpr const char *kInstalledMark = "mantole.installed";

    QString folder;             // the program's folder, ending in "/"
    QString iniFileName;        // MANTOLE.INI
    QString defaultIconFile;    // icones.dll
    QString defaultPictureFile; // matrix.gif
    QString tmpDir;             // tmp/, ending in "/"

    // For the running program.
    static ProgramFolder forApplication();
    // For a program in the given folder; userConfig and userCache stand in
    // when that folder is an installed copy or cannot be written.
    static ProgramFolder forFolder(const QString &folder, const QString &userConfig, const QString &userCache);
};
