#include "DisplayErrors.h"

#include <X11/Xlib.h>
#include <atomic>
#include <cstdio>

namespace {
// Written by the handler before recorded is set, read after it is seen set.
char firstError[256];
std::atomic<bool> recorded{false};

// Xlib calls this on the thread whose request failed (the window's thread);
// it may not make requests of its own. Returning goes on as if nothing happened.
int recordXError(Display* display, XErrorEvent* event)
{
    if (recorded.load(std::memory_order_acquire))
        return 0;
    char description[200] = {};
    XGetErrorText(display, event->error_code, description, sizeof description);
    std::snprintf(firstError, sizeof firstError, "%s, request %d.%d", description,
                  static_cast<int>(event->request_code), static_cast<int>(event->minor_code));
    recorded.store(true, std::memory_order_release);
    return 0;
}
} // namespace

void recordXErrors()
{
    XSetErrorHandler(recordXError);
    recorded.store(false, std::memory_order_release);
}

bool takeXError(std::string& text)
{
    if (!recorded.load(std::memory_order_acquire))
        return false;
    text = firstError;
    recorded.store(false, std::memory_order_release);
    return true;
}
