// Adding to and deleting from archives through the compression library,
// judged by Info-ZIP unzip, 7-Zip and Python's zipfile.

#include "Fixtures.h"
#include "Referees.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QMap>
#include <QStandardPaths>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

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

// Each entry's central record (its local-header offset blanked) and its
// local record, by name, read straight from a plain archive's bytes.
struct Records {
    QByteArray central, local;
};
QMap<QByteArray, Records> recordsOf(const QByteArray &zip)
{
    QMap<QByteArray, Records> records;
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06"));
    if (end < 0)
        return records;
    qsizetype at = Fixtures::getU32(zip, end + 16);
    while (at + 46 <= zip.size() && zip.mid(at, 4) == QByteArray("PK\x01\x02")) {
        const auto u16 = [&zip](qsizetype i) { return quint16(uchar(zip[i]) | uchar(zip[i + 1]) << 8); };
        const qsizetype length = 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
        Records r;
        r.central = zip.mid(at, length);
        Fixtures::putU32(r.central, 42, 0);
        const qsizetype local = Fixtures::getU32(zip, at + 42);
        r.local = zip.mid(local, 30 + u16(local + 26) + u16(local + 28) + Fixtures::getU32(zip, at + 20));
        records.insert(zip.mid(at + 46, u16(at + 28)), r);
        at += length;
    }
    return records;
}

// Runs mantole-cli in a folder and waits for it; its exit code.
int runCli(const QString &folder, const QStringList &args, QByteArray *errors = nullptr)
{
    QProcess cli;
    cli.setWorkingDirectory(folder);
    cli.start(QStringLiteral(MANTOLE_CLI), args);
    cli.waitForFinished(120000);
    if (errors)
        *errors = cli.readAllStandardError();
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

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
    void damagedEntryLeavesArchive_data();
    void damagedEntryLeavesArchive();
    void wrongDirectoryOffset_data();
    void wrongDirectoryOffset();
    void failedReplacementKeepsOldEntry();
    void failedAddLeavesNoNewFile_data();
    void failedAddLeavesNoNewFile();
    void keptRecordsStayByteForByte();
    void exactNamesBeforePatterns_data();
    void exactNamesBeforePatterns();
    void concurrentAddsTakeTurns();
    void lockedArchiveIsWaitedFor();
    void longPasswordsAreWhole();
    void nonRegularFilesAreRefused();

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

void TestAddDelete::damagedEntryLeavesArchive_data()
{
    QTest::addColumn<bool>("forDelete");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("processed");
    // plain.zip's first local header gets a flipped signature byte.
    QTest::newRow("add") << false << "été.txt" << 0;
    QTest::newRow("delete of another entry") << true << "data.bin" << 0;
}

void TestAddDelete::damagedEntryLeavesArchive()
{
    QFETCH(bool, forDelete);
    QFETCH(QString, name);
    QFETCH(int, processed);
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("damaged.zip"));
    QByteArray bytes = Fixtures::read(QStringLiteral("plain.zip"));
    bytes[1] = 'Q';
    QVERIFY(Fixtures::write(zip, bytes));
    s.za.setZipFileName(zip);
    const int count = s.za.Count();
    QVERIFY(count > 1);
    s.za.AddOptions = AddOpts{AddDirNames};
    s.za.setFSpecArgs({name});
    forDelete ? s.za.DeleteEntries() : s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, processed);
    QVERIFY2(s.za.Message.contains(QLatin1String("damaged entry")), qPrintable(s.za.Message));
    QCOMPARE(Fixtures::readFile(zip), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("damaged.zip")});
}

void TestAddDelete::wrongDirectoryOffset_data()
{
    QTest::addColumn<int>("error");
    QTest::newRow("stored too far") << 100;
    QTest::newRow("stored too near") << -100;
}

void TestAddDelete::wrongDirectoryOffset()
{
    // The directory offset alone is wrong; the local offsets are right and
    // every entry must survive a rewrite.
    QFETCH(int, error);
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("offset.zip"));
    QByteArray bytes = Fixtures::read(QStringLiteral("plain.zip"));
    const qsizetype end = bytes.lastIndexOf(QByteArray("PK\x05\x06"));
    Fixtures::putU32(bytes, end + 16, Fixtures::getU32(bytes, end + 16) + error);
    QVERIFY(Fixtures::write(zip, bytes));
    s.za.setZipFileName(zip);
    const int count = s.za.Count();
    s.za.AddOptions = AddOpts{AddDirNames};
    s.za.setFSpecArgs({QStringLiteral("été.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(s.za.Count(), count + 1);
    Referees::verifyArchive(zip);
}

void TestAddDelete::failedReplacementKeepsOldEntry()
{
    // readme.txt is in the archive; its replacement needs a password that
    // nobody gives. The old entry stays, where it was.
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("keep.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    s.za.setZipFileName(zip);
    const QStringList before = names(s.za);
    const auto old = recordsOf(Fixtures::readFile(zip)).value("readme.txt");
    QVERIFY(!old.central.isEmpty());
    s.za.AddOptions = AddOpts{AddDirNames, AddEncrypt};
    s.host.passwords = {QString()}; // the dialog is cancelled
    s.za.setFSpecArgs({QStringLiteral("readme.txt"), QStringLiteral("été.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 0);
    QCOMPARE(names(s.za), before);
    QCOMPARE(Fixtures::readFile(zip), Fixtures::read(QStringLiteral("plain.zip")));

    // A second file that does go in: the old readme.txt is kept beside it.
    s.za.AddOptions = AddOpts{AddDirNames};
    QFile::setPermissions(QStringLiteral("readme.txt"), QFileDevice::Permissions());
    s.za.setFSpecArgs({QStringLiteral("readme.txt"), QStringLiteral("été.txt")});
    s.za.AddFiles();
    QFile::setPermissions(QStringLiteral("readme.txt"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (::geteuid() == 0)
        QCOMPARE(s.za.ProcessedCount, 2); // root reads it anyway
    else
        QCOMPARE(s.za.ProcessedCount, 1);
    if (::geteuid() != 0)
        QCOMPARE(recordsOf(Fixtures::readFile(zip)).value("readme.txt").local, old.local);
    QCOMPARE(s.za.Count(), before.size() + 1);
    Referees::verifyArchive(zip);
}

void TestAddDelete::failedAddLeavesNoNewFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("new archive") << "new.zip";
    QTest::newRow("new executable") << "new.exe";
}

void TestAddDelete::failedAddLeavesNoNewFile()
{
    QFETCH(QString, name);
    Setup s;
    s.za.setZipFileName(m_dir->filePath(name));
    s.za.AddOptions = AddOpts{AddDirNames, AddEncrypt};
    s.host.passwords = {QString()};
    s.za.setFSpecArgs({QStringLiteral("readme.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 0);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestAddDelete::keptRecordsStayByteForByte()
{
    // Info-ZIP's Unix extra fields, entry comments: a delete and an add move
    // the kept records but change none of their bytes.
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("kept.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("records-kept.zip")), zip));
    QFile::setPermissions(zip, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const auto before = recordsOf(Fixtures::readFile(zip));
    QVERIFY(before.contains("docs/notes.txt") && before.contains("data.bin"));
    s.za.setZipFileName(zip);
    s.za.setFSpecArgs({QStringLiteral("readme.txt")});
    s.za.DeleteEntries();
    QCOMPARE(s.za.ProcessedCount, 1);
    s.za.AddOptions = AddOpts{AddDirNames};
    s.za.setFSpecArgs({QStringLiteral("été.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 1);
    const auto after = recordsOf(Fixtures::readFile(zip));
    QCOMPARE(after.size(), before.size());
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (it.key() == "readme.txt")
            continue;
        QVERIFY2(after.value(it.key()).central == it->central, it.key().constData());
        QVERIFY2(after.value(it.key()).local == it->local, it.key().constData());
    }
    QCOMPARE(s.za.ArchiveComment, QStringLiteral("archive comment kept"));
    Referees::verifyArchive(zip);
}

void TestAddDelete::exactNamesBeforePatterns_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("exact name, other case kept") << "case-names.zip" << "a.txt" << QStringList{"A.TXT", "keep.txt"};
    QTest::newRow("exact upper-case name") << "case-names.zip" << "A.TXT" << QStringList{"a.txt", "keep.txt"};
    QTest::newRow("no entry of that name: a pattern") << "case-names.zip" << "?.TxT" << QStringList{"keep.txt"};
    QTest::newRow("a name holding '?'") << "wildcard-names.zip" << "b?.txt" << QStringList{"bx.txt", "by.txt"};
    QTest::newRow("a pattern") << "wildcard-names.zip" << "b*" << QStringList{};
}

void TestAddDelete::exactNamesBeforePatterns()
{
    QFETCH(QString, fixture);
    QFETCH(QString, selection);
    QFETCH(QStringList, left);
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("names.zip"));
    QVERIFY(QFile::copy(Fixtures::path(fixture), zip));
    QFile::setPermissions(zip, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    s.za.setZipFileName(zip);
    s.za.setFSpecArgs({selection});
    s.za.DeleteEntries();
    QCOMPARE(names(s.za), left);

    // Extraction and tests select the same way.
    QVERIFY(QFile::copy(Fixtures::path(fixture), m_dir->filePath(QStringLiteral("again.zip"))));
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    s.za.setZipFileName(m_dir->filePath(QStringLiteral("again.zip")));
    const int all = s.za.Count();
    s.za.ExtrBaseDir = out;
    s.za.setFSpecArgs({selection});
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, all - int(left.size()));
    QCOMPARE(int(QDir(out).entryList(QDir::Files).size()), all - int(left.size()));
}

void TestAddDelete::concurrentAddsTakeTurns()
{
    // Two runs adding to one archive at once: both files end up in it.
    const QString tree = m_dir->filePath(QStringLiteral("tree"));
    const QString zip = m_dir->filePath(QStringLiteral("busy.zip"));
    for (int trial = 0; trial < 5; ++trial) {
        QVERIFY(Fixtures::write(zip, Fixtures::read(QStringLiteral("plain.zip"))));
        QProcess first, second;
        for (QProcess *p : {&first, &second})
            p->setWorkingDirectory(tree);
        first.start(QStringLiteral(MANTOLE_CLI), {QStringLiteral("add"), zip, QStringLiteral("readme.txt")});
        second.start(QStringLiteral(MANTOLE_CLI), {QStringLiteral("add"), zip, QStringLiteral("été.txt")});
        QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        Setup s;
        s.za.setZipFileName(zip);
        QVERIFY2(names(s.za).contains(QStringLiteral("été.txt")), qPrintable(names(s.za).join(' ')));
        QCOMPARE(s.za.Count(), 7);
    }
}

void TestAddDelete::lockedArchiveIsWaitedFor()
{
    // Another program holds the archive's lock for a moment: the add waits
    // for it instead of writing over its work.
    if (QStandardPaths::findExecutable(QStringLiteral("flock")).isEmpty())
        QSKIP("flock (util-linux) is not installed");
    const QString zip = m_dir->filePath(QStringLiteral("held.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    QProcess holder;
    holder.start(QStringLiteral("flock"), {zip, QStringLiteral("-c"), QStringLiteral("echo held; sleep 2")});
    QVERIFY(holder.waitForReadyRead(10000));
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(runCli(m_dir->filePath(QStringLiteral("tree")), {QStringLiteral("add"), zip, QStringLiteral("été.txt")}), 0);
    QVERIFY(waited.elapsed() >= 1000); // it did wait for the holder
    QVERIFY(holder.waitForFinished());
    Setup s;
    s.za.setZipFileName(zip);
    QVERIFY(names(s.za).contains(QStringLiteral("été.txt")));
}

void TestAddDelete::longPasswordsAreWhole()
{
    // A 100-byte password works whole: unzip opens the entry with it, and a
    // password sharing its first 80 bytes does not.
    const QString password = QString(QLatin1Char('p')).repeated(90) + QStringLiteral("0123456789");
    const QString near = QString(QLatin1Char('p')).repeated(90) + QStringLiteral("9876543210");
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("long.zip"));
    s.za.setZipFileName(zip);
    s.za.AddOptions = AddOpts{AddDirNames, AddEncrypt};
    s.za.Password = password;
    s.za.setFSpecArgs({QStringLiteral("readme.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 1);
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-P"), password, QStringLiteral("-p"), zip});
    QVERIFY(unzip.waitForFinished());
    QCOMPARE(unzip.readAllStandardOutput(), QByteArray("read me\n").repeated(500));

    s.za.ExtrOptions = ExtrOpts{ExtrTest};
    s.za.Unattended = true;
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.Password = near;
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 0);
    s.za.setFSpecArgs({QStringLiteral("*.*")});
    s.za.Password = password;
    s.za.ExtractEntries();
    QCOMPARE(s.za.ProcessedCount, 1);
}

void TestAddDelete::nonRegularFilesAreRefused()
{
    // A FIFO to add would block the run forever; it is left out at once.
    QVERIFY(::mkfifo("pipe", 0600) == 0);
    Setup s;
    const QString zip = m_dir->filePath(QStringLiteral("fifo.zip"));
    s.za.setZipFileName(zip);
    s.za.AddOptions = AddOpts{AddDirNames};
    s.za.setFSpecArgs({QStringLiteral("pipe"), QStringLiteral("readme.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 1);
    QCOMPARE(names(s.za), QStringList{QStringLiteral("readme.txt")});
    // A FIFO as the archive itself.
    s.za.setZipFileName(QStringLiteral("pipe"));
    s.za.setFSpecArgs({QStringLiteral("readme.txt")});
    s.za.AddFiles();
    QCOMPARE(s.za.ProcessedCount, 0);
}

QTEST_GUILESS_MAIN(TestAddDelete)
#include "tst_addelete.moc"
