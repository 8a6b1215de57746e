#include "LogManager.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace {
const char* const LOG_FILE_NAME = "Orbivane.log";
}

LogManager& LogManager::instance()
{
    static LogManager manager;
    return manager;
}

LogManager::LogManager()
{
    // Empty the file once per process; every later record appends.
    file = std::fopen(LOG_FILE_NAME, "w+");
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
}

// Said once per process, on standard error, so a missing log file does not go
// unnoticed; the records themselves still reach the console.
void LogManager::reportUnwritable()
{
    if (unwritableReported)
        return;
    unwritableReported = true;
    std::fprintf(stderr, "Cannot write %s (%s); messages go to the console only.\n",
                 LOG_FILE_NAME, std::strerror(errno));
}

void LogManager::log(const char* sourceFile, int line, int level, const char* format, ...)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    file = std::fopen(LOG_FILE_NAME, "a+");
    if (!file)
        reportUnwritable();

    if (file) {
        switch (level) {
        case Info:    std::fprintf(file, "INFO    %s : %4d: ", sourceFile, line); break;
        case Error:   std::fprintf(file, "ERROR   %s : %4d: ", sourceFile, line); break;
        case Warning: std::fprintf(file, "WARNING %s : %4d: ", sourceFile, line); break;
        case Trace:   std::fprintf(file, "TRACE   %s : %4d: ", sourceFile, line); break;
        default:      std::fprintf(file, "LEVEL%d %s : %4d: ", level, sourceFile, line); break;
        }
        va_list args;
        va_start(args, format);
        std::vfprintf(file, format, args);
        va_end(args);
    }

    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);

    if (file)
        std::fputs("\n", file);
    std::fputs("\n", stdout);
    std::fflush(stdout);

    if (file) {
        std::fclose(file);
        file = nullptr;
    }
}
