#pragma once
// The outside tools that judge whether a file is a sound archive: Info-ZIP
// unzip (with no "extra bytes" complaint), 7-Zip and Python's zipfile.
// Failures are reported through QTest; callers check
// QTest::currentTestFailed() when they go on.

#include <QString>

namespace Referees {

void verifyArchive(const QString &path);

} // namespace Referees
