#include "FonctionsUtiles.h"

#include "AssociatedProgram.h"
#include "CommandLine.h"
#include "FileDeletion.h"
#include "ShortcutFile.h"
#include "SoundPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>

#include <cstdlib>

QString ElapsedText(uint32_t start, uint32_t stop)
{
    const int32_t d = static_cast<int32_t>(stop - start);
    const auto two = [](int32_t n) { return n < 10 && n >= 0 ? QStringLiteral("0%1").arg(n) : QString::number(n); };
    return two(d / 60000) + ':' + two((d / 1000) % 60) + QStringLiteral(" Sec. ") + two(d % 1000)
        + QStringLiteral(" Ms.");
}

QString GeneralNumberText(double value, const QString &decimalSeparator)
{
    // The values here are byte counts divided by powers of two: their
    // decimal expansions are exact within 20 places.
    const QString text = QString::number(value, 'f', 20);
    const qsizetype point = text.indexOf('.');
    QString digits = text.left(point) + text.mid(point + 1);
    qsizetype integerDigits = point;
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == '0')
        ++first;
    if (first == digits.size())
        return QStringLiteral("0");
    // Keep three significant digits, rounding half up.
    QString kept = digits.mid(first, 3).leftJustified(3, '0');
    int exponent = static_cast<int>(integerDigits - first - 1); // of the first significant digit
    if (first + 3 < digits.size() && digits[first + 3] >= '5') {
        int carry = 1;
        for (qsizetype i = 2; i >= 0 && carry; --i) {
            const int d = kept[i].digitValue() + carry;
            kept[i] = QChar('0' + d % 10);
            carry = d / 10;
        }
        if (carry) {
            kept = QStringLiteral("1") + kept.left(2);
            ++exponent;
        }
    }
    if (exponent >= 3) {
        QString mantissa = kept.left(1);
        QString rest = kept.mid(1);
        while (rest.endsWith('0'))
            rest.chop(1);
        if (!rest.isEmpty())
            mantissa += decimalSeparator + rest;
        return mantissa + 'E' + QString::number(exponent);
    }
    // Fixed notation: place the separator after exponent + 1 digits.
    QString whole, fraction;
    if (exponent >= 0) {
        whole = kept.left(exponent + 1);
        fraction = kept.mid(exponent + 1);
    } else {
        whole = QStringLiteral("0");
        fraction = QString(-exponent - 1, '0') + kept;
    }
    while (fraction.endsWith('0'))
        fraction.chop(1);
    return fraction.isEmpty() ? whole : whole + decimalSeparator + fraction;
}

QString SizeText(int64_t bytes, const QLocale &locale)
{
    const QString separator = locale.decimalPoint();
    if (bytes < 0)
        return QString();
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" b");
    if (bytes < 1048576)
        return GeneralNumberText(bytes / 1024.0, separator) + QStringLiteral(" Ko");
    if (bytes < 1073741824)
        return GeneralNumberText(bytes / 1048576.0, separator) + QStringLiteral(" Mo");
    // Zip64 archives pass 1 GiB: shown in the same way, in gigabytes.
    return GeneralNumberText(bytes / 1073741824.0, separator) + QStringLiteral(" Go");
}

int64_t FileSizeOf(const QString &path)
{
    const QStringList files = FileDeletion::matchingFiles(QFileInfo(path).absoluteFilePath());
    if (files.isEmpty())
        return 0;
    return QFileInfo(files.first()).size();
}

QString FileStem(const QString &path)
{
    const qsizetype cut = std::max({path.lastIndexOf('/'), path.lastIndexOf('\\'), path.lastIndexOf(':')});
    const QString name = path.mid(cut + 1);
    const qsizetype dot = name.indexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString DatePrefixText(bool dayFirst, bool enabled, const QDate &today)
{
    if (!enabled)
        return QString();
    const QString day = QStringLiteral("%1").arg(today.day(), 2, 10, QChar('0'));
    const QString month = QStringLiteral("%1").arg(today.month(), 2, 10, QChar('0'));
    return dayFirst ? day + month : month + day;
}

QString AddBackslash(const QString &path)
{
    const QString separator = QDir::separator();
    return path.isEmpty() || path.endsWith(separator) ? path : path + separator;
}

void WaitWithMessages(double milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    do
        QCoreApplication::processEvents();
    while (static_cast<double>(timer.elapsed()) <= milliseconds);
}

void PlayWave(const QString &path)
{
    SoundPlayer::instance().play(path);
}

QString ResolveShortcut(const QString &path)
{
    return ShortcutFile::resolve(path);
}

namespace {

// A shortcut may name another; this bounds a chain that loops.
constexpr int kMaxShortcutDepth = 8;

// The child gets no handles of ours: its input and output go nowhere.
void detachChannels(QProcess &process)
{
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
}

// Handles events until the process ends. A quit request ends every event
// loop of the thread, this one included: then this program ends at once.
void waitWhileHandlingEvents(QProcess &process)
{
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, [&loop] { loop.exit(0); });
    if (process.state() == QProcess::NotRunning)
        return;
    const int exitCode = loop.exec();
    if (process.state() != QProcess::NotRunning)
        std::exit(exitCode);
}

bool startCommand(const QString &commandLine, bool wait)
{
    const CommandLine command = CommandLine::parse(commandLine);
    if (command.program.isEmpty())
        return false;
    if (!wait) {
        QProcess process;
        process.setProgram(command.program);
        process.setArguments(command.arguments);
        detachChannels(process);
        return process.startDetached();
    }
    QProcess process;
    detachChannels(process);
    process.start(command.program, command.arguments);
    if (!process.waitForStarted())
        return false;
    waitWhileHandlingEvents(process);
    return true;
}

void runCommand(const QString &commandLine, int showMode, bool wait, int depth)
{
    if (startCommand(commandLine, wait) || depth >= kMaxShortcutDepth)
        return;
    const QString target = commandLine.trimmed();
    const QString suffix = QFileInfo(target).suffix().toUpper();
    if (suffix == QLatin1String("LNK") || suffix == QLatin1String("DESKTOP")) {
        // The shortcut's command ran: opening the shortcut file itself in
        // the program for its type as well would run it twice.
        if (const QString resolved = ResolveShortcut(target); !resolved.isEmpty()) {
            runCommand(resolved, showMode, wait, depth + 1);
            return;
        }
    }
    const QString program = AssociatedProgram::forFile(target);
    if (!program.isEmpty())
        runCommand(program + QStringLiteral("  ") + commandLine, showMode, wait, depth + 1);
}

} // namespace

void RunCommand(const QString &commandLine, int showMode, bool wait)
{
    runCommand(commandLine, showMode, wait, 0);
}
