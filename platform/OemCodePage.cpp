#include "OemCodePage.h"

#include <QHash>

#include "Cp437.h"

namespace {


const QHash<char16_t, char> &reverseTable()
{
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        for (int i = 0; i < 128; ++i)
            t.insert(zipformat::kCp437UpperHalf[i], static_cast<char>(128 + i));
        return t;
    }();
    return table;
}

} // namespace

QChar OemCodePage::charAt(unsigned char byte)
{
    return byte < 128 ? QChar(byte) : QChar(zipformat::kCp437UpperHalf[byte - 128]);
}

QString OemCodePage::toUnicode(const QByteArray &oem)
{
    QString text(oem.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : oem)
        *out++ = charAt(static_cast<unsigned char>(c));
    return text;
}

QByteArray OemCodePage::fromUnicode(const QString &text)
{
    QByteArray oem;
    oem.reserve(text.size());
    for (QChar ch : text) {
        if (ch.unicode() < 128)
            oem.append(static_cast<char>(ch.unicode()));
        else
            oem.append(reverseTable().value(ch.unicode(), '_'));
    }
    return oem;
}
