// Archives spread over several volumes: numbered files on a fixed disk, and
// removable disks asked for one by one (a stand-in drive whose disk the
// scripted host swaps).

#include "Fixtures.h"
#include "Referees.h"
#include "ScratchMount.h"
#include "ScriptedHost.h"
#include "VolumeProbe.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A removable drive mounted at a folder; inserting a disk puts that volume's
// file under the archive's name and gives the drive that disk's label.
class RemovableDrive final : public VolumeProbe {
public:
    RemovableDrive(const QString &folder, const QString &setName)
        : m_folder(folder), m_setName(setName) {}

    QString archivePath() const { return m_folder + QStringLiteral("/disk.zip"); }
    void insert(int disk) // counted from 1
    {
        QFile::remove(archivePath());
        QFile::copy(Fixtures::path(QStringLiteral("%1%2.zip").arg(m_setName).arg(disk, 3, 10, QChar('0'))),
                    archivePath());
        m_label = QStringLiteral("PKBACK# %1").arg(disk, 3, 10, QChar('0'));
    }
    ScriptedHost::DiskAnswer inserting(int disk)
    {
        return [this, disk](const ScriptedHost::DiskQuestion &) {
            insert(disk);
            return true;
        };
    }

    QString rootOf(const QString &) const override { return m_folder + '/'; }
    bool isPresent(const QString &) const override { return true; }
    std::optional<VolumeInfo> query(const QString &) const override
    {
        VolumeInfo info;
        info.label = m_label;
        info.totalBytes = 1440 * 1024;
        info.freeBytes = 0;
        return info;
    }
    DriveType driveType(const QString &) const override { return DriveType::Removable; }
    QStringList removableRoots() const override { return {m_folder + '/'}; }

private:
    QString m_folder;
    QString m_setName;
    QString m_label;
};

// Removable disks as a desktop mounts them: each at a folder named after its
// label, and a disk taken out takes its folder along. The set's file lies in
// a folder of each disk.
class DesktopDisks final : public VolumeProbe {
public:
    DesktopDisks(const QString &media, const QString &setName) : m_media(media), m_setName(setName) {}

    static QString label(int disk) { return QStringLiteral("PKBACK# %1").arg(disk, 3, 10, QChar('0')); }
    QString root(int disk) const { return m_media + '/' + label(disk) + '/'; }
    QString archivePath(int disk) const { return root(disk) + QStringLiteral("backup/disk.zip"); }

    void plug(int disk)
    {
        QDir().mkpath(root(disk) + QStringLiteral("backup"));
        QFile::copy(Fixtures::path(QStringLiteral("%1%2.zip").arg(m_setName).arg(disk, 3, 10, QChar('0'))),
                    archivePath(disk));
        m_mounted.append({root(disk), label(disk)});
    }
    // A disk of another set under the same label, with its own file: the
    // desktop mounts it at the label followed by a digit.
    void plugStranger(int disk)
    {
        const QString folder = m_media + '/' + label(disk) + QStringLiteral("1/");
        QDir().mkpath(folder + QStringLiteral("backup"));
        QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), folder + QStringLiteral("backup/other.zip"));
        m_mounted.prepend({folder, label(disk)});
    }
    void unplugAll()
    {
        for (const auto &[folder, name] : std::as_const(m_mounted))
            QDir(folder).removeRecursively();
        m_mounted.clear();
    }
    // What the user does at a disk question: n > 0 takes every disk out and
    // puts disk n in; n < 0 puts disk -n in another drive; 0 only confirms.
    ScriptedHost::DiskAnswer acting(int action)
    {
        return [this, action](const ScriptedHost::DiskQuestion &) {
            if (action > 0)
                unplugAll();
            if (action != 0)
                plug(std::abs(action));
            return true;
        };
    }

    QString rootOf(const QString &path) const override
    {
        for (const auto &[folder, name] : m_mounted)
            if (path.startsWith(folder))
                return folder;
        return QString();
    }
    bool isPresent(const QString &root) const override { return labelAt(root).has_value(); }
    std::optional<VolumeInfo> query(const QString &root) const override
    {
        const std::optional<QString> name = labelAt(root);
        if (!name)
            return std::nullopt;
        VolumeInfo info;
        info.label = *name;
        info.totalBytes = 1440 * 1024;
        info.freeBytes = 0;
        return info;
    }
    DriveType driveType(const QString &) const override { return DriveType::Removable; }
    QStringList removableRoots() const override
    {
        QStringList roots;
        for (const auto &[folder, name] : m_mounted)
            roots << folder;
        return roots;
    }

private:
    std::optional<QString> labelAt(const QString &root) const
    {
        for (const auto &[folder, name] : m_mounted)
            if (folder == root)
                return name;
        return std::nullopt;
    }

    QString m_media;
    QString m_setName;
    QList<std::pair<QString, QString>> m_mounted; // folder, label
};

// A set on a removable drive with its last disk inserted, as a user picks it.
struct RemovableSet {
    RemovableSet(const QString &setName, int volumes) : probe(drive.path(), setName)
    {
        probe.insert(volumes);
        za.setVolumeProbe(&probe);
    }
    QString root() const { return drive.path() + '/'; }
    QString outputFolder() const { return out.path() + '/'; }

    QTemporaryDir drive;
    QTemporaryDir out;
    RemovableDrive probe;
    ScriptedHost host;
    TZipArchiver za{&host};
};

QString question(int disk, int of, const QString &root)
{
    return QStringLiteral("Insérer le volume n°%1 sur %2\ndans le lecteur: %3").arg(disk).arg(of).arg(root);
}

// Disk images on loop devices standing in for USB disks. The kernel calls a
// loop device fixed, so those mounted under the media folder count as
// removable here; mounts, labels and the folders made and taken away are the
// system's own.
class LoopDisks final : public VolumeProbe {
public:
    explicit LoopDisks(const QString &media) : m_media(media + '/') {}
    DriveType driveType(const QString &root) const override
    {
        return root.startsWith(m_media) ? DriveType::Removable : VolumeProbe::driveType(root);
    }

private:
    QString m_media;
};

// The program that makes a file system with a label on a disk image, and its
// options: FAT as on USB disks when this kernel mounts it, else ext2.
std::optional<QStringList> imageMaker()
{
    const QByteArray known = Fixtures::readFile(QStringLiteral("/proc/filesystems"));
    const QStringList sbin{QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")};
    const auto find = [&](const QString &name) {
        const QString found = QStandardPaths::findExecutable(name);
        return found.isEmpty() ? QStandardPaths::findExecutable(name, sbin) : found;
    };
    if (known.contains("\tvfat\n") && !find(QStringLiteral("mkfs.vfat")).isEmpty())
        return QStringList{find(QStringLiteral("mkfs.vfat")), QStringLiteral("-n")};
    if (known.contains("\text2\n") && !find(QStringLiteral("mkfs.ext2")).isEmpty())
        return QStringList{find(QStringLiteral("mkfs.ext2")), QStringLiteral("-q"), QStringLiteral("-F"),
                           QStringLiteral("-L")};
    return std::nullopt;
}

// What each disk question asked for: the disk number, 0 for the last disk.
QList<int> disksAskedFor(const ScriptedHost &host)
{
    QList<int> disks;
    for (const ScriptedHost::DiskQuestion &q : host.diskQuestions) {
        const QString first = q.text.section('\n', 0, 0);
        disks << (first.startsWith(QStringLiteral("Insérer le volume n°")) ? first.section(QChar(0xB0), 1).section(' ', 0, 0).toInt()
                                                                           : 0);
    }
    return disks;
}

QStringList questionTexts(const ScriptedHost &host)
{
    QStringList texts;
    for (const ScriptedHost::DiskQuestion &q : host.diskQuestions)
        texts.append(q.text);
    return texts;
}

QStringList names(const TZipArchiver &za)
{
    QStringList list;
    for (const ZipDirEntry &e : za.Entries())
        list.append(e.FileName);
    return list;
}

// Copies a numbered set into a folder of the test's own.
void copySet(const QString &setName, int volumes, const QString &folder)
{
    for (int i = 1; i <= volumes; ++i) {
        const QString name = QStringLiteral("%1%2.zip").arg(setName).arg(i, 3, 10, QChar('0'));
        QVERIFY(QFile::copy(Fixtures::path(name), folder + '/' + name));
    }
}

// Points the trash at a folder of the test's own while it lives: the home
// folder moves there too, so files beside it are trashed into it.
class TrashInside {
public:
    explicit TrashInside(const QString &folder)
        : m_home(qgetenv("HOME")), m_data(qgetenv("XDG_DATA_HOME")), m_folder(folder + QStringLiteral("/.home"))
    {
        QDir().mkpath(m_folder + QStringLiteral("/data"));
        qputenv("HOME", QFile::encodeName(m_folder));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder + QStringLiteral("/data")));
    }
    ~TrashInside()
    {
        qputenv("HOME", m_home);
        if (m_data.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_data);
    }
    // The contents of the files in the trash.
    QList<QByteArray> files() const
    {
        QList<QByteArray> contents;
        const QDir trashed(m_folder + QStringLiteral("/data/Trash/files"));
        for (const QString &name : trashed.entryList(QDir::Files | QDir::Hidden))
            contents << Fixtures::readFile(trashed.filePath(name));
        return contents;
    }

private:
    QByteArray m_home;
    QByteArray m_data;
    QString m_folder;
};

} // namespace

class TestReadSpan : public QObject {
    Q_OBJECT

private slots:
    void numberedSetListsAcrossVolumes_data();
    void numberedSetListsAcrossVolumes();
    void joinsNumberedSet_data();
    void joinsNumberedSet();
    void joinsIntoNamedFile_data();
    void joinsIntoNamedFile();
    void failedJoinKeepsNamedFile_data();
    void failedJoinKeepsNamedFile();
    void missingVolumeFile();
    void firstVolumePickedInsteadOfLast();
    void removableDisksAreAskedFor();
    void wrongDiskIsAskedAgain();
    void cancelledPromptShowsNothing();
    void unattendedCannotAskForDisks();
    void removableListFollowsDirectory();
    void earlierDiskPickedInsteadOfLast_data();
    void earlierDiskPickedInsteadOfLast();
    void disksMountedApart_data();
    void disksMountedApart();
    void disksOnLoopDevices();
};

void TestReadSpan::numberedSetListsAcrossVolumes_data()
{
    QTest::addColumn<QString>("setName");
    QTest::addColumn<int>("volumes");
    QTest::addColumn<int>("count");
    QTest::newRow("directory on the last volume") << "set" << 3 << 2;
    QTest::newRow("directory across three volumes") << "long" << 5 << 1500;
}

void TestReadSpan::numberedSetListsAcrossVolumes()
{
    QFETCH(QString, setName);
    QFETCH(int, volumes);
    QFETCH(int, count);
    ScriptedHost host;
    TZipArchiver za(&host);
    za.setZipFileName(Fixtures::path(QStringLiteral("%1%2.zip").arg(setName).arg(volumes, 3, 10, QChar('0'))));
    QVERIFY2(host.shown.isEmpty(), qPrintable(host.shown.join('\n')));
    QVERIFY(host.diskQuestions.empty()); // numbered files need no prompt
    QCOMPARE(za.Count(), count);
    QVERIFY(za.Spanned);
    QCOMPARE(za.LastDisk, volumes - 1);
}

void TestReadSpan::joinsNumberedSet_data()
{
    QTest::addColumn<QString>("setName");
    QTest::addColumn<int>("volumes");
    QTest::addColumn<QString>("comment");
    QTest::newRow("two files and a comment") << "set" << 3 << "set comment";
    QTest::newRow("1500 files, directory across volumes") << "long" << 5 << "";
}

void TestReadSpan::joinsNumberedSet()
{
    QFETCH(QString, setName);
    QFETCH(int, volumes);
    QFETCH(QString, comment);
    QTemporaryDir dir;
    copySet(setName, volumes, dir.path());
    const QString last = dir.filePath(QStringLiteral("%1%2.zip").arg(setName).arg(volumes, 3, 10, QChar('0')));

    ScriptedHost host;
    TZipArchiver za(&host);
    za.setZipFileName(last);
    const QStringList spannedNames = names(za);
    QList<std::pair<int, qint64>> progress;
    QStringList copying;
    za.OnProgress = [&](TZipArchiver *, ProgressType type, const QString &, int64_t size) {
        progress.append({int(type), size});
    };
    za.OnMessage = [&](TZipArchiver *, int, const QString &text) { copying.append(text); };

    QString target = dir.path() + '/';
    QCOMPARE(za.ReadSpan(last, target), 0);
    QVERIFY2(host.shown.isEmpty(), qPrintable(host.shown.join('\n')));
    QVERIFY(!za.UnzipBusy);
    QVERIFY(target.startsWith(dir.path() + QStringLiteral("/zip")));
    QVERIFY(target.endsWith(QStringLiteral(".zip")));
    QCOMPARE(QFileInfo(target).lastModified(), QFileInfo(last).lastModified());
    QCOMPARE(progress.first(), std::make_pair(int(ptTotalFiles), qint64(spannedNames.size())));
    QCOMPARE(progress.last(), std::make_pair(int(ptEndOfBatch), qint64(0)));
    QCOMPARE(copying.size(), spannedNames.size());
    QVERIFY(copying.first().startsWith(QStringLiteral("Copie en cours: ")));
    Referees::verifyArchive(target);

    TZipArchiver joined(&host);
    joined.setZipFileName(target);
    QCOMPARE(names(joined), spannedNames);
    QVERIFY(!joined.Spanned);
    QCOMPARE(joined.ArchiveComment, comment);
    QVERIFY(!joined.OffsetsMismatch);
}

void TestReadSpan::joinsIntoNamedFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("previous"); // what the name held before; null for nothing
    QTest::addColumn<int>("howToDelete");
    QTest::newRow("new name with another extension") << "joined.tmp" << QByteArray() << int(htdFinal);
    QTest::newRow("new name without extension") << "joined" << QByteArray() << int(htdFinal);
    QTest::newRow("existing file replaced") << "joined.zip" << QByteArray("previous file") << int(htdFinal);
    QTest::newRow("existing file replaced, the old one to the trash")
        << "joined.zip" << QByteArray("previous file") << int(htdAllowUndo);
    QTest::newRow("existing file with another extension replaced")
        << "joined.tmp" << QByteArray("previous file") << int(htdAllowUndo);
}

void TestReadSpan::joinsIntoNamedFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, previous);
    QFETCH(int, howToDelete);
    QTemporaryDir dir;
    copySet(QStringLiteral("set"), 3, dir.path());
    const TrashInside trash(dir.path());
    const QString named = dir.filePath(name);
    if (!previous.isNull())
        QVERIFY(Fixtures::write(named, previous));
    // Somebody else's file under the name with ".zip": not ours to touch.
    const QString bystander = dir.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".zip"));
    if (bystander != named)
        QVERIFY(Fixtures::write(bystander, "somebody else's"));

    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = DeleteOpts(howToDelete);
    QString target = named;
    QCOMPARE(za.ReadSpan(dir.filePath(QStringLiteral("set003.zip")), target), 0);
    QVERIFY2(host.shown.isEmpty(), qPrintable(host.shown.join('\n')));
    QCOMPARE(target, named);
    Referees::verifyArchive(named);
    if (bystander != named)
        QCOMPARE(Fixtures::readFile(bystander), QByteArray("somebody else's"));
    QStringList expected{QStringLiteral("set001.zip"), QStringLiteral("set002.zip"), QStringLiteral("set003.zip"),
                         name};
    if (bystander != named)
        expected << QFileInfo(bystander).fileName();
    expected.sort();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected); // no temporary file left
    const bool toTrash = !previous.isNull() && howToDelete == htdAllowUndo;
    QCOMPARE(trash.files(), toTrash ? QList<QByteArray>{previous} : QList<QByteArray>{});
}

void TestReadSpan::failedJoinKeepsNamedFile_data()
{
    QTest::addColumn<QString>("volume");
    QTest::addColumn<bool>("removed"); // else its first bytes are zeroed
    QTest::addColumn<int>("howToDelete");
    QTest::addColumn<int>("error");
    QTest::newRow("volume missing") << "set002.zip" << true << int(htdFinal) << 11001;
    QTest::newRow("volume missing, erasing to the trash") << "set002.zip" << true << int(htdAllowUndo) << 11001;
    QTest::newRow("first volume without its mark") << "set001.zip" << false << int(htdAllowUndo) << 11031;
}

void TestReadSpan::failedJoinKeepsNamedFile()
{
    QFETCH(QString, volume);
    QFETCH(bool, removed);
    QFETCH(int, howToDelete);
    QFETCH(int, error);
    QTemporaryDir dir;
    copySet(QStringLiteral("set"), 3, dir.path());
    if (removed) {
        QVERIFY(QFile::remove(dir.filePath(volume)));
    } else {
        QByteArray bytes = Fixtures::readFile(dir.filePath(volume));
        bytes.replace(0, 4, QByteArray(4, '\0'));
        QVERIFY(Fixtures::write(dir.filePath(volume), bytes));
    }
    const TrashInside trash(dir.path());
    const QString named = dir.filePath(QStringLiteral("joined.zip"));
    QVERIFY(Fixtures::write(named, "previous file"));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);

    ScriptedHost host;
    TZipArchiver za(&host);
    za.HowToDelete = DeleteOpts(howToDelete);
    QString target = named;
    QCOMPARE(za.ReadSpan(dir.filePath(QStringLiteral("set003.zip")), target), -7);
    QCOMPARE(za.ErrCode, error);
    QVERIFY(target.isEmpty());
    QCOMPARE(Fixtures::readFile(named), QByteArray("previous file"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    QVERIFY(trash.files().isEmpty());
}

void TestReadSpan::missingVolumeFile()
{
    QTemporaryDir dir;
    copySet(QStringLiteral("set"), 3, dir.path());
    QFile::remove(dir.filePath(QStringLiteral("set002.zip")));
    ScriptedHost host;
    TZipArchiver za(&host);
    QString target = dir.path() + '/';
    QCOMPARE(za.ReadSpan(dir.filePath(QStringLiteral("set003.zip")), target), -7);
    QCOMPARE(za.ErrCode, 11001);
    QCOMPARE(host.shown, QStringList{QStringLiteral("Le fichier spécifié en entrée n'existe pas")});
    QVERIFY(target.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no joined file left behind
}

void TestReadSpan::firstVolumePickedInsteadOfLast()
{
    QTemporaryDir dir;
    copySet(QStringLiteral("set"), 3, dir.path());
    ScriptedHost host;
    TZipArchiver za(&host);
    QString target = dir.path() + '/';
    QCOMPARE(za.ReadSpan(dir.filePath(QStringLiteral("set001.zip")), target), -7);
    QCOMPARE(za.ErrCode, 11037);
    QVERIFY(target.isEmpty());

    target = dir.path() + '/';
    QCOMPARE(za.ReadSpan(dir.filePath(QStringLiteral("set002.zip")), target), -7);
    QCOMPARE(za.Message, QStringLiteral("Ceci est le 2ème disque d'une sauvegarde,\ninsérer le dernier disque"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

void TestReadSpan::removableDisksAreAskedFor()
{
    RemovableSet set(QStringLiteral("set"), 3);
    set.host.diskAnswers = {set.probe.inserting(1), set.probe.inserting(2), set.probe.inserting(3)};
    QString target = set.outputFolder();
    QCOMPARE(set.za.ReadSpan(set.probe.archivePath(), target), 0);
    const QString root = set.root();
    QCOMPARE(questionTexts(set.host), (QStringList{question(1, 3, root), question(2, 3, root), question(3, 3, root)}));
    QVERIFY(!set.host.diskQuestions.front().stopIcon);
    Referees::verifyArchive(target);
}

void TestReadSpan::wrongDiskIsAskedAgain()
{
    RemovableSet set(QStringLiteral("set"), 3);
    set.host.diskAnswers = {set.probe.inserting(2), set.probe.inserting(1), set.probe.inserting(2),
                            set.probe.inserting(3)};
    QString target = set.outputFolder();
    QCOMPARE(set.za.ReadSpan(set.probe.archivePath(), target), 0);
    const QString root = set.root();
    QCOMPARE(questionTexts(set.host), (QStringList{question(1, 3, root), question(1, 3, root),
                                                   question(2, 3, root), question(3, 3, root)}));
}

void TestReadSpan::cancelledPromptShowsNothing()
{
    RemovableSet set(QStringLiteral("set"), 3); // no answers: the first question is cancelled
    QString target = set.outputFolder();
    QCOMPARE(set.za.ReadSpan(set.probe.archivePath(), target), -7);
    QCOMPARE(set.za.ErrCode, 11007);
    QVERIFY(set.host.shown.isEmpty());
    QVERIFY(target.isEmpty());
    QVERIFY(QDir(set.out.path()).isEmpty());
    QCOMPARE(set.host.busyDepth, 0);
}

void TestReadSpan::unattendedCannotAskForDisks()
{
    RemovableSet set(QStringLiteral("set"), 3);
    set.za.Unattended = true;
    QString target = set.outputFolder();
    QCOMPARE(set.za.ReadSpan(set.probe.archivePath(), target), -7);
    QCOMPARE(set.za.ErrCode, 11025);
    QVERIFY(set.host.diskQuestions.empty());
    QVERIFY(set.host.shown.isEmpty());
}

void TestReadSpan::removableListFollowsDirectory()
{
    // The directory starts on disk 3 of 5 and runs to the last disk.
    RemovableSet set(QStringLiteral("long"), 5);
    set.host.diskAnswers = {set.probe.inserting(3), set.probe.inserting(4), set.probe.inserting(5)};
    set.za.setZipFileName(set.probe.archivePath());
    const QString root = set.root();
    QCOMPARE(questionTexts(set.host), (QStringList{question(3, 5, root), question(4, 5, root), question(5, 5, root)}));
    QCOMPARE(set.za.Count(), 1500);
    QVERIFY(set.host.shown.isEmpty());

    // Cancelled half way: no error box, and an empty list.
    ScriptedHost cancelling;
    set.probe.insert(5);
    set.za.setHost(&cancelling);
    cancelling.diskAnswers = {set.probe.inserting(3)};
    set.za.setZipFileName(set.probe.archivePath());
    QCOMPARE(set.za.Count(), 0);
    QVERIFY(cancelling.shown.isEmpty());
    QCOMPARE(set.za.ErrCode, 11007);
}

void TestReadSpan::earlierDiskPickedInsteadOfLast_data()
{
    QTest::addColumn<int>("disk");
    QTest::addColumn<QString>("message");
    QTest::newRow("first disk") << 1
                                << QStringLiteral("Ceci est le premier disque d'une sauvegarde,\ninsérer le dernier disque");
    QTest::newRow("second disk") << 2
                                 << QStringLiteral("Ceci est le 2ème disque d'une sauvegarde,\ninsérer le dernier disque");
}

void TestReadSpan::earlierDiskPickedInsteadOfLast()
{
    QFETCH(int, disk);
    QFETCH(QString, message);
    RemovableSet set(QStringLiteral("set"), 3);
    set.probe.insert(disk);
    set.za.setZipFileName(set.probe.archivePath());
    QCOMPARE(set.host.shown, QStringList{message});
    QCOMPARE(set.za.Count(), 0);
}

void TestReadSpan::disksMountedApart_data()
{
    QTest::addColumn<QString>("setName");
    QTest::addColumn<bool>("join"); // else list
    QTest::addColumn<int>("picked");
    QTest::addColumn<QList<int>>("plugged");
    QTest::addColumn<bool>("stranger");
    QTest::addColumn<QList<int>>("actions"); // see DesktopDisks::acting
    QTest::addColumn<QList<int>>("asked");
    QTest::addColumn<int>("count");

    QTest::newRow("one drive, disks swapped") << "set" << true << 3 << QList<int>{3} << false
                                              << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << 2;
    QTest::newRow("wrong disk first") << "set" << true << 3 << QList<int>{3} << false
                                      << QList<int>{2, 1, 2, 3} << QList<int>{1, 1, 2, 3} << 2;
    QTest::newRow("every disk in a drive of its own") << "set" << true << 3 << QList<int>{1, 2, 3} << false
                                                      << QList<int>{0, 0, 0} << QList<int>{1, 2, 3} << 2;
    QTest::newRow("first disk picked, last one in another drive")
        << "set" << true << 1 << QList<int>{1, 3} << false << QList<int>{0, -2, 0} << QList<int>{1, 2, 3} << 2;
    QTest::newRow("first disk picked, last one asked for")
        << "set" << true << 1 << QList<int>{1} << false << QList<int>{3, 1, 2, 3} << QList<int>{0, 1, 2, 3} << 2;
    QTest::newRow("another set's disk under the same label") << "set" << true << 3 << QList<int>{3} << true
                                                             << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << 2;
    QTest::newRow("directory read across disks swapped") << "long" << false << 5 << QList<int>{5} << false
                                                         << QList<int>{3, 4, 5} << QList<int>{3, 4, 5} << 1500;
}

void TestReadSpan::disksMountedApart()
{
    QFETCH(QString, setName);
    QFETCH(bool, join);
    QFETCH(int, picked);
    QFETCH(QList<int>, plugged);
    QFETCH(bool, stranger);
    QFETCH(QList<int>, actions);
    QFETCH(QList<int>, asked);
    QFETCH(int, count);

    QTemporaryDir media;
    QTemporaryDir out;
    DesktopDisks disks(media.path(), setName);
    for (int disk : plugged)
        disks.plug(disk);
    if (stranger)
        disks.plugStranger(1);
    ScriptedHost host;
    for (int action : actions)
        host.diskAnswers.push_back(disks.acting(action));
    TZipArchiver za(&host);
    za.setVolumeProbe(&disks);

    if (join) {
        QString target = out.path() + '/';
        QCOMPARE(za.ReadSpan(disks.archivePath(picked), target), 0);
        TZipArchiver joined;
        joined.setZipFileName(target);
        QCOMPARE(joined.Count(), count);
        Referees::verifyArchive(target);
    } else {
        za.setZipFileName(disks.archivePath(picked));
        QCOMPARE(za.Count(), count);
    }
    QVERIFY2(host.shown.isEmpty(), qPrintable(host.shown.join('\n')));
    QCOMPARE(disksAskedFor(host), asked);
}

void TestReadSpan::disksOnLoopDevices()
{
    // Three disk images labelled "PKBACK# 001"..., each mounted in turn at a
    // folder named after its label while the set is joined, as a desktop
    // mounts USB disks.
    const QString why = ScratchMount::whyLoopUnavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    const std::optional<QStringList> maker = imageMaker();
    if (!maker)
        QSKIP("no file system to make disk images with: neither mkfs.vfat (dosfstools) with a kernel that "
              "mounts vfat, nor mkfs.ext2");

    QTemporaryDir work;
    QTemporaryDir out;
    const QString media = work.filePath(QStringLiteral("media"));
    const auto image = [&](int disk) { return work.filePath(QStringLiteral("disk%1.img").arg(disk)); };
    for (int disk = 1; disk <= 3; ++disk) {
        QFile file(image(disk));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(2 * 1024 * 1024));
        file.close();
        QString error;
        QVERIFY2(ScratchMount::run(maker->first(), maker->mid(1) << DesktopDisks::label(disk) << image(disk), &error),
                 qPrintable(error));
        ScratchMount filling;
        if (!filling.mount({QStringLiteral("-o"), QStringLiteral("loop")}, image(disk),
                           work.filePath(QStringLiteral("filling")))) {
            if (disk == 1)
                QSKIP(qPrintable(QStringLiteral("this system refuses loop mounts: ") + filling.error()));
            QFAIL(qPrintable(filling.error()));
        }
        QVERIFY(QDir().mkpath(filling.folder() + QStringLiteral("/backup")));
        QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("set%1.zip").arg(disk, 3, 10, QChar('0'))),
                            filling.folder() + QStringLiteral("/backup/disk.zip")));
        QVERIFY2(filling.unmount(), qPrintable(filling.error()));
    }

    ScratchMount drive; // one drive: inserting a disk takes the one before out
    QString driveError;
    const auto insert = [&](int disk) {
        const bool mounted = drive.mount({QStringLiteral("-o"), QStringLiteral("loop")}, image(disk),
                                         media + '/' + DesktopDisks::label(disk));
        if (!mounted)
            driveError = drive.error();
        return mounted;
    };
    QVERIFY2(insert(3), qPrintable(driveError));
    LoopDisks probe(media);
    const QString lastRoot = media + '/' + DesktopDisks::label(3) + '/';
    const std::optional<VolumeInfo> info = probe.query(lastRoot);
    if (!info || info->label != DesktopDisks::label(3))
        QSKIP("this system does not tell the labels of file systems (no udev, and the file system has no "
              "label ioctl)");

    ScriptedHost host;
    for (int disk = 1; disk <= 3; ++disk)
        host.diskAnswers.push_back([&insert, disk](const ScriptedHost::DiskQuestion &) { return insert(disk); });
    TZipArchiver za(&host);
    za.setVolumeProbe(&probe);
    QString target = out.path() + '/';
    QCOMPARE(za.ReadSpan(lastRoot + QStringLiteral("backup/disk.zip"), target), 0);
    QVERIFY2(host.shown.isEmpty() && driveError.isEmpty(), qPrintable(host.shown.join('\n') + driveError));
    QCOMPARE(disksAskedFor(host), (QList<int>{1, 2, 3}));
    QCOMPARE(za.DriveRoot, lastRoot);
    Referees::verifyArchive(target);
    TZipArchiver joined;
    joined.setZipFileName(target);
    QCOMPARE(joined.Count(), 2);
}

QTEST_GUILESS_MAIN(TestReadSpan)
#include "tst_readspan.moc"
