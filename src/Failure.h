#pragma once

#include <functional>
#include <source_location>
#include <string>

// What a boundary says when its work fails for want of memory or of threads.
struct FailureReport {
    std::string outOfMemory; // the whole message, for std::bad_alloc and std::length_error
    std::string noThread;    // followed by ": " and the system's reason, for std::system_error
};

// Runs work at a boundary the program goes on from: a console cycle's
// planet, a key in the window, an export. std::bad_alloc, std::length_error
// and std::system_error (a thread that could not start: EAGAIN) become one
// Error record, naming the caller's file and line; any other exception passes
// through. Returns whether work completed.
bool runAtBoundary(const std::function<void()>& work, const FailureReport& report,
                   std::source_location where = std::source_location::current());
