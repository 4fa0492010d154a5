#pragma once
// mantole-cli extract, test, add and delete: the compression libraries from
// a terminal.

#include <QStringList>

class ExtractCommand {
public:
    // Each returns the process exit code: 0 only on success.
    static int runExtract(const QStringList &args);
    static int runTest(const QStringList &args);
    static int runAdd(const QStringList &args);
    static int runDelete(const QStringList &args);
    static const char *usage();
};
