#pragma once
// MS-DOS dates and times of ZIP entries (local time, two-second steps) to
// and from the system's time.

#include <cstdint>
#include <ctime>

// The entry's date and time as a system time (local time).
inline time_t timeFromDos(uint16_t date, uint16_t time)
{
    struct tm t {};
    t.tm_year = 80 + (date >> 9);
    t.tm_mon = ((date >> 5) & 15) - 1;
    t.tm_mday = date & 31;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 63;
    t.tm_sec = (time & 31) * 2;
    t.tm_isdst = -1;
    return mktime(&t);
}

// MS-DOS date in the high 16 bits, time in the low 16; times before 1980
// become 1980-01-01.
inline uint32_t dosFromTime(time_t when)
{
    struct tm t {};
    localtime_r(&when, &t);
    if (t.tm_year < 80)
        return (1u << 21) | (1u << 16);
    const uint32_t date = static_cast<uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
    const uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    return (date << 16) | time;
}
