#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// Log levels. Any other integer is accepted and printed as a number.
enum LogLevel : int { Info = 1, Error = 2, Warning = 3, Trace = 4 };

// The process-wide log: every record is appended to "Orbivane.log" in the
// working directory with a level, file and line prefix, and the bare message
// is echoed to standard output. The file is emptied once per process, at the
// first use, and opened and closed around every record so that a record is
// on disk as soon as log() returns. A symlink or anything but a regular file
// in its place is not written through, nor another user's file in a sticky
// world-writable folder (that one not even tried again); that, and a record
// that could not be written whole, is said once per process on standard error.
class LogManager {
public:
    static LogManager& instance();

    // sourceFile: the caller's file relative to the project root; line: the
    // caller's line. A line end is always added after the message.
    void log(const char* sourceFile, int line, int level, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    virtual ~LogManager() = default;
    LogManager(const LogManager&) = delete;
    LogManager& operator=(const LogManager&) = delete;

    // The log file's descriptor, open only while a record is being written.
    int descriptor = -1;

private:
    LogManager();
    void reportUnwritable(int error);
    void writeRecord(const std::string& record); // appended to the file, opened for it

    std::mutex recordMutex;
    bool unwritableReported = false;
    bool refused = false; // another user's file in a sticky world-writable folder: no log file this run
};

// Every call site goes through this, so the record names the place that issued it.
#define ORB_LOG(level, ...) LogManager::instance().log(__FILE__, __LINE__, (level), __VA_ARGS__)
