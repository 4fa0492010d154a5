#pragma once
// The per-user menu entries that put our handler into the file managers:
// a Dolphin service menu for archives and one for executables (executable
// bit set, as recent Dolphin wants), GNOME Files scripts, Nemo actions,
// actions in Thunar's uca.xml, and the application entry mantole.desktop so
// that "Open with" lists the wizard, with the program's icon in the hicolor
// theme (copied from the program folder's icons/hicolor). They are written whether or not the
// file manager is installed, so one installed later finds them.
//
// Every file we write carries the mark "X-Mantole-Entry" and every Thunar
// action of ours a unique id beginning with "mantole-": removal takes those
// and nothing else, whatever the user keeps beside them.

#include <QString>
#include <QStringList>

// The entries' texts, in the language the wizard speaks.
struct ShellMenuTexts {
    QString zipToExe;
    QString exeToZip;
    QString open;
    // Of the application entry.
    QString genericName = QStringLiteral("Self-extracting executable maker");
    QString comment = QStringLiteral("Turns ZIP archives into self-extracting Windows executables and back");
    // From a language file (see ShellTexts); English where it says nothing.
    static ShellMenuTexts fromLanguageFile(const QString &fileName);
};

class FileManagerEntries {
public:
    // Below the given data and config folders ($XDG_DATA_HOME, $XDG_CONFIG_HOME).
    FileManagerEntries(const QString &dataHome, const QString &configHome);
    // Those of the current user.
    static FileManagerEntries forUser();

    // Writes every entry for the wizard and its handler in programFolder,
    // replacing entries of ours written before (by another language or
    // another folder). False, with error() naming the file, when one cannot
    // be written; the ones written before stay.
    bool install(const QString &programFolder, const ShellMenuTexts &texts);
    // Removes what install writes: our files and our Thunar actions.
    void uninstall();
    const QString &error() const { return m_error; }

    // The places (for the tests and for a reader).
    QString serviceMenuFolder() const;
    QString scriptFolder() const;
    QString nemoFolder() const;
    QString thunarActions() const;
    QString applicationEntry() const;
    QString iconTheme() const; // $XDG_DATA_HOME/icons/hicolor/

    // The MIME types of the two kinds of files our menus serve.
    static QStringList zipMimeTypes();
    static QStringList exeMimeTypes();

private:
    bool writeFile(const QString &fileName, const QByteArray &bytes, bool executable);
    void removeMarked(const QString &folder, const QStringList &patterns);
    bool writeThunarActions(const QString &programFolder, const ShellMenuTexts &texts);
    bool removeThunarActions();

    QString m_data;
    QString m_config;
    QString m_error;
};
