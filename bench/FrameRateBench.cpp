// Frames a second of the window, on the X server named by DISPLAY, for
// planets of 4 to 8 subdivisions (5000 iterations), three ways side by side:
//   former   the drawing before buffer objects: both triangle soups sent from
//            client memory every frame, the former shaders (bench/former-res)
//            and glibc's default heap trimming;
//   previous the look before smooth land, multisampling and the air's glow:
//            the program's buffers with the shaders of then
//            (bench/previous-look-res), one sample a pixel;
//   buffers  the program's drawing: welded, indexed buffer objects, the
//            shipped shaders, 4 samples a pixel (as on a hardware renderer);
//   1 sample the same without multisampling (as on a software renderer);
//   bound    the same buffers with one-line shaders, 4 samples a pixel: what
//            the renderer itself costs for this many triangles.
// With each: bytes sent to the GL per frame, and the time from the end of
// the generation to the first frame on the screen, and minor page faults per
// frame.
//
//   orbivane_frames [SECONDS_PER_CASE [MIN_SUBDIVISIONS MAX_SUBDIVISIONS]]

#include "ClientArrayDrawing.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "Renderer.h"
#include "Rotation.h"
#include "Shader.h"
#include "TerrainColours.h"
#include "Window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

enum class Mode { Former, Previous, Buffers, SingleSample, Bound };
const char* const MODE_NAMES[] = {"former", "previous look", "buffers", "buffers, 1 sample", "bound"};

// The shaders a mode draws with instead of the shipped ones, if any.
const char* shaderFolder(Mode mode)
{
    switch (mode) {
    case Mode::Former:
        return "former/";
    case Mode::Previous:
        return "previous/";
    case Mode::Bound:
        return "bound/";
    default:
        return nullptr;
    }
}

struct Result {
    double framesPerSecond = 0;
    double bytesPerFrame = 0;
    double faultsPerFrame = 0; // minor page faults of the whole process
    double cpuMsPerFrame = 0;  // processor time of all the process's threads: steadier than frames/s under load
    double firstFrameMs = 0;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// A reversal now and then, as in the program, but the same in every run.
int fixedRandom()
{
    static unsigned state = 12345;
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 1) & 0x7fffffff);
}

void drawOne(Mode mode, Planet& planet)
{
    if (mode == Mode::Former) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        placeCameraAndLight();
        drawWithClientArrays(planet);
    } else {
        drawFrame();
    }
}

std::uint64_t bytesSent(Mode mode, const Planet& planet, std::uint64_t frames)
{
    if (mode == Mode::Former) // both soups, every frame
        return frames * (static_cast<std::uint64_t>(planet.vertexCount) + planet.water->vertexCount) * 12;
    return planet.buffers->bytesSent();
}

Result measure(Mode mode, double seconds)
{
    Planet& planet = *currentPlanet;
    Result result;
    const Clock::time_point opened = Clock::now();
    const bool multisampled = mode == Mode::Buffers || mode == Mode::Bound;
    setWindowSamples(multisampled ? MULTISAMPLES : 0);
    GLFWwindow* window = openWindow();
    if (!window) {
        std::fprintf(stderr, "no window (is DISPLAY set?)\n");
        std::exit(1);
    }
    glfwSwapInterval(0);
    // The former heap: freed memory above 128 KiB went back to the kernel.
    mallopt(M_TRIM_THRESHOLD, mode == Mode::Former ? 128 * 1024 : 512 << 20);
    {
        PlanetShaders shaders = setupShaders();
        std::unique_ptr<Shader> land, water;
        if (const char* folderName = shaderFolder(mode)) {
            const std::string folder = folderName;
            land = std::make_unique<Shader>((folder + "land.vert").c_str(), (folder + "land.frag").c_str(),
                                            ShaderInsert{TERRAIN_COLOUR_MARKER, terrainColourGlsl()});
            water = std::make_unique<Shader>((folder + "water.vert").c_str(), (folder + "water.frag").c_str());
            planet.landShader = land.get();
            planet.water->shader = water.get();
        }
        drawOne(mode, planet);
        glfwSwapBuffers(window);
        glFinish();
        result.firstFrameMs = secondsSince(opened) * 1000;

        const std::uint64_t sentBefore = mode == Mode::Former ? 0 : planet.buffers->bytesSent();
        std::uint64_t frames = 0;
        const long faultsBefore = minorFaults();
        const double cpuBefore = cpuSeconds();
        const Clock::time_point start = Clock::now();
        while (secondsSince(start) < seconds) {
            drawOne(mode, planet);
            glfwSwapBuffers(window);
            glfwPollEvents();
            updateRotation(planet, 40.0f, fixedRandom);
            ++frames;
        }
        glFinish();
        result.framesPerSecond = frames / secondsSince(start);
        result.faultsPerFrame = double(minorFaults() - faultsBefore) / double(frames);
        result.cpuMsPerFrame = (cpuSeconds() - cpuBefore) * 1000 / double(frames);
        result.bytesPerFrame = double(bytesSent(mode, planet, frames) - sentBefore) / double(frames);
        releasePlanetGraphics();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return result;
}

// Runs in a scratch folder that sees the shipped shaders as res/, so that
// the log and the one-line shaders stay out of the source tree.
void enterScratchFolder()
{
    const fs::path scratch = fs::temp_directory_path() / ("orbivane-frames-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::current_path(scratch);
    for (const char* link : {"res", "former", "previous"})
        fs::remove(link);
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "bench" / "former-res", "former");
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "bench" / "previous-look-res", "previous");
    fs::create_directories("bound");
    const char* vertex = "#version 120\nvoid main() { gl_Position = ftransform(); }\n";
    const char* fragment = "#version 120\nvoid main() { gl_FragColor = vec4(0.5, 0.6, 0.7, 1.0); }\n";
    for (const char* part : {"land", "water"}) {
        std::ofstream("bound/" + std::string(part) + ".vert") << vertex;
        std::ofstream("bound/" + std::string(part) + ".frag") << fragment;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int first = argc > 3 ? std::atoi(argv[2]) : 4;
    const int last = argc > 3 ? std::atoi(argv[3]) : 8;
    enterScratchFolder();
    // The log echoes to standard output; the table goes to the original one.
    std::FILE* report = fdopen(dup(STDOUT_FILENO), "w");
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);

    std::fprintf(report, "| subdivisions | drawing | frames/s | bytes sent per frame | page faults per frame | processor ms per frame | generation end to first frame |\n");
    std::fprintf(report, "|---|---|---|---|---|---|---|\n");
    for (int n = first; n <= last; ++n) {
        setFixedSeed(1);
        currentPlanet = std::make_unique<Planet>(n, 5000, false);
        for (Mode mode : {Mode::Former, Mode::Previous, Mode::Buffers, Mode::SingleSample, Mode::Bound}) {
            const Result r = measure(mode, seconds);
            std::fprintf(report, "| %d | %s | %.1f | %.0f | %.1f | %.1f | %.0f ms |\n", n, MODE_NAMES[int(mode)],
                         r.framesPerSecond, r.bytesPerFrame, r.faultsPerFrame, r.cpuMsPerFrame, r.firstFrameMs);
            std::fflush(report);
        }
        currentPlanet.reset();
    }
    fs::remove_all(fs::current_path());
    return 0;
}
