#pragma once
// The libraries' side of the callback protocol: fills a callback record,
// hands it to the component and reads its answer back.

#include <cstdint>
#include <string>

class LibraryCaller {
public:
    using Callback = int32_t (*)(void *record);
    LibraryCaller(uint32_t caller, Callback callback) : m_caller(caller), m_callback(callback) {}

    struct Answer {
        bool stop = false;
        int32_t code = 0;
        int32_t value = 0;
        std::string text;
    };
    // Sends one record; the answer holds the record as the component left it.
    Answer send(int32_t action, int32_t code, int32_t value, const std::string &text);
    void message(const std::string &text, int32_t code) { send(kMessage, code, 0, text); }
    // The component asked to stop at some point.
    bool stopped() const { return m_stopped; }

    static constexpr int32_t kMessage = 4;

private:
    uint32_t m_caller;
    Callback m_callback;
    bool m_stopped = false;
};

// Windows directory-search matching of entry names, ignoring the case of
// ASCII letters; "/" and "\" are the same, and "*.*" matches every name.
bool matchesPattern(const std::string &pattern, const std::string &name);
