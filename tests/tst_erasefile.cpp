// Deleting files: bare names, wildcards, final deletion and the trash.

#include "FileDeletion.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

} // namespace

class TestEraseFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bareNameIsInCurrentFolder();
    void missingFileGivesMinusOne();
    void extensionWildcardDeletesEveryExtension();
    void allowUndoMovesToTrash();
    void wildcardMatch_data();
    void wildcardMatch();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousFolder;
};

void TestEraseFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previousFolder = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void TestEraseFile::cleanup()
{
    QDir::setCurrent(m_previousFolder);
    m_dir.reset();
}

void TestEraseFile::bareNameIsInCurrentFolder()
{
    touch(m_dir->filePath(QStringLiteral("photos.zip")));
    TZipArchiver za;
    QCOMPARE(za.EraseFile(QStringLiteral("photos.zip"), htdFinal), 0);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("photos.zip"))));
}

void TestEraseFile::missingFileGivesMinusOne()
{
    TZipArchiver za;
    QCOMPARE(za.EraseFile(m_dir->filePath(QStringLiteral("none.zip")), htdFinal), -1);
    QCOMPARE(za.EraseFile(m_dir->filePath(QStringLiteral("none.*")), htdFinal), -1);
    QDir().mkdir(m_dir->filePath(QStringLiteral("folder")));
    QCOMPARE(za.EraseFile(m_dir->filePath(QStringLiteral("folder")), htdFinal), -1);
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("folder"))).isDir());
}

void TestEraseFile::extensionWildcardDeletesEveryExtension()
{
    for (const char *name : {"0912photos.ZIP", "0912photos.EXE", "0912photos", "other.zip"})
        touch(m_dir->filePath(QString::fromLatin1(name)));
    TZipArchiver za;
    QCOMPARE(za.EraseFile(m_dir->filePath(QStringLiteral("0912photos.*")), htdFinal), 0);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("other.zip")});
}

void TestEraseFile::allowUndoMovesToTrash()
{
    // The freedesktop trash of a private data folder, not the user's own.
    const QString dataHome = m_dir->filePath(QStringLiteral("data"));
    QDir().mkpath(dataHome);
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    const QString file = m_dir->filePath(QStringLiteral("keep-me.zip"));
    touch(file);
    TZipArchiver za;
    const int result = za.EraseFile(file, htdAllowUndo);
    qputenv("XDG_DATA_HOME", previous);
    QCOMPARE(result, 0);
    QVERIFY(!QFile::exists(file));
    QVERIFY(QFile::exists(dataHome + QStringLiteral("/Trash/files/keep-me.zip")));
    QVERIFY(QFile::exists(dataHome + QStringLiteral("/Trash/info/keep-me.zip.trashinfo")));
}

void TestEraseFile::wildcardMatch_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << "*.zip" << "a.zip" << true;
    QTest::newRow("star, other extension") << "*.zip" << "a.exe" << false;
    QTest::newRow("question mark") << "a?.zip" << "ab.zip" << true;
    QTest::newRow("question mark needs a character") << "a?.zip" << "a.zip" << false;
    QTest::newRow("dot star takes no extension") << "name.*" << "name" << true;
    QTest::newRow("dot star, longer stem") << "name.*" << "names" << false;
    QTest::newRow("star backtracks") << "*a*b" << "xaxxab" << true;
    QTest::newRow("case counts") << "A.zip" << "a.zip" << false;
}

void TestEraseFile::wildcardMatch()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(FileDeletion::wildcardMatch(pattern, name), matches);
}

QTEST_GUILESS_MAIN(TestEraseFile)
#include "tst_erasefile.moc"
