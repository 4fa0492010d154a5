// Folder histories: sections of the settings file loaded into and saved from
// real combo boxes, and the auto-completing folder box.

#include "AutoCompleteComboBox.h"
#include "ComboHistory.h"
#include "Fixtures.h"
#include "PrivateProfile.h"
#include "VolumeProbe.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestComboHistory : public QObject {
    Q_OBJECT

private slots:
    void loads_data();
    void loads();
    void loadWithoutSectionOrDefaultKeepsTheBox();
    void savesTheSectionFromScratch();
    void emptyListLeavesTheSection();
    void saveFailureRaises();
    void addsNewFoldersOnly();
    void completesTypedText();
    void resetsToDrives_data();
    void resetsToDrives();
    void systemDriveRoots();

private:
    static QStringList items(const QComboBox &combo);
    QTemporaryDir m_dir;
};

QStringList TestComboHistory::items(const QComboBox &combo)
{
    QStringList list;
    for (int i = 0; i < combo.count(); ++i)
        list << combo.itemText(i);
    return list;
}

void TestComboHistory::loads_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("text");

    QTest::newRow("first start") << QByteArray() << QStringList{"/home/u/"} << "/home/u/";
    QTest::newRow("last shown") << QByteArray("n0=D:\\data\\\nn1=E:\\\nlast=F:\\tmp\\\n")
                                << QStringList{"D:\\data\\", "E:\\"} << "F:\\tmp\\";
    QTest::newRow("empty entry skipped, empty last") << QByteArray("n0=D:\\data\\\nn1=\nn2=E:\\\nlast=\n")
                                                     << QStringList{"D:\\data\\", "E:\\"} << "D:\\data\\";
    QTest::newRow("probes as many n keys as there are keys") << QByteArray("n0=/a/\nn5=/b/\nlast=/c/\n")
                                                             << QStringList{"/a/"} << "/c/";
    QTest::newRow("hand-added keys count") << QByteArray("n0=/a/\nnote=x\nn1=/b/\nlast=\n")
                                           << QStringList{"/a/", "/b/"} << "/a/";
    QTest::newRow("only last") << QByteArray("last=/x/\n") << QStringList{} << "/x/";
}

void TestComboHistory::loads()
{
    QFETCH(QByteArray, section);
    QFETCH(QStringList, entries);
    QFETCH(QString, text);

    const QString settings = m_dir.filePath(QStringLiteral("MANTOLE.INI"));
    Fixtures::write(settings, "[wzd]\nlang=1\n[HistoryCfgDir]\n" + section + "[HistoryExtDir]\nn0=/other/\n");
    AutoCompleteComboBox combo;
    combo.addItem(QStringLiteral("/before/"));
    LoadComboHistory(&combo, settings, QStringLiteral("historycfgdir"), QStringLiteral("/home/u/"));
    QCOMPARE(items(combo), entries);
    QCOMPARE(combo.currentText(), text);
    QCOMPARE(combo.lineEdit()->cursorPosition(), text.size());
    QVERIFY(!combo.lineEdit()->hasSelectedText());
}

void TestComboHistory::loadWithoutSectionOrDefaultKeepsTheBox()
{
    QComboBox combo;
    combo.setEditable(true);
    combo.addItem(QStringLiteral("/kept/"));
    combo.setEditText(QStringLiteral("typed"));
    LoadComboHistory(&combo, m_dir.filePath(QStringLiteral("missing.ini")), QStringLiteral("HistoryExtDir"));
    QCOMPARE(items(combo), QStringList{"/kept/"});
    QCOMPARE(combo.currentText(), QStringLiteral("typed"));
}

void TestComboHistory::savesTheSectionFromScratch()
{
    const QString settings = m_dir.filePath(QStringLiteral("save.ini"));
    Fixtures::write(settings, "[HistoryCfgDir]\nhand=added\nn0=/old/\n[wzd]\nsow=1\n");
    QComboBox combo;
    combo.setEditable(true);
    combo.addItems({QStringLiteral("/a/"), QStringLiteral("  "), QStringLiteral("/b/"), QString()});
    combo.setEditText(QStringLiteral("/typed"));
    SaveComboHistory(&combo, settings, QStringLiteral("HistoryCfgDir"));

    QCOMPARE(items(combo), QStringList({"/a/", "/b/"}));
    const PrivateProfile file(settings);
    QCOMPARE(file.readSectionKeys(QStringLiteral("HistoryCfgDir")), QStringList({"n0", "n1", "last"}));
    QCOMPARE(file.readString(QStringLiteral("HistoryCfgDir"), QStringLiteral("n1"), QString()), QStringLiteral("/b/"));
    QCOMPARE(file.readString(QStringLiteral("HistoryCfgDir"), QStringLiteral("last"), QString()), QStringLiteral("/typed"));
    QCOMPARE(file.readInteger(QStringLiteral("wzd"), QStringLiteral("sow"), 0), 1);

    // And back.
    QComboBox loaded;
    loaded.setEditable(true);
    LoadComboHistory(&loaded, settings, QStringLiteral("HistoryCfgDir"), QStringLiteral("/home/"));
    QCOMPARE(items(loaded), QStringList({"/a/", "/b/"}));
    QCOMPARE(loaded.currentText(), QStringLiteral("/typed"));
}

void TestComboHistory::emptyListLeavesTheSection()
{
    const QString settings = m_dir.filePath(QStringLiteral("empty.ini"));
    const QByteArray before = "[HistoryExtDir]\nn0=/x/\nlast=/x/\n";
    Fixtures::write(settings, before);
    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("/y/"));
    SaveComboHistory(&combo, settings, QStringLiteral("HistoryExtDir"));
    QCOMPARE(Fixtures::readFile(settings), before);
}

void TestComboHistory::saveFailureRaises()
{
    Fixtures::write(m_dir.filePath(QStringLiteral("file")), "x");
    const QString settings = m_dir.filePath(QStringLiteral("file/MANTOLE.INI"));
    QComboBox combo;
    combo.addItem(QStringLiteral("/a/"));
    QVERIFY_THROWS_EXCEPTION(ProfileWriteError, SaveComboHistory(&combo, settings, QStringLiteral("HistoryCfgDir")));
}

void TestComboHistory::addsNewFoldersOnly()
{
    AutoCompleteComboBox combo;
    combo.addItem(QStringLiteral("/home/"));
    combo.setEditText(QStringLiteral("/data/work"));
    AddComboHistory(&combo);
    QCOMPARE(items(combo), QStringList({"/home/", "/data/work/"}));
    QCOMPARE(combo.currentText(), QStringLiteral("/data/work/"));
    AddComboHistory(&combo);
    combo.setEditText(QStringLiteral("/DATA/Work/"));
    AddComboHistory(&combo);
    combo.setEditText(QString());
    AddComboHistory(&combo);
    QCOMPARE(items(combo), QStringList({"/home/", "/data/work/"}));
}

void TestComboHistory::completesTypedText()
{
    AutoCompleteComboBox combo;
    QLineEdit *edit = combo.lineEdit();
    QTest::keyClicks(edit, QStringLiteral("/da")); // empty list: nothing to complete
    QCOMPARE(combo.currentText(), QStringLiteral("/da"));

    combo.addItems({QStringLiteral("/home/"), QStringLiteral("/data/"), QStringLiteral("/dav/")});
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("/DA"));
    QCOMPARE(combo.currentText(), QStringLiteral("/DAta/")); // the first entry in list order
    QCOMPARE(edit->selectedText(), QStringLiteral("ta/"));

    QTest::keyClick(edit, Qt::Key_Backspace); // removes the completion, and completes nothing
    QCOMPARE(combo.currentText(), QStringLiteral("/DA"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(combo.currentText(), QStringLiteral("/D"));
    QTest::keyClicks(edit, QStringLiteral("av"));
    QCOMPARE(combo.currentText(), QStringLiteral("/Dav/"));
    QCOMPARE(edit->selectedText(), QStringLiteral("/"));
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(combo.currentText(), QStringLiteral("/Dav"));
    QTest::keyClicks(edit, QStringLiteral("x"));
    QCOMPARE(combo.currentText(), QStringLiteral("/Davx"));
}

void TestComboHistory::resetsToDrives_data()
{
    QTest::addColumn<QStringList>("roots");
    QTest::addColumn<QString>("text");
    QTest::newRow("several") << QStringList{"/", "/home/", "/media/usb/"} << "/home/";
    QTest::newRow("one") << QStringList{"/"} << "";
}

void TestComboHistory::resetsToDrives()
{
    QFETCH(QStringList, roots);
    QFETCH(QString, text);
    AutoCompleteComboBox combo;
    combo.addItems({QStringLiteral("/old/"), QStringLiteral("/older/")});
    combo.setEditText(QStringLiteral("/old/"));
    ResetComboToDrives(&combo, roots);
    QCOMPARE(items(combo), roots);
    QCOMPARE(combo.currentText(), text);
}

void TestComboHistory::systemDriveRoots()
{
    const QStringList roots = VolumeProbe::driveRoots();
    QVERIFY(!roots.isEmpty());
    QCOMPARE(roots.first(), QStringLiteral("/"));
    for (const QString &root : roots)
        QVERIFY(root.endsWith('/') && roots.count(root) == 1);
}

QTEST_MAIN(TestComboHistory)
#include "tst_combohistory.moc"
