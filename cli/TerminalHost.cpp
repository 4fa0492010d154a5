#include "TerminalHost.h"

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
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

} // namespace

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
