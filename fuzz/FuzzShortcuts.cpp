// Fuzz target: resolve whatever bytes arrive as a shell link and as a
// desktop entry. Also built with ReplayMain.cpp for the tests.

#include "ShortcutFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype total = ShortcutFile::resolveLink(bytes).size() + ShortcutFile::resolveDesktopEntry(bytes).size();
    return total < 0 ? 1 : 0;
}
