// mantole-shell as the file managers run it: the commands of the installed
// GNOME Files scripts and Nemo actions, on an archive made by Info-ZIP zip
// and on the executable made from it, in a private home. The executable
// lands under the right name in the right folder with the wizard's saved
// options; the archive comes back byte for byte.

#include "FileManagerEntries.h"
#include "FonctionsUtiles.h"
#include "RegistryStore.h"
#include "ShellHandler.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The command line an entry runs, with the selected file in place of the
// file-list code, as Nemo passes it to the shell; for a GNOME Files script,
// the script with the file as its argument.
QStringList commandFor(const QString &entry, const QString &file)
{
    const QString quoted = '\'' + QString(file).replace('\'', QStringLiteral("'\\''")) + '\'';
    if (entry.endsWith(QLatin1String(".nemo_action"))) {
        for (const QString &line : QString::fromUtf8(contents(entry)).split('\n'))
            if (line.startsWith(QLatin1String("Exec=")))
                return {QStringLiteral("-c"), line.mid(5).replace(QStringLiteral("%F"), quoted)};
        return {};
    }
    return {entry, file};
}

class RecordingUser final : public ShellHandlerUser {
public:
    bool confirm(const QString &text) override
    {
        asked << text;
        return answer;
    }
    void error(const QString &text) override { errors << text; }
    bool answer = false;
    QStringList asked;
    QStringList errors;
};

} // namespace

class TestShellHandler : public QObject {
    Q_OBJECT

private slots:
    void init();
    void menuEntries_data();
    void menuEntries();
    void existingArchiveNeedsAYes_data();
    void existingArchiveNeedsAYes();
    void damagedArchiveIsSaid();

private:
    QString makeArchive(const QString &name);
    void storeShellValues(const QString &date, const QString &jjmm, const QString &last);

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_program; // the wizard's folder the store names
};

void TestShellHandler::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    const QString home = m_home->path();
    qputenv("HOME", home.toLocal8Bit());
    for (const auto &[name, folder] : {std::pair{"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"},
                                       {"XDG_CACHE_HOME", "/cache"}, {"XDG_STATE_HOME", "/state"},
                                       {"XDG_RUNTIME_DIR", "/runtime"}}) {
        QVERIFY(QDir().mkpath(home + QLatin1String(folder)));
        qputenv(name, (home + QLatin1String(folder)).toLocal8Bit());
    }
    // A wizard's folder of its own, with the stub and the icon library, so
    // that the saved options are this test's.
    m_program = home + QStringLiteral("/program/");
    QVERIFY(QDir().mkpath(m_program));
    for (const char *file : {"SfxStub.bin", "icones.dll"})
        QVERIFY(QFile::copy(QStringLiteral(MANTOLE_BIN_DIR "/") + QLatin1String(file), m_program + QLatin1String(file)));
    QVERIFY(write(m_program + QStringLiteral("MANTOLE.INI"),
                  "[wzd]\nstitre=Holiday pictures\nendmsg=1\nsow=1\nspath=><\nmsgsfx=1\niboxmsg=3\n"
                  "smsg=Extract them now?\nrunfile=1\nscmd=C:\\old\\><show.exe\nchglst=1\n"));
}

QString TestShellHandler::makeArchive(const QString &name)
{
    const QString folder = m_home->path() + QStringLiteral("/work files/");
    QDir().mkpath(folder + QStringLiteral("pictures"));
    write(folder + QStringLiteral("pictures/one.txt"), QByteArray("the first file\n").repeated(40));
    write(folder + QStringLiteral("pictures/two.txt"), "second");
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-r"), name, QStringLiteral("pictures")});
    if (!zip.waitForFinished(-1) || zip.exitCode() != 0)
        return QString();
    return folder + name;
}

void TestShellHandler::storeShellValues(const QString &date, const QString &jjmm, const QString &last)
{
    RegistryStore store;
    QVERIFY(store.openKey(QStringLiteral("SOLVREIK\\Prog"), true));
    store.writeString(QStringLiteral("pathorlume"), m_program);
    store.writeString(QStringLiteral("date"), date);
    store.writeString(QStringLiteral("jjmm"), jjmm);
    store.writeString(QStringLiteral("last"), last);
}

void TestShellHandler::menuEntries_data()
{
    QTest::addColumn<QString>("toExe");   // the entry, below the data folder
    QTest::addColumn<QString>("toZip");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("jjmm");
    QTest::addColumn<bool>("lastFolder"); // "last" names a folder, else empty
    QTest::newRow("GNOME Files, day first, into the last folder")
        << QStringLiteral("nautilus/scripts/Make a self-extracting executable")
        << QStringLiteral("nautilus/scripts/Turn back into a ZIP archive") << "1" << "1" << true;
    QTest::newRow("Nemo, month first, beside the archive")
        << QStringLiteral("nemo/actions/mantole-zip-to-exe.nemo_action")
        << QStringLiteral("nemo/actions/mantole-exe-to-zip.nemo_action") << "1" << "0" << false;
    QTest::newRow("Nemo, no date prefix, into the last folder")
        << QStringLiteral("nemo/actions/mantole-zip-to-exe.nemo_action")
        << QStringLiteral("nemo/actions/mantole-exe-to-zip.nemo_action") << "0" << "1" << true;
}

void TestShellHandler::menuEntries()
{
    QFETCH(QString, toExe);
    QFETCH(QString, toZip);
    QFETCH(QString, date);
    QFETCH(QString, jjmm);
    QFETCH(bool, lastFolder);

    const QString data = qEnvironmentVariable("XDG_DATA_HOME") + '/';
    FileManagerEntries entries(data, qEnvironmentVariable("XDG_CONFIG_HOME"));
    QVERIFY2(entries.install(QStringLiteral(MANTOLE_BIN_DIR), ShellMenuTexts::fromLanguageFile(QString())),
             qPrintable(entries.error()));

    const QString archive = makeArchive(QStringLiteral("trip 'summer'.zip"));
    QVERIFY(!archive.isEmpty());
    const QByteArray original = contents(archive);
    const QString out = m_home->path() + QStringLiteral("/made here/");
    QVERIFY(QDir().mkpath(out));
    storeShellValues(date, jjmm, lastFolder ? out : QString());

    const QString prefix = DatePrefixText(jjmm == QLatin1String("1"), date == QLatin1String("1"));
    const QString expected = (lastFolder ? out : QFileInfo(archive).path() + '/') + prefix + QStringLiteral("trip 'summer'.exe");
    QProcess run;
    run.start(QStringLiteral("sh"), commandFor(data + toExe, archive));
    QVERIFY(run.waitForFinished(-1));
    QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
    QVERIFY2(QFileInfo(expected).isFile(), qPrintable(expected));
    QCOMPARE(contents(archive), original); // kept as it was

    QProcess info;
    info.start(QStringLiteral(MANTOLE_CLI), {QStringLiteral("info"), expected, QStringLiteral("--json")});
    QVERIFY(info.waitForFinished(-1));
    QCOMPARE(info.exitCode(), 0);
    const QJsonObject options = QJsonDocument::fromJson(info.readAllStandardOutput()).object();
    QCOMPARE(options.value("SFXCaption").toString(), QStringLiteral("Holiday pictures"));
    QCOMPARE(options.value("SFXDefaultDir").toString(), QStringLiteral("><"));
    QCOMPARE(options.value("SFXCommandLine").toString(), QStringLiteral("SHOW.EXE"));
    QCOMPARE(options.value("SFXMessage").toString(), QString(QChar(2)) + QStringLiteral("Extract them now?"));
    QCOMPARE(options.value("SFXOverWriteMode").toString(), QStringLiteral("OvrAlways"));
    QStringList flags;
    for (const QJsonValue &flag : options.value("SFXOptions").toArray())
        flags << flag.toString();
    flags.sort();
    QCOMPARE(flags, (QStringList{QStringLiteral("SFXAskCmdLine"), QStringLiteral("SFXHideOverWriteBox")}));

    // And back: the archive beside the executable, which stays.
    const QString back = QFileInfo(expected).path() + '/' + QFileInfo(expected).completeBaseName() + ".zip";
    const QByteArray executable = contents(expected);
    run.start(QStringLiteral("sh"), commandFor(data + toZip, expected));
    QVERIFY(run.waitForFinished(-1));
    QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
    QCOMPARE(contents(back), original);
    QCOMPARE(contents(expected), executable);
    // No working folder of ours is left behind.
    QCOMPARE(QDir(QFileInfo(expected).path()).entryList({QStringLiteral(".mantole-shell-*")}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

void TestShellHandler::existingArchiveNeedsAYes_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("no: the archive there stays") << false;
    QTest::newRow("yes: replaced") << true;
}

void TestShellHandler::existingArchiveNeedsAYes()
{
    QFETCH(bool, answer);
    const QString archive = makeArchive(QStringLiteral("set.zip"));
    QVERIFY(!archive.isEmpty());
    const QByteArray original = contents(archive);
    storeShellValues(QStringLiteral("0"), QStringLiteral("1"), QString());
    ShellHandlerSettings settings = ShellHandlerSettings::load(QStringLiteral("/nowhere/"));
    QCOMPARE(settings.programFolder, m_program);
    settings.iniFileName = m_program + QStringLiteral("MANTOLE.INI");
    RecordingUser user;
    user.answer = answer;
    ShellHandler handler(settings, user);
    QVERIFY(handler.zipToExe(archive));
    const QString exe = QFileInfo(archive).path() + QStringLiteral("/set.exe");
    QVERIFY(user.asked.isEmpty());

    QVERIFY(write(archive, "the user's own file"));
    QCOMPARE(handler.exeToZip(exe), answer);
    QCOMPARE(user.asked.size(), 1);
    QVERIFY(user.asked.first().contains(archive));
    QCOMPARE(contents(archive), answer ? original : QByteArray("the user's own file"));
    QVERIFY(user.errors.isEmpty());
}

void TestShellHandler::damagedArchiveIsSaid()
{
    const QString archive = m_home->path() + QStringLiteral("/broken.zip");
    QVERIFY(write(archive, QByteArray("PK\x03\x04") + QByteArray(" not really an archive")));
    storeShellValues(QStringLiteral("1"), QStringLiteral("1"), QString());
    ShellHandlerSettings settings = ShellHandlerSettings::load(QStringLiteral("/nowhere/"));
    settings.iniFileName = m_program + QStringLiteral("MANTOLE.INI");
    RecordingUser user;
    ShellHandler handler(settings, user);
    QVERIFY(!handler.zipToExe(archive));
    QCOMPARE(user.errors.size(), 1);
    QVERIFY(user.errors.first().contains(archive));
    QVERIFY(!QFileInfo::exists(handler.executableFor(archive)));
    QCOMPARE(QDir(m_home->path()).entryList({QStringLiteral(".mantole-shell-*")}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

QTEST_MAIN(TestShellHandler)
#include "tst_shellhandler.moc"
