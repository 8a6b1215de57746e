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
    runCommand("xdotool search --sync --onlyvisible --name '^Orbivane$' windowfocus --sync key " + key);
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

bool escapeUntilAsked(BackgroundProgram& program, int questions)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        press("Escape");
        if (waitForOutput(program, FIRST_QUESTION, questions, 4))
            return true;
    }
    return false;
}

bool pressUntilFile(const char* key, const std::string& made)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        press(key);
        for (int wait = 0; wait < 40; ++wait) {
            if (std::filesystem::exists(made))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return false;
}

unsigned long waitForPlanet(Image& shot, double timeoutSeconds)
{
    const unsigned long window = xsupport::waitForWindow("Orbivane", timeoutSeconds);
    for (int attempt = 0; window && attempt < 100; ++attempt) {
        if (xsupport::grabWindow(window, shot) && countPlanetPixels(shot) > 150000 &&
            countPlanetPixels(shot) < 260000)
            return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

} // namespace driver
