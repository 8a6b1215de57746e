// The real program under limits that leave it too few threads or too little memory.
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"
#include "XSupport.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

using namespace driver;
namespace fs = std::filesystem;

namespace {

const std::string NO_THREAD = "Could not start the generation: Resource temporarily unavailable\n";

TEST(ResourceLimit, AGenerationThreadThatCannotStartIsReportedAndTheProgramGoesOn)
{
    if (geteuid() != 0 || runCommand("command -v setpriv prlimit").status != 0)
        GTEST_SKIP() << "needs root, setpriv and prlimit to run the program as a user with a process limit";
    ScopedTempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const std::string id = std::to_string(60000 + getpid() % 5000); // a user no other process counts against
    // The limit counts the main thread: 2 refuses the tree's second worker, 1 the live thread.
    for (const auto& [limit, input] : {std::pair{"2", "4\n100\nn\n3\n20000\nn\n"}, {"1", "4\n100\ny\n"}}) {
        const CommandResult run = runCommand(std::string("timeout 60 env -u DISPLAY prlimit --nproc=") + limit +
                                                 " -- setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " +
                                                 shellQuote(ORBIVANE_BINARY),
                                             input);
        EXPECT_EQ(run.status, 0) << input << run.err;
        const int planets = countOf(run.out, "Generating planet");
        EXPECT_EQ(countOf(run.out, NO_THREAD), planets) << run.out;
        EXPECT_EQ(countOf(readFile("Orbivane.log"), "ERROR   src/Orbivane.cpp"), planets);
        EXPECT_EQ(countOf(run.out, "Enter number of subdivisions"), planets + 1) << "every cycle asks again";
    }
    recordFigure("threads: a process limit of 2 (batch) and 1 (live)",
                 "every planet whose threads could not start reported, the question asked again, status 0");
}

TEST(ResourceLimit, EveryAddressSpaceLimitEndsInAPlanetOrAReason)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limits allow";
#endif
    ScopedTempDir dir;
    // In this range the planet's arrays, the tree's plane lists (one pass or
    // two) and the threads' stacks each fail somewhere.
    int outcomes[3] = {0, 0, 0}; // planets, out of memory, threads refused
    for (int kib = 100000; kib <= 160000; kib += 4000) {
        for (const char* input : {"8\n5000\nn\n", "8\n20000\nn\n"}) {
            const CommandResult run = runCommand(
                "ulimit -v " + std::to_string(kib) + "; timeout 60 env -u DISPLAY " + shellQuote(ORBIVANE_BINARY), input);
            ASSERT_EQ(run.status, 0) << kib << " KiB, " << input << run.err;
            const int seen[3] = {countOf(run.out, "Planet generation done in "),
                                 countOf(run.out, "Not enough memory for a planet with 8 subdivisions; try fewer.\n"),
                                 countOf(run.out, NO_THREAD)};
            ASSERT_EQ(seen[0] + seen[1] + seen[2], 1) << kib << " KiB, " << input << run.out;
            for (int i = 0; i < 3; ++i)
                outcomes[i] += seen[i];
        }
    }
    recordFigure("memory: address-space limits 100 to 160 MB, 8 subdivisions",
                 std::to_string(outcomes[0]) + " planets, " + std::to_string(outcomes[1]) + " out of memory, " +
                     std::to_string(outcomes[2]) + " threads refused; status 0 every time");
}

// --render under address-space limits from where the driver has no room to
// where the planet fits whole. Mesa's llvmpipe crashed making the context
// (8 subdivisions under 700,000 KiB) or drawing (9 under 1,200,000), and a
// planet it had no room for was saved as a picture of the background, or
// drawn faceted, without its climate or rivers, with status 0.
TEST(ResourceLimit, EveryPosterUnderAnAddressSpaceLimitIsWholeOrAReasonAndNoFile)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limits allow";
#endif
    ScopedTempDir dir;
    const std::string program = "timeout 120 env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                                " --subdivisions 5 --iterations 2000 --batch --seed 1 --render 320x200 ";
    ASSERT_EQ(runCommand(program + "whole.png").status, 0);
    const std::string whole = readFile("whole.png");
    std::string seen;
    // Every 50,000 KiB up to where it fitted here (1,080,000), then limits
    // that leave room for a driver with more threads on more cores.
    std::vector<int> limits;
    for (int kib = 350000; kib <= 1100000; kib += 50000)
        limits.push_back(kib);
    limits.insert(limits.end(), {1300000, 1600000, 2000000});
    for (const int kib : limits) {
        const std::string name = std::to_string(kib) + " KiB";
        const CommandResult run = runCommand("ulimit -v " + std::to_string(kib) + "; " + program + "p.png");
        ASSERT_TRUE(run.status == 0 || run.status == 1) << name << ": status " << run.status << run.out << run.err;
        if (run.status == 0) {
            EXPECT_TRUE(readFile("p.png") == whole) << name << ": not the picture drawn without a limit";
            EXPECT_EQ(run.out.find("Not enough memory"), std::string::npos) << name << ": " << run.out;
        } else {
            EXPECT_FALSE(fs::exists("p.png")) << name;
            EXPECT_EQ(countOf(run.out, "Could not save the picture p.png: "), 1) << name << ": " << run.out;
            EXPECT_EQ(run.out.find("picture saved"), std::string::npos) << name << ": " << run.out;
        }
        seen += run.status == 0 ? "0" : "1";
        fs::remove("p.png");
    }
    EXPECT_NE(seen.find('0'), std::string::npos) << "the largest limits hold the picture";
    recordFigure("memory: --render under address-space limits 350 to 2000 MB, 5 subdivisions",
                 "statuses " + seen + " (1: a reason and no file); no signal");
}

using ResourceLimitWindow = WindowedProgram;

// Address-space limits under which Mesa's llvmpipe crashed before the
// program kept room for it: inside its shader compiler (8 at 650,000 KiB),
// drawing the planet (8 at 800,000, 9 at 1,400,000), its JIT aborting
// (9 at 1,260,000 and 1,300,000, once the rivers' worker had taken its
// room). Each now ends in the reason, with or without a window.
TEST_F(ResourceLimitWindow, TheWindowWithoutMemoryForThePlanetSaysSoAndTheQuestionsComeBack)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limits allow";
#endif
    const std::pair<int, int> cases[] = {{8, 650000}, {8, 800000}, {9, 1260000}, {9, 1300000}, {9, 1400000}};
    std::string seen;
    for (const auto& [subdivisions, kib] : cases) {
        const std::string name = std::to_string(subdivisions) + " subdivisions, " + std::to_string(kib) + " KiB";
        BackgroundProgram program({"/bin/sh", "-c", "ulimit -v " + std::to_string(kib) + " && exec \"$0\" --seed 1",
                                   ORBIVANE_BINARY},
                                  std::to_string(subdivisions) + "\n5000\nn\n");
        // The questions come back by themselves when no window opened; the
        // clock only guards against a hung program.
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        bool window = false;
        while (!window && countOf(program.out(), FIRST_QUESTION) < 2 && program.running() &&
               std::chrono::steady_clock::now() < end) {
            window = xsupport::waitForWindow("Orbivane", 0) != 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (window) {
            EXPECT_TRUE(escapeUntilAsked(program, 2)) << name << ": " << program.out();
        }
        EXPECT_EQ(program.waitForExit(60), 0) << name << ": " << program.out() << program.err();
        const std::string out = program.out();
        EXPECT_EQ(countOf(out, "Not enough memory to show the planet"), 1) << name << ": " << out;
        EXPECT_EQ(countOf(out, FIRST_QUESTION), 2) << name;
        const bool coarser = out.find("the planet whole; it is drawn at") != std::string::npos;
        seen += name + (window ? (coarser ? ": drawn coarser; " : ": window, no planet; ") : ": no window; ");
    }
    recordFigure("memory: the window under address-space limits where the driver crashed", seen + "status 0 each");
}

} // namespace
