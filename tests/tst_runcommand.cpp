// Starting commands, documents and shortcuts; command-line splitting and
// the associated-program lookup against a desktop of the test's own.

#include "AssociatedProgram.h"
#include "CommandLine.h"
#include "Fixtures.h"
#include "FonctionsUtiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestRunCommand : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void parsesCommandLines_data();
    void parsesCommandLines();
    void waitsWhileHandlingEvents();
    void startsWithoutWaiting();
    void opensDocumentsWithTheirProgram();
    void runsShortcuts();
    void commandThatCannotStartDoesNothing();
    void quitRequestEndsTheWait();

private:
    QString script(const QString &name, const QByteArray &body);
    QString output() const { return QString::fromUtf8(Fixtures::readFile(m_dir.filePath(QStringLiteral("out.txt")))); }

    QTemporaryDir m_dir;
};

QString TestRunCommand::script(const QString &name, const QByteArray &body)
{
    const QString path = m_dir.filePath(name);
    Fixtures::write(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

// A desktop that opens text files with a viewer script of ours.
void TestRunCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray out = m_dir.filePath(QStringLiteral("out.txt")).toUtf8();
    script(QStringLiteral("record args.sh"), "for a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + out + "'");
    const QString viewer = script(QStringLiteral("viewer.sh"), "printf 'viewer[%s]' \"$1\" > '" + out + "'");
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("data/applications"));
    Fixtures::write(m_dir.filePath(QStringLiteral("config/mimeapps.list")),
                    "[Default Applications]\ntext/plain=testviewer.desktop;\n");
    Fixtures::write(m_dir.filePath(QStringLiteral("data/applications/testviewer.desktop")),
                    "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + viewer.toUtf8() + " %f\n");
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", m_dir.filePath(QStringLiteral("none")).toUtf8());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_DATA_DIRS", "/usr/share"); // the system's file types; our list comes first
}

void TestRunCommand::parsesCommandLines_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    const QString recorder = m_dir.filePath(QStringLiteral("record args.sh"));
    const QString folder = m_dir.path();
    const QString sh = QStandardPaths::findExecutable(QStringLiteral("sh"));
    QTest::newRow("program on PATH") << "sh -c \"exit 3\"" << sh << QStringList{"-c", "exit 3"};
    QTest::newRow("unquoted path with a blank") << folder + "/record args.sh one \"two three\"" << recorder
                                                << QStringList{"one", "two three"};
    QTest::newRow("quoted path") << "\"" + recorder + "\" x" << recorder << QStringList{"x"};
    QTest::newRow("rest naming a file stays whole") << "sh   " + recorder << sh << QStringList{recorder};
    QTest::newRow("no program") << folder + "/missing thing" << "" << QStringList{};
    QTest::newRow("not executable") << folder + "/out.txt" << "" << QStringList{};
    QTest::newRow("empty") << "  " << "" << QStringList{};
}

void TestRunCommand::parsesCommandLines()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    const CommandLine command = CommandLine::parse(commandLine);
    QCOMPARE(command.program, program);
    QCOMPARE(command.arguments, arguments);
}

void TestRunCommand::waitsWhileHandlingEvents()
{
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    RunCommand(m_dir.filePath(QStringLiteral("record args.sh")) + QStringLiteral(" a b; sleep 0.4"), 1, true);
    QCOMPARE(output(), QStringLiteral("[a][b;][sleep][0.4]"));
    // Waited by handling events: the timer went on ticking.
    RunCommand(QStringLiteral("sleep 0.4"), 0, true);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void TestRunCommand::startsWithoutWaiting()
{
    QFile::remove(m_dir.filePath(QStringLiteral("out.txt")));
    RunCommand(QStringLiteral("  ") + m_dir.filePath(QStringLiteral("record args.sh")) + QStringLiteral(" later"), 2,
               false);
    QTRY_COMPARE(output(), QStringLiteral("[later]"));
}

void TestRunCommand::opensDocumentsWithTheirProgram()
{
    const QString document = m_dir.filePath(QStringLiteral("read me.txt"));
    Fixtures::write(document, "plain text\n");
    QCOMPARE(AssociatedProgram::forFile(document), m_dir.filePath(QStringLiteral("viewer.sh")));
    QVERIFY(AssociatedProgram::forFile(m_dir.filePath(QStringLiteral("missing.txt"))).isEmpty());

    RunCommand(document + ' ', 1, true);
    QCOMPARE(output(), "viewer[" + document + ']');
}

void TestRunCommand::runsShortcuts()
{
    const QString shortcut = m_dir.filePath(QStringLiteral("tool.desktop"));
    Fixtures::write(shortcut, "[Desktop Entry]\nType=Application\nExec=\"" +
                                  m_dir.filePath(QStringLiteral("record args.sh")).toUtf8() + "\" from-shortcut %U\n");
    QCOMPARE(ResolveShortcut(shortcut), '"' + m_dir.filePath(QStringLiteral("record args.sh")) + "\" from-shortcut");
    RunCommand(shortcut, 1, true);
    QCOMPARE(output(), QStringLiteral("[from-shortcut]"));

    // A shortcut naming itself ends after a few rounds.
    const QString loop = m_dir.filePath(QStringLiteral("loop.desktop"));
    Fixtures::write(loop, "[Desktop Entry]\nExec=" + loop.toUtf8() + "\n");
    RunCommand(loop, 1, true);
}

void TestRunCommand::commandThatCannotStartDoesNothing()
{
    QFile::remove(m_dir.filePath(QStringLiteral("out.txt")));
    RunCommand(m_dir.filePath(QStringLiteral("no such program")), 1, true);
    RunCommand(QString(), 1, false);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("out.txt"))));
}

void TestRunCommand::quitRequestEndsTheWait()
{
    QProcess probe;
    probe.start(QStringLiteral(RUN_COMMAND_PROBE), {});
    QVERIFY(probe.waitForStarted());
    QVERIFY2(probe.waitForFinished(20000), "the wait did not end on the quit request");
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 7);
}

QTEST_MAIN(TestRunCommand)
#include "tst_runcommand.moc"
