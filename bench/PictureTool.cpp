// One frame of the window as a PNG, from a fixed seed and view, so that
// pictures of two builds can be set side by side. On the X server named by
// DISPLAY; 5000 iterations, the starting camera, the planet turned by the
// angles given (degrees about x, y, z); the window's multisampling as the
// program chooses it, or SAMPLES a pixel.
//
//   orbivane_picture OUT.png SEED SUBDIVISIONS [AX AY AZ [SAMPLES]]

#include "FrameReadback.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "Renderer.h"
#include "Screenshot.h"
#include "Window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A scratch folder that sees the shipped shaders as res/; the log stays out
// of the source tree.
fs::path enterScratchFolder()
{
    const fs::path scratch = fs::temp_directory_path() / ("orbivane-picture-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::current_path(scratch);
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    return scratch;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 7 && argc != 8) {
        std::fprintf(stderr, "usage: orbivane_picture OUT.png SEED SUBDIVISIONS [AX AY AZ [SAMPLES]]\n");
        return 2;
    }
    const std::string out = fs::absolute(argv[1]).string();
    const fs::path scratch = enterScratchFolder();
    const int null = open("/dev/null", O_WRONLY); // the log's echo and the progress line
    const int console = dup(STDOUT_FILENO);
    dup2(null, STDOUT_FILENO);
    close(null);

    setFixedSeed(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    currentPlanet = std::make_unique<Planet>(std::atoi(argv[3]), 5000, false);
    exportFinishedPlanet(*currentPlanet); // its shape settled, as the program's: the rivers are drawn
    for (int k = 0; k < 3 && argc >= 7; ++k)
        currentPlanet->angle[k] = static_cast<float>(std::atof(argv[4 + k]));
    if (argc == 8)
        setWindowSamples(std::atoi(argv[7]));
    GLFWwindow* window = openWindow();
    if (!window) {
        std::fprintf(stderr, "no window (is DISPLAY set?)\n");
        return 1;
    }
    std::string error;
    {
        PlanetShaders shaders = setupShaders();
        drawFrame();
        glFinish();
        const Image frame = readShownFrame(800, 600);
        releasePlanetGraphics();
        if (!writePng(SaveTarget::replacing(out), frame, "", error))
            std::fprintf(stderr, "could not write %s: %s\n", out.c_str(), error.c_str());
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    currentPlanet.reset();
    fs::remove_all(scratch);
    dup2(console, STDOUT_FILENO);
    return error.empty() ? 0 : 1;
}
