#include "SaveSet.h"
#include "SignalCleanup.h"
#include "TestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <csignal>
#include <memory>
#include <set>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::set<std::string> entriesOf(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Sets or clears the immutable flag; false where the file system has none.
bool setImmutable(const std::string& path, bool immutable)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    const bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL,
                       ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0)
        close(fd);
    return done;
}

// Three old files a, b and c replaced as one set with new contents; what is
// planted after every member is written, before the commit, and whether the
// set is then placed.
struct Obstacle {
    const char* what;
    std::function<bool()> plant; // false: cannot be arranged here
    const char* failedName;      // "" when the set is placed
};

TEST(SaveSet, AMemberThatCannotBePlacedLeavesEveryOldMemberAndNoNewOne)
{
    const Obstacle obstacles[] = {
        {"nothing in the way", [] { return true; }, ""},
        {"a folder in the way of the last", [] { return fs::remove("c") && fs::create_directory("c"); }, "c"},
        {"the last immutable", [] { return setImmutable("c", true); }, "c"},
        {"a name too long for the last", [] { return true; }, ""}};
    for (const bool namedOnly : {false, true})
        for (const Obstacle& obstacle : obstacles) {
            ScopedTempDir dir;
            useNamedTemporaryFilesOnly(namedOnly);
            const bool tooLong = std::string(obstacle.what).ends_with("too long for the last");
            const std::string last = tooLong ? std::string(300, 'c') : "c";
            for (const char* name : {"a", "b", "c"})
                std::ofstream(name) << "old " << name;
            SaveSet set;
            bool placed = false;
            {
                SafeFile a(SaveTarget::replacing("a")), b(SaveTarget::replacing("b")), c(SaveTarget::replacing(last));
                for (SafeFile* member : {&a, &b, &c}) {
                    member->write("new");
                    set.add(*member);
                }
                if (!obstacle.plant()) {
                    useNamedTemporaryFilesOnly(false);
                    GTEST_SKIP() << obstacle.what << ": cannot be arranged on " << dir.path();
                }
                placed = set.commit();
            }
            setImmutable("c", false);
            useNamedTemporaryFilesOnly(false);
            const std::string how = std::string(obstacle.what) + (namedOnly ? ", named" : ", unnamed");
            EXPECT_EQ(entriesOf("."), (std::set<std::string>{"a", "b", "c"})) << how << ": no temporary file";
            EXPECT_EQ(placed, *obstacle.failedName == 0 && !tooLong) << how;
            EXPECT_EQ(set.failedName, tooLong ? last : obstacle.failedName) << how;
            EXPECT_EQ(readFile("a"), placed ? "new" : "old a") << how;
            EXPECT_EQ(readFile("b"), placed ? "new" : "old b") << how;
        }
}

// A set of twelve (as the cube faces) replaced in a forked child that sends
// itself SIGTERM after one step on the files: the step's number, or 0 for none.
constexpr int MEMBERS = 12;
int stepToSignal = 0, stepsSeen = 0;

std::string memberName(int m)
{
    std::string name = "m";
    return name += std::to_string(m);
}

void signalAtTheChosenStep()
{
    if (++stepsSeen == stepToSignal)
        kill(getpid(), SIGTERM);
}

// In the child: ends by the signal, or exits with the number of steps seen.
[[noreturn]] void replaceTwelve(int step, bool namedOnly, bool idleThread)
{
    useNamedTemporaryFilesOnly(namedOnly);
    if (idleThread) // the signal may then be handled there while this thread is mid-step
        std::thread([] {
            for (;;)
                pause();
        }).detach();
    stepToSignal = step;
    signalcleanup::setStepHook(signalAtTheChosenStep);
    {
        std::vector<std::unique_ptr<SafeFile>> files;
        SaveSet set;
        for (int m = 0; m < MEMBERS; ++m) {
            files.push_back(std::make_unique<SafeFile>(SaveTarget::replacing(memberName(m))));
            files.back()->write("new " + std::to_string(m));
            set.add(*files.back());
        }
        set.commit();
    }
    if (step > 0 && stepsSeen >= step)
        for (;;)
            pause(); // the signal is on its way
    _exit(stepsSeen);
}

// The wait status of a child that replaces the twelve members at step.
int statusOfReplacing(int step, bool namedOnly, bool idleThread)
{
    for (int m = 0; m < MEMBERS; ++m)
        std::ofstream(memberName(m), std::ios::trunc) << "old " << m;
    const pid_t child = fork();
    if (child == 0)
        replaceTwelve(step, namedOnly, idleThread);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Whatever step the signal follows, before the set's commit point every member
// is old again, after it every member is new; no hidden file stays.
TEST(SaveSet, ASignalAtAnyStepOfThePlacingLeavesTheSetWhollyOldOrWhollyNew)
{
    std::set<std::string> members;
    for (int m = 0; m < MEMBERS; ++m)
        members.insert(memberName(m));
    for (const bool namedOnly : {false, true})
        for (const bool idleThread : {false, true}) {
            ScopedTempDir dir;
            const std::string how = std::string(namedOnly ? "named" : "unnamed") + (idleThread ? ", two threads" : "");
            const int unsignalled = statusOfReplacing(0, namedOnly, idleThread);
            ASSERT_TRUE(WIFEXITED(unsignalled)) << how;
            const int steps = WEXITSTATUS(unsignalled);
            ASSERT_GT(steps, 2 * MEMBERS) << how;
            bool sawOld = false, sawNew = false;
            for (int step = 1; step <= steps; ++step) {
                const int status = statusOfReplacing(step, namedOnly, idleThread);
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << how << ", step " << step;
                int fresh = 0;
                for (int m = 0; m < MEMBERS; ++m)
                    fresh += readFile(memberName(m)) == "new " + std::to_string(m);
                EXPECT_TRUE(fresh == 0 || fresh == MEMBERS) << how << ", step " << step << ": " << fresh << " new";
                EXPECT_EQ(entriesOf("."), members) << how << ", step " << step;
                sawOld = sawOld || fresh == 0;
                sawNew = sawNew || fresh == MEMBERS;
            }
            EXPECT_TRUE(sawOld && sawNew) << how;
        }
}

// Numbered members take one N; where the last one's N is taken meanwhile,
// the first leaves its number again.
TEST(SaveSet, NumberedMembersShareOneNumberOrNoneIsPlaced)
{
    ScopedTempDir dir;
    std::ofstream("n-1-a") << "another program's";
    for (const bool taken : {false, true}) {
        SafeFile a(SaveTarget::numbered("n-", "-a")), b(SaveTarget::numbered("n-", "-b"));
        SaveSet set;
        for (SafeFile* member : {&a, &b}) {
            member->write("ours");
            set.add(*member);
        }
        if (taken)
            std::ofstream("n-3-b") << "taken meanwhile";
        EXPECT_EQ(set.commit(), !taken);
        EXPECT_EQ(set.failedName, taken ? "n-3-b" : "");
    }
    EXPECT_EQ(entriesOf("."), (std::set<std::string>{"n-1-a", "n-2-a", "n-2-b", "n-3-b"}));
    EXPECT_EQ(readFile("n-2-b"), "ours");
    EXPECT_EQ(readFile("n-3-b"), "taken meanwhile");
}

// A disk that fills while the last member is written: nothing is placed.
TEST(SaveSet, AFullDiskLeavesEveryOldMember)
{
    ScopedTempDir dir;
    fs::create_directory("disk");
    if (geteuid() != 0 || mount("tmpfs", "disk", "tmpfs", 0, "size=200k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    {
        std::ofstream("disk/a") << "old a";
        std::ofstream("disk/b") << "old b";
        SafeFile a(SaveTarget::replacing("disk/a")), b(SaveTarget::replacing("disk/b"));
        a.write(std::string(120 << 10, 'a'));
        b.write(std::string(120 << 10, 'b'));
        SaveSet set;
        set.add(a);
        set.add(b);
        EXPECT_FALSE(set.commit());
        EXPECT_EQ(set.failed, &b);
        EXPECT_EQ(failureText(b.failure), "No space left on device");
    }
    EXPECT_EQ(readFile("disk/a"), "old a");
    EXPECT_EQ(readFile("disk/b"), "old b");
    EXPECT_EQ(entriesOf("disk"), (std::set<std::string>{"a", "b"}));
    umount2((dir.path() + "/disk").c_str(), MNT_DETACH);
}

} // namespace
