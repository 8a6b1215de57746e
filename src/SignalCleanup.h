#pragma once

#include <string>

// What a signal that ends the process undoes before it takes its usual
// course: the named temporary files of the saves under way, and the steps of
// a set of files being put in place. Covers every signal whose default
// action ends the process (SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM,
// SIGTERM, SIGUSR1, ... and the real-time ones), but only those still at
// their default action, so a signal the program ignores or handles itself
// keeps its disposition. Used by SafeFile.
namespace signalcleanup {

// Entries at once: one per file being saved.
constexpr int ENTRIES = 32;

// Takes a free entry, installing the handlers with the first one taken; -1
// when all are taken (that file then has no cleanup).
int claim();

// What the handler does for entry, relative to the folder descriptor
// `folder` (which must stay open while it is pointed at): with restoreTo
// empty, removes name; else renames name back to restoreTo (an old file kept
// aside while a set is placed). An empty name: nothing. Set before the step
// it undoes can leave anything behind. Only the entry's holder calls this.
void pointAt(int entry, int folder, const std::string& name, const std::string& restoreTo = "");

// Frees the entry; with the last one, every signal gets its previous action back.
void release(int entry);

// An entry held while the object lives; get() is -1 when none was free.
class Entry {
public:
    Entry() : index(claim()) {}
    ~Entry() { release(index); }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    int get() const { return index; }

private:
    int index;
};

} // namespace signalcleanup
