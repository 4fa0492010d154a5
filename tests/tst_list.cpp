// Listing archives made by outside tools: where the archive lies in its
// file, its entries, names and the warnings on the way.

#include "Fixtures.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QTest>

class TestList : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void names_data();
    void names();
    void entryFields();
    void zip64OffsetPastFourGiB();
    void eventsAndCursor();
};

void TestList::layout_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("archiveStart");
    QTest::addColumn<qint64>("archiveEnd"); // -1: the file's length
    QTest::addColumn<bool>("offsetsMismatch");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<QString>("comment");

    const qint64 withComment = Fixtures::read(QStringLiteral("comment.zip")).size();
    const qint64 plain = Fixtures::read(QStringLiteral("plain.zip")).size();
    const QList<int> none;
    QTest::newRow("Info-ZIP") << "plain.zip" << 6 << 0LL << -1LL << false << none << "";
    QTest::newRow("7-Zip") << "sevenzip.zip" << 6 << 0LL << -1LL << false << none << "";
    QTest::newRow("comment found by the search")
        << "comment.zip" << 6 << 0LL << -1LL << false << none << "An archive comment";
    QTest::newRow("only an end record") << "empty.zip" << 0 << 0LL << 22LL << false << none << "";
    QTest::newRow("data descriptors") << "descriptors.zip" << 1 << 0LL << -1LL << false << none << "";
    QTest::newRow("zero padding to 512 is no garbage")
        << "zero-padded.zip" << 6 << 0LL << withComment << false << none << "An archive comment";
    QTest::newRow("trailing garbage") << "trailing-garbage.zip" << 6 << 0LL << plain << false
                                      << QList<int>{10204} << "";
    QTest::newRow("600 zeros are garbage") << "zeros600.zip" << 6 << 0LL << plain << false
                                           << QList<int>{10204} << "";
    QTest::newRow("appended to a program, offsets not shifted")
        << "appended.exe" << 6 << 1024LL << -1LL << true << QList<int>{10203} << "";
    QTest::newRow("offsets shifted by zip -A") << "shifted.exe" << 6 << 1024LL << -1LL << false << none << "";
    QTest::newRow("Zip64: 70,000 entries") << "zip64-many.zip" << 70000 << 0LL << -1LL << false << none << "";
    QTest::newRow("Zip64: entry past 4 GiB") << "zip64-far.zip" << 2 << 0LL << -1LL << false << none << "";
    QTest::newRow("last volume of a numbered set")
        << "set003.zip" << 2 << 4LL << -1LL << false << none << "set comment";
}

void TestList::layout()
{
    QFETCH(QString, fixture);
    QFETCH(int, count);
    QFETCH(qint64, archiveStart);
    QFETCH(qint64, archiveEnd);
    QFETCH(bool, offsetsMismatch);
    QFETCH(QList<int>, messages);
    QFETCH(QString, comment);

    ScriptedHost host;
    TZipArchiver za(&host);
    QList<int> reported;
    za.OnMessage = [&](TZipArchiver *sender, int, const QString &) { reported.append(sender->ErrCode); };
    za.setZipFileName(Fixtures::path(fixture));

    QCOMPARE(reported, messages);
    QCOMPARE(host.shown.size(), messages.size());
    QCOMPARE(za.ZipFileName(), Fixtures::path(fixture));
    QCOMPARE(za.Count(), count);
    QCOMPARE(za.ArchiveStart, archiveStart);
    const qint64 fileLength = QFileInfo(Fixtures::path(fixture)).size();
    QCOMPARE(za.PhysicalSize, fileLength);
    QCOMPARE(za.ArchiveEnd, archiveEnd < 0 ? fileLength : archiveEnd);
    QCOMPARE(za.OffsetsMismatch, offsetsMismatch);
    QCOMPARE(za.ArchiveComment, comment);
    QVERIFY(!za.InHandle.isOpen());
}

void TestList::names_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("OEM names, form setting")
        << "oem-names.zip" << int(cpOEM) << QStringList{"café\\résumé.txt", "Ça über.txt"};
    QTest::newRow("OEM names from MS-DOS, automatic")
        << "oem-names.zip" << int(cpAuto) << QStringList{"café\\résumé.txt", "Ça über.txt"};
    QTest::newRow("UTF-8 flag is never converted")
        << "utf8-names.zip" << int(cpOEM) << QStringList{"été\\naïve façade.txt", "日本語.txt"};
}

void TestList::names()
{
    QFETCH(QString, fixture);
    QFETCH(int, codePage);
    QFETCH(QStringList, names);
    TZipArchiver za;
    za.CodePage = static_cast<CodePageOpts>(codePage);
    za.setZipFileName(Fixtures::path(fixture));
    QStringList listed;
    for (const ZipDirEntry &e : za.Entries())
        listed.append(e.FileName);
    QCOMPARE(listed, names);
}

void TestList::entryFields()
{
    TZipArchiver za;
    za.setZipFileName(Fixtures::path(QStringLiteral("encrypted.zip")));
    QCOMPARE(za.Count(), 2);
    const ZipDirEntry &readme = za.Entries()[0];
    QCOMPARE(readme.FileName, QStringLiteral("readme.txt"));
    QVERIFY(readme.Encrypted);
    QCOMPARE(readme.UncompressedSize, 18u * 40u);
    QCOMPARE(readme.Method, 8);
    QCOMPARE(readme.NameLength, 10);
    QCOMPARE(readme.LocalHeaderOffset, 0u);
    QCOMPARE(za.LastHostSystem, 3); // Info-ZIP on Unix

    za.setZipFileName(Fixtures::path(QStringLiteral("entry-comments.zip")));
    QCOMPARE(za.Count(), 1);
    QCOMPARE(za.Entries()[0].FileComment, QStringLiteral("first entry"));
    QVERIFY(!za.Entries()[0].Encrypted);
    // 2001-02-03 04:05:06 in MS-DOS form: date in the high half.
    za.setZipFileName(Fixtures::path(QStringLiteral("oem-names.zip")));
    QCOMPARE(za.Entries()[0].DateTime, (((21u << 9) | (2u << 5) | 3u) << 16) | ((4u << 11) | (5u << 5) | 3u));
}

void TestList::zip64OffsetPastFourGiB()
{
    TZipArchiver za;
    za.setZipFileName(Fixtures::path(QStringLiteral("zip64-far.zip")));
    QCOMPARE(za.Count(), 2);
    QCOMPARE(za.Entries()[1].FileName, QStringLiteral("far.txt"));
    QCOMPARE(za.Entries()[1].LocalHeaderOffset, (quint64(1) << 32) + 4096);
    QVERIFY(za.CentralDirOffset > (qint64(1) << 32));
}

void TestList::eventsAndCursor()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    QList<int> sequence;
    QStringList names;
    int updates = 0;
    za.OnNewName = [&](TZipArchiver *, int seqNo, const ZipDirEntry &entry) {
        sequence.append(seqNo);
        names.append(entry.FileName);
    };
    za.OnDirUpdate = [&](TZipArchiver *sender) {
        ++updates;
        QCOMPARE(sender->Count(), sequence.size());
    };
    za.setZipFileName(Fixtures::path(QStringLiteral("plain.zip")));
    QCOMPARE(sequence, (QList<int>{1, 2, 3, 4, 5, 6}));
    QCOMPARE(updates, 1);
    QVERIFY(names.contains(QStringLiteral("docs\\deep\\empty.txt")));
    QCOMPARE(host.busyDepth, 0);
    QCOMPARE(host.busyCalls, 2);
}

QTEST_GUILESS_MAIN(TestList)
#include "tst_list.moc"
