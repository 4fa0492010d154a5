#pragma once
// The texts of the file managers' entries and of mantole-shell, from the
// wizard's language file: the menu texts in its "reg" section (those the
// language commands copy into the store), the others in "Shell", the
// replace question and the buttons where the wizard keeps them. A text the
// file lacks is the English one, so an older or a custom language file
// still gives working menus.

#include <QString>
#include <QStringList>

class ShellTexts {
public:
    explicit ShellTexts(const QString &languageFile = QString());

    // The text for "Section/Key", with %1, %2… left for the caller.
    QString text(const char *sectionAndKey) const;

    // Every "Section/Key" of ours, for the check of the shipped language files.
    static QStringList keys();

private:
    QString m_file;
};
