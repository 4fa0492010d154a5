// mantole-cli list, test, extract, add and delete as a script meets them:
// what they refuse to open, links, names a terminal cannot show, passwords
// kept out of the process list, WinZip AES, a failed add into a new
// executable.

#include "Fixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Run cli(const QStringList &args, const QString &folder, const QStringList &environment = {},
        const QString &shellPrefix = QString())
{
    QProcess p;
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("MANTOLE_PASSWORD"));
    for (const QString &pair : environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    if (shellPrefix.isEmpty()) {
        p.start(QStringLiteral(MANTOLE_CLI), args);
    } else {
        QStringList quoted;
        for (const QString &a : args)
            quoted << QStringLiteral("'%1'").arg(a);
        p.start(QStringLiteral("sh"), {QStringLiteral("-c"), shellPrefix + QStringLiteral(" exec '" MANTOLE_CLI "' ")
                                                                 + quoted.join(' ')});
    }
    // A command that would wait for ever on a FIFO is stopped and fails.
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-2, p.readAllStandardOutput(), "did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

struct StoredEntry {
    QByteArray name;
    QByteArray comment;
    quint8 host = 3; // Unix
    quint16 flags = 0;
    QByteArray data = "hello\n";
};

// An archive of stored entries with names and comments exactly as given.
QByteArray storedZip(const QList<StoredEntry> &entries)
{
    QByteArray zip, directory;
    for (const StoredEntry &e : entries) {
        const auto offset = static_cast<quint32>(zip.size());
        QByteArray local(30, '\0');
        Fixtures::putU32(local, 0, 0x04034b50);
        Fixtures::putU16(local, 4, 10);
        Fixtures::putU16(local, 6, e.flags);
        Fixtures::putU32(local, 10, 0x5A210000);
        Fixtures::putU32(local, 14, 0x363a3020); // CRC-32 of "hello\n"
        Fixtures::putU32(local, 18, static_cast<quint32>(e.data.size()));
        Fixtures::putU32(local, 22, static_cast<quint32>(e.data.size()));
        Fixtures::putU16(local, 26, static_cast<quint16>(e.name.size()));
        zip += local + e.name + e.data;
        QByteArray central(46, '\0');
        Fixtures::putU32(central, 0, 0x02014b50);
        Fixtures::putU16(central, 4, static_cast<quint16>(e.host << 8 | 20));
        Fixtures::putU16(central, 6, 10);
        Fixtures::putU16(central, 8, e.flags);
        central.replace(12, 20, local.mid(10, 20));
        Fixtures::putU16(central, 32, static_cast<quint16>(e.comment.size()));
        Fixtures::putU32(central, 42, offset);
        directory += central + e.name + e.comment;
    }
    QByteArray end(22, '\0');
    Fixtures::putU32(end, 0, 0x06054b50);
    Fixtures::putU16(end, 8, static_cast<quint16>(entries.size()));
    Fixtures::putU16(end, 10, static_cast<quint16>(entries.size()));
    Fixtures::putU32(end, 12, static_cast<quint32>(directory.size()));
    Fixtures::putU32(end, 16, static_cast<quint32>(zip.size()));
    return zip + directory + end;
}

} // namespace

Q_DECLARE_METATYPE(StoredEntry)

class TestCliCommands : public QObject {
    Q_OBJECT

private slots:
    void init();
    void refusesWhatIsNoArchive_data();
    void refusesWhatIsNoArchive();
    void unreadableArchiveSaysWhy();
    void linkLeadsToItsArchive_data();
    void linkLeadsToItsArchive();
    void listShowsNamesSafely_data();
    void listShowsNamesSafely();
    void passwordSources_data();
    void passwordSources();
    void winZipAes_data();
    void winZipAes();
    void failedAddIntoNewExecutableLeavesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCliCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), m_dir->filePath(QStringLiteral("plain.zip"))));
    QVERIFY(Fixtures::write(m_dir->filePath(QStringLiteral("note.txt")), "a note\n"));
    QDir().mkpath(m_dir->filePath(QStringLiteral("folder")));
    QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath(QStringLiteral("fifo"))).constData(), 0644), 0);
}

void TestCliCommands::refusesWhatIsNoArchive_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    const struct {
        const char *what;
        const char *path;
        const char *said;
    } things[] = {{"missing file", "missing.zip", "no such file"},
                  {"folder", "folder", "is a folder"},
                  {"FIFO", "fifo", "not a regular file"},
                  {"device", "/dev/null", "not a regular file"}};
    for (const auto &t : things) {
        const QString path = QLatin1String(t.path);
        QTest::addRow("test %s", t.what) << QStringList{"test", path} << t.said;
        QTest::addRow("extract %s", t.what) << QStringList{"extract", path, "--to", "out"} << t.said;
        QTest::addRow("list %s", t.what) << QStringList{"list", path} << t.said;
        QTest::addRow("delete from %s", t.what) << QStringList{"delete", path, "*"} << t.said;
        // Adding to a new archive is allowed, and adding a folder too.
        if (path != QLatin1String("missing.zip"))
            QTest::addRow("add to %s", t.what) << QStringList{"add", path, "note.txt"} << t.said;
        if (QByteArray(t.said) == "not a regular file")
            QTest::addRow("add %s", t.what) << QStringList{"add", "plain.zip", path} << t.said;
    }
}

void TestCliCommands::refusesWhatIsNoArchive()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    const QByteArray before = Fixtures::readFile(m_dir->filePath(QStringLiteral("plain.zip")));
    const Run r = cli(args, m_dir->path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(QString::fromUtf8(r.err).contains(said), r.err.constData());
    QVERIFY2(!r.out.contains("entries sound"), r.out.constData());
    QCOMPARE(Fixtures::readFile(m_dir->filePath(QStringLiteral("plain.zip"))), before);
}

void TestCliCommands::unreadableArchiveSaysWhy()
{
    const QString archive = m_dir->filePath(QStringLiteral("plain.zip"));
    QVERIFY(QFile::setPermissions(archive, QFileDevice::WriteOwner));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                     | QFileDevice::ExeOwner | QFileDevice::ExeOther));
    QString program = QStringLiteral(MANTOLE_CLI);
    QStringList args{QStringLiteral("test"), archive};
    if (::geteuid() == 0) {
        // root reads anything: the command runs as nobody then.
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv: cannot take the right to read away");
        args.prepend(program);
        args = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups")} + args;
        program = setpriv;
    }
    QProcess p;
    p.start(program, args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("Permission denied"), err.constData());
}

void TestCliCommands::linkLeadsToItsArchive_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("entriesAfter"); // of the real archive, through `list`
    QTest::newRow("add") << QStringList{"add", "link.zip", "note.txt"} << QStringList{"note.txt"};
    QTest::newRow("delete") << QStringList{"delete", "link.zip", "readme.txt"} << QStringList{"-readme.txt"};
    QTest::newRow("test") << QStringList{"test", "link.zip"} << QStringList{};
}

void TestCliCommands::linkLeadsToItsArchive()
{
    // A relative link from another folder to the archive.
    QFETCH(QStringList, args);
    QFETCH(QStringList, entriesAfter);
    QDir().mkpath(m_dir->filePath(QStringLiteral("links")));
    const QString link = m_dir->filePath(QStringLiteral("links/link.zip"));
    QVERIFY(QFile::link(QStringLiteral("../plain.zip"), link));
    QVERIFY(QFile::copy(m_dir->filePath(QStringLiteral("note.txt")), m_dir->filePath(QStringLiteral("links/note.txt"))));
    const Run r = cli(args, m_dir->filePath(QStringLiteral("links")));
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QCOMPARE(QFileInfo(link).symLinkTarget(), m_dir->filePath(QStringLiteral("plain.zip")));
    const QByteArray listing = cli({QStringLiteral("list"), QStringLiteral("plain.zip")}, m_dir->path()).out;
    for (const QString &entry : entriesAfter) {
        if (entry.startsWith('-'))
            QVERIFY2(!listing.contains(entry.mid(1).toUtf8()), listing.constData());
        else
            QVERIFY2(listing.contains(entry.toUtf8()), listing.constData());
    }
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("links"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("link.zip"), QStringLiteral("note.txt")}));
}

void TestCliCommands::listShowsNamesSafely_data()
{
    QTest::addColumn<StoredEntry>("entry");
    QTest::addColumn<QString>("shown");
    StoredEntry unix;
    unix.name = "caf\xe9.txt"; // Latin-1 bytes from a Unix host, no UTF-8 flag
    QTest::newRow("Unix name that is no UTF-8") << unix << QStringLiteral("caf\u0398.txt");
    StoredEntry escape;
    escape.name = "\x1b[2Jred\r.txt";
    QTest::newRow("escape sequence and carriage return") << escape << QStringLiteral("\\x1b[2Jred\\x0d.txt");
    StoredEntry comment;
    comment.name = "plain.txt";
    comment.comment = "line\x1b]0;title\x07";
    QTest::newRow("comment with a title sequence") << comment << QStringLiteral("[line\\x1b]0;title\\x07]");
    StoredEntry override;
    override.name = "evil\xe2\x80\xaetxt.exe";
    override.flags = 0x800;
    QTest::newRow("direction override") << override << QStringLiteral("evil\\u202etxt.exe");
}

void TestCliCommands::listShowsNamesSafely()
{
    QFETCH(StoredEntry, entry);
    QFETCH(QString, shown);
    const QString archive = m_dir->filePath(QStringLiteral("names.zip"));
    QVERIFY(Fixtures::write(archive, storedZip({entry})));
    const Run r = cli({QStringLiteral("list"), archive}, m_dir->path());
    QCOMPARE(r.exitCode, 0);
    const QString out = QString::fromUtf8(r.out);
    QVERIFY2(out.contains(shown), r.out.constData());
    QVERIFY2(!out.contains(QChar::ReplacementCharacter), r.out.constData());
    for (const char control : {'\x1b', '\r', '\x07'})
        QVERIFY2(!r.out.contains(control), r.out.constData());
    if (!shown.contains(QLatin1Char('\\')) && !shown.contains(QLatin1Char('['))) {
        // A name as listed can be typed back to pick the entry.
        const Run extracted = cli({QStringLiteral("extract"), archive, QStringLiteral("--to"), QStringLiteral("out"), shown},
                                  m_dir->path());
        QVERIFY2(extracted.exitCode == 0, extracted.err.constData());
        QVERIFY2((extracted.out + extracted.err).contains("1 entries extracted"), extracted.err.constData());
    }
}

void TestCliCommands::passwordSources_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("given") << QStringList{"--password", "secret"} << QStringList{} << 0;
    QTest::newRow("file") << QStringList{"--password-file", "pass.txt"} << QStringList{} << 0;
    QTest::newRow("environment") << QStringList{} << QStringList{"MANTOLE_PASSWORD=secret"} << 0;
    QTest::newRow("wrong in the environment") << QStringList{} << QStringList{"MANTOLE_PASSWORD=nope"} << 1;
    QTest::newRow("given wins over the environment")
        << QStringList{"--password", "secret"} << QStringList{"MANTOLE_PASSWORD=nope"} << 0;
    QTest::newRow("missing file") << QStringList{"--password-file", "none.txt"} << QStringList{} << 1;
}

void TestCliCommands::passwordSources()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("encrypted.zip")), m_dir->filePath(QStringLiteral("e.zip"))));
    QVERIFY(Fixtures::write(m_dir->filePath(QStringLiteral("pass.txt")), "secret\n"));
    const Run r = cli(QStringList{QStringLiteral("test"), QStringLiteral("e.zip")} + args, m_dir->path(), environment);
    QVERIFY2(r.exitCode == exitCode, r.err.constData());
    if (exitCode == 0)
        QCOMPARE(r.out, QByteArray("2 of 2 entries sound\n"));
}

void TestCliCommands::winZipAes_data()
{
    // 7z's archives of six entries (two folders, four files).
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("tested");
    QTest::newRow("AES-256, right password") << "aes256.zip" << "secret" << QByteArray("6 of 6 entries sound\n");
    QTest::newRow("AES-128 stored, right password") << "aes128-stored.zip" << "secret" << QByteArray("6 of 6 entries sound\n");
    QTest::newRow("wrong password") << "aes256.zip" << "nope" << QByteArray("2 of 6 entries sound\n");
}

void TestCliCommands::winZipAes()
{
    QFETCH(QString, fixture);
    QFETCH(QString, password);
    QFETCH(QByteArray, tested);
    const bool right = tested.startsWith("6 of 6");
    const QString archive = Fixtures::path(fixture);
    Run r = cli({QStringLiteral("test"), archive, QStringLiteral("--password"), password}, m_dir->path());
    QCOMPARE(r.exitCode, right ? 0 : 1);
    QCOMPARE(r.out, tested);
    r = cli({QStringLiteral("extract"), archive, QStringLiteral("--to"), QStringLiteral("out"), QStringLiteral("--password"),
             password},
            m_dir->path());
    QCOMPARE(r.exitCode, right ? 0 : 1);
    QCOMPARE(QFile::exists(m_dir->filePath(QStringLiteral("out/readme.txt"))), right);
    if (right)
        QCOMPARE(Fixtures::readFile(m_dir->filePath(QStringLiteral("out/readme.txt"))),
                 QByteArray("Mantole test file\n").repeated(40));
}

void TestCliCommands::failedAddIntoNewExecutableLeavesNothing()
{
    // A file-size limit stands in for a full disk: the stub fits, the data
    // added after it does not.
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("stub64.bin")), m_dir->filePath(QStringLiteral("SfxStub.bin"))));
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += static_cast<char>((i * 7919) ^ (i >> 5));
    QVERIFY(Fixtures::write(m_dir->filePath(QStringLiteral("big.bin")), big));
    const Run r = cli({QStringLiteral("add"), QStringLiteral("new.exe"), QStringLiteral("big.bin"),
                       QStringLiteral("--level"), QStringLiteral("0")},
                      m_dir->path(), {}, QStringLiteral("trap '' XFSZ; ulimit -f 80;"));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(!QFile::exists(m_dir->filePath(QStringLiteral("new.exe"))), r.err.constData());
    const QStringList left = QDir(m_dir->path()).entryList({QStringLiteral("*new.exe*")},
                                                           QDir::AllEntries | QDir::Hidden | QDir::System);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
