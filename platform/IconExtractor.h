#pragma once
// Icons taken from files, as the desktop shell's icon extraction gives
// them: an .ico file holds one icon (index 0); an .exe or .dll holds one
// icon per icon group, in resource order. An icon comes back in icon-file
// form (the bytes of a .ico file); a file or index without an icon gives an
// empty result, whatever the file holds.

#include <QByteArray>
#include <QString>

class IconExtractor {
public:
    static QByteArray extract(const QString &path, int index);
    static int iconCount(const QString &path);
    // The bytes are a complete .ico file: a header and directory entries
    // whose images lie inside the bytes.
    static bool isIconFile(const QByteArray &bytes);
};
