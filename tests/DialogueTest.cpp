#include "Dialogue.h"
#include "LogManager.h"
#include "Orbivane.h"
#include "TestSupport.h"
#include "ThreadGroup.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <system_error>
#include <tuple>
#include <utility>

namespace {

const std::string SUBDIVISIONS_PROMPT =
    "Enter number of subdivisions on the icosahedron (4 is a reasonable choice): ";
const std::string ITERATIONS_PROMPT =
    "Enter number of landscape generation iterations (5000 is a reasonable choice): ";
const std::string RENDER_PROMPT =
    "Would you like to render the generation (takes a lot longer to generate, but looks cool) (y/n): ";

struct Asked {
    std::optional<Answers> answers;
    std::string out;
};

Asked ask(const std::string& input, int maxCount = 12)
{
    std::istringstream in(input);
    std::ostringstream out;
    Asked asked;
    asked.answers = askQuestions(in, out, maxCount);
    asked.out = out.str();
    return asked;
}

int countOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(Dialogue, ThreeAnswersGiveTheExactTranscript)
{
    const Asked asked = ask("4\n5000\nn\n");
    ASSERT_TRUE(asked.answers);
    EXPECT_EQ(asked.answers->subdivisions, 4);
    EXPECT_EQ(asked.answers->iterations, 5000);
    EXPECT_FALSE(asked.answers->liveGeneration());
    EXPECT_EQ(asked.out, SUBDIVISIONS_PROMPT + "4 subdivisions gives 10240 triangles.\n" + ITERATIONS_PROMPT +
                             RENDER_PROMPT + "\n\n\n\n");
}

TEST(Dialogue, TriangleReportUsesTheStreamsDefaultFloatFormat)
{
    EXPECT_NE(ask("0\n1\nn\n").out.find("0 subdivisions gives 40 triangles.\n"), std::string::npos);
    EXPECT_NE(ask("8\n1\nn\n").out.find("8 subdivisions gives 2.62144e+06 triangles.\n"), std::string::npos);
}

TEST(Dialogue, AnswersMayShareALineAndOnlyLowercaseNIsBatch)
{
    for (auto [input, live] : {std::pair{"5 200 n", false}, {"5 200 N", true}, {"5 200 y", true}, {"5 200 ?", true}}) {
        const Asked asked = ask(input);
        ASSERT_TRUE(asked.answers);
        EXPECT_EQ(asked.answers->subdivisions, 5);
        EXPECT_EQ(asked.answers->iterations, 200);
        EXPECT_EQ(asked.answers->liveGeneration(), live) << input;
    }
}

TEST(Dialogue, UnreadableAnswerKeepsItsDefaultAndTheNextIsRead)
{
    Asked asked = ask("abc def\n5000\ny\n");
    ASSERT_TRUE(asked.answers);
    EXPECT_EQ(asked.answers->subdivisions, 4);
    EXPECT_EQ(asked.answers->iterations, 5000);
    EXPECT_EQ(asked.answers->render, 'y');

    asked = ask("6\nlots\n\n  n\n");
    ASSERT_TRUE(asked.answers);
    EXPECT_EQ(asked.answers->subdivisions, 6);
    EXPECT_EQ(asked.answers->iterations, 1000);
    EXPECT_EQ(asked.answers->render, 'n');

    // A huge iteration count cannot be an int: the default stands.
    asked = ask("2\n99999999999999999999999\ny\n");
    EXPECT_EQ(asked.answers->iterations, 1000);
    EXPECT_EQ(asked.answers->render, 'y');
}

TEST(Dialogue, TheRenderAnswerKeepsWhatFollowsItOnItsLine)
{
    // input, then the two cycles' answers: subdivisions, iterations, render.
    // A word's first character is the answer and the rest of the word goes;
    // the answers after it on the line are the next cycle's.
    const std::pair<std::string, std::array<Answers, 2>> cases[] = {
        {"1 3 n 2 5 n\n", {Answers{1, 3, 'n'}, Answers{2, 5, 'n'}}},
        {"3\n10\nyes\n5\n20\nno\n", {Answers{3, 10, 'y'}, Answers{5, 20, 'n'}}},
        {"3 10 yes 5 20 n\n", {Answers{3, 10, 'y'}, Answers{5, 20, 'n'}}},
        // The next cycle reads "please": unreadable, so its line goes too.
        {"3 10 y please 7\n20\nn\n", {Answers{3, 10, 'y'}, Answers{4, 20, 'n'}}},
    };
    for (const auto& [input, expected] : cases) {
        std::istringstream in(input);
        std::ostringstream out;
        for (const Answers& want : expected) {
            const auto got = askQuestions(in, out, 12);
            ASSERT_TRUE(got) << input;
            EXPECT_EQ(std::tuple(got->subdivisions, got->iterations, got->render),
                      std::tuple(want.subdivisions, want.iterations, want.render)) << input;
        }
        EXPECT_FALSE(askQuestions(in, out, 12)) << input;
    }
}

TEST(Dialogue, EndOfInput)
{
    EXPECT_FALSE(ask("").answers);
    EXPECT_FALSE(ask("  \n\n\t").answers);
    EXPECT_EQ(ask("").out, SUBDIVISIONS_PROMPT);

    // End of input at any later question ends the dialogue too, with no planet.
    for (const char* input : {"3", "x", "3\n", "3 10", "3\n10\n", "3\n1e4 y\n", "3\n-5\n"})
        EXPECT_FALSE(ask(input).answers) << input;
    EXPECT_EQ(ask("3\n10\n").out, SUBDIVISIONS_PROMPT + "3 subdivisions gives 2560 triangles.\n" + ITERATIONS_PROMPT +
                                       RENDER_PROMPT);
}

TEST(Dialogue, AnAnswerIsAWholeTokenAndANumberRunningOnIsUnreadable)
{
    const std::string digits(40, '1'); // too large an int, but a number
    const std::tuple<std::string, int, int, char> cases[] = { // input, subdivisions, iterations, render
        {"3.7\n5000\nn\n", 4, 5000, 'n'}, {"5,000 9\n3\nn\n", 4, 3, 'n'},     {"2\n1e4 y\nn\n", 2, 1000, 'n'},
        {"4x\n5000\nn\n", 4, 5000, 'n'},  {"4 5000 n\n", 4, 5000, 'n'},         {"+3 -0 y\n", 3, 0, 'y'},
        {"2\n" + digits + " y\n", 2, 1000, 'y'}, {"2\n" + digits + "x y\nn\n", 2, 1000, 'n'}};
    for (const auto& [input, subdivisions, iterations, render] : cases) {
        const Asked asked = ask(input);
        ASSERT_TRUE(asked.answers) << input;
        EXPECT_EQ(std::tuple(asked.answers->subdivisions, asked.answers->iterations, asked.answers->render),
                  std::tuple(subdivisions, iterations, render)) << input;
    }
}

TEST(Dialogue, NegativeIterationsAreRefusedAndAskedAgain)
{
    const Asked asked = ask("3\n-5\n-99999999999999999999\n10\nn\n");
    ASSERT_TRUE(asked.answers);
    EXPECT_EQ(asked.answers->iterations, 10);
    EXPECT_EQ(countOf(asked.out, ITERATIONS_PROMPT + "The number of iterations must be from 0 to 2147483647.\n"), 2);
    EXPECT_EQ(countOf(asked.out, ITERATIONS_PROMPT), 3);
}

TEST(Dialogue, OutOfRangeSubdivisionsAreRefusedAndAskedAgain)
{
    const Asked asked = ask("-1\n13\n99999999999999999999\n3\n10\nn\n", 12);
    ASSERT_TRUE(asked.answers);
    EXPECT_EQ(asked.answers->subdivisions, 3);
    EXPECT_EQ(asked.answers->iterations, 10);
    EXPECT_EQ(countOf(asked.out, "The number of subdivisions must be from 0 to 12 on this machine.\n"), 3);
    EXPECT_EQ(countOf(asked.out, SUBDIVISIONS_PROMPT), 4);

    EXPECT_FALSE(ask("9\n", 8).answers) << "end of input after a refusal still ends the dialogue";
}

TEST(Dialogue, AnAnswerOnALineLongerThan4096BytesIsRefusedAndAskedAgain)
{
    using std::string;
    const std::tuple<string, Answers, int> cases[] = { // input, answers, lines refused
        {string(4097, 'x') + "\n3\n10\nn\n", {3, 10, 'n'}, 1},
        {string(1 << 20, 'x') + "\n3\n10\nn\n", {3, 10, 'n'}, 1},
        {string(4095, ' ') + "3\n10\nn\n", {3, 10, 'n'}, 0}, // 4096 bytes with the answer
        {string(4096, ' ') + "3\n7\n10\nn\n", {7, 10, 'n'}, 1},
        {"abc " + string(5000, 'z') + "\n5\n10\nn\n", {5, 10, 'n'}, 1}, // an unreadable answer's line
        {"3\n" + string(5000, '9') + "\n10\nn\n", {3, 10, 'n'}, 1},
        {"3 10 " + string(5000, 'y') + "\nn\n", {3, 10, 'n'}, 1}, // the earlier answers' line counts
        {string(10000, '\0') + "\n3\n10\nn\n", {3, 10, 'n'}, 2}, // each 4096 NULs in a row count as one
    };
    for (const auto& [input, want, refused] : cases) {
        const Asked asked = ask(input);
        ASSERT_TRUE(asked.answers) << input.substr(0, 8);
        EXPECT_EQ(std::tuple(asked.answers->subdivisions, asked.answers->iterations, asked.answers->render),
                  std::tuple(want.subdivisions, want.iterations, want.render)) << input.substr(0, 8);
        EXPECT_EQ(countOf(asked.out, "That line is longer than 4096 bytes; it is skipped.\n"), refused);
    }
}

// Endless NUL bytes after head, as /dev/zero gives; counts the bytes taken.
struct Zeros : std::streambuf {
    explicit Zeros(std::string text) : head(std::move(text))
    {
        setg(head.data(), head.data(), head.data() + head.size());
    }
    int_type underflow() override
    {
        taken += sizeof zeros;
        setg(zeros, zeros, zeros + sizeof zeros);
        return 0;
    }
    std::string head;
    char zeros[4096] = {};
    long long taken = 0;
};

// /dev/zero has no line end: read for ever, it would hold the program.
TEST(Dialogue, EndlessNulBytesOrEightLongLinesInARowEndTheInput)
{
    const std::string ended = "Too many lines longer than 4096 bytes; the input is taken as ended.\n";
    for (const char* head : {"", "3\n10\n", "abc "}) {
        Zeros zeros(head);
        std::istream in(&zeros);
        std::ostringstream out;
        EXPECT_FALSE(askQuestions(in, out, 12)) << head;
        EXPECT_LT(zeros.taken, 100000) << head;
        EXPECT_TRUE(out.str().ends_with(ended)) << head;
    }
    std::string eight;
    for (int i = 0; i < 8; ++i)
        eight += std::string(5000, 'x') + "\n";
    EXPECT_TRUE(ask(eight + "3\n10\nn\n").out.ends_with(ended));
    EXPECT_TRUE(ask(eight.substr(5001) + "3\n10\nn\n").answers) << "seven are refused and asked again";
}

TEST(Dialogue, MemoryBoundsTheSubdivisionCount)
{
    EXPECT_EQ(maxSubdivisions(0), -1);
    EXPECT_EQ(maxSubdivisions(planetBytes(0)), 0);
    EXPECT_EQ(maxSubdivisions(planetBytes(7) - 1), 6);
    EXPECT_EQ(maxSubdivisions(24ull << 30), 11);
    EXPECT_EQ(maxSubdivisions(~0ull), 12) << "13 overflows the vertex count";
    EXPECT_EQ(planetBytes(13), 0u);
    EXPECT_GT(availableMemoryBytes(), 0u);
}

class ConsoleCycle : public testing::Test {
protected:
    ScopedTempDir dir;

    CycleResult cycle(const std::string& input, bool windowOpens = true)
    {
        std::istringstream in(input);
        std::ostringstream out;
        testing::internal::CaptureStdout();
        const CycleResult result = runConsoleCycle(in, out, [&] {
            ++windowStages;
            planetSeen = currentPlanet != nullptr;
            currentPlanet.reset();
            return windowOpens;
        });
        console = testing::internal::GetCapturedStdout();
        transcript = out.str();
        return result;
    }

    int windowStages = 0;
    bool planetSeen = false;
    std::string console;
    std::string transcript;
};

TEST_F(ConsoleCycle, BatchCycleLogsItsTwoRecordsAndComesBack)
{
    EXPECT_EQ(cycle("4\n5000\nn\n"), CycleResult::Continue);
    EXPECT_EQ(windowStages, 1);
    EXPECT_TRUE(planetSeen);
    const auto lines = readLines("Orbivane.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Generating planet with 10240 triangles and 5000 iterations..."), std::string::npos);
    EXPECT_EQ(lines[0].rfind("INFO    src/Orbivane.cpp : ", 0), 0u);
    EXPECT_NE(lines[1].find(": Planet generation done in "), std::string::npos);
    EXPECT_NE(lines[1].find(" seconds, opening OpenGL window and initializing OpenGL..."), std::string::npos);
    EXPECT_EQ(transcript.substr(transcript.size() - 8), "\n\n\n\n\n\n\n\n") << "four line ends after the window";
    EXPECT_NE(console.find("Generating planet with 10240 triangles"), std::string::npos);
}

TEST_F(ConsoleCycle, LiveCycleLogsTheWindowOpeningOnly)
{
    EXPECT_EQ(cycle("2\n10\ny\n"), CycleResult::Continue);
    const auto lines = readLines("Orbivane.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Generating planet with 640 triangles and 10 iterations..."), std::string::npos);
    EXPECT_EQ(lines[1].substr(lines[1].find(": ", 30) + 2), "Opening OpenGL window and initializing OpenGL...");
}

TEST_F(ConsoleCycle, EndOfInputStopsBeforeAnyPlanet)
{
    for (const char* input : {"", "2\n", "2\n10\n"}) {
        EXPECT_EQ(cycle(input), CycleResult::Stop) << input;
        EXPECT_EQ(windowStages, 0);
        EXPECT_TRUE(readLines("Orbivane.log").empty());
    }
}

TEST_F(ConsoleCycle, AThreadThatCannotStartIsReportedAndTheNextCycleRuns)
{
    // input, the start the system refuses: the tree's second or first worker,
    // the second pass's second worker, the live thread.
    const std::pair<const char*, int> cases[] = {
        {"4\n100\nn\n", 2}, {"4\n100\nn\n", 1}, {"3\n20000\nn\n", 4}, {"2\n10\ny\n", 1}};
    for (const auto& [input, failAt] : cases) {
        int starts = 0;
        setThreadStarter([&starts, failAt](std::function<void()> body) {
            if (++starts == failAt)
                throw std::system_error(EAGAIN, std::generic_category());
            return std::thread(std::move(body));
        });
        EXPECT_EQ(cycle(input), CycleResult::Continue);
        setThreadStarter(nullptr);
        EXPECT_EQ(starts, failAt) << "nothing started after the failure";
        EXPECT_EQ(windowStages, 0) << "no half-made planet";
        EXPECT_NE(console.find("Could not start the generation: Resource temporarily unavailable\n"), std::string::npos);
        EXPECT_EQ(console.find("100%"), std::string::npos) << console;
        EXPECT_EQ(cycle(input), CycleResult::Continue);
        EXPECT_EQ(std::exchange(windowStages, 0), 1) << "the next cycle makes its planet";
    }
}

TEST_F(ConsoleCycle, NoWindowStopsTheProgram)
{
    EXPECT_EQ(cycle("1\n1\nn\n", false), CycleResult::Stop);
    EXPECT_EQ(windowStages, 1);
    EXPECT_EQ(transcript.find("\n\n\n\n\n\n\n\n"), std::string::npos);
}

} // namespace
