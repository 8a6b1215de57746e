#include "Failure.h"

#include "LogManager.h"

#include <new>
#include <stdexcept>
#include <system_error>

bool runAtBoundary(const std::function<void()>& work, const FailureReport& report, std::source_location where)
{
    LogManager& log = LogManager::instance();
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
        log.log(where.file_name(), static_cast<int>(where.line()), Error, "%s", report.outOfMemory.c_str());
    } catch (const std::length_error&) {
        log.log(where.file_name(), static_cast<int>(where.line()), Error, "%s", report.outOfMemory.c_str());
    } catch (const std::system_error& error) {
        log.log(where.file_name(), static_cast<int>(where.line()), Error, "%s: %s", report.noThread.c_str(), error.what());
    }
    return false;
}
