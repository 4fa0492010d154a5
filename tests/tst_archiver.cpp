// The archive component's properties, messages and name conversions.

#include "ScriptedHost.h"
#include "ZipArchiver.h"
#include "ZipMessages.h"

#include <QTemporaryDir>
#include <QTest>

class TestArchiver : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void passwordReqCount_data();
    void passwordReqCount();
    void dllDirectory_data();
    void dllDirectory();
    void versionInfoAndListsAreCopies();
    void messageTable_data();
    void messageTable();
    void reportMessage_data();
    void reportMessage();
    void exceptions_data();
    void exceptions();
    void hiddenExceptionIsStoredButNotShown();
    void translateName_data();
    void translateName();
    void pathHelpers();
    void zipFileNameWithoutFile();
};

void TestArchiver::defaults()
{
    TZipArchiver za;
    QCOMPARE(za.SFXOptions, SFXOpts{SFXCheckSize});
    QCOMPARE(za.SFXPath, QStringLiteral("SfxStub.bin"));
    QCOMPARE(za.SFXCaption, QStringLiteral("Self-extracting Archive"));
    QCOMPARE(za.SFXOverWriteMode, OvrConfirm);
    QCOMPARE(za.AddCompLevel, 9);
    QCOMPARE(za.CodePage, cpAuto);
    QCOMPARE(za.HowToDelete, htdAllowUndo);
    QCOMPARE(za.PasswordReqCount(), 1u);
    QCOMPARE(za.MinFreeVolumeSize, 65536);
    QVERIFY(za.ConfirmErase);
    QVERIFY(!za.AddStoreSuffixes.contains(assEXE));
    QCOMPARE(za.AddStoreSuffixes.bits(), 0x7FFu); // every suffix from GIF to LHA
    QCOMPARE(za.Count(), 0);
}

void TestArchiver::passwordReqCount_data()
{
    QTest::addColumn<quint32>("assigned");
    QTest::addColumn<quint32>("stored");
    QTest::newRow("capped at 15") << 40u << 15u;
    QTest::newRow("small value kept") << 3u << 3u;
    QTest::newRow("limit itself") << 15u << 15u;
    QTest::newRow("zero") << 0u << 0u;
}

void TestArchiver::passwordReqCount()
{
    QFETCH(quint32, assigned);
    QFETCH(quint32, stored);
    TZipArchiver za;
    za.setPasswordReqCount(assigned);
    QCOMPARE(za.PasswordReqCount(), stored);
}

void TestArchiver::dllDirectory_data()
{
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<QString>("stored");
    QTest::newRow("one trailing separator dropped") << "/opt/mantole/" << "/opt/mantole";
    QTest::newRow("two trailing separators keep one") << "/opt/mantole//" << "/opt/mantole/";
    QTest::newRow("windows separator") << "C:\\libs\\" << "C:\\libs";
    QTest::newRow("no separator") << "/opt/mantole" << "/opt/mantole";
}

void TestArchiver::dllDirectory()
{
    QFETCH(QString, assigned);
    QFETCH(QString, stored);
    TZipArchiver za;
    za.setDLLDirectory(assigned);
    QCOMPARE(za.DLLDirectory(), stored);
    // Assigning the value it holds changes nothing, even when it ends in "/".
    za.setDLLDirectory(za.DLLDirectory());
    QCOMPARE(za.DLLDirectory(), stored);
}

void TestArchiver::versionInfoAndListsAreCopies()
{
    TZipArchiver za;
    za.setVersionInfo(QStringLiteral("9.99"));
    QCOMPARE(za.VersionInfo(), QStringLiteral("2.00"));

    QStringList patterns{QStringLiteral("*.txt")};
    za.setFSpecArgs(patterns);
    za.setFSpecArgsExcl(patterns);
    patterns.append(QStringLiteral("*.doc"));
    QCOMPARE(za.FSpecArgs(), QStringList{QStringLiteral("*.txt")});
    QCOMPARE(za.FSpecArgsExcl(), QStringList{QStringLiteral("*.txt")});
}

void TestArchiver::messageTable_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("first") << 10101 << QStringLiteral("Erreur fatale dans ZipLib.DLL: exception d'arrêt");
    QTest::newRow("two lines") << 10104 << QStringLiteral("Erreur - mots de passe différents\nMot de passe ignoré");
    QTest::newRow("format") << 11034 << QStringLiteral("Insérer le volume n°%.1d sur %.1d");
    QTest::newRow("starts with line feed") << 11035 << QStringLiteral("\ndans le lecteur: %s");
    QTest::newRow("last") << 11045
                          << QStringLiteral("Ceci est le premier fichier d'une sauvegarde,\nsélectionner le dernier fichier");
}

void TestArchiver::messageTable()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    QCOMPARE(TZipArchiver::ZipLoadStr(id, QStringLiteral("default")), text);
}

void TestArchiver::reportMessage_data()
{
    QTest::addColumn<bool>("unattended");
    QTest::newRow("attended") << false;
    QTest::newRow("unattended") << true;
}

void TestArchiver::reportMessage()
{
    QFETCH(bool, unattended);
    ScriptedHost host;
    TZipArchiver za(&host);
    za.Unattended = unattended;
    QStringList events;
    za.OnMessage = [&](TZipArchiver *sender, int code, const QString &text) {
        QCOMPARE(sender, &za);
        QCOMPARE(code, 0);
        events.append(text);
    };

    // 10304 has no text: the fallback names the id.
    za.ReportMessage(10304, QStringLiteral(" (extra)"));
    const QString expected = QStringLiteral("The message table is probably not linked to the executable\n"
                                            "Missing String ID is: 10304 (extra)");
    QCOMPARE(za.ErrCode, 10304);
    QCOMPARE(za.Message, expected);
    QCOMPARE(events, QStringList{expected});
    QCOMPARE(host.shown, unattended ? QStringList{} : QStringList{expected});

    za.ReportMessage(11001, QString());
    QCOMPARE(za.Message, QStringLiteral("Le fichier spécifié en entrée n'existe pas"));
    QCOMPARE(za.ErrCode, 11001);
}

void TestArchiver::exceptions_data()
{
    QTest::addColumn<int>("kind"); // 0 by id, 1 with number, 2 with text
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("message");
    QTest::newRow("by id") << 0 << 11036 << QStringLiteral("L'archive sélectionnée n'a pas un format ZIP correct");
    QTest::newRow("with number") << 1 << 11038
                                 << QStringLiteral("Ceci est le 3ème disque d'une sauvegarde,\ninsérer le dernier disque");
    QTest::newRow("with text") << 2 << 11003 << QStringLiteral("Lecteur non valide: /media/x/");
    QTest::newRow("missing id ignores the argument")
        << 1 << 10503
        << QStringLiteral("The message table is probably not linked to the executable\nMissing String ID is: 10503");
}

void TestArchiver::exceptions()
{
    QFETCH(int, kind);
    QFETCH(int, id);
    QFETCH(QString, message);
    const EZipArchiver e = kind == 0 ? EZipArchiver::CreateById(id, true)
        : kind == 1                  ? EZipArchiver::CreateWithNumber(id, 3)
                                     : EZipArchiver::CreateWithText(id, QStringLiteral("/media/x/"));
    QCOMPARE(e.id(), id);
    QCOMPARE(e.message(), message);
    QVERIFY(e.display());

    ScriptedHost host;
    TZipArchiver za(&host);
    za.ReportException(e);
    QCOMPARE(za.ErrCode, id);
    QCOMPARE(za.Message, message);
    QCOMPARE(host.shown, QStringList{message});
}

void TestArchiver::hiddenExceptionIsStoredButNotShown()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    int fired = 0;
    za.OnMessage = [&](TZipArchiver *, int, const QString &) { ++fired; };
    za.ReportException(EZipArchiver::CreateById(11007, false));
    QVERIFY(host.shown.isEmpty());
    QCOMPARE(za.ErrCode, 11007);
    QCOMPARE(za.Message, QStringLiteral("Opération annulée par l'utilisateur"));
    QCOMPARE(fired, 1);
}

void TestArchiver::translateName_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<int>("host");
    QTest::addColumn<int>("madeBy");
    QTest::addColumn<bool>("toOem");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray oem("caf\x82\\r\x82sum\x82", 11);      // café\résumé in code page 437
    const QByteArray utf8 = QStringLiteral("café\\résumé").toUtf8();
    QTest::newRow("cpOEM converts any host") << int(cpOEM) << 3 << 20 << false << oem << utf8;
    QTest::newRow("cpAuto converts MS-DOS") << int(cpAuto) << 0 << 20 << false << oem << utf8;
    QTest::newRow("cpAuto leaves Unix") << int(cpAuto) << 3 << 20 << false << utf8 << utf8;
    QTest::newRow("cpNone converts OS/2 HPFS") << int(cpNone) << 6 << 20 << false << oem << utf8;
    QTest::newRow("cpNone leaves MS-DOS") << int(cpNone) << 0 << 20 << false << utf8 << utf8;
    QTest::newRow("cpNone converts NTFS 5.0") << int(cpNone) << 11 << 50 << false << oem << utf8;
    QTest::newRow("cpNone leaves NTFS 2.0") << int(cpNone) << 11 << 20 << false << utf8 << utf8;
    QTest::newRow("to OEM") << int(cpOEM) << 0 << 20 << true << utf8 << oem;
    QTest::newRow("box drawing back and forth")
        << int(cpOEM) << 0 << 20 << false << QByteArray("\xC9\xCD\xBB") << QStringLiteral("╔═╗").toUtf8();
    QTest::newRow("ASCII untouched") << int(cpOEM) << 0 << 20 << true << QByteArray("dir/a.txt")
                                     << QByteArray("dir/a.txt");
}

void TestArchiver::translateName()
{
    QFETCH(int, codePage);
    QFETCH(int, host);
    QFETCH(int, madeBy);
    QFETCH(bool, toOem);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    TZipArchiver za;
    za.CodePage = static_cast<CodePageOpts>(codePage);
    za.LastHostSystem = static_cast<uint8_t>(host);
    za.LastMadeByVersion = static_cast<uint8_t>(madeBy);
    QCOMPARE(za.TranslateName(input, toOem), expected);
}

void TestArchiver::pathHelpers()
{
    QCOMPARE(TZipArchiver::SlashToBackslash(QStringLiteral("a/b/c.txt")), QStringLiteral("a\\b\\c.txt"));
    QCOMPARE(TZipArchiver::WithTrailingBackslash(QStringLiteral("/tmp")), QStringLiteral("/tmp/"));
    QCOMPARE(TZipArchiver::WithTrailingBackslash(QStringLiteral("/tmp/")), QStringLiteral("/tmp/"));
    QTemporaryDir dir;
    QVERIFY(TZipArchiver::IsExistingFolder(dir.path()));
    QVERIFY(!TZipArchiver::IsExistingFolder(QString()));
    QVERIFY(!TZipArchiver::IsExistingFolder(dir.filePath(QStringLiteral("missing"))));
    QCOMPARE(ZipMessages::format(QStringLiteral("%.1d of %.3d, %s, 100%%"), {7, 7, QStringLiteral("x")}),
             QStringLiteral("7 of 007, x, 100%"));
}

void TestArchiver::zipFileNameWithoutFile()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    int updates = 0;
    za.OnDirUpdate = [&](TZipArchiver *) { ++updates; };
    za.setZipFileName(QStringLiteral("/nonexistent/folder/archive.zip"));
    QCOMPARE(za.Count(), 0);
    QCOMPARE(updates, 1);
    QVERIFY(host.shown.isEmpty());
    QCOMPARE(za.ZipFileName(), QStringLiteral("/nonexistent/folder/archive.zip"));
    za.setZipFileName(QString());
    QCOMPARE(za.Count(), 0);
    QCOMPARE(updates, 2);
}

QTEST_GUILESS_MAIN(TestArchiver)
#include "tst_archiver.moc"
