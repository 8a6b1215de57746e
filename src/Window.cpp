#include "Window.h"

#include "DisplayErrors.h"
#include "Failure.h"
#include "FrameDrawing.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MemoryReserve.h"
#include "MeshExport.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "PlanetSequence.h"
#include "Renderer.h"
#include "Rotation.h"
#include "TurningDetail.h"
#include "ViewControl.h"
#include "WindowCreation.h"
#include "WindowSaves.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {
constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;

// Samples a pixel the next window asks for; 0: no multisampling.
int windowSamples = AUTOMATIC_SAMPLES;

// Asked for by the P, E, M and C keys, carried out by the frame loop.
SaveRequests saves;
// Asked for by N: a new planet with the same answers and the next seed.
bool newPlanetRequested = false;
// Asked for by Space (two presses in one poll cancel) and Home or R.
bool pauseToggleRequested = false;
bool viewResetRequested = false;

// How the user holds the planet; every window starts from the starting view.
ViewControl view;
// The framebuffer's size in pixels and the camera distance the projection
// was last set for.
int framebufferWidth = 1;
int framebufferHeight = 1;
double projectedDistance = ViewControl::START_DISTANCE;

// The pointer's last position in screen coordinates, from the events in
// their order: a press is taken where the pointer was when the button went
// down, not where it has gone since.
double pointerX = 0;
double pointerY = 0;
bool pointerKnown = false;
// A left press waits for the next frame, whose depth under the pointer says
// how high the surface grabbed stands.
bool pressPending = false;
double pressX = 0;
double pressY = 0;
// When the wheel or the button was last used: a large planet is drawn
// coarser while the hand is at work, so the frames keep up with it.
HandActivity hand;

// Key W: the rivers and lakes shown or hidden, and the log told which.
void toggleRivers()
{
    setRiversShown(!riversShown());
    ORB_LOG(Info, "Rivers: %s", riversShown() ? "shown" : "hidden");
}

void handleKey(GLFWwindow* window, int key, int, int action, int)
{
    if (action != GLFW_PRESS)
        return;
    if (key == GLFW_KEY_ESCAPE)
        glfwSetWindowShouldClose(window, GLFW_TRUE);
    else if (key == GLFW_KEY_P)
        saves.screenshot = true;
    else if (key == GLFW_KEY_E)
        saves.mesh = true;
    else if (key == GLFW_KEY_SPACE)
        pauseToggleRequested = !pauseToggleRequested;
    else if (key == GLFW_KEY_HOME || key == GLFW_KEY_R)
        viewResetRequested = true;
    else if (key == GLFW_KEY_M)
        saves.maps = true;
    else if (key == GLFW_KEY_N)
        newPlanetRequested = true;
    else if (key == GLFW_KEY_C)
        saves.cubeFaces = true;
    else if (key == GLFW_KEY_F)
        setFacetedLand(!facetedLand());
    else if (key == GLFW_KEY_V) {
        setClimateView(nextView(climateView()));
        ORB_LOG(Info, "View: %s", viewName(climateView()));
    }
    else if (key == GLFW_KEY_W)
        toggleRivers();
}

ViewSize sizeOf(GLFWwindow* window)
{
    ViewSize size{0, 0};
    glfwGetWindowSize(window, &size.width, &size.height);
    return size;
}

void handleButton(GLFWwindow* window, int button, int action, int)
{
    if (button != GLFW_MOUSE_BUTTON_LEFT)
        return;
    hand.touched(glfwGetTime());
    if (action == GLFW_RELEASE) {
        pressPending = false;
        view.release();
        return;
    }
    if (!pointerKnown)
        glfwGetCursorPos(window, &pointerX, &pointerY);
    pressPending = true;
    pressX = pointerX;
    pressY = pointerY;
}

void handlePointer(GLFWwindow* window, double x, double y)
{
    pointerX = x;
    pointerY = y;
    pointerKnown = true;
    view.moveTo(x, y, sizeOf(window));
}

// A pointer that left may come back elsewhere before it moves again.
void handlePointerEntering(GLFWwindow*, int entered)
{
    if (!entered)
        pointerKnown = false;
}

void handleWheel(GLFWwindow*, double, double notches)
{
    hand.touched(glfwGetTime());
    view.zoom(notches);
}

// The perspective for the framebuffer's size and the camera's distance.
void setWindowProjection()
{
    setProjection(view, framebufferWidth, framebufferHeight);
    projectedDistance = view.distance();
}

// Takes hold of the surface under a pending press, from the frame just
// drawn: the depth there tells its radius, so a mountain grabbed stays under
// the pointer as well as the sea does.
void grabUnderPointer(GLFWwindow* window)
{
    if (!pressPending)
        return;
    pressPending = false;
    const ViewSize size = sizeOf(window);
    if (size.width <= 0 || size.height <= 0)
        return;
    const int x = static_cast<int>(pressX * framebufferWidth / size.width);
    const int y = framebufferHeight - 1 - static_cast<int>(pressY * framebufferHeight / size.height);
    GLfloat depth = 1.0f; // nothing drawn
    if (x >= 0 && x < framebufferWidth && y >= 0 && y < framebufferHeight)
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    view.press(pressX, pressY, size, view.radiusAt(pressX, pressY, size, depth));
    view.moveTo(pointerX, pointerY, size); // where it has gone since
}

// What Space, Home or R and the wheel asked for since the last frame.
void applyViewRequests()
{
    if (currentPlanet && pauseToggleRequested)
        currentPlanet->rotating = !currentPlanet->rotating;
    if (viewResetRequested) {
        view.reset();
        pressPending = false;
        if (currentPlanet)
            std::fill(std::begin(currentPlanet->angle), std::end(currentPlanet->angle), 0.0f);
    }
    pauseToggleRequested = viewResetRequested = false;
    if (view.distance() != projectedDistance)
        setWindowProjection();
}

// The level of detail of the next frame (TurningDetail.h): coarser while the
// hand is at work or the planet turns, whole when it stands still, and whole
// for a frame to be saved.
void chooseWindowDetail()
{
    if (!currentPlanet || !currentPlanet->buffers)
        return;
    const bool held = view.dragging() || pressPending;
    const FrameMotion motion{hand.atWork(glfwGetTime(), held), currentPlanet->rotating && !held, saves.screenshot};
    chooseDetail(view, framebufferWidth, framebufferHeight, motion);
}

// Xlib ends the process when this returns; the planet's thread is stopped
// and the reason told first, so that a lost display never looks like a crash.
int displayLost(Display*)
{
    if (currentPlanet) {
        stopLiveGeneration(*currentPlanet); // ends its progress line first
        exportFinishedPlanet(*currentPlanet); // what there is, before the end
    }
    ORB_LOG(Error, "The connection to the display was lost; Orbivane ends.");
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

// Reports the first GL error of a window, once.
void checkGlErrors(bool& reported)
{
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR || reported)
        return;
    reported = true;
    ORB_LOG(Error, "OpenGL error 0x%04x while drawing the planet", error);
}

// Work the keys asked for, and the export of a live generation that has ended.
void serviceRequests(GLFWwindow* window)
{
    if (!currentPlanet)
        return;
    saves.serve(window, *currentPlanet, view);
    exportFinishedPlanet(*currentPlanet);
}

// While N's planet is made no frame is drawn, but the planet on the screen is
// still the one the keys mean: their saves are served from it at once, P's
// from its frame drawn again (it stands still meanwhile), never later from
// the planet that replaces it.
void serviceSavesWhileBusy(GLFWwindow* window)
{
    if (!currentPlanet || !saves.any())
        return;
    if (saves.screenshot) {
        chooseWindowDetail();
        drawFrame();
    }
    saves.serve(window, *currentPlanet, view);
}

// How often the frame loop looks for the next planet while it is made, in seconds.
constexpr double NEXT_PLANET_POLL_SECONDS = 0.002;

// N starts the next planet; the one made since is shown from this frame on.
// Keys pressed while the planet before it was on the screen are served on
// that one first, however long their saves kept the loop from seeing them.
// Returns whether a planet is still being made.
bool serviceNewPlanet(GLFWwindow* window, PlanetSequence& sequence, PlanetShaders& shaders)
{
    if (newPlanetRequested && currentPlanet)
        sequence.request(*currentPlanet);
    newPlanetRequested = false;
    if (std::unique_ptr<Planet> next = sequence.take()) {
        // Keys still queued were pressed while this planet was on the
        // screen: the saves before them may have kept the loop from reading them.
        glfwPollEvents();
        serviceSavesWhileBusy(window);
        showNextPlanet(std::move(next), shaders);
    }
    return sequence.busy();
}

// The software renderer builds each frame's scene in heap blocks and frees
// them after the swap. With glibc's default trim threshold (128 KiB) that
// memory goes back to the kernel every frame and returns as fresh zeroed
// pages: about 2,800 page faults a frame at 6 subdivisions, 6 to 12 us each on
// some virtual machines. Kept, it costs only the largest frame's memory.
// Arrays of 128 KiB and more are mapped on their own and still given back.
void keepFrameMemory()
{
    constexpr int TRIM_THRESHOLD = 512 << 20; // bytes of free heap top kept
    mallopt(M_TRIM_THRESHOLD, TRIM_THRESHOLD);
}

// Standard output stays as it was; GLFW's reason goes to standard error.
void reportNoWindow()
{
    const char* reason = nullptr;
    glfwGetError(&reason);
    std::fprintf(stderr, "Orbivane: no window could be opened: %s\n", reason ? reason : "no reason given");
}

// Draws until the window is closed or lost to an X error. Keys pressed in the
// frame that closed it are served on one more frame.
void runFrames(GLFWwindow* window, PlanetShaders& shaders, std::optional<PlanetSequence>& sequence)
{
    if (currentPlanet)
        sequence.emplace(*currentPlanet, runOptions);
    double last = glfwGetTime();
    bool glErrorReported = false;
    std::string xError;
    do {
        const double now = glfwGetTime();
        const float dtMs = static_cast<float>(now - last) * 1000.0f;
        last = now;
        applyViewRequests();
        if (sequence && serviceNewPlanet(window, *sequence, shaders)) {
            // The frame on the screen stays while the next planet is made:
            // on two cores, drawing would take the generation's time.
            serviceSavesWhileBusy(window);
            glfwWaitEventsTimeout(NEXT_PLANET_POLL_SECONDS);
            continue;
        }
        chooseWindowDetail();
        drawFrame();
        grabUnderPointer(window);
        serviceRequests(window);
        checkGlErrors(glErrorReported);
        glfwSwapBuffers(window);
        if (currentPlanet)
            showLiveGeneration(*currentPlanet); // its rise, held until now, is watched from here on
        glfwPollEvents();
        // A held planet waits; on release it turns on from where it was let
        // go. A press just made waits too: the next frame, whose depth tells
        // what was grabbed, must show the planet as the user saw it.
        if (!view.dragging() && !pressPending)
            updatePlanet(dtMs);
        if (takeXError(xError)) {
            ORB_LOG(Error, "The window was lost to an X error (%s); it is closed.", xError.c_str());
            return;
        }
    } while (!glfwWindowShouldClose(window) || (currentPlanet && saves.any()));
}
} // namespace

void setWindowSamples(int samples)
{
    windowSamples = samples == AUTOMATIC_SAMPLES ? samples : std::max(samples, 0);
}

void resizeWindow(GLFWwindow*, int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    framebufferWidth = width;
    framebufferHeight = height;
    setWindowProjection();
    glLoadIdentity();
}

void drawFrame()
{
    drawPlanetFrame(view);
}

void placeCameraAndLight()
{
    placeCameraAndLight(view);
}

GLFWwindow* openWindow()
{
    keepFrameMemory();
    if (!glfwInit()) {
        reportNoWindow();
        return nullptr;
    }
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 8);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    // The drawing uses the fixed-function pipeline: a compatibility context.
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    GLFWwindow* window = createWindow(WINDOW_WIDTH, WINDOW_HEIGHT, "Orbivane", windowSamples);
    if (!window) {
        reportNoWindow();
        return nullptr;
    }
    // Process-wide, so no handle to GLFW's display is needed; GLFW on this
    // system always talks to an X server.
    XSetIOErrorHandler(displayLost);
    glfwMakeContextCurrent(window);
    glfwSetFramebufferSizeCallback(window, resizeWindow);
    glfwSetKeyCallback(window, handleKey);
    view = ViewControl();
    if (runOptions.lookAt)
        view.startAt(*runOptions.lookAt);
    hand.reset();
    setFacetedLand(false);
    setClimateView(runOptions.view);
    setRiversShown(true);
    pointerKnown = pressPending = pauseToggleRequested = viewResetRequested = false;
    glfwSetMouseButtonCallback(window, handleButton);
    glfwSetCursorPosCallback(window, handlePointer);
    glfwSetCursorEnterCallback(window, handlePointerEntering);
    glfwSetScrollCallback(window, handleWheel);
    glfwSwapInterval(1);
    glewInit();
    initGL();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    resizeWindow(window, width, height);
    recordXErrors();
    return window;
}

bool runWindow()
{
    // With a display but no room for its driver no window opens, and the
    // cycle goes on; without a display openWindow says why and it ends.
    const bool room = !glfwInit() || canReserve(CONTEXT_DRIVER_BYTES);
    if (!room)
        ORB_LOG(Error, "Not enough memory to show the planet");
    GLFWwindow* window = room ? openWindow() : nullptr;
    if (!window) {
        glfwTerminate();
        finishGenerationForExport();
        releaseCurrentPlanet();
        return !room;
    }
    saves = {};
    newPlanetRequested = false;
    // Outlives the window: a planet N is still making is waited for and
    // dropped once the window has closed, not with the window standing.
    std::optional<PlanetSequence> sequence;
    {
        PlanetShaders shaders = setupShaders();
        runFrames(window, shaders, sequence);
        // The programs go while their context still exists.
        releasePlanetGraphics();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    sequence.reset();
    releaseCurrentPlanet();
    return true;
}
