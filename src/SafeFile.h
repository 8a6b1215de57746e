#pragma once

#include "NewFile.h"
#include "OldFile.h"
#include "SafePath.h"
#include "SignalCleanup.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Where a SafeFile's bytes end up when it is committed.
struct SaveTarget {
    // The file at path, replaced whole. A symlink at path is the user's own:
    // it stays, and the file it leads to is replaced. As the kernel does with
    // fs.protected_symlinks, a link there or on the way in a sticky
    // world-writable folder (/tmp) is followed only when its owner is the
    // folder's or the running user.
    static SaveTarget replacing(const std::string& path);

    // prefix + N + suffix with the first N from `first` (1 or more) to `last`
    // that names nothing yet, not even a dangling symlink; an existing file is
    // never replaced. first == last claims exactly that N or fails (EEXIST).
    static SaveTarget numbered(const std::string& prefix, const std::string& suffix, int first = 1,
                               int last = 1000000);

    // The first N from 1 for which prefix + N + each suffix names nothing now:
    // where files saved together can all start.
    static int firstFreeNumber(const std::string& prefix, const std::vector<std::string>& suffixes);

    std::string path;   // replacing: the path as given
    std::string prefix; // numbered: the name before N
    std::string suffix; // numbered: the name after N
    int first = 1;      // numbered: the smallest N tried
    int last = 1000000; // numbered: the largest N tried
    bool isNumbered = false;

    // The name in messages: the path, or the numbered name with the first N
    // that names nothing now.
    std::string name() const;
};

// The one way this program writes a file. The path is walked one folder at
// a time (SafePath.h), so that no other user's link on the way can send the
// file elsewhere, and every later step happens in the folder found. The bytes
// go into a file there that has no name yet (NewFile.h), are flushed and
// fsynced, take over what the old file had (OldFile.h), and only then is the
// file put in place: renamed onto the target, or linked to the numbered name
// itself. Whatever ends the process before that leaves nothing behind. A
// failure removes the new file and leaves any old file as it was; a replaced
// file's other hard links keep the old contents, which the log says. Writes
// after the first failure are dropped; its errno is kept for the report.
// Files that must appear together are committed as one SaveSet.
class SafeFile {
public:
    // Opens the new file; failed() tells whether that worked. Throws
    // std::bad_alloc when the buffer cannot be had.
    explicit SafeFile(const SaveTarget& target);
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Buffered; never throws, so it may be called from a C library callback.
    void write(const void* data, std::size_t size) noexcept;
    void write(const std::string& text) noexcept { write(text.data(), text.size()); }

    // Remembers a failure found by the caller (ENOMEM, say); the first one counts.
    void fail(int error) noexcept;

    // Flushes, fsyncs and puts the file in place: a set of one. False (with
    // failure() set) when any step, or any write before, failed.
    bool commit();

    bool failed() const { return failure != 0; }
    int failure = 0;       // errno of the first failure, 0 while all is well
    std::string finalPath; // once in place: the file written

private:
    friend class SaveSet;

    // The steps of a commit, each returning failure: the bytes made durable
    // with the old file's attributes; the file put in place (number: the N
    // of a set's numbered files, 0 until the first takes one; keepOld: the
    // old file is kept aside until settle; set: the set's signalcleanup set,
    // -1 for none); taken back (false, logged, where
    // it could not be); made final.
    int prepare() noexcept;
    int place(int& number, bool keepOld, int set);
    int placeNumbered(int& number, int set);
    bool undo() noexcept;
    void settle() noexcept;

    void flush() noexcept;
    std::string inFolder(const std::string& name) const;

    SaveTarget target;
    FilePlace where; // numbered: the prefix's folder, and its name part as the name
    OldFile old;
    signalcleanup::Entry signalEntry; // before file: released after file removes its hidden name
    NewFile file;
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
};

// Makes a write beyond the file size limit (ulimit -f) fail with EFBIG, to be
// reported like any other write error, instead of ending the process with
// SIGXFSZ. Called once at program start, before any file is written.
void ignoreFileSizeSignal();

// The reason for a SafeFile's failure: errno's text ("No space left on
// device"), "not a regular file" for a target that is a device or a pipe, or
// the refusal of a symlink or a file another user owns in a shared sticky folder.
std::string failureText(int failure);

// "cannot write \"PATH\": REASON".
std::string writeErrorText(const std::string& path, int failure);
