#include "LogManager.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

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

} // namespace
