// Extracting and testing through the extraction library, judged against
// Info-ZIP unzip on the same archives.

#include "Fixtures.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList treeOf(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

void compareTrees(const QString &expected, const QString &found)
{
    QCOMPARE(treeOf(found), treeOf(expected));
    for (const QString &name : treeOf(expected))
        QVERIFY2(Fixtures::readFile(expected + '/' + name) == Fixtures::readFile(found + '/' + name), qPrintable(name));
}

int unzip(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), args);
    p.waitForFinished(120000);
    return p.exitCode();
}

// A component ready to use the built extraction library.
struct Setup {
    Setup()
    {
        za.setDLLDirectory(QStringLiteral(MANTOLE_BIN_DIR));
        za.HowToDelete = htdFinal;
    }
    ScriptedHost host;
    TZipArchiver za{&host};
};

} // namespace

class TestExtract : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void extractsLikeUnzip_data();
    void extractsLikeUnzip();
    void testCountsSoundEntries_data();
    void testCountsSoundEntries();
    void existingFiles_data();
    void existingFiles();
    void encryptedEntries();
    void winZipAes_data();
    void winZipAes();
    void passwordAskedWhenMissing();
    void hostileNamesStayInside();
    void spannedSetIsJoinedFirst();
    void missingArchive();
    void plantedLinksAreNotFollowed_data();
    void plantedLinksAreNotFollowed();
    void temporaryNamesNeverClash();
    void hostileRecords_data();
    void hostileRecords();
    void currentFolderStays();
    void commentCutShort();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousFolder;
};

void TestExtract::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previousFolder = QDir::currentPath();
}

void TestExtract::cleanup()
{
    QDir::setCurrent(m_previousFolder);
}

void TestExtract::extractsLikeUnzip_data()
{
    QTest::addColumn<QString>("fixture");
    for (const char *f : {"plain.zip", "sevenzip.zip", "descriptors.zip", "utf8-names.zip", "shifted.exe",
                          "appended.exe", "zip64-extra-offsets.zip", "comment.zip"})
        QTest::newRow(f) << f;
}

void TestExtract::extractsLikeUnzip()
{
    QFETCH(QString, fixture);
    const QString ours = m_dir->filePath(QStringLiteral("ours"));
    const QString theirs = m_dir->filePath(QStringLiteral("theirs"));
    QDir().mkpath(ours);
    QVERIFY(unzip({QStringLiteral("-qq"), Fixtures::path(fixture), QStringLiteral("-d"), theirs}) <= 1);
    Setup s;
    s.za.setZipFileName(Fixtures::path(fixture));
    s.za.ExtrBaseDir = ours;
    s.za.ExtrOptions = ExtrOpts{ExtrDirNames};
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, s.za.Count());
    QVERIFY(s.za.FSpecArgs().isEmpty());
    QVERIFY(!s.za.UnzipBusy);
    compareTrees(theirs, ours);
}

void TestExtract::testCountsSoundEntries_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::newRow("sound") << false;
    QTest::newRow("one entry damaged") << true;
}

void TestExtract::testCountsSoundEntries()
{
    QFETCH(bool, damaged);
    QByteArray bytes = Fixtures::read(QStringLiteral("plain.zip"));
    if (damaged) {
        const qsizetype at = bytes.indexOf("data.bin") + 100; // inside its data
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    }
    const QString path = m_dir->filePath(QStringLiteral("t.zip"));
    QVERIFY(Fixtures::write(path, bytes));
    Setup s;
    QList<int> codes;
    s.za.OnMessage = [&](TZipArchiver *, int code, const QString &) { codes << code; };
    s.za.setZipFileName(path);
    s.za.ExtrOptions = ExtrOpts{ExtrTest};
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, s.za.Count() - (damaged ? 1 : 0));
    QCOMPARE(codes.isEmpty(), !damaged);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("t.zip")});
}

void TestExtract::existingFiles_data()
{
    QTest::addColumn<quint32>("options");
    QTest::addColumn<int>("answer"); // -1: no overwrite event assigned
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("foldersKept");
    QTest::newRow("kept without asking") << ExtrOpts{ExtrDirNames}.bits() << -1 << false << true;
    QTest::newRow("asked: yes") << ExtrOpts{ExtrDirNames}.bits() << 1 << true << true;
    QTest::newRow("asked: no") << ExtrOpts{ExtrDirNames}.bits() << 0 << false << true;
    QTest::newRow("overwrite") << ExtrOpts{ExtrDirNames, ExtrOverWrite}.bits() << -1 << true << true;
    QTest::newRow("folders dropped") << ExtrOpts{ExtrOverWrite}.bits() << -1 << true << false;
}

void TestExtract::existingFiles()
{
    QFETCH(quint32, options);
    QFETCH(int, answer);
    QFETCH(bool, replaced);
    QFETCH(bool, foldersKept);
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const QString notes = out + (foldersKept ? QStringLiteral("/docs/notes.txt") : QStringLiteral("/notes.txt"));
    QDir().mkpath(QFileInfo(notes).path());
    QVERIFY(Fixtures::write(notes, "the user's own notes"));
    Setup s;
    QStringList asked;
    if (answer >= 0) {
        s.za.OnExtractOverwrite = [&](TZipArchiver *, const QString &file, bool, bool &overwrite) {
            asked << file;
            overwrite = answer == 1;
        };
    }
    s.za.setZipFileName(Fixtures::path(QStringLiteral("plain.zip")));
    s.za.ExtrBaseDir = out;
    s.za.ExtrOptions = ExtrOpts::fromBits(options);
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(asked, answer >= 0 ? QStringList{QStringLiteral("docs\\notes.txt")} : QStringList{});
    QCOMPARE(Fixtures::readFile(notes) == QByteArray("the user's own notes"), !replaced);
    QCOMPARE(QFile::exists(out + QStringLiteral("/readme.txt")), true);
    QCOMPARE(QFile::exists(out + QStringLiteral("/docs/deep/empty.txt")), foldersKept);
}

void TestExtract::encryptedEntries()
{
    // Made by Info-ZIP zip -P.
    for (const char *password : {"secret", "wrong"}) {
        const QString out = m_dir->filePath(QString::fromLatin1(password));
        QDir().mkpath(out);
        Setup s;
        s.za.setZipFileName(Fixtures::path(QStringLiteral("encrypted.zip")));
        s.za.Password = QString::fromLatin1(password);
        s.za.ExtrBaseDir = out;
        s.za.ExtrOptions = ExtrOpts{ExtrDirNames};
        s.za.setFSpecArgs({QStringLiteral("*.*")});
        s.za.setPasswordReqCount(0);
        s.za.ExtractEntries();
        const bool right = qstrcmp(password, "secret") == 0;
        QCOMPARE(s.za.ProcessedCount, right ? 2 : 0);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), right ? 2 : 0);
        if (right) {
            const QString theirs = m_dir->filePath(QStringLiteral("theirs"));
            QCOMPARE(unzip({QStringLiteral("-qq"), QStringLiteral("-P"), QStringLiteral("secret"),
                            Fixtures::path(QStringLiteral("encrypted.zip")), QStringLiteral("-d"), theirs}), 0);
            compareTrees(theirs, out);
        }
    }
}

void TestExtract::winZipAes_data()
{
    // Made by 7z (AE-2); aes-ae1.zip is the AES-192 one with its CRCs kept.
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("failed"); // entries neither extracted nor sound
    const QStringList files{"data.bin", "docs/deep/empty.txt", "docs/notes.txt", "readme.txt"};
    QTest::newRow("AES-256, deflated") << "aes256.zip" << "secret" << QStringList();
    QTest::newRow("AES-128, stored") << "aes128-stored.zip" << "secret" << QStringList();
    QTest::newRow("AES-192, AE-1") << "aes-ae1.zip" << "secret" << QStringList();
    QTest::newRow("wrong password") << "aes128-stored.zip" << "wrong" << files;
    QTest::newRow("data changed, right password") << "aes-damaged.zip" << "secret" << QStringList{"readme.txt"};
    QTest::newRow("bzip2 under AES") << "aes-bzip2.zip" << "secret" << QStringList{"docs/notes.txt", "readme.txt"};
}

void TestExtract::winZipAes()
{
    QFETCH(QString, fixture);
    QFETCH(QString, password);
    QFETCH(QStringList, failed);
    // The files as 7z extracts them from a sound archive of the same tree.
    const QString theirs = m_dir->filePath(QStringLiteral("theirs"));
    QProcess sevenZip;
    sevenZip.start(QStringLiteral("7z"), {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-psecret"),
                                          QStringLiteral("-o") + theirs, Fixtures::path(QStringLiteral("aes192.zip"))});
    QVERIFY(sevenZip.waitForFinished(60000) && sevenZip.exitCode() == 0);
    for (const QString &name : failed)
        QVERIFY(QFile::remove(theirs + '/' + name));
    for (const bool test : {false, true}) {
        const QString ours = m_dir->filePath(test ? QStringLiteral("tested") : QStringLiteral("ours"));
        QDir().mkpath(ours);
        Setup s;
        s.za.setZipFileName(Fixtures::path(fixture));
        s.za.Password = password;
        s.za.ExtrBaseDir = ours;
        s.za.ExtrOptions = test ? ExtrOpts{ExtrTest} : ExtrOpts{ExtrDirNames};
        s.za.setFSpecArgs({QStringLiteral("*.*")});
        s.za.setPasswordReqCount(0);
        s.za.ExtractEntries();
        QCOMPARE(s.za.ProcessedCount, s.za.Count() - failed.size());
        if (test)
            QVERIFY(QDir(ours).isEmpty());
        else
            compareTrees(theirs, ours);
    }
}

void TestExtract::passwordAskedWhenMissing()
{
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    Setup s;
    s.host.passwords = {QStringLiteral("nope"), QStringLiteral("secret")};
    s.za.setZipFileName(Fixtures::path(QStringLiteral("encrypted.zip")));
    s.za.ExtrBaseDir = out;
    s.za.setFSpecArgs({QStringLiteral("readme.txt")});
    s.za.setPasswordReqCount(3);
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(s.host.passwordPrompts.size(), 2);
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/readme.txt")), QByteArray("Mantole test file\n").repeated(40));
    QCOMPARE(s.za.Password, QString());
}

void TestExtract::hostileNamesStayInside()
{
    const QString hostile = m_dir->filePath(QStringLiteral("hostile.zip"));
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n"
                                 "for n in ['../evil.txt', 'a/../../evil2.txt', '/abs-mantole.txt', 'C:/drive.txt',"
                                 " 'ok.txt']:\n    z.writestr(n, 'x')\nz.close()"),
                  hostile});
    QVERIFY(python.waitForFinished());
    const QString out = m_dir->filePath(QStringLiteral("deep/out"));
    QDir().mkpath(out);
    Setup s;
    QStringList skipped;
    s.za.OnExtractSkipped = [&](TZipArchiver *, const QString &name, UnZipSkipTypes, int) { skipped << name; };
    s.za.setZipFileName(hostile);
    s.za.ExtrBaseDir = out;
    s.za.ExtrOptions = ExtrOpts{ExtrDirNames};
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(skipped.size(), 4);
    QCOMPARE(treeOf(m_dir->filePath(QStringLiteral("deep"))), QStringList{QStringLiteral("out/ok.txt")});
    QVERIFY(!QFile::exists(QStringLiteral("/abs-mantole.txt")));
}

void TestExtract::spannedSetIsJoinedFirst()
{
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const QString theirs = m_dir->filePath(QStringLiteral("theirs"));
    QDir().mkpath(out);
    QCOMPARE(unzip({QStringLiteral("-qq"), Fixtures::path(QStringLiteral("set-joined-reference.zip")),
                    QStringLiteral("-d"), theirs}), 0);
    Setup s;
    s.za.TempDir = m_dir->filePath(QStringLiteral("temp"));
    QDir().mkpath(s.za.TempDir);
    s.za.setZipFileName(Fixtures::path(QStringLiteral("set003.zip")));
    s.za.ExtrBaseDir = out;
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 2);
    compareTrees(theirs, out);
    QVERIFY(QDir(s.za.TempDir).isEmpty()); // the joined copy is gone
}

void TestExtract::missingArchive()
{
    Setup s;
    s.za.setZipFileName(m_dir->filePath(QStringLiteral("none.zip")));
    s.za.ExtractEntries();
    QCOMPARE(s.za.ErrCode, 10102);
    QCOMPARE(s.za.ProcessedCount, 0);
}

void TestExtract::plantedLinksAreNotFollowed_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<bool>("toFolder");
    QTest::addColumn<quint32>("options");
    const quint32 dirs = ExtrOpts{ExtrDirNames}.bits();
    const quint32 overwrite = ExtrOpts{ExtrDirNames, ExtrOverWrite}.bits();
    QTest::newRow("link to a file, kept") << "victim.txt" << "victim.txt" << false << dirs;
    QTest::newRow("link to a file, overwriting") << "victim.txt" << "victim.txt" << false << overwrite;
    QTest::newRow("link to a folder") << "sub/victim.txt" << "sub" << true << overwrite;
    QTest::newRow("link to a folder, deeper") << "sub/deep/victim.txt" << "sub" << true << overwrite;
    QTest::newRow("old temporary name") << "victim.txt" << "victim.txt.unzlib-partial" << false << overwrite;
}

void TestExtract::plantedLinksAreNotFollowed()
{
    // Nothing is ever written outside the folder, whatever links it holds.
    QFETCH(QString, entry);
    QFETCH(QString, linkName);
    QFETCH(bool, toFolder);
    QFETCH(quint32, options);
    const QString outside = m_dir->filePath(QStringLiteral("outside"));
    const QString target = m_dir->filePath(QStringLiteral("target"));
    QDir().mkpath(outside + QStringLiteral("/deep"));
    QDir().mkpath(target);
    QVERIFY(Fixtures::write(outside + QStringLiteral("/victim.txt"), "precious"));
    QVERIFY(QFile::link(toFolder ? outside : outside + QStringLiteral("/victim.txt"), target + '/' + linkName));
    const QString zip = m_dir->filePath(QStringLiteral("links.zip"));
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"),
                                             QStringLiteral("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n"
                                                            "z.writestr(sys.argv[2], 'overwritten')\nz.close()"),
                                             zip, entry});
    QVERIFY(python.waitForFinished());
    Setup s;
    s.za.setZipFileName(zip);
    s.za.ExtrBaseDir = target;
    s.za.ExtrOptions = ExtrOpts::fromBits(options);
    s.za.OnExtractOverwrite = [](TZipArchiver *, const QString &, bool, bool &overwrite) { overwrite = true; };
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(Fixtures::readFile(outside + QStringLiteral("/victim.txt")), QByteArray("precious"));
    QCOMPARE(treeOf(outside), (QStringList{QStringLiteral("victim.txt")}));
    QVERIFY(QFileInfo(target + '/' + linkName).isSymLink()); // never replaced by a file
    if (linkName != entry && !toFolder) {
        // A link of the old temporary name is simply not used any more.
        QCOMPARE(s.za.ProcessedCount, 1);
        QCOMPARE(Fixtures::readFile(target + '/' + entry), QByteArray("overwritten"));
    } else {
        QCOMPARE(s.za.ProcessedCount, 0);
        QVERIFY2(s.za.Message.contains(QLatin1String("symbolic link")), qPrintable(s.za.Message));
    }
}

void TestExtract::temporaryNamesNeverClash()
{
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    Setup s;
    s.za.setZipFileName(Fixtures::path(QStringLiteral("partial-names.zip")));
    s.za.ExtrBaseDir = out;
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 2);
    QCOMPARE(treeOf(out), (QStringList{QStringLiteral("v.txt"), QStringLiteral("v.txt.unzlib-partial")}));
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/v.txt")), QByteArray("the real one"));
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/v.txt.unzlib-partial")), QByteArray("the partial one"));
}

void TestExtract::hostileRecords_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("listWarns");
    // Twenty names for one deflated megabyte; an entry longer than stated.
    QTest::newRow("overlapping records") << "overlap-bomb.zip" << true;
    QTest::newRow("more data than stated") << "size-lie.zip" << false;
}

void TestExtract::hostileRecords()
{
    QFETCH(QString, fixture);
    QFETCH(bool, listWarns);
    Setup s;
    s.za.setZipFileName(Fixtures::path(fixture));
    QVERIFY(s.za.Count() > 0);
    QCOMPARE(s.za.ErrCode == 10203, listWarns);
    s.za.ExtrOptions = ExtrOpts{ExtrTest};
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 0);
    QVERIFY(!s.za.Message.isEmpty());

    const QString out = m_dir->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    s.za.ExtrOptions = ExtrOpts{};
    s.za.ExtrBaseDir = out;
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 0);
    QVERIFY(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

void TestExtract::currentFolderStays()
{
    // Extraction into a folder must not move every later relative name.
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    const QString before = QDir::currentPath();
    Setup s;
    s.za.setZipFileName(Fixtures::path(QStringLiteral("plain.zip")));
    s.za.ExtrBaseDir = out;
    s.za.ExtrOptions = ExtrOpts{ExtrDirNames};
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, s.za.Count());
    QCOMPARE(QDir::currentPath(), before);
    QVERIFY(QFile::exists(out + QStringLiteral("/docs/notes.txt")));
}

void TestExtract::commentCutShort()
{
    // Listed with a warning, the archive tests and extracts like any other.
    Setup s;
    s.za.setZipFileName(Fixtures::path(QStringLiteral("comment-cut.zip")));
    QCOMPARE(s.za.Count(), 6);
    s.za.ExtrOptions = ExtrOpts{ExtrTest};
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 6);
}

QTEST_GUILESS_MAIN(TestExtract)
#include "tst_extract.moc"
