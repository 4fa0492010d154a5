#pragma once
// INI-layout files read and written key by key, with the rules of the
// Windows private-profile service that the settings and language files
// rely on: section and key names compare without regard to case, blanks
// around keys and values are ignored, one pair of quotes around a value is
// dropped, the first occurrence of a key counts, a value is read up to 1023
// characters. Nothing is cached: every call reads or writes the file. A
// write replaces the file by a rename, so a reader never sees half of it.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <stdexcept>

// A write that failed; what() is "Ne peut écrire dans " and the file's path.
class ProfileWriteError : public std::runtime_error {
public:
    explicit ProfileWriteError(const QString &path);
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// A section's entries in file order: key and value, as readValue gives them.
using ProfileEntries = QList<std::pair<QString, QString>>;

class PrivateProfile {
public:
    static constexpr int kMaxValueLength = 1023;
    static constexpr int kKeyListBuffer = 8192;

    explicit PrivateProfile(const QString &fileName) : m_fileName(fileName) {}
    const QString &fileName() const { return m_fileName; }

    // The value, or nullopt when the file, section or key is missing. An
    // entry with an empty value gives an empty text.
    std::optional<QString> readValue(const QString &section, const QString &key) const;
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal after "0x"/"0X" (longer than two characters);
    // anything else gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    // The whole section in one read of the file, for callers that ask for
    // many of its keys.
    ProfileEntries readSection(const QString &section) const;
    // The first entry named key, compared as the file's names are.
    static std::optional<QString> valueIn(const ProfileEntries &entries, const QString &key);
    // The section's key names in file order, as many as fit in an
    // 8192-character buffer of names each followed by a NUL.
    QStringList readSectionKeys(const QString &section) const;
    // The names of all sections, in file order.
    QStringList readSectionNames() const;

    // Writes the key (creating the file and section as needed); other lines
    // stay as they are. Throws ProfileWriteError.
    void writeString(const QString &section, const QString &key, const QString &value) const;
    void writeInteger(const QString &section, const QString &key, int value) const;
    void writeBool(const QString &section, const QString &key, bool value) const;
    // Removes the section with all its lines. Throws ProfileWriteError.
    void eraseSection(const QString &section) const;
    // Erases the section and writes it anew at the end of the file with
    // these entries, in one replacement of the file. Throws ProfileWriteError.
    void replaceSection(const QString &section, const ProfileEntries &entries) const;

private:
    QStringList readLines() const;
    void writeLines(const QStringList &lines) const;

    QString m_fileName;
};
