#pragma once
// The system's reason for the last failed file operation of the copy and
// conversion routines ("No space left on device", "Permission denied"), kept
// beside their bare result codes so that a front end can say what happened.
// Like errno, it belongs to the calling thread; unlike errno, nothing but a
// failure recorded here changes it.

#include <QString>

#include <cerrno>
#include <cstring>

namespace SystemError {

inline thread_local QString g_lastReason;

// Forgets the reason of an earlier operation; called as an operation starts.
inline void clear()
{
    g_lastReason.clear();
}

// Notes a reason; the first one noted since clear() wins, since what fails
// afterwards usually fails because of it.
inline void note(const QString &reason)
{
    if (g_lastReason.isEmpty() && !reason.isEmpty())
        g_lastReason = reason;
}

inline void noteErrno(int error = errno)
{
    if (error != 0)
        note(QString::fromLocal8Bit(std::strerror(error)));
}

inline const QString &lastReason()
{
    return g_lastReason;
}

} // namespace SystemError
