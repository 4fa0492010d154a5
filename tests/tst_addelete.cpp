// Adding to and deleting from archives through the compression library,
// judged by Info-ZIP unzip, 7-Zip and Python's zipfile.

#include "Fixtures.h"
#include "Referees.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Setup {
    Setup()
    {
        za.setDLLDirectory(QStringLiteral(MANTOLE_BIN_DIR));
        za.SFXPath = QStringLiteral(MANTOLE_BIN_DIR "/SfxStub.bin");
        za.HowToDelete = htdFinal;
    }
    ScriptedHost host;
    TZipArchiver za{&host};
};

QStringList names(const TZipArchiver &za)
{
    QStringList list;
    for (const ZipDirEntry &e : za.Entries())
        list << e.FileName;
    list.sort();
    return list;
}

} // namespace

class TestAddDelete : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void addToNewArchive_data();
    void addToNewArchive();
    void storedSuffixesAndEncryption();
    void addAndDeleteKeepTheStub();
    void addIntoNewExecutable();
    void updateAndFreshen_data();
    void updateAndFreshen();
    void deleteByName();
    void addOptions_data();
    void addOptions();
    void zip64CountsAfterDelete();
    void cancelLeavesArchive();
    void refusals();

private:
    void makeTree();
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousFolder;
};

void TestAddDelete::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previousFolder = QDir::currentPath();
    makeTree();
    QDir::setCurrent(m_dir->filePath(QStringLiteral("tree")));
}

void TestAddDelete::cleanup()
{
    QDir::setCurrent(m_previousFolder);
}

void TestAddDelete::makeTree()
{
    const QString tree = m_dir->filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/docs/deep"));
    Fixtures::write(tree + QStringLiteral("/readme.txt"), QByteArray("read me\n").repeated(500));
    Fixtures::write(tree + QStringLiteral("/docs/notes.txt"), QByteArray("notes\n").repeated(300));
    Fixtures::write(tree + QStringLiteral("/docs/deep/empty.txt"), QByteArray());
    Fixtures::write(tree + QStringLiteral("/docs/photo.png"), QByteArray("not really a png").repeated(100));
    Fixtures::write(tree + QStringLiteral("/été.txt"), "accents");
}

void TestAddDelete::addToNewArchive_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<quint32>("options");
    QTest::addColumn<QStringList>("expected");
    const QStringList all{"docs\\deep\\empty.txt", "docs\\notes.txt", "docs\\photo.png", "readme.txt", "été.txt"};
    QTest::newRow("level 6, folders kept, recursing") << 6 << AddOpts{AddDirNames, AddRecurseDirs}.bits() << all;
    QTest::newRow("level 0") << 0 << AddOpts{AddDirNames, AddRecurseDirs}.bits() << all;
    QTest::newRow("folders dropped")
        << 9 << AddOpts{AddRecurseDirs}.bits()
        << QStringList{"empty.txt", "notes.txt", "photo.png", "readme.txt", "été.txt"};
    QTest::newRow("folder entries too")
        << 9 << AddOpts{AddDirNames, AddRecurseDirs, AddSeparateDirs}.bits()
        << QStringList{"docs\\", "docs\\deep\\", "docs\\deep\\empty.txt", "docs\\notes.txt", "docs\\photo.png",
                       "readme.txt", "été.txt"};
}

void TestAddDelete::addToNewArchive()
{
    QFETCH(int, level);
    QFETCH(quint32, options);
    QFETCH(QStringList, expected);
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("new.zip"));
    s.za.setZipFileName(zip);
    s.za.AddCompLevel = level;
    s.za.AddOptions = AddOpts::fromBits(options);
    s.za.setFSpecArgs({QStringLiteral(".")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, expected.size());
    QVERIFY(s.za.FSpecArgs().isEmpty());
    QCOMPARE(names(s.za), expected); // re-listed after the add
    Referees::verifyArchive(zip);
    for (const ZipDirEntry &e : s.za.Entries())
        if (!e.FileName.endsWith('\\'))
            QCOMPARE(e.Method, level == 0 || e.FileName.endsWith(QLatin1String(".png")) || e.UncompressedSize == 0 ? 0 : 8);
}

void TestAddDelete::storedSuffixesAndEncryption()
{
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("secret.zip"));
    s.za.setZipFileName(zip);
    s.za.AddOptions = AddOpts{AddDirNames, AddEncrypt};
    s.host.passwords = {QStringLiteral("pass"), QStringLiteral("pass")}; // asked twice, the same
    s.za.setFSpecArgs({QStringLiteral("readme.txt"), QStringLiteral("docs/photo.png")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 2);
    QCOMPARE(s.host.passwordPrompts.size(), 2);
    for (const ZipDirEntry &e : s.za.Entries())
        QVERIFY(e.Encrypted);
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-P"), QStringLiteral("pass"), QStringLiteral("-p"), zip,
                                          QStringLiteral("readme.txt")});
    QVERIFY(unzip.waitForFinished());
    QCOMPARE(unzip.readAllStandardOutput(), QByteArray("read me\n").repeated(500));
}

void TestAddDelete::addAndDeleteKeepTheStub()
{
    // An executable written by the engine gets a file and loses one; its
    // stub and header stay byte for byte and every offset stays right.
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("app.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    s.za.setZipFileName(zip);
    QCOMPARE(s.za.WriteSFX(), 0);
    const QString exe = s.za.ZipFileName();
    const qint64 start = s.za.ArchiveStart;
    const QByteArray prefix = Fixtures::readFile(exe).left(start);

    s.za.AddOptions = AddOpts{AddDirNames};
    s.za.setFSpecArgs({QStringLiteral("été.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(s.za.Count(), 7);
    s.za.setFSpecArgs({QStringLiteral("data.bin")});
    s.za.DeleteEntries();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(s.za.Count(), 6);

    QCOMPARE(Fixtures::readFile(exe).left(start), prefix);
    QCOMPARE(s.za.ArchiveStart, start);
    QVERIFY(!s.za.OffsetsMismatch);
    Referees::verifyArchive(exe);
}

void TestAddDelete::addIntoNewExecutable()
{
    Setup s;
    const QString exe = m_dir->filePath(QStringLiteral("fresh.exe"));
    s.za.setZipFileName(exe);
    s.za.AddOptions = AddOpts{AddDirNames, AddRecurseDirs};
    s.za.setFSpecArgs({QStringLiteral("docs")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 3);
    QVERIFY(s.za.ArchiveStart > 0);
    QVERIFY(!s.za.OffsetsMismatch);
    Referees::verifyArchive(exe);
}

void TestAddDelete::updateAndFreshen_data()
{
    QTest::addColumn<quint32>("options");
    QTest::addColumn<int>("processed");
    QTest::addColumn<int>("count");
    // The archive holds readme.txt (older than the file on disk) and
    // docs/notes.txt (as new as the file); été.txt is not in it.
    QTest::newRow("update: newer and new files") << AddOpts{AddDirNames, AddUpdate}.bits() << 2 << 3;
    QTest::newRow("freshen: only newer files already there") << AddOpts{AddDirNames, AddFreshen}.bits() << 1 << 2;
}

void TestAddDelete::updateAndFreshen()
{
    QFETCH(quint32, options);
    QFETCH(int, processed);
    QFETCH(int, count);
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("u.zip"));
    s.za.setZipFileName(zip);
    s.za.AddOptions = AddOpts{AddDirNames};
    s.za.setFSpecArgs({QStringLiteral("readme.txt"), QStringLiteral("docs/notes.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.Count(), 2);
    {
        QFile readme(QStringLiteral("readme.txt"));
        QVERIFY(readme.open(QIODevice::ReadWrite));
        QVERIFY(readme.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
    }
    s.za.AddOptions = AddOpts::fromBits(options);
    s.za.setFSpecArgs({QStringLiteral("readme.txt"), QStringLiteral("docs/notes.txt"), QStringLiteral("été.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, processed);
    QCOMPARE(s.za.Count(), count);
    Referees::verifyArchive(zip);
}

void TestAddDelete::deleteByName()
{
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("d.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    s.za.setZipFileName(zip);
    // Names as the engine lists them, with "\", and a wildcard.
    s.za.setFSpecArgs({QStringLiteral("docs\\deep\\empty.txt"), QStringLiteral("*.bin")});
    s.za.DeleteEntries();
    QCOMPARE(s.za.ProcessedCount, 2);
    QCOMPARE(names(s.za), (QStringList{"docs\\", "docs\\deep\\", "docs\\notes.txt", "readme.txt"}));
    Referees::verifyArchive(zip);

    const QByteArray before = Fixtures::readFile(zip);
    s.za.setFSpecArgs({QStringLiteral("no-such-entry")});
    s.za.DeleteEntries();
    QCOMPARE(s.za.ProcessedCount, 0);
    QCOMPARE(Fixtures::readFile(zip), before);
}

void TestAddDelete::addOptions_data()
{
    QTest::addColumn<quint32>("options");
    QTest::addColumn<QStringList>("exclusions");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("sourcesRemain");
    const quint32 base = AddOpts{AddDirNames, AddRecurseDirs}.bits();
    QTest::newRow("exclusions") << base << QStringList{"*.png", "docs/deep/*"}
                                << QStringList{"docs\\notes.txt", "readme.txt", "été.txt"} << true;
    QTest::newRow("hidden files") << (base | AddOpts{AddHiddenFiles}.bits()) << QStringList{"*.png", "*.txt"}
                                  << QStringList{".hidden"} << true;
    QTest::newRow("hidden files left out") << base << QStringList{"*.png", "*.txt"} << QStringList{} << true;
    QTest::newRow("move") << (base | AddOpts{AddMove}.bits()) << QStringList{}
                          << QStringList{"docs\\deep\\empty.txt", "docs\\notes.txt", "docs\\photo.png",
                                         "readme.txt", "été.txt"}
                          << false;
}

void TestAddDelete::addOptions()
{
    QFETCH(quint32, options);
    QFETCH(QStringList, exclusions);
    QFETCH(QStringList, expected);
    QFETCH(bool, sourcesRemain);
    QVERIFY(Fixtures::write(QStringLiteral(".hidden"), "dot file"));
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("o.zip"));
    s.za.setZipFileName(zip);
    s.za.AddOptions = AddOpts::fromBits(options);
    s.za.setFSpecArgs({QStringLiteral(".")});
    s.za.setFSpecArgsExcl(exclusions);
    s.za.AddFiles();
    QCOMPARE(names(s.za), expected);
    QVERIFY(s.za.FSpecArgsExcl().isEmpty());
    QCOMPARE(QFile::exists(QStringLiteral("readme.txt")), sourcesRemain);
    for (const ZipDirEntry &e : s.za.Entries())
        QCOMPARE((e.Flags & 0x800) != 0, e.FileName == QStringLiteral("été.txt")); // UTF-8 flag, only when needed
}

void TestAddDelete::zip64CountsAfterDelete()
{
    // 70,000 entries less one: the counts still need the Zip64 end record.
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("many.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("zip64-many.zip")), zip));
    s.za.setZipFileName(zip);
    s.za.setFSpecArgs({QStringLiteral("f00042")});
    s.za.DeleteEntries();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(s.za.Count(), 69999);
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"),
                                             QStringLiteral("import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))"),
                                             zip});
    QVERIFY(python.waitForFinished());
    QCOMPARE(python.readAllStandardOutput().trimmed(), QByteArray("69999"));
}

void TestAddDelete::cancelLeavesArchive()
{
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("c.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    s.za.setZipFileName(zip);
    s.za.OnProgress = [](TZipArchiver *sender, ProgressType type, const QString &, int64_t) {
        if (type == ptNewFile)
            sender->CancelRequested = true;
    };
    s.za.AddOptions = AddOpts{AddDirNames, AddRecurseDirs};
    s.za.setFSpecArgs({QStringLiteral(".")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 0);
    QCOMPARE(Fixtures::readFile(zip), Fixtures::read(QStringLiteral("plain.zip")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("c.zip")});
}

void TestAddDelete::refusals()
{
    Setup s;
    s.za.setZipFileName(m_dir->filePath(QStringLiteral("r.zip")));
    s.za.AddFiles();
    QCOMPARE(s.za.ErrCode, 10301);
    s.za.DeleteEntries();
    QCOMPARE(s.za.ErrCode, 10401);
    s.za.setFSpecArgs({QStringLiteral("x")});
    s.za.DeleteEntries();
    QCOMPARE(s.za.ErrCode, 10102);
    s.za.setFSpecArgs({QStringLiteral("readme.txt")});
    s.za.AddOptions = AddOpts{AddDiskSpan, AddUpdate};
    s.za.AddFiles();
    QCOMPARE(s.za.ErrCode, 10303);
    QCOMPARE(s.za.FSpecArgs(), QStringList{QStringLiteral("readme.txt")});
}

QTEST_GUILESS_MAIN(TestAddDelete)
#include "tst_addelete.moc"
