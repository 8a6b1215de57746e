#include "ProgramDriver.h"

#include "XSupport.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace driver {

void WindowedProgram::SetUp()
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (DISPLAY)";
    std::filesystem::create_directory_symlink(std::filesystem::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    releaseKeys();
}

void WindowedProgram::TearDown()
{
    releaseKeys();
}

const std::string FIRST_QUESTION = "Enter number of subdivisions on the icosahedron (4 is a reasonable choice): ";

int countOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

int countPlanetPixels(const Image& image)
{
    int count = 0;
    for (size_t i = 0; i + 2 < image.rgb.size(); i += 3)
        if (image.rgb[i] > 2 || std::abs(image.rgb[i + 1] - 26) > 2 || std::abs(image.rgb[i + 2] - 38) > 2)
            ++count;
    return count;
}

void releaseKeys()
{
    runCommand("xdotool keyup Escape keyup p keyup e");
}

void press(const std::string& key)
{
    // A window that has gone before the search would keep it waiting.
    runCommand("timeout 60 xdotool search --sync --onlyvisible --name '^Orbivane$' windowfocus --sync key " + key);
    releaseKeys();
}

bool waitForOutput(BackgroundProgram& program, const std::string& part, int times, double timeoutSeconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (countOf(program.out(), part) < times) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool waitUntilSettled(BackgroundProgram& program, const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(HANG_GUARD_SECONDS);
    while (!done() && program.running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

unsigned long waitForWindowOf(BackgroundProgram& program)
{
    unsigned long window = 0;
    waitUntilSettled(program, [&] { return (window = xsupport::waitForWindow("Orbivane", 0)) != 0; });
    return window;
}

namespace {

// Waits for done() while the clock guards against a hung program only.
bool eventually(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(xsupport::FrameWatch::HUNG_SECONDS);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

bool pressUntil(const std::string& key, const std::function<bool()>& done)
{
    for (int attempt = 0; attempt < 3 && !done(); ++attempt) {
        const unsigned long window = xsupport::waitForWindow("Orbivane", 0);
        if (!window)
            break; // closed already: what the key does is done or under way
        xsupport::FrameWatch watch(window);
        press(key);
        Image frame;
        bool shown = true;
        for (int frames = 0; frames < LOST_AFTER_FRAMES && !done() && shown; ++frames)
            shown = watch.next(frame);
        if (!shown)
            break; // the window went
    }
    return eventually(done);
}

bool escapeUntilAsked(BackgroundProgram& program, int questions)
{
    return pressUntil("Escape", [&] { return countOf(program.out(), FIRST_QUESTION) >= questions; });
}

bool pressUntilFile(const char* key, const std::string& made)
{
    return pressUntil(key, [&] { return std::filesystem::exists(made); });
}

unsigned long waitForPlanet(Image& shot, double timeoutSeconds)
{
    const unsigned long window = xsupport::waitForWindow("Orbivane", timeoutSeconds);
    if (!window)
        return 0;
    xsupport::FrameWatch watch(window);
    for (int frames = 0; frames < 100 && watch.next(shot); ++frames)
        if (countPlanetPixels(shot) > 150000 && countPlanetPixels(shot) < 260000)
            return window;
    return 0;
}

} // namespace driver
