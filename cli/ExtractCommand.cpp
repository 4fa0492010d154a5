#include "ExtractCommand.h"

#include "CliFiles.h"
#include "Interruption.h"
#include "PendingFile.h"
#include "TerminalHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <sys/stat.h>

namespace {

struct Outcome {
    int errors = 0;
    int64_t total = 0;
    int64_t done = 0;
};

// Connects the library's reports to the terminal.
void watch(TZipArchiver &za, TerminalHost &host, Outcome &outcome)
{
    host.watch(&za);
    za.OnProgress = [&](TZipArchiver *, ProgressType type, const QString &, int64_t size) {
        if (type == ptTotalSize)
            outcome.total = size;
        if (type == ptUpdate) {
            outcome.done += size;
            host.copyProgress(outcome.done, outcome.total);
        }
    };
    za.OnMessage = [&](TZipArchiver *, int code, const QString &text) {
        if (code != 0) {
            ++outcome.errors;
            host.endProgress();
            std::fprintf(stderr, "%s\n", TerminalHost::forTerminal(text).toUtf8().constData());
        }
    };
}

// The password of --password, else of --password-file (the file's first
// line, whole), else of MANTOLE_PASSWORD: the last two keep it out of the
// process list. nullopt, after saying why, when the file cannot be read.
class PasswordSource {
public:
    // True when args[i] is a password option (taking its value, and i past it).
    bool take(const QStringList &args, int &i, const char *command, bool *missingValue)
    {
        const QString &a = args[i];
        if (a != QLatin1String("--password") && a != QLatin1String("--password-file"))
            return false;
        *missingValue = i + 1 >= args.size();
        if (!*missingValue)
            (a == QLatin1String("--password") ? m_given : m_file) = args[++i];
        m_command = command;
        return true;
    }
    std::optional<QString> password() const
    {
        if (!m_given.isNull())
            return m_given;
        if (!m_file.isNull()) {
            const std::optional<QString> path = CliFiles::readableFile(m_command, m_file);
            if (!path)
                return std::nullopt;
            QFile file(*path);
            if (!file.open(QIODevice::ReadOnly)) {
                CliFiles::fail(m_command, QStringLiteral("cannot read %1: %2").arg(m_file, file.errorString()));
                return std::nullopt;
            }
            QByteArray line = file.readAll();
            const qsizetype end = line.indexOf('\n');
            if (end >= 0)
                line.truncate(end > 0 && line[end - 1] == '\r' ? end - 1 : end);
            return QString::fromUtf8(line);
        }
        return QString::fromUtf8(qgetenv("MANTOLE_PASSWORD"));
    }

private:
    QString m_given;
    QString m_file;
    const char *m_command = "";
};

int stopped(const char *command)
{
    CliFiles::fail(command, QStringLiteral("stopped by signal %1").arg(Interruption::signal()));
    return Interruption::exitCode();
}

int run(const QStringList &args, bool test)
{
    const char *command = test ? "test" : "extract";
    QString archive, folder;
    PasswordSource passwordSource;
    QStringList names;
    bool overwrite = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        bool missingValue = false;
        if (passwordSource.take(args, i, command, &missingValue) || (a == QLatin1String("--to") && !test)) {
            if (missingValue || (a == QLatin1String("--to") && i + 1 >= args.size())) {
                std::fprintf(stderr, "mantole-cli %s: %s needs a value\n", command, qPrintable(a));
                return 2;
            }
            if (a == QLatin1String("--to"))
                folder = args[++i];
        } else if (a == QLatin1String("--overwrite") && !test) {
            overwrite = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "mantole-cli %s: unexpected argument %s\n", command, qPrintable(a));
            return 2;
        } else if (archive.isEmpty()) {
            archive = a;
        } else {
            names << a;
        }
    }
    if (archive.isEmpty()) {
        std::fprintf(stderr, "mantole-cli %s: no archive given\n", command);
        return 2;
    }

    const std::optional<QString> path = CliFiles::readableFile(command, archive);
    if (!path)
        return 1;
    const std::optional<QString> password = passwordSource.password();
    if (!password)
        return 1;
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(*path);
    if (za.ZipFileName().isEmpty())
        return 1;
    const int entries = za.Count();
    if (!folder.isEmpty()) {
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "mantole-cli %s: cannot create %s\n", command, qPrintable(folder));
            return 1;
        }
        za.ExtrBaseDir = QFileInfo(folder).absoluteFilePath();
    } else if (!test) {
        za.ExtrBaseDir = QDir::currentPath();
    }
    if (!test)
        PendingFile::removeStaleTemporaries(za.ExtrBaseDir);
    za.Password = *password;
    za.ExtrOptions = test ? ExtrOpts{ExtrTest} : ExtrOpts{ExtrDirNames};
    if (overwrite)
        za.ExtrOptions.insert(ExtrOverWrite);
    za.setFSpecArgs(names.isEmpty() ? QStringList{QStringLiteral("*.*")} : names);
    Outcome outcome;
    watch(za, host, outcome);
    za.ExtractEntries();
    host.endProgress();
    if (Interruption::requested())
        return stopped(command);
    if (test) {
        std::printf("%d of %d entries sound\n", za.ProcessedCount, entries);
        return outcome.errors == 0 && za.ProcessedCount == entries ? 0 : 1;
    }
    std::printf("%d entries extracted\n", za.ProcessedCount);
    return outcome.errors == 0 && za.ProcessedCount > 0 ? 0 : 1;
}

} // namespace

const char *ExtractCommand::usage()
{
    return "  mantole-cli extract ARCHIVE [--to DIR] [--overwrite] [PASSWORD] [NAME...]\n"
           "      Extracts the entries (all, or those matching NAME patterns) keeping their folders.\n"
           "  mantole-cli test ARCHIVE [PASSWORD]\n"
           "      Checks every entry's data; exit code 0 only when all are sound.\n"
           "  mantole-cli add ARCHIVE FILE... [--level N] [--paths] [--recurse] [--encrypt]\n"
           "                  [PASSWORD] [--update|--freshen]\n"
           "      Adds files (a new .exe archive is made self-extracting). --encrypt asks the\n"
           "      password on the terminal unless PASSWORD gives it.\n"
           "      PASSWORD: --password TEXT, or --password-file FILE (its first line), or the\n"
           "      environment variable MANTOLE_PASSWORD; the last two keep it out of the process list.\n"
           "  mantole-cli delete ARCHIVE NAME...\n"
           "      Removes the entries with these names (wildcards allowed).\n";
}

int ExtractCommand::runExtract(const QStringList &args)
{
    return run(args, false);
}

int ExtractCommand::runTest(const QStringList &args)
{
    return run(args, true);
}

int ExtractCommand::runAdd(const QStringList &args)
{
    QString archive;
    PasswordSource passwordSource;
    QStringList files;
    AddOpts options;
    int level = 9;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        bool missingValue = false;
        if (passwordSource.take(args, i, "add", &missingValue) || a == QLatin1String("--level")) {
            if (missingValue || (a == QLatin1String("--level") && i + 1 >= args.size())) {
                std::fprintf(stderr, "mantole-cli add: %s needs a value\n", qPrintable(a));
                return 2;
            }
            if (a == QLatin1String("--level"))
                level = args[++i].toInt();
        } else if (a == QLatin1String("--paths")) {
            options.insert(AddDirNames);
        } else if (a == QLatin1String("--recurse")) {
            options.insert(AddRecurseDirs);
        } else if (a == QLatin1String("--encrypt")) {
            options.insert(AddEncrypt);
        } else if (a == QLatin1String("--update")) {
            options.insert(AddUpdate);
        } else if (a == QLatin1String("--freshen")) {
            options.insert(AddFreshen);
        } else if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "mantole-cli add: unexpected argument %s\n", qPrintable(a));
            return 2;
        } else if (archive.isEmpty()) {
            archive = a;
        } else {
            files << a;
        }
    }
    if (archive.isEmpty() || files.isEmpty()) {
        std::fprintf(stderr, "mantole-cli add: give an archive and the files to add\n");
        return 2;
    }
    const std::optional<QString> path = CliFiles::fileToWrite("add", archive);
    if (!path)
        return 1;
    // Reading a FIFO or a device to add it would wait for ever or never end.
    for (const QString &file : files) {
        struct stat st {};
        if (::stat(QFile::encodeName(file).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return CliFiles::fail("add", file + QStringLiteral(" is not a regular file (a pipe, a device or a socket)"));
    }
    const std::optional<QString> password = passwordSource.password();
    if (!password)
        return 1;
    PendingFile::removeStaleTemporaries(QFileInfo(*path).path());
    const bool existed = QFileInfo::exists(*path);
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(*path);
    if (za.ZipFileName().isEmpty())
        return 1; // exists but cannot be read: already reported
    za.AddOptions = options;
    za.AddCompLevel = level;
    za.Password = *password;
    za.setFSpecArgs(files);
    Outcome outcome;
    watch(za, host, outcome);
    za.AddFiles();
    host.endProgress();
    const bool added = outcome.errors == 0 && za.ProcessedCount > 0 && !Interruption::requested();
    // A new .exe is made (stub and empty archive) before the add; when the
    // add fails it is no archive the user asked for.
    if (!added && !existed && QFileInfo::exists(*path)) {
        if (QFile::remove(*path))
            PendingFile::syncFolder(QFileInfo(*path).path());
        else
            CliFiles::fail("add", QStringLiteral("cannot remove the new %1 left by the failed add").arg(*path));
    }
    if (Interruption::requested())
        return stopped("add");
    std::printf("%d files added\n", za.ProcessedCount);
    return added ? 0 : 1;
}

int ExtractCommand::runDelete(const QStringList &args)
{
    if (args.size() < 2) {
        std::fprintf(stderr, "mantole-cli delete: give an archive and the names to delete\n");
        return 2;
    }
    const std::optional<QString> path = CliFiles::readableFile("delete", args.first());
    if (!path)
        return 1;
    PendingFile::removeStaleTemporaries(QFileInfo(*path).path());
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(*path);
    if (za.ZipFileName().isEmpty())
        return 1;
    za.setFSpecArgs(args.mid(1));
    Outcome outcome;
    watch(za, host, outcome);
    za.DeleteEntries();
    if (Interruption::requested())
        return stopped("delete");
    std::printf("%d entries deleted\n", za.ProcessedCount);
    return outcome.errors == 0 && za.ProcessedCount > 0 ? 0 : 1;
}
