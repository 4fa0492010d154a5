#pragma once
// A command line taken apart as Windows does for a program path that is not
// quoted: "/opt/my tools/run x" tries "/opt/my", then "/opt/my tools/run",
// and so on, and the first candidate that is an executable program wins.
// The rest are the arguments; a rest that names an existing file as a whole
// stays one argument, so a document path with blanks reaches the program
// it is opened with intact.

#include <QString>
#include <QStringList>

struct CommandLine {
    QString program; // empty when no candidate is a program
    QStringList arguments;

    static CommandLine parse(const QString &commandLine);
};
