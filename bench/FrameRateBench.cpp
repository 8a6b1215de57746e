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
//   1 sample the same without multisampling (as on a software renderer), in
//            the biomes view, the window's default;
//   heights  the same in the heights view;
//   no rivers the same with W: the rivers and lakes hidden (the look modes
//            before them, former, previous and bound, draw none either);
//   bound    the same buffers with one-line shaders, 4 samples a pixel: what
//            the renderer itself costs for this many triangles;
//   dragging the program's drawing, one sample a pixel, at the coarser level
//            a drag at the starting distance draws (planets of 7 and more
//            subdivisions);
//   turning  the same at the levels of land and sea the planet turning on
//            its own is drawn at, at the starting distance (turningLevels;
//            the level column gives the land's);
//   rising   the same while a live generation raises the land (as fast as
//            it goes, seed 1, planes enough to outlast the case): its land,
//            and its smooth normals, sent again as the planes come.
// With each: bytes sent to the GL per frame, and the time from the end of
// the generation to the first frame on the screen, and minor page faults per
// frame. Then, for the planets drawn coarser, the level chosen at three
// distances and the time from the hand's last touch to the first whole frame.
//
//   orbivane_frames [SECONDS_PER_CASE [MIN_SUBDIVISIONS MAX_SUBDIVISIONS [CASES]]]
//
// CASES: the cases to run, by these keys separated by commas (all when not
// given): former, previous, buffers, single, heights, norivers, bound,
// dragging, turning, rising; the way back from a drag runs with dragging.

#include "ClientArrayDrawing.h"
#include "DetailLevels.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "PlanetShaping.h"
#include "Renderer.h"
#include "Rotation.h"
#include "Shader.h"
#include "ViewControl.h"
#include "TerrainColours.h"
#include "TurningDetail.h"
#include "Window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
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

enum class Mode { Former, Previous, Buffers, SingleSample, HeightsView, NoRivers, Bound, Dragging, Turning, Rising };
const char* const MODE_NAMES[] = {"former",
                                  "previous look",
                                  "buffers",
                                  "buffers, 1 sample, biomes",
                                  "buffers, 1 sample, heights",
                                  "buffers, 1 sample, biomes, no rivers",
                                  "bound",
                                  "dragging",
                                  "turning",
                                  "rising"};
const char* const MODE_KEYS[] = {"former",   "previous", "buffers",  "single",  "heights",
                                 "norivers", "bound",    "dragging", "turning", "rising"};

// Whether the comma-separated list of keys names the mode; every mode when empty.
bool chosen(const std::string& keys, Mode mode)
{
    if (keys.empty())
        return true;
    const std::string key = MODE_KEYS[int(mode)];
    for (std::size_t start = 0; start <= keys.size();) {
        const std::size_t end = std::min(keys.find(',', start), keys.size());
        if (keys.compare(start, end - start, key) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Whether a mode draws the rivers and lakes.
bool withRivers(Mode mode)
{
    return mode == Mode::Buffers || mode == Mode::SingleSample || mode == Mode::HeightsView || mode == Mode::Dragging ||
           mode == Mode::Turning || mode == Mode::Rising;
}

// The earlier shaders coloured by height alone: the bands at the equator.
const char* const PREVIOUS_TERRAIN_COLOUR =
    "\nvec3 terrainColour(float steps) { return terrainColour(steps, 0.0); }\n";

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
    double processorMsPerFrame = 0; // all threads: steadier than frames/s on a busy machine
    double firstFrameMs = 0;
    int level = 0; // of detail drawn
};

// The window's framebuffer at the starting distance.
constexpr ScreenScale START_SCALE{ViewControl::START_DISTANCE, ViewControl::FIELD_OF_VIEW, 600};

// Planes enough for a live generation to outlast a case.
constexpr int RISING_PLANES = 1000000;

// The level a drag draws at this distance in the 800 x 600 window.
int draggingLevel(const Planet& planet, double distance)
{
    return levelForScreen(planet.subdivisions, {distance, ViewControl::FIELD_OF_VIEW, 600});
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
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

// samples: a pixel's, 0 for none.
GLFWwindow* openBenchWindow(int samples)
{
    setWindowSamples(samples);
    GLFWwindow* window = openWindow();
    if (!window) {
        std::fprintf(stderr, "no window (is DISPLAY set?)\n");
        std::exit(1);
    }
    glfwSwapInterval(0);
    return window;
}

Result measure(Mode mode, double seconds)
{
    Planet& planet = *currentPlanet;
    Result result;
    const Clock::time_point opened = Clock::now();
    GLFWwindow* window = openBenchWindow(mode == Mode::Buffers || mode == Mode::Bound ? MULTISAMPLES : 0);
    setClimateView(mode == Mode::HeightsView ? ClimateView::Heights : ClimateView::Biomes);
    // The former heap: freed memory above 128 KiB went back to the kernel.
    mallopt(M_TRIM_THRESHOLD, mode == Mode::Former ? 128 * 1024 : 512 << 20);
    setRiversShown(withRivers(mode));
    {
        PlanetShaders shaders = setupShaders();
        std::unique_ptr<Shader> land, water;
        if (const char* folderName = shaderFolder(mode)) {
            const std::string folder = folderName;
            land = std::make_unique<Shader>((folder + "land.vert").c_str(), (folder + "land.frag").c_str(),
                                            ShaderInsert{TERRAIN_COLOUR_MARKER, terrainColourGlsl() + PREVIOUS_TERRAIN_COLOUR});
            water = std::make_unique<Shader>((folder + "water.vert").c_str(), (folder + "water.frag").c_str());
            planet.landShader = land.get();
            planet.water->shader = water.get();
        }
        if (mode == Mode::Dragging)
            planet.buffers->useLevel(draggingLevel(planet, ViewControl::START_DISTANCE));
        if (mode == Mode::Turning || mode == Mode::Rising)
            planet.buffers->useLevels(turningLevels(planet.subdivisions, START_SCALE, 800).land,
                                      turningLevels(planet.subdivisions, START_SCALE, 800).sea);
        result.level = mode == Mode::Former ? planet.subdivisions : planet.buffers->levelDrawn();
        drawOne(mode, planet);
        glfwSwapBuffers(window);
        glFinish();
        result.firstFrameMs = secondsSince(opened) * 1000;

        const std::uint64_t sentBefore = mode == Mode::Former ? 0 : planet.buffers->bytesSent();
        std::uint64_t frames = 0;
        const long faultsBefore = minorFaults();
        const double processorBefore = processorSeconds();
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
        result.processorMsPerFrame = (processorSeconds() - processorBefore) * 1000 / double(frames);
        result.bytesPerFrame = double(bytesSent(mode, planet, frames) - sentBefore) / double(frames);
        releasePlanetGraphics();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return result;
}

// Milliseconds from the hand's last touch to the first whole frame, per trial.
struct Recovery {
    std::vector<double> begun; // to the start of its drawing
    std::vector<double> shown; // to its swap, finished
    std::vector<double> coarseFrame, wholeFrame; // each frame's own time
};

// The hand stops as the window sees it: the last touch comes just after a
// poll, so the window learns of it a coarse frame later; each frame then is
// coarse until the hand has been still HandActivity::STILL_SECONDS.
Recovery measureRecovery(int trials)
{
    Planet& planet = *currentPlanet;
    GLFWwindow* window = openBenchWindow(0);
    Recovery recovery;
    {
        PlanetShaders shaders = setupShaders();
        const int coarse = draggingLevel(planet, ViewControl::START_DISTANCE);
        const auto frame = [&](int level) {
            planet.buffers->useLevel(level);
            drawFrame();
            glfwSwapBuffers(window);
            glFinish();
            glfwPollEvents();
            updateRotation(planet, 40.0f, fixedRandom);
        };
        const Clock::time_point zero = Clock::now();
        for (int trial = 0; trial < trials; ++trial) {
            frame(coarse); // the hand at work
            const double touch = secondsSince(zero);
            frame(coarse);
            HandActivity hand;
            hand.touched(secondsSince(zero));
            double start = 0;
            do {
                start = secondsSince(zero);
                const bool atWork = hand.atWork(start, false);
                frame(atWork ? coarse : planet.subdivisions);
                (atWork ? recovery.coarseFrame : recovery.wholeFrame).push_back((secondsSince(zero) - start) * 1000);
            } while (hand.atWork(start, false));
            recovery.begun.push_back((start - touch) * 1000);
            recovery.shown.push_back((secondsSince(zero) - touch) * 1000);
        }
        releasePlanetGraphics();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return recovery;
}

std::string medianAndWorst(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.0f ms, %.0f ms", ms[ms.size() / 2], ms.back());
    return text;
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

constexpr int RECOVERY_TRIALS = 30;

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int first = argc > 3 ? std::atoi(argv[2]) : 4;
    const int last = argc > 3 ? std::atoi(argv[3]) : 8;
    const std::string keys = argc > 4 ? argv[4] : "";
    enterScratchFolder();
    // The log echoes to standard output; the table goes to the original one.
    std::FILE* report = fdopen(dup(STDOUT_FILENO), "w");
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);

    std::fprintf(report, "| subdivisions | drawing | level | frames/s | processor per frame | bytes sent per frame | page faults per frame | generation end to first frame |\n");
    std::fprintf(report, "|---|---|---|---|---|---|---|---|\n");
    std::string recoveries;
    for (int n = first; n <= last; ++n) {
        setFixedSeed(1);
        currentPlanet = std::make_unique<Planet>(n, 5000, false);
        exportFinishedPlanet(*currentPlanet); // settled, as the program's: its climate and rivers can be made
        for (Mode mode : {Mode::Former, Mode::Previous, Mode::Buffers, Mode::SingleSample, Mode::HeightsView,
                          Mode::NoRivers, Mode::Bound,
                          Mode::Dragging, Mode::Turning, Mode::Rising}) {
            if (!chosen(keys, mode) ||
                ((mode == Mode::Dragging || mode == Mode::Turning) && n < FIRST_COARSENED_SUBDIVISIONS))
                continue;
            std::unique_ptr<Planet> settled;
            if (mode == Mode::Rising) {
                settled = std::move(currentPlanet);
                setFixedSeed(1);
                currentPlanet = std::make_unique<Planet>(n, RISING_PLANES, true);
            }
            const Result r = measure(mode, seconds);
            if (settled) {
                stopLiveGeneration(*currentPlanet);
                currentPlanet = std::move(settled);
            }
            std::fprintf(report, "| %d | %s | %d | %.1f | %.1f ms | %.0f | %.1f | %.0f ms |\n", n, MODE_NAMES[int(mode)],
                         r.level, r.framesPerSecond, r.processorMsPerFrame, r.bytesPerFrame, r.faultsPerFrame,
                         r.firstFrameMs);
            std::fflush(report);
        }
        const Planet& planet = *currentPlanet;
        if (n >= FIRST_COARSENED_SUBDIVISIONS && chosen(keys, Mode::Dragging)) {
            recoveries += "| " + std::to_string(n) + " | " + std::to_string(draggingLevel(planet, 1.5)) + ", " +
                          std::to_string(draggingLevel(planet, 3)) + ", " + std::to_string(draggingLevel(planet, 8));
            if (draggingLevel(planet, ViewControl::START_DISTANCE) < n) {
                const Recovery r = measureRecovery(RECOVERY_TRIALS);
                recoveries += " | " + medianAndWorst(r.begun) + " | " + medianAndWorst(r.shown) + " | " +
                              medianAndWorst(r.coarseFrame) + " | " + medianAndWorst(r.wholeFrame) + " |\n";
            } else {
                recoveries += " | whole at 3 | | | |\n";
            }
        }
        currentPlanet.reset();
    }
    std::fprintf(report, "\n| subdivisions | level while the view moves at 1.5, 3, 8 | last touch to the first whole frame begun: median, worst of %d | to it shown | a coarse frame | a whole frame |\n|---|---|---|---|---|---|\n%s",
                 RECOVERY_TRIALS, recoveries.c_str());
    fs::remove_all(fs::current_path());
    return 0;
}
