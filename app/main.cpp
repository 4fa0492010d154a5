// Mantole, the wizard: one window, one run per process.

#include "ProgramFolder.h"
#include "TWzdForm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mantole"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mantole"));
    // Module initialisation: the program's files are fixed before any window.
    const ProgramFolder paths = ProgramFolder::forApplication();
    const QStringList arguments = application.arguments().mid(1);
    TWzdForm form(paths, nullptr, arguments);
    form.show();
    return application.exec();
}
