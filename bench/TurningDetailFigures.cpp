// How far the picture of each coarser level of the planet lies from the
// whole planet's: the mean absolute difference over every pixel and channel
// (0 to 255), the land and the sea apart, for several seeds, subdivisions,
// window sizes and camera distances, at the starting angles, one sample a
// pixel (the window's choice on a software renderer), with the levels
// turningLevels chooses. On the X server named by DISPLAY.
// The figures behind turningLevels (src/TurningDetail.h).
//
//   orbivane_turning_detail [SUBDIVISIONS...] [norivers]

#include "FrameReadback.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "Renderer.h"
#include "TurningDetail.h"
#include "ViewControl.h"
#include "Window.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The window's own frame (drawFrame) at any distance and framebuffer size.
void drawAt(const ViewControl& view, int width, int height)
{
    glViewport(0, 0, width, height);
    const DepthPlanes planes = view.planes();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(ViewControl::FIELD_OF_VIEW, double(width) / height, planes.nearPlane, planes.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(view.distance(), 0, 0, 0, 0, 0, 0, 1, 0);
    glLightfv(GL_LIGHT0, GL_POSITION, LIGHT_POSITION);
    renderPlanet();
    glFinish();
}

// Resizes the window and waits for its framebuffer to follow.
bool resize(GLFWwindow* window, int width, int height)
{
    glfwSetWindowSize(window, width, height);
    for (int poll = 0; poll < 200; ++poll) {
        glfwWaitEventsTimeout(0.01);
        int w = 0, h = 0;
        glfwGetFramebufferSize(window, &w, &h);
        if (w == width && h == height) {
            // The software renderer takes the drawable's new size at a swap.
            for (int swap = 0; swap < 2; ++swap) {
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                glfwSwapBuffers(window);
            }
            return true;
        }
    }
    return false;
}

// Share of the pixels that are not the clear colour.
double coverage(const Image& frame, const Image& empty)
{
    std::size_t planet = 0;
    for (std::size_t i = 0; i < frame.rgb.size(); i += 3)
        planet += frame.rgb[i] != empty.rgb[i] || frame.rgb[i + 1] != empty.rgb[i + 1] ||
                  frame.rgb[i + 2] != empty.rgb[i + 2];
    return double(planet) / double(frame.rgb.size() / 3);
}

constexpr int SIZES[][2] = {{640, 480}, {800, 600}};
constexpr double NOTCHES[] = {-5, 0, 4, 7}; // wheel notches nearer than the start: 4.8, 3, 2.05, 1.54 radii
constexpr unsigned SEEDS[] = {1, 2, 3};

void measurePlanet(GLFWwindow* window, int subdivisions, unsigned seed)
{
    PlanetShaders shaders = setupShaders();
    PlanetBuffers& buffers = *currentPlanet->buffers;
    for (const auto& size : SIZES) {
        if (!resize(window, size[0], size[1])) {
            std::fprintf(stderr, "the window could not be made %d x %d\n", size[0], size[1]);
            continue;
        }
        for (const double notches : NOTCHES) {
            ViewControl view;
            view.reset();
            view.zoom(notches);
            const ScreenScale scale{view.distance(), ViewControl::FIELD_OF_VIEW, size[1]};
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            const Image empty = readShownFrame(size[0], size[1]);
            const auto differenceAt = [&](int land, int sea, const Image& from) {
                buffers.useLevels(land, sea);
                drawAt(view, size[0], size[1]);
                return meanDifference(readShownFrame(size[0], size[1]).rgb, from.rgb);
            };
            buffers.useLevel(subdivisions);
            drawAt(view, size[0], size[1]);
            const Image whole = readShownFrame(size[0], size[1]);
            const DetailChoice turning = turningLevels(subdivisions, scale, size[0]);
            std::printf("| %u | %d | %d x %d | %.2f | %.3f | %.3f | %d, %d | %.2f |", seed, subdivisions, size[0],
                        size[1], view.distance(), coverage(whole, empty), planetShare(scale, size[0]), turning.land,
                        turning.sea, differenceAt(turning.land, turning.sea, whole));
            for (int level = subdivisions - 1; level >= subdivisions - 4; --level)
                std::printf(" %.2f |", differenceAt(level, subdivisions, whole));
            for (int level = subdivisions - 1; level >= subdivisions - 4; --level)
                std::printf(" %.2f |", differenceAt(subdivisions, level, whole));
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    releasePlanetGraphics();
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path scratch = fs::temp_directory_path() / ("orbivane-turning-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::current_path(scratch);
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    // The log echoes to standard output; the table goes to the original one.
    const int console = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    std::vector<int> subdivisions;
    bool rivers = true;
    for (int a = 1; a < argc; ++a) {
        if (std::string(argv[a]) == "norivers")
            rivers = false;
        else
            subdivisions.push_back(std::atoi(argv[a]));
    }
    if (subdivisions.empty())
        subdivisions = {7, 8};
    std::printf("| seed | subdivisions | framebuffer | distance | planet's share of the pixels, measured | "
                "reckoned | turning levels: land, sea | their mean difference | land 1 level coarser | 2 | 3 | 4 | "
                "sea 1 level coarser | 2 | 3 | 4 |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const int n : subdivisions)
        for (const unsigned seed : SEEDS) {
            std::fflush(stdout);
            dup2(null, STDOUT_FILENO);
            setFixedSeed(seed);
            currentPlanet = std::make_unique<Planet>(n, 5000, false);
            exportFinishedPlanet(*currentPlanet); // settled, as the program's: its climate and rivers are drawn
            setWindowSamples(0);
            GLFWwindow* window = openWindow();
            if (!window) {
                std::fprintf(stderr, "no window (is DISPLAY set?)\n");
                return 1;
            }
            glfwSwapInterval(0);
            setRiversShown(rivers);
            dup2(console, STDOUT_FILENO);
            measurePlanet(window, n, seed);
            glfwDestroyWindow(window);
            glfwTerminate();
            currentPlanet.reset();
        }
    fs::remove_all(scratch);
    return 0;
}
