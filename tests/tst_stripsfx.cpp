// Turning executables back into archives, and copying files with their date.

#include "Fixtures.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestStripSfx : public QObject {
    Q_OBJECT

private slots:
    void init();
    void unshiftedArchiveIsCopiedAsItIs();
    void refusals_data();
    void refusals();
    void emptyArchiveExecutableFailsItsCheck();
    void olderHeaderKeepsMessage();
    void headerTextsInWindows1252_data();
    void headerTextsInWindows1252();
    void programWithoutIconKeepsIcon();
    void copyZipFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStripSfx::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestStripSfx::unshiftedArchiveIsCopiedAsItIs()
{
    const QString exe = m_dir->filePath(QStringLiteral("app.EXE"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("appended.exe")), exe));
    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    za.setZipFileName(exe);
    QVERIFY(za.OffsetsMismatch);
    QCOMPARE(za.StripSFX(), 0);
    const QString zip = m_dir->filePath(QStringLiteral("app.zip"));
    QCOMPARE(Fixtures::readFile(zip), Fixtures::read(QStringLiteral("plain.zip")));
    QVERIFY(!QFile::exists(exe));
    QCOMPARE(za.ZipFileName(), zip);
}

void TestStripSfx::refusals_data()
{
    QTest::addColumn<QString>("fixture"); // empty: no file at all
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("message");
    QTest::newRow("no file") << "" << "gone.exe" << -3 << 10901;
    QTest::newRow("program that holds no archive") << "stub64.bin" << "prog.exe" << -3 << 10901;
    QTest::newRow("not named .exe") << "shifted.exe" << "setup.bin" << -3 << 10902;
    QTest::newRow("nothing before the archive") << "plain.zip" << "plain.exe" << -9 << 10903;
}

void TestStripSfx::refusals()
{
    QFETCH(QString, fixture);
    QFETCH(QString, name);
    QFETCH(int, result);
    QFETCH(int, message);
    const QString path = m_dir->filePath(name);
    if (!fixture.isEmpty())
        QVERIFY(QFile::copy(Fixtures::path(fixture), path));
    ScriptedHost host;
    TZipArchiver za(&host);
    za.setZipFileName(path);
    za.ErrCode = 0;
    QCOMPARE(za.StripSFX(), result);
    QCOMPARE(za.ErrCode, message);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), fixture.isEmpty() ? 0 : 1);
}

void TestStripSfx::emptyArchiveExecutableFailsItsCheck()
{
    const QString exe = m_dir->filePath(QStringLiteral("new.exe"));
    TZipArchiver za;
    za.SFXPath = Fixtures::path(QStringLiteral("stub64.bin"));
    za.setZipFileName(exe);
    za.CreatingEmptySFX = true;
    QCOMPARE(za.WriteSFX(), 0);
    za.CreatingEmptySFX = false;
    za.setZipFileName(exe);
    QCOMPARE(za.StripSFX(), -9);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("new.exe")});
}

void TestStripSfx::olderHeaderKeepsMessage()
{
    // A program, an "MPU" header, then an appended archive.
    QByteArray exe = Fixtures::read(QStringLiteral("stub64.bin"));
    exe += QByteArray("MPU\xC1\x05\x02\x00", 7) + "Titre" + "C:";
    exe += Fixtures::read(QStringLiteral("plain.zip"));
    const QString path = m_dir->filePath(QStringLiteral("old.exe"));
    QVERIFY(Fixtures::write(path, exe));

    TZipArchiver za;
    za.HowToDelete = htdFinal;
    za.SFXMessage = QStringLiteral("kept");
    za.setZipFileName(path);
    QCOMPARE(za.StripSFX(), 0);
    QCOMPARE(za.SFXCaption, QStringLiteral("Titre"));
    QCOMPARE(za.SFXDefaultDir, QStringLiteral("C:"));
    QCOMPARE(za.SFXCommandLine, QString());
    QCOMPARE(za.SFXMessage, QStringLiteral("kept"));
    QCOMPARE(za.SFXOptions, (SFXOpts{SFXAskCmdLine, SFXAutoRun, SFXCheckSize})); // bit 7 means nothing here
    QCOMPARE(Fixtures::readFile(m_dir->filePath(QStringLiteral("old.zip"))), Fixtures::read(QStringLiteral("plain.zip")));
}

void TestStripSfx::headerTextsInWindows1252_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("caption");
    // 0x92 0x9C 0x80: right quote, oe and euro in code page 1252; in Latin-1
    // they would be control characters.
    QTest::newRow("MPU") << QByteArray("MPU\x00\x05\x00\x00l\x92\x9C\x80s", 12) << QStringLiteral("l\u2019\u0153\u20ACs");
    QByteArray mpv("MPV\x00\x00\x01\x14\x00\x05l\x92\x9C\x80s\x00\x00\x00\x00\x00\x00\x00", 20);
    QTest::newRow("MPV that is no UTF-8") << mpv << QStringLiteral("l\u2019\u0153\u20ACs");
    QByteArray utf8("MPV\x00\x00\x01\x14\x00\x06\xC3\xA9t\xC3\xA9 \x00\x00\x00\x00\x00\x00\x00\x00", 20);
    QTest::newRow("MPV in UTF-8") << utf8 << QStringLiteral("\u00E9t\u00E9 ");
    QTest::newRow("undefined bytes keep their code points")
        << QByteArray("MPU\x00\x02\x00\x00\x81\x8D", 9) << QStringLiteral("\u0081\u008D");
}

void TestStripSfx::headerTextsInWindows1252()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, caption);
    const QString path = m_dir->filePath(QStringLiteral("old.exe"));
    QVERIFY(Fixtures::write(path, Fixtures::read(QStringLiteral("stub64-noicon.bin")) + header
                                      + Fixtures::read(QStringLiteral("plain.zip"))));
    TZipArchiver za;
    za.setZipFileName(path);
    QVERIFY(za.ReadSFXOptions());
    QCOMPARE(za.SFXCaption, caption);
}

void TestStripSfx::programWithoutIconKeepsIcon()
{
    const QString zip = m_dir->filePath(QStringLiteral("a.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    TZipArchiver za;
    za.HowToDelete = htdFinal;
    za.SFXPath = Fixtures::path(QStringLiteral("stub64-noicon.bin"));
    za.setZipFileName(zip);
    QCOMPARE(za.WriteSFX(), 0);
    const QByteArray icon = Fixtures::read(QStringLiteral("icon16.ico"));
    za.setSFXIcon(icon);
    QCOMPARE(za.StripSFX(), 0);
    QCOMPARE(za.SFXIcon(), icon);
}

void TestStripSfx::copyZipFile()
{
    const QString source = m_dir->filePath(QStringLiteral("source.zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("comment.zip")), source));
    const QDateTime date = QDateTime::fromSecsSinceEpoch(1600000000);
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(date, QFileDevice::FileModificationTime));
    }
    const QString destination = m_dir->filePath(QStringLiteral("copy.zip"));
    QVERIFY(Fixtures::write(destination, "older file"));

    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    QCOMPARE(za.CopyZipFile(source, destination), 0);
    QCOMPARE(Fixtures::readFile(destination), Fixtures::readFile(source));
    QCOMPARE(QFileInfo(destination).lastModified(), date);
    QCOMPARE(host.busyDepth, 0);
    QCOMPARE(za.CopyZipFile(m_dir->filePath(QStringLiteral("none.zip")), destination), -3);
    QCOMPARE(za.CopyZipFile(source, m_dir->filePath(QStringLiteral("no/such/folder/x.zip"))), -1);
    QCOMPARE(Fixtures::readFile(destination), Fixtures::readFile(source));
}

QTEST_GUILESS_MAIN(TestStripSfx)
#include "tst_stripsfx.moc"
