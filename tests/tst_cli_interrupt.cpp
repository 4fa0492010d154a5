// Conversions of a big file stopped part way by Ctrl-C, SIGTERM or kill -9:
// the user's file stays at its name whatever happens, a stopped run leaves
// nothing behind, and a killed run's leftovers go with the next run.

#include "Fixtures.h"
#include "SfxHeader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

constexpr qint64 kBigEntry = 300LL * 1024 * 1024;

// One stored entry of kBigEntry bytes behind `prefix`, its offsets counted
// from the start of the file (as in an executable we write). The data is a
// hole, quick to make: converting never reads an entry's contents.
bool writeBigArchive(const QString &path, const QByteArray &prefix)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray name("big.bin");
    const auto size = static_cast<quint32>(kBigEntry);
    QByteArray local(30, '\0');
    Fixtures::putU32(local, 0, 0x04034b50);
    Fixtures::putU16(local, 4, 10);
    Fixtures::putU32(local, 10, 0x5A210000); // 2025-01-01
    Fixtures::putU32(local, 18, size);
    Fixtures::putU32(local, 22, size);
    Fixtures::putU16(local, 26, static_cast<quint16>(name.size()));
    const qint64 localAt = prefix.size();
    f.write(prefix + local + name);
    const qint64 directoryAt = f.pos() + kBigEntry;
    if (!f.resize(directoryAt) || !f.seek(directoryAt))
        return false;
    QByteArray central(46, '\0');
    Fixtures::putU32(central, 0, 0x02014b50);
    Fixtures::putU16(central, 4, 20);
    Fixtures::putU16(central, 6, 10);
    Fixtures::putU32(central, 12, 0x5A210000);
    Fixtures::putU32(central, 20, size);
    Fixtures::putU32(central, 24, size);
    Fixtures::putU16(central, 28, static_cast<quint16>(name.size()));
    Fixtures::putU32(central, 42, static_cast<quint32>(localAt));
    QByteArray end(22, '\0');
    Fixtures::putU32(end, 0, 0x06054b50);
    Fixtures::putU16(end, 8, 1);
    Fixtures::putU16(end, 10, 1);
    Fixtures::putU32(end, 12, static_cast<quint32>(central.size() + name.size()));
    Fixtures::putU32(end, 16, static_cast<quint32>(directoryAt));
    return f.write(central + name + end) == central.size() + name.size() + end.size();
}

QByteArray executablePrefix()
{
    zipformat::SfxHeader header;
    header.caption = "Big";
    const std::vector<uint8_t> block = header.write();
    return Fixtures::read(QStringLiteral("stub64.bin"))
        + QByteArray(reinterpret_cast<const char *>(block.data()), static_cast<qsizetype>(block.size()));
}

// Everything in the folder, hidden names and folders' contents included.
QStringList everything(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

// The size of the output the process is writing in a work folder of ours,
// or -1. It is found through the process's open files: the output may have
// no name until it is complete (O_TMPFILE).
qint64 pendingOutputSize(qint64 pid)
{
    qint64 largest = -1;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QFileInfo &fd : QDir(fds).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString target = fd.symLinkTarget();
        const QString name = QFileInfo(target).fileName();
        if (target.contains(QLatin1String("/.mantole-"))
            && (target.endsWith(QLatin1String(" (deleted)")) || name.startsWith(QLatin1String(".mantole-"))))
            largest = std::max(largest, QFileInfo(fd.filePath()).size());
    }
    return largest;
}

} // namespace

class TestCliInterrupt : public QObject {
    Q_OBJECT

private slots:
    void init();
    void stoppedPartWay_data();
    void stoppedPartWay();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCliInterrupt::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestCliInterrupt::stoppedPartWay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("signal");
    QTest::addColumn<qint64>("written"); // bytes of output written when the signal comes

    const QStringList toZip{QStringLiteral("to-zip"), QStringLiteral("big.exe")};
    const QStringList toExe{QStringLiteral("to-exe"), QStringLiteral("big.zip"), QStringLiteral("--replace"),
                            QStringLiteral("--stub"), Fixtures::path(QStringLiteral("stub64.bin"))};
    const qint64 early = 1, half = kBigEntry / 2, late = kBigEntry - 20 * 1024 * 1024;
    QTest::newRow("to-zip, Ctrl-C early") << toZip << "big.exe" << "big.zip" << SIGINT << early;
    QTest::newRow("to-zip, SIGTERM half way") << toZip << "big.exe" << "big.zip" << SIGTERM << half;
    QTest::newRow("to-zip, kill -9 half way") << toZip << "big.exe" << "big.zip" << SIGKILL << half;
    QTest::newRow("to-zip, kill -9 near the end") << toZip << "big.exe" << "big.zip" << SIGKILL << late;
    QTest::newRow("to-exe --replace, Ctrl-C half way") << toExe << "big.zip" << "big.exe" << SIGINT << half;
    QTest::newRow("to-exe --replace, SIGTERM near the end") << toExe << "big.zip" << "big.exe" << SIGTERM << late;
    QTest::newRow("to-exe --replace, kill -9 early") << toExe << "big.zip" << "big.exe" << SIGKILL << early;
}

void TestCliInterrupt::stoppedPartWay()
{
    QFETCH(QStringList, args);
    QFETCH(QString, source);
    QFETCH(QString, output);
    QFETCH(int, signal);
    QFETCH(qint64, written);
    const QString folder = m_dir->path();
    const QString sourcePath = m_dir->filePath(source);
    QVERIFY(writeBigArchive(sourcePath, source.endsWith(QLatin1String(".exe")) ? executablePrefix() : QByteArray()));
    const qint64 sourceSize = QFileInfo(sourcePath).size();
    const QByteArray sourceHead = Fixtures::readFile(sourcePath).left(64 * 1024);

    QProcess p;
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Slows the copy down so that "part way" lasts long enough to be hit.
    env.insert(QStringLiteral("MANTOLE_TEST_PAUSE_PER_PIECE_MS"), QStringLiteral("200"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MANTOLE_CLI), args);
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(pendingOutputSize(p.processId()) >= written || p.state() == QProcess::NotRunning, 60000);
    QVERIFY2(p.state() == QProcess::Running, p.readAllStandardError().constData());
    ::kill(static_cast<pid_t>(p.processId()), signal);
    QVERIFY(p.waitForFinished(60000));

    // The source is where it was, whole; no output.
    QCOMPARE(QFileInfo(sourcePath).size(), sourceSize);
    QCOMPARE(Fixtures::readFile(sourcePath).left(64 * 1024), sourceHead);
    QVERIFY(!QFile::exists(m_dir->filePath(output)));
    if (signal != SIGKILL) {
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(p.exitCode() != 0);
        QVERIFY2(p.readAllStandardError().contains("stopped"), "says it stopped");
        QCOMPARE(everything(folder), QStringList{source});
        return;
    }

    // The next run takes the leftovers of the killed one away and converts.
    QProcess again;
    again.setWorkingDirectory(folder);
    again.start(QStringLiteral(MANTOLE_CLI), args);
    QVERIFY(again.waitForFinished(120000));
    QVERIFY2(again.exitCode() == 0, again.readAllStandardError().constData());
    QCOMPARE(everything(folder), QStringList{output});
}

QTEST_GUILESS_MAIN(TestCliInterrupt)
#include "tst_cli_interrupt.moc"
