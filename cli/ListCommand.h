#pragma once
// mantole-cli list ARCHIVE [--json]: the directory of an archive and where
// the archive lies in its file.

#include <QStringList>

class ListCommand {
public:
    // Returns the process exit code: 0 only when the listing succeeded.
    static int run(const QStringList &args);
    static const char *usage();
};
