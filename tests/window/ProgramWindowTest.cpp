// The real program in its real window, on the X server named by DISPLAY.
#include "TestSupport.h"
#include "XSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string FIRST_QUESTION = "Enter number of subdivisions on the icosahedron (4 is a reasonable choice): ";

int countOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ProgramWindow : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (DISPLAY)";
        fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    }

    // Presses a real Esc key in the focused window until the cycle has ended,
    // that is until the first question has been asked `questions` times.
    // A press can be lost while a fresh window is still being mapped.
    static bool escapeUntilAsked(BackgroundProgram& program, int questions)
    {
        for (int press = 0; press < 5; ++press) {
            runCommand("xdotool search --sync --onlyvisible --name '^Orbivane$' windowfocus --sync key Escape");
            for (int wait = 0; wait < 40; ++wait) {
                if (countOf(program.out(), FIRST_QUESTION) >= questions)
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        return false;
    }

    ScopedTempDir dir;
};

int countPlanetPixels(const Image& image)
{
    int count = 0;
    for (size_t i = 0; i + 2 < image.rgb.size(); i += 3)
        if (image.rgb[i] > 2 || std::abs(image.rgb[i + 1] - 26) > 2 || std::abs(image.rgb[i + 2] - 38) > 2)
            ++count;
    return count;
}

TEST_F(ProgramWindow, ShowsThePlanetAndEscBringsTheQuestionBack)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "5\n3000\nn\n");
    const unsigned long window = xsupport::waitForWindow("Orbivane", 60);
    ASSERT_NE(window, 0u) << program.out();
    int width = 0, height = 0;
    ASSERT_TRUE(xsupport::windowSize(window, width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

    // The first frames may take a moment on a software renderer.
    Image shot;
    for (int attempt = 0; attempt < 100; ++attempt) {
        ASSERT_TRUE(xsupport::grabWindow(window, shot));
        if (countPlanetPixels(shot) > 150000 && countPlanetPixels(shot) < 260000)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The disc of radius ~256 pixels covers about 200 000 of the 480 000 pixels.
    EXPECT_GT(countPlanetPixels(shot), 150000);
    EXPECT_LT(countPlanetPixels(shot), 260000);

    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string out = program.out();
    EXPECT_NE(out.find("GLSL Info: \n\n\n\n\n" + FIRST_QUESTION), std::string::npos) << out;
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find(": Compiling shaders:\n"), std::string::npos);
    EXPECT_NE(log.find(": Shader (res/land.vert, res/land.frag):, GLSL Info: \n"), std::string::npos);
    EXPECT_NE(log.find(": Shader (res/water.vert, res/water.frag):, GLSL Info: \n"), std::string::npos);
}

TEST_F(ProgramWindow, CloseButtonDuringLiveGenerationReturnsAtOnce)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "6\n1000000\ny\n");
    const unsigned long window = xsupport::waitForWindow("Orbivane", 60);
    ASSERT_NE(window, 0u) << program.out();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(xsupport::requestClose(window));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string out = program.out();
    EXPECT_NE(out.find("Opening OpenGL window and initializing OpenGL..."), std::string::npos);
    EXPECT_EQ(out.find("100%"), std::string::npos) << "the generation was stopped, not finished";
    EXPECT_EQ(out.substr(out.size() - FIRST_QUESTION.size()), FIRST_QUESTION);
}

TEST_F(ProgramWindow, TwoCyclesInARow)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "3\n100\nn\n2\n100\nn\n");
    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_NE(xsupport::waitForWindow("Orbivane", 60), 0u) << "cycle " << cycle;
        ASSERT_TRUE(escapeUntilAsked(program, cycle + 1));
    }
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_EQ(readLines("Orbivane.log").size(), 10u);
}

} // namespace
