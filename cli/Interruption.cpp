#include "Interruption.h"

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t g_signal = 0;

void onSignal(int number)
{
    if (g_signal == number) {
        // Asked twice: stop now.
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    g_signal = number;
}

} // namespace

void Interruption::install()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait on the terminal (a password question) ends.
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
}

int Interruption::signal()
{
    return g_signal;
}

int Interruption::exitCode()
{
    return g_signal != 0 ? 128 + g_signal : 1;
}
