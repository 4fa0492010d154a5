// mantole-cli to-exe, to-zip and info, as a script would use them.

#include "Fixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
    QTest::newRow("icon of the wrong kind")
        << QStringList{"to-exe", "@zip", "--stub", stub, "--icon", Fixtures::path(QStringLiteral("icon256.ico"))}
        << "(result -12)";
    QTest::newRow("bad overwrite mode") << QStringList{"to-exe", "@zip", "--overwrite", "sometimes"} << "--overwrite";
    QTest::newRow("plain archive is no executable") << QStringList{"to-zip", "@zip"} << "(result -9)";
    QTest::newRow("info without header") << QStringList{"info", "@zip"} << "no self-extracting options header";
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

QTEST_GUILESS_MAIN(TestCliSfx)
#include "tst_cli_sfx.moc"
