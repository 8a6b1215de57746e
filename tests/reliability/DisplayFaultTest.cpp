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

using DisplayFault = WindowedProgram;

TEST_F(DisplayFault, ClosedStandardOutputNeitherHangsNorFillsTheLog)
{
    for (const std::string& display : {std::string("DISPLAY"), "DISPLAY=" + std::string(std::getenv("DISPLAY"))}) {
        fs::remove("Orbivane.log");
        BackgroundProgram program({"/bin/sh", "-c", "exec \"$0\" >&-", ORBIVANE_BINARY}, "3\n100\nn\n", {display});
        // With a display: Esc in the window.
        if (display != "DISPLAY") {
            EXPECT_NE(xsupport::waitForWindow("Orbivane", 60), 0u);
            EXPECT_TRUE(pressUntil("Escape", [&] { return !program.running(); }));
        }
        EXPECT_EQ(program.waitForExit(30), 0) << display << " (-1: hung)";
        const auto lines = readLines("Orbivane.log");
        EXPECT_GE(lines.size(), 2u) << display;
        for (const std::string& line : lines)
            EXPECT_TRUE(line.rfind("INFO    src/", 0) == 0 || line.rfind("ERROR   src/", 0) == 0) << line;
    }
    recordFigure("display: standard output closed", "with and without a display: status 0, the log holds records only");
}

TEST_F(DisplayFault, WindowDestroyedByAnotherClientIsReportedAndTheQuestionsComeBack)
{
    // Live, with --export: what there is when the window goes is still exported.
    // Paced over an hour, the land is still rising when the window goes.
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2", "--export", "planet.ply", "--live-seconds", "3600"},
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
    EXPECT_EQ(countOf(log, "exported to planet.ply"), 1) << log;
    EXPECT_EQ(countOf(log, "exported to planet-2.ply"), 1) << "the second planet beside the first: " << log;
    char figure[120];
    std::snprintf(figure, sizeof figure, "reported as BadDrawable, questions back %.2f s later, a second window opened",
                  seconds);
    recordFigure("display: window destroyed by another client", figure);
}

TEST_F(DisplayFault, DriverWithoutShaderObjectsDrawsWithTheFixedPipeline)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2"}, "4\n2000\nn\n",
                              {"MESA_EXTENSION_OVERRIDE=-GL_ARB_shader_objects"});
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << "the planet is drawn: " << program.out() << program.err();
    ASSERT_TRUE(escapeUntilAsked(program, 2)) << program.out() << program.err();
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("ERROR   src/Renderer.cpp"), std::string::npos) << log;
    EXPECT_NE(log.find("the planet is drawn with the fixed pipeline."), std::string::npos) << log;
    EXPECT_EQ(log.find("OpenGL error"), std::string::npos) << log;
    recordFigure("display: driver without ARB shader objects",
                 std::to_string(countPlanetPixels(shot)) + " planet pixels drawn by the fixed pipeline, no GL error");
}

} // namespace
