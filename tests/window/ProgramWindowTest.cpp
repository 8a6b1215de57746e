// The real program in its real window, on the X server named by DISPLAY.
#include "ProgramDriver.h"
#include "TerrainColours.h"
#include "TestSupport.h"
#include "XSupport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <thread>
#include <gtest/gtest.h>
#include <tuple>

namespace fs = std::filesystem;

namespace {

using namespace driver;

// Sanitizer options whose suppressions file is copied into the working
// directory, for a program run as another user.
std::string withLocalSuppressions(std::string options, const std::string& name)
{
    const std::string key = "suppressions=";
    const auto at = options.find(key);
    if (at == std::string::npos)
        return options;
    const auto start = at + key.size();
    const auto end = options.find(':', start);
    const std::string original = options.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::string copy = fs::absolute(name + ".supp").string();
    fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
    return options.replace(start, original.size(), copy);
}

using ProgramWindow = WindowedProgram;

TEST_F(ProgramWindow, ShowsThePlanetAndEscBringsTheQuestionBack)
{
    BackgroundProgram program({ORBIVANE_BINARY}, "5\n3000\nn\n");
    // The disc of radius ~256 pixels covers about 200 000 of the 480 000 pixels.
    Image shot;
    const unsigned long window = waitForPlanet(shot);
    ASSERT_NE(window, 0u) << program.out();
    int width = 0, height = 0;
    ASSERT_TRUE(xsupport::windowSize(window, width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

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
    xsupport::FrameWatch watch(window);
    Image frame;
    for (int frames = 0; frames < 3; ++frames)
        ASSERT_TRUE(watch.next(frame)) << "the land rises in the window";
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

TEST_F(ProgramWindow, KeysSaveTheFrameAndThePlanet)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "5"}, "4\n2000\nn\n");
    Image shown;
    const unsigned long window = waitForPlanet(shown);
    ASSERT_NE(window, 0u) << program.out();
    // Paused, every frame is the same: the one saved is the one shown,
    // drawn smooth (the window on Xvfb has no multisampling).
    xsupport::FrameWatch watch(window);
    press("space");
    ASSERT_TRUE(watch.settled(shown));
    ASSERT_TRUE(pressUntilFile("p", "Orbivane-5-1.png"));
    ASSERT_TRUE(pressUntilFile("p", "Orbivane-5-2.png")) << "a second screenshot does not overwrite the first";
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-5-1.ply"));
    ASSERT_TRUE(pressUntilFile("m", "Orbivane-5-1-height.png"));
    ASSERT_TRUE(pressUntilFile("c", "Orbivane-5-1-nz-colour.png"));
    Image map;
    ASSERT_TRUE(readPng("Orbivane-5-1-map.png", map));
    EXPECT_EQ(map.width, 2048);
    EXPECT_EQ(map.height, 1024);

    Image saved;
    ASSERT_TRUE(readPng("Orbivane-5-2.png", saved));
    ASSERT_EQ(saved.width, 800);
    ASSERT_EQ(saved.height, 600);
    ASSERT_EQ(saved.rgb.size(), shown.rgb.size());
    int differing = 0;
    for (size_t i = 0; i < saved.rgb.size(); i += 3) {
        int largest = 0;
        for (int c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(saved.rgb[i + c] - shown.rgb[i + c]));
        differing += largest > 48;
    }
    // Only the jagged edges differ much, the limb (about 1600 pixels) first.
    EXPECT_GT(differing, 100);
    EXPECT_LT(differing, 3200);
    EXPECT_GT(countPlanetPixels(saved), 150000);

    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("Screenshot saved to Orbivane-5-1.png"), std::string::npos);
    EXPECT_NE(log.find("Screenshot saved to Orbivane-5-2.png"), std::string::npos);
    EXPECT_NE(log.find("Planet (seed 5) exported to Orbivane-5-1.ply"), std::string::npos);
    EXPECT_EQ(readFile("Orbivane-5-1.ply").rfind("ply\n", 0), 0u);
    EXPECT_NE(log.find("Planet (seed 5): map saved to Orbivane-5-1-map.png"), std::string::npos);
    EXPECT_NE(log.find("Planet (seed 5): height map saved to Orbivane-5-1-height.png"), std::string::npos);
    for (const char* sidecar : {"Orbivane-5-1-map.pgw", "Orbivane-5-1-map.png.aux.xml", "Orbivane-5-1-height.pgw",
                                "Orbivane-5-1-height.png.aux.xml"})
        EXPECT_TRUE(fs::exists(sidecar)) << sidecar;
    EXPECT_NE(log.find("Planet (seed 5): cube faces saved to Orbivane-5-1-{px,nx,py,ny,pz,nz}{,-colour,-normal}.png"),
              std::string::npos);

    // The screenshot's settings record makes the land E exported (a run of its own log, last).
    const CommandResult again = runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                                           " --no-window --export again.ply --like Orbivane-5-1.png");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(readPlyFile("again.ply").xyz == readPlyFile("Orbivane-5-1.ply").xyz);
}

TEST_F(ProgramWindow, KeysPressedWithEscapeAreServedBeforeTheWindowCloses)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "6"}, "4\n1000\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    // No delay between the keys: the three reach the program in one poll.
    EXPECT_TRUE(pressUntil("--delay 0 p e Escape", [&] { return !program.running(); }));
    EXPECT_EQ(program.waitForExit(30), 0) << "Esc closed the window and input ended";
    Image saved;
    ASSERT_TRUE(readPng("Orbivane-6-1.png", saved)) << program.out();
    EXPECT_GT(countPlanetPixels(saved), 150000) << "the saved frame shows the planet";
    EXPECT_NE(program.out().find("Planet (seed 6) exported to "), std::string::npos) << program.out();
}

TEST_F(ProgramWindow, UnwritableWorkingDirectoryIsReportedAndTheProgramGoesOn)
{
    // Root may write anywhere, so the program runs as nobody in a folder it
    // cannot write to.
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    // Everything the program reads is copied where nobody may read it: the
    // clone it was built in may sit in a folder only root can enter.
    const std::string binary = dir.path() + "/orbivane";
    fs::copy_file(ORBIVANE_BINARY, binary);
    fs::remove("res");
    fs::copy(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
    std::vector<std::string> environment;
    for (const std::string name : {"TSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* options = std::getenv(name.c_str()))
            environment.push_back(name + "=" + withLocalSuppressions(options, name));
    BackgroundProgram program({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", binary,
                               "--seed", "9"},
                              "3\n500\nn\n", environment);
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out() << program.err();
    for (const auto& [key, reported] : {std::pair{"p", "Could not save the screenshot"}, {"e", "Could not export"},
                                        {"m", "Could not save the height map"}})
        EXPECT_TRUE(pressUntil(key, [&] { return program.out().find(reported) != std::string::npos; })) << key;
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string out = program.out();
    EXPECT_NE(out.find("Could not save the screenshot Orbivane-9-1.png: Permission denied"), std::string::npos) << out;
    const auto exportError = out.find("Could not export the planet to Orbivane-9-1.ply: ");
    ASSERT_NE(exportError, std::string::npos) << out;
    EXPECT_NE(out.find("Permission denied", exportError), std::string::npos) << out;
    EXPECT_NE(out.find("Could not save the map Orbivane-9-1-map.png: Permission denied"), std::string::npos) << out;
    EXPECT_NE(out.find("Could not save the height map Orbivane-9-1-height.png: Permission denied"), std::string::npos)
        << out;
    EXPECT_NE(program.err().find("Cannot write Orbivane.log (Permission denied)"), std::string::npos);
    EXPECT_FALSE(fs::exists("Orbivane.log"));
}

TEST_F(ProgramWindow, InstalledProgramFindsItsShadersFromAnyDirectory)
{
    const std::string prefix = dir.path() + "/prefix";
    const CommandResult install =
        runCommand("cmake --install " + shellQuote(ORBIVANE_BUILD_DIR) + " --prefix " + shellQuote(prefix));
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    ASSERT_TRUE(fs::exists(prefix + "/bin/orbivane"));
    ASSERT_TRUE(fs::exists(prefix + "/share/orbivane/res/land.frag"));
    fs::create_directory("elsewhere");
    fs::current_path("elsewhere");

    BackgroundProgram program({prefix + "/bin/orbivane"}, "2\n100\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(log.find("could not be read"), std::string::npos) << log;
    EXPECT_NE(log.find("Shader (" + prefix + "/share/orbivane/res/land.vert, "), std::string::npos) << log;
}

} // namespace

// A build-tree program started from a folder without res/ finds the copy the
// build keeps beside it and draws the land in colour, not a grey disc.
TEST(ProgramElsewhere, FindsTheShadersBesideTheProgram)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (DISPLAY)";
    ScopedTempDir dir;
    releaseKeys();
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "3"}, "5\n5000\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    int coloured = 0; // pixels whose channels differ clearly: land and sea, not grey
    for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
        const int r = shot.rgb[i], g = shot.rgb[i + 1], b = shot.rgb[i + 2];
        coloured += std::max({r, g, b}) - std::min({r, g, b}) > 40;
    }
    EXPECT_GT(coloured, 50000);
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(log.find("could not be read"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    EXPECT_EQ(program.err().find("cannot find"), std::string::npos) << program.err();
    releaseKeys();
}

namespace {

using namespace driver;

// The pointer to (x, y) in the window, then `then`, as real events: the
// server keeps their order, so a press comes after the move.
void pointAt(int x, int y, const std::string& then = "true")
{
    runCommand("xdotool search --sync --onlyvisible --name '^Orbivane$' mousemove --window %1 " +
               std::to_string(x) + " " + std::to_string(y) + " && " + then);
}

// Half the disc's width along the middle row, in pixels.
double discRadius(const Image& shot)
{
    const auto row = shot.rgb.begin() + shot.height / 2 * shot.width * 3;
    std::vector<int> planet;
    for (int x = 0; x < shot.width; ++x)
        if (countPlanetPixels(Image{1, 1, {row + x * 3, row + x * 3 + 3}}))
            planet.push_back(x);
    return planet.empty() ? 0 : (planet.back() - planet.front()) / 2.0;
}

// The correlation, -1 to 1, of the 31 x 31 squares about (ax, ay) in a and
// (bx, by) in b: alike whatever the light.
double likeness(const Image& a, int ax, int ay, const Image& b, int bx, int by)
{
    double su = 0, sv = 0, uv = 0, uu = 0, vv = 0, n = 31 * 31 * 3;
    for (int dy = -15; dy <= 15; ++dy)
        for (int i = -45; i < 48; ++i) {
            const double u = a.rgb[((ay + dy) * a.width + ax) * 3 + i], v = b.rgb[((by + dy) * b.width + bx) * 3 + i];
            su += u, sv += v, uv += u * v, uu += u * u, vv += v * v;
        }
    return (uv - su * sv / n) / std::sqrt((uu - su * su / n) * (vv - sv * sv / n) + 1e-9);
}

// The button is let go after each test, as the keys are.
class HeldWindow : public ProgramWindow {
protected:
    void TearDown() override
    {
        runCommand("xdotool mouseup 1");
        ProgramWindow::TearDown();
    }
};

// The planet is paused and turned back to its starting angles, so that the
// land under the pointer is the same in every run, however loaded the machine.
// Each picture judged is the settled one that shows the last event sent.
TEST_F(HeldWindow, DragTurnsThePlanetUnderThePointer)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "3"}, "5\n5000\nn\n");
    Image paused, grabbed, moved, dragged;
    const unsigned long window = waitForPlanet(paused);
    ASSERT_NE(window, 0u) << program.out();
    xsupport::FrameWatch watch(window);
    // Facets give the land a fine pattern that the light, which stays with
    // the camera, does not move; the smooth land's broad shading would.
    press("f");
    press("space");
    ASSERT_TRUE(watch.settled(paused)) << "paused";
    press("Home");
    ASSERT_TRUE(watch.settled(grabbed, &paused)) << "at the starting angles";
    // Held, the planet stands still even when the turning resumes.
    pointAt(330, 300, "xdotool mouseup 1 mousedown 1");
    press("space");
    pointAt(400, 310);
    ASSERT_TRUE(watch.settled(moved, &grabbed)) << "the first move turned the planet and it stands still";
    pointAt(470, 300);
    ASSERT_TRUE(watch.settled(dragged, &moved)) << "the second move turned the planet and it stands still";
    // The land grabbed is found within two pixels of the pointer.
    double best = -1;
    int bestX = 0, bestY = 0;
    for (int y = 290; y <= 310; ++y)
        for (int x = 460; x <= 480; ++x)
            if (const double alike = likeness(grabbed, 330, 300, dragged, x, y); alike > best)
                std::tie(best, bestX, bestY) = std::tuple(alike, x, y);
    EXPECT_NEAR(bestX, 470, 2);
    EXPECT_NEAR(bestY, 300, 2);
    EXPECT_GT(best, 0.8);
    EXPECT_LT(likeness(grabbed, 330, 300, dragged, 330, 300), best - 0.3) << "the land has moved away";
    runCommand("xdotool mouseup 1");
    EXPECT_TRUE(watch.changing()) << "let go, the planet turns on";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
}

// A large planet held by a drag is drawn at a coarser level over the same
// vertices, and whole again once let go. Paused, and held without a move,
// the planet stands still, so any frame unlike the whole one shown once
// paused was drawn after the press, at another level; and the frame that
// matches it again was drawn after the release. P saves its own smooth
// drawing, compared with P's.
TEST_F(HeldWindow, HeldLargePlanetIsDrawnCoarserUntilLetGo)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2"}, "8\n2000\nn\n");
    Image whole, saved, again, held;
    const unsigned long window = waitForPlanet(whole);
    ASSERT_NE(window, 0u) << program.out();
    const std::string savedTo = "Screenshot saved to ";
    const auto save = [&](Image& frame) { // the frame drawn after the keys before it
        const int before = countOf(program.out(), savedTo);
        if (!pressUntil("p", [&] { return countOf(program.out(), savedTo) > before; }))
            return false;
        const std::string out = program.out();
        const auto name = out.rfind(savedTo) + savedTo.size();
        return readPng(out.substr(name, out.find('\n', name) - name), frame);
    };
    bool paused = false; // two frames saved after Space are alike only when paused; again if the key was lost
    for (int attempt = 0; attempt < 3 && !paused; ++attempt) {
        press("space");
        paused = save(saved) && save(again) && saved.rgb == again.rgb;
    }
    ASSERT_TRUE(paused) << program.out();
    xsupport::FrameWatch watch(window);
    ASSERT_TRUE(watch.settled(whole)) << "paused, the whole planet";
    pointAt(400, 300, "xdotool mouseup 1 mousedown 1");
    ASSERT_TRUE(watch.settled(held, &whole)) << "held, another level";
    int unlike = 0; // pixels far from the whole frame's: the same land, drawn coarser
    for (size_t i = 0; i < held.rgb.size(); i += 3)
        unlike += std::max({std::abs(held.rgb[i] - whole.rgb[i]), std::abs(held.rgb[i + 1] - whole.rgb[i + 1]),
                            std::abs(held.rgb[i + 2] - whole.rgb[i + 2])}) > 64;
    EXPECT_LT(unlike, 800 * 600 / 40);
    EXPECT_TRUE(save(again) && again.rgb == saved.rgb) << "a frame saved while held is drawn whole";
    runCommand("xdotool mouseup 1");
    const Image coarse = held;
    EXPECT_TRUE(watch.settled(held, &coarse) && held.rgb == whole.rgb) << "let go, the whole planet again";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
}

// A large planet turning on its own is drawn at levels of its own
// (TurningDetailTest: at 7 subdivisions and the starting view, its sea 4
// levels coarser); with no option, the log is the fixed one and says
// nothing of them.
TEST_F(HeldWindow, TurningLargePlanetLogsNothingOfTheLevelsItIsDrawnAt)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2"}, "7\n2000\nn\n");
    Image shot;
    const unsigned long window = waitForPlanet(shot);
    ASSERT_NE(window, 0u) << program.out();
    xsupport::FrameWatch watch(window);
    ASSERT_TRUE(watch.changing()) << "turning, drawn at its turning levels";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_EQ(countOf(program.out(), "While it turns"), 0) << program.out();
    EXPECT_EQ(countOf(readFile("Orbivane.log"), "While it turns"), 0);
}

// Space pauses, the wheel moves the camera, Home brings it back, Space
// resumes. One event at a time, each judged on the settled picture after it.
TEST_F(HeldWindow, SpaceWheelAndHome)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "4"}, "4\n2000\nn\n");
    Image shot, before;
    const unsigned long window = waitForPlanet(shot);
    ASSERT_NE(window, 0u) << program.out();
    const double start = discRadius(shot);
    xsupport::FrameWatch watch(window);
    press("space");
    ASSERT_TRUE(watch.settled(shot)) << "paused: two frames in a row are the same";
    // Each notch changes the picture; its settled picture shows it.
    const auto turnWheel = [&](const char* button, int notches) {
        for (int notch = 0; notch < notches; ++notch) {
            before = shot;
            pointAt(400, 300, std::string("xdotool click ") + button);
            if (!watch.settled(shot, &before))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(turnWheel("5", 4));
    EXPECT_LT(discRadius(shot), start - 60) << "farther, the disc shrinks from " << start;
    before = shot;
    press("Home");
    ASSERT_TRUE(watch.settled(shot, &before));
    EXPECT_NEAR(discRadius(shot), start, 15) << "mountains aside, as at the start";
    ASSERT_TRUE(turnWheel("4", 2));
    EXPECT_GT(discRadius(shot), start + 40) << "nearer, it grows";
    press("space");
    EXPECT_TRUE(watch.changing()) << "turning again";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
}

// N makes the planet of the next seed of the first one's sequence, in the view the user left.
TEST_F(HeldWindow, NShowsTheNextSeedsPlanetInTheSameView)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "8"}, "4\n2000\nn\n");
    Image shot;
    const unsigned long window = waitForPlanet(shot);
    ASSERT_NE(window, 0u) << program.out();
    const double start = discRadius(shot);
    const auto radius = [&] { return xsupport::grabWindow(window, shot) ? discRadius(shot) : 0.0; };
    for (int attempt = 0; attempt < 3 && radius() > start - 60; ++attempt) {
        pointAt(400, 300, "xdotool click --repeat 4 --delay 50 5");
        for (int wait = 0; wait < 20 && radius() > start - 60; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const double zoomed = radius();
    ASSERT_LT(zoomed, start - 60);

    const std::string seed = std::to_string(std::mt19937(8)());
    ASSERT_TRUE(pressUntil("n", [&] { return countOf(program.out(), "New planet: seed " + seed + "\n") > 0; }))
        << program.out();
    // E names the planet it saves by its seed: once the new seed's file is
    // there, the frames show the new planet.
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-" + seed + "-1.ply"));
    EXPECT_NEAR(radius(), zoomed, 15) << "the view is kept";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_EQ(countOf(readFile("Orbivane.log"), "New planet: seed "), 1);

    const CommandResult batch = runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " --seed " + seed +
                                           " --export batch.ply", "4\n2000\nn\n");
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(readFile("Orbivane-" + seed + "-1.ply"), readFile("batch.ply"));
}

// N's planets count for the exit status as the questions' do: a file of any
// planet of the run that was not written (here a folder stands in its way)
// ends the run with status 1, and only then.
TEST_F(ProgramWindow, PlanetsMadeByNCountForTheExitStatus)
{
    for (const auto& [blocked, status] : {std::pair{"", 0}, {"x.ply", 1}, {"x-2.ply", 1}}) {
        const std::string folder = std::string("case-") + blocked;
        fs::create_directory(folder);
        if (*blocked)
            fs::create_directory(folder + "/" + blocked);
        BackgroundProgram program({ORBIVANE_BINARY, "--seed", "8", "--export", folder + "/x.ply"}, "3\n100\nn\n");
        Image shot;
        ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
        ASSERT_TRUE(pressUntil("n", [&] { return countOf(program.out(), folder + "/x-2.ply") > 0; })) << program.out();
        ASSERT_TRUE(escapeUntilAsked(program, 2));
        EXPECT_EQ(program.waitForExit(30), status) << blocked << "\n" << program.out();
    }
}

// Keys pressed while N's planet is made save the planet on the screen, at
// once; Esc pressed with E closes the window without waiting to save N's
// planet. Each generation takes seconds (a million planes), the keys
// milliseconds; at 5 subdivisions the saves are small. Every wait ends on
// what the program has done, however long it took.
TEST_F(ProgramWindow, KeysPressedWhileNsPlanetIsMadeSaveThePlanetShown)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "8"}, "5\n1000000\nn\n");
    const unsigned long window = waitForWindowOf(program);
    ASSERT_NE(window, 0u) << program.out();
    xsupport::FrameWatch watch(window);
    Image shot;
    ASSERT_TRUE(watch.next(shot) && watch.next(shot)) << "drawing";
    std::mt19937 seeds(8);
    const std::string next = std::to_string(seeds()), after = std::to_string(seeds());
    const auto logged = [&](const std::string& part) { return countOf(program.out(), part) > 0; };
    press("n");
    ASSERT_TRUE(waitUntilSettled(program, [&] { return logged("New planet: seed " + next + "\n"); })) << program.out();
    press("--delay 0 e m c p");
    const char* const saved[] = {"Planet (seed 8) exported to Orbivane-8-1.ply\n",
                                 "Planet (seed 8): height map saved to Orbivane-8-1-height.png\n",
                                 "Planet (seed 8): cube faces saved to Orbivane-8-1-{", "Screenshot saved to Orbivane-8-1.png\n"};
    const auto allSaved = [&] { return std::all_of(std::begin(saved), std::end(saved), logged); };
    // Settled too once a save failed or went to N's planet instead.
    const auto settled = [&] { return allSaved() || logged("Could not") || logged("Orbivane-" + next + "-1"); };
    ASSERT_TRUE(waitUntilSettled(program, settled)) << program.out();
    for (const char* file : saved)
        EXPECT_EQ(countOf(program.out(), file), 1) << file << program.out();
    EXPECT_TRUE(readPng("Orbivane-8-1.png", shot) && countPlanetPixels(shot) > 150000) << "the frame shows the planet";

    // Once N's planet is shown, E saves it; then Esc with E during the next N.
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-" + next + "-1.ply")) << program.out();
    press("n");
    ASSERT_TRUE(waitUntilSettled(program, [&] { return logged("New planet: seed " + after + "\n"); })) << program.out();
    press("--delay 0 e Escape");
    EXPECT_TRUE(waitUntilSettled(program, [&] { return countOf(program.out(), FIRST_QUESTION) >= 2; })) << program.out();
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_TRUE(fs::exists("Orbivane-" + next + "-2.ply") && !fs::exists("Orbivane-" + after + "-1.ply")) << program.out();
}

// Esc pressed while N's planet is being worn by a long erosion (seconds at
// 6 subdivisions, the key milliseconds) brings the question back without
// waiting for it: the dropped planet's erosion is cut short, so it never
// ends to be logged; only the first planet's is. Decided by what the
// program logged once it has ended, the clock only guarding against a hang.
TEST_F(ProgramWindow, EscWhileNsPlanetErodesDropsItsErosion)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "8", "--erosion", "1000"}, "6\n2000\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot, HANG_GUARD_SECONDS), 0u) << program.out();
    const std::string next = std::to_string(std::mt19937(8)());
    ASSERT_TRUE(pressUntil("n", [&] { return countOf(program.out(), "New planet: seed " + next + "\n") > 0; }))
        << program.out();
    ASSERT_TRUE(escapeUntilAsked(program, 2)) << program.out();
    EXPECT_EQ(program.waitForExit(HANG_GUARD_SECONDS), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(countOf(log, "Land worn by erosion 1000 steps"), 1) << log;
}

// V cycles the views, each logged as it is shown: paused, each settled
// picture differs from the one before, and the fourth press brings back the
// first picture.
TEST_F(ProgramWindow, VCyclesTheViews)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "3"}, "4\n2000\nn\n");
    Image shot;
    const unsigned long window = waitForPlanet(shot);
    ASSERT_NE(window, 0u) << program.out();
    xsupport::FrameWatch watch(window);
    press("space");
    Image pictures[5];
    ASSERT_TRUE(watch.settled(pictures[0])) << "paused";
    const char* const views[] = {"heights", "temperature", "rain", "biomes"};
    for (int k = 0; k < 4; ++k) {
        const std::string logged = std::string("View: ") + views[k] + "\n";
        ASSERT_TRUE(pressUntil("v", [&] { return countOf(program.out(), logged) > 0; })) << program.out();
        ASSERT_TRUE(watch.settled(pictures[k + 1], &pictures[k])) << views[k] << " changes the picture";
    }
    EXPECT_TRUE(pictures[4].rgb == pictures[0].rgb) << "biomes again";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_EQ(countOf(readFile("Orbivane.log"), ": View: "), 4);
}

// Lit by day away from the limb, a river pixel keeps its colour's
// proportions (TERRAIN.freshWater: red to green 0.38, green to blue 0.64), which
// neither the land nor the water has.
bool riverColoured(const unsigned char* p)
{
    const double r = p[0], g = p[1], b = p[2];
    return b > 60 && std::abs(g / b - TERRAIN.freshWater[1] / TERRAIN.freshWater[2]) < 0.04 &&
           std::abs(r / g - TERRAIN.freshWater[0] / TERRAIN.freshWater[1]) < 0.05;
}

// W hides the rivers and lakes and shows them again, each logged; paused, the
// settled frame changes and comes back. The pixels W changes are in the
// rivers' colour with them shown, and all but a stray few are not without them.
TEST_F(ProgramWindow, WHidesAndShowsTheRivers)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "2", "--view", "heights"}, "6\n5000\nn\n");
    Image shown, hidden, again;
    const unsigned long window = waitForPlanet(shown);
    ASSERT_NE(window, 0u) << program.out();
    xsupport::FrameWatch watch(window);
    press("space");
    ASSERT_TRUE(watch.settled(shown)) << "paused";
    ASSERT_TRUE(pressUntil("w", [&] { return countOf(program.out(), "Rivers: hidden\n") > 0; }));
    ASSERT_TRUE(watch.settled(hidden, &shown));
    ASSERT_TRUE(pressUntil("w", [&] { return countOf(program.out(), "Rivers: shown\n") > 0; }));
    ASSERT_TRUE(watch.settled(again, &hidden));
    EXPECT_TRUE(again.rgb == shown.rgb) << "the same frame as before W";
    int riverWithW = 0, riverWithout = 0;
    for (std::size_t i = 0; i < shown.rgb.size(); i += 3)
        if (!std::equal(&shown.rgb[i], &shown.rgb[i] + 3, &hidden.rgb[i])) {
            riverWithW += riverColoured(&shown.rgb[i]);
            riverWithout += riverColoured(&hidden.rgb[i]);
        }
    // A shore pixel of the sea or a lake can happen to share the rivers'
    // proportions; the rivers' own are many times more.
    EXPECT_GT(riverWithW, 200);
    EXPECT_LT(riverWithout * 50, riverWithW) << riverWithout << " without them";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    EXPECT_EQ(countOf(log, "Rivers: hidden\n"), 1) << log;
    EXPECT_EQ(countOf(log, "Rivers: shown\n"), 1) << log;
}

// N during a live generation: the old one stops where it is, the new one
// rises live while the old one's smooth shading may still be under way.
TEST_F(ProgramWindow, NDuringALiveGenerationShowsTheNextPlanetRising)
{
    // Paced over an hour, each planet is still rising when E is served.
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "8", "--live-seconds", "3600"}, "5\n1000000\ny\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    ASSERT_TRUE(pressUntil("n", [&] { return countOf(program.out(), "New planet: seed ") > 0; })) << program.out();
    const std::string seed = std::to_string(std::mt19937(8)());
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-" + seed + "-1.ply")) << program.out();
    EXPECT_NE(readFile("Orbivane-" + seed + "-1.ply").find(" of 1000000, live generation, "), std::string::npos)
        << "caught rising";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
}

// With no option the land a window shows rises in view of its frames: the
// rise waits for the window's first frame, then the progress line goes on
// from frame to frame until the land stands risen. Decided from the frames
// shown and the entries printed when each was seen, not the clock: the rise
// takes 10 s from the first frame, and a test held off the processor that
// long would only see fewer of its frames.
TEST_F(ProgramWindow, WithNoOptionTheLandRisesInViewOfTheWindowsFrames)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "5"}, "4\n5000\ny\n");
    const unsigned long window = waitForWindowOf(program);
    ASSERT_NE(window, 0u) << program.out();
    xsupport::FrameWatch watch(window);
    const auto entries = [&] { return countOf(program.out(), "%..  "); }; // 19 in all, then "100%"
    Image frame;
    ASSERT_TRUE(watch.next(frame)) << program.out();
    const int atFirst = entries();
    std::set<int> seen; // the entries printed as frames came, while the land rose
    while (countOf(program.out(), "100%\n") == 0 && watch.next(frame))
        seen.insert(entries());
    ASSERT_EQ(countOf(program.out(), "100%\n"), 1) << program.out();
    EXPECT_LT(atFirst, 10) << "most of the land rose after the first frame seen";
    EXPECT_GE(seen.size(), 5u) << "the progress line went on between frames";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
}

} // namespace
