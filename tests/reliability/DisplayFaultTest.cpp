// The real program against faults of its display: closed standard output,
// another X client destroying the window, a driver without shader objects.
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"
#include "XSupport.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace driver;

namespace {

class DisplayFault : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
        releaseKeys();
    }
    void TearDown() override { releaseKeys(); }

    static bool haveDisplay() { return std::getenv("DISPLAY") != nullptr; }

    ScopedTempDir dir;
};

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

// Every line of the log is a record: a level, the source file and line.
bool onlyRecords(const std::string& log)
{
    for (const std::string& line : readLines(log))
        if (line.rfind("INFO    src/", 0) != 0 && line.rfind("ERROR   src/", 0) != 0)
            return false;
    return true;
}

TEST_F(DisplayFault, ClosedStandardOutputNeitherHangsNorFillsTheLog)
{
    for (const bool withDisplay : {false, true}) {
        if (withDisplay && !haveDisplay())
            continue;
        fs::remove("Orbivane.log");
        const std::string display = withDisplay ? "DISPLAY=" + std::string(std::getenv("DISPLAY")) : "DISPLAY";
        BackgroundProgram program({"/bin/sh", "-c", "exec \"$0\" --seed 1 >&-", ORBIVANE_BINARY}, "3\n100\nn\n",
                                  {display});
        const auto start = std::chrono::steady_clock::now();
        if (withDisplay) {
            ASSERT_NE(xsupport::waitForWindow("Orbivane", 60), 0u) << "hung before its window: " << program.err();
        }
        // A press can be lost while the window is still being mapped.
        for (int attempt = 0; withDisplay && attempt < 5 && program.running(); ++attempt) {
            press("Escape");
            program.waitForExit(4);
        }
        EXPECT_EQ(program.waitForExit(30), 0) << "display " << withDisplay;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(onlyRecords("Orbivane.log")) << readFile("Orbivane.log");
        EXPECT_GE(readLines("Orbivane.log").size(), withDisplay ? 5u : 2u);
        recordFigure(withDisplay ? "display: standard output closed, with a window"
                                 : "display: standard output closed, no display",
                     "status 0 after " + secondsText(seconds) + "; the log holds its records only");
    }
}

TEST_F(DisplayFault, WindowDestroyedByAnotherClientIsReportedAndTheQuestionsComeBack)
{
    if (!haveDisplay())
        GTEST_SKIP() << "needs an X server (DISPLAY)";
    // A live generation with --export: what there is when the window goes is still exported.
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2", "--export", "planet.ply"},
                              "4\n1000000\ny\n3\n100\nn\n");
    Image shot;
    const unsigned long window = waitForPlanet(shot);
    ASSERT_NE(window, 0u) << program.out();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(runCommand("xdotool windowclose " + std::to_string(window)).status, 0);
    ASSERT_TRUE(waitForOutput(program, FIRST_QUESTION, 2, 20)) << program.out() << program.err();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_NE(waitForPlanet(shot), 0u) << "a second window opens: " << program.out();
    ASSERT_TRUE(escapeUntilAsked(program, 3));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(countOf(log, "ERROR   src/Window.cpp"), 1) << log;
    EXPECT_NE(log.find("The window was lost to an X error (BadDrawable"), std::string::npos) << log;
    EXPECT_NE(program.out().find("The window was lost to an X error"), std::string::npos);
    EXPECT_EQ(countOf(log, "exported to planet.ply"), 2) << log;
    recordFigure("display: window destroyed by another client",
                 "reported as BadDrawable, questions back " + secondsText(seconds) +
                     " later, a second window opened, status 0");
}

TEST_F(DisplayFault, DriverWithoutShaderObjectsDrawsWithTheFixedPipeline)
{
    if (!haveDisplay())
        GTEST_SKIP() << "needs an X server (DISPLAY)";
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2"}, "4\n2000\nn\n",
                              {"MESA_EXTENSION_OVERRIDE=-GL_ARB_shader_objects"});
    Image shot;
    EXPECT_NE(waitForPlanet(shot), 0u) << "the planet is drawn: " << program.out() << program.err();
    ASSERT_TRUE(escapeUntilAsked(program, 2)) << program.out() << program.err();
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("ERROR   src/Renderer.cpp"), std::string::npos) << log;
    EXPECT_NE(log.find("the planet is drawn with the fixed pipeline."), std::string::npos) << log;
    EXPECT_EQ(log.find("Compiling shaders:"), std::string::npos) << log;
    EXPECT_EQ(log.find("OpenGL error"), std::string::npos) << log;
    recordFigure("display: driver without ARB shader objects",
                 std::to_string(countPlanetPixels(shot)) + " planet pixels drawn by the fixed pipeline, no GL error");
}

} // namespace
