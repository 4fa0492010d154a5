// mantole-cli: the archive engine from a terminal, for scripts, batch work
// and benchmarks.

#include "ListCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void printUsage(FILE *to)
{
    std::fprintf(to, "Usage:\n%s", ListCommand::usage());
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
    if (command == QLatin1String("list"))
        return ListCommand::run(args);
    std::fprintf(stderr, "mantole-cli: unknown command %s\n", qPrintable(command));
    printUsage(stderr);
    return 2;
}
