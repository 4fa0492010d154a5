#pragma once
// Dialogs for the form suites: every modal question is answered from a
// script and written down; links, help pages and started files are
// recorded instead of opened; the About box is handed to a callback
// instead of being run. An unscripted question gets No, an unscripted open
// dialog Cancel, an unscripted colour dialog Cancel.

#include "Dialogs.h"
#include "ScriptedHost.h"

#include <QColor>
#include <QDialog>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>

class ScriptedDialogs final : public Dialogs {
public:
    ArchiverHost *archiverHost(QWidget *) override { return &host; }
    void error(QWidget *, const QString &text) override { said << QStringLiteral("error: ") + text; }
    bool errorQuestion(QWidget *, const QString &text) override
    {
        said << QStringLiteral("question: ") + text;
        return answer();
    }
    bool confirm(QWidget *, const QString &text) override
    {
        said << QStringLiteral("confirm: ") + text;
        return answer();
    }
    void information(QWidget *, const QString &text) override { said << QStringLiteral("information: ") + text; }
    void preview(QWidget *, const QString &text, bool okCancel) override
    {
        said << (okCancel ? QStringLiteral("preview OK/Cancel: ") : QStringLiteral("preview Yes/No: ")) + text;
    }
    bool twoButtons(QWidget *, const QString &, const QString &question, const QString &, const QString &,
                    Icon) override
    {
        said << QStringLiteral("two buttons: ") + question;
        return answer();
    }
    QString openFile(QWidget *, const QString &, const QString &) override
    {
        said << QStringLiteral("open");
        return take(files, QString());
    }
    QString folder(QWidget *, const QString &startFolder) override
    {
        said << QStringLiteral("folder");
        return take(folders, startFolder);
    }
    bool startFile(const QString &path) override
    {
        said << QStringLiteral("start: ") + path;
        return true;
    }
    bool openUrl(const QUrl &url) override
    {
        urls << url;
        return true;
    }
    QColor colour(QWidget *, const QColor &) override
    {
        said << QStringLiteral("colour");
        if (colours.empty())
            return QColor();
        const QColor c = colours.front();
        colours.pop_front();
        return c;
    }
    void run(QDialog &dialog) override
    {
        said << QStringLiteral("dialog: ") + dialog.objectName();
        if (onDialog)
            onDialog(dialog);
    }

    ScriptedHost host;
    QStringList said;
    QList<QUrl> urls;
    std::deque<bool> answers;
    std::deque<QString> files;
    std::deque<QString> folders;
    std::deque<QColor> colours;
    // Looks at (and may click in) a dialog the form runs.
    std::function<void(QDialog &)> onDialog;

private:
    bool answer()
    {
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    static QString take(std::deque<QString> &queue, const QString &otherwise)
    {
        if (queue.empty())
            return otherwise;
        QString s = queue.front();
        queue.pop_front();
        return s;
    }
};
