#include "TestSupport.h"

#include <gtest/gtest.h>
#include <regex>

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
