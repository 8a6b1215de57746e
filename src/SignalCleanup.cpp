#include "SignalCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

// One undo step; written while unarmed, read only by the handler while armed.
struct Step {
    std::atomic<bool> taken{false};
    std::atomic<bool> armed{false};
    int folder = -1;
    char name[NAME_MAX + 1] = {};
    char restoreTo[NAME_MAX + 1] = {};
};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");

Step entries[signalcleanup::ENTRIES];
std::mutex handlersMutex; // guards the counts and actions below, never taken by the handler
int entriesTaken = 0;
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

// Async-signal-safe: unlinkat, renameat, sigaction and raise only. The
// signal stays blocked until the handler returns, and is then delivered at
// its default.
void undoAndReraise(int signal)
{
    for (Step& entry : entries) {
        if (!entry.armed.load(std::memory_order_acquire))
            continue;
        if (entry.restoreTo[0] != '\0')
            renameat(entry.folder, entry.name, entry.folder, entry.restoreTo);
        else
            unlinkat(entry.folder, entry.name, 0);
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void installHandlers()
{
    struct sigaction action {};
    action.sa_handler = undoAndReraise;
    sigfillset(&action.sa_mask); // no second signal between the undoing and the raise
    for (int signal = 1; signal < _NSIG; ++signal) {
        handlerInstalled[signal] = false;
        if (!endsTheProcess(signal) || sigaction(signal, nullptr, &previousActions[signal]) != 0)
            continue; // glibc's own real-time signals refuse with EINVAL
        const struct sigaction& previous = previousActions[signal];
        if (previous.sa_handler == SIG_DFL && !(previous.sa_flags & SA_SIGINFO))
            handlerInstalled[signal] = sigaction(signal, &action, nullptr) == 0;
    }
}

} // namespace

namespace signalcleanup {

int claim()
{
    for (int index = 0; index < ENTRIES; ++index) {
        if (entries[index].taken.exchange(true))
            continue;
        entries[index].armed = false;
        const std::lock_guard lock(handlersMutex);
        if (entriesTaken++ == 0)
            installHandlers();
        return index;
    }
    return -1;
}

void pointAt(int entry, int folder, const std::string& name, const std::string& restoreTo)
{
    if (entry < 0)
        return;
    Step& slot = entries[entry];
    slot.armed.store(false, std::memory_order_seq_cst);
    if (name.empty() || name.size() > NAME_MAX || restoreTo.size() > NAME_MAX)
        return;
    slot.folder = folder;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    std::memcpy(slot.restoreTo, restoreTo.c_str(), restoreTo.size() + 1);
    slot.armed.store(true, std::memory_order_seq_cst);
}

void release(int entry)
{
    if (entry < 0)
        return;
    entries[entry].armed = false;
    {
        const std::lock_guard lock(handlersMutex);
        if (--entriesTaken == 0)
            for (int signal = 1; signal < _NSIG; ++signal)
                if (handlerInstalled[signal])
                    sigaction(signal, &previousActions[signal], nullptr);
    }
    entries[entry].taken = false;
}

} // namespace signalcleanup
