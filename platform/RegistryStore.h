#pragma once
// Where the program keeps what Windows would put below HKEY_CLASSES_ROOT
// (the shell integration's keys and values): a per-user INI-layout file, one
// section per key path ("SOLVREIK\Prog"). A key exists when its section or
// a subkey's does.

#include <QString>

#include <optional>
#include <stdexcept>

// A value that could not be written; the message names the value.
class RegistryWriteError : public std::runtime_error {
public:
    explicit RegistryWriteError(const QString &valueName);
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

class RegistryStore {
public:
    // The store of this user (in the user's config folder), or a file of the
    // caller's choosing.
    explicit RegistryStore(const QString &fileName = defaultFileName());
    static QString defaultFileName();

    // Makes the key current; with create, the key and its parents are made
    // when missing. False when it does not exist and create is false.
    bool openKey(const QString &path, bool create);
    const QString &currentKey() const { return m_current; }
    bool keyExists(const QString &path) const;
    // On the current key. Writing throws RegistryWriteError.
    void writeString(const QString &name, const QString &value);
    std::optional<QString> readString(const QString &name) const;
    // Removes the key with all its subkeys; a missing key is passed over.
    void deleteKey(const QString &path);

private:
    static QString normalized(const QString &path);

    QString m_fileName;
    QString m_current;
};
