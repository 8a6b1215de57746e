#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Where a SafeFile's bytes end up when it is committed.
struct SaveTarget {
    // The file at path, replaced whole. A symlink at path is the user's own:
    // it stays, and the file it leads to is replaced.
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

// The one way this program writes a file: the bytes go into a new temporary
// file ".NAME.XXXXXX" beside the target (created exclusively, never through
// a symlink), are flushed and fsynced, and only then renamed into place. A
// failure removes the temporary file and leaves any old file as it was; a
// SIGINT or SIGTERM during the writing removes it too before the signal takes
// its usual course. Writes after the first failure are dropped; its errno is
// kept for the report.
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

    // Flushes, fsyncs and renames into place; false (with failure() set) when
    // any step, or any write before, failed.
    bool commit();

    bool failed() const { return failure != 0; }
    int failure = 0;       // errno of the first failure, 0 while all is well
    std::string finalPath; // after a successful commit: the file written

private:
    void flush() noexcept;
    bool placeNumbered();

    SaveTarget target;
    std::string tempPath;
    int fd = -1;
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
    bool signalSlot = false; // this file is the one the signal handler removes
};

// The reason for a SafeFile's failure: errno's text ("No space left on
// device"), or "not a regular file" for a target that is a device or a pipe.
std::string failureText(int failure);

// "cannot write \"PATH\": REASON".
std::string writeErrorText(const std::string& path, int failure);
