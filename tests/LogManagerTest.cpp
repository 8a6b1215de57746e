#include "LogManager.h"
#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::string lastLine(const std::string& path)
{
    const auto lines = readLines(path);
    return lines.empty() ? std::string() : lines.back();
}

TEST(LogManager, PrefixNamesLevelFileAndLineInFourColumns)
{
    ScopedTempDir dir;
    LogManager& log = LogManager::instance();
    struct Case { int level; int line; const char* expected; };
    const Case cases[] = {
        {Info, 85, "INFO    src/Planet.cpp :   85: value 7"},
        {Error, 1, "ERROR   src/Planet.cpp :    1: value 7"},
        {Warning, 999, "WARNING src/Planet.cpp :  999: value 7"},
        {Trace, 1234, "TRACE   src/Planet.cpp : 1234: value 7"},
        {5, 85, "LEVEL5 src/Planet.cpp :   85: value 7"},
        {-3, 12345, "LEVEL-3 src/Planet.cpp : 12345: value 7"},
    };
    testing::internal::CaptureStdout();
    for (const Case& c : cases) {
        log.log("src/Planet.cpp", c.line, c.level, "value %d", 7);
        EXPECT_EQ(lastLine("Orbivane.log"), c.expected);
    }
    // The console shows the bare message only, one line per record.
    std::string console = testing::internal::GetCapturedStdout();
    std::string expected;
    for (size_t i = 0; i < std::size(cases); ++i)
        expected += "value 7\n";
    EXPECT_EQ(console, expected);
}

TEST(LogManager, MessageEndingInLineEndLeavesAnEmptyLine)
{
    ScopedTempDir dir;
    testing::internal::CaptureStdout();
    LogManager::instance().log("src/a.cpp", 3, Info, "first\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "first\n\n");
    EXPECT_EQ(readFile("Orbivane.log"), "INFO    src/a.cpp :    3: first\n\n");
}

TEST(LogManager, RecordsAccumulateAndTheFileIsClosedBetweenThem)
{
    ScopedTempDir dir;
    testing::internal::CaptureStdout();
    LogManager::instance().log("src/a.cpp", 1, Info, "one");
    EXPECT_EQ(LogManager::instance().descriptor, -1);
    // Another writer between records is not overwritten.
    {
        std::FILE* other = std::fopen("Orbivane.log", "a");
        std::fputs("outside\n", other);
        std::fclose(other);
    }
    LogManager::instance().log("src/a.cpp", 2, Info, "two");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(readLines("Orbivane.log"),
              (std::vector<std::string>{"INFO    src/a.cpp :    1: one", "outside", "INFO    src/a.cpp :    2: two"}));
}

TEST(LogManager, MacroNamesTheCallerRelativeToTheProject)
{
    ScopedTempDir dir;
    testing::internal::CaptureStdout();
    const int line = __LINE__ + 1;
    ORB_LOG(Info, "from %s", "the macro");
    testing::internal::GetCapturedStdout();
    char expected[128];
    std::snprintf(expected, sizeof expected, "INFO    tests/LogManagerTest.cpp : %4d: from the macro", line);
    EXPECT_EQ(lastLine("Orbivane.log"), expected);
}

TEST(LogManager, UnwritableLogStillReachesTheConsole)
{
    ScopedTempDir dir;
    // A directory in the file's place cannot be opened for appending, even by root.
    std::filesystem::create_directory("Orbivane.log");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    LogManager::instance().log("src/a.cpp", 1, Info, "still shown");
    LogManager::instance().log("src/a.cpp", 2, Info, "and again");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "still shown\nand again\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Orbivane.log"), std::string::npos);
    EXPECT_EQ(LogManager::instance().descriptor, -1);
}

// As the kernel's protected_regular does, a log file planted in a sticky
// world-writable folder by a user who owns neither it nor the folder is not
// written: the run says so in one line and keeps its messages on the console.
TEST(LogManager, AnotherUsersLogFileInAStickySharedFolderIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file and a folder to other users";
    struct Case { const char* what; mode_t folderMode; uid_t folderOwner, fileOwner; bool written; };
    const uid_t other = 4321;
    const Case cases[] = {{"another user's file in a sticky 1777 folder", 01777, 0, other, false},
                          {"the runner's file there", 01777, other, 0, true},
                          {"the folder owner's file there", 01777, other, other, true},
                          {"another user's file in a 0777 folder", 0777, 0, other, true}};
    const std::string refusal = "Cannot write Orbivane.log (not writing into a file another user owns in a sticky "
                                "world-writable folder); messages go to the console only.\n";
    for (const Case& c : cases) {
        ScopedTempDir dir;
        std::filesystem::create_directory("shared");
        std::ofstream("shared/Orbivane.log") << "planted\n";
        ASSERT_EQ(chown("shared/Orbivane.log", c.fileOwner, c.fileOwner), 0);
        ASSERT_EQ(chown("shared", c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(chmod("shared", c.folderMode), 0);
        const CommandResult run = runCommand("cd shared && env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                                             " --seed 1 --subdivisions 0 --iterations 1 --batch --no-window");
        EXPECT_EQ(run.status, 0) << c.what;
        EXPECT_NE(run.out.find("Generating planet with 40 triangles"), std::string::npos) << c.what;
        EXPECT_EQ(run.err, c.written ? "" : refusal) << c.what;
        const std::string log = readFile("shared/Orbivane.log");
        EXPECT_EQ(log == "planted\n", !c.written) << c.what << ": " << log;
        EXPECT_EQ(log.find("INFO    ") == 0, c.written) << c.what << ": " << log;
    }
}

} // namespace
