#include "SfxCommand.h"

#include "CliFiles.h"
#include "IconImage.h"
#include "Interruption.h"
#include "PeImage.h"
#include "PendingFile.h"
#include "SfxIcon.h"
#include "SystemError.h"
#include "TerminalHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char *resultText(int code)
{
    switch (code) {
    case -1: return "the output file cannot be created";
    case -2: return "reading or writing failed while copying";
    case -3: return "the input file is missing, cannot be opened or holds no valid archive";
    case -4: return "the copy is complete but its date could not be set";
    case -9: return "a precondition or the final size check failed";
    case -10: return "the stub is no Windows executable with a 32x32 16-colour icon image";
    case -11: return "an error occurred while replacing the icon";
    case -12: return "the icon is not a single 32x32 16-colour icon (a 766-byte .ico file)";
    default: return "the conversion failed";
    }
}

int fail(const char *command, const QString &what)
{
    return CliFiles::fail(command, what);
}

int failWithResult(const char *command, int code)
{
    QString text = QStringLiteral("%1 (result %2)").arg(QLatin1String(resultText(code))).arg(code);
    if (!SystemError::lastReason().isEmpty())
        text += QStringLiteral(": ") + SystemError::lastReason();
    return fail(command, text);
}

// Stopped by a signal: the temporary output goes with the work folder, the
// files the user named are as they were.
int stopped(const char *command)
{
    fail(command, QStringLiteral("stopped by signal %1; no file was changed").arg(Interruption::signal()));
    return Interruption::exitCode();
}

// A folder beside the output where the engine works: it names its input
// after the output, writes its output beside it and erases its input. The
// folder is locked while this run lives, so that another run never takes it
// for the leftover of a killed one.
class WorkFolder {
public:
    explicit WorkFolder(const QString &folder)
        : m_dir(QDir(folder).filePath(PendingFile::temporaryPrefix() + QString::number(::getpid())
                                      + QStringLiteral("-XXXXXX")))
    {
        if (!m_dir.isValid())
            return;
        m_fd = ::open(QFile::encodeName(m_dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX | LOCK_NB);
    }
    ~WorkFolder()
    {
        m_dir.remove();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    int m_fd = -1;
};

// A working name for the input: a hard link where possible (instant, and the
// original is untouched when the engine erases its source), else a copy.
bool makeWorkingCopy(TZipArchiver &za, const QString &source, const QString &copy)
{
    if (::link(QFile::encodeName(source).constData(), QFile::encodeName(copy).constData()) == 0)
        return true;
    return za.CopyZipFile(source, copy) == 0;
}

// The archive's entries the stub cannot extract, one line each, or empty.
// An archive that cannot be listed says nothing here: the conversion reports
// it in its own words.
QString stubRefusals(const QString &archive)
{
    TZipArchiver probe;
    probe.setZipFileName(archive);
    QString lines;
    for (const TZipArchiver::StubRefusal &r : probe.EntriesTheStubCannotExtract())
        lines += QStringLiteral("\n  %1: %2").arg(r.FileName, r.Reason);
    return lines;
}

QStringList entryNames(const TZipArchiver &za)
{
    QStringList names;
    if (za.ZipFileName().isEmpty())
        return names;
    names.reserve(za.Count());
    for (const ZipDirEntry &e : za.Entries())
        names.append(e.FileName);
    return names;
}

// One conversion: the engine turns a working copy of the source into a new
// file in the work folder; that file takes its place at the output name only
// when complete and checked, and the source, when it is not kept, goes only
// after that. Until then every file is where it was, whatever stops the run.
struct Conversion {
    const char *command;
    QString source;      // canonical path
    QString output;      // final path, in a canonical folder
    QString workSuffix;  // the extension the engine wants on its input
    bool keepSource = true;
};

int convert(TZipArchiver &za, TerminalHost &host, const Conversion &c,
            const std::function<int()> &engineStep, const std::function<QString()> &check)
{
    const QString outputFolder = QFileInfo(c.output).path();
    PendingFile::removeStaleTemporaries(outputFolder);
    WorkFolder work(outputFolder);
    if (!work.isValid())
        return fail(c.command, QStringLiteral("cannot write in %1: %2").arg(outputFolder, work.errorString()));
    const QString workInput = work.filePath(QFileInfo(c.output).completeBaseName() + c.workSuffix);
    SystemError::clear();
    host.watch(&za);
    if (!makeWorkingCopy(za, c.source, workInput)) {
        if (Interruption::requested())
            return stopped(c.command);
        QString text = QStringLiteral("cannot make a working copy of ") + c.source;
        if (!SystemError::lastReason().isEmpty())
            text += QStringLiteral(": ") + SystemError::lastReason();
        return fail(c.command, text);
    }
    za.setZipFileName(workInput);
    if (za.ZipFileName().isEmpty())
        return fail(c.command, QStringLiteral("not a valid ZIP archive: ") + c.source);
    const int result = engineStep();
    host.endProgress();
    if (Interruption::requested())
        return stopped(c.command);
    if (result != 0)
        return failWithResult(c.command, result);
    if (const QString problem = check(); !problem.isEmpty())
        return fail(c.command, problem);
    if (Interruption::requested())
        return stopped(c.command);

    // From here on the run completes: the output goes in place (its data on
    // the disk first when the source is to go), then the source is erased.
    const QString made = za.ZipFileName();
    const bool sourceGoes = !c.keepSource && c.source != c.output;
    if (sourceGoes) {
        QFile file(made);
        if (!file.open(QIODevice::ReadOnly) || ::fdatasync(file.handle()) != 0)
            return fail(c.command, QStringLiteral("cannot write %1: %2").arg(c.output, CliFiles::reason(errno)));
    }
    if (::rename(QFile::encodeName(made).constData(), QFile::encodeName(c.output).constData()) != 0)
        return fail(c.command, QStringLiteral("cannot write %1: %2").arg(c.output, CliFiles::reason(errno)));
    PendingFile::syncFolder(outputFolder);
    if (sourceGoes) {
        if (::unlink(QFile::encodeName(c.source).constData()) != 0)
            return fail(c.command, QStringLiteral("wrote %1 but cannot erase %2: %3")
                                       .arg(c.output, c.source, CliFiles::reason(errno)));
        PendingFile::syncFolder(QFileInfo(c.source).path());
    }
    return 0;
}

std::optional<QByteArray> loadIcon(const QString &argument, QString *error)
{
    QString path = argument;
    int index = 0;
    const int colon = argument.lastIndexOf(':');
    if (colon > 0) {
        bool ok = false;
        const int parsed = argument.mid(colon + 1).toInt(&ok);
        if (ok) {
            path = argument.left(colon);
            index = parsed;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the icon file ") + path;
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QByteArray icon = bytes; // an .ico file
    if (const std::optional<PeImage> pe = PeImage::parse(bytes)) {
        icon = pe->iconFile(index);
        if (icon.isEmpty()) {
            *error = QStringLiteral("%1 has no icon at index %2").arg(path).arg(index);
            return std::nullopt;
        }
    }
    // Any picture goes: it is brought to the one form the stub takes, as the
    // wizard does.
    const QImage picture = IconImage::decode(icon, 32);
    if (picture.isNull()) {
        *error = QStringLiteral("%1 holds no icon picture that can be read").arg(path);
        return std::nullopt;
    }
    return SfxIcon::fromImage(picture);
}

QString overwriteName(OvrOpts mode)
{
    switch (mode) {
    case OvrAlways: return QStringLiteral("OvrAlways");
    case OvrNever: return QStringLiteral("OvrNever");
    default: return QStringLiteral("OvrConfirm");
    }
}

QStringList optionNames(SFXOpts options)
{
    static const char *const kNames[] = {"SFXAskCmdLine", "SFXAskFiles", "SFXAutoRun",
                                         "SFXHideOverWriteBox", "SFXCheckSize", "SFXNoSuccessMsg"};
    QStringList names;
    for (int i = 0; i < 6; ++i)
        if (options.contains(static_cast<SFXOptsEnum>(i)))
            names.append(QLatin1String(kNames[i]));
    return names;
}

QString jsonText(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == '"' || c == '\\')
            out += '\\' + QString(c);
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        else
            out += c;
    }
    return out + '"';
}

void printOptions(const TZipArchiver &za, bool json)
{
    QString out;
    if (json) {
        QStringList names;
        for (const QString &n : optionNames(za.SFXOptions))
            names.append(jsonText(n));
        out = QStringLiteral("{\n  \"SFXCaption\": %1,\n  \"SFXDefaultDir\": %2,\n  \"SFXCommandLine\": %3,\n"
                             "  \"SFXMessage\": %4,\n  \"SFXOptions\": [%5],\n  \"SFXOverWriteMode\": %6\n}\n")
                  .arg(jsonText(za.SFXCaption), jsonText(za.SFXDefaultDir), jsonText(za.SFXCommandLine),
                       jsonText(za.SFXMessage), names.join(QStringLiteral(", ")),
                       jsonText(overwriteName(za.SFXOverWriteMode)));
    } else {
        QString message = za.SFXMessage;
        QString buttons;
        if (message.startsWith(QChar(1)) || message.startsWith(QChar(2))) {
            buttons = message.startsWith(QChar(1)) ? QStringLiteral(" (OK/Cancel)") : QStringLiteral(" (Yes/No)");
            message.remove(0, 1);
        }
        out = QStringLiteral("Title:          %1\nFolder:         %2\nCommand:        %3\nMessage:        %4%5\n"
                             "Options:        %6\nOverwrite mode: %7\n")
                  .arg(za.SFXCaption, za.SFXDefaultDir, za.SFXCommandLine, message, buttons,
                       optionNames(za.SFXOptions).join(QStringLiteral(" ")), overwriteName(za.SFXOverWriteMode));
    }
    std::fputs(out.toUtf8().constData(), stdout);
}

// Reads "--name value" pairs and flags; unknown options are errors.
class Arguments {
public:
    Arguments(const QStringList &args, const QStringList &withValue, const QStringList &flags)
    {
        for (int i = 0; i < args.size(); ++i) {
            const QString &a = args[i];
            if (withValue.contains(a)) {
                if (i + 1 >= args.size()) {
                    m_error = a + QStringLiteral(" needs a value");
                    return;
                }
                m_values.insert(a, args[++i]);
            } else if (flags.contains(a)) {
                m_values.insert(a, QString());
            } else if (a.startsWith(QLatin1String("--")) || !m_file.isEmpty()) {
                m_error = QStringLiteral("unexpected argument ") + a;
                return;
            } else {
                m_file = a;
            }
        }
        if (m_file.isEmpty())
            m_error = QStringLiteral("no file given");
    }
    const QString &error() const { return m_error; }
    const QString &file() const { return m_file; }
    bool has(const QString &name) const { return m_values.contains(name); }
    QString value(const QString &name) const { return m_values.value(name); }

private:
    QString m_file;
    QString m_error;
    QHash<QString, QString> m_values;
};

bool applyToExeOptions(TZipArchiver &za, const Arguments &a, QString *error)
{
    if (a.has(QStringLiteral("--title")))
        za.SFXCaption = a.value(QStringLiteral("--title"));
    if (a.has(QStringLiteral("--folder")))
        za.SFXDefaultDir = a.value(QStringLiteral("--folder"));
    if (a.has(QStringLiteral("--temp-folder")))
        za.SFXDefaultDir = QStringLiteral("><");
    QString message = a.value(QStringLiteral("--message"));
    const QString buttons = a.value(QStringLiteral("--buttons"));
    if (buttons == QLatin1String("okcancel"))
        message.prepend(QChar(1));
    else if (buttons == QLatin1String("yesno"))
        message.prepend(QChar(2));
    else if (!buttons.isEmpty()) {
        *error = QStringLiteral("--buttons takes okcancel or yesno");
        return false;
    }
    za.SFXMessage = message;
    za.SFXCommandLine = a.value(QStringLiteral("--command"));
    const QString overwrite = a.value(QStringLiteral("--overwrite"));
    if (overwrite == QLatin1String("always"))
        za.SFXOverWriteMode = OvrAlways;
    else if (overwrite == QLatin1String("never"))
        za.SFXOverWriteMode = OvrNever;
    else if (overwrite.isEmpty() || overwrite == QLatin1String("ask"))
        za.SFXOverWriteMode = OvrConfirm;
    else {
        *error = QStringLiteral("--overwrite takes ask, always or never");
        return false;
    }
    // The free-space check is on unless refused, as in the engine and the
    // wizard; the other options are off unless asked for.
    if (a.has(QStringLiteral("--check-size")) && a.has(QStringLiteral("--no-check-size"))) {
        *error = QStringLiteral("--check-size and --no-check-size contradict each other");
        return false;
    }
    SFXOpts options = za.SFXOptions;
    const std::pair<const char *, SFXOptsEnum> flags[] = {
        {"--ask-command", SFXAskCmdLine}, {"--pick-files", SFXAskFiles}, {"--autorun", SFXAutoRun},
        {"--hide-overwrite", SFXHideOverWriteBox}, {"--check-size", SFXCheckSize},
        {"--no-success", SFXNoSuccessMsg}};
    for (const auto &[flag, member] : flags)
        if (a.has(QLatin1String(flag)))
            options.insert(member);
    if (a.has(QStringLiteral("--no-check-size")))
        options.remove(SFXCheckSize);
    za.SFXOptions = options;
    if (a.has(QStringLiteral("--stub"))) {
        // A stub named but missing must not give way to the default one.
        const std::optional<QString> stub = CliFiles::readableFile("to-exe --stub", a.value(QStringLiteral("--stub")));
        if (!stub)
            return false; // said why; error stays empty
        za.SFXPath = *stub;
    }
    if (a.has(QStringLiteral("--icon"))) {
        const std::optional<QByteArray> icon = loadIcon(a.value(QStringLiteral("--icon")), error);
        if (!icon)
            return false;
        za.setSFXIcon(*icon);
    }
    return true;
}

QString withSuffix(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + suffix);
}

} // namespace

const char *SfxCommand::usage()
{
    return "  mantole-cli to-exe ARCHIVE.zip [options]\n"
           "      Writes a self-extracting executable. The archive is kept unless --replace.\n"
           "      --title TEXT, --folder DIR | --temp-folder, --message TEXT [--buttons okcancel|yesno],\n"
           "      --command CMD [--ask-command], --overwrite ask|always|never [--hide-overwrite],\n"
           "      --no-success, --autorun, --pick-files, --check-size | --no-check-size (on by default),\n"
           "      --icon FILE[:INDEX], --stub FILE, --output FILE.exe, --replace,\n"
           "      --force (writes it even with entries the executable cannot extract)\n"
           "  mantole-cli to-zip FILE.exe [--keep] [--output FILE.zip]\n"
           "      Writes the archive inside a self-extracting executable and prints its options.\n"
           "      The executable is erased unless --keep.\n"
           "  mantole-cli info FILE.exe [--json]\n"
           "      Prints the options of a self-extracting executable.\n";
}

int SfxCommand::runToExe(const QStringList &args)
{
    const Arguments a(args,
                      {"--title", "--folder", "--message", "--buttons", "--command", "--overwrite", "--icon",
                       "--stub", "--output"},
                      {"--temp-folder", "--ask-command", "--hide-overwrite", "--no-success", "--autorun",
                       "--pick-files", "--check-size", "--no-check-size", "--replace", "--force"});
    if (!a.error().isEmpty())
        return fail("to-exe", a.error());
    const std::optional<QString> archive = CliFiles::readableFile("to-exe", a.file());
    if (!archive)
        return 1;
    const std::optional<QString> output = CliFiles::fileToWrite(
        "to-exe", a.has(QStringLiteral("--output")) ? a.value(QStringLiteral("--output"))
                                                    : withSuffix(*archive, QStringLiteral(".exe")));
    if (!output)
        return 1;

    // An entry the stub cannot extract fails on the user's machine, long
    // after this run: said now, and written only when asked for.
    if (!a.has(QStringLiteral("--force")))
        if (const QString refused = stubRefusals(*archive); !refused.isEmpty())
            return fail("to-exe", QStringLiteral("the executable could not extract these entries of %1 "
                                                 "(it takes stored and deflated entries, with or without "
                                                 "the traditional ZIP password); --force writes it anyway:%2")
                                      .arg(*archive, refused));

    TerminalHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    QString error;
    if (!applyToExeOptions(za, a, &error))
        return error.isEmpty() ? 1 : fail("to-exe", error);
    const Conversion c{"to-exe", *archive, *output, QStringLiteral(".zip"), !a.has(QStringLiteral("--replace"))};
    const int code = convert(za, host, c, [&za] { return za.WriteSFX(); }, [] { return QString(); });
    if (code == 0)
        std::printf("%s\n", qPrintable(*output));
    return code;
}

int SfxCommand::runToZip(const QStringList &args)
{
    const Arguments a(args, {"--output"}, {"--keep"});
    if (!a.error().isEmpty())
        return fail("to-zip", a.error());
    const std::optional<QString> exe = CliFiles::readableFile("to-zip", a.file());
    if (!exe)
        return 1;
    const std::optional<QString> output = CliFiles::fileToWrite(
        "to-zip", a.has(QStringLiteral("--output")) ? a.value(QStringLiteral("--output"))
                                                    : withSuffix(*exe, QStringLiteral(".zip")));
    if (!output)
        return 1;

    TerminalHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    bool hasHeader = false;
    QStringList names;
    const auto strip = [&] {
        hasHeader = za.ReadSFXOptions();
        names = entryNames(za);
        return za.StripSFX();
    };
    // The executable goes only when the archive written holds what it held.
    const auto check = [&]() -> QString {
        const QStringList written = entryNames(za);
        if (written == names)
            return QString();
        return QStringLiteral("the archive written lists %1 entries where the executable lists %2%3; "
                              "the executable is kept")
            .arg(written.size())
            .arg(names.size())
            .arg(written.size() == names.size() ? QStringLiteral(", under other names") : QString());
    };
    const Conversion c{"to-zip", *exe, *output, QStringLiteral(".exe"), a.has(QStringLiteral("--keep"))};
    const int code = convert(za, host, c, strip, check);
    if (code != 0)
        return code;
    std::printf("%s\n", qPrintable(*output));
    if (hasHeader)
        printOptions(za, false);
    else
        std::printf("No self-extracting options header in %s\n", qPrintable(*exe));
    return 0;
}

int SfxCommand::runInfo(const QStringList &args)
{
    const Arguments a(args, {}, {"--json"});
    if (!a.error().isEmpty())
        return fail("info", a.error());
    const std::optional<QString> exe = CliFiles::readableFile("info", a.file());
    if (!exe)
        return 1;
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(*exe);
    if (za.ZipFileName().isEmpty())
        return fail("info", QStringLiteral("not a readable archive: ") + a.file());
    if (!za.ReadSFXOptions())
        return fail("info", QStringLiteral("no self-extracting options header in ") + a.file());
    printOptions(za, a.has(QStringLiteral("--json")));
    return 0;
}
