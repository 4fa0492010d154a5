// The store that stands in for HKEY_CLASSES_ROOT.

#include "RegistryStore.h"

#include <QTemporaryDir>
#include <QTest>

class TestRegistryStore : public QObject {
    Q_OBJECT

private slots:
    void keysAndValues();
    void deleteTakesSubkeys();
    void failedWriteNamesTheValue();
};

void TestRegistryStore::keysAndValues()
{
    QTemporaryDir dir;
    RegistryStore store(dir.filePath(QStringLiteral("sub/classes-root.ini")));
    QVERIFY(!store.openKey(QStringLiteral("SOLVREIK\\Prog"), false));
    QVERIFY(store.openKey(QStringLiteral("SOLVREIK\\Prog\\"), true));
    QCOMPARE(store.currentKey(), QStringLiteral("SOLVREIK\\Prog"));
    store.writeString(QStringLiteral("date"), QStringLiteral("1"));
    store.writeString(QStringLiteral("last"), QStringLiteral("/home/user/"));
    store.writeString(QStringLiteral("date"), QStringLiteral("0"));
    QCOMPARE(store.readString(QStringLiteral("DATE")), std::optional<QString>(QStringLiteral("0")));
    QCOMPARE(store.readString(QStringLiteral("last")), std::optional<QString>(QStringLiteral("/home/user/")));
    QVERIFY(!store.readString(QStringLiteral("jjmm")));
    QVERIFY(store.keyExists(QStringLiteral("solvreik"))); // a parent exists through its subkey

    RegistryStore again(dir.filePath(QStringLiteral("sub/classes-root.ini")));
    QVERIFY(again.openKey(QStringLiteral("solvreik\\prog"), false));
    QCOMPARE(again.readString(QStringLiteral("date")), std::optional<QString>(QStringLiteral("0")));
}

void TestRegistryStore::deleteTakesSubkeys()
{
    QTemporaryDir dir;
    RegistryStore store(dir.filePath(QStringLiteral("r.ini")));
    for (const char *key : {"Kvr\\shellex", "Kvr\\shellex\\ContextMenuHandlers\\Mantole", "KvrOther", "Other"}) {
        QVERIFY(store.openKey(QString::fromLatin1(key), true));
        store.writeString(QStringLiteral("v"), QString::fromLatin1(key));
    }
    store.deleteKey(QStringLiteral("Kvr"));
    QVERIFY(!store.keyExists(QStringLiteral("Kvr\\shellex")));
    QVERIFY(!store.keyExists(QStringLiteral("Kvr\\shellex\\ContextMenuHandlers\\Mantole")));
    QVERIFY(store.keyExists(QStringLiteral("KvrOther"))); // a name that only begins alike stays
    QVERIFY(store.keyExists(QStringLiteral("Other")));
    store.deleteKey(QStringLiteral("Missing\\Key")); // passed over
}

void TestRegistryStore::failedWriteNamesTheValue()
{
    RegistryStore store(QStringLiteral("/dev/null/classes-root.ini"));
    try {
        store.writeString(QStringLiteral("last"), QStringLiteral("x"));
        QFAIL("the write should have failed");
    } catch (const RegistryWriteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Erreur à définition des données pour 'last'"));
    }
}

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "tst_registrystore.moc"
