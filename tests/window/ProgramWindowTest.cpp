// The real program in its real window, on the X server named by DISPLAY.
#include "ProgramDriver.h"
#include "TestSupport.h"
#include "XSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

using namespace driver;

// Sanitizer options whose suppressions file is copied into the working
// directory, for a program run as another user.
std::string withLocalSuppressions(std::string options, const std::string& name)
{
    const std::string key = "suppressions=";
    const auto at = options.find(key);
    if (at == std::string::npos)
        return options;
    const auto start = at + key.size();
    const auto end = options.find(':', start);
    const std::string original = options.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::string copy = fs::absolute(name + ".supp").string();
    fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
    return options.replace(start, original.size(), copy);
}

class ProgramWindow : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (DISPLAY)";
        fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
        releaseKeys();
    }

    void TearDown() override { releaseKeys(); }

    ScopedTempDir dir;
};

TEST_F(ProgramWindow, ShowsThePlanetAndEscBringsTheQuestionBack)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "5\n3000\nn\n");
    const unsigned long window = xsupport::waitForWindow("Orbivane", 60);
    ASSERT_NE(window, 0u) << program.out();
    int width = 0, height = 0;
    ASSERT_TRUE(xsupport::windowSize(window, width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

    // The first frames may take a moment on a software renderer.
    Image shot;
    for (int attempt = 0; attempt < 100; ++attempt) {
        ASSERT_TRUE(xsupport::grabWindow(window, shot));
        if (countPlanetPixels(shot) > 150000 && countPlanetPixels(shot) < 260000)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The disc of radius ~256 pixels covers about 200 000 of the 480 000 pixels.
    EXPECT_GT(countPlanetPixels(shot), 150000);
    EXPECT_LT(countPlanetPixels(shot), 260000);

    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string out = program.out();
    EXPECT_NE(out.find("GLSL Info: \n\n\n\n\n" + FIRST_QUESTION), std::string::npos) << out;
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find(": Compiling shaders:\n"), std::string::npos);
    EXPECT_NE(log.find(": Shader (res/land.vert, res/land.frag):, GLSL Info: \n"), std::string::npos);
    EXPECT_NE(log.find(": Shader (res/water.vert, res/water.frag):, GLSL Info: \n"), std::string::npos);
}

TEST_F(ProgramWindow, CloseButtonDuringLiveGenerationReturnsAtOnce)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "6\n1000000\ny\n");
    const unsigned long window = xsupport::waitForWindow("Orbivane", 60);
    ASSERT_NE(window, 0u) << program.out();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(xsupport::requestClose(window));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string out = program.out();
    EXPECT_NE(out.find("Opening OpenGL window and initializing OpenGL..."), std::string::npos);
    EXPECT_EQ(out.find("100%"), std::string::npos) << "the generation was stopped, not finished";
    EXPECT_EQ(out.substr(out.size() - FIRST_QUESTION.size()), FIRST_QUESTION);
}

TEST_F(ProgramWindow, TwoCyclesInARow)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "3\n100\nn\n2\n100\nn\n");
    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_NE(xsupport::waitForWindow("Orbivane", 60), 0u) << "cycle " << cycle;
        ASSERT_TRUE(escapeUntilAsked(program, cycle + 1));
    }
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_EQ(readLines("Orbivane.log").size(), 10u);
}

TEST_F(ProgramWindow, KeysSaveTheFrameAndThePlanet)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "5"}, "4\n2000\nn\n");
    Image before;
    ASSERT_NE(waitForPlanet(before), 0u) << program.out();
    ASSERT_TRUE(pressUntilFile("p", "Orbivane-5-1.png"));
    ASSERT_TRUE(pressUntilFile("p", "Orbivane-5-2.png")) << "a second screenshot does not overwrite the first";
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-5-1.ply"));
    ASSERT_TRUE(pressUntilFile("m", "Orbivane-5-1-height.png"));
    Image map;
    ASSERT_TRUE(readPng("Orbivane-5-1-map.png", map));
    EXPECT_EQ(map.width, 2048);
    EXPECT_EQ(map.height, 1024);

    Image saved, shown;
    ASSERT_TRUE(readPng("Orbivane-5-2.png", saved));
    ASSERT_TRUE(xsupport::grabWindow(xsupport::waitForWindow("Orbivane", 10), shown));
    ASSERT_EQ(saved.width, 800);
    ASSERT_EQ(saved.height, 600);
    ASSERT_EQ(saved.rgb.size(), shown.rgb.size());
    // The planet turns on between the saved frame and the grab: most pixels agree.
    int differing = 0;
    for (size_t i = 0; i < saved.rgb.size(); i += 3) {
        int largest = 0;
        for (int c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(saved.rgb[i + c] - shown.rgb[i + c]));
        differing += largest > 48;
    }
    EXPECT_LT(differing, 800 * 600 / 7);
    EXPECT_GT(countPlanetPixels(saved), 150000);

    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("Screenshot saved to Orbivane-5-1.png"), std::string::npos);
    EXPECT_NE(log.find("Screenshot saved to Orbivane-5-2.png"), std::string::npos);
    EXPECT_NE(log.find("Planet (seed 5) exported to Orbivane-5-1.ply"), std::string::npos);
    EXPECT_EQ(readFile("Orbivane-5-1.ply").rfind("ply\n", 0), 0u);
    EXPECT_NE(log.find("Planet (seed 5): map saved to Orbivane-5-1-map.png"), std::string::npos);
    EXPECT_NE(log.find("Planet (seed 5): height map saved to Orbivane-5-1-height.png"), std::string::npos);
}

TEST_F(ProgramWindow, KeysPressedWithEscapeAreServedBeforeTheWindowCloses)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "6"}, "4\n1000\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    // No delay between the keys: the three reach the program in one poll. Again
    // if all were lost to a window still settling.
    for (int attempt = 0; attempt < 3 && program.waitForExit(attempt ? 5 : 0) < 0; ++attempt)
        press("--delay 0 p e Escape");
    EXPECT_EQ(program.waitForExit(30), 0) << "Esc closed the window and input ended";
    Image saved;
    ASSERT_TRUE(readPng("Orbivane-6-1.png", saved)) << program.out();
    EXPECT_GT(countPlanetPixels(saved), 150000) << "the saved frame shows the planet";
    EXPECT_NE(program.out().find("Planet (seed 6) exported to "), std::string::npos) << program.out();
}

TEST_F(ProgramWindow, UnwritableWorkingDirectoryIsReportedAndTheProgramGoesOn)
{
    // Root may write anywhere, so the program runs as nobody in a folder it
    // cannot write to.
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    // Everything the program reads is copied where nobody may read it: the
    // clone it was built in may sit in a folder only root can enter.
    const std::string binary = dir.path() + "/orbivane";
    fs::copy_file(ORBIVANE_BINARY, binary);
    fs::remove("res");
    fs::copy(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    std::vector<std::string> environment;
    for (const std::string name : {"TSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* options = std::getenv(name.c_str()))
            environment.push_back(name + "=" + withLocalSuppressions(options, name));
    BackgroundProgram program({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", binary,
                               "--seed", "9"},
                              "3\n500\nn\n", environment);
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out() << program.err();
    for (const char* key : {"p", "e", "m"})
        press(key);
    for (int wait = 0; wait < 100 && (program.out().find("Could not export") == std::string::npos ||
                                      program.out().find("Could not save the height map") == std::string::npos);
         ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string out = program.out();
    EXPECT_NE(out.find("Could not save the screenshot Orbivane-9-1.png: Permission denied"), std::string::npos) << out;
    const auto exportError = out.find("Could not export the planet to Orbivane-9-1.ply: ");
    ASSERT_NE(exportError, std::string::npos) << out;
    EXPECT_NE(out.find("Permission denied", exportError), std::string::npos) << out;
    EXPECT_NE(out.find("Could not save the map Orbivane-9-1-map.png: Permission denied"), std::string::npos) << out;
    EXPECT_NE(out.find("Could not save the height map Orbivane-9-1-height.png: Permission denied"), std::string::npos)
        << out;
    EXPECT_NE(program.err().find("Cannot write Orbivane.log (Permission denied)"), std::string::npos);
    EXPECT_FALSE(fs::exists("Orbivane.log"));
}

TEST_F(ProgramWindow, InstalledProgramFindsItsShadersFromAnyDirectory)
{
    const std::string prefix = dir.path() + "/prefix";
    const CommandResult install =
        runCommand("cmake --install " + shellQuote(ORBIVANE_BUILD_DIR) + " --prefix " + shellQuote(prefix));
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    ASSERT_TRUE(fs::exists(prefix + "/bin/orbivane"));
    ASSERT_TRUE(fs::exists(prefix + "/share/orbivane/res/land.frag"));
    fs::create_directory("elsewhere");
    fs::current_path("elsewhere");

    BackgroundProgram program({prefix + "/bin/orbivane"}, "2\n100\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(log.find("could not be read"), std::string::npos) << log;
    EXPECT_NE(log.find("Shader (" + prefix + "/share/orbivane/res/land.vert, "), std::string::npos) << log;
}

} // namespace

// A build-tree program started from a folder without res/ finds the copy the
// build keeps beside it and draws the land in colour, not a grey disc.
TEST(ProgramElsewhere, FindsTheShadersBesideTheProgram)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (DISPLAY)";
    ScopedTempDir dir;
    releaseKeys();
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "3"}, "5\n5000\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    int coloured = 0; // pixels whose channels differ clearly: land and sea, not grey
    for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
        const int r = shot.rgb[i], g = shot.rgb[i + 1], b = shot.rgb[i + 2];
        coloured += std::max({r, g, b}) - std::min({r, g, b}) > 40;
    }
    EXPECT_GT(coloured, 50000);
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(log.find("could not be read"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    EXPECT_EQ(program.err().find("cannot find"), std::string::npos) << program.err();
    releaseKeys();
}
