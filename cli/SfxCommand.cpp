#include "SfxCommand.h"

#include "PeImage.h"
#include "TerminalHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>
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
    std::fprintf(stderr, "mantole-cli %s: %s\n", command, qPrintable(what));
    return 1;
}

int failWithResult(const char *command, int code)
{
    return fail(command, QStringLiteral("%1 (result %2)").arg(QLatin1String(resultText(code))).arg(code));
}

// A working name for the input: a hard link where possible (instant, and the
// original is untouched when the engine erases its source), else a copy.
bool makeWorkingCopy(TZipArchiver &za, const QString &source, const QString &copy)
{
    if (::link(QFile::encodeName(source).constData(), QFile::encodeName(copy).constData()) == 0)
        return true;
    return za.CopyZipFile(source, copy) == 0;
}

// Moves the engine's output over the destination (replacing it) and keeps
// the date the engine gave it.
bool moveInto(const QString &from, const QString &to)
{
    return from == to || ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
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
    if (const std::optional<PeImage> pe = PeImage::parse(bytes)) {
        const QByteArray icon = pe->iconFile(index);
        if (icon.isEmpty()) {
            *error = QStringLiteral("%1 has no icon at index %2").arg(path).arg(index);
            return std::nullopt;
        }
        return icon;
    }
    return bytes; // an .ico file
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
    SFXOpts options;
    const std::pair<const char *, SFXOptsEnum> flags[] = {
        {"--ask-command", SFXAskCmdLine}, {"--pick-files", SFXAskFiles}, {"--autorun", SFXAutoRun},
        {"--hide-overwrite", SFXHideOverWriteBox}, {"--check-size", SFXCheckSize},
        {"--no-success", SFXNoSuccessMsg}};
    for (const auto &[flag, member] : flags)
        if (a.has(QLatin1String(flag)))
            options.insert(member);
    za.SFXOptions = options;
    if (a.has(QStringLiteral("--stub")))
        za.SFXPath = QFileInfo(a.value(QStringLiteral("--stub"))).absoluteFilePath();
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
           "      --no-success, --autorun, --pick-files, --check-size, --icon FILE[:INDEX],\n"
           "      --stub FILE, --output FILE.exe, --replace\n"
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
                       "--pick-files", "--check-size", "--replace"});
    if (!a.error().isEmpty())
        return fail("to-exe", a.error());
    const QString archive = QFileInfo(a.file()).absoluteFilePath();
    if (!QFileInfo(archive).isFile())
        return fail("to-exe", QStringLiteral("no such file ") + a.file());
    const QString output = a.has(QStringLiteral("--output"))
        ? QFileInfo(a.value(QStringLiteral("--output"))).absoluteFilePath()
        : withSuffix(archive, QStringLiteral(".exe"));

    TerminalHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    QString error;
    if (!applyToExeOptions(za, a, &error))
        return fail("to-exe", error);

    // The engine writes NAME.exe beside NAME.zip and erases NAME.zip; work
    // on a name of our own beside the output so the archive stays.
    QTemporaryDir work(QFileInfo(output).dir().filePath(QStringLiteral(".mantole-XXXXXX")));
    if (!work.isValid())
        return fail("to-exe", QStringLiteral("cannot write in the folder of ") + output);
    const QString workZip = work.filePath(QFileInfo(output).completeBaseName() + QStringLiteral(".zip"));
    const bool replace = a.has(QStringLiteral("--replace"));
    if (replace ? !moveInto(archive, workZip) : !makeWorkingCopy(za, archive, workZip))
        return fail("to-exe", QStringLiteral("cannot make a working copy of ") + archive);
    za.setZipFileName(workZip);
    if (za.Count() == 0 && za.ZipFileName().isEmpty()) {
        if (replace)
            moveInto(workZip, archive);
        return fail("to-exe", QStringLiteral("not a valid ZIP archive: ") + archive);
    }
    const int result = za.WriteSFX();
    host.endProgress();
    if (result != 0) {
        if (replace)
            moveInto(workZip, archive);
        return failWithResult("to-exe", result);
    }
    if (!moveInto(za.ZipFileName(), output))
        return fail("to-exe", QStringLiteral("cannot write ") + output);
    std::printf("%s\n", qPrintable(output));
    return 0;
}

int SfxCommand::runToZip(const QStringList &args)
{
    const Arguments a(args, {"--output"}, {"--keep"});
    if (!a.error().isEmpty())
        return fail("to-zip", a.error());
    const QString exe = QFileInfo(a.file()).absoluteFilePath();
    if (!QFileInfo(exe).isFile())
        return fail("to-zip", QStringLiteral("no such file ") + a.file());
    const QString output = a.has(QStringLiteral("--output"))
        ? QFileInfo(a.value(QStringLiteral("--output"))).absoluteFilePath()
        : withSuffix(exe, QStringLiteral(".zip"));

    TerminalHost host;
    TZipArchiver za(&host);
    za.HowToDelete = htdFinal;
    QTemporaryDir work(QFileInfo(output).dir().filePath(QStringLiteral(".mantole-XXXXXX")));
    if (!work.isValid())
        return fail("to-zip", QStringLiteral("cannot write in the folder of ") + output);
    const QString workExe = work.filePath(QFileInfo(output).completeBaseName() + QStringLiteral(".exe"));
    const bool keep = a.has(QStringLiteral("--keep"));
    if (keep ? !makeWorkingCopy(za, exe, workExe) : !moveInto(exe, workExe))
        return fail("to-zip", QStringLiteral("cannot make a working copy of ") + exe);
    za.setZipFileName(workExe);
    const int result = za.ZipFileName().isEmpty() ? -3 : za.StripSFX();
    host.endProgress();
    if (result != 0) {
        if (!keep)
            moveInto(workExe, exe);
        return failWithResult("to-zip", result);
    }
    if (!moveInto(za.ZipFileName(), output))
        return fail("to-zip", QStringLiteral("cannot write ") + output);
    std::printf("%s\n", qPrintable(output));
    printOptions(za, false);
    return 0;
}

int SfxCommand::runInfo(const QStringList &args)
{
    const Arguments a(args, {}, {"--json"});
    if (!a.error().isEmpty())
        return fail("info", a.error());
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(a.file());
    if (za.ZipFileName().isEmpty())
        return fail("info", QStringLiteral("not a readable archive: ") + a.file());
    if (!za.ReadSFXOptions())
        return fail("info", QStringLiteral("no self-extracting options header in ") + a.file());
    printOptions(za, a.has(QStringLiteral("--json")));
    return 0;
}
