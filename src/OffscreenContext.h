#pragma once

#include <string>

// A GL context with no window and no display: Mesa's EGL on its surfaceless
// platform (llvmpipe without a GPU), a compatibility context of at least
// version 2.1 as the window's, current on this thread while the object
// lives. It draws only into framebuffer objects. Not copyable.
class OffscreenContext {
public:
    OffscreenContext();
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Whether the context is current; otherwise failure says why.
    bool ready() const { return current; }
    const std::string& failure() const { return why; }

private:
    void* display = nullptr; // EGLDisplay
    void* context = nullptr; // EGLContext
    bool current = false;
    std::string why;
};
