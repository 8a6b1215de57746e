#include "LogManager.h"

#include "Console.h"
#include "SafePath.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const LOG_FILE_NAME = "Orbivane.log";

// The log file opened for appending: never through a symlink (another user
// may plant one in a shared folder), never blocking on a pipe in its place,
// only when it is a regular file, and, as the writers judge links, never
// another user's file in a sticky world-writable folder (they could read
// and change what is logged). -1 with errno set otherwise; errno is
// UNTRUSTED_FILE for that last refusal.
int openLog()
{
    const int fd = open(LOG_FILE_NAME, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat status, folder;
    int refusal = EINVAL;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && stat(".", &folder) == 0)
        refusal = trustedIn(status.st_uid, folder) ? 0 : UNTRUSTED_FILE;
    if (refusal != 0) {
        close(fd);
        errno = refusal;
        return -1;
    }
    return fd;
}

// "LEVEL   file : line: " in the columns every record has.
std::string prefixOf(int level, const char* sourceFile, int line)
{
    char prefix[64];
    switch (level) {
    case Info:    std::snprintf(prefix, sizeof prefix, "INFO    "); break;
    case Error:   std::snprintf(prefix, sizeof prefix, "ERROR   "); break;
    case Warning: std::snprintf(prefix, sizeof prefix, "WARNING "); break;
    case Trace:   std::snprintf(prefix, sizeof prefix, "TRACE   "); break;
    default:      std::snprintf(prefix, sizeof prefix, "LEVEL%d ", level); break;
    }
    char place[32];
    std::snprintf(place, sizeof place, " : %4d: ", line);
    return prefix + std::string(sourceFile) + place;
}

std::string formatted(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return {};
    std::string text(std::size_t(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(std::size_t(length));
    return text;
}

// Writes all of text; the errno of the failure, or 0. One write() is the rule,
// so that records of two processes never interleave; a short one (a disk
// filling up) is finished or explained by the next.
// A file size limit (ulimit -f) gives EFBIG here like any other failure: the
// program ignores SIGXFSZ from its start, so the write returns.
int writeWhole(int fd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        done += std::size_t(written);
    }
    return 0;
}
} // namespace

LogManager& LogManager::instance()
{
    static LogManager manager;
    return manager;
}

LogManager::LogManager()
{
    // Empty the file once per process; every later record appends.
    const int fd = openLog();
    if (fd < 0 && errno == UNTRUSTED_FILE)
        reportUnwritable(UNTRUSTED_FILE);
    if (fd >= 0) {
        if (ftruncate(fd, 0) != 0)
            reportUnwritable(errno);
        close(fd);
    }
}

// Said once per process, on standard error, so a missing log file or a lost
// record does not go unnoticed; the records themselves still reach the console.
// A refused file is not tried again: the run goes on without a log file.
void LogManager::reportUnwritable(int error)
{
    refused = refused || error == UNTRUSTED_FILE;
    if (unwritableReported)
        return;
    unwritableReported = true;
    const char* refusal = untrustedText(error);
    std::fprintf(stderr, "Cannot write %s (%s); messages go to the console only.\n",
                 LOG_FILE_NAME, refusal ? refusal : std::strerror(error));
}

void LogManager::writeRecord(const std::string& record)
{
    descriptor = openLog();
    if (descriptor < 0) {
        reportUnwritable(errno);
        return;
    }
    const int failure = writeWhole(descriptor, record);
    if (close(descriptor) != 0 && failure == 0)
        reportUnwritable(errno);
    else if (failure != 0)
        reportUnwritable(failure);
    descriptor = -1;
}

void LogManager::log(const char* sourceFile, int line, int level, const char* format, ...)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    va_list args;
    va_start(args, format);
    const std::string message = formatted(format, args);
    va_end(args);

    if (!refused)
        writeRecord(prefixOf(level, sourceFile, line) + message + "\n");

    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputs("\n", stdout);
    flushConsole();
}
