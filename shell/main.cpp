// mantole-shell: what the file managers' menu entries run.
//   mantole-shell to-exe ARCHIVE...     self-extracting executables, made
//                                       with the wizard's saved options
//   mantole-shell to-zip EXECUTABLE...  their archives back, beside them
// Errors go to a desktop notification, or to a message box where there is
// no notification service; questions to a message box.

#include "ProgramFolder.h"
#include "ShellHandler.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace {

// Asks and tells in the wizard's language, with its buttons.
class DesktopUser final : public ShellHandlerUser {
public:
    explicit DesktopUser(const ShellTexts &texts)
        : m_texts(texts)
    {
    }
    bool confirm(const QString &text) override
    {
        QMessageBox box(QMessageBox::Question, m_texts.text("Buttons/sConfirm"), text);
        QPushButton *yes = box.addButton(m_texts.text("Buttons/sYes"), QMessageBox::YesRole);
        box.setDefaultButton(box.addButton(m_texts.text("Buttons/sNo"), QMessageBox::NoRole));
        box.exec();
        return box.clickedButton() == yes;
    }
    void error(const QString &text) override
    {
        std::fprintf(stderr, "mantole-shell: %s\n", qPrintable(text));
        const QString notify = QStandardPaths::findExecutable(QStringLiteral("notify-send"));
        if (!notify.isEmpty()
            && QProcess::execute(notify, {QStringLiteral("--app-name=Mantole"), QStringLiteral("--icon=mantole"),
                                          QStringLiteral("--urgency=critical"), QStringLiteral("Mantole"), text})
                == 0)
            return;
        QMessageBox::warning(nullptr, QStringLiteral("Mantole"), text);
    }

private:
    ShellTexts m_texts;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The wizard's name, so that its settings in the user's folders are ours.
    QApplication::setApplicationName(QStringLiteral("mantole"));
    const QStringList arguments = application.arguments().mid(1);
    const QString command = arguments.value(0);
    if (arguments.size() < 2 || (command != QLatin1String("to-exe") && command != QLatin1String("to-zip"))) {
        std::fprintf(stderr, "usage: mantole-shell to-exe ARCHIVE... | to-zip EXECUTABLE...\n");
        return 2;
    }
    ShellHandlerSettings settings = ShellHandlerSettings::load(QApplication::applicationDirPath());
    settings.iniFileName = ProgramFolder::forFolder(settings.programFolder,
                                                    QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                                                    QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                               .iniFileName;
    settings.languageFile = settings.wizardLanguageFile();
    DesktopUser user{ShellTexts(settings.languageFile)};
    ShellHandler handler(settings, user);
    bool allDone = true;
    for (const QString &file : arguments.mid(1))
        allDone = (command == QLatin1String("to-exe") ? handler.zipToExe(file) : handler.exeToZip(file)) && allDone;
    return allDone ? 0 : 1;
}
