#include "Referees.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray runTool(const QString &program, const QStringList &args, int *exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    process.waitForFinished(120000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAll();
}

} // namespace

namespace Referees {

void verifyArchive(const QString &path)
{
    for (const char *tool : {"unzip", "7z", "python3"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed; ./test.sh installs it").arg(QLatin1String(tool))));
    int code = 0;
    QByteArray said = runTool(QStringLiteral("unzip"), {QStringLiteral("-t"), path}, &code);
    QVERIFY2(code == 0, said.constData());
    QVERIFY2(!said.contains("extra bytes"), said.constData());
    said = runTool(QStringLiteral("7z"), {QStringLiteral("t"), path}, &code);
    QVERIFY2(code == 0 && said.contains("Everything is Ok"), said.constData());
    said = runTool(QStringLiteral("python3"),
                   {QStringLiteral("-c"),
                    QStringLiteral("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
                                   "bad = z.testzip()\nsys.exit('bad entry %s' % bad if bad else 0)"),
                    path},
                   &code);
    QVERIFY2(code == 0, said.constData());
}

} // namespace Referees
