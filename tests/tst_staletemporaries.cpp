// Leftovers of a killed writer are cleaned; files of the user's that merely
// look like them never are.

#include "Fixtures.h"
#include "PendingFile.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestStaleTemporaries : public QObject {
    Q_OBJECT

private slots:
    void onlyOurShapes_data();
    void onlyOurShapes();
};

void TestStaleTemporaries::onlyOurShapes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("stale");
    QTest::newRow("extraction temporary") << ".photo.jpg.k3j9x0a1b2c4.unzlib-partial" << true;
    QTest::newRow("compression temporary") << "app.zip.ziplib-Ab12Cd" << true;
    QTest::newRow("a user's file named like one") << ".notes.unzlib-partial" << false;
    QTest::newRow("an entry extracted under that name") << "v.txt.unzlib-partial" << false;
    QTest::newRow("a user's backup") << "notes.ziplib-old" << false;
    QTest::newRow("plain file") << "readme.txt" << false;
}

void TestStaleTemporaries::onlyOurShapes()
{
    QFETCH(QString, name);
    QFETCH(bool, stale);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(Fixtures::write(path, "left behind"));
    // Old enough for the age rule, and open in no process.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-2 * PendingFile::kStaleAfterSeconds),
                             QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(PendingFile::isStaleTemporary(dir.path(), name), stale);
    QCOMPARE(PendingFile::removeStaleTemporaries(dir.path()), stale ? 1 : 0);
    QCOMPARE(QFile::exists(path), !stale);
}

QTEST_GUILESS_MAIN(TestStaleTemporaries)
#include "tst_staletemporaries.moc"
