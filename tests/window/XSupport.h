#pragma once

#include "Screenshot.h"

#include <memory>
#include <string>

// Small Xlib helpers for tests that drive the real program's window.
namespace xsupport {

// A local display number, from `first` on, that no X server serves now: no
// lock file /tmp/.X<N>-lock, and no socket /tmp/.X11-unix/X<N>, as a file
// or in the abstract namespace. -1 when none up to first + 1000.
int unservedDisplayNumber(int first);

// A TCP display on this machine ("127.0.0.1:N") that refuses every
// connection while the object lives: its port, 6000 + N, is bound here and
// never listened on, so no server can take it meanwhile. Empty name when
// no such port was free.
class RefusingTcpDisplay {
public:
    RefusingTcpDisplay();
    ~RefusingTcpDisplay();
    RefusingTcpDisplay(const RefusingTcpDisplay&) = delete;
    RefusingTcpDisplay& operator=(const RefusingTcpDisplay&) = delete;
    const std::string& name() const { return display; }

private:
    int socket = -1;
    std::string display;
};

// The id of the visible top-level window titled exactly title, or 0 once
// timeoutSeconds have passed without one (0: one look).
unsigned long waitForWindow(const std::string& title, double timeoutSeconds);

// Width and height of a window, or false when it is gone.
bool windowSize(unsigned long window, int& width, int& height);

// The window's pixels as they are on the screen.
bool grabWindow(unsigned long window, Image& image);

// Asks the window to close as its close button does (WM_DELETE_WINDOW).
bool requestClose(unsigned long window);

// The frames a window presents, as the server reports them: each swap of the
// program draws into the window, and the server tells of every drawing in
// order with the requests of this watch. A test that decides from these
// frames holds however slowly they come; the only clock is a safety net
// against a program that hangs.
class FrameWatch {
public:
    static constexpr double HUNG_SECONDS = 120; // without any frame: the program hangs

    // Watches from now on; a window that is gone, or a server without the
    // DAMAGE extension, gives no frames.
    explicit FrameWatch(unsigned long window);
    ~FrameWatch();
    FrameWatch(const FrameWatch&) = delete;
    FrameWatch& operator=(const FrameWatch&) = delete;

    // The picture of a frame presented after the last picture taken here (the
    // first: after the watch began). False once the window is unmapped or
    // gone, or when no frame came for HUNG_SECONDS.
    bool next(Image& frame);

    // The picture once it has settled: the first that two frames in a row
    // show, unlike `before` when given, so that it shows the last event sent.
    // False after maxFrames frames without one.
    bool settled(Image& frame, const Image* before = nullptr, int maxFrames = 100);

    // Whether the picture changes from a frame to the next within maxFrames
    // frames: the planet turns.
    bool changing(int maxFrames = 100);

private:
    struct Connection;
    std::unique_ptr<Connection> x;
};

} // namespace xsupport
