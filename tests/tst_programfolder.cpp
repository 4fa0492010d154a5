// Where the wizard keeps its settings and working copies: beside the
// program when that folder can be written and is no installed copy, else in
// the user's folders.

#include "ProgramFolder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

class TestProgramFolder : public QObject {
    Q_OBJECT

private slots:
    void portableFolder();
    void readOnlyFolder();
    void installedCopy();
};

void TestProgramFolder::portableFolder()
{
    QTemporaryDir dir;
    const ProgramFolder f = ProgramFolder::forFolder(dir.path(), dir.filePath(QStringLiteral("config")),
                                                     dir.filePath(QStringLiteral("cache")));
    QCOMPARE(f.folder, dir.path() + QLatin1Char('/'));
    QCOMPARE(f.iniFileName, dir.filePath(QStringLiteral("MANTOLE.INI")));
    QCOMPARE(f.tmpDir, dir.filePath(QStringLiteral("tmp/")));
    QCOMPARE(f.defaultIconFile, dir.filePath(QStringLiteral("icones.dll")));
    QCOMPARE(f.defaultPictureFile, dir.filePath(QStringLiteral("matrix.gif")));
}

void TestProgramFolder::readOnlyFolder()
{
    // Installed for the whole system: the program's folder is read-only.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("program"));
    QDir().mkpath(program);
    bool mounted = false;
    if (::geteuid() == 0) {
        mounted = ::mount("tmpfs", QFile::encodeName(program).constData(), "tmpfs", MS_RDONLY, "size=64k") == 0;
        if (!mounted)
            QSKIP("running as root, and a read-only file system cannot be mounted here");
    } else {
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    const ProgramFolder f = ProgramFolder::forFolder(program, dir.filePath(QStringLiteral("config/mantole")),
                                                     dir.filePath(QStringLiteral("cache/mantole")));
    if (mounted)
        ::umount(QFile::encodeName(program).constData());
    QCOMPARE(f.iniFileName, dir.filePath(QStringLiteral("config/mantole/MANTOLE.INI")));
    QCOMPARE(f.tmpDir, dir.filePath(QStringLiteral("cache/mantole/tmp/")));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("config/mantole"))).isDir());
    // What ships with the program is still read from beside it.
    QCOMPARE(f.defaultIconFile, program + QStringLiteral("/icones.dll"));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestProgramFolder::installedCopy()
{
    // Writable (as for root under /usr/lib), but marked as installed.
    QTemporaryDir dir;
    QFile mark(dir.filePath(QLatin1String(ProgramFolder::kInstalledMark)));
    QVERIFY(mark.open(QIODevice::WriteOnly));
    mark.close();
    const ProgramFolder f = ProgramFolder::forFolder(dir.path(), dir.filePath(QStringLiteral("config/mantole")),
                                                     dir.filePath(QStringLiteral("cache/mantole")));
    QCOMPARE(f.iniFileName, dir.filePath(QStringLiteral("config/mantole/MANTOLE.INI")));
    QCOMPARE(f.tmpDir, dir.filePath(QStringLiteral("cache/mantole/tmp/")));
    QCOMPARE(f.defaultIconFile, dir.filePath(QStringLiteral("icones.dll")));
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
