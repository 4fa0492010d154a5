// The extractor stub's own texts and what it tells outside its windows, run
// under wine64 with no display: the help and messages on the console in the
// user's language, the one-line refusal of a folder it may not write into,
// the switches that carry the user's choices into a run started again with
// administrator rights, and where an auto-run package extracts. The windows
// themselves are driven under Xvfb by stub_windows.sh.

#include "../stub/FolderChoice.h"
#include "Fixtures.h"
#include "WineRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

using Run = WineRun;

// Runs the program under wine in the given language; `prefix` goes in front
// of wine (setpriv).
Run runWine(const QStringList &args, const QString &locale = QStringLiteral("en_US.UTF-8"),
            const QStringList &prefix = {})
{
    return runUnderWine(args, WineOptions{locale, QString(), prefix});
}

void stopWineServer()
{
    QProcess server;
    server.setProcessEnvironment(wineEnvironment(QStringLiteral("C")));
    server.start(QStringLiteral("wineserver"), {QStringLiteral("-k")});
    server.waitForFinished();
    server.start(QStringLiteral("wineserver"), {QStringLiteral("-w")});
    server.waitForFinished();
}

QString cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(MANTOLE_CLI), args);
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError());
}

} // namespace

class TestStubWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void helpOnTheConsole_data();
    void helpOnTheConsole();
    void problemsWordedInTheUserLanguage_data();
    void problemsWordedInTheUserLanguage();
    void refusedFolderIsOneLine_data();
    void refusedFolderIsOneLine();
    void restartSwitchesKeepChoices_data();
    void restartSwitchesKeepChoices();
    void autoRunExtractsBesideItself();
    void pickedFolderKeepsPackageName_data();
    void pickedFolderKeepsPackageName();

private:
    // An executable of the archive written by mantole-cli with `options`.
    QString makeExe(const QString &name, const QStringList &options = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_zip;
};

void TestStubWindows::initTestCase()
{
    if (!wineReady())
        QSKIP("wine is not installed; ./test.sh installs it");
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty())
        QSKIP("zip is not installed; ./test.sh installs it");
}

void TestStubWindows::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString tree = m_dir->filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/docs"));
    QVERIFY(Fixtures::write(tree + QStringLiteral("/readme.txt"), "read me\n"));
    QVERIFY(Fixtures::write(tree + QStringLiteral("/docs/notes.txt"), "notes\n"));
    QVERIFY(Fixtures::write(tree + QStringLiteral("/secret.txt"), "only with the password\n"));
    m_zip = m_dir->filePath(QStringLiteral("in.zip"));
    // readme.txt, docs/, docs/notes.txt, then secret.txt encrypted.
    for (const QStringList &args : {QStringList{QStringLiteral("-q"), m_zip, QStringLiteral("readme.txt"),
                                                QStringLiteral("docs"), QStringLiteral("docs/notes.txt")},
                                    QStringList{QStringLiteral("-q"), QStringLiteral("-P"), QStringLiteral("right"),
                                                m_zip, QStringLiteral("secret.txt")}}) {
        QProcess zip;
        zip.setWorkingDirectory(tree);
        zip.start(QStringLiteral("zip"), args);
        QVERIFY(zip.waitForFinished());
        QCOMPARE(zip.exitCode(), 0);
    }
}

QString TestStubWindows::makeExe(const QString &name, const QStringList &options)
{
    const QString exe = m_dir->filePath(name);
    const QString error = cli(QStringList{QStringLiteral("to-exe"), m_zip, QStringLiteral("--stub"),
                                          QStringLiteral(MANTOLE_BIN_DIR "/SfxStub64.bin"), QStringLiteral("--output"),
                                          exe} + options);
    return error.isEmpty() ? exe : QString();
}

void TestStubWindows::helpOnTheConsole_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("helpSwitch");
    QTest::addColumn<QString>("exitCodes");
    QTest::addColumn<QString>("unknownSwitch");
    QTest::newRow("English, -?") << "en_US.UTF-8" << "-?" << "Exit codes" << "Unknown switch -q";
    QTest::newRow("French, /?") << "fr_FR.UTF-8" << "/?" << "Codes de sortie" << "Option inconnue -q";
    QTest::newRow("German") << "de_DE.UTF-8" << "-?" << "Rückgabewerte" << "Unbekannter Schalter -q";
    QTest::newRow("Italian") << "it_IT.UTF-8" << "/?" << "Codici di uscita" << "Opzione sconosciuta -q";
    QTest::newRow("Spanish") << "es_ES.UTF-8" << "-?" << "Códigos de salida" << "Opción desconocida -q";
    QTest::newRow("another language: English") << "ja_JP.UTF-8" << "-?" << "Exit codes" << "Unknown switch -q";
}

void TestStubWindows::helpOnTheConsole()
{
    QFETCH(QString, locale);
    QFETCH(QString, helpSwitch);
    QFETCH(QString, exitCodes);
    QFETCH(QString, unknownSwitch);
    const QString exe = makeExe(QStringLiteral("demo.exe"));
    QVERIFY(!exe.isEmpty());
    Run r = runWine({exe, helpSwitch}, locale);
    QCOMPARE(r.exitCode, 0);
    for (const char *word : {"-s ", "-d ", "-p ", "-y ", "-l ", "-t ", "start /wait demo.exe -s", "%ERRORLEVEL%"})
        QVERIFY2(r.out.contains(QLatin1String(word)), qPrintable(r.out));
    QVERIFY2(r.out.contains(exitCodes), qPrintable(r.out));
    r = runWine({exe, QStringLiteral("-q")}, locale);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(unknownSwitch), qPrintable(r.err));
}

void TestStubWindows::problemsWordedInTheUserLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("wrongPassword");
    QTest::addColumn<QString>("damaged");
    QTest::newRow("English") << "en_US.UTF-8" << "One file of 4 could not be extracted" << "Wrong password: secret.txt"
                             << "Damaged";
    QTest::newRow("French") << "fr_FR.UTF-8" << "Un fichier sur 4 n'a pas pu être extrait"
                            << "Mot de passe incorrect : secret.txt" << "endommagées";
}

void TestStubWindows::problemsWordedInTheUserLanguage()
{
    // A wrong password is said to be one, not damaged data; the summary
    // counts the failures and the list names each.
    QFETCH(QString, locale);
    QFETCH(QString, summary);
    QFETCH(QString, wrongPassword);
    QFETCH(QString, damaged);
    const QString exe = makeExe(QStringLiteral("demo.exe"));
    QVERIFY(!exe.isEmpty());
    const QString out = m_dir->filePath(QStringLiteral("out"));
    const Run r = runWine({exe, QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out), QStringLiteral("-p"),
                           QStringLiteral("wrong")},
                          locale);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(summary), qPrintable(r.err));
    QVERIFY2(r.err.contains(wrongPassword), qPrintable(r.err));
    QVERIFY2(!r.err.contains(damaged), qPrintable(r.err));
    QVERIFY(QFile::exists(out + QStringLiteral("/docs/notes.txt")));
}

void TestStubWindows::refusedFolderIsOneLine_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("below");
    QTest::addColumn<QString>("said");
    QTest::newRow("English") << "en_US.UTF-8" << "" << "Access denied: cannot write into ";
    QTest::newRow("French") << "fr_FR.UTF-8" << "" << "Accès refusé : impossible d'écrire dans ";
    QTest::newRow("a new folder to make inside it") << "en_US.UTF-8" << "/Demo/sub"
                                                    << "Access denied: cannot write into ";
}

void TestStubWindows::refusedFolderIsOneLine()
{
    // A folder made read-only refuses the first write: silent mode stops at
    // once with exit code 1 and one line naming the folder. Root writes
    // anywhere, so as root the Wine server runs without the right to
    // override file permissions.
    QFETCH(QString, locale);
    QFETCH(QString, below);
    QFETCH(QString, said);
    const QString exe = makeExe(QStringLiteral("demo.exe"));
    QVERIFY(!exe.isEmpty());
    const QString folder = m_dir->filePath(QStringLiteral("readonly"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                              | QFile::ReadOther | QFile::ExeOther));
    QStringList asUser;
    if (geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv is not installed");
        asUser = {QStringLiteral("setpriv"), QStringLiteral("--bounding-set"),
                  QStringLiteral("-dac_override,-dac_read_search"), QStringLiteral("--inh-caps"),
                  QStringLiteral("-dac_override,-dac_read_search"), QStringLiteral("--")};
        stopWineServer();
    }
    const Run r = runWine({exe, QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(folder + below)}, locale,
                          asUser);
    if (!asUser.isEmpty())
        stopWineServer();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(r.exitCode, 1);
    const QStringList lines = r.err.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(said + windowsPath(folder + below)), qPrintable(lines[0]));
    QVERIFY(QDir(folder).isEmpty());
}

void TestStubWindows::restartSwitchesKeepChoices_data()
{
    // What a run started again with administrator rights gets: the folder,
    // the overwrite rule, the selected entries and the command.
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::addColumn<QByteArray>("notes");
    QTest::newRow("entries 0 and 2, kept") << QStringList{QStringLiteral("-i"), QStringLiteral("0,2"),
                                                          QStringLiteral("-o"), QStringLiteral("never")}
                                           << QStringList{QStringLiteral("readme.txt")}
                                           << QStringList{QStringLiteral("secret.txt")} << QByteArray("mine\n");
    QTest::newRow("ranges, replaced") << QStringList{QStringLiteral("-i"), QStringLiteral("0-2"), QStringLiteral("-o"),
                                                     QStringLiteral("always")}
                                      << QStringList{QStringLiteral("readme.txt")}
                                      << QStringList{QStringLiteral("secret.txt")} << QByteArray("notes\n");
    QTest::newRow("the command chosen") << QStringList{QStringLiteral("-i"), QStringLiteral("0"), QStringLiteral("-c"),
                                                       QStringLiteral("cmd.exe /c copy ><readme.txt \"><ran it.txt\"")}
                                        << QStringList{QStringLiteral("readme.txt"), QStringLiteral("ran it.txt")}
                                        << QStringList{QStringLiteral("secret.txt")} << QByteArray("mine\n");
    // KEYFILE: a file holding the password, which the run removes.
    QTest::newRow("the password from a file")
        << QStringList{QStringLiteral("-k"), QStringLiteral("KEYFILE"), QStringLiteral("-o"), QStringLiteral("never")}
        << QStringList{QStringLiteral("readme.txt"), QStringLiteral("secret.txt")} << QStringList{}
        << QByteArray("mine\n");
}

void TestStubWindows::restartSwitchesKeepChoices()
{
    QFETCH(QStringList, switches);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QFETCH(QByteArray, notes);
    const QString exe = makeExe(QStringLiteral("demo.exe"), {QStringLiteral("--overwrite"), QStringLiteral("ask"),
                                                             QStringLiteral("--command"), QStringLiteral("cmd.exe /c exit 5")});
    QVERIFY(!exe.isEmpty());
    const QString out = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out + QStringLiteral("/docs")));
    QVERIFY(Fixtures::write(out + QStringLiteral("/docs/notes.txt"), "mine\n"));
    const QString keyFile = m_dir->filePath(QStringLiteral("key.txt"));
    if (const qsizetype at = switches.indexOf(QStringLiteral("KEYFILE")); at >= 0) {
        QVERIFY(Fixtures::write(keyFile, "right"));
        switches[at] = windowsPath(keyFile);
    }
    const Run r = runWine(QStringList{exe, QStringLiteral("-s"), QStringLiteral("-d"), windowsPath(out)} + switches);
    QVERIFY2(!QFile::exists(keyFile), "the password file was left behind");
    QCOMPARE(r.exitCode, switches.contains(QStringLiteral("-c")) ? 0 : 5);
    for (const QString &name : present)
        QVERIFY2(QFile::exists(out + '/' + name), qPrintable(name));
    for (const QString &name : absent)
        QVERIFY2(!QFile::exists(out + '/' + name), qPrintable(name));
    QCOMPARE(Fixtures::readFile(out + QStringLiteral("/docs/notes.txt")), notes);
}

void TestStubWindows::autoRunExtractsBesideItself()
{
    // With no proposed folder an auto-run package extracts into a new
    // folder named after itself, beside it, never among the files there.
    const QString folder = m_dir->filePath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(folder));
    const QString exe = makeExe(QStringLiteral("downloads/Demo Setup.exe"),
                                {QStringLiteral("--autorun"), QStringLiteral("--no-success")});
    QVERIFY(!exe.isEmpty());
    const Run r = runWine({exe, QStringLiteral("-p"), QStringLiteral("right")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("Demo Setup"), QStringLiteral("Demo Setup.exe")}));
    QVERIFY(QFile::exists(folder + QStringLiteral("/Demo Setup/docs/notes.txt")));
    QCOMPARE(Fixtures::readFile(folder + QStringLiteral("/Demo Setup/secret.txt")), QByteArray("only with the password\n"));
}

void TestStubWindows::pickedFolderKeepsPackageName_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("used");
    QTest::newRow("a parent") << "D:\\Apps" << "Demo" << "D:\\Apps\\Demo";
    QTest::newRow("a drive") << "D:\\" << "Demo" << "D:\\Demo";
    QTest::newRow("the package's own folder") << "D:\\Apps\\demo" << "Demo" << "D:\\Apps\\demo";
    QTest::newRow("no name of its own") << "D:\\Apps" << "" << "D:\\Apps";
}

void TestStubWindows::pickedFolderKeepsPackageName()
{
    QFETCH(QString, picked);
    QFETCH(QString, package);
    QFETCH(QString, used);
    QCOMPARE(QString::fromStdWString(stubfolder::pickedFolder(picked.toStdWString(), package.toStdWString())), used);
}

QTEST_GUILESS_MAIN(TestStubWindows)
#include "tst_stub_windows.moc"
