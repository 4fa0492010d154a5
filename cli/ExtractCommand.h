#pragma once
// mantole-cli extract and test: the extraction library from a terminal.

#include <QStringList>

class ExtractCommand {
public:
    // Each returns the process exit code: 0 only on success.
    static int runExtract(const QStringList &args);
    static int runTest(const QStringList &args);
    static const char *usage();
};
