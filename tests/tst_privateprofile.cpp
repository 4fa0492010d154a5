// INI files read and written with the private-profile rules that the
// settings and the language files depend on.

#include "Fixtures.h"
#include "PrivateProfile.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kSample = "; a comment\n"
                           "[wzd]\n"
                           "level=6\n"
                           "  Title  =  Setup  \n"
                           "quoted=\"  spaced  \"\n"
                           "single='x'\n"
                           "empty=\n"
                           "level=7\n"
                           "hex=0x1F4\n"
                           "justhex=0x\n"
                           "word=abc\n"
                           "equals=a=b\n"
                           "[Translations]\n"
                           "WzdForm.LbZip.caption=Choose the archive\n"
                           "\n"
                           "[other]\n"
                           "level=1\n";

} // namespace

class TestPrivateProfile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void reading_data();
    void reading();
    void integers_data();
    void integers();
    void longValueIsCut();
    void writingKeepsOtherLines();
    void writingCreatesFileAndSection();
    void eraseSection();
    void sectionKeys();
    void failedWrite();
    void twoProcessesKeepTheFileReadable();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void TestPrivateProfile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("MANTOLE.INI"));
    QVERIFY(Fixtures::write(m_file, kSample));
}

void TestPrivateProfile::reading_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<missing>" for none
    QTest::newRow("plain") << "wzd" << "level" << "6";
    QTest::newRow("first occurrence wins") << "wzd" << "level" << "6";
    QTest::newRow("names without case") << "WZD" << "LEVEL" << "6";
    QTest::newRow("blanks around key and value") << "wzd" << "title" << "Setup";
    QTest::newRow("blanks in the key asked for") << "wzd" << " title " << "Setup";
    QTest::newRow("double quotes dropped, inner blanks kept") << "wzd" << "quoted" << "  spaced  ";
    QTest::newRow("single quotes dropped") << "wzd" << "single" << "x";
    QTest::newRow("empty value is not missing") << "wzd" << "empty" << "";
    QTest::newRow("split at the first equals sign") << "wzd" << "equals" << "a=b";
    QTest::newRow("key with dots") << "translations" << "WzdForm.LbZip.caption" << "Choose the archive";
    QTest::newRow("other section") << "other" << "level" << "1";
    QTest::newRow("missing key") << "wzd" << "nothing" << "<missing>";
    QTest::newRow("missing section") << "none" << "level" << "<missing>";
}

void TestPrivateProfile::reading()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const std::optional<QString> value = PrivateProfile(m_file).readValue(section, key);
    QCOMPARE(value.value_or(QStringLiteral("<missing>")), expected);
}

void TestPrivateProfile::integers_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << "level" << 6;
    QTest::newRow("hexadecimal") << "hex" << 500;
    QTest::newRow("0x alone is no number") << "justhex" << 42;
    QTest::newRow("not a number") << "word" << 42;
    QTest::newRow("missing") << "nothing" << 42;
}

void TestPrivateProfile::integers()
{
    QFETCH(QString, key);
    QFETCH(int, expected);
    QCOMPARE(PrivateProfile(m_file).readInteger(QStringLiteral("wzd"), key, 42), expected);
}

void TestPrivateProfile::longValueIsCut()
{
    PrivateProfile ini(m_file);
    ini.writeString(QStringLiteral("wzd"), QStringLiteral("long"), QString(1500, 'v'));
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("long"), QString()), QString(1023, 'v'));
}

void TestPrivateProfile::writingKeepsOtherLines()
{
    PrivateProfile ini(m_file);
    ini.writeString(QStringLiteral("WZD"), QStringLiteral("LEVEL"), QStringLiteral("9"));
    ini.writeString(QStringLiteral("wzd"), QStringLiteral("new"), QStringLiteral("value"));
    QCOMPARE(ini.readInteger(QStringLiteral("wzd"), QStringLiteral("level"), 0), 9);
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("new"), QString()), QStringLiteral("value"));
    const QByteArray text = Fixtures::readFile(m_file);
    QVERIFY(text.startsWith("; a comment\n[wzd]\nLEVEL=9\n"));
    QVERIFY(text.contains("equals=a=b\nnew=value\n[Translations]"));
    QVERIFY(text.contains("level=7\n")); // the later duplicate stays
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("MANTOLE.INI")});
}

void TestPrivateProfile::writingCreatesFileAndSection()
{
    const QString fresh = m_dir->filePath(QStringLiteral("fresh.ini"));
    PrivateProfile ini(fresh);
    QCOMPARE(ini.readString(QStringLiteral("general"), QStringLiteral("lang"), QStringLiteral("French")),
             QStringLiteral("French"));
    ini.writeString(QStringLiteral("general"), QStringLiteral("lang"), QStringLiteral("English"));
    ini.writeBool(QStringLiteral("wzd"), QStringLiteral("date"), true);
    QCOMPARE(Fixtures::readFile(fresh), QByteArray("[general]\nlang=English\n[wzd]\ndate=1\n"));
    QVERIFY(ini.readBool(QStringLiteral("wzd"), QStringLiteral("date"), false));
}

void TestPrivateProfile::eraseSection()
{
    PrivateProfile ini(m_file);
    ini.eraseSection(QStringLiteral("translations"));
    QVERIFY(!ini.readValue(QStringLiteral("Translations"), QStringLiteral("WzdForm.LbZip.caption")));
    QCOMPARE(ini.readInteger(QStringLiteral("other"), QStringLiteral("level"), 0), 1);
    QVERIFY(!Fixtures::readFile(m_file).contains("Translations"));
    ini.eraseSection(QStringLiteral("absent")); // nothing to do
}

void TestPrivateProfile::sectionKeys()
{
    PrivateProfile ini(m_file);
    QCOMPARE(ini.readSectionKeys(QStringLiteral("other")), QStringList{QStringLiteral("level")});
    QCOMPARE(ini.readSectionKeys(QStringLiteral("wzd")).first(), QStringLiteral("level"));
    QVERIFY(ini.readSectionKeys(QStringLiteral("absent")).isEmpty());
    // 1000 names of 9 characters: only as many as the buffer holds.
    QByteArray many = "[many]\n";
    for (int i = 0; i < 1000; ++i)
        many += QByteArray::number(100000000 + i) + "=x\n";
    QVERIFY(Fixtures::write(m_file, many));
    QCOMPARE(ini.readSectionKeys(QStringLiteral("many")).size(), (8192 - 1) / 10);
}

void TestPrivateProfile::failedWrite()
{
    const QString impossible = m_dir->filePath(QStringLiteral("no/such/folder/MANTOLE.INI"));
    PrivateProfile ini(impossible);
    try {
        ini.writeString(QStringLiteral("wzd"), QStringLiteral("level"), QStringLiteral("1"));
        QFAIL("the write should have failed");
    } catch (const ProfileWriteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Ne peut écrire dans ") + impossible);
    }
}

// Two programs writing the same file at once (the wizard and a second copy
// of it) may lose each other's latest key, but a reader never finds the
// file missing, cut short or mixed.
void TestPrivateProfile::twoProcessesKeepTheFileReadable()
{
    const QString header = QStringLiteral("[base]\nmarker=kept\n");
    Fixtures::write(m_file, header.toUtf8() + QByteArray(20000, ';') + "\n");
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(PROFILE_WRITER), {m_file, QStringLiteral("one"), QStringLiteral("150")});
    second.start(QStringLiteral(PROFILE_WRITER), {m_file, QStringLiteral("two"), QStringLiteral("150")});
    QVERIFY(first.waitForStarted() && second.waitForStarted());

    const PrivateProfile profile(m_file);
    int reads = 0;
    while (first.state() != QProcess::NotRunning || second.state() != QProcess::NotRunning) {
        QCOMPARE(profile.readString(QStringLiteral("base"), QStringLiteral("marker"), QString()), QStringLiteral("kept"));
        const QByteArray bytes = Fixtures::readFile(m_file);
        QVERIFY(bytes.endsWith('\n'));
        QVERIFY(bytes.contains(QByteArray(20000, ';')));
        ++reads;
        // QProcess learns that a child ended only while it waits for it.
        first.waitForFinished(1);
        second.waitForFinished(1);
    }
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(reads > 0);
    // Whichever wrote last left its own last key in place.
    const bool oneLast = profile.readValue(QStringLiteral("one"), QStringLiteral("k149")).has_value();
    const bool twoLast = profile.readValue(QStringLiteral("two"), QStringLiteral("k149")).has_value();
    QVERIFY(oneLast || twoLast);
}

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
