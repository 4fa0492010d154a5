// Fuzz target: the compression libraries' own archive reader, and a test of
// every entry through the extraction library (the same reader, then the
// decryption and inflation of whatever the records point at). Built for
// libFuzzer (MANTOLE_FUZZ) and, with ReplayMain.cpp, as a plain program
// that replays saved inputs in the test suite.

#include "ArchiveReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int32_t UnzLibExec(void *block);

namespace {

void putU32(std::vector<uint8_t> &block, size_t at, uint32_t value)
{
    std::memcpy(block.data() + at, &value, sizeof value);
}

uint32_t appendText(std::vector<uint8_t> &block, const std::string &text)
{
    const auto at = static_cast<uint32_t>(block.size());
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(0);
    return at;
}

// A test request of the current layout: no callback, one password.
void testWithLibrary(const std::string &archive)
{
    std::vector<uint8_t> block(148, 0);
    putU32(block, 8, 160);
    putU32(block, 24, appendText(block, "password"));
    putU32(block, 28, 0xFFFFFFFF); // test only: nothing is written
    putU32(block, 40, 0xFFFFFFFF);
    putU32(block, 56, 0xFFFFFFFF);
    putU32(block, 68, appendText(block, archive));
    putU32(block, 104, 1);
    putU32(block, 144, 7);
    UnzLibExec(block.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = "/tmp/mantole-fuzz-library-" + std::to_string(::getpid()) + ".zip";
    {
        FILE *file = std::fopen(path.c_str(), "wb");
        if (!file)
            return 0;
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    ArchiveReader reader;
    if (reader.open(path)) {
        uint64_t total = 0;
        for (const ArchiveEntry &e : reader.entries()) {
            uint64_t length = 0, offset = 0;
            if (reader.localRecordLength(e, &length))
                total += length;
            if (reader.dataOffset(e, &offset))
                total += offset;
        }
        const std::vector<bool> chosen =
            reader.select({"*.txt", reader.entries().empty() ? std::string("x") : reader.entries().front().name});
        if (total == UINT64_MAX && chosen.empty())
            std::abort(); // keeps the reads from being optimised away
        testWithLibrary(path);
    }
    return 0;
}
