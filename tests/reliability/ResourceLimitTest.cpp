// The real program under limits that leave it too few threads or too little memory.
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace driver;

namespace {

TEST(ResourceLimit, AGenerationThreadThatCannotStartIsReportedAndTheProgramGoesOn)
{
    if (geteuid() != 0 || runCommand("command -v setpriv prlimit").status != 0)
        GTEST_SKIP() << "needs root, setpriv and prlimit to run the program as a user with a process limit";
    ScopedTempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    // A user id of its own, so that no other process counts against the limit.
    const std::string id = std::to_string(60000 + getpid() % 5000);
    const struct {
        int processes; // the program's main thread counts as one
        const char* input;
    } cases[] = {{2, "4\n100\nn\n3\n20000\nn\n"}, {1, "4\n100\ny\n"}};
    for (const auto& c : cases) {
        const CommandResult run = runCommand("timeout 60 env -u DISPLAY prlimit --nproc=" + std::to_string(c.processes) +
                                                 " -- setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " +
                                                 shellQuote(ORBIVANE_BINARY),
                                             c.input);
        EXPECT_EQ(run.status, 0) << c.input << run.err;
        EXPECT_EQ(run.err.find("terminate"), std::string::npos) << run.err;
        const int planets = countOf(run.out, "Generating planet");
        EXPECT_EQ(countOf(run.out, "Could not start the generation: Resource temporarily unavailable\n"), planets)
            << run.out;
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
    // 8 subdivisions in one pass and in two: the planet's arrays, the tree's
    // plane lists and the threads' stacks each fail somewhere in this range.
    int planets = 0, outOfMemory = 0, noThread = 0;
    for (int kib = 100000; kib <= 160000; kib += 4000) {
        for (const char* input : {"8\n5000\nn\n", "8\n20000\nn\n"}) {
            const CommandResult run = runCommand("ulimit -v " + std::to_string(kib) +
                                                     "; timeout 60 env -u DISPLAY " + shellQuote(ORBIVANE_BINARY),
                                                 input);
            ASSERT_EQ(run.status, 0) << kib << " KiB, " << input << run.err;
            const int made = countOf(run.out, "Planet generation done in ");
            const int memory = countOf(run.out, "Not enough memory for a planet with 8 subdivisions; try fewer.\n");
            const int threads = countOf(run.out, "Could not start the generation: Resource temporarily unavailable\n");
            ASSERT_EQ(made + memory + threads, 1) << kib << " KiB, " << input << run.out;
            planets += made;
            outOfMemory += memory;
            noThread += threads;
        }
    }
    recordFigure("memory: address-space limits 100 to 160 MB, 8 subdivisions",
                 std::to_string(planets) + " planets, " + std::to_string(outOfMemory) + " out of memory, " +
                     std::to_string(noThread) + " threads refused; status 0 every time");
}

} // namespace
