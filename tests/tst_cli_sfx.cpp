// mantole-cli to-exe, to-zip and info, as a script would use them.

#include "Fixtures.h"
#include "IconExtractor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

struct Run {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Run cli(const QStringList &args, const QString &shellPrefix = QString())
{
    QProcess p;
    if (shellPrefix.isEmpty()) {
        p.start(QStringLiteral(MANTOLE_CLI), args);
    } else {
        QStringList quoted;
        for (const QString &a : args)
            quoted << QStringLiteral("'%1'").arg(a);
        p.start(QStringLiteral("sh"), {QStringLiteral("-c"), shellPrefix + QStringLiteral(" exec '" MANTOLE_CLI "' ")
                                                                 + quoted.join(' ')});
    }
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}


} // namespace

class TestCliSfx : public QObject {
    Q_OBJECT

private slots:
    void init();
    void thereAndBack();
    void errorsExitNonZero_data();
    void errorsExitNonZero();
    void fullDiskLosesNothing_data();
    void fullDiskLosesNothing();
    void checkSizeOption_data();
    void checkSizeOption();
    void toZipWithoutHeaderSaysSo();
    void linkLeadsToItsFile_data();
    void linkLeadsToItsFile();
    void fullDiskSaysWhy();
    void anyIconIsBroughtToTheStubsForm_data();
    void anyIconIsBroughtToTheStubsForm();
    void entriesTheStubCannotExtract_data();
    void entriesTheStubCannotExtract();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_zip;
};

void TestCliSfx::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_zip = m_dir->filePath(QStringLiteral("photos.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("comment.zip")), m_zip));
}

void TestCliSfx::thereAndBack()
{
    const QString exe = m_dir->filePath(QStringLiteral("out/Setup.exe"));
    QDir().mkpath(m_dir->filePath(QStringLiteral("out")));
    Run r = cli({QStringLiteral("to-exe"), m_zip, QStringLiteral("--stub"), Fixtures::path(QStringLiteral("stub64.bin")),
                 QStringLiteral("--title"), QStringLiteral("Photos"), QStringLiteral("--temp-folder"),
                 QStringLiteral("--message"), QStringLiteral("Continue?"), QStringLiteral("--buttons"),
                 QStringLiteral("yesno"), QStringLiteral("--command"), QStringLiteral("><view.exe"),
                 QStringLiteral("--ask-command"), QStringLiteral("--overwrite"), QStringLiteral("always"),
                 QStringLiteral("--hide-overwrite"), QStringLiteral("--no-success"), QStringLiteral("--pick-files"),
                 QStringLiteral("--no-check-size"),
                 QStringLiteral("--icon"), Fixtures::path(QStringLiteral("stub32.bin")) + QStringLiteral(":0"),
                 QStringLiteral("--output"), exe});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QCOMPARE(Fixtures::readFile(m_zip), Fixtures::read(QStringLiteral("comment.zip"))); // kept
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Setup.exe")});

    r = cli({QStringLiteral("info"), exe, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("{\n  \"SFXCaption\": \"Photos\",\n  \"SFXDefaultDir\": \"><\",\n"
                               "  \"SFXCommandLine\": \"><view.exe\",\n  \"SFXMessage\": \"\\u0002Continue?\",\n"
                               "  \"SFXOptions\": [\"SFXAskCmdLine\", \"SFXAskFiles\", \"SFXHideOverWriteBox\", "
                               "\"SFXNoSuccessMsg\"],\n  \"SFXOverWriteMode\": \"OvrAlways\"\n}\n"));

    const QString back = m_dir->filePath(QStringLiteral("back.zip"));
    r = cli({QStringLiteral("to-zip"), exe, QStringLiteral("--keep"), QStringLiteral("--output"), back});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QCOMPARE(Fixtures::readFile(back), Fixtures::read(QStringLiteral("comment.zip")));
    QVERIFY(QFile::exists(exe));
    QVERIFY(r.out.contains("Message:        Continue? (Yes/No)"));

    r = cli({QStringLiteral("to-zip"), exe});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!QFile::exists(exe));
    QCOMPARE(Fixtures::readFile(m_dir->filePath(QStringLiteral("out/Setup.zip"))), Fixtures::read(QStringLiteral("comment.zip")));
}

void TestCliSfx::errorsExitNonZero_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    const QString stub = Fixtures::path(QStringLiteral("stub64.bin"));
    QTest::newRow("no such archive") << QStringList{"to-exe", "missing.zip", "--stub", stub} << "no such file";
    QTest::newRow("not an archive") << QStringList{"to-exe", stub, "--stub", stub} << "not a valid ZIP archive";
    QTest::newRow("no icon in the file")
        << QStringList{"to-exe", "@zip", "--stub", stub, "--icon", "@zip"} << "holds no icon picture";
    QTest::newRow("bad overwrite mode") << QStringList{"to-exe", "@zip", "--overwrite", "sometimes"} << "--overwrite";
    QTest::newRow("plain archive is no executable") << QStringList{"to-zip", "@zip"} << "(result -9)";
    QTest::newRow("info without header") << QStringList{"info", "@zip"} << "no self-extracting options header";
    QTest::newRow("stub that does not exist") << QStringList{"to-exe", "@zip", "--stub", "/no/such/stub.bin"}
                                             << "no such file /no/such/stub.bin";
    QTest::newRow("stub that is a folder") << QStringList{"to-exe", "@zip", "--stub", "/tmp"} << "is a folder";
    QTest::newRow("both size options")
        << QStringList{"to-exe", "@zip", "--stub", stub, "--check-size", "--no-check-size"} << "contradict";
}

void TestCliSfx::errorsExitNonZero()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    args.replaceInStrings(QStringLiteral("@zip"), m_zip);
    const Run r = cli(args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(QString::fromUtf8(r.err).contains(said), r.err.constData());
    QCOMPARE(Fixtures::readFile(m_zip), Fixtures::read(QStringLiteral("comment.zip")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("photos.zip")});
}

void TestCliSfx::fullDiskLosesNothing_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("archive kept") << false;
    QTest::newRow("archive replaced") << true;
}

void TestCliSfx::fullDiskLosesNothing()
{
    // A file-size limit stands in for a full disk: writes past 40 KiB fail.
    QFETCH(bool, replace);
    const QString big = m_dir->filePath(QStringLiteral("big.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("set-joined-reference.zip")), big));
    QStringList args{QStringLiteral("to-exe"), big, QStringLiteral("--stub"), Fixtures::path(QStringLiteral("stub64.bin"))};
    if (replace)
        args << QStringLiteral("--replace");
    const Run r = cli(args, QStringLiteral("trap '' XFSZ; ulimit -f 80;"));
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(Fixtures::readFile(big), Fixtures::read(QStringLiteral("set-joined-reference.zip")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("big.zip"), QStringLiteral("photos.zip")}));
}

void TestCliSfx::checkSizeOption_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("checks");
    QTest::newRow("default, as the engine and the wizard") << QStringList{} << true;
    QTest::newRow("--check-size") << QStringList{"--check-size"} << true;
    QTest::newRow("--no-check-size") << QStringList{"--no-check-size"} << false;
}

void TestCliSfx::checkSizeOption()
{
    QFETCH(QStringList, options);
    QFETCH(bool, checks);
    const QString exe = m_dir->filePath(QStringLiteral("photos.exe"));
    Run r = cli(QStringList{QStringLiteral("to-exe"), m_zip, QStringLiteral("--stub"),
                            Fixtures::path(QStringLiteral("stub64.bin"))} + options);
    QVERIFY2(r.exitCode == 0, r.err.constData());
    r = cli({QStringLiteral("info"), exe, QStringLiteral("--json")});
    QCOMPARE(r.out.contains("\"SFXCheckSize\""), checks);
}

void TestCliSfx::toZipWithoutHeaderSaysSo()
{
    // A program with an archive appended holds no options to read back.
    const QString exe = m_dir->filePath(QStringLiteral("app.exe"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("appended.exe")), exe));
    const Run r = cli({QStringLiteral("to-zip"), exe, QStringLiteral("--keep")});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(r.out.contains("No self-extracting options header"), r.out.constData());
    QVERIFY2(!r.out.contains("Title:"), r.out.constData());
}

void TestCliSfx::linkLeadsToItsFile_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("output");   // beside the file the link leads to
    QTest::addColumn<bool>("targetKept");
    const QString stub = Fixtures::path(QStringLiteral("stub64.bin"));
    QTest::newRow("to-exe") << QStringList{"to-exe", "link.zip", "--stub", stub} << "photos.exe" << true;
    QTest::newRow("to-exe --replace") << QStringList{"to-exe", "link.zip", "--stub", stub, "--replace"}
                                      << "photos.exe" << false;
    QTest::newRow("to-zip") << QStringList{"to-zip", "link.exe"} << "photos.zip" << false;
}

void TestCliSfx::linkLeadsToItsFile()
{
    // A relative link in another folder, as a user makes with ln -s.
    QFETCH(QStringList, args);
    QFETCH(QString, output);
    QFETCH(bool, targetKept);
    const bool fromExe = args.first() == QLatin1String("to-zip");
    QString target = m_zip;
    if (fromExe) {
        QVERIFY(cli({QStringLiteral("to-exe"), m_zip, QStringLiteral("--replace"), QStringLiteral("--stub"),
                     Fixtures::path(QStringLiteral("stub64.bin"))}).exitCode == 0);
        target = m_dir->filePath(QStringLiteral("photos.exe"));
    }
    const QByteArray targetBytes = Fixtures::readFile(target);
    const QString links = m_dir->filePath(QStringLiteral("links"));
    QVERIFY(QDir().mkpath(links));
    const QString link = links + (fromExe ? QStringLiteral("/link.exe") : QStringLiteral("/link.zip"));
    QVERIFY(QFile::link(QStringLiteral("../") + QFileInfo(target).fileName(), link));

    QProcess p;
    p.setWorkingDirectory(links);
    p.start(QStringLiteral(MANTOLE_CLI), args);
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QDir(links).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(link).fileName()});
    QCOMPARE(QFile::exists(target), targetKept);
    if (targetKept)
        QCOMPARE(Fixtures::readFile(target), targetBytes);
    QVERIFY(QFile::exists(m_dir->filePath(output)));
}

void TestCliSfx::fullDiskSaysWhy()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    const QString disk = m_dir->filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(disk));
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                    QStringLiteral("size=64k"), QStringLiteral("tmpfs"), disk})
        != 0)
        QSKIP("cannot mount a tmpfs here (a container without the right to)");
    const QString big = m_dir->filePath(QStringLiteral("big.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("set-joined-reference.zip")), big));
    const Run r = cli({QStringLiteral("to-exe"), big, QStringLiteral("--stub"), Fixtures::path(QStringLiteral("stub64.bin")),
                       QStringLiteral("--output"), disk + QStringLiteral("/big.exe")});
    const QStringList left = QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QProcess::execute(QStringLiteral("umount"), {disk});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("No space left on device"), r.err.constData());
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
    QCOMPARE(Fixtures::readFile(big), Fixtures::read(QStringLiteral("set-joined-reference.zip")));
}

void TestCliSfx::anyIconIsBroughtToTheStubsForm_data()
{
    QTest::addColumn<QString>("icon");
    QTest::newRow("256 colours") << Fixtures::path(QStringLiteral("icon256.ico"));
    QTest::newRow("16 colours") << Fixtures::path(QStringLiteral("icon16.ico"));
    QTest::newRow("from a program") << Fixtures::path(QStringLiteral("stub32.bin")) + QStringLiteral(":0");
}

void TestCliSfx::anyIconIsBroughtToTheStubsForm()
{
    // The stub's icon slot takes one 32x32 16-colour image; every icon a
    // user picks is converted to it instead of being refused.
    QFETCH(QString, icon);
    const QString exe = m_dir->filePath(QStringLiteral("icon.exe"));
    const Run r = cli({QStringLiteral("to-exe"), m_zip, QStringLiteral("--stub"), Fixtures::path(QStringLiteral("stub64.bin")),
                       QStringLiteral("--icon"), icon, QStringLiteral("--output"), exe});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QByteArray written = IconExtractor::extract(exe, 0);
    QCOMPARE(written.size(), 766);
    QCOMPARE(Fixtures::getU32(written, 6 + 8), 744u); // one image of 744 bytes
    QCOMPARE(quint8(written[22 + 14]), quint8(4)); // 4 bits per pixel
}

void TestCliSfx::entriesTheStubCannotExtract_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QStringList>("refused"); // the lines naming them; none when written
    QTest::addColumn<QStringList>("spared");  // entries the message must not name
    const QStringList both{QStringLiteral("docs\\notes.txt"), QStringLiteral("readme.txt")};
    const auto lines = [](const QStringList &names, const QString &reason) {
        QStringList out;
        for (const QString &n : names)
            out << QStringLiteral("  %1: %2").arg(n, reason);
        return out;
    };
    QTest::newRow("bzip2") << "bzip2.zip" << false << lines(both, "bzip2 compression")
                           << QStringList{"docs\\deep\\empty.txt"};
    QTest::newRow("LZMA") << "lzma.zip" << false << lines(both, "LZMA compression")
                          << QStringList{"docs\\deep\\empty.txt"};
    QTest::newRow("Deflate64") << "deflate64.zip" << false << lines(both, "Deflate64 compression")
                               << QStringList{"docs\\deep\\empty.txt"};
    // WinZip AES over deflate or stored data is the stub's; over bzip2 it
    // is refused for the bzip2, naming only those entries.
    QTest::newRow("AES") << "aes.zip" << false << QStringList() << QStringList();
    QTest::newRow("bzip2 under AES") << "aes-bzip2.zip" << false << lines(both, "bzip2 compression")
                                     << QStringList{"docs\\deep\\empty.txt", "data.bin"};
    QTest::newRow("one bzip2 among deflated") << "one-bzip2.zip" << false
                                              << lines({"docs\\notes.txt"}, "bzip2 compression")
                                              << QStringList{"readme.txt", "data.bin", "empty.txt"};
    QTest::newRow("deflated and stored") << "plain.zip" << false << QStringList() << QStringList();
    QTest::newRow("traditional password") << "encrypted.zip" << false << QStringList() << QStringList();
    QTest::newRow("bzip2 forced") << "bzip2.zip" << true << QStringList() << QStringList();
    QTest::newRow("AES forced") << "aes.zip" << true << QStringList() << QStringList();
}

void TestCliSfx::entriesTheStubCannotExtract()
{
    QFETCH(QString, fixture);
    QFETCH(bool, force);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, spared);
    const QString zip = m_dir->filePath(QStringLiteral("setup.zip"));
    const QString exe = m_dir->filePath(QStringLiteral("setup.exe"));
    QVERIFY(QFile::copy(Fixtures::path(fixture), zip));
    QStringList args{QStringLiteral("to-exe"), zip, QStringLiteral("--stub"), Fixtures::path(QStringLiteral("stub64.bin"))};
    if (force)
        args << QStringLiteral("--force");
    const Run r = cli(args);
    const QString err = QString::fromUtf8(r.err);
    QCOMPARE(Fixtures::readFile(zip), Fixtures::read(fixture));
    if (refused.isEmpty()) {
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(r.out, (exe + QLatin1Char('\n')).toUtf8());
        // The executable holds the archive as it was.
        const QString back = m_dir->filePath(QStringLiteral("back.zip"));
        const Run b = cli({QStringLiteral("to-zip"), exe, QStringLiteral("--keep"), QStringLiteral("--output"), back});
        QVERIFY2(b.exitCode == 0, b.err.constData());
        QCOMPARE(Fixtures::readFile(back), Fixtures::read(fixture));
        return;
    }
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(err.startsWith(QStringLiteral("mantole-cli to-exe: ")), r.err.constData());
    QVERIFY2(err.contains(zip) && err.contains(QStringLiteral("--force")), r.err.constData());
    const QStringList said = err.split(QLatin1Char('\n'));
    for (const QString &line : refused)
        QVERIFY2(said.contains(line), qPrintable(line + QStringLiteral(" missing from:\n") + err));
    for (const QString &name : spared)
        QVERIFY2(!err.contains(name), qPrintable(name + QStringLiteral(" named in:\n") + err));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("photos.zip"), QStringLiteral("setup.zip")}));
}

QTEST_GUILESS_MAIN(TestCliSfx)
#include "tst_cli_sfx.moc"
