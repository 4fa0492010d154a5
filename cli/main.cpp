// mantole-cli: the archive engine from a terminal, for scripts, batch work
// and benchmarks.

#include "ExtractCommand.h"
#include "Interruption.h"
#include "ListCommand.h"
#include "SfxCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void printUsage(FILE *to)
{
    std::fprintf(to, "Usage:\n%s%s%s", ListCommand::usage(), SfxCommand::usage(), ExtractCommand::usage());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Mantole"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        printUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    Interruption::install();
    if (command == QLatin1String("list"))
        return ListCommand::run(args);
    if (command == QLatin1String("to-exe"))
        return SfxCommand::runToExe(args);
    if (command == QLatin1String("to-zip"))
        return SfxCommand::runToZip(args);
    if (command == QLatin1String("extract"))
        return ExtractCommand::runExtract(args);
    if (command == QLatin1String("test"))
        return ExtractCommand::runTest(args);
    if (command == QLatin1String("add"))
        return ExtractCommand::runAdd(args);
    if (command == QLatin1String("delete"))
        return ExtractCommand::runDelete(args);
    if (command == QLatin1String("info"))
        return SfxCommand::runInfo(args);
    std::fprintf(stderr, "mantole-cli: unknown command %s\n", qPrintable(command));
    printUsage(stderr);
    return 2;
}
