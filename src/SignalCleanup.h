#pragma once

#include <signal.h>
#include <string>

// What a signal that ends the process undoes before it takes its usual
// course: the named temporary files of the saves under way, and the steps of
// a set of files being put in place. Covers every signal whose default
// action ends the process (SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM,
// SIGTERM, SIGUSR1, ... and the real-time ones), but only those still at
// their default action, so a signal the program ignores or handles itself
// keeps its disposition. Used by SafeFile.
//
// A step on the files and the entry that describes its outcome change
// together, inside one Transition: the handler, on whatever thread it runs,
// waits until no other thread is inside one, and a thread that enters one
// after a signal arrived waits there for the process to end. So the handler
// never sees a file renamed and its entry still describing the name before.
namespace signalcleanup {

// Entries at once: one per file being saved.
constexpr int ENTRIES = 32;
// Sets of files being placed at once.
constexpr int SETS = ENTRIES;

// Takes a free entry, installing the handlers with the first one taken; -1
// when all are taken (that file then has no cleanup).
int claim();

// What the handler does for entry, relative to the folder descriptor
// `folder` (which must stay open while it is pointed at): with restoreTo
// empty, removes name; else renames name back to restoreTo (an old file kept
// aside while a set is placed). An empty name: nothing. Set before the step
// it undoes can leave anything behind, or in the same Transition as that
// step. Only the entry's holder calls this.
void pointAt(int entry, int folder, const std::string& name, const std::string& restoreTo = "");

// A member of `set` (-1: a file placed alone) now at `placed`, the old file
// it replaced kept aside as `kept` ("" for none; created: nothing was at
// placed). Until the set is committed the handler takes the placing back
// (kept returns to placed, or a created placed goes); after, it only
// removes kept.
void pointAtPlaced(int entry, int set, int folder, const std::string& kept, const std::string& placed, bool created);

// Frees the entry; with the last one, every signal gets its previous action back.
void release(int entry);

// Takes a free set, -1 when all are taken (its members are then always taken
// back by a signal, as before a commit); commit() is the set's one commit
// point: from then on a signal leaves every member new.
int claimSet();
void commitSet(int set);
void releaseSet(int set);

// A slot (an entry or a set) held while the object lives; get() is -1 when
// none was free.
template <int (*Claim)(), void (*Release)(int)>
class Held {
public:
    Held() : index(Claim()) {}
    ~Held() { Release(index); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    int get() const { return index; }

private:
    int index;
};
using Entry = Held<claim, release>;
using Set = Held<claimSet, releaseSet>;

// Blocks every signal in this thread and makes the handler wait while the
// object lives: a step on the files and its pointAt belong in one. Nests.
class Transition {
public:
    Transition();
    ~Transition();
    Transition(const Transition&) = delete;
    Transition& operator=(const Transition&) = delete;

private:
    sigset_t saved; // the thread's signal mask before
};

// Called after every step on the files of a save (NewFile, SaveSet), inside
// the step's Transition where it has one: for tests that end the process
// at each step. None by default.
using StepHook = void (*)();
void setStepHook(StepHook hook);
void afterStep();

} // namespace signalcleanup
