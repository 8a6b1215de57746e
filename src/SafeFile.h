#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Where a SafeFile's bytes end up when it is committed.
struct SaveTarget {
    // The file at path, replaced whole. A symlink at path is the user's own:
    // it stays, and the file it leads to is replaced. As the kernel does with
    // fs.protected_symlinks, a link in a sticky world-writable folder (/tmp)
    // is followed only when its owner is the folder's or the running user.
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

    // The folder the file goes into and (for replacing) its name in there,
    // with a user's symlink followed; "." for a bare name.
    std::string folder() const;
};

// The one way this program writes a file: the bytes go into a temporary file
// in the target's folder that has no name yet (O_TMPFILE), are flushed and
// fsynced, and only then get a name: a fresh ".NAME.XXXXXX" that is renamed
// onto the target, or the numbered name itself. Whatever ends the process
// before that leaves nothing behind. Where the file system has no unnamed
// files, ".NAME.XXXXXX" is created at once (exclusively, never through a
// symlink) and a signal that ends the process removes it first. A failure
// removes the temporary file and leaves any old file as it was. A replaced
// file's mode (and, run as root, its owner and group) goes to the new file;
// its other hard links keep the old contents, which the log says. Writes
// after the first failure are dropped; its errno is kept for the report.
class SafeFile {
public:
    // Opens the temporary file; failed() tells whether that worked. Throws
    // std::bad_alloc when the buffer cannot be had.
    explicit SafeFile(const SaveTarget& target);
    ~SafeFile(); // removes the temporary file unless committed
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Buffered; never throws, so it may be called from a C library callback.
    void write(const void* data, std::size_t size) noexcept;
    void write(const std::string& text) noexcept { write(text.data(), text.size()); }

    // Remembers a failure found by the caller (ENOMEM, say); the first one counts.
    void fail(int error) noexcept;

    // Flushes, fsyncs and puts the file in place; false (with failure() set)
    // when any step, or any write before, failed.
    bool commit();

    bool failed() const { return failure != 0; }
    int failure = 0;       // errno of the first failure, 0 while all is well
    std::string finalPath; // after a successful commit: the file written

private:
    // What the file being replaced had, taken when the SafeFile is made.
    struct Replaced {
        bool exists = false;
        unsigned mode = 0; // permission bits only: set-id bits are never carried over
        unsigned owner = 0, group = 0;
        unsigned long links = 1;
    };

    void noteReplaced();
    void openTemp(const std::string& name);
    void flush() noexcept;
    void giveOldAttributes() noexcept;
    void placeNumbered();
    void replaceTarget();

    SaveTarget target;
    Replaced replaced;
    std::string tempPath; // the temporary file's name while it has one
    int fd = -1;
    bool unnamed = false; // fd is an O_TMPFILE file, nameless until commit
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
    bool signalSlot = false; // this file is the one the signal handler removes
};

// Makes every SafeFile use the named temporary file, as on a file system
// without O_TMPFILE; for tests of that path. Off unless switched on.
void useNamedTemporaryFilesOnly(bool namedOnly);

// Makes a write beyond the file size limit (ulimit -f) fail with EFBIG, to be
// reported like any other write error, instead of ending the process with
// SIGXFSZ. Called once at program start, before any file is written.
void ignoreFileSizeSignal();

// The reason for a SafeFile's failure: errno's text ("No space left on
// device"), "not a regular file" for a target that is a device or a pipe, or
// the refusal of a symlink another user owns in a shared sticky folder.
std::string failureText(int failure);

// "cannot write \"PATH\": REASON".
std::string writeErrorText(const std::string& path, int failure);
