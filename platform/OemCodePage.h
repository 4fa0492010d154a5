#pragma once
// The OEM code page of archive names (code page 437, what MS-DOS and the
// Windows console use) converted to and from Unicode. Bytes below 128 are
// ASCII in both directions.

#include <QByteArray>
#include <QString>

class OemCodePage {
public:
    static QString toUnicode(const QByteArray &oem);
    // Characters without a code page 437 form become '_', so a name never
    // gains a path separator or a wildcard it did not have.
    static QByteArray fromUnicode(const QString &text);
    static QChar charAt(unsigned char byte);
};
