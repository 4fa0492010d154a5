#include "EZipArchiver.h"

#include "ZipMessages.h"

EZipArchiver::EZipArchiver(int id, bool display, const QString &message)
    : m_id(id), m_display(display), m_message(message), m_utf8(message.toUtf8())
{
}

EZipArchiver EZipArchiver::CreateById(int id, bool display)
{
    return EZipArchiver(id, display, ZipMessages::text(id).value_or(ZipMessages::missingText(id)));
}

EZipArchiver EZipArchiver::CreateWithNumber(int id, qint64 number)
{
    const std::optional<QString> pattern = ZipMessages::text(id);
    if (!pattern)
        return EZipArchiver(id, true, ZipMessages::missingText(id));
    return EZipArchiver(id, true, ZipMessages::format(*pattern, {number}));
}

EZipArchiver EZipArchiver::CreateWithText(int id, const QString &text)
{
    const std::optional<QString> pattern = ZipMessages::text(id);
    if (!pattern)
        return EZipArchiver(id, true, ZipMessages::missingText(id));
    return EZipArchiver(id, true, ZipMessages::format(*pattern, {text}));
}
