#include "LibraryCaller.h"

#include <cstring>

LibraryCaller::Answer LibraryCaller::send(int32_t action, int32_t code, int32_t value, const std::string &text)
{
    // Offsets: 4 caller, 16 action, 20 code, 24 value, 28 text (512 bytes).
    uint8_t record[28 + 512] = {};
    std::memcpy(record + 4, &m_caller, 4);
    std::memcpy(record + 16, &action, 4);
    std::memcpy(record + 20, &code, 4);
    std::memcpy(record + 24, &value, 4);
    std::memcpy(record + 28, text.data(), text.size() < 511 ? text.size() : 511);
    Answer answer{false, code, value, text};
    if (!m_callback)
        return answer;
    answer.stop = m_callback(record) != 0;
    std::memcpy(&answer.code, record + 20, 4);
    std::memcpy(&answer.value, record + 24, 4);
    const auto *returned = reinterpret_cast<const char *>(record + 28);
    answer.text.assign(returned, strnlen(returned, 512));
    m_stopped = m_stopped || answer.stop;
    return answer;
}

bool matchesPattern(const std::string &pattern, const std::string &name)
{
    const auto norm = [](char c) { return c == '\\' ? '/' : (c >= 'A' && c <= 'Z' ? char(c + 32) : c); };
    if (pattern == "*.*" || pattern == "*")
        return true;
    size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || norm(pattern[p]) == norm(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}
