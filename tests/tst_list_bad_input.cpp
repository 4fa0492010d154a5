// Broken and hostile archives: each defect ends in its message and an empty
// list, without a crash or a read past a buffer (the suite runs under
// AddressSanitizer). Also the drives archives lie on: only a drive with
// nothing mounted stops the listing.

#include "Fixtures.h"
#include "ScratchMount.h"
#include "ScriptedHost.h"
#include "VolumeProbe.h"
#include "ZipArchiver.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using Mutation = std::function<void(QByteArray &)>;
Q_DECLARE_METATYPE(Mutation)

namespace {

qsizetype endRecordAt(const QByteArray &zip)
{
    return zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
}

// Offsets of every central header of an archive without a stub.
QList<qsizetype> centralHeaders(const QByteArray &zip)
{
    const qsizetype eoc = endRecordAt(zip);
    QList<qsizetype> at;
    qsizetype p = Fixtures::getU32(zip, eoc + 16);
    while (p < eoc) {
        at.append(p);
        const auto u16 = [&](qsizetype o) {
            return static_cast<unsigned char>(zip[o]) | (static_cast<unsigned char>(zip[o + 1]) << 8);
        };
        p += 46 + u16(p + 28) + u16(p + 30) + u16(p + 32);
    }
    return at;
}

// The drive holding the archive, as the system would describe it.
class StandInDrive final : public VolumeProbe {
public:
    bool mounted = true;
    std::optional<VolumeInfo> info;
    DriveType type = DriveType::Fixed;

    bool isPresent(const QString &) const override { return mounted; }
    std::optional<VolumeInfo> query(const QString &) const override { return mounted ? info : std::nullopt; }
    DriveType driveType(const QString &) const override { return type; }
};

int entriesOfPlainArchive()
{
    TZipArchiver za;
    za.setZipFileName(Fixtures::path(QStringLiteral("plain.zip")));
    return za.Count();
}

} // namespace

class TestListBadInput : public QObject {
    Q_OBJECT

private slots:
    void defects_data();
    void defects();
    void commentLengthPastTheEnd();
    void drives_data();
    void drives();
    void mountThatTellsNoSize();
};

void TestListBadInput::defects_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<QList<int>>("messages");

    const auto replaceAll = [](const QByteArray &with) { return Mutation([with](QByteArray &z) { z = with; }); };
    QByteArray random(5000, '\0');
    QRandomGenerator generator(42);
    for (char &c : random)
        c = static_cast<char>(generator.bounded(256));
    random.replace(QByteArray("PK\x05\x06", 4), QByteArray("PK\x05\x07", 4));

    QTest::newRow("shorter than an end record") << "plain.zip" << replaceAll(QByteArray("PK\x05\x06", 4))
                                                << QList<int>{11036};
    QTest::newRow("empty file") << "plain.zip" << replaceAll(QByteArray()) << QList<int>{11036};
    QTest::newRow("random bytes") << "plain.zip" << replaceAll(random) << QList<int>{11036};
    QTest::newRow("first volume of a numbered set") << "set001.zip" << Mutation([](QByteArray &) {})
                                                    << QList<int>{11045};
    QTest::newRow("more entries than the directory holds")
        << "plain.zip" << Mutation([](QByteArray &z) {
               const qsizetype eoc = endRecordAt(z);
               Fixtures::putU16(z, eoc + 8, 7);
               Fixtures::putU16(z, eoc + 10, 7);
           })
        << QList<int>{11013};
    QTest::newRow("entry count of 65535") << "plain.zip" << Mutation([](QByteArray &z) {
        Fixtures::putU16(z, endRecordAt(z) + 10, 0xFFFF);
    }) << QList<int>{11013};
    QTest::newRow("directory larger than the file")
        << "plain.zip" << Mutation([](QByteArray &z) { Fixtures::putU32(z, endRecordAt(z) + 12, 0x7FFFFFF0); })
        << QList<int>{10203, 10201};
    QTest::newRow("directory offset past the end")
        << "plain.zip" << Mutation([](QByteArray &z) {
               const qsizetype eoc = endRecordAt(z);
               Fixtures::putU32(z, eoc + 12, 0);
               Fixtures::putU16(z, eoc + 10, 1);
               Fixtures::putU32(z, eoc + 16, 0xFFFFFF00);
           })
        << QList<int>{10203, 11013};
    QTest::newRow("central header signature broken")
        << "plain.zip" << Mutation([](QByteArray &z) { z[centralHeaders(z).first() + 3] = 9; })
        << QList<int>{11015};
    QTest::newRow("name length past the end")
        << "plain.zip" << Mutation([](QByteArray &z) { Fixtures::putU16(z, centralHeaders(z).last() + 28, 0xFFFF); })
        << QList<int>{11017};
    QTest::newRow("entry comment length past the end")
        << "plain.zip" << Mutation([](QByteArray &z) { Fixtures::putU16(z, centralHeaders(z).last() + 32, 0xFFFF); })
        << QList<int>{11022};
    QTest::newRow("extra length past the end")
        << "plain.zip" << Mutation([](QByteArray &z) { Fixtures::putU16(z, centralHeaders(z).first() + 30, 0xFFFF); })
        << QList<int>{11013};
    QTest::newRow("Zip64 end record claims 2^60 entries")
        << "zip64-many.zip" << Mutation([](QByteArray &z) {
               const qsizetype record = z.lastIndexOf(QByteArray("PK\x06\x06", 4));
               Fixtures::putU32(z, record + 32, 0);
               Fixtures::putU32(z, record + 36, 0x10000000);
           })
        << QList<int>{11015};
}

void TestListBadInput::defects()
{
    QFETCH(QString, base);
    QFETCH(Mutation, mutate);
    QFETCH(QList<int>, messages);

    QByteArray bytes = Fixtures::read(base);
    mutate(bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.zip"));
    QVERIFY(Fixtures::write(path, bytes));

    ScriptedHost host;
    TZipArchiver za(&host);
    QList<int> reported;
    int updates = 0;
    za.OnMessage = [&](TZipArchiver *sender, int, const QString &) { reported.append(sender->ErrCode); };
    za.OnDirUpdate = [&](TZipArchiver *) { ++updates; };
    za.setZipFileName(path);

    QCOMPARE(reported, messages);
    QCOMPARE(host.shown.size(), messages.size());
    QCOMPARE(za.Count(), 0);
    QVERIFY(za.ZipFileName().isEmpty());
    QCOMPARE(za.ArchiveStart, 0);
    QCOMPARE(updates, 1);
    QCOMPARE(host.busyDepth, 0);
    QVERIFY(!za.InHandle.isOpen());
    QCOMPARE(QFileInfo(path).size(), bytes.size()); // the file is left as it was
}

void TestListBadInput::commentLengthPastTheEnd()
{
    // An archive comment cut short by the end of the file: a warning, the
    // comment as far as it goes, and the entries.
    QByteArray bytes = Fixtures::read(QStringLiteral("comment.zip"));
    const qsizetype eoc = endRecordAt(bytes);
    Fixtures::putU16(bytes, eoc + 20, 0xFFFF);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut-comment.zip"));
    QVERIFY(Fixtures::write(path, bytes));

    ScriptedHost host;
    TZipArchiver za(&host);
    za.setZipFileName(path);
    QCOMPARE(za.ErrCode, 10204);
    QCOMPARE(za.Count(), 6);
    QCOMPARE(za.ArchiveComment, QStringLiteral("An archive comment"));
    QCOMPARE(za.CentralDirOffset, Fixtures::getU32(bytes, eoc + 16));
}

void TestListBadInput::drives_data()
{
    QTest::addColumn<bool>("mounted");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<qint64>("totalBytes");
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("messages");

    const int fixed = int(DriveType::Fixed);
    // What the system says of document portals, sshfs and other FUSE mounts,
    // and of a tmpfs without a size limit: they report a size of 0.
    QTest::newRow("file system that tells no size") << true << true << qint64(-1) << fixed << QList<int>{};
    QTest::newRow("network share that tells no size")
        << true << true << qint64(-1) << int(DriveType::Network) << QList<int>{};
    QTest::newRow("removable disk that tells no size")
        << true << true << qint64(-1) << int(DriveType::Removable) << QList<int>{};
    QTest::newRow("disk of 1 GB") << true << true << qint64(1) << fixed << QList<int>{};
    QTest::newRow("nothing mounted at the drive") << false << true << qint64(1) << fixed << QList<int>{11004};
    QTest::newRow("file system that does not answer") << true << false << qint64(1) << fixed << QList<int>{11004};
}

void TestListBadInput::drives()
{
    QFETCH(bool, mounted);
    QFETCH(bool, answers);
    QFETCH(qint64, totalBytes);
    QFETCH(int, type);
    QFETCH(QList<int>, messages);

    StandInDrive drive;
    drive.mounted = mounted;
    drive.type = DriveType(type);
    if (answers) {
        VolumeInfo info;
        info.label = QStringLiteral("DATA");
        info.totalBytes = totalBytes;
        info.freeBytes = totalBytes;
        drive.info = info;
    }
    ScriptedHost host;
    TZipArchiver za(&host);
    za.setVolumeProbe(&drive);
    QList<int> reported;
    za.OnMessage = [&](TZipArchiver *sender, int, const QString &) { reported.append(sender->ErrCode); };
    za.setZipFileName(Fixtures::path(QStringLiteral("plain.zip")));

    QCOMPARE(reported, messages);
    if (messages.isEmpty()) {
        QCOMPARE(za.Count(), entriesOfPlainArchive());
        QCOMPARE(za.VolumeLabel, QStringLiteral("DATA"));
        QCOMPARE(za.DiskTotalSize, totalBytes);
    } else {
        QCOMPARE(za.Count(), 0);
        QVERIFY(za.ZipFileName().isEmpty());
    }
}

void TestListBadInput::mountThatTellsNoSize()
{
    // The real thing: a tmpfs without a size limit reports 0 blocks, as FUSE
    // mounts do.
    const QString why = ScratchMount::whyUnavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    QTemporaryDir dir;
    ScratchMount mount;
    const QString folder = dir.filePath(QStringLiteral("unsized"));
    if (!mount.mount({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=0")},
                     QStringLiteral("mantole-test"), folder))
        QSKIP(qPrintable(QStringLiteral("this system does not let us mount a tmpfs: ") + mount.error()));
    const QString path = folder + QStringLiteral("/plain.zip");
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), path));

    ScriptedHost host;
    TZipArchiver za(&host);
    za.setZipFileName(path);
    QVERIFY2(host.shown.isEmpty(), qPrintable(host.shown.join('\n')));
    QCOMPARE(za.Count(), entriesOfPlainArchive());
    QCOMPARE(za.DriveRoot, folder + '/');
    QCOMPARE(za.DiskTotalSize, qint64(-1));
    QCOMPARE(za.DiskFreeSpace, qint64(-1));
}

QTEST_GUILESS_MAIN(TestListBadInput)
#include "tst_list_bad_input.moc"
