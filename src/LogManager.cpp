#include "LogManager.h"

#include "Console.h"

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
// and only when it is a regular file. -1 with errno set otherwise.
int openLog()
{
    const int fd = open(LOG_FILE_NAME, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        errno = EINVAL;
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
    if (fd >= 0) {
        if (ftruncate(fd, 0) != 0)
            reportUnwritable(errno);
        close(fd);
    }
}

// Said once per process, on standard error, so a missing log file or a lost
// record does not go unnoticed; the records themselves still reach the console.
void LogManager::reportUnwritable(int error)
{
    if (unwritableReported)
        return;
    unwritableReported = true;
    std::fprintf(stderr, "Cannot write %s (%s); messages go to the console only.\n",
                 LOG_FILE_NAME, std::strerror(error));
}

void LogManager::log(const char* sourceFile, int line, int level, const char* format, ...)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    va_list args;
    va_start(args, format);
    const std::string message = formatted(format, args);
    va_end(args);

    descriptor = openLog();
    if (descriptor < 0) {
        reportUnwritable(errno);
    } else {
        const int failure = writeWhole(descriptor, prefixOf(level, sourceFile, line) + message + "\n");
        if (close(descriptor) != 0 && failure == 0)
            reportUnwritable(errno);
        else if (failure != 0)
            reportUnwritable(failure);
        descriptor = -1;
    }

    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputs("\n", stdout);
    flushConsole();
}
