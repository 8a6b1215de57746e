#include "SignalCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

// Written before the handler is told of it and read only by the handler.
char tempPath[PATH_MAX];
volatile std::sig_atomic_t tempArmed = 0;
std::atomic<bool> slotTaken{false};
struct sigaction previousActions[_NSIG];
bool handlerInstalled[_NSIG] = {};

// Signals whose default action ends the process; the others (stop, continue,
// child, window size, urgent data) and the uncatchable two are left alone.
bool endsTheProcess(int signal)
{
    switch (signal) {
    case SIGKILL: case SIGSTOP: case SIGCHLD: case SIGCONT: case SIGTSTP:
    case SIGTTIN: case SIGTTOU: case SIGURG: case SIGWINCH:
        return false;
    default:
        return true;
    }
}

// Async-signal-safe: unlink, sigaction and raise only. The signal stays
// blocked until the handler returns, and is then delivered at its default.
void removeTempAndReraise(int signal)
{
    if (tempArmed)
        unlink(tempPath);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

} // namespace

namespace signalcleanup {

bool claim()
{
    if (slotTaken.exchange(true))
        return false;
    tempArmed = 0;
    struct sigaction action {};
    action.sa_handler = removeTempAndReraise;
    sigfillset(&action.sa_mask); // no second signal between the unlink and the raise
    for (int signal = 1; signal < _NSIG; ++signal) {
        handlerInstalled[signal] = false;
        if (!endsTheProcess(signal) || sigaction(signal, nullptr, &previousActions[signal]) != 0)
            continue; // glibc's own real-time signals refuse with EINVAL
        const struct sigaction& previous = previousActions[signal];
        if (previous.sa_handler == SIG_DFL && !(previous.sa_flags & SA_SIGINFO))
            handlerInstalled[signal] = sigaction(signal, &action, nullptr) == 0;
    }
    return true;
}

void pointAt(const std::string& path)
{
    tempArmed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path.empty() || path.size() >= sizeof tempPath)
        return;
    std::memcpy(tempPath, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tempArmed = 1;
}

void release()
{
    tempArmed = 0;
    for (int signal = 1; signal < _NSIG; ++signal)
        if (handlerInstalled[signal])
            sigaction(signal, &previousActions[signal], nullptr);
    slotTaken = false;
}

} // namespace signalcleanup
