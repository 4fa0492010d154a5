#pragma once
// What mantole-shell does for the file managers' menu entries: an archive
// made into a self-extracting executable with the wizard's saved options,
// and an executable turned back into its archive. The questions and the
// errors go through ShellHandlerUser, so that tests script the answers.

#include "ShellTexts.h"

#include <QString>

class ShellHandlerUser {
public:
    virtual ~ShellHandlerUser() = default;
    // True to go on.
    virtual bool confirm(const QString &text) = 0;
    virtual void error(const QString &text) = 0;
};

// What the handler reads before it works.
struct ShellHandlerSettings {
    QString programFolder;   // the wizard's, ending in "/"
    QString iniFileName;     // the wizard's MANTOLE.INI
    bool datePrefix = true;  // "date"
    bool dayFirst = true;    // "jjmm"
    QString lastFolder;      // "last"; empty: beside the archive
    QString languageFile;    // the wizard's; empty: English

    // From the classes-root store (SOLVREIK\Prog); the wizard's folder is
    // "pathorlume", else ownFolder. iniFileName is left to the caller, who
    // knows where the wizard keeps its settings.
    static ShellHandlerSettings load(const QString &ownFolder);
    // The language file the wizard speaks by its settings in iniFileName
    // (French when they name none, as the wizard does).
    QString wizardLanguageFile() const;
};

class ShellHandler {
public:
    ShellHandler(const ShellHandlerSettings &settings, ShellHandlerUser &user);

    // Each true on success; a failure has been told to the user.
    bool zipToExe(const QString &archive);
    bool exeToZip(const QString &executable);

    // Where zipToExe writes the executable for this archive (today's date).
    QString executableFor(const QString &archive) const;

private:
    ShellHandlerSettings m_settings;
    ShellHandlerUser &m_user;
    ShellTexts m_texts;
};
