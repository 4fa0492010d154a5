#pragma once
// mantole-cli to-exe, to-zip and info: self-extracting executables from a
// terminal.

#include <QStringList>

class SfxCommand {
public:
    // Each returns the process exit code: 0 only on success.
    static int runToExe(const QStringList &args);
    static int runToZip(const QStringList &args);
    static int runInfo(const QStringList &args);
    static const char *usage();
};
