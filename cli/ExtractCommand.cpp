#include "ExtractCommand.h"

#include "TerminalHost.h"
#include "ZipArchiver.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

struct Outcome {
    int errors = 0;
    int64_t total = 0;
    int64_t done = 0;
};

// Connects the library's reports to the terminal.
void watch(TZipArchiver &za, TerminalHost &host, Outcome &outcome)
{
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
            std::fprintf(stderr, "%s\n", qPrintable(text));
        }
    };
}

int run(const QStringList &args, bool test)
{
    const char *command = test ? "test" : "extract";
    QString archive, folder, password;
    QStringList names;
    bool overwrite = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if ((a == QLatin1String("--to") && !test) || a == QLatin1String("--password")) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "mantole-cli %s: %s needs a value\n", command, qPrintable(a));
                return 2;
            }
            (a == QLatin1String("--to") ? folder : password) = args[++i];
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

    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(QFileInfo(archive).absoluteFilePath());
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
    za.Password = password;
    za.ExtrOptions = test ? ExtrOpts{ExtrTest} : ExtrOpts{ExtrDirNames};
    if (overwrite)
        za.ExtrOptions.insert(ExtrOverWrite);
    za.setFSpecArgs(names.isEmpty() ? QStringList{QStringLiteral("*.*")} : names);
    Outcome outcome;
    watch(za, host, outcome);
    za.ExtractEntries();
    host.endProgress();
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
    return "  mantole-cli extract ARCHIVE [--to DIR] [--overwrite] [--password TEXT] [NAME...]\n"
           "      Extracts the entries (all, or those matching NAME patterns) keeping their folders.\n"
           "  mantole-cli test ARCHIVE [--password TEXT]\n"
           "      Checks every entry's data; exit code 0 only when all are sound.\n"
           "  mantole-cli add ARCHIVE FILE... [--level N] [--paths] [--recurse] [--encrypt]\n"
           "                  [--password TEXT] [--update|--freshen]\n"
           "      Adds files (a new .exe archive is made self-extracting). --encrypt asks the\n"
           "      password on the terminal unless --password gives it.\n"
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
    QString archive, password;
    QStringList files;
    AddOpts options;
    int level = 9;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--level") || a == QLatin1String("--password")) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "mantole-cli add: %s needs a value\n", qPrintable(a));
                return 2;
            }
            if (a == QLatin1String("--level"))
                level = args[++i].toInt();
            else
                password = args[++i];
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
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(QFileInfo(archive).absoluteFilePath());
    if (za.ZipFileName().isEmpty())
        return 1; // exists but cannot be read: already reported
    za.AddOptions = options;
    za.AddCompLevel = level;
    za.Password = password;
    za.setFSpecArgs(files);
    Outcome outcome;
    watch(za, host, outcome);
    za.AddFiles();
    host.endProgress();
    std::printf("%d files added\n", za.ProcessedCount);
    return outcome.errors == 0 && za.ProcessedCount > 0 ? 0 : 1;
}

int ExtractCommand::runDelete(const QStringList &args)
{
    if (args.size() < 2) {
        std::fprintf(stderr, "mantole-cli delete: give an archive and the names to delete\n");
        return 2;
    }
    TerminalHost host;
    TZipArchiver za(&host);
    za.setZipFileName(QFileInfo(args.first()).absoluteFilePath());
    if (za.ZipFileName().isEmpty())
        return 1;
    za.setFSpecArgs(args.mid(1));
    Outcome outcome;
    watch(za, host, outcome);
    za.DeleteEntries();
    std::printf("%d entries deleted\n", za.ProcessedCount);
    return outcome.errors == 0 && za.ProcessedCount > 0 ? 0 : 1;
}
