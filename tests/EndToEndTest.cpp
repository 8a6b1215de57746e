#include "Screenshot.h"
#include "TestSupport.h"

#include <algorithm>
#include <string>
#include <utility>

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

namespace {

// The real program, run with no display from a scratch working directory.
CommandResult runProgram(const std::string& input, const std::string& args = "")
{
    return runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " " + args, input);
}

TEST(EndToEnd, PipedAnswersRunOneCycleAndEndAtEndOfInput)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("4\n5000\nn\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("4 subdivisions gives 10240 triangles.\n"), std::string::npos);
    EXPECT_NE(run.out.find("Generating planet with 10240 triangles and 5000 iterations...\n"), std::string::npos);
    const auto lines = readLines("Orbivane.log");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(INFO    src/Orbivane\.cpp : [ 0-9]{4}: )"
                                                      R"(Generating planet with 10240 triangles and 5000 iterations\.\.\.)")))
        << lines[0];
    EXPECT_NE(lines[1].find("Planet generation done in "), std::string::npos);
}

TEST(EndToEnd, EachRunStartsTheLogAfresh)
{
    ScopedTempDir dir;
    runProgram("1\n1\nn\n");
    const auto first = readLines("Orbivane.log");
    runProgram("2\n1\nn\n");
    const auto second = readLines("Orbivane.log");
    EXPECT_EQ(first.size(), second.size());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second[0].find("Generating planet with 640 triangles"), std::string::npos);
}

TEST(EndToEnd, EmptyInputEndsAtOnceWithStatusZero)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Enter number of subdivisions on the icosahedron (4 is a reasonable choice): ");
}

} // namespace

namespace {

TEST(EndToEnd, NoDisplayPrintsNothingAfterTheSecondRecord)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("3\n100\nn\n");
    EXPECT_EQ(run.status, 0);
    const std::string last = "opening OpenGL window and initializing OpenGL...\n";
    ASSERT_GE(run.out.size(), last.size());
    EXPECT_EQ(run.out.substr(run.out.size() - last.size()), last);
}

TEST(EndToEnd, SameSeedSameExportedPlanet)
{
    ScopedTempDir dir;
    const std::string answers = "4\n500\nn\n";
    ASSERT_EQ(runProgram(answers, "--seed 42 --export a.ply").status, 0);
    ASSERT_EQ(runProgram(answers, "--seed=42 --export b.ply").status, 0);
    ASSERT_EQ(runProgram(answers, "--seed 43 --export c.ply").status, 0);
    const std::string a = readFile("a.ply");
    ASSERT_GT(a.size(), 10000u);
    EXPECT_EQ(a, readFile("b.ply"));
    EXPECT_NE(a, readFile("c.ply"));
    EXPECT_NE(a.find("seed 42, subdivisions 4, iterations 500, batch generation"), std::string::npos);
    // The log holds the last run only.
    EXPECT_NE(readFile("Orbivane.log").find("Planet (seed 43) exported to c.ply"), std::string::npos);
}

TEST(EndToEnd, LiveGenerationIsExportedWhenItEnds)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("2\n50\ny\n", "--seed 7 --export live.obj");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile("live.obj").rfind("# Orbivane planet: seed 7, subdivisions 2, iterations 50, live generation, planet radius ", 0), 0u);
}

// Live and batch generations of one seed step differently: every file says
// which made it, the mesh's header and extras and the maps' texts.
TEST(EndToEnd, EveryHeaderSaysWhetherThePlanetRoseLiveOrInBatch)
{
    ScopedTempDir dir;
    for (const std::string mode : {"batch", "live"}) {
        const CommandResult run = runProgram(mode == "live" ? "2\n50\ny\n" : "2\n50\nn\n",
                                             "--seed 7 --map-width 16 --map m.png --heightmap h.png --export p.glb");
        ASSERT_EQ(run.status, 0) << run.out;
        for (const char* file : {"p.glb", "m.png", "h.png"})
            EXPECT_NE(readFile(file).find("seed 7, subdivisions 2, iterations 50, " + mode + " generation"),
                      std::string::npos) << file << " of a " << mode << " planet";
        EXPECT_NE(readFile("p.glb").find("\"mode\":\"" + mode + "\""), std::string::npos) << mode;
    }
}

// Share of the middle pixels (a square of a tenth of the height) that are
// polar ice: bright and grey.
double icyShareInTheMiddle(const Image& image)
{
    const int half = image.height / 20;
    int icy = 0, all = 0;
    for (int y = image.height / 2 - half; y <= image.height / 2 + half; ++y)
        for (int x = image.width / 2 - half; x <= image.width / 2 + half; ++x, ++all) {
            const unsigned char* p = &image.rgb[3 * (std::size_t(y) * image.width + x)];
            const auto [low, high] = std::minmax({p[0], p[1], p[2]});
            icy += low > 140 && high - low < 40;
        }
    return double(icy) / all;
}

// --render draws without a display: a PNG of the size asked with P's header,
// the planet in the middle and the background in the corners; --look-at
// 90,0 turns the north pole's ice under the camera.
TEST(EndToEnd, RenderDrawsThePlanetWithoutADisplay)
{
    ScopedTempDir dir;
    for (const char* look : {"", "--look-at 90,0"}) {
        const CommandResult run =
            runProgram("", std::string("--subdivisions 5 --iterations 5000 --batch --seed 2 --render 320x240 p.png ") + look);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        Image image;
        ASSERT_TRUE(readPng("p.png", image));
        ASSERT_EQ(image.width, 320);
        ASSERT_EQ(image.height, 240);
        EXPECT_NE(readFile("p.png").find("seed 2, subdivisions 5, iterations 5000, batch generation"), std::string::npos);
        for (const auto& [x, y] : {std::pair{0, 0}, {319, 0}, {0, 239}, {319, 239}}) {
            const unsigned char* p = &image.rgb[3 * (y * 320 + x)];
            EXPECT_TRUE(p[0] == 0 && p[1] >= 25 && p[1] <= 26 && p[2] >= 38 && p[2] <= 39) << x << ", " << y << " " << look;
        }
        const unsigned char* centre = &image.rgb[3 * (120 * 320 + 160)];
        EXPECT_GT(centre[0] + centre[1] + centre[2], 120) << "the planet's lit side " << look;
        if (*look)
            EXPECT_GT(icyShareInTheMiddle(image), 0.75);
        else
            EXPECT_LT(icyShareInTheMiddle(image), 0.25);
    }
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("Planet (seed 2): picture saved to p.png"), std::string::npos) << log;
    EXPECT_EQ(log.find("OpenGL error"), std::string::npos) << log;
}

// A folder that is gone by the time of the save, although it was there when
// the run began (a missing one then is refused before any work, see
// CommandLineTest), fails that save alone: the run goes on and ends with 1.
TEST(EndToEnd, ExportIntoAMissingFolderIsReportedAndTheProgramGoesOn)
{
    ScopedTempDir dir;
    std::filesystem::create_directories("no/such/folder");
    BackgroundProgram program({ORBIVANE_BINARY, "--no-window", "--export", "no/such/folder/p.ply"}, "", {"DISPLAY"}, true);
    // The folder goes once the first question shows that the run has begun.
    for (int wait = 0; wait < 6000 && program.running() && program.out().find("subdivisions") == std::string::npos;
         ++wait)
        usleep(10000);
    std::filesystem::remove_all("no");
    program.send("1\n10\nn\n1\n10\nn\n");
    program.closeInput();
    EXPECT_EQ(program.waitForExit(60), 1) << "a failed export tells a script so\n" << program.err();
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("ERROR   src/PlanetSaving.cpp"), std::string::npos);
    const std::string out = program.out();
    EXPECT_NE(out.find("Could not export the planet to no/such/folder/p.ply: cannot write \"no/such/folder/p.ply\": "
                       "No such file or directory\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Generating planet with 160 triangles", out.find("Could not export")), std::string::npos)
        << "the run went on to the next planet";
}

// Console text that cannot be written: said once on standard error, the
// questions still answered, and the run fails as a failed save does.
TEST(EndToEnd, StandardOutputThatCannotBeWrittenIsSaidOnceAndFailsTheRun)
{
    ScopedTempDir dir;
    const std::string said = "Cannot write standard output (No space left on device); console messages are lost, "
                             "and the run ends with status 1.\n";
    for (const auto& [args, status] : {std::pair{"", 1}, {"--help", 1}, {"--version", 1}, {"--seed 1 --seed 2", 2}}) {
        const CommandResult run = runProgram("2\n10\nn\n", std::string(args) + " >/dev/full");
        EXPECT_EQ(run.status, status) << args;
        const std::size_t at = run.err.find(said);
        EXPECT_EQ(at != std::string::npos && run.err.find(said, at + 1) == std::string::npos, status == 1) << run.err;
    }
    EXPECT_NE(readFile("Orbivane.log").find("Generating planet with 640 triangles and 10 iterations"),
              std::string::npos) << "the questions were answered";
}

TEST(EndToEnd, CommandLineThroughTheRealProgram)
{
    ScopedTempDir dir;
    CommandResult run = runProgram("", "--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: orbivane", 0), 0u);
    run = runProgram("", "--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("orbivane ", 0), 0u);
    run = runProgram("4\n", "--bogus");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "") << "no question is asked";
    EXPECT_NE(run.err.find("Usage: orbivane"), std::string::npos);
}

// A script gives every answer as an option: nothing is asked, the console is
// not read, one planet is made and saved, and no window is looked for.
TEST(EndToEnd, EveryAnswerGivenMakesOnePlanetWithoutReadingTheConsole)
{
    ScopedTempDir dir;
    const std::string flags = "--seed 42 --subdivisions 4 --iterations 500 --no-window ";
    const CommandResult run = runProgram("9\n9\ny\n", flags + "--batch --export a.ply");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("Enter number"), std::string::npos) << run.out;
    EXPECT_EQ(readFile("Orbivane.log").find("OpenGL"), std::string::npos);
    ASSERT_EQ(runProgram("4\n500\nn\n", "--seed 42 --export b.ply").status, 0);
    EXPECT_EQ(readFile("a.ply"), readFile("b.ply")) << "the same planet as the piped answers make";

    // Some answers given: only the others are asked, cycle after cycle.
    const CommandResult some = runProgram("300\n2\n", "--subdivisions 2 --live --no-window --export c.ply");
    EXPECT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(some.out.find("Enter number of subdivisions"), std::string::npos);
    EXPECT_NE(some.out.find("Generating planet with 640 triangles and 300 iterations"), std::string::npos);
    EXPECT_NE(some.out.find("Generating planet with 640 triangles and 2 iterations"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists("c-2.ply"));
}

} // namespace
