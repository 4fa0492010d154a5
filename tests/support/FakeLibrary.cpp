// Built as libziplib.so (all entries) and as libunzlib.so without its exec
// entry, to test loading and the callback protocol. See FakeLibrary.h.

#include "FakeLibrary.h"

#include <cstring>
#include <vector>

namespace {

std::vector<FakeStep> g_script;
std::vector<FakeStep> g_answers;
int g_version = 160;

using Callback = int32_t (*)(void *record);

} // namespace

extern "C" {

__attribute__((visibility("default"))) void FakeScript(const FakeStep *steps, int count, int version)
{
    g_script.assign(steps, steps + count);
    g_version = version;
}

__attribute__((visibility("default"))) const FakeStep *FakeAnswers(int *count)
{
    *count = static_cast<int>(g_answers.size());
    return g_answers.data();
}

#ifdef FAKE_ZIPLIB
__attribute__((visibility("default"))) int32_t GetZipLibVersion()
{
    return g_version;
}

__attribute__((visibility("default"))) int32_t ZipLibExec(void *request)
{
    const auto *block = static_cast<const unsigned char *>(request);
    uint32_t caller = 0, callbackAt = 0;
    std::memcpy(&caller, block + 4, 4);
    std::memcpy(&callbackAt, block + 12, 4);
    Callback callback = nullptr;
    std::memcpy(&callback, block + callbackAt, sizeof callback);
    g_answers.clear();
    int32_t done = 0;
    for (const FakeStep &step : g_script) {
        unsigned char record[28 + 512] = {};
        std::memcpy(record + 4, &caller, 4);
        std::memcpy(record + 16, &step.action, 4);
        std::memcpy(record + 20, &step.code, 4);
        std::memcpy(record + 24, &step.value, 4);
        std::memcpy(record + 28, step.text, 512);
        const int32_t stop = callback(record);
        FakeStep answer;
        std::memcpy(&answer.action, record + 16, 4);
        std::memcpy(&answer.code, record + 20, 4);
        std::memcpy(&answer.value, record + 24, 4);
        std::memcpy(answer.text, record + 28, 512);
        g_answers.push_back(answer);
        ++done;
        if (stop)
            break;
    }
    return done;
}
#else
__attribute__((visibility("default"))) int32_t GetUnzLibVersion()
{
    return g_version;
}
#endif
}
