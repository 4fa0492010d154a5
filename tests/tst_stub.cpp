// The extractor stub, run for real under wine64: executables written by the
// engine from archives made by Info-ZIP zip extract, test and list as they
// should, and refuse what they must.

#include "../stub/CommandLine.h"
#include "Fixtures.h"
#include "PeImage.h"
#include "ScriptedHost.h"
#include "WineRun.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

const QString kStub64 = QStringLiteral(MANTOLE_BIN_DIR "/SfxStub64.bin");
const QString kStub32 = QStringLiteral(MANTOLE_BIN_DIR "/SfxStub.bin");

using Run = WineRun;

Run runStub(const QString &exe, const QStringList &args, const QString &workingFolder = QString())
{
    WineOptions options;
    options.workingFolder = workingFolder;
    return runUnderWine(QStringList{exe} + args, options);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(Fixtures::write(path, bytes));
}

QByteArray pseudoRandom(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

void zip(const QString &folder, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("zip"), args);
    QVERIFY(p.waitForFinished());
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

// Every file below `original` is in `copy` with the same bytes, and no more.
void compareTrees(const QString &original, const QString &copy)
{
    QStringList expected, found;
    for (QDirIterator it(original, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        expected << QDir(original).relativeFilePath(it.next());
    for (QDirIterator it(copy, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        found << QDir(copy).relativeFilePath(it.next());
    expected.sort();
    found.sort();
    QCOMPARE(found, expected);
    for (const QString &name : expected)
        QVERIFY2(Fixtures::readFile(original + '/' + name) == Fixtures::readFile(copy + '/' + name), qPrintable(name));
}

} // namespace

class TestStub : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void extractsEverything();
    void overwriteModes_data();
    void overwriteModes();
    void listsAndTests();
    void refusesEntriesOutsideTheFolder();
    void damagedArchive_data();
    void damagedArchive();
    void wrongPasswordIsAnError();
    void winZipAes_data();
    void winZipAes();
    void pathsPastTheOldLimit();
    void unwritableFolderStopsAtOnce();
    void findsArchiveBeforeCodeSignature();
    void silentModeReturnsCommandExitCode();
    void commandRunsInExtractionFolder();
    void folderMarksQuoted_data();
    void folderMarksQuoted();
    void commandWorksInFolderWithBlanks_data();
    void commandWorksInFolderWithBlanks();
    void relativeFolderMadeWithParents_data();
    void relativeFolderMadeWithParents();
    void temporaryFolderRemovedAfterCommand();
    void archiveSimplyAppended();
    void shippedStubTakesIcons();

private:
    // An executable of the archive, written by the engine.
    QString makeExe(const QString &zipPath, const std::function<void(TZipArchiver &)> &options = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_tree;
    QString m_zip;
};

void TestStub::initTestCase()
{
    if (!wineReady())
        QSKIP("wine is not installed; ./test.sh installs it");
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty())
        QSKIP("zip is not installed; ./test.sh installs it");
}

void TestStub::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_tree = m_dir->filePath(QStringLiteral("tree"));
    writeFile(m_tree + QStringLiteral("/docs/deep/notes.txt"), QByteArray("nested\n").repeated(100));
    writeFile(m_tree + QStringLiteral("/été/naïve façade.txt"), "accents");
    writeFile(m_tree + QStringLiteral("/empty.txt"), QByteArray());
    writeFile(m_tree + QStringLiteral("/random.bin"), pseudoRandom(4 * 1024 * 1024 + 123, 7));
    writeFile(m_tree + QStringLiteral("/text.txt"), QByteArray("compressible line of text\n").repeated(200000));
    writeFile(m_tree + QStringLiteral("/secret.txt"), "only with the password");
    m_zip = m_dir->filePath(QStringLiteral("in.zip"));
    zip(m_tree, {QStringLiteral("-qr"), m_zip, QStringLiteral("."), QStringLiteral("-x"), QStringLiteral("secret.txt")});
    zip(m_tree, {QStringLiteral("-q"), QStringLiteral("-P"), QStringLiteral("pass word"), m_zip,
                 QStringLiteral("secret.txt")});
}

QString TestStub::makeExe(const QString &zipPath, const std::function<void(TZipArchiver &)> &options)
{
    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    za.SFXPath = kStub64;
    if (options)
        options(za);
    const QString work = m_dir->filePath(QStringLiteral("work.zip"));
    QFile::remove(work);
    QFile::copy(zipPath, work);
    za.setZipFileName(work);
    if (za.WriteSFX() != 0)
        return QString();
    return za.ZipFileName();
}

void TestStub::extractsEverything()
{
    const QString exe = makeExe(m_zip);
    QVERIFY(!exe.isEmpty());
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    compareTrees(m_tree, out);
    // The file time comes from the archive (MS-DOS time: two-second steps).
    const qint64 drift = QFileInfo(m_tree + QStringLiteral("/text.txt")).lastModified().secsTo(
        QFileInfo(out + QStringLiteral("/text.txt")).lastModified());
    QVERIFY2(qAbs(drift) <= 2, qPrintable(QString::number(drift)));
}

void TestStub::overwriteModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("overwriteSwitch");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("always") << int(OvrAlways) << false << true;
    QTest::newRow("never") << int(OvrNever) << false << false;
    QTest::newRow("ask, silent: nobody to ask, kept") << int(OvrConfirm) << false << false;
    QTest::newRow("ask, silent with -y") << int(OvrConfirm) << true << true;
}

void TestStub::overwriteModes()
{
    QFETCH(int, mode);
    QFETCH(bool, overwriteSwitch);
    QFETCH(bool, replaced);
    const QString exe = makeExe(m_zip, [mode](TZipArchiver &za) { za.SFXOverWriteMode = static_cast<OvrOpts>(mode); });
    const QString out = m_dir->filePath(QStringLiteral("out"));
    writeFile(out + QStringLiteral("/docs/deep/notes.txt"), "the user's own version");
    writeFile(out + QStringLiteral("/empty.txt"), "not empty any more");
    QStringList args{QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                     QStringLiteral("pass word")};
    if (overwriteSwitch)
        args << QStringLiteral("-y");
    const Run r = runStub(exe, args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/docs/deep/notes.txt")),
             replaced ? QByteArray("nested\n").repeated(100) : QByteArray("the user's own version"));
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/empty.txt")),
             replaced ? QByteArray() : QByteArray("not empty any more"));
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/text.txt")), Fixtures::readFile(m_tree + QStringLiteral("/text.txt")));
}

void TestStub::listsAndTests()
{
    const QString exe = makeExe(m_zip);
    Run r = runStub(exe, {QStringLiteral("-l")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QStringLiteral("été/naïve façade.txt")), qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("4194427\trandom.bin")));
    r = runStub(exe, {QStringLiteral("-t"), QStringLiteral("-s"), QStringLiteral("-p"), QStringLiteral("pass word")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() == 1); // nothing extracted
}

void TestStub::refusesEntriesOutsideTheFolder()
{
    // Hostile names, written as they are by Python's zipfile.
    const QString hostile = m_dir->filePath(QStringLiteral("hostile.zip"));
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n"
                                 "for n in ['../evil.txt', 'a/../../evil2.txt', '/abs.txt', 'C:/drive.txt',"
                                 " 'CON.txt', 'ok.txt']:\n    z.writestr(n, 'x')\nz.close()"),
                  hostile});
    QVERIFY(python.waitForFinished());
    QCOMPARE(python.exitCode(), 0);
    const QString exe = makeExe(hostile);
    const QString out = m_dir->filePath(QStringLiteral("deep/out"));
    QDir().mkpath(out);
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out)});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("../evil.txt")), qPrintable(r.err));
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("ok.txt")});
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("deep"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("out")});
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("evil.txt"))));
    QVERIFY(!QFile::exists(QStringLiteral("/abs.txt")));
}

void TestStub::damagedArchive_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("said");
    QTest::newRow("changed data") << "data" << "CRC";
    QTest::newRow("directory cut off") << "cut" << "holds no archive";
}

void TestStub::damagedArchive()
{
    QFETCH(QString, damage);
    QFETCH(QString, said);
    const QString exe = makeExe(m_zip);
    QByteArray bytes = Fixtures::readFile(exe);
    if (damage == QLatin1String("data")) {
        // Inside random.bin's data, a little after its local header's name.
        const qsizetype where = bytes.indexOf(QByteArray("random.bin")) + 200;
        bytes[where] = static_cast<char>(bytes[where] ^ 0x55);
    } else {
        bytes.chop(100);
    }
    QVERIFY(Fixtures::write(exe, bytes));
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(said), qPrintable(r.err));
}

void TestStub::wrongPasswordIsAnError()
{
    const QString exe = makeExe(m_zip);
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("wrong")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("secret.txt")), qPrintable(r.err));
    QVERIFY(!QFile::exists(out + QStringLiteral("/secret.txt")));
    QVERIFY(QFile::exists(out + QStringLiteral("/text.txt")));
}

void TestStub::winZipAes_data()
{
    // Made by 7z (AE-2); aes-ae1.zip is the AES-192 one with its CRCs kept.
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("failed"); // entries neither extracted nor sound
    const QStringList files{"data.bin", "docs/deep/empty.txt", "docs/notes.txt", "readme.txt"};
    QTest::newRow("AES-256, deflated") << "aes256.zip" << "secret" << QStringList();
    QTest::newRow("AES-128, stored") << "aes128-stored.zip" << "secret" << QStringList();
    QTest::newRow("AES-192, AE-1") << "aes-ae1.zip" << "secret" << QStringList();
    QTest::newRow("wrong password") << "aes256.zip" << "wrong" << files;
    QTest::newRow("data changed, right password") << "aes-damaged.zip" << "secret" << QStringList{"readme.txt"};
}

void TestStub::winZipAes()
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
    const QString exe = makeExe(Fixtures::path(fixture));
    QVERIFY(!exe.isEmpty());
    const QString out = m_dir->filePath(QStringLiteral("out"));
    Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"), password});
    QCOMPARE(r.exitCode, failed.isEmpty() ? 0 : 1);
    for (const QString &name : failed)
        QVERIFY2(r.err.contains(QFileInfo(name).fileName()), qPrintable(r.err));
    compareTrees(theirs, out);
    r = runStub(exe, {QStringLiteral("-t"), QStringLiteral("-s"), QStringLiteral("-p"), password});
    QCOMPARE(r.exitCode, failed.isEmpty() ? 0 : 1);
}

void TestStub::pathsPastTheOldLimit()
{
    // 3 x 100 characters below the folder: past the 260 of plain paths.
    const QString name = QStringLiteral("%1/%2/%3.txt").arg(QString(100, 'a'), QString(100, 'b'), QString(96, 'c'));
    const QString tree = m_dir->filePath(QStringLiteral("long"));
    writeFile(tree + '/' + name, "deep down");
    const QString archive = m_dir->filePath(QStringLiteral("long.zip"));
    zip(tree, {QStringLiteral("-qr"), archive, QStringLiteral(".")});
    const QString exe = makeExe(archive);
    QVERIFY(!exe.isEmpty());
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(windowsPath(out + '/' + name).size() > 300);
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out)});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    compareTrees(tree, out);
}

void TestStub::unwritableFolderStopsAtOnce()
{
    // A folder the user may not write into: the first refused write ends the
    // run (so that it can start again elevated) and nothing is left behind.
    // Root writes anywhere, so there the folder is made immutable instead.
    const QString out = m_dir->filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(out));
    const bool root = geteuid() == 0;
    QProcess lock;
    if (root) {
        lock.start(QStringLiteral("chattr"), {QStringLiteral("+i"), out});
        if (!lock.waitForFinished() || lock.exitCode() != 0)
            QSKIP("running as root on a file system without immutable folders");
    } else {
        QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
    }
    const auto unlock = qScopeGuard([&] {
        if (root)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), out});
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    const QString exe = makeExe(m_zip);
    QVERIFY(!exe.isEmpty());
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(QDir(out).isEmpty(), qPrintable(QDir(out).entryList().join(',')));
}

void TestStub::findsArchiveBeforeCodeSignature()
{
    // A signing tool appends a certificate table and records it in the
    // optional header's security directory (entry 4, a file offset).
    const QString exe = makeExe(m_zip);
    QByteArray bytes = Fixtures::readFile(exe);
    while (bytes.size() % 8)
        bytes.append('\0');
    const quint32 certificateAt = static_cast<quint32>(bytes.size());
    QByteArray certificate(512, '\x5A');
    Fixtures::putU32(certificate, 0, 512);
    bytes.append(certificate);
    const quint32 pe = Fixtures::getU32(bytes, 60);
    const bool plus = static_cast<unsigned char>(bytes[pe + 24]) == 0x0B && bytes[pe + 25] == 2;
    const qsizetype security = pe + 24 + (plus ? 112 : 96) + 4 * 8;
    Fixtures::putU32(bytes, security, certificateAt);
    Fixtures::putU32(bytes, security + 4, 512);
    QVERIFY(Fixtures::write(exe, bytes));

    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    compareTrees(m_tree, out);
}

void TestStub::silentModeReturnsCommandExitCode()
{
    const QString exe = makeExe(m_zip, [](TZipArchiver &za) { za.SFXCommandLine = QStringLiteral("cmd.exe /c exit 7"); });
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QCOMPARE(r.exitCode, 7);
}

void TestStub::commandRunsInExtractionFolder()
{
    // "><" stands for the extraction folder.
    const QString exe = makeExe(m_zip, [](TZipArchiver &za) {
        za.SFXCommandLine = QStringLiteral("cmd.exe /c copy ><empty.txt ><copied.txt");
    });
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(QFile::exists(out + QStringLiteral("/copied.txt")));
}

void TestStub::folderMarksQuoted_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    const QString plain = QStringLiteral("C:\\Demo\\");
    const QString blanks = QStringLiteral("C:\\Program Files\\Demo\\");
    QTest::newRow("start, no blank") << "><setup.bat /q" << plain << "C:\\Demo\\setup.bat /q";
    QTest::newRow("start, blank") << "><setup.bat /q" << blanks << "\"C:\\Program Files\\Demo\\setup.bat\" /q";
    QTest::newRow("middle, no blank") << "cmd /c copy ><a.txt b.txt" << plain << "cmd /c copy C:\\Demo\\a.txt b.txt";
    QTest::newRow("middle, blank") << "cmd /c copy ><a.txt b.txt" << blanks
                                   << "cmd /c copy \"C:\\Program Files\\Demo\\a.txt\" b.txt";
    QTest::newRow("inside a word, blank") << "setup.exe /dir=>< /q" << blanks
                                          << "setup.exe \"/dir=C:\\Program Files\\Demo\\\\\" /q";
    QTest::newRow("alone at the end, blank") << "explorer ><" << blanks
                                             << "explorer \"C:\\Program Files\\Demo\\\\\"";
    QTest::newRow("alone at the end, no blank") << "explorer ><" << plain << "explorer C:\\Demo\\";
    QTest::newRow("inside quotes, blank") << "\"><my setup.exe\" /q" << blanks
                                          << "\"C:\\Program Files\\Demo\\my setup.exe\" /q";
    QTest::newRow("inside quotes, no blank") << "\"><setup.exe\" /q" << plain << "\"C:\\Demo\\setup.exe\" /q";
    QTest::newRow("quotes in the middle of a word") << "/log=\"><log.txt\"" << blanks
                                                    << "/log=\"C:\\Program Files\\Demo\\log.txt\"";
    QTest::newRow("two marks in one word") << "/a=><x;><y" << blanks
                                           << "\"/a=C:\\Program Files\\Demo\\x;C:\\Program Files\\Demo\\y\"";
    QTest::newRow("no mark, blanks kept") << "cmd  /c\texit 3" << blanks << "cmd  /c\texit 3";
    QTest::newRow("folder holding a mark-like text") << "><a ><b" << "C:\\x><y\\"
                                                     << "C:\\x><y\\a C:\\x><y\\b";
}

void TestStub::folderMarksQuoted()
{
    QFETCH(QString, command);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdWString(stubcommand::expandFolderMarks(command.toStdWString(), folder.toStdWString())),
             expected);
}

void TestStub::commandWorksInFolderWithBlanks_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("made");
    QTest::newRow("start, no blank") << "out" << "><setup.bat /q" << "ran.txt";
    QTest::newRow("start, blanks") << "Program Files/My Demo" << "><setup.bat /q" << "ran.txt";
    QTest::newRow("middle and quoted, no blank") << "out" << "cmd.exe /c copy ><empty.txt \"><copied two.txt\""
                                                 << "copied two.txt";
    QTest::newRow("middle and quoted, blanks") << "Program Files/My Demo"
                                               << "cmd.exe /c copy ><empty.txt \"><copied two.txt\""
                                               << "copied two.txt";
}

void TestStub::commandWorksInFolderWithBlanks()
{
    QFETCH(QString, folder);
    QFETCH(QString, command);
    QFETCH(QString, made);
    const QString tree = m_dir->filePath(QStringLiteral("setup"));
    writeFile(tree + QStringLiteral("/empty.txt"), QByteArray());
    writeFile(tree + QStringLiteral("/setup.bat"), "@echo off\r\nif \"%1\"==\"/q\" echo ran> \"%~dp0ran.txt\"\r\n");
    const QString archive = m_dir->filePath(QStringLiteral("setup.zip"));
    zip(tree, {QStringLiteral("-qr"), archive, QStringLiteral(".")});
    const QString exe = makeExe(archive, [&command](TZipArchiver &za) { za.SFXCommandLine = command; });
    QVERIFY(!exe.isEmpty());
    const QString out = m_dir->filePath(folder);
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out)});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(QFile::exists(out + '/' + made), qPrintable(QDir(out).entryList().join(',')));
}

void TestStub::relativeFolderMadeWithParents_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("made");
    QTest::newRow("one character") << "x" << "x";
    QTest::newRow("two characters, then more") << "ab\\cd" << "ab/cd";
    QTest::newRow("one-character parts") << "a\\b\\c" << "a/b/c";
    QTest::newRow("forward slashes") << "x/yz" << "x/yz";
    QTest::newRow("dot first") << ".\\out" << "out";
    QTest::newRow("long first part") << "output\\deep" << "output/deep";
}

void TestStub::relativeFolderMadeWithParents()
{
    QFETCH(QString, folder);
    QFETCH(QString, made);
    const QString exe = makeExe(m_zip, [](TZipArchiver &za) {
        za.SFXCommandLine = QStringLiteral("cmd.exe /c copy ><empty.txt ><copied.txt");
    });
    QVERIFY(!exe.isEmpty());
    const QString work = m_dir->filePath(QStringLiteral("cwd"));
    QVERIFY(QDir().mkpath(work));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), folder, QStringLiteral("-p"),
                                QStringLiteral("pass word")}, work);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    // The command found the files through the full path of the folder.
    QVERIFY(QFile::remove(work + '/' + made + QStringLiteral("/copied.txt")));
    compareTrees(m_tree, work + '/' + made);
}

void TestStub::temporaryFolderRemovedAfterCommand()
{
    // "><" as the proposed folder: each run extracts into a new folder of
    // its own inside the temporary folder, which is gone once the command
    // (that saw the files there) has ended.
    const QString seen = m_dir->filePath(QStringLiteral("seen.txt"));
    const QString where = m_dir->filePath(QStringLiteral("where.txt"));
    const QString exe = makeExe(m_zip, [&](TZipArchiver &za) {
        za.SFXDefaultDir = QStringLiteral("><");
        za.SFXCommandLine = QStringLiteral("cmd.exe /c copy ><text.txt %1 && cd > %2").arg(windowsPath(seen), windowsPath(where));
    });
    QVERIFY(!exe.isEmpty());
    QStringList folders;
    for (int run = 0; run < 2; ++run) {
        QFile::remove(seen);
        const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-p"), QStringLiteral("pass word")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(Fixtures::readFile(seen), Fixtures::readFile(m_tree + QStringLiteral("/text.txt")));
        QString folder = QString::fromLocal8Bit(Fixtures::readFile(where)).trimmed();
        while (folder.endsWith('\\'))
            folder.chop(1);
        const Run unix = runStub(QStringLiteral("winepath"), {QStringLiteral("-u"), folder});
        const QString path = unix.out.trimmed();
        QVERIFY2(!path.isEmpty(), qPrintable(folder));
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        QVERIFY2(QFileInfo(QFileInfo(path).path()).isDir(), qPrintable(path)); // inside the temporary folder
        folders << path;
    }
    QVERIFY2(folders[0] != folders[1], qPrintable(folders.join(' ')));
}

void TestStub::archiveSimplyAppended()
{
    // No options header, offsets relative to the archive's own start.
    const QString exe = m_dir->filePath(QStringLiteral("appended.exe"));
    QVERIFY(Fixtures::write(exe, Fixtures::readFile(kStub64) + Fixtures::readFile(m_zip)));
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runStub(exe, {QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                                QStringLiteral("pass word")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    compareTrees(m_tree, out);
}

void TestStub::shippedStubTakesIcons()
{
    // The shipped PE32 stub accepts an icon of the icon library, and the
    // icon read back from the executable is that icon.
    const std::optional<PeImage> library = PeImage::parse(Fixtures::readFile(QStringLiteral(MANTOLE_BIN_DIR "/icones.dll")));
    QVERIFY(library);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(library->iconFile(i).size(), 766);
    const QByteArray icon = library->iconFile(5);
    const QString exe = makeExe(m_zip, [&icon](TZipArchiver &za) {
        za.SFXPath = kStub32;
        za.setSFXIcon(icon);
    });
    QVERIFY(!exe.isEmpty());
    const QByteArray bytes = Fixtures::readFile(exe);
    const std::optional<PeImage> patched = PeImage::parse(bytes);
    QVERIFY(patched);
    QCOMPARE(patched->iconFile(0).mid(22), icon.mid(22));
    QCOMPARE(static_cast<unsigned char>(bytes[Fixtures::getU32(bytes, 60) + 24]), 0x0Bu); // PE32
    QVERIFY(QFileInfo(kStub32).size() < 200 * 1024);

    // Its manifest asks for no elevation, whatever the file is called.
    const QByteArray stub = Fixtures::readFile(kStub32);
    const std::optional<PeImage> pe = PeImage::parse(stub);
    QByteArray manifest;
    for (const PeImage::DirectoryEntry &type : pe->directoryAt(0)) {
        if (type.nameOrId != 24 || !type.isSubdirectory())
            continue;
        const PeImage::DirectoryEntry id = pe->directoryAt(type.target()).at(0);
        const PeImage::DirectoryEntry language = pe->directoryAt(id.target()).at(0);
        const std::optional<PeImage::DataEntry> data = pe->dataEntryAt(language.target());
        QVERIFY(data);
        manifest = stub.mid(*pe->resourceFileOffset(data->rva), data->size);
    }
    QVERIFY(manifest.contains("requestedExecutionLevel level=\"asInvoker\""));
    QVERIFY(manifest.contains("Microsoft.Windows.Common-Controls"));
    // Long paths, and every Windows from 7 to 11 named (10 and 11 share one id).
    QVERIFY(manifest.contains("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true<"));
    for (const char *windows : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                                "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        QVERIFY2(manifest.contains(QByteArray("<supportedOS Id=\"{") + windows + "}\"/>"), windows);
    // One icon only: group 1 holding a single 744-byte image.
    QCOMPARE(pe->iconFile(0).size(), 766);
    QVERIFY(pe->iconFile(1).isEmpty());
}

QTEST_GUILESS_MAIN(TestStub)
#include "tst_stub.moc"
