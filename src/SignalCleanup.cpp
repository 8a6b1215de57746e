#include "SignalCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace {

// One undo step; written inside a Transition, read by the handler only once
// no thread is inside one.
struct Step {
    std::atomic<bool> taken{false};
    std::atomic<bool> armed{false};
    int folder = -1;
    int set = -1;                         // the set it belongs to, -1 for none
    char name[NAME_MAX + 1] = {};         // before the set's commit (or always): removed, or renamed to restoreTo
    char restoreTo[NAME_MAX + 1] = {};
    char afterCommit[NAME_MAX + 1] = {};  // once the set is committed: removed ("" for nothing)
};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the count");

Step entries[signalcleanup::ENTRIES];
std::atomic<bool> setTaken[signalcleanup::SETS];
std::atomic<bool> setCommitted[signalcleanup::SETS];
std::atomic<int> inTransition{0};   // Transitions open, on all threads
std::atomic<bool> ending{false};    // a handler has begun: the process ends
thread_local int ownTransitions = 0; // this thread's share of inTransition (static TLS: safe in the handler)
std::atomic<signalcleanup::StepHook> stepHook{nullptr};
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

// Waits, with every signal blocked, for the process to end: a handler on
// another thread is undoing the steps and then ends it.
[[noreturn]] void awaitTheEnd()
{
    for (;;)
        pause();
}

void undoStep(const Step& entry)
{
    const bool committed = entry.set >= 0 && setCommitted[entry.set].load(std::memory_order_seq_cst);
    if (committed) {
        if (entry.afterCommit[0] != '\0')
            unlinkat(entry.folder, entry.afterCommit, 0);
    } else if (entry.restoreTo[0] != '\0') {
        renameat(entry.folder, entry.name, entry.folder, entry.restoreTo);
    } else if (entry.name[0] != '\0') {
        unlinkat(entry.folder, entry.name, 0);
    }
}

// Async-signal-safe: atomic loads, nanosleep, pause, unlinkat, renameat,
// sigaction and raise only. Only the first handler undoes; it waits until no
// other thread is inside a Transition (its own, if it interrupted one after
// all, never ends), and no thread enters one after. The signal stays blocked
// until the handler returns, and is then delivered at its default.
void undoAndReraise(int signal)
{
    if (ending.exchange(true, std::memory_order_seq_cst))
        awaitTheEnd();
    const timespec pauseBetweenLooks{0, 1000000}; // 1 ms
    while (inTransition.load(std::memory_order_seq_cst) != ownTransitions)
        nanosleep(&pauseBetweenLooks, nullptr);
    for (Step& entry : entries)
        if (entry.armed.load(std::memory_order_acquire))
            undoStep(entry);
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

// Copies text into a step's name; false when it is too long to be one.
bool copyName(char (&to)[NAME_MAX + 1], const std::string& text)
{
    if (text.size() > NAME_MAX)
        return false;
    std::memcpy(to, text.c_str(), text.size() + 1);
    return true;
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
    const Transition quiet;
    Step& slot = entries[entry];
    slot.armed.store(false, std::memory_order_seq_cst);
    slot.set = -1;
    slot.name[0] = slot.restoreTo[0] = slot.afterCommit[0] = '\0';
    if (name.empty() || !copyName(slot.name, name) || !copyName(slot.restoreTo, restoreTo)) {
        slot.name[0] = slot.restoreTo[0] = '\0'; // nothing to do rather than half of it
        return;
    }
    slot.folder = folder;
    slot.armed.store(true, std::memory_order_seq_cst);
}

void pointAtPlaced(int entry, int set, int folder, const std::string& kept, const std::string& placed, bool created)
{
    if (entry < 0)
        return;
    const Transition quiet;
    if (!kept.empty())
        pointAt(entry, folder, kept, placed);
    else
        pointAt(entry, folder, created ? placed : "");
    Step& slot = entries[entry];
    if (set < 0 || !copyName(slot.afterCommit, kept))
        return;
    slot.set = set;
    slot.folder = folder;
    slot.armed.store(true, std::memory_order_seq_cst); // after a commit there may be something to remove still
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

int claimSet()
{
    for (int index = 0; index < SETS; ++index)
        if (!setTaken[index].exchange(true)) {
            setCommitted[index] = false;
            return index;
        }
    return -1;
}

void commitSet(int set)
{
    if (set < 0)
        return;
    const Transition quiet;
    setCommitted[set].store(true, std::memory_order_seq_cst);
    afterStep();
}

void releaseSet(int set)
{
    if (set >= 0)
        setTaken[set] = false;
}

Transition::Transition()
{
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    const bool outermost = ownTransitions++ == 0; // one nested in another the handler waits for goes on
    inTransition.fetch_add(1, std::memory_order_seq_cst);
    if (outermost && ending.load(std::memory_order_seq_cst)) {
        inTransition.fetch_sub(1, std::memory_order_seq_cst);
        --ownTransitions;
        awaitTheEnd();
    }
}

Transition::~Transition()
{
    inTransition.fetch_sub(1, std::memory_order_seq_cst);
    --ownTransitions;
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

void setStepHook(StepHook hook) { stepHook = hook; }

void afterStep()
{
    if (const StepHook hook = stepHook.load())
        hook();
}

} // namespace signalcleanup
