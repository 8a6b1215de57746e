// The real program under a process limit that leaves it too few threads.
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace driver;

namespace {

TEST(ThreadLimit, AGenerationThreadThatCannotStartIsReportedAndTheProgramGoesOn)
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

} // namespace
