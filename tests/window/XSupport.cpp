#include "XSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace xsupport {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Windows come and go while the tests look at them; a request about a window
// that has just gone is not a reason to end the test process.
int ignoreError(Display*, XErrorEvent*) { return 0; }

DisplayPtr openDisplay()
{
    XSetErrorHandler(ignoreError);
    return DisplayPtr(XOpenDisplay(nullptr));
}

unsigned long findWindow(Display* display, Window parent, const std::string& title)
{
    Window root = 0, ancestor = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &ancestor, &children, &count))
        return 0;
    unsigned long found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable)
                found = children[i];
            XFree(name);
        }
        if (!found)
            found = findWindow(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

unsigned long waitForWindow(const std::string& title, double timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < end) {
        DisplayPtr display = openDisplay();
        if (display) {
            const unsigned long window = findWindow(display.get(), DefaultRootWindow(display.get()), title);
            if (window)
                return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

bool windowSize(unsigned long window, int& width, int& height)
{
    DisplayPtr display = openDisplay();
    XWindowAttributes attributes;
    if (!display || !XGetWindowAttributes(display.get(), window, &attributes))
        return false;
    width = attributes.width;
    height = attributes.height;
    return true;
}

bool grabWindow(unsigned long window, Image& image)
{
    DisplayPtr display = openDisplay();
    XWindowAttributes attributes;
    if (!display || !XGetWindowAttributes(display.get(), window, &attributes))
        return false;
    XImage* shot = XGetImage(display.get(), window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!shot)
        return false;
    image.width = attributes.width;
    image.height = attributes.height;
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            unsigned char* out = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
            out[0] = static_cast<unsigned char>((pixel & shot->red_mask) >> 16);
            out[1] = static_cast<unsigned char>((pixel & shot->green_mask) >> 8);
            out[2] = static_cast<unsigned char>(pixel & shot->blue_mask);
        }
    }
    XDestroyImage(shot);
    return true;
}

bool requestClose(unsigned long window)
{
    DisplayPtr display = openDisplay();
    if (!display)
        return false;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display.get(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display.get(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display.get(), window, False, NoEventMask, &event) != 0;
    XFlush(display.get());
    return sent;
}

} // namespace xsupport
