// Fuzz target: read icons from whatever bytes arrive, as from a hostile
// .exe, .dll or .ico file, and decode their pictures. Also built with
// ReplayMain.cpp for the tests.

#include "IconExtractor.h"
#include "IconImage.h"
#include "PeImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    size_t total = IconExtractor::isIconFile(bytes) ? 1 : 0;
    total += static_cast<size_t>(IconImage::decode(bytes).width());
    total += static_cast<size_t>(IconImage::decodeImage(bytes).width());
    if (const std::optional<PeImage> pe = PeImage::parse(bytes)) {
        for (int i = 0; i < 4; ++i)
            total += static_cast<size_t>(IconImage::decode(pe->iconFile(i)).width());
        for (const PeImage::DirectoryEntry &e : pe->directoryAt(0))
            total += e.target();
    }
    return total == SIZE_MAX ? 1 : 0;
}
