#pragma once
// Every modal question the main form asks goes through this object, so that
// tests can script the answers instead of blocking on a window. The default
// implementation shows the standard Qt dialogs; starting a file with the
// desktop's program is here too, so a test never launches one.

#include <QString>

#include <memory>

class ArchiverHost;
class QColor;
class QDialog;
class QUrl;
class QWidget;

class Dialogs {
public:
    enum class Icon { Question, Warning, NoEntry };

    Dialogs();
    virtual ~Dialogs();
    Dialogs(const Dialogs &) = delete;
    Dialogs &operator=(const Dialogs &) = delete;
    // The host through which the archive engine shows its messages and asks
    // for passwords and disks.
    virtual ArchiverHost *archiverHost(QWidget *owner);
    // An error box with one OK button.
    virtual void error(QWidget *parent, const QString &text);
    // An error box with Yes and No; true for Yes.
    virtual bool errorQuestion(QWidget *parent, const QString &text);
    // A confirmation with Yes and No; true for Yes.
    virtual bool confirm(QWidget *parent, const QString &text);
    virtual void information(QWidget *parent, const QString &text);
    // The preview of the executable's message box; the answer is not used.
    virtual void preview(QWidget *parent, const QString &text, bool okCancel);
    // The two-button dialog; true when the first button is chosen.
    virtual bool twoButtons(QWidget *parent, const QString &title, const QString &question,
                            const QString &firstButton, const QString &secondButton, Icon icon);
    // An open dialog with a filter in "description|patterns|…" form;
    // empty when cancelled.
    virtual QString openFile(QWidget *parent, const QString &filter, const QString &startFile);
    // A folder dialog; the start folder when cancelled.
    virtual QString folder(QWidget *parent, const QString &startFolder);
    // Opens a file with the desktop's program for its type; false when
    // nothing could be started.
    virtual bool startFile(const QString &path);
    // Opens a web page, a help page or a mail address with the desktop.
    virtual bool openUrl(const QUrl &url);
    // A colour dialog; an invalid colour when cancelled.
    virtual QColor colour(QWidget *parent, const QColor &initial);
    // Shows a dialog of the program's own (the About box) modally.
    virtual void run(QDialog &dialog);

    // "Archives (*.zip)|*.zip;*.ZIP|…" as Qt's "Archives (*.zip) (*.zip *.ZIP);;…";
    // patterns match in either letter case.
    static QString qtFilter(const QString &filter);

private:
    std::unique_ptr<ArchiverHost> m_host;
};
