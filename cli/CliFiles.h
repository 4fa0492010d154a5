#pragma once
// How mantole-cli takes the files it is given: symbolic links are followed
// to the file they name (that file is read, replaced or erased, the link is
// left alone), only regular files are opened (a FIFO or a device would block
// or never end), and a refusal says what the system said.

#include <QString>

#include <optional>

namespace CliFiles {

// The system's text for an errno value.
QString reason(int error);

// Prints "mantole-cli COMMAND: TEXT" on stderr; returns 1, the exit code.
int fail(const char *command, const QString &text);

// The canonical path of an existing, readable regular file, after following
// links; otherwise prints why not (as fail() does) and returns nullopt.
std::optional<QString> readableFile(const char *command, const QString &given);

// For a file that may not exist yet (an archive to create, an output): the
// canonical path when it exists; when it does not, the absolute path in the
// canonical form of its folder, a dangling link leading to its target. When
// it exists and is not a regular file, prints why and returns nullopt.
std::optional<QString> fileToWrite(const char *command, const QString &given);

} // namespace CliFiles
