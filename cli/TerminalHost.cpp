#include "TerminalHost.h"

#include "Interruption.h"
#include "ZipArchiver.h"

#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

bool interactive()
{
    return isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
}

void printLine(const QString &text)
{
    std::fputs(TerminalHost::forTerminal(text).toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

} // namespace

TerminalHost::TerminalHost()
{
    // For the tests that stop a conversion part way: a pause after every
    // copied piece, so that "part way" lasts long enough to be hit.
    m_pauseMs = std::atoi(qgetenv("MANTOLE_TEST_PAUSE_PER_PIECE_MS").constData());
}

QString TerminalHost::forTerminal(const QString &text)
{
    // The engine writes paths the Windows way; on this system they use "/".
    QString shown = text;
    shown.replace('\\', '/');
    return shown;
}

void TerminalHost::processEvents()
{
    if (m_pauseMs > 0 && !Interruption::requested())
        QThread::msleep(static_cast<unsigned long>(m_pauseMs));
    if (m_archiver && Interruption::requested())
        m_archiver->CancelRequested = true;
}

void TerminalHost::showMessage(const QString &text)
{
    printLine(text);
}

bool TerminalHost::askForDisk(const QString &text, bool)
{
    printLine(text);
    if (!interactive())
        return false;
    std::fputs("Press Enter when ready, or type c and Enter to cancel: ", stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer != "c" && answer != "C";
}

std::optional<QString> TerminalHost::askPassword(const QString &caption, const QString &prompt)
{
    if (!interactive())
        return std::nullopt;
    printLine(caption);
    std::fputs((prompt + QStringLiteral(" ")).toUtf8().constData(), stderr);
    termios saved {};
    const bool hideEcho = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hideEcho) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string answer;
    const bool got = static_cast<bool>(std::getline(std::cin, answer));
    if (hideEcho)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    if (!got)
        return std::nullopt;
    return QString::fromStdString(answer);
}

void TerminalHost::copyProgress(qint64 done, qint64 total)
{
    constexpr qint64 kWorthShowing = 64 * 1024 * 1024;
    if (total < kWorthShowing || !isatty(STDERR_FILENO))
        return;
    const int percent = static_cast<int>(std::min<qint64>(100, done * 100 / total));
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    std::fprintf(stderr, "\r%3d%% (%lld of %lld MiB)", percent, static_cast<long long>(done >> 20),
                 static_cast<long long>(total >> 20));
}

void TerminalHost::endProgress()
{
    if (m_shownPercent >= 0)
        std::fputc('\n', stderr);
    m_shownPercent = -1;
}
