#include "CommandLine.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// A program path (containing "/") must be an executable file; a bare name
// is looked up in PATH.
QString executableFor(const QString &candidate)
{
    if (candidate.isEmpty())
        return {};
    if (candidate.contains('/')) {
        const QFileInfo info(candidate);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(candidate);
}

QStringList argumentsOf(const QString &rest)
{
    const QString trimmed = rest.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (QFileInfo(trimmed).isFile())
        return {trimmed};
    return QProcess::splitCommand(trimmed);
}

} // namespace

CommandLine CommandLine::parse(const QString &commandLine)
{
    const QString text = commandLine.trimmed();
    CommandLine result;
    if (text.startsWith('"')) {
        const qsizetype close = text.indexOf('"', 1);
        const QString quoted = close < 0 ? text.mid(1) : text.mid(1, close - 1);
        result.program = executableFor(quoted);
        if (!result.program.isEmpty() && close >= 0)
            result.arguments = argumentsOf(text.mid(close + 1));
        return result;
    }
    // Each blank ends a candidate: the shortest program path wins.
    for (qsizetype end = 0; end <= text.size(); ++end) {
        if (end < text.size() && text[end] != ' ')
            continue;
        const QString program = executableFor(text.left(end));
        if (!program.isEmpty()) {
            result.program = program;
            result.arguments = argumentsOf(text.mid(end));
            break;
        }
    }
    return result;
}
