#pragma once

#include "FileDescriptor.h"

#include <string>

// The file a save writes, in the folder it is to go into: one that has no
// name (O_TMPFILE) until it is put in place, so that whatever ends the
// process first leaves nothing behind; or, where the file system has no
// such files, one made at once under a fresh hidden name ".NAME.XXXXXX"
// (exclusively, never through a symlink), locked at once. Every step is relative to the
// folder's descriptor, and each is told first to the signal handler
// (SignalCleanup.h), which undoes it when a signal ends the process.
class NewFile {
public:
    NewFile() = default;
    ~NewFile(); // removes the hidden name the file still has, if any
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Makes the file in folder (which must outlive this) with mode (less the
    // umask); name: the name it is to have, the start of a hidden one;
    // signalEntry: its signalcleanup entry, or -1. 0 or an errno.
    int create(int folder, const std::string& name, unsigned mode, int signalEntry);

    int descriptor() const { return fd.get(); }
    int close() noexcept { return fd.close(); }

    // Gives the file `name`, never replacing anything: EEXIST when anything
    // at all has that name, or another errno.
    // set: the SaveSet's signalcleanup set, -1 for a file placed alone.
    int placeAt(const std::string& name, int set = -1);

    // Puts the file at `name` in place of whatever file is there (oldThere:
    // one was, when the save began). keepOld: the file replaced stays under a
    // fresh hidden name until settle() or undo(); set as for placeAt. 0 or
    // an errno.
    int replace(const std::string& name, bool oldThere, bool keepOld, int set = -1);

    // Takes the placing back: the kept file returns to its name, or a name
    // made where none was is removed. 0 or an errno.
    int undo() noexcept;

    // The hidden name of the old file kept aside, "" for none.
    const std::string& keptName() const { return kept; }

    // The placing stands: a kept old file goes. Its name, if it could not be
    // removed, else "".
    std::string settle() noexcept;

private:
    template <class Make>
    int underHiddenName(std::string& name, const Make& make);
    int giveHiddenName();

    FileDescriptor fd;
    int folder = -1;
    std::string stem;   // the name it is to have, where hidden names start
    std::string hidden; // its hidden name while it has one
    std::string placed; // the name it was given
    std::string kept;   // the hidden name of the old file it replaced, while kept
    FileDescriptor keptLock; // the old file, read-locked while it is kept
    bool unnamed = false;
    bool created = false; // placed where nothing was
    int signalEntry = -1;
};

// Every hidden name of a NewFile is locked (an open file description lock)
// from before it is made until it goes. A later save of `name` in folder
// removes the ".NAME.XXXXXX" files that a save of the same name left behind
// when it was killed (SIGKILL, a power cut): those regular files of this
// user's that no one holds a lock on. Links are not followed. Returns how
// many it removed.
int removeLeftHiddenFiles(int folder, const std::string& name);

// Makes every NewFile take the hidden name at once, as on a file system
// without O_TMPFILE; for tests of that path. Off unless switched on.
void useNamedTemporaryFilesOnly(bool namedOnly);
