#include "XSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace xsupport {

int unservedDisplayNumber(int first)
{
    // Every Unix socket bound on the machine, abstract ones with a leading @.
    std::string bound;
    std::ifstream sockets("/proc/net/unix");
    for (std::string line; std::getline(sockets, line);)
        bound += line.substr(line.rfind(' ') + 1) + "\n";
    for (int number = first; number <= first + 1000; ++number) {
        const std::string n = std::to_string(number);
        const std::string socket = "/tmp/.X11-unix/X" + n;
        std::error_code error;
        if (!std::filesystem::exists("/tmp/.X" + n + "-lock", error) && !std::filesystem::exists(socket, error) &&
            bound.find(socket + "\n") == std::string::npos)
            return number;
    }
    return -1;
}

RefusingTcpDisplay::RefusingTcpDisplay()
{
    socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (int number = 100 + getpid() % 2000; socket >= 0 && number < 10000 && display.empty(); ++number) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(6000 + number));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            display = "127.0.0.1:" + std::to_string(number);
    }
}

RefusingTcpDisplay::~RefusingTcpDisplay()
{
    if (socket >= 0)
        close(socket);
}

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

// The window's pixels through an open connection; the serial of the request
// that read them in `request` when given.
bool grabInto(Display* display, unsigned long window, Image& image, unsigned long* request = nullptr)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return false;
    if (request)
        *request = NextRequest(display);
    XImage* shot = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
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

} // namespace

unsigned long waitForWindow(const std::string& title, double timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        DisplayPtr display = openDisplay();
        if (display) {
            const unsigned long window = findWindow(display.get(), DefaultRootWindow(display.get()), title);
            if (window)
                return window;
        }
        if (std::chrono::steady_clock::now() >= end)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
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
    return display && grabInto(display.get(), window, image);
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

struct FrameWatch::Connection {
    DisplayPtr display;
    unsigned long window = 0;
    Damage damage = 0;
    int damageEvents = 0;          // the DAMAGE extension's first event number
    unsigned long takenAt = 0;     // serial of the request that took the last picture
    bool fresh = false;            // a frame was presented since that request
    bool gone = false;             // the window was unmapped or destroyed
};

FrameWatch::FrameWatch(unsigned long window) : x(std::make_unique<Connection>())
{
    x->display = openDisplay();
    x->window = window;
    int errors = 0;
    Display* display = x->display.get();
    if (!display || !XDamageQueryExtension(display, &x->damageEvents, &errors)) {
        x->gone = true;
        return;
    }
    XSelectInput(display, window, StructureNotifyMask);
    // Raw rectangles: one report for every drawing, none merged away.
    x->damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    XWindowAttributes attributes;
    x->gone = !XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable;
    x->takenAt = NextRequest(display);
    XSync(display, False);
}

FrameWatch::~FrameWatch()
{
    if (x->damage)
        XDamageDestroy(x->display.get(), x->damage);
}

bool FrameWatch::next(Image& frame)
{
    Display* display = x->display.get();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(HUNG_SECONDS);
    while (!x->gone && !x->fresh) {
        while (!x->gone && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // A report's serial is the last request of ours the server had
            // done: from the taking request on, the drawing came after it.
            if (event.type == x->damageEvents + XDamageNotify)
                x->fresh = x->fresh || event.xany.serial >= x->takenAt;
            else if (event.type == UnmapNotify || event.type == DestroyNotify)
                x->gone = true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (x->gone || x->fresh || left.count() <= 0)
            break;
        pollfd wait{ConnectionNumber(display), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()));
    }
    if (x->gone || !x->fresh)
        return false;
    x->fresh = false;
    return grabInto(display, x->window, frame, &x->takenAt);
}

bool FrameWatch::settled(Image& frame, const Image* before, int maxFrames)
{
    Image latest;
    if (!next(frame))
        return false;
    for (int seen = 1; seen < maxFrames; ++seen) {
        if (!next(latest))
            return false;
        if (latest.rgb == frame.rgb && !(before && before->rgb == frame.rgb))
            return true;
        std::swap(frame, latest);
    }
    return false;
}

bool FrameWatch::changing(int maxFrames)
{
    Image frame, latest;
    if (!next(frame))
        return false;
    for (int seen = 1; seen < maxFrames; ++seen) {
        if (!next(latest))
            return false;
        if (latest.rgb != frame.rgb)
            return true;
    }
    return false;
}

} // namespace xsupport
