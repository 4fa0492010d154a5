// The file named on the wizard's command line: which field it fills.

#include "ArgumentUse.h"

#include <QTest>

class TestArgumentUse : public QObject {
    Q_OBJECT

private slots:
    void uses_data();
    void uses();
};

void TestArgumentUse::uses_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("archive");
    QTest::addColumn<bool>("executable");
    QTest::newRow("archive") << "/a/b.zip" << true << false;
    QTest::newRow("executable in capitals") << "/a/setup.EXE" << false << true;
    QTest::newRow(".Z") << "/a/old.Z" << true << false;
    QTest::newRow(".ZI") << "x.zi" << true << false;
    QTest::newRow("lone dot: both") << "/a/name." << true << true;
    QTest::newRow("no extension") << "/a/readme" << false << false;
    QTest::newRow(".txt") << "/a/notes.txt" << false << false;
    QTest::newRow("dot in a folder only") << "/a.zip/readme" << false << false;
    QTest::newRow(".IP is not a beginning of .ZIP") << "x.ip" << false << false;
    QTest::newRow("nothing") << "" << false << false;
}

void TestArgumentUse::uses()
{
    QFETCH(QString, argument);
    QFETCH(bool, archive);
    QFETCH(bool, executable);
    const ArgumentUse use = argumentUse(argument);
    QCOMPARE(use.archive, archive);
    QCOMPARE(use.executable, executable);
}

QTEST_GUILESS_MAIN(TestArgumentUse)
#include "tst_argumentuse.moc"
