#pragma once
// Shortcut files resolved to the command they stand for: Windows shell links
// (.lnk, read from their documented binary layout) and desktop entries
// (.desktop, their Exec line).

#include <QByteArray>
#include <QString>

class ShortcutFile {
public:
    // The target path (the network form when the link has both), two blanks
    // and the arguments, leading blanks removed; empty when the file is no
    // shortcut. Each part is cut to 260 characters.
    static QString resolve(const QString &path);
    static QString resolveLink(const QByteArray &bytes);
    static QString resolveDesktopEntry(const QByteArray &bytes);
};
