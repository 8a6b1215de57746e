// The real program fed bad input, little memory and no usable display.
#include "Dialogue.h"
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"
#include "XSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

using namespace driver;

namespace {

std::string programCommand(const std::string& prefix = "env -u DISPLAY")
{
    return prefix + " " + shellQuote(ORBIVANE_BINARY);
}

// Input that keeps every planet small: subdivision answers stay below 6 or are refused.
std::string smallPlanetInput(std::mt19937& rng)
{
    const char* pieces[] = {"0", "3", "5", "-2", "99", "99999999999999999999", "abc", "", "  ", "y", "N", "n",
                            "7x", "+4", "\x01\xff", "1.5", "2 30 n", "40", "-7", "x y z"};
    std::string input;
    const int lines = std::uniform_int_distribution<int>(0, 12)(rng);
    for (int i = 0; i < lines; ++i) {
        input += pieces[std::uniform_int_distribution<int>(0, std::size(pieces) - 1)(rng)];
        input += '\n';
    }
    if (std::uniform_int_distribution<int>(0, 3)(rng) == 0)
        input += "2"; // input that ends in the middle of a cycle
    return input;
}

TEST(ProgramInput, GeneratedInputsThroughStandardInputEndWithStatusZero)
{
    ScopedTempDir dir;
    int runs = 0, cycles = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        const std::string input = smallPlanetInput(rng);
        // Answers of 6 or more would make slow planets; they are refused above 12 only.
        const CommandResult run = runCommand("timeout 60 " + programCommand() + " --seed 1", input);
        ASSERT_EQ(run.status, 0) << "seed " << seed << "\n" << run.out << run.err;
        cycles += countOf(run.out, "Generating planet with");
        ++runs;
    }
    recordFigure("program stdin: generated inputs", std::to_string(runs) + " runs, " + std::to_string(cycles) +
                                                        " cycles, every one ended with status 0");
}

TEST(ProgramInput, AFailedAllocationIsReportedAndTheNextCycleRuns)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#endif
    ScopedTempDir dir;
    // 9 subdivisions need about 400 MB for land and sea; the machine has it, this process may not.
    const CommandResult run =
        runCommand("ulimit -v 300000; " + programCommand(), "9\n10\nn\n2\n10\nn\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Not enough memory for a planet with 9 subdivisions; try fewer."), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Generating planet with 640 triangles"), std::string::npos) << "the next cycle ran";
    EXPECT_NE(readFile("Orbivane.log").find("ERROR   src/Orbivane.cpp"), std::string::npos);
    recordFigure("memory: failed allocation", "9 subdivisions under a 300 MB address-space limit: reported, next cycle ran");
}

// /dev/zero never gives a line end; a gigabyte line does, at last. Neither
// is kept: both are read under an address-space limit of a fifth of a line.
TEST(ProgramInput, EndlessAndGigabyteLinesEndInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#endif
    ScopedTempDir dir;
    const std::pair<std::string, std::string> cases[] = { // input, what the console then says
        {"cat /dev/zero", "Too many lines longer than 4096 bytes; the input is taken as ended.\n"},
        {"{ head -c 1073741824 /dev/zero | tr '\\0' x; printf '\\n2\\n10\\nn\\n'; }",
         "skipped.\n" + FIRST_QUESTION + "2 subdivisions gives 640 triangles."}};
    for (const auto& [input, said] : cases) {
        const CommandResult run = runCommand(input + " | (ulimit -v 300000; timeout 120 " + programCommand() + ")");
        EXPECT_EQ(run.status, 0) << input << "\n" << run.err;
        EXPECT_NE(run.out.find(said), std::string::npos) << input << "\n" << run.out.substr(0, 2000);
    }
    recordFigure("input: /dev/zero and a 1 GiB line", "each ended under a 300 MB address-space limit");
}

TEST(ProgramInput, CountsBeyondTheMachineAreRefusedWithTheRange)
{
    ScopedTempDir dir;
    const int largest = maxSubdivisions(availableMemoryBytes());
    ASSERT_GE(largest, 8);
    const CommandResult run = runCommand(programCommand(), std::to_string(largest + 1) + "\n13\n1\n1\nn\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(countOf(run.out, "The number of subdivisions must be from 0 to " + std::to_string(largest)), 2);
    EXPECT_NE(run.out.find("1 subdivisions gives 160 triangles."), std::string::npos);
    recordFigure("memory: largest count accepted here", std::to_string(largest) + " (" +
                                                             std::to_string(planetBytes(largest) >> 20) + " MiB)");
}

TEST(ProgramInput, DisplaysThatCannotBeUsedEndTheProgramCalmly)
{
    ScopedTempDir dir;
    // Displays checked unserved: no local server, and a port that refuses.
    const int local = xsupport::unservedDisplayNumber(1000 + getpid() % 5000);
    ASSERT_GE(local, 0);
    const xsupport::RefusingTcpDisplay refusing;
    ASSERT_FALSE(refusing.name().empty());
    for (const std::string& prefix :
         {std::string("env -u DISPLAY"), "env DISPLAY=:" + std::to_string(local), "env DISPLAY=" + refusing.name()}) {
        const CommandResult run = runCommand("timeout 60 " + programCommand(prefix), "3\n100\nn\n3\n100\nn\n");
        EXPECT_EQ(run.status, 0) << prefix;
        const std::string last = "opening OpenGL window and initializing OpenGL...\n";
        ASSERT_GE(run.out.size(), last.size());
        EXPECT_EQ(run.out.substr(run.out.size() - last.size()), last) << prefix;
        EXPECT_EQ(countOf(run.out, "Generating planet"), 1) << prefix;
        // Standard error alone says why: one line with GLFW's reason.
        const std::string why = "Orbivane: no window could be opened: ";
        EXPECT_EQ(run.err.rfind(why, 0), 0u) << prefix << ": " << run.err;
        EXPECT_GT(run.err.size(), why.size() + 1) << prefix;
        EXPECT_EQ(countOf(run.err, "\n"), 1) << prefix << ": " << run.err;
        EXPECT_TRUE(!run.err.empty() && run.err.back() == '\n') << prefix;
    }
    recordFigure("display: none, a missing local server, a refused TCP server",
                 "each ended with status 0 after the second record and one line on standard error");
}

} // namespace
