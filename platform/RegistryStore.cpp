#include "RegistryStore.h"

#include "PrivateProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool isSameOrBelow(const QString &key, const QString &path)
{
    return key.compare(path, Qt::CaseInsensitive) == 0
        || key.startsWith(path + '\\', Qt::CaseInsensitive);
}

} // namespace

RegistryWriteError::RegistryWriteError(const QString &valueName)
    : std::runtime_error(QStringLiteral("Erreur à définition des données pour '%1'").arg(valueName).toStdString()),
      m_message(QStringLiteral("Erreur à définition des données pour '%1'").arg(valueName))
{
}

RegistryStore::RegistryStore(const QString &fileName) : m_fileName(fileName)
{
}

QString RegistryStore::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/mantole/classes-root.ini");
}

QString RegistryStore::normalized(const QString &path)
{
    QString key = path;
    key.replace('/', '\\');
    while (key.endsWith('\\'))
        key.chop(1);
    while (key.startsWith('\\'))
        key.remove(0, 1);
    return key;
}

bool RegistryStore::keyExists(const QString &path) const
{
    const QString key = normalized(path);
    for (const QString &section : PrivateProfile(m_fileName).readSectionNames())
        if (isSameOrBelow(section, key))
            return true;
    return false;
}

bool RegistryStore::openKey(const QString &path, bool create)
{
    const QString key = normalized(path);
    if (!keyExists(key)) {
        if (!create)
            return false;
        QDir().mkpath(QFileInfo(m_fileName).absolutePath());
        // An empty section stands for the key; parents exist through it.
        const PrivateProfile profile(m_fileName);
        try {
            profile.writeString(key, QStringLiteral("@"), QString());
        } catch (const ProfileWriteError &) {
            return false;
        }
    }
    m_current = key;
    return true;
}

void RegistryStore::writeString(const QString &name, const QString &value)
{
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    try {
        PrivateProfile(m_fileName).writeString(m_current, name, value);
    } catch (const ProfileWriteError &) {
        throw RegistryWriteError(name);
    }
}

std::optional<QString> RegistryStore::readString(const QString &name) const
{
    return PrivateProfile(m_fileName).readValue(m_current, name);
}

void RegistryStore::deleteKey(const QString &path)
{
    const QString key = normalized(path);
    const PrivateProfile profile(m_fileName);
    for (const QString &section : profile.readSectionNames())
        if (isSameOrBelow(section, key))
            profile.eraseSection(section);
}
