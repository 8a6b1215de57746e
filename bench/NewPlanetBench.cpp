// The N key's wait, on the X server named by DISPLAY: from the request of a
// new planet to the first frame that shows it on the screen. As in the
// program's frame loop, the old frame stays on the screen while the planet
// is made, and events are polled. Presses in a row, each from the planet the
// last one made.
//
//   orbivane_new_planet [PRESSES [SUBDIVISIONS ITERATIONS [live]]]
//
// prints the median and the worst of 20 presses (by default) for each step:
// the planet made, its land in the buffers, and the first frame on the screen.

#include "CommandLine.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "PlanetSequence.h"
#include "Renderer.h"
#include "Window.h"

#include <GLFW/glfw3.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Press {
    double madeMs = 0;       // the worker's planet is ready
    double sentMs = 0;       // it is in the window's buffers
    double firstFrameMs = 0; // a frame showing it is on the screen
};

// Waits as the frame loop does until the next planet is made, then shows it.
Press onePress(GLFWwindow* window, PlanetSequence& sequence, PlanetShaders& shaders)
{
    Press press;
    const Clock::time_point start = Clock::now();
    sequence.request(*currentPlanet);
    std::unique_ptr<Planet> next;
    while (!(next = sequence.take()))
        glfwWaitEventsTimeout(0.002);
    press.madeMs = msSince(start);
    showNextPlanet(std::move(next), shaders);
    glFinish();
    press.sentMs = msSince(start);
    drawFrame();
    glfwSwapBuffers(window);
    glFinish();
    press.firstFrameMs = msSince(start);
    return press;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int presses = argc > 1 ? std::atoi(argv[1]) : 20;
    const int subdivisions = argc > 3 ? std::atoi(argv[2]) : 8;
    const int iterations = argc > 3 ? std::atoi(argv[3]) : 5000;
    const bool live = argc > 4 && std::strcmp(argv[4], "live") == 0;
    const fs::path scratch = fs::temp_directory_path() / ("orbivane-new-planet-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::current_path(scratch);
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    // The log echoes to standard output; the figures go to the original one.
    std::FILE* report = fdopen(dup(STDOUT_FILENO), "w");
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);

    setFixedSeed(1);
    currentPlanet = std::make_unique<Planet>(subdivisions, iterations, live);
    GLFWwindow* window = openWindow();
    if (!window) {
        std::fprintf(stderr, "no window (is DISPLAY set?)\n");
        return 1;
    }
    glfwSwapInterval(0);
    std::vector<double> made, sent, shown;
    {
        PlanetShaders shaders = setupShaders();
        PlanetSequence sequence(*currentPlanet, runOptions);
        for (int p = 0; p < presses; ++p) {
            const Press press = onePress(window, sequence, shaders);
            made.push_back(press.madeMs);
            sent.push_back(press.sentMs);
            shown.push_back(press.firstFrameMs);
        }
        releasePlanetGraphics();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    currentPlanet.reset();
    const auto figures = [](const std::vector<double>& ms) {
        return std::to_string(std::lround(median(ms))) + " ms, " +
               std::to_string(std::lround(*std::max_element(ms.begin(), ms.end()))) + " ms";
    };
    std::fprintf(report, "| subdivisions | iterations | presses | planet made | in the buffers | first frame shown |\n");
    std::fprintf(report, "|---|---|---|---|---|---|\n");
    std::fprintf(report, "| %d | %d%s | %d | %s | %s | %s |\n", subdivisions, iterations, live ? " live" : "",
                 presses, figures(made).c_str(), figures(sent).c_str(), figures(shown).c_str());
    fs::current_path(scratch.parent_path());
    fs::remove_all(scratch);
    return 0;
}
