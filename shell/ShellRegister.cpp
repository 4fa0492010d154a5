#include "ShellRegister.h"

#include "RegistryStore.h"

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}

QString classKey()
{
    return QStringLiteral("CLSID\\") + ShellKeys::ClassId;
}

QString serverKey()
{
    return classKey() + QStringLiteral("\\InProcServer32");
}

QString handlerKey(const QString &root)
{
    return root + QStringLiteral("\\shellex\\ContextMenuHandlers\\") + ShellKeys::ClassId;
}

// Opens (making) the key the next value goes to; a key that cannot be made
// is reported under that value's name, as a failed write would be.
void open(RegistryStore &store, const QString &key, const QString &firstValue)
{
    if (!store.openKey(key, true))
        throw RegistryWriteError(firstValue);
}

void writeDefault(RegistryStore &store, const QString &value)
{
    try {
        store.writeString(ShellKeys::DefaultValue, value);
    } catch (const RegistryWriteError &) {
        throw RegistryWriteError(QString());
    }
}

} // namespace

QString HandlerPath(const QString &programFolder)
{
    return withSlash(programFolder) + ShellKeys::HandlerName;
}

void ShellRegister(RegistryStore &store, const QString &programFolder)
{
    open(store, classKey(), QString());
    writeDefault(store, QStringLiteral("BRISCOVANE"));
    open(store, serverKey(), QString());
    writeDefault(store, HandlerPath(programFolder));
    store.writeString(QStringLiteral("ThreadingModel"), QStringLiteral("Apartment"));
    // Keys without values of their own.
    open(store, handlerKey(QStringLiteral("Folder")), QString());
    open(store, handlerKey(QStringLiteral("*")), QString());
    open(store, ShellKeys::ProgKey, QStringLiteral("pathorlume"));
    store.writeString(QStringLiteral("pathorlume"), withSlash(programFolder));
    store.writeString(QStringLiteral("zip2exeshell"), QStringLiteral("1"));
}

void ShellUnregister(RegistryStore &store)
{
    store.deleteKey(serverKey());
    store.deleteKey(classKey());
    store.deleteKey(handlerKey(QStringLiteral("Folder")));
    store.deleteKey(handlerKey(QStringLiteral("*")));
}
