#pragma once
// The context-menu handler's registration in the classes-root store: the
// handler's class, its server path, the two handler keys, and the values
// below SOLVREIK\Prog through which the handler finds the program. Our
// handler is the program mantole-shell beside the wizard.

#include <QString>

class RegistryStore;

namespace ShellKeys {
inline const QString ClassId = QStringLiteral("{F169D961-B907-11D0-B8FA-A85800C10125}");
inline const QString ProgKey = QStringLiteral("SOLVREIK\\Prog");
inline const QString HandlerName = QStringLiteral("mantole-shell");
// The store's name for a key's default value.
inline const QString DefaultValue = QStringLiteral("@");
} // namespace ShellKeys

// The handler program in programFolder (which may or may not end in "/").
QString HandlerPath(const QString &programFolder);

// Writes the registration for a program in programFolder, overwriting what
// is there; nothing is read first. A key that cannot be made or a value that
// cannot be written throws RegistryWriteError naming the value ("" for a
// key's default value); what was written before stays.
void ShellRegister(RegistryStore &store, const QString &programFolder);

// Removes the four handler keys with their subkeys, missing ones passed
// over. SOLVREIK\Prog and its values stay.
void ShellUnregister(RegistryStore &store);
