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
           "      Checks every entry's data; exit code 0 only when all are sound.\n";
}

int ExtractCommand::runExtract(const QStringList &args)
{
    return run(args, false);
}

int ExtractCommand::runTest(const QStringList &args)
{
    return run(args, true);
}
