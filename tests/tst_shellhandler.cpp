// mantole-shell as the file managers run it: the commands of the installed
// Dolphin service menus, GNOME Files scripts, Nemo actions and Thunar
// actions, on an archive made by Info-ZIP zip and on the executable made
// from it, in a private home. The executable lands under the right name in
// the right folder with the wizard's saved options; the archive comes back
// byte for byte.

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
#include <QXmlStreamReader>

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

QString shellQuoted(const QString &file)
{
    return '\'' + QString(file).replace('\'', QStringLiteral("'\\''")) + '\'';
}

// An Exec value as the freedesktop desktop entry rules read it, and as
// Dolphin runs it: string escapes first, then arguments split at blanks
// with double quotes grouping (backslash escaping " ` $ \ inside), then
// the field codes. %f, %F, %u and %U become the selected file (Dolphin
// gives local files as paths for the URL codes too); %% is a percent sign.
QStringList desktopExec(const QString &value, const QString &file)
{
    QString line;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            line += value[i];
            continue;
        }
        const QChar next = value[++i];
        line += next == 's' ? QChar(' ') : next == 'n' ? QChar('\n') : next == 't' ? QChar('\t') : next == 'r' ? QChar('\r') : next;
    }
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == ' ') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == '"') {
            inWord = true;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() && QStringLiteral("\"`$\\").contains(line[i + 1]))
                    ++i;
                word += line[i];
            }
        } else {
            inWord = true;
            word += c;
        }
    }
    if (inWord)
        words << word;
    QStringList arguments;
    for (QString w : words) {
        if (w == QLatin1String("%f") || w == QLatin1String("%F") || w == QLatin1String("%u") || w == QLatin1String("%U"))
            arguments << file;
        else
            arguments << w.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return arguments;
}

// The line of key in the group of a desktop entry, without "key=".
QString desktopValue(const QString &entry, const QString &group, const QString &key)
{
    bool inGroup = false;
    for (const QString &line : QString::fromUtf8(contents(entry)).split('\n')) {
        if (line.startsWith('['))
            inGroup = line == '[' + group + ']';
        else if (inGroup && line.startsWith(key + '='))
            return line.mid(key.size() + 1);
    }
    return QString();
}

// Thunar's command of the action with this unique id, as uca.xml holds it
// (XML escapes undone), with the selected file where %f or %F stand,
// quoted as Thunar quotes it.
QString thunarCommand(const QString &uca, const QString &id, const QString &file)
{
    QFile in(uca);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QXmlStreamReader xml(&in);
    QString uniqueId, command;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("action")) {
            uniqueId.clear();
            command.clear();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("unique-id")) {
            uniqueId = xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("command")) {
            command = xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("action") && uniqueId == id) {
            return command.replace(QStringLiteral("%F"), shellQuoted(file)).replace(QStringLiteral("%f"), shellQuoted(file));
        }
    }
    return QString();
}

// The program and arguments an entry runs on the selected file. An entry
// is a file below the private home; "#id" names the action in a file that
// holds several (Dolphin's service menus, Thunar's uca.xml). Nemo and
// Thunar split their command lines as a shell does; a GNOME Files script
// gets the file as its argument.
QStringList commandFor(const QString &home, const QString &entry, const QString &file)
{
    const QString path = home + '/' + entry.section('#', 0, 0);
    const QString id = entry.section('#', 1);
    if (path.endsWith(QLatin1String(".nemo_action")))
        return {QStringLiteral("sh"), QStringLiteral("-c"),
                desktopValue(path, QStringLiteral("Nemo Action"), QStringLiteral("Exec")).replace(QStringLiteral("%F"), shellQuoted(file))};
    if (path.endsWith(QLatin1String("uca.xml")))
        return {QStringLiteral("sh"), QStringLiteral("-c"), thunarCommand(path, id, file)};
    if (path.endsWith(QLatin1String(".desktop")))
        return desktopExec(desktopValue(path, QStringLiteral("Desktop Action ") + id, QStringLiteral("Exec")), file);
    return {path, file};
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
    void damagedArchiveIsSaid_data();
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
    QTest::addColumn<QString>("toExe");   // the entry, below the private home; "#" names the action
    QTest::addColumn<QString>("toZip");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("jjmm");
    QTest::addColumn<bool>("lastFolder"); // "last" names a folder, else empty
    QTest::newRow("GNOME Files, day first, into the last folder")
        << QStringLiteral("data/nautilus/scripts/Make a self-extracting executable")
        << QStringLiteral("data/nautilus/scripts/Turn back into a ZIP archive") << "1" << "1" << true;
    QTest::newRow("Nemo, month first, beside the archive")
        << QStringLiteral("data/nemo/actions/mantole-zip-to-exe.nemo_action")
        << QStringLiteral("data/nemo/actions/mantole-exe-to-zip.nemo_action") << "1" << "0" << false;
    QTest::newRow("Nemo, no date prefix, into the last folder")
        << QStringLiteral("data/nemo/actions/mantole-zip-to-exe.nemo_action")
        << QStringLiteral("data/nemo/actions/mantole-exe-to-zip.nemo_action") << "0" << "1" << true;
    QTest::newRow("Dolphin, day first, beside the archive")
        << QStringLiteral("data/kio/servicemenus/mantole-zip.desktop#ziptoexe")
        << QStringLiteral("data/kio/servicemenus/mantole-exe.desktop#exetozip") << "1" << "1" << false;
    QTest::newRow("Dolphin, month first, into the last folder")
        << QStringLiteral("data/kio/servicemenus/mantole-zip.desktop#ziptoexe")
        << QStringLiteral("data/kio/servicemenus/mantole-exe.desktop#exetozip") << "1" << "0" << true;
    QTest::newRow("Thunar, day first, into the last folder")
        << QStringLiteral("config/Thunar/uca.xml#mantole-zip-to-exe")
        << QStringLiteral("config/Thunar/uca.xml#mantole-exe-to-zip") << "1" << "1" << true;
    QTest::newRow("Thunar, month first, beside the archive")
        << QStringLiteral("config/Thunar/uca.xml#mantole-zip-to-exe")
        << QStringLiteral("config/Thunar/uca.xml#mantole-exe-to-zip") << "1" << "0" << false;
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
    QStringList command = commandFor(m_home->path(), toExe, archive);
    QVERIFY2(command.size() > 1 && !command.last().isEmpty(), qPrintable(toExe));
    run.start(command.takeFirst(), command);
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
    command = commandFor(m_home->path(), toZip, expected);
    QVERIFY2(command.size() > 1 && !command.last().isEmpty(), qPrintable(toZip));
    run.start(command.takeFirst(), command);
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

void TestShellHandler::damagedArchiveIsSaid_data()
{
    QTest::addColumn<QString>("language"); // [general] lang of the wizard's MANTOLE.INI
    QTest::addColumn<QString>("said");     // the error begins so, the archive's name follows
    QTest::newRow("no language file: English") << QString() << QStringLiteral("Not a valid ZIP archive: ");
    QTest::newRow("German") << QStringLiteral("Deutsch") << QStringLiteral("Kein gültiges ZIP-Archiv: ");
    QTest::newRow("Italian") << QStringLiteral("italiano") << QStringLiteral("Archivio ZIP non valido: ");
}

// The error, in the wizard's language, names the archive; nothing is left
// behind.
void TestShellHandler::damagedArchiveIsSaid()
{
    QFETCH(QString, language);
    QFETCH(QString, said);
    if (!language.isEmpty()) {
        const QString file = language.toLower() + QStringLiteral(".lgn");
        QVERIFY(QFile::copy(QStringLiteral(MANTOLE_BIN_DIR "/") + file, m_program + file));
        QVERIFY(write(m_program + QStringLiteral("MANTOLE.INI"), "[general]\nlang=" + language.toUtf8() + "\n"));
    }
    const QString archive = m_home->path() + QStringLiteral("/broken.zip");
    QVERIFY(write(archive, QByteArray("PK\x03\x04") + QByteArray(" not really an archive")));
    storeShellValues(QStringLiteral("1"), QStringLiteral("1"), QString());
    ShellHandlerSettings settings = ShellHandlerSettings::load(QStringLiteral("/nowhere/"));
    settings.iniFileName = m_program + QStringLiteral("MANTOLE.INI");
    settings.languageFile = settings.wizardLanguageFile();
    RecordingUser user;
    ShellHandler handler(settings, user);
    QVERIFY(!handler.zipToExe(archive));
    QCOMPARE(user.errors.size(), 1);
    QVERIFY2(user.errors.first().startsWith(said + archive), qPrintable(user.errors.first()));
    QVERIFY(!QFileInfo::exists(handler.executableFor(archive)));
    QCOMPARE(QDir(m_home->path()).entryList({QStringLiteral(".mantole-shell-*")}, QDir::AllEntries | QDir::Hidden),
             QStringList());
}

QTEST_MAIN(TestShellHandler)
#include "tst_shellhandler.moc"
