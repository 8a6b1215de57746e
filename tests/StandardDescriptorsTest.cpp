#include "StandardDescriptors.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// In a child, so the test process keeps its own descriptors: closes the
// given ones, fills them, and exits 0 only if all three are open and each
// closed one is now /dev/null opened in its direction.
int fillInChild(const std::vector<int>& closed)
{
    const pid_t child = fork();
    if (child == 0) {
        struct stat null {};
        stat("/dev/null", &null);
        for (int descriptor : closed)
            close(descriptor);
        if (openClosedStandardDescriptors() != 0)
            _exit(10);
        for (int descriptor = 0; descriptor <= 2; ++descriptor) {
            struct stat now {};
            if (fstat(descriptor, &now) != 0)
                _exit(20 + descriptor);
            const bool wasClosed = std::find(closed.begin(), closed.end(), descriptor) != closed.end();
            const int wanted = descriptor == 0 ? O_RDONLY : O_WRONLY;
            if (wasClosed && (now.st_rdev != null.st_rdev || (fcntl(descriptor, F_GETFL) & O_ACCMODE) != wanted))
                _exit(30 + descriptor);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StandardDescriptors, ClosedOnesBecomeDevNullInTheirDirection)
{
    const std::vector<std::vector<int>> cases = {{}, {0}, {1}, {2}, {1, 2}, {0, 1, 2}};
    for (const auto& closed : cases)
        EXPECT_EQ(fillInChild(closed), 0) << closed.size() << " closed, the first " << (closed.empty() ? -1 : closed[0]);
}

} // namespace
