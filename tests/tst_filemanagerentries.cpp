// The file managers' menu entries: what is written where, that the
// freedesktop validator takes every entry, that the commands reach our
// programs whatever the program folder is called, and that removal takes
// ours and nothing of the user's.

#include "FileManagerEntries.h"

#include <QDir>
#include <QtEndian>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool put(const QString &fileName, const QByteArray &bytes, bool executable = false)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

const ShellMenuTexts kEnglish{QStringLiteral("Make a self-extracting executable"),
                              QStringLiteral("Turn back into a ZIP archive"), QStringLiteral("Open in Mantole")};

} // namespace

class TestFileManagerEntries : public QObject {
    Q_OBJECT

private slots:
    void init();
    void everyEntryIsWritten_data();
    void everyEntryIsWritten();
    void desktopFilesValidate_data();
    void desktopFilesValidate();
    void commandsReachOurPrograms_data();
    void commandsReachOurPrograms();
    void removalKeepsTheUsersFiles();
    void anotherLanguageReplacesTheEntries();
    void languageFileTexts();
    void foreignThunarFileIsLeftAlone();
    void iconGoesIntoTheThemeAndLeaves();

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_data, m_config;
};

// A private home for every test: nothing of the real user's is read or written.
void TestFileManagerEntries::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    m_data = m_home->filePath(QStringLiteral("data"));
    m_config = m_home->filePath(QStringLiteral("config"));
    qputenv("HOME", m_home->path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_data.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_config.toLocal8Bit());
    qputenv("XDG_CACHE_HOME", m_home->filePath(QStringLiteral("cache")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", m_home->filePath(QStringLiteral("state")).toLocal8Bit());
}

void TestFileManagerEntries::everyEntryIsWritten_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("Dolphin, archives") << QStringLiteral("data/kio/servicemenus/mantole-zip.desktop") << true
                                       << QStringList{QStringLiteral("MimeType=application/zip;application/x-zip-compressed;"),
                                                      QStringLiteral("Name=Make a self-extracting executable"),
                                                      QStringLiteral("Exec=\"/opt/mantole/mantole-shell\" \"to-exe\" %F"),
                                                      QStringLiteral("Name=Open in Mantole"),
                                                      QStringLiteral("Exec=\"/opt/mantole/mantole\" %F")};
    QTest::newRow("Dolphin, executables") << QStringLiteral("data/kio/servicemenus/mantole-exe.desktop") << true
                                          << QStringList{QStringLiteral("Name=Turn back into a ZIP archive"),
                                                         QStringLiteral("Exec=\"/opt/mantole/mantole-shell\" \"to-zip\" %F")};
    QTest::newRow("GNOME Files, to executable")
        << QStringLiteral("data/nautilus/scripts/Make a self-extracting executable") << true
        << QStringList{QStringLiteral("#!/bin/sh"), QStringLiteral("exec '/opt/mantole/mantole-shell' 'to-exe' \"$@\"")};
    QTest::newRow("GNOME Files, to archive")
        << QStringLiteral("data/nautilus/scripts/Turn back into a ZIP archive") << true
        << QStringList{QStringLiteral("exec '/opt/mantole/mantole-shell' 'to-zip' \"$@\"")};
    QTest::newRow("GNOME Files, open") << QStringLiteral("data/nautilus/scripts/Open in Mantole") << true
                                       << QStringList{QStringLiteral("exec '/opt/mantole/mantole' \"$@\"")};
    QTest::newRow("Nemo, to executable") << QStringLiteral("data/nemo/actions/mantole-zip-to-exe.nemo_action") << false
                                         << QStringList{QStringLiteral("[Nemo Action]"),
                                                        QStringLiteral("Name=Make a self-extracting executable"),
                                                        QStringLiteral("Exec='/opt/mantole/mantole-shell' 'to-exe' %F"),
                                                        QStringLiteral("Extensions=zip;")};
    QTest::newRow("Nemo, open") << QStringLiteral("data/nemo/actions/mantole-open.nemo_action") << false
                                << QStringList{QStringLiteral("Extensions=zip;exe;")};
    QTest::newRow("Thunar") << QStringLiteral("config/Thunar/uca.xml") << false
                            << QStringList{QStringLiteral("\t<unique-id>mantole-exe-to-zip</unique-id>"),
                                           QStringLiteral("\t<command>'/opt/mantole/mantole-shell' 'to-zip' %F</command>"),
                                           QStringLiteral("\t<patterns>*.exe;*.EXE</patterns>"),
                                           QStringLiteral("\t<name>Open in Mantole</name>")};
    QTest::newRow("application entry")
        << QStringLiteral("data/applications/mantole.desktop") << false
        << QStringList{QStringLiteral("Exec=\"/opt/mantole/mantole\" %f"),
                       QStringLiteral("MimeType=application/zip;application/x-zip-compressed;application/"
                                      "x-ms-dos-executable;application/x-msdownload;application/"
                                      "vnd.microsoft.portable-executable;")};
}

void TestFileManagerEntries::everyEntryIsWritten()
{
    QFETCH(QString, file);
    QFETCH(bool, executable);
    QFETCH(QStringList, lines);
    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY2(entries.install(QStringLiteral("/opt/mantole/"), kEnglish), qPrintable(entries.error()));
    const QString path = m_home->filePath(file);
    const QStringList written = QString::fromUtf8(contents(path)).split('\n');
    for (const QString &line : lines)
        QVERIFY2(written.contains(line), qPrintable(line + QStringLiteral(" not in ") + path));
    QCOMPARE(QFileInfo(path).isExecutable(), executable);
}

void TestFileManagerEntries::desktopFilesValidate_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("/opt/mantole/");
    QTest::newRow("spaces") << QStringLiteral("/home/Ann Lee/My Programs/mantole/");
    QTest::newRow("quote, dollar, percent, backslash") << QStringLiteral("/tmp/it's \"50%\" $HOME\\x/");
}

void TestFileManagerEntries::desktopFilesValidate()
{
    QFETCH(QString, folder);
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is missing (Debian package desktop-file-utils)");
    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY(entries.install(folder, kEnglish));
    for (const QString &file : {entries.applicationEntry(), entries.serviceMenuFolder() + "mantole-zip.desktop",
                                entries.serviceMenuFolder() + "mantole-exe.desktop"}) {
        QProcess check;
        check.start(validator, {file});
        QVERIFY(check.waitForFinished(-1));
        QVERIFY2(check.exitCode() == 0, qPrintable(file + '\n' + check.readAllStandardOutput()));
    }
}

void TestFileManagerEntries::commandsReachOurPrograms_data()
{
    desktopFilesValidate_data();
}

// The GNOME Files script and the Thunar and Nemo command lines, run as a
// shell would, call our handler with the selected files, even from a
// folder whose name needs quoting.
void TestFileManagerEntries::commandsReachOurPrograms()
{
    QFETCH(QString, folder);
    const QString program = m_home->filePath(QStringLiteral("programs")) + folder;
    const QString record = m_home->filePath(QStringLiteral("called"));
    const QByteArray recorder = "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '"
        + record.toUtf8() + "'\n";
    QVERIFY(put(program + QStringLiteral("mantole-shell"), recorder, true));
    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY(entries.install(program, kEnglish));
    const QString selected = m_home->filePath(QStringLiteral("my files/a b.zip"));
    const QString expected = program + QStringLiteral("mantole-shell\nto-exe\n") + selected + '\n';

    QProcess script;
    script.start(entries.scriptFolder() + QStringLiteral("Make a self-extracting executable"), {selected});
    QVERIFY(script.waitForFinished(-1));
    QCOMPARE(QString::fromUtf8(contents(record)), expected);

    QFile::remove(record);
    const QString nemo = QString::fromUtf8(contents(entries.nemoFolder() + "mantole-zip-to-exe.nemo_action"));
    const qsizetype at = nemo.indexOf(QStringLiteral("Exec="));
    QVERIFY(at >= 0);
    QString line = nemo.mid(at + 5, nemo.indexOf('\n', at) - at - 5);
    line.replace(QStringLiteral("%F"), QStringLiteral("'") + selected + QStringLiteral("'"));
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    QVERIFY(shell.waitForFinished(-1));
    QCOMPARE(QString::fromUtf8(contents(record)), expected);
}

void TestFileManagerEntries::removalKeepsTheUsersFiles()
{
    const QByteArray userActions =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<icon>utilities-terminal</icon>\n"
        "\t<name>Open Terminal Here</name>\n\t<unique-id>1234-1</unique-id>\n"
        "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
        "\t<description>Example for a custom action</description>\n\t<patterns>*</patterns>\n"
        "\t<startup-notify/>\n\t<directories/>\n</action>\n</actions>\n";
    const QString uca = m_home->filePath(QStringLiteral("config/Thunar/uca.xml"));
    const QStringList usersFiles{m_home->filePath(QStringLiteral("data/nautilus/scripts/Resize pictures")),
                                 m_home->filePath(QStringLiteral("data/kio/servicemenus/mantole-tools.desktop")),
                                 m_home->filePath(QStringLiteral("data/nemo/actions/mantole-mine.nemo_action")),
                                 m_home->filePath(QStringLiteral("data/applications/other.desktop"))};
    QVERIFY(put(uca, userActions));
    for (const QString &file : usersFiles)
        QVERIFY(put(file, "#!/bin/sh\necho mine\n", true));

    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY(entries.install(QStringLiteral("/opt/mantole/"), kEnglish));
    const QByteArray both = contents(uca);
    QVERIFY(both.contains("<unique-id>1234-1</unique-id>"));
    QVERIFY(both.contains("<unique-id>mantole-zip-to-exe</unique-id>"));
    QVERIFY(both.trimmed().endsWith("</actions>"));

    entries.uninstall();
    QCOMPARE(contents(uca), userActions);
    for (const QString &file : usersFiles)
        QCOMPARE(contents(file), QByteArray("#!/bin/sh\necho mine\n"));
    for (const QString &gone : {entries.applicationEntry(), entries.serviceMenuFolder() + "mantole-zip.desktop",
                                entries.serviceMenuFolder() + "mantole-exe.desktop",
                                entries.scriptFolder() + "Open in Mantole",
                                entries.nemoFolder() + "mantole-open.nemo_action"})
        QVERIFY2(!QFileInfo::exists(gone), qPrintable(gone));
}

void TestFileManagerEntries::anotherLanguageReplacesTheEntries()
{
    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY(entries.install(QStringLiteral("/opt/mantole/"), kEnglish));
    const ShellMenuTexts french{QStringLiteral("Créer un exécutable auto-extractible"),
                                QStringLiteral("Retransformer en archive ZIP"), QStringLiteral("Ouvrir dans Mantole")};
    QVERIFY(entries.install(QStringLiteral("/usr/lib/mantole/"), french));
    QVERIFY(!QFileInfo::exists(entries.scriptFolder() + "Open in Mantole"));
    QVERIFY(QFileInfo::exists(entries.scriptFolder() + QStringLiteral("Retransformer en archive ZIP")));
    const QString uca = QString::fromUtf8(contents(entries.thunarActions()));
    QVERIFY(!uca.contains(QStringLiteral("Open in Mantole")));
    QVERIFY(!uca.contains(QStringLiteral("/opt/mantole/")));
    QVERIFY(uca.contains(QStringLiteral("<name>Créer un exécutable auto-extractible</name>")));
}

void TestFileManagerEntries::languageFileTexts()
{
    const QString lgn = m_home->filePath(QStringLiteral("x.lgn"));
    QVERIFY(put(lgn, "[reg]\nkey=SOLVREIK\\Lang\nZipToExe=Crea un eseguibile\nExeToZip=\n"));
    const ShellMenuTexts texts = ShellMenuTexts::fromLanguageFile(lgn);
    QCOMPARE(texts.zipToExe, QStringLiteral("Crea un eseguibile"));
    QCOMPARE(texts.exeToZip, QStringLiteral("Turn back into a ZIP archive")); // empty: the English text
    QCOMPARE(texts.open, QStringLiteral("Open in Mantole"));
}

void TestFileManagerEntries::foreignThunarFileIsLeftAlone()
{
    const QString uca = m_home->filePath(QStringLiteral("config/Thunar/uca.xml"));
    QVERIFY(put(uca, "not xml at all\n"));
    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY(!entries.install(QStringLiteral("/opt/mantole/"), kEnglish));
    QCOMPARE(entries.error(), uca);
    QCOMPARE(contents(uca), QByteArray("not xml at all\n"));
}

// The program folder's icons land in the user's hicolor theme, every size
// where the theme looks for it; removal takes ours only, also where a
// user's own mantole.png sits in a size we do not ship.
void TestFileManagerEntries::iconGoesIntoTheThemeAndLeaves()
{
    const QString program = QStringLiteral(MANTOLE_BIN_DIR "/");
    const QString theme = m_data + QStringLiteral("/icons/hicolor/");
    const QStringList usersFiles{theme + QStringLiteral("48x48/apps/gimp.png"), theme + QStringLiteral("22x22/apps/mantole.png")};
    for (const QString &file : usersFiles)
        QVERIFY(put(file, "the user's"));
    FileManagerEntries entries = FileManagerEntries::forUser();
    QVERIFY2(entries.install(program, kEnglish), qPrintable(entries.error()));
    QCOMPARE(entries.iconTheme(), theme);
    for (const quint32 size : {16u, 48u, 256u}) {
        const QString path = QStringLiteral("%1x%1/apps/mantole.png").arg(size);
        const QByteArray icon = contents(theme + path);
        QCOMPARE(icon, contents(program + QStringLiteral("icons/hicolor/") + path));
        QVERIFY(icon.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(qFromBigEndian<quint32>(icon.constData() + 16), size); // IHDR width and height
        QCOMPARE(qFromBigEndian<quint32>(icon.constData() + 20), size);
    }
    entries.uninstall();
    QVERIFY(!QFileInfo::exists(theme + QStringLiteral("48x48/apps/mantole.png")));
    QVERIFY(!QFileInfo::exists(theme + QStringLiteral("256x256/apps/mantole.png")));
    for (const QString &file : usersFiles)
        QCOMPARE(contents(file), QByteArray("the user's"));
}

QTEST_GUILESS_MAIN(TestFileManagerEntries)
#include "tst_filemanagerentries.moc"
