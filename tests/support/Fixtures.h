#pragma once
// Where the archives made by outside tools for the tests are
// (tests/fixtures/make_fixtures.py, run by CTest before the suites), and
// small helpers to derive broken variants of them.

#include <QByteArray>
#include <QString>

namespace Fixtures {

QString path(const QString &name);
QByteArray read(const QString &name);
// The bytes of any file; empty when it cannot be read.
QByteArray readFile(const QString &path);
// Writes bytes to a file; fails the calling test's QVERIFY when it cannot.
bool write(const QString &path, const QByteArray &bytes);
void putU16(QByteArray &bytes, qsizetype at, quint16 value);
void putU32(QByteArray &bytes, qsizetype at, quint32 value);
quint32 getU32(const QByteArray &bytes, qsizetype at);

} // namespace Fixtures
