#pragma once

#include "Screenshot.h"

#include <string>

// Small Xlib helpers for tests that drive the real program's window.
namespace xsupport {

// The id of the visible top-level window titled exactly title, or 0 once
// timeoutSeconds have passed without one.
unsigned long waitForWindow(const std::string& title, double timeoutSeconds);

// Width and height of a window, or false when it is gone.
bool windowSize(unsigned long window, int& width, int& height);

// The window's pixels as they are on the screen.
bool grabWindow(unsigned long window, Image& image);

// Asks the window to close as its close button does (WM_DELETE_WINDOW).
bool requestClose(unsigned long window);

} // namespace xsupport
