// The compression library interface: loading, the request blocks byte by
// byte, and the callback protocol against a scripted stand-in library.

#include "FakeLibrary.h"
#include "LibraryRequest.h"
#include "ScriptedHost.h"
#include "ZipArchiver.h"

#include <QLibrary>
#include <QDir>
#include <QTest>

#include <cstring>

namespace {

struct Field {
    int offset;
    int size;
    qint64 value; // -1 for a true flag
};

quint32 at(const QByteArray &block, int offset)
{
    quint32 v = 0;
    std::memcpy(&v, block.constData() + offset, 4);
    return v;
}

FakeStep step(int action, int code, int value, const char *text = "")
{
    FakeStep s{action, code, value, {}};
    std::strncpy(s.text, text, sizeof s.text - 1);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(QList<Field>)

class TestLibrary : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void zipRequest_data();
    void zipRequest();
    void zipRequestTexts();
    void unzipRequest_data();
    void unzipRequest();
    void loadingReportsWhatIsMissing();
    void callbackActions();
    void passwordAnswers_data();
    void passwordAnswers();
    void cancelStopsTheLibrary();
    void addPasswordNeedsTwoEqualEntries();

private:
    // Runs the stand-in library with a script; returns its answers.
    QList<FakeStep> runScript(TZipArchiver &za, const QList<FakeStep> &script);
};

void TestLibrary::cleanup()
{
    TZipArchiver za;
    za.UnloadZipLibrary();
    za.UnloadUnzipLibrary();
}

void TestLibrary::zipRequest_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("options");
    QTest::addColumn<QList<Field>>("fields");
    const quint32 some = AddOpts{AddDirNames, AddRecurseDirs, AddEncrypt, AddFreshen, AddUpdate, AddArchiveOnly}.bits();
    QTest::newRow("160") << 160 << 216 << some
                         << QList<Field>{{8, 4, 160}, {16, 4, -1}, {28, 4, -1}, {32, 4, 0}, {44, 4, -1}, {52, 4, -1},
                                         {56, 4, -1}, {60, 4, 6}, {72, 4, 0}, {76, 2, 0xFFFF}, {80, 4, -1}, {88, 4, 0},
                                         {92, 4, 0}, {96, 4, -1}, {100, 4, 0}, {120, 4, 2}, {136, 2, 1}, {138, 2, 0},
                                         {148, 4, 1}, {212, 4, 7}};
    QTest::newRow("151: no fields of 160") << 151 << 216 << some
                                          << QList<Field>{{132, 4, 0}, {136, 2, 0}, {148, 4, 0}, {152, 4, 0}, {212, 4, 7}};
    QTest::newRow("150: the old layout") << 150 << 16520 << quint32(AddOpts{AddFreshen}.bits())
                                         << QList<Field>{{96, 4, 0}, {100, 4, -1}, {120, 4, 2}, {128, 4, 7}};
}

void TestLibrary::zipRequest()
{
    QFETCH(int, version);
    QFETCH(int, size);
    QFETCH(quint32, options);
    QFETCH(QList<Field>, fields);
    TZipArchiver za;
    za.Trace = true;
    za.AddCompLevel = 6;
    za.AddOptions = AddOpts::fromBits(options);
    za.setFSpecArgs({QStringLiteral("a.txt"), QStringLiteral("docs/*.doc")});
    za.setFSpecArgsExcl({QStringLiteral("*.bak")});
    const std::optional<LibraryRequest> r = za.buildZipRequest(version, QStringLiteral("/tmp/x.zip"));
    QVERIFY(r);
    QCOMPARE(r->fixedSize(), size);
    for (const Field &f : fields) {
        const quint32 expected = f.value < 0 ? (f.size == 2 ? 0xFFFFu : 0xFFFFFFFFu) : quint32(f.value);
        const quint32 mask = f.size == 2 ? 0xFFFFu : 0xFFFFFFFFu;
        QVERIFY2((at(r->bytes(), f.offset) & mask) == expected,
                 qPrintable(QStringLiteral("offset %1: %2").arg(f.offset).arg(at(r->bytes(), f.offset) & mask)));
    }
    const char *block = r->bytes().constData();
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 124)), QByteArray("/tmp/x.zip"));
    if (version >= 151) {
        const quint32 slotTable = at(r->bytes(), 140);
        QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), int(slotTable))), QByteArray("a.txt"));
        QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), int(slotTable) + 104)), QByteArray("docs/*.doc"));
    } else {
        QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 132)), QByteArray("a.txt"));
        QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 136)), QByteArray("docs/*.doc"));
    }
}

void TestLibrary::zipRequestTexts()
{
    TZipArchiver za;
    za.Password = QString(90, 'p');
    za.TempDir = QStringLiteral("/var/tmp");
    za.AddOptions = AddOpts{AddSeparateDirs};
    za.setFSpecArgsExcl({QStringLiteral("*.bak"), QStringLiteral("*.tmp")});
    const std::optional<LibraryRequest> r = za.buildZipRequest(160, QStringLiteral("a.zip"));
    QVERIFY(r);
    const char *block = r->bytes().constData();
    QCOMPARE(at(r->bytes(), 44), 0u); // separate folder entries
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 20)), QByteArray(90, 'p')); // never cut
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 24)), QByteArray(".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha"));
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 128)), QByteArray("/var/tmp"));
    QCOMPARE(at(r->bytes(), 140), 0u); // no file patterns
    const quint32 exclusions = at(r->bytes(), 152);
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), int(exclusions) + 4)), QByteArray("*.tmp"));
    QVERIFY(LibraryRequest::pointerAt(block, at(r->bytes(), 12)) != nullptr);

    za.AddStoreSuffixes = AddStoreSuffixSet();
    QCOMPARE(at(za.buildZipRequest(160, QStringLiteral("a.zip"))->bytes(), 24), 0u);
}

void TestLibrary::unzipRequest_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<Field>>("fields");
    QTest::newRow("160") << 160 << 148
                         << QList<Field>{{8, 4, 160}, {28, 4, -1}, {40, 4, -1}, {44, 4, 0}, {48, 4, -1}, {52, 4, 0},
                                         {56, 4, -1}, {60, 4, 0}, {64, 4, 1}, {104, 4, 3}, {144, 4, 7}};
    QTest::newRow("152: no request count") << 152 << 148 << QList<Field>{{104, 4, 0}, {144, 4, 7}};
    QTest::newRow("151: the old layout") << 151 << 16464 << QList<Field>{{64, 4, 1}, {72, 4, 7}};
}

void TestLibrary::unzipRequest()
{
    QFETCH(int, version);
    QFETCH(int, size);
    QFETCH(QList<Field>, fields);
    TZipArchiver za;
    za.ExtrOptions = ExtrOpts{ExtrTest, ExtrUpdate, ExtrFreshen, ExtrDirNames};
    za.setPasswordReqCount(3);
    za.ExtrBaseDir = QDir::tempPath();
    za.setFSpecArgs({QStringLiteral("*.*")});
    const std::optional<LibraryRequest> r = za.buildUnzipRequest(version, QStringLiteral("in.zip"), "secret");
    QVERIFY(r);
    QCOMPARE(r->fixedSize(), size);
    for (const Field &f : fields) {
        const quint32 expected = f.value < 0 ? 0xFFFFFFFFu : quint32(f.value);
        QVERIFY2(at(r->bytes(), f.offset) == expected, qPrintable(QStringLiteral("offset %1").arg(f.offset)));
    }
    const char *block = r->bytes().constData();
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 24)), QByteArray("secret"));
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 68)), QByteArray("in.zip"));
    // Our libraries' extraction folder, in a field the layout leaves free.
    if (version >= 160)
        QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), 108)), QDir::tempPath().toUtf8());
    else if (version >= 152)
        QCOMPARE(at(r->bytes(), 108), 0u);
    const int pattern = version >= 152 ? int(at(r->bytes(), 72)) : 76;
    QCOMPARE(LibraryRequest::textAt(block, at(r->bytes(), pattern)), QByteArray("*.*"));
}

void TestLibrary::loadingReportsWhatIsMissing()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    za.Trace = true;
    za.setDLLDirectory(QStringLiteral(MANTOLE_FAKE_LIB_DIR));
    QVERIFY(za.LoadZipLibrary());
    QCOMPARE(host.shown, QStringList{QStringLiteral("ZIPLIB chargée")});
    host.shown.clear();
    QVERIFY(za.LoadUnzipLibrary()); // loads, but lacks its exec entry
    QCOMPARE(host.shown, QStringList{QStringLiteral("UNZLIB chargée!")} << QStringLiteral("UnzLibExec : fonction introuvable dans UNZLIB.DLL!"));
    za.UnloadZipLibrary();
    za.UnloadUnzipLibrary();

    // A folder without the library: the program's folder, then the system
    // search, and a clear message when neither has it.
    host.shown.clear();
    za.Trace = false;
    za.setDLLDirectory(QStringLiteral("/nonexistent"));
    QVERIFY(!za.LoadZipLibrary());
    QCOMPARE(host.shown, QStringList{QStringLiteral("ZIPLIB.DLL : librairie introuvable!")});
    QCOMPARE(za.ZipLibraryVersion(), 0);
    za.setDLLDirectory(QStringLiteral(MANTOLE_FAKE_LIB_DIR));
    QCOMPARE(za.ZipLibraryVersion(), 160);
}

QList<FakeStep> TestLibrary::runScript(TZipArchiver &za, const QList<FakeStep> &script)
{
    za.setDLLDirectory(QStringLiteral(MANTOLE_FAKE_LIB_DIR));
    if (!za.LoadZipLibrary())
        return {};
    QLibrary fake(QStringLiteral(MANTOLE_FAKE_LIB_DIR "/libziplib.so"));
    auto scriptEntry = reinterpret_cast<FakeScriptEntry>(fake.resolve("FakeScript"));
    auto answersEntry = reinterpret_cast<FakeAnswersEntry>(fake.resolve("FakeAnswers"));
    auto exec = reinterpret_cast<int32_t (*)(void *)>(fake.resolve("ZipLibExec"));
    if (!scriptEntry || !answersEntry || !exec)
        return {};
    scriptEntry(script.constData(), int(script.size()), 160);
    std::optional<LibraryRequest> request = za.buildZipRequest(160, QStringLiteral("a.zip"));
    exec(request->bytes().data());
    int count = 0;
    const FakeStep *answers = answersEntry(&count);
    return QList<FakeStep>(answers, answers + count);
}

void TestLibrary::callbackActions()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    QStringList events;
    za.OnProgress = [&](TZipArchiver *, ProgressType type, const QString &name, int64_t size) {
        events << QStringLiteral("progress %1 %2 %3").arg(int(type)).arg(name).arg(size);
    };
    za.OnMessage = [&](TZipArchiver *, int code, const QString &text) {
        events << QStringLiteral("message %1 %2").arg(code).arg(text);
    };
    za.OnSetNewName = [&](TZipArchiver *, QString &name, bool &changed) {
        events << QStringLiteral("rename %1").arg(name);
        name = QStringLiteral("renamed.txt");
        changed = true;
    };
    const QList<FakeStep> answers = runScript(
        za, {step(5, 0, 2), step(1, 0, 1234, "dir/a.txt  "), step(2, 0, 600), step(4, 0x1203, 0, "trouble"),
             step(7, 0, 0, "old/name.txt "), step(9, 0x1111, 0x2222, "bad.txt"), step(3, 0, 0), step(99, 0, 0)});
    QCOMPARE(answers.size(), 8);
    QCOMPARE(events, (QStringList{QStringLiteral("progress 3  2"), QStringLiteral("progress 0 dir\\a.txt 1234"),
                                  QStringLiteral("progress 1  600"), QStringLiteral("message 4611 trouble"),
                                  QStringLiteral("rename old/name.txt "), QStringLiteral("progress 2  0")}));
    QCOMPARE(za.Message, QStringLiteral("trouble"));
    QCOMPARE(za.ErrCode, 0x03);
    QCOMPARE(za.FullErrCode, 0x1203);
    QCOMPARE(QByteArray(answers[4].text), QByteArray("renamed.txt"));
    QCOMPARE(answers[4].action, 8);
    QCOMPARE(answers[5].code, 2); // no CRC event assigned
    QVERIFY(host.eventRounds >= 8);
}

void TestLibrary::passwordAnswers_data()
{
    QTest::addColumn<int>("how"); // 0 event, 1 dialog typed, 2 dialog cancelled
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("event asks 20 tries: 15") << 0 << 1 << 15 << QByteArray("from event");
    QTest::newRow("typed in the dialog") << 1 << 1 << 4 << QByteArray("typed");
    QTest::newRow("dialog cancelled") << 2 << 0 << 0 << QByteArray("entry.txt");
}

void TestLibrary::passwordAnswers()
{
    QFETCH(int, how);
    QFETCH(int, code);
    QFETCH(int, value);
    QFETCH(QByteArray, text);
    ScriptedHost host;
    TZipArchiver za(&host);
    if (how == 0) {
        za.OnPasswordError = [](TZipArchiver *, QString &password, const QString &, quint32 &repeat) {
            password = QStringLiteral("from event");
            repeat = 20;
        };
    }
    host.passwords = {how == 1 ? std::optional<QString>(QStringLiteral("typed")) : std::nullopt};
    const QList<FakeStep> answers = runScript(za, {step(8, 0, 4, "entry.txt")}); // extraction: bit 0 clear
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers[0].code, code);
    QCOMPARE(answers[0].value, value);
    QCOMPARE(QByteArray(answers[0].text), text);
    QCOMPARE(za.Password, QString()); // only the library gets it
}

void TestLibrary::cancelStopsTheLibrary()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    za.OnProgress = [](TZipArchiver *sender, ProgressType, const QString &, int64_t) { sender->CancelRequested = true; };
    const QList<FakeStep> answers = runScript(za, {step(1, 0, 1, "a"), step(1, 0, 1, "b"), step(1, 0, 1, "c")});
    QCOMPARE(answers.size(), 1);
}

void TestLibrary::addPasswordNeedsTwoEqualEntries()
{
    ScriptedHost host;
    TZipArchiver za(&host);
    host.passwords = {QStringLiteral("one"), QStringLiteral("two")};
    QCOMPARE(za.AskAddPassword(), QString());
    QCOMPARE(za.ErrCode, 10104);
    host.passwords = {QStringLiteral("same"), QStringLiteral("same")};
    QCOMPARE(za.AskAddPassword(), QStringLiteral("same"));
    za.Unattended = true;
    QCOMPARE(za.AskExtractPassword(), QString());
    QCOMPARE(za.ErrCode, 10151);
}

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
