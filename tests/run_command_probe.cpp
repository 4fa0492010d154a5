// Waits for a long command while the application is asked to quit: the
// program must end at once with the exit code of that request.

#include "FonctionsUtiles.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
    RunCommand(QStringLiteral("sleep 30"), 0, true);
    return 1; // only reached when the wait ignored the request
}
