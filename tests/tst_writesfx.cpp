// Writing self-extracting executables: the options header, the shifted
// archive checked by outside tools, the icon patch, the stub search and the
// failures that must leave every file as it was. Runs against a PE32+ and a
// PE32 stub.

#include "Fixtures.h"
#include "PeImage.h"
#include "Referees.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {


QByteArray bytesOf(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(static_cast<char>(b));
    return out;
}

} // namespace

class TestWriteSfx : public QObject {
    Q_OBJECT

private slots:
    void init();
    void header_data();
    void header();
    void textOver255BytesIsRefused();
    void roundTrip_data();
    void roundTrip();
    void iconIsPatched_data();
    void iconIsPatched();
    void failuresLeaveFilesAsTheyWere_data();
    void failuresLeaveFilesAsTheyWere();
    void stubSearch();
    void emptyArchiveExecutable();
    void refusesOffsetsPastFourGiB();

private:
    // Copies a fixture into the test's folder under a name of its own.
    QString place(const QString &fixture, const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestWriteSfx::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QString TestWriteSfx::place(const QString &fixture, const QString &name)
{
    const QString path = m_dir->filePath(name);
    QFile::remove(path);
    if (!QFile::copy(Fixtures::path(fixture), path))
        qFatal("cannot copy %s", qPrintable(fixture));
    return path;
}

void TestWriteSfx::header_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    QTest::addColumn<quint32>("options");
    QTest::addColumn<int>("overwrite");
    QTest::addColumn<QByteArray>("expected");

    const quint32 checkSize = SFXOpts{SFXCheckSize}.bits();
    QTest::newRow("all texts empty") << "" << "" << "" << "" << checkSize << int(OvrConfirm)
                                     << bytesOf({'M', 'P', 'V', 0, 0, 1, 12, 0, 0, 0, 0, 0});
    QTest::newRow("five-letter caption: padded to 20")
        << "Setup" << "" << "" << "" << checkSize << int(OvrConfirm)
        << bytesOf({'M', 'P', 'V', 0, 0, 1, 20, 0, 5, 'S', 'e', 't', 'u', 'p', 0, 0, 0, 0, 0, 0});
    QTest::newRow("auto-run, no success message, never overwrite, no size check")
        << "" << "" << "" << "" << SFXOpts{SFXAutoRun, SFXNoSuccessMsg}.bits() << int(OvrNever)
        << bytesOf({'M', 'P', 'V', 0xF0, 0, 1, 12, 0, 0, 0, 0, 0});
    QTest::newRow("every text, ask flags, always overwrite")
        << "T" << "><" << "a" << "\001Go" << SFXOpts{SFXAskCmdLine, SFXAskFiles, SFXHideOverWriteBox, SFXCheckSize}.bits()
        << int(OvrAlways)
        << bytesOf({'M', 'P', 'V', 0x0F, 0, 1, 20, 0, 1, 'T', 2, '>', '<', 1, 'a', 3, 1, 'G', 'o', 0});
    QTest::newRow("UTF-8 text counts bytes") << "é" << "" << "" << "" << checkSize << int(OvrConfirm)
                                             << bytesOf({'M', 'P', 'V', 0, 0, 1, 16, 0, 2, 0xC3, 0xA9, 0, 0, 0, 0, 0});
}

void TestWriteSfx::header()
{
    QFETCH(QString, caption);
    QFETCH(QString, folder);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(quint32, options);
    QFETCH(int, overwrite);
    QFETCH(QByteArray, expected);

    TZipArchiver za;
    za.HowToDelete = htdFinal;
    za.SFXPath = Fixtures::path(QStringLiteral("stub64.bin"));
    za.SFXCaption = caption;
    za.SFXDefaultDir = folder;
    za.SFXCommandLine = command;
    za.SFXMessage = message;
    za.SFXOptions = SFXOpts::fromBits(options);
    za.SFXOverWriteMode = static_cast<OvrOpts>(overwrite);
    za.setZipFileName(place(QStringLiteral("plain.zip"), QStringLiteral("photos.zip")));
    QCOMPARE(za.WriteSFX(), 0);

    const QByteArray exe = Fixtures::readFile(m_dir->filePath(QStringLiteral("photos.exe")));
    const qsizetype stubLength = Fixtures::read(QStringLiteral("stub64.bin")).size();
    QCOMPARE(exe.mid(stubLength, expected.size()), expected);
    QCOMPARE(za.ArchiveStart, stubLength + expected.size());
}

void TestWriteSfx::textOver255BytesIsRefused()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    za.SFXPath = Fixtures::path(QStringLiteral("stub64.bin"));
    const QString zip = place(QStringLiteral("plain.zip"), QStringLiteral("a.zip"));
    za.setZipFileName(zip);
    za.SFXCaption = QString(128, QChar(0xE9)); // 128 characters, 256 bytes
    QCOMPARE(za.WriteSFX(), -9);
    QCOMPARE(za.ErrCode, 10801);
    // 12 + 256 rounds to 268; the message names H + 1.
    QCOMPARE(host.shown, QStringList{QStringLiteral("Erreur - La taille totale des 3 propriétés de type texte dépasse "
                                                    "245 octets!\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + "
                                                    "SFXMessage = 269")});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("a.zip")});
}

void TestWriteSfx::roundTrip_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("stub");
    QTest::addColumn<bool>("referees");
    const struct {
        const char *fixture;
        bool referees;
    } fixtures[] = {{"plain.zip", true}, {"comment.zip", true}, {"descriptors.zip", true},
                    {"sevenzip.zip", true}, {"utf8-names.zip", true}, {"entry-comments.zip", true},
                    {"trailing-garbage.zip", true}, {"zip64-many.zip", true},
                    {"zip64-extra-offsets.zip", true}, {"encrypted.zip", false}};
    for (const char *stub : {"stub64.bin", "stub32.bin"})
        for (const auto &f : fixtures)
            QTest::addRow("%s, %s", f.fixture, stub) << f.fixture << stub << f.referees;
}

void TestWriteSfx::roundTrip()
{
    QFETCH(QString, fixture);
    QFETCH(QString, stub);
    QFETCH(bool, referees);

    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    za.SFXPath = Fixtures::path(stub);
    za.SFXCaption = QStringLiteral("Installation de Mantole");
    za.SFXDefaultDir = QStringLiteral("><");
    za.SFXCommandLine = QStringLiteral("><setup.exe /q");
    za.SFXMessage = QStringLiteral("\002Installer maintenant ?");
    za.SFXOptions = SFXOpts{SFXAskFiles, SFXAutoRun};
    za.SFXOverWriteMode = OvrNever;
    const QString zip = place(fixture, QStringLiteral("archive.zip"));
    za.setZipFileName(zip);
    const QByteArray original = Fixtures::readFile(zip).left(za.ArchiveEnd); // trailing garbage is not carried
    const QStringList warnings = host.shown; // reading the archive again repeats them
    host.shown.clear();

    QCOMPARE(za.WriteSFX(), 0);
    const QString exe = m_dir->filePath(QStringLiteral("archive.exe"));
    QVERIFY(!QFile::exists(zip));
    QCOMPARE(za.ZipFileName(), exe);
    QCOMPARE(host.shown, warnings);
    const qint64 stubLength = Fixtures::read(stub).size();
    QVERIFY(!za.OffsetsMismatch);
    QCOMPARE(za.ArchiveStart, stubLength + 76); // 12 + 62 text bytes, padded
    QCOMPARE(QFileInfo(exe).size(), za.ArchiveStart + original.size());
    if (referees) {
        Referees::verifyArchive(exe);
        if (QTest::currentTestFailed())
            return;
    }

    za.SFXCaption.clear();
    za.SFXDefaultDir.clear();
    za.SFXCommandLine.clear();
    za.SFXMessage.clear();
    za.SFXOptions = SFXOpts();
    za.SFXOverWriteMode = OvrConfirm;
    QCOMPARE(za.StripSFX(), 0);
    QVERIFY(!QFile::exists(exe));
    QCOMPARE(za.ZipFileName(), zip);
    QCOMPARE(Fixtures::readFile(zip), original);
    QCOMPARE(za.SFXCaption, QStringLiteral("Installation de Mantole"));
    QCOMPARE(za.SFXDefaultDir, QStringLiteral("><"));
    QCOMPARE(za.SFXCommandLine, QStringLiteral("><setup.exe /q"));
    QCOMPARE(za.SFXMessage, QStringLiteral("\002Installer maintenant ?"));
    QCOMPARE(za.SFXOptions, (SFXOpts{SFXAskFiles, SFXAutoRun}));
    QCOMPARE(za.SFXOverWriteMode, OvrNever);
}

void TestWriteSfx::iconIsPatched_data()
{
    QTest::addColumn<QString>("stub");
    QTest::newRow("PE32+") << "stub64.bin";
    QTest::newRow("PE32") << "stub32.bin";
}

void TestWriteSfx::iconIsPatched()
{
    QFETCH(QString, stub);
    const QByteArray icon = Fixtures::read(QStringLiteral("icon16-other.ico"));
    TZipArchiver za;
    za.HowToDelete = htdFinal;
    za.SFXPath = Fixtures::path(stub);
    za.setSFXIcon(icon);
    za.setZipFileName(place(QStringLiteral("plain.zip"), QStringLiteral("a.zip")));
    QCOMPARE(za.WriteSFX(), 0);

    const QByteArray exe = Fixtures::readFile(m_dir->filePath(QStringLiteral("a.exe")));
    const QByteArray stubBytes = Fixtures::read(stub);
    QCOMPARE(exe.size(), QFileInfo(m_dir->filePath(QStringLiteral("a.exe"))).size());
    const std::optional<PeImage> pe = PeImage::parse(exe.left(stubBytes.size()));
    QVERIFY(pe);
    const QByteArray shown = pe->iconFile(0);
    QCOMPARE(shown.mid(22), icon.mid(22)); // the image Explorer shows is ours
    // Only those 744 bytes changed.
    const qsizetype at = exe.indexOf(icon.mid(22));
    QCOMPARE(exe.left(at), stubBytes.left(at));
    QCOMPARE(exe.mid(at + 744, stubBytes.size() - at - 744), stubBytes.mid(at + 744));

    // Back to a ZIP: the executable's icon comes back.
    za.setSFXIcon(QByteArray());
    QCOMPARE(za.StripSFX(), 0);
    QCOMPARE(za.SFXIcon().mid(22), icon.mid(22));
}

void TestWriteSfx::failuresLeaveFilesAsTheyWere_data()
{
    QTest::addColumn<QString>("stub");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("message");
    QTest::newRow("256-colour icon") << "stub64.bin" << "icon256.ico" << "a.zip" << -12 << 0;
    QTest::newRow("stub without an icon") << "stub64-noicon.bin" << "icon16.ico" << "a.zip" << -10 << 0;
    QTest::newRow("stub that is no program") << "plain.zip" << "icon16.ico" << "a.zip" << -10 << 0;
    QTest::newRow("archive not named .zip") << "stub64.bin" << "" << "a.dat" << -9 << 10803;
}

void TestWriteSfx::failuresLeaveFilesAsTheyWere()
{
    QFETCH(QString, stub);
    QFETCH(QString, icon);
    QFETCH(QString, name);
    QFETCH(int, result);
    QFETCH(int, message);

    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    za.SFXPath = Fixtures::path(stub);
    if (!icon.isEmpty())
        za.setSFXIcon(Fixtures::read(icon));
    const QString zip = place(QStringLiteral("plain.zip"), name);
    const QString exe = m_dir->filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".exe"));
    QVERIFY(Fixtures::write(exe, "an executable the user already had"));
    za.setZipFileName(zip);

    QCOMPARE(za.WriteSFX(), result);
    QCOMPARE(za.ErrCode, message);
    QCOMPARE(Fixtures::readFile(zip), Fixtures::read(QStringLiteral("plain.zip")));
    QCOMPARE(Fixtures::readFile(exe), QByteArray("an executable the user already had"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(za.ZipFileName(), zip);
}

void TestWriteSfx::stubSearch()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    za.SFXPath = m_dir->filePath(QStringLiteral("missing.bin"));
    za.setZipFileName(place(QStringLiteral("plain.zip"), QStringLiteral("a.zip")));
    QCOMPARE(za.WriteSFX(), -9);
    QCOMPARE(host.shown, QStringList{QStringLiteral("Erreur - SFXSTUB.BIN : exécutable introuvable!")});

    // The library folder is searched last, and names match without regard to case.
    const QString libraries = m_dir->filePath(QStringLiteral("libs"));
    QDir().mkdir(libraries);
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("stub64.bin")), libraries + QStringLiteral("/SfxStub.bin")));
    za.setDLLDirectory(libraries + '/');
    QCOMPARE(za.WriteSFX(), 0);
    QCOMPARE(za.SFXPath, libraries + QStringLiteral("/SfxStub.bin"));
}

void TestWriteSfx::emptyArchiveExecutable()
{
    TZipArchiver za;
    za.SFXPath = Fixtures::path(QStringLiteral("stub64.bin"));
    const QString exe = m_dir->filePath(QStringLiteral("new.exe"));
    za.setZipFileName(exe);
    za.CreatingEmptySFX = true;
    QCOMPARE(za.WriteSFX(), 0);
    const QByteArray stub = Fixtures::read(QStringLiteral("stub64.bin"));
    const QByteArray bytes = Fixtures::readFile(exe);
    QCOMPARE(bytes.size(), stub.size() + 36 + 22); // 12 + 23 caption bytes, padded, then the end record
    QCOMPARE(bytes.left(stub.size()), stub);
    const QByteArray eoc = bytes.right(22);
    QCOMPARE(Fixtures::getU32(eoc, 0), 0x06054B50u);
    QCOMPARE(Fixtures::getU32(eoc, 16), quint32(stub.size() + 36));
    QCOMPARE(eoc.mid(4, 12), QByteArray(12, '\0'));
    QCOMPARE(za.ZipFileName(), exe);
}

void TestWriteSfx::refusesOffsetsPastFourGiB()
{
    // The archive's last offsets sit just below 4 GiB in 32-bit fields; a
    // shifted copy would wrap them. (A sparse file, linked, not copied.)
    const QString zip = m_dir->filePath(QStringLiteral("big.zip"));
    QVERIFY(QFile::link(Fixtures::path(QStringLiteral("near-4gib.zip")), zip));
    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    za.SFXPath = Fixtures::path(QStringLiteral("stub64.bin"));
    za.setZipFileName(zip);
    QCOMPARE(za.Count(), 2);
    QCOMPARE(za.WriteSFX(), -9);
    QCOMPARE(za.ErrCode, 10804);
    QVERIFY(host.shown.last().contains(QStringLiteral("4 Go")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("big.zip")});
    QVERIFY(QFileInfo(Fixtures::path(QStringLiteral("near-4gib.zip"))).size() > (qint64(1) << 32) - 512);
}

QTEST_GUILESS_MAIN(TestWriteSfx)
#include "tst_writesfx.moc"
