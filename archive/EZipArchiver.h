#pragma once
// The engine's internal failure: a message id, its text and whether the user
// should see it. Raised inside an operation and caught at its boundary; it
// never leaves TZipArchiver.

#include <QString>

#include <exception>

class EZipArchiver : public std::exception {
public:
    // The id's text from the message table.
    static EZipArchiver CreateById(int id, bool display);
    // The id's text as a format with one integer argument; shown.
    static EZipArchiver CreateWithNumber(int id, qint64 number);
    // The id's text as a format with one text argument; shown.
    static EZipArchiver CreateWithText(int id, const QString &text);

    int id() const { return m_id; }
    bool display() const { return m_display; }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    EZipArchiver(int id, bool display, const QString &message);

    int m_id;
    bool m_display;
    QString m_message;
    QByteArray m_utf8;
};
