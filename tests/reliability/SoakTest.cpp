// The real program under load and faults in its window, on the X server named
// by DISPLAY.
#include "Dialogue.h"
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"
#include "XSupport.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace driver;

namespace {

class Soak : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (DISPLAY)";
        releaseKeys();
    }
    void TearDown() override { releaseKeys(); }

    void linkShaders() { fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res"); }

    ScopedTempDir dir;
};

TEST_F(Soak, FiftyCyclesInOneProcessKeepTheirMemory)
{
    linkShaders();
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "3"}, "", {}, true);
    const int cycles = 50;
    long afterFifth = 0, afterLast = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        program.send("4\n300\nn\n");
        ASSERT_NE(xsupport::waitForWindow("Orbivane", 60), 0u) << "cycle " << cycle;
        ASSERT_TRUE(escapeUntilAsked(program, cycle + 1)) << "cycle " << cycle;
        if (cycle == 5)
            afterFifth = program.residentKib();
    }
    afterLast = program.residentKib();
    program.closeInput();
    EXPECT_EQ(program.waitForExit(30), 0);
    const double drift = 100.0 * (afterLast - afterFifth) / afterFifth;
    EXPECT_LT(drift, 10.0) << afterFifth << " KiB after the fifth cycle, " << afterLast << " after the last";
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(log.find("OpenGL error"), std::string::npos);
    EXPECT_EQ(countOf(log, "Compiling shaders:"), cycles);
    char figure[160];
    std::snprintf(figure, sizeof figure, "%d cycles; resident %ld KiB after the 5th, %ld KiB after the 50th (%+.1f %%); no GL error",
                  cycles, afterFifth, afterLast, drift);
    recordFigure("soak: generate, window, close", figure);
}

TEST_F(Soak, LiveGenerationsClosedAtRandomMoments)
{
    linkShaders();
    // Paced over an hour, each generation is still rising when it is closed.
    BackgroundProgram program({ORBIVANE_BINARY, "--live-seconds", "3600"}, "", {}, true);
    std::mt19937 rng(11);
    const int closes = 20;
    double slowest = 0;
    for (int cycle = 1; cycle <= closes; ++cycle) {
        program.send("5\n100000\ny\n");
        const unsigned long window = xsupport::waitForWindow("Orbivane", 60);
        ASSERT_NE(window, 0u) << "cycle " << cycle;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 1500)(rng)));
        const auto start = std::chrono::steady_clock::now();
        if (cycle % 2)
            ASSERT_TRUE(xsupport::requestClose(window));
        else
            ASSERT_TRUE(escapeUntilAsked(program, cycle + 1)) << "cycle " << cycle;
        ASSERT_TRUE(waitForOutput(program, FIRST_QUESTION, cycle + 1, 20)) << "cycle " << cycle;
        slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    program.closeInput();
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_EQ(program.out().find("100%"), std::string::npos) << "every generation was stopped while running";
    char figure[120];
    std::snprintf(figure, sizeof figure, "%d live generations closed mid-way; slowest return to the console %.2f s",
                  closes, slowest);
    recordFigure("live: closed at random moments", figure);
}

TEST_F(Soak, LosingTheXServerEndsTheProgramWithAMessage)
{
    linkShaders();
    // A private server, so that the one the other tests use stays: on a
    // display no other server serves.
    const int number = xsupport::unservedDisplayNumber(1000 + getpid() % 5000);
    ASSERT_GE(number, 0);
    const std::string display = std::string(":").append(std::to_string(number));
    BackgroundProgram server({"/usr/bin/Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"}, "");
    ASSERT_EQ(runCommand("for i in $(seq 100); do xdpyinfo -display " + display + " >/dev/null 2>&1 && exit 0; sleep 0.1; done; exit 1").status, 0);
    ASSERT_TRUE(server.running()) << "the server that answered is this test's own";
    BackgroundProgram program({ORBIVANE_BINARY, "--export", "lost.ply", "--live-seconds", "3600"}, "4\n100000\ny\n",
                              {"DISPLAY=" + display});
    ASSERT_TRUE(waitForOutput(program, "Compiling shaders:", 1, 60)) << program.out();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(server.pid(), SIGKILL);
    const auto start = std::chrono::steady_clock::now();
    const int status = program.waitForExit(20);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(status, 1) << "ended rather than hung";
    EXPECT_NE(program.out().find("The connection to the display was lost; Orbivane ends."), std::string::npos);
    // What there was is saved before the end, and says so.
    const std::string saved = readFile("lost.ply");
    EXPECT_NE(saved.find(" of 100000, stopped, live generation, "), std::string::npos) << saved.substr(0, 200);
    char figure[100];
    std::snprintf(figure, sizeof figure, "ended %.2f s after the server was killed, with status 1 and a message", seconds);
    recordFigure("display: X server lost with the window open", figure);
}

// Shader files that cannot be used: the planet is still drawn, each fault is
// reported, and no GL error follows.
TEST_F(Soak, BrokenShaderFilesAreReportedAndThePlanetStillDrawn)
{
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* reported;
    };
    const fs::path shipped = fs::path(ORBIVANE_SOURCE_DIR) / "res";
    auto copyShipped = [&] { fs::create_directory("res"); for (auto name : {"land.vert", "land.frag", "water.vert", "water.frag"}) fs::copy_file(shipped / name, fs::path("res") / name); };
    const std::vector<Case> cases = {
        {"no res folder", [] {}, "Shader file res/land.vert could not be read"},
        {"empty file", [&] { copyShipped(); std::ofstream("res/land.frag", std::ios::trunc); }, "Shader file res/land.frag could not be read or is empty"},
        {"folder in a file's place", [&] { copyShipped(); fs::remove("res/water.frag"); fs::create_directory("res/water.frag"); }, "Shader file res/water.frag could not be read"},
        {"syntax error", [&] { copyShipped(); std::ofstream("res/water.frag", std::ios::trunc) << "#version 120\nvoid main() { gl_FragColor = vec4(1.0) }\n"; }, "Shader res/water.frag did not compile: "},
    };
    // A copy of the program in a folder of its own, with no shaders beside it,
    // so that only the working directory's res/ can be found.
    fs::create_directory("bin");
    const std::string binary = (fs::current_path() / "bin" / "orbivane").string();
    fs::copy_file(ORBIVANE_BINARY, binary);
    for (const Case& c : cases) {
        fs::remove_all("res");
        c.make();
        BackgroundProgram program({binary, "--seed", "4"}, "4\n2000\nn\n");
        Image shot;
        EXPECT_NE(waitForPlanet(shot), 0u) << c.name << ": the planet is drawn";
        ASSERT_TRUE(escapeUntilAsked(program, 2)) << c.name;
        EXPECT_EQ(program.waitForExit(30), 0) << c.name;
        const std::string log = readFile("Orbivane.log");
        EXPECT_NE(log.find(c.reported), std::string::npos) << c.name << "\n" << log;
        EXPECT_EQ(log.find("OpenGL error"), std::string::npos) << c.name << "\n" << log;
    }
    recordFigure("files: shader faults", "missing res/, an empty file, a folder in a file's place, a syntax error: each reported, planet drawn, no GL error");
}

TEST_F(Soak, LargestSubdivisionCountTheMachineAllows)
{
    const int largest = maxSubdivisions(availableMemoryBytes());
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "1"}, std::to_string(largest) + "\n5000\nn\n", {"DISPLAY"});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(program.waitForExit(900), 0) << program.out() << program.err();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string out = program.out();
    const auto done = out.find("Planet generation done in ");
    ASSERT_NE(done, std::string::npos) << out;
    const double generation = std::stod(out.substr(done + 26));
    char figure[200];
    std::snprintf(figure, sizeof figure, "%d subdivisions (%d vertices), 5000 iterations: generation %.1f s, whole run %.1f s, peak resident %.2f GiB",
                  largest, 60 << (2 * largest), generation, seconds, program.peakKib() / 1048576.0);
    recordFigure("load: largest subdivision count", figure);
}

} // namespace
