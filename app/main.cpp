// Mantole, the wizard: one window, one run per process.

#include "ProgramFolder.h"
#include "TWzdForm.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <QWindow>

namespace {

// MANTOLE_EXIT_AFTER_SHOW: the program ends as soon as its window is on
// screen, so that a benchmark can time the start-up to the first page.
class QuitWhenShown : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Expose)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit); // after the first paint
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mantole"));
    // Module initialisation: the program's files are fixed before any window.
    const ProgramFolder paths = ProgramFolder::forApplication();
    // The icon the menus and the desktop show, from the theme's copy in our
    // folder; the desktop file name lets a Wayland desktop match the window
    // with mantole.desktop.
    QIcon icon;
    const QDir theme(paths.folder + QStringLiteral("icons/hicolor"));
    for (const QString &size : theme.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        icon.addFile(theme.filePath(size + QStringLiteral("/apps/mantole.png")));
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("mantole"));
    const QStringList arguments = application.arguments().mid(1);
    TWzdForm form(paths, nullptr, arguments);
    form.show();
    QuitWhenShown quitWhenShown;
    if (qEnvironmentVariableIsSet("MANTOLE_EXIT_AFTER_SHOW") && form.windowHandle())
        form.windowHandle()->installEventFilter(&quitWhenShown);
    return application.exec();
}
