// Files the real program saves, attacked: a full disk, symlinks, signals in
// the middle of a write, two writers, memory limits, exports of live land.
#include "Dialogue.h"
#include "Figures.h"
#include "ProgramDriver.h"
#include "TestSupport.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace driver;

namespace {

// Edges not met exactly once in each direction: 0 for a closed, consistently
// wound mesh; a crack shows as edges met once.
std::size_t openEdges(const PlyFile& ply)
{
    std::vector<std::uint64_t> directed;
    for (std::size_t f = 0; f < ply.faces.size(); f += 3)
        for (std::size_t k = 0; k < 3; ++k)
            directed.push_back(std::uint64_t(ply.faces[f + k]) << 32 | ply.faces[f + (k + 1) % 3]);
    std::sort(directed.begin(), directed.end());
    std::size_t open = 0;
    for (std::size_t i = 0; i < directed.size(); ++i) {
        const bool repeated = (i > 0 && directed[i] == directed[i - 1]);
        const std::uint64_t reverse = directed[i] << 32 | directed[i] >> 32;
        open += repeated || !std::binary_search(directed.begin(), directed.end(), reverse);
    }
    return open;
}

std::size_t icosphereVertices(int n) { return 10 * (std::size_t(1) << (2 * n)) + 2; }

// Names in folder that start with '.': the writer's temporary files.
std::vector<std::string> hiddenFiles(const std::string& folder = ".")
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string()[0] == '.')
            names.push_back(entry.path().string());
    return names;
}

// Whether process pid has a file in the working directory open, the log
// aside: a save being written, with a name or none yet.
bool writingHere(int pid)
{
    const std::string here = fs::current_path().string() + "/";
    std::error_code error;
    fs::directory_iterator fd("/proc/" + std::to_string(pid) + "/fd", error);
    for (; !error && fd != fs::directory_iterator(); fd.increment(error)) {
        const std::string target = fs::read_symlink(fd->path(), error).string();
        if (!error && target.starts_with(here) && target != here + "Orbivane.log")
            return true;
    }
    return false;
}

std::string program(const std::string& args)
{
    return "env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " " + args;
}

// Fills the rest of folder's file system.
void fillDisk(const std::string& folder)
{
    std::ofstream filler(folder + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size()))
        ;
}

class SavedFiles : public testing::Test {
protected:
    ScopedTempDir dir;
};

// A 64 KiB tmpfs at "disk"; root only.
class FullDisk : public SavedFiles {
protected:
    void SetUp() override
    {
        fs::create_directory("disk");
        if (geteuid() != 0 || mount("tmpfs", "disk", "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "needs root to mount a small tmpfs";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            umount2((dir.path() + "/disk").c_str(), MNT_DETACH);
    }
    bool mounted = false;
};

TEST_F(FullDisk, AFailedExportKeepsTheOldFileAndSaysWhy)
{
    // A dangling link: the first export makes its target, the second fails.
    fs::create_symlink("disk/linked.ply", "via.ply");
    const std::pair<std::string, std::string> cases[] = {
        {"disk/keep.ply", "disk/keep.ply"}, {"disk/keep.obj", "disk/keep.obj"}, {"via.ply", "disk/linked.ply"}};
    for (const auto& [given, file] : cases) {
        ASSERT_EQ(runCommand(program("--seed 1 --export " + given), "1\n10\nn\n").status, 0) << given;
        const std::string old = readFile(file);
        ASSERT_TRUE(readPlyFile(file).whole || file.ends_with(".obj")) << file;
        const CommandResult run = runCommand(program("--seed 2 --export " + given), "5\n10\nn\n");
        EXPECT_EQ(run.status, 1) << given;
        EXPECT_NE(run.out.find("Could not export the planet to " + given + ": cannot write \"" + given +
                               "\": No space left on device"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(readFile(file), old) << file << " is as it was";
        EXPECT_EQ(hiddenFiles("disk"), std::vector<std::string>{}) << "no temporary file is left";
    }
    EXPECT_TRUE(fs::is_symlink("via.ply")) << "the user's link stays";
    recordFigure("files: full disk", "exports of 5 subdivisions over a good file on a 64 KiB tmpfs, directly and "
                                     "through a symlink: \"No space left on device\", old file kept, no temporary file");
}

TEST_F(FullDisk, ALogThatCannotBeWrittenIsSaidOnStandardError)
{
    fillDisk("disk");
    fs::current_path("disk");
    const CommandResult run = runCommand(program(""), "1\n10\nn\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Generating planet with 160 triangles"), std::string::npos) << "the console has it all";
    EXPECT_EQ(countOf(run.err, "Cannot write Orbivane.log (No space left on device)"), 1) << run.err;
    fs::current_path(dir.path());
}

TEST_F(SavedFiles, APlantedLogIsNeverWrittenThrough)
{
    std::ofstream("victim") << "precious";
    const std::pair<const char*, std::function<void()>> plants[] = {
        {"symlink to a file", [] { fs::create_symlink("victim", "Orbivane.log"); }},
        {"dangling symlink", [] { fs::create_symlink("created-by-the-program", "Orbivane.log"); }},
        {"named pipe", [] { mkfifo("Orbivane.log", 0666); }},
    };
    for (const auto& [what, plant] : plants) {
        fs::remove("Orbivane.log");
        plant();
        const CommandResult run = runCommand("timeout 30 " + program(""), "1\n10\nn\n");
        EXPECT_EQ(run.status, 0) << what << " (124: hung)";
        EXPECT_EQ(countOf(run.err, "Cannot write Orbivane.log ("), 1) << what << ": " << run.err;
        EXPECT_EQ(readFile("victim"), "precious") << what;
        EXPECT_FALSE(fs::exists("created-by-the-program")) << what;
    }
}

TEST_F(SavedFiles, SignalsMidExportLeaveTheOldFileAndNoTemporaryFile)
{
    ASSERT_EQ(runCommand(program("--seed 1 --export keep.obj"), "1\n10\nn\n").status, 0);
    const std::string old = readFile("keep.obj");
    const struct rlimit noCore {0, 0}; // SIGQUIT's core file is not the point
    setrlimit(RLIMIT_CORE, &noCore);
    double latest = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGALRM}) {
        // 8 subdivisions: about 50 MB of text, a few hundred milliseconds of
        // writing. A run whose writing this process, starved by other work,
        // never saw is run again: it interrupted nothing.
        std::unique_ptr<BackgroundProgram> caught;
        auto start = std::chrono::steady_clock::now();
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            auto run = std::make_unique<BackgroundProgram>(
                std::vector<std::string>{"/usr/bin/env", "-u", "DISPLAY", ORBIVANE_BINARY, "--export", "keep.obj"},
                "8\n10\nn\n");
            start = std::chrono::steady_clock::now();
            while (!writingHere(run->pid()) && run->running())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (writingHere(run->pid())) {
                caught = std::move(run);
            } else {
                ASSERT_EQ(run->waitForExit(30), 0);
                std::ofstream("keep.obj", std::ios::binary) << old; // the whole export replaced it
            }
        }
        ASSERT_TRUE(caught) << "the export ended before it could be interrupted, five times";
        BackgroundProgram& run = *caught;
        kill(run.pid(), signal);
        latest = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.waitForExit(30), -1) << strsignal(signal) << " ended it";
        EXPECT_EQ(readFile("keep.obj"), old) << strsignal(signal);
        EXPECT_EQ(hiddenFiles(), std::vector<std::string>{}) << strsignal(signal);
    }
    recordFigure("files: signals mid-export",
                 "8 subdivisions to .obj, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1 and SIGALRM while it was "
                 "written (the last " + std::to_string(int(latest * 1000)) +
                     " ms after the start): old file kept, no temporary file");
}

// Under ulimit -f a save fails with "File too large" and the program goes
// on; with no room at all the log is said to be unwritable. The output goes
// through a pipe, which the limit does not cover.
TEST_F(SavedFiles, AFileSizeLimitIsReportedAndTheProgramGoesOn)
{
    struct Case {
        int limitKib;
        const char *args, *input, *says, *status;
    };
    const Case cases[] = {
        {100, "--seed 1 --export big.ply", "5\n10\nn\n",
         "Could not export the planet to big.ply: cannot write \"big.ply\": File too large", "status 1"},
        {100, "--seed 1 --map-width 2048 --map big.png", "5\n2000\nn\n", "Could not save the map big.png: File too large",
         "status 1"},
        {0, "--seed 1", "1\n10\nn\n", "Cannot write Orbivane.log (File too large)", "status 0"},
    };
    for (const Case& c : cases) {
        const CommandResult run = runCommand("(ulimit -f " + std::to_string(c.limitKib) + "; " + program(c.args) +
                                                 "; echo \"status $?\") 2>&1 | cat",
                                             c.input);
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << ": " << run.out;
        EXPECT_NE(run.out.find(c.status), std::string::npos) << c.args << " (153: ended by SIGXFSZ): " << run.out;
        EXPECT_FALSE(fs::exists("big.ply") || fs::exists("big.png")) << c.args;
        EXPECT_EQ(hiddenFiles(), std::vector<std::string>{}) << c.args;
    }
    recordFigure("files: file size limit", "ulimit -f 100 under --export and --map: \"File too large\", status 1, no "
                                           "file; ulimit -f 0: the log said unwritable, status 0");
}

TEST_F(SavedFiles, TwoWritersToOneNameLeaveOneWholeFile)
{
    // Two planets of one size, so that the two writes overlap in time.
    const auto writer = [](const char* seed, const char* path) {
        return std::make_unique<BackgroundProgram>(
            std::vector<std::string>{"/usr/bin/env", "-u", "DISPLAY", ORBIVANE_BINARY, "--seed", seed, "--export", path},
            "7\n10\nn\n");
    };
    ASSERT_EQ(writer("1", "one.obj")->waitForExit(60), 0);
    ASSERT_EQ(writer("2", "two.obj")->waitForExit(60), 0);
    const std::string one = readFile("one.obj"), two = readFile("two.obj");
    const int rounds = 6;
    for (int round = 0; round < rounds; ++round) {
        auto first = writer("1", "same.obj");
        auto second = writer("2", "same.obj");
        ASSERT_EQ(first->waitForExit(60), 0);
        ASSERT_EQ(second->waitForExit(60), 0);
        const std::string same = readFile("same.obj");
        EXPECT_TRUE(same == one || same == two) << "round " << round << ": a mixed file of " << same.size() << " bytes";
        EXPECT_TRUE(hiddenFiles().empty());
    }
    recordFigure("files: two writers to one name", std::to_string(rounds) + " rounds of two 7-subdivision .obj exports at "
                                                                           "once: each file one planet whole");
}

TEST_F(SavedFiles, LiveGenerationWithoutAWindowExportsTheFinishedPlanet)
{
    const CommandResult run = runCommand(program("--seed 1 --export live.ply"), "4\n5000\ny\n");
    EXPECT_EQ(run.status, 0);
    const PlyFile ply = readPlyFile("live.ply");
    ASSERT_TRUE(ply.whole);
    EXPECT_TRUE(ply.comment.starts_with("Orbivane planet: seed 1, subdivisions 4, iterations 5000, live generation, "))
        << ply.comment;
    EXPECT_EQ(ply.xyz.size() / 3, icosphereVertices(4));
    EXPECT_EQ(openEdges(ply), 0u);
    float lowest = 2, highest = 0;
    for (std::size_t v = 0; v < ply.xyz.size(); v += 3) {
        const float r = std::sqrt(ply.xyz[v] * ply.xyz[v] + ply.xyz[v + 1] * ply.xyz[v + 1] + ply.xyz[v + 2] * ply.xyz[v + 2]);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_GT(highest / lowest, 1.05f) << "5000 planes leave no round sphere";
}

TEST_F(SavedFiles, ExportsUnderMemoryLimitsReportInsteadOfAborting)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limits allow";
#endif
    int exported = 0, refused = 0, failed = 0;
    // Limits where the planet is refused, and where it fits with more or less
    // to spare. (Near 470 MB a generation thread that cannot start is a fault
    // of its own, outside saving.)
    for (int limitKib : {430000, 500000, 550000, 600000}) {
        const CommandResult run = runCommand("ulimit -v " + std::to_string(limitKib) + "; " +
                                                 program("--seed 1 --export u.ply"),
                                             "9\n1\nn\n");
        ASSERT_TRUE(run.status == 0 || run.status == 1) << limitKib << " KiB: " << run.status << run.err;
        EXPECT_EQ(run.err.find("terminate called"), std::string::npos) << run.err;
        exported += run.out.find("exported to u.ply") != std::string::npos;
        refused += run.out.find("Not enough memory for a planet") != std::string::npos;
        failed += run.out.find("Could not export the planet to u.ply") != std::string::npos;
        // Exported with the heights' colours for want of the climate is not as asked.
        const bool asAsked = run.out.find("exported to u.ply") != std::string::npos &&
                             run.out.find("it is exported with the heights' colours") == std::string::npos;
        EXPECT_EQ(run.status == 1, !asAsked) << run.out;
    }
    EXPECT_GT(exported, 0) << "some limit leaves room for the export";
    // The whole budget of an accepted count, export included, against what it takes.
    BackgroundProgram large({"/usr/bin/env", "-u", "DISPLAY", ORBIVANE_BINARY, "--export", "u.ply"}, "9\n5000\nn\n");
    ASSERT_EQ(large.waitForExit(120), 0);
    const long budgetKib = long(planetBytes(9) >> 10);
    EXPECT_LT(large.peakKib(), budgetKib + 64 * 1024) << "the program's own code and libraries aside";
    recordFigure("memory: export under address-space limits",
                 "9 subdivisions, limits of 430, 500, 550 and 600 MB: " + std::to_string(exported) + " exported, " +
                     std::to_string(refused) + " refused as too large, " + std::to_string(failed) +
                     " exports reported; no abort");
    recordFigure("memory: export at 9 subdivisions", "peak resident " + std::to_string(large.peakKib() >> 10) +
                                                          " MiB against a budget of " + std::to_string(budgetKib >> 10) +
                                                          " MiB");
}

// The program in its window on the X server named by DISPLAY.
using SavedFilesInTheWindow = WindowedProgram;

TEST_F(SavedFilesInTheWindow, NamedFilesCountUpAndNeverFollowALink)
{
    fs::create_symlink("planted.png", "Orbivane-12-1.png");
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "12"}, "3\n500\nn\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    ASSERT_TRUE(pressUntilFile("p", "Orbivane-12-2.png"));
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-12-1.ply"));
    ASSERT_TRUE(pressUntilFile("e", "Orbivane-12-2.ply")) << "a second E does not overwrite the first";
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_FALSE(fs::exists("planted.png")) << "the dangling link was followed";
    EXPECT_TRUE(fs::is_symlink("Orbivane-12-1.png"));
    EXPECT_TRUE(readPlyFile("Orbivane-12-1.ply").whole);
    EXPECT_EQ(readFile("Orbivane-12-1.ply"), readFile("Orbivane-12-2.ply"));
}

TEST_F(SavedFilesInTheWindow, LiveExportsAreClosedAndSayHowFarTheyGot)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "6", "--export", "closed.ply", "--live-seconds", "3600"},
                              "5\n1000000\ny\n");
    Image shot;
    ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
    std::vector<PlyFile> saved;
    for (const std::string name : {"Orbivane-6-1.ply", "Orbivane-6-2.ply", "Orbivane-6-3.ply"}) {
        ASSERT_TRUE(pressUntilFile("e", name));
        ASSERT_TRUE(waitForOutput(program, "exported to " + name, 1, 10));
        saved.push_back(readPlyFile(name));
    }
    ASSERT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    saved.push_back(readPlyFile("closed.ply"));
    std::size_t open = 0;
    for (const PlyFile& ply : saved) {
        ASSERT_TRUE(ply.whole) << ply.comment;
        EXPECT_EQ(ply.xyz.size() / 3, icosphereVertices(5)) << ply.comment;
        open += openEdges(ply);
        EXPECT_TRUE(ply.comment.starts_with("Orbivane planet: seed 6, subdivisions 5, iterations ")) << ply.comment;
        EXPECT_NE(ply.comment.find(" of 1000000"), std::string::npos) << ply.comment;
    }
    EXPECT_EQ(open, 0u);
    EXPECT_TRUE(saved.back().comment.find(" of 1000000, stopped, live generation, ") != std::string::npos) << saved.back().comment;
    recordFigure("live: E mid-generation and the stopped planet",
                 "4 exports at 5 subdivisions: 10242 vertices each, 0 open edges, header \"" + saved.back().comment + "\"");
}

TEST_F(FullDisk, AScreenshotOnAFullDiskSaysWhyAndLeavesNoFile)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (DISPLAY)";
    fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "disk/res");
    fillDisk("disk");
    fs::current_path("disk");
    releaseKeys();
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "8"}, "3\n500\nn\n");
    Image shot;
    EXPECT_NE(waitForPlanet(shot), 0u) << program.out();
    EXPECT_TRUE(pressUntil("p", [&] { return program.out().find("Could not save the screenshot") != std::string::npos; }));
    EXPECT_TRUE(escapeUntilAsked(program, 2));
    EXPECT_EQ(program.waitForExit(30), 0);
    EXPECT_NE(program.out().find("Could not save the screenshot Orbivane-8-1.png: No space left on device"),
              std::string::npos)
        << program.out();
    EXPECT_FALSE(fs::exists("Orbivane-8-1.png"));
    EXPECT_EQ(hiddenFiles(), std::vector<std::string>{});
    fs::current_path(dir.path());
    releaseKeys();
}

} // namespace

namespace {

// Maps on a full disk, through a user's symlink, and without the memory for
// the largest width: each failure says why, no temporary file stays, an old
// map stays as it was and the run ends with status 1.
TEST_F(FullDisk, MapsThatCannotBeWrittenSayWhyAndKeepTheOldFile)
{
    fs::create_symlink("disk/linked.png", "via.png");
    for (const std::string given : {"disk/m.png", "via.png"}) {
        ASSERT_EQ(runCommand(program("--seed 1 --map-width 16 --map " + given), "1\n10\nn\n").status, 0) << given;
        const std::string file = given == "via.png" ? "disk/linked.png" : given, old = readFile(file);
        const CommandResult run = runCommand(program("--seed 2 --map-width 1024 --map " + given), "3\n100\nn\n");
        EXPECT_EQ(run.status, 1) << given;
        EXPECT_NE(run.out.find("Could not save the map " + given + ": No space left on device\n"), std::string::npos)
            << run.out;
        EXPECT_EQ(readFile(file), old) << file << " is as it was";
        EXPECT_EQ(hiddenFiles("disk"), std::vector<std::string>{}) << "no temporary file is left";
    }
    EXPECT_TRUE(fs::is_symlink("via.png")) << "the user's link stays";
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A 16384-wide grid alone takes 512 MiB.
    const CommandResult run = runCommand("ulimit -v 400000; " + program("--map-width 16384 --heightmap h.png"),
                                         "2\n100\nn\n");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err.find("terminate called"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Not enough memory for the maps of the planet; they are not saved.\n"), std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists("h.png"));
#endif
    recordFigure("files: maps on a full disk and under a memory limit",
                 "a 1024-wide map on a 64 KiB tmpfs, directly and through a symlink: \"No space left on device\", old "
                 "file kept, no temporary file; a 16384-wide height map under a 400 MB address-space limit: "
                 "\"Not enough memory\", status 1, no abort");
}

// A planet that cannot be made under a memory limit writes none of the files
// the options ask for: the run says so with status 1, and only then.
TEST_F(SavedFiles, AFileAskedForAndNotWrittenEndsTheRunWithStatusOne)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#endif
    // Options, and the status with a planet of 8 subdivisions that cannot be made.
    for (const auto& [options, status] : {std::pair{"--export t.ply --map m.png", 1}, {"--heightmap h.png", 1}, {"", 0}}) {
        const CommandResult run = runCommand("ulimit -v 50000; " + program(options), "8\n10\nn\n");
        EXPECT_EQ(run.status, status) << options << run.out;
        EXPECT_EQ(countOf(run.out, "Not enough memory for a planet with 8 subdivisions"), 1) << run.out;
    }
    recordFigure("memory: planets not made under a 50 MB limit",
                 "with --export, --map or --heightmap status 1, without them status 0");
}

// A .glb whose 8192-wide textures (over 300 MB) find no room under the
// limit, on a planet of 3 subdivisions that fits many times over: written
// without them and said, but not what --glb-textures asked: status 1.
TEST_F(SavedFiles, AFileWrittenShortOfItsOptionsEndsTheRunWithStatusOne)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#endif
    const CommandResult run =
        runCommand("ulimit -v 300000; " + program("--seed 1 --export t.glb --glb-textures 8192"), "3\n200\nn\n");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(countOf(run.out, "Not enough memory for the textures of the planet; it is exported without them.\n"), 1)
        << run.out;
    EXPECT_EQ(countOf(run.out, "Planet (seed 1) exported to t.glb\n"), 1) << run.out;
    EXPECT_TRUE(fs::exists("t.glb")) << "the planet is still exported";
}

// Every planet of a run is kept: the second and later beside the first, with
// their number, each name in the log.
TEST_F(SavedFilesInTheWindow, LaterPlanetsOfARunAreSavedBesideTheFirst)
{
    BackgroundProgram program({ORBIVANE_BINARY, "--seed", "3", "--export", "same.ply", "--map", "./m.png", "--map-width",
                               "16"},
                              "1\n10\nn\n1\n20\nn\n1\n30\nn\n");
    for (int planet = 1; planet <= 3; ++planet) {
        Image shot;
        ASSERT_NE(waitForPlanet(shot), 0u) << program.out();
        ASSERT_TRUE(escapeUntilAsked(program, planet + 1));
    }
    EXPECT_EQ(program.waitForExit(30), 0);
    const std::string log = readFile("Orbivane.log");
    for (const auto& [k, mesh, map] : {std::tuple{1, "same.ply", "./m.png"}, {2, "same-2.ply", "./m-2.png"},
                                       {3, "same-3.ply", "./m-3.png"}}) {
        EXPECT_TRUE(readPlyFile(mesh).comment.starts_with("Orbivane planet: seed 3, subdivisions 1, iterations " +
                                                          std::to_string(10 * k) + ", batch generation, "))
            << mesh;
        EXPECT_NE(log.find(std::string("Planet (seed 3) exported to ") + mesh + "\n"), std::string::npos) << log;
        EXPECT_NE(log.find(std::string("Planet (seed 3): map saved to ") + map + "\n"), std::string::npos) << log;
    }
}

} // namespace
