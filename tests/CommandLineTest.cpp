#include "CommandLine.h"
#include "TestSupport.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

struct Parsed {
    ParsedCommandLine result;
    std::string out;
    std::string err;
};

Parsed parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "orbivane");
    std::ostringstream out, err;
    Parsed parsed{parseCommandLine(static_cast<int>(args.size()), args.data(), out, err), {}, {}};
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

TEST(CommandLine, NoOptionsRunsWithTheTimeAsSeed)
{
    const Parsed parsed = parse({});
    EXPECT_EQ(parsed.result.exitStatus, -1);
    EXPECT_FALSE(parsed.result.options.seed);
    EXPECT_TRUE(parsed.result.options.exportPath.empty());
    EXPECT_EQ(parsed.out + parsed.err, "");
}

TEST(CommandLine, SeedAndExportInBothSpellings)
{
    Parsed parsed = parse({"--seed", "42", "--export", "planet.ply"});
    EXPECT_EQ(parsed.result.exitStatus, -1);
    EXPECT_EQ(parsed.result.options.seed, 42u);
    EXPECT_EQ(parsed.result.options.exportPath, "planet.ply");

    parsed = parse({"--export=out/My Planet.OBJ", "--seed=4294967295"});
    EXPECT_EQ(parsed.result.exitStatus, -1);
    EXPECT_EQ(parsed.result.options.seed, 4294967295u);
    EXPECT_EQ(parsed.result.options.exportPath, "out/My Planet.OBJ");

    EXPECT_EQ(parse({"--seed", "0"}).result.options.seed, 0u);
}

TEST(CommandLine, MapOptions)
{
    Parsed parsed = parse({});
    EXPECT_EQ(parsed.result.options.mapWidth, 2048);
    EXPECT_TRUE(parsed.result.options.mapPath.empty() && parsed.result.options.heightMapPath.empty());

    parsed = parse({"--map", "world.png", "--heightmap=maps/Height.PNG", "--map-width", "16384"});
    EXPECT_EQ(parsed.result.exitStatus, -1);
    EXPECT_EQ(parsed.result.options.mapPath, "world.png");
    EXPECT_EQ(parsed.result.options.heightMapPath, "maps/Height.PNG");
    EXPECT_EQ(parsed.result.options.mapWidth, 16384);
    EXPECT_EQ(parse({"--map-width=16"}).result.options.mapWidth, 16);

    EXPECT_EQ(parsed.result.options.cubeSize, 1024);
    EXPECT_TRUE(parsed.result.options.cubeFacesPrefix.empty());
    parsed = parse({"--cube-faces", "faces/planet", "--cube-size=8192"});
    EXPECT_EQ(parsed.result.exitStatus, -1);
    EXPECT_EQ(parsed.result.options.cubeFacesPrefix, "faces/planet");
    EXPECT_EQ(parsed.result.options.cubeSize, 8192);

    EXPECT_EQ(parsed.result.options.glbTextureWidth, 0);
    parsed = parse({"--glb-textures", "64", "--normal-map=n.png", "--export", "p.GLB"});
    EXPECT_EQ(parsed.result.options.glbTextureWidth, 64);
    EXPECT_EQ(parsed.result.options.normalMapPath, "n.png");
    EXPECT_EQ(parse({"--export=p.glb", "--glb-textures=8192"}).result.options.glbTextureWidth, 8192);
}

TEST(CommandLine, LandAndReliefTakeTheirWholeRange)
{
    EXPECT_FALSE(parse({}).result.options.landPercent);
    EXPECT_EQ(parse({}).result.options.relief, 1.0);
    for (const auto& [text, value] : {std::pair{"0", 0.0}, {"100", 100.0}, {"12.5", 12.5}, {".5", 0.5}}) {
        EXPECT_EQ(parse({"--land", text}).result.options.landPercent, value) << text;
        EXPECT_EQ(parse({"--relief", text}).result.exitStatus, value > 0 && value <= 10 ? -1 : 2) << text;
    }
    EXPECT_EQ(parse({"--relief=10"}).result.options.relief, 10.0);
    EXPECT_EQ(parse({"--relief", "0.001"}).result.options.relief, 0.001);
    EXPECT_EQ(parse({}).result.options.erosionSteps, 0);
    EXPECT_EQ(parse({"--erosion", "1"}).result.options.erosionSteps, 1);
    EXPECT_EQ(parse({"--erosion=1000", "--rivers", "r.GeoJSON"}).result.options.erosionSteps, 1000);
    EXPECT_EQ(parse({"--rivers", "water/w.GPKG"}).result.options.riversPath, "water/w.GPKG");
    EXPECT_TRUE(parse({"--compress", "--export", "p.GLB"}).result.options.compress);
    EXPECT_FALSE(parse({"--export", "p.glb"}).result.options.compress);
}

TEST(CommandLine, ClimateOptionsAndTheirDefaults)
{
    const Options defaults = parse({}).result.options;
    EXPECT_EQ(defaults.radiusKm, 6371.0);
    EXPECT_EQ(defaults.highestMetres, 8000.0);
    EXPECT_EQ(defaults.view, ClimateView::Biomes);
    EXPECT_EQ(defaults.hypsometry, Hypsometry::Earth);
    EXPECT_TRUE(defaults.biomeMapPath.empty() && defaults.climateMapsPrefix.empty());

    const Parsed parsed = parse({"--radius-km", "3389.5", "--highest=21900", "--view", "rain", "--biome-map",
                                 "maps/B.PNG", "--climate-maps=maps/c"});
    ASSERT_EQ(parsed.result.exitStatus, -1) << parsed.err;
    const Options& options = parsed.result.options;
    EXPECT_EQ(options.radiusKm, 3389.5);
    EXPECT_EQ(options.highestMetres, 21900.0);
    EXPECT_EQ(options.view, ClimateView::Rain);
    EXPECT_EQ(options.biomeMapPath, "maps/B.PNG");
    EXPECT_EQ(biomeLegendPath(options.biomeMapPath), "maps/B.json");
    EXPECT_EQ(options.climateMapsPrefix, "maps/c");
    for (const char* view : {"biomes", "heights", "temperature", "rain"})
        EXPECT_EQ(viewName(parse({"--view", view}).result.options.view), std::string(view));
    for (const char* curve : {"earth", "linear"})
        EXPECT_EQ(hypsometryName(parse({"--hypsometry", curve}).result.options.hypsometry), std::string(curve));
    EXPECT_EQ(parse({"--radius-km", "1000000", "--highest", "100000"}).result.exitStatus, -1);
}

// Without --river-area the rivers follow the mesh; with it, any area above 0
// up to the largest planet's surface, given either way.
TEST(CommandLine, RiverAreaTakesItsWholeRange)
{
    EXPECT_FALSE(parse({}).result.options.riverAreaKm2.has_value());
    const std::pair<std::vector<const char*>, double> cases[] = {
        {{"--river-area", "12500"}, 12500.0},
        {{"--river-area=0.001"}, 0.001},
        {{"--river-area", "10000000000000"}, RIVER_AREA_KM2_MAX},
    };
    for (const auto& [args, km2] : cases) {
        const Parsed parsed = parse(args);
        ASSERT_EQ(parsed.result.exitStatus, -1) << parsed.err;
        EXPECT_EQ(parsed.result.options.riverAreaKm2, km2) << args[0];
    }
}

TEST(CommandLine, LookAtAndRenderTakeTheirWholeRange)
{
    EXPECT_FALSE(parse({}).result.options.lookAt);
    EXPECT_TRUE(parse({}).result.options.renderPath.empty());
    const struct {
        const char* text;
        double latitude, longitude, distance;
    } looks[] = {{"90,-180", 90, -180, 3}, {"-90,180,1.5", -90, 180, 1.5}, {"12.5,-0.25,8", 12.5, -0.25, 8}};
    for (const auto& look : looks) {
        const std::optional<LookAt> given = parse({"--look-at", look.text}).result.options.lookAt;
        ASSERT_TRUE(given) << look.text;
        EXPECT_EQ(given->latitude, look.latitude) << look.text;
        EXPECT_EQ(given->longitude, look.longitude) << look.text;
        EXPECT_EQ(given->distance, look.distance) << look.text;
    }
    for (const auto& [size, width, height] : {std::tuple{"16x8192", 16, 8192}, {"3840x2160", 3840, 2160}}) {
        const std::string joined = std::string("--render=") + size;
        for (const auto& args : {std::vector<const char*>{"--render", size, "out/P.PNG"},
                                 std::vector<const char*>{joined.c_str(), "out/P.PNG"}}) {
            const Parsed parsed = parse(args);
            ASSERT_EQ(parsed.result.exitStatus, -1) << parsed.err;
            EXPECT_EQ(parsed.result.options.renderWidth, width);
            EXPECT_EQ(parsed.result.options.renderHeight, height);
            EXPECT_EQ(parsed.result.options.renderPath, "out/P.PNG");
        }
    }
    EXPECT_EQ(parse({"--render", "64x64", "a.png", "--map", "a.png"}).result.exitStatus, 2) << "one file, two options";
}

TEST(CommandLine, HelpAndVersionExitWithZero)
{
    Parsed parsed = parse({"--help"});
    EXPECT_EQ(parsed.result.exitStatus, 0);
    EXPECT_EQ(parsed.out, usageText());
    for (const char* part : {"--seed N", "--export FILE", "subdivisions", "iterations", "live", "Esc", "P ", "E ", "M ",
                             "--map FILE.png", "--heightmap FILE.png", "--map-width W", "--cube-faces PREFIX", "--cube-size N",
                             "C ", "--land PERCENT", "--relief FACTOR", "N ", "New planet: seed S", "--radius-km R",
                             "--highest METRES", "--view VIEW", "--biome-map FILE.png", "--climate-maps PREFIX", "V ",
                             "--erosion STEPS", "--rivers FILE.geojson", "--compress", "--render WxH FILE.png",
                             "--look-at LAT,LON[,DISTANCE]", "--glb-textures W", "--normal-map FILE.png"})
        EXPECT_NE(parsed.out.find(part), std::string::npos) << part;

    parsed = parse({"--seed", "1", "--version"});
    EXPECT_EQ(parsed.result.exitStatus, 0);
    EXPECT_EQ(parsed.out.rfind("orbivane ", 0), 0u);
    EXPECT_EQ(parsed.err, "");
}

TEST(CommandLine, BadInputPrintsTheUsageAndExitsWithTwo)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--frobnicate"}, {"-x"}, {"planet.ply"}, {"--seed"}, {"--seed", "-1"}, {"--seed", "4294967296"},
        {"--seed", "12abc"}, {"--seed="}, {"--seed", " 5"}, {"--export"}, {"--export", "planet.stl"},
        {"--export", "noextension"}, {"--help=yes"}, {"--map"}, {"--map", "world.jpg"}, {"--map", "maps/.png"},
        {"--heightmap", "h.ply"}, {"--map-width", "15"}, {"--map-width", "16385"}, {"--map-width", "2048px"},
        {"--map-width", "1e3"}, {"--map-width="}, {"--cube-size", "15"}, {"--cube-size", "8193"},
        {"--cube-faces", ""}, {"--cube-faces", "faces/"}, {"--cube-faces"},
        {"--land", "-1"}, {"--land", "100.5"}, {"--land", "30%"}, {"--land", "1e1"}, {"--land", "nan"}, {"--land="},
        {"--relief", "0"}, {"--relief", "10.01"}, {"--relief", "-2"}, {"--relief", "inf"}, {"--relief"},
        {"--subdivisions", "13"}, {"--subdivisions", "-1"}, {"--subdivisions", "4.5"}, {"--iterations", "-5"},
        {"--iterations", "2147483648"}, {"--iterations"}, {"--live=yes"}, {"--no-window=1"}, {"--live", "--batch"}, {"--live-seconds", "-1"}, {"--live-seconds", "86401"}, {"--live-seconds", "1e2"},
        {"--radius-km", "0"}, {"--radius-km", "-6371"}, {"--radius-km", "1000001"}, {"--radius-km", "6371km"},
        {"--radius-km", "nan"}, {"--highest", "0"}, {"--highest", "100001"}, {"--highest", "8e3"}, {"--highest"},
        {"--view", "Biomes"}, {"--view", "height"}, {"--view", ""}, {"--view"}, {"--biome-map", "b.json"},
        {"--hypsometry", "Earth"}, {"--hypsometry", ""}, {"--hypsometry", "earth,linear"}, {"--hypsometry"},
        {"--biome-map"}, {"--climate-maps", ""}, {"--climate-maps", "maps/"},
        {"--erosion", "0"}, {"--erosion", "1001"}, {"--erosion", "5.5"}, {"--erosion"}, {"--rivers", "r.json"},
        {"--river-area", "0"}, {"--river-area", "-5"}, {"--river-area", "10000000000000.5"},
        {"--river-area", "1e4"}, {"--river-area", "5000km2"}, {"--river-area", "nan"}, {"--river-area", "inf"},
        {"--river-area="}, {"--river-area"},
        {"--rivers", "rivers/.geojson"}, {"--rivers", "rivers/.gpkg"}, {"--rivers", "r.gpkg.zip"}, {"--rivers"}, {"--compress"}, {"--compress", "--export", "p.ply"},
        {"--compress=yes", "--export", "p.glb"}, {"--dem", "d.png"}, {"--dem", "maps/.tif"}, {"--dem"},
        {"--map", "world.tiff"}, {"--glb-textures", "63"}, {"--glb-textures", "8193"}, {"--glb-textures", "1k"},
        {"--glb-textures"}, {"--glb-textures", "64"}, {"--glb-textures", "64", "--export", "p.ply"},
        {"--glb-textures", "64", "--export", "p.glb", "--compress"}, {"--normal-map", "n.tif"}, {"--normal-map"},
        {"--look-at", "91,0"}, {"--look-at", "0,180.5"}, {"--look-at", "0"}, {"--look-at", "0,0,1.4"},
        {"--look-at", "0,0,8.1"}, {"--look-at", "0,0,3,1"}, {"--look-at", "0,,3"}, {"--look-at", "0,0,"},
        {"--look-at", "nan,0"}, {"--look-at", "0;0"}, {"--look-at"},
        {"--render", "15x100", "p.png"}, {"--render", "100x8193", "p.png"}, {"--render", "100", "p.png"},
        {"--render", "100x100"}, {"--render", "100x100", "p.jpg"}, {"--render", "x100", "p.png"},
        {"--render", "100X100", "p.png"}, {"--render", "100x100x1", "p.png"}, {"--render"},
    };
    for (const auto& args : bad) {
        const Parsed parsed = parse(args);
        EXPECT_EQ(parsed.result.exitStatus, 2) << args[0];
        EXPECT_EQ(parsed.out, "") << args[0];
        EXPECT_NE(parsed.err.find("Usage: orbivane"), std::string::npos) << args[0];
        EXPECT_EQ(parsed.err.rfind("orbivane: ", 0), 0u) << "a one-line reason comes first: " << parsed.err;
    }
}

// A second use of an option would silently replace the first: x.png of
// --map x.png --map y.png would never be written.
TEST(CommandLine, ARepeatedOptionIsRefusedByName)
{
    const std::vector<std::vector<const char*>> repeats = { // the first option is repeated
        {"--map", "x.png", "--map", "y.png"}, {"--export=a.ply", "--seed", "1", "--export", "a.ply"},
        {"--seed", "1", "--seed=2"}, {"--land", "30", "--relief", "2", "--land", "40"}, {"--relief=2", "--relief=2"},
        {"--heightmap", "h.png", "--heightmap", "g.png"}, {"--map-width", "16", "--map-width", "32"},
        {"--cube-faces", "a", "--cube-faces", "b"}, {"--cube-size", "16", "--cube-size", "32"},
    };
    for (const auto& args : repeats) {
        const std::string option = std::string(args[0]).substr(0, std::string(args[0]).find('='));
        const Parsed parsed = parse(args);
        EXPECT_EQ(parsed.result.exitStatus, 2) << option;
        EXPECT_EQ(parsed.out, "") << option;
        EXPECT_EQ(parsed.err, "orbivane: " + option + " is given more than once\n\n" + usageText());
    }
}

// Two options that would write one file: the later write would silently
// replace the earlier. Told before any question, as other bad options are.
TEST(CommandLine, OptionsThatNameOneFileAreRefused)
{
    ScopedTempDir dir;
    std::filesystem::create_directory("maps");
    std::ofstream("old.png") << "x";
    std::filesystem::create_hard_link("old.png", "hard.png");
    std::filesystem::create_symlink("old.png", "soft.png");
    std::filesystem::create_symlink("mesh.ply", "dangling.png");
    std::filesystem::create_symlink("w.geojson", "water.png");
    const std::string absolute = dir.path() + "/maps/../same.png";
    const std::vector<std::vector<const char*>> same = {
        {"--map", "same.png", "--heightmap", "same.png"},
        {"--map", "same.png", "--heightmap", "./same.png"},
        {"--map=maps/../same.png", "--heightmap", "same.png"},
        {"--map", "old.png", "--heightmap", "hard.png"},
        {"--heightmap", "soft.png", "--map", "old.png"},
        {"--export", "mesh.ply", "--map", "dangling.png"},
        {"--map", absolute.c_str(), "--heightmap", "same.png"},
        {"--map", "m.png", "--heightmap", "./m-2.png"}, // the second planet's map would replace it
        {"--heightmap", "maps/h-12.png", "--map", "maps/../maps/h.png"},
        {"--cube-faces", "maps/w", "--heightmap", "maps/w-nz.png"}, // one of the eighteen faces
        {"--cube-faces", "maps/w", "--normal-map", "maps/w-px-normal.png"},
        {"--biome-map", "b.png", "--map", "b.png"},
        {"--climate-maps", "maps/c", "--map", "maps/c-rain.png"},
        {"--climate-maps", "c", "--heightmap", "c-temperature-2.png"}, // the second planet's
        {"--rivers", "w.geojson", "--map", "water.png"},
        {"--dem", "d.tif", "--map", "d.tif"},
        {"--climate-maps", "c.tif", "--dem", "c-rain.tif"},
    };
    for (const auto& args : same) {
        const Parsed parsed = parse(args);
        EXPECT_EQ(parsed.result.exitStatus, 2) << args[1] << " " << args.back();
        EXPECT_TRUE(parsed.err.starts_with("orbivane: ") && parsed.err.find(" name the same file") != std::string::npos &&
                    parsed.err.find("Usage: orbivane") != std::string::npos)
            << parsed.err;
    }
    for (const std::vector<const char*>& apart : {std::vector<const char*>{"--map", "old.png", "--heightmap", "maps/old.png"},
                                                  {"--map", "a.png", "--heightmap", "A.png", "--export", "a.ply"},
                                                  {"--map", "m.png", "--heightmap", "m-02.png", "--export", "m-2.ply"}})
        EXPECT_EQ(parse(apart).result.exitStatus, -1) << apart[3];
}

// The answers as options: each one given is taken, the others stay to be asked.
TEST(CommandLine, AnswersGivenAsOptions)
{
    struct Case {
        std::vector<const char*> args;
        std::optional<int> subdivisions, iterations;
        std::optional<char> render;
        bool noWindow;
    };
    const Case cases[] = {
        {{}, {}, {}, {}, false},
        {{"--subdivisions", "8", "--iterations=5000", "--live"}, 8, 5000, 'y', false},
        {{"--batch", "--no-window", "--subdivisions", "0", "--iterations", "0"}, 0, 0, 'n', true},
        {{"--iterations", "2147483647"}, {}, 2147483647, {}, false},
        {{"--no-window", "--subdivisions=12"}, 12, {}, {}, true},
    };
    for (const Case& c : cases) {
        const Parsed parsed = parse(c.args);
        ASSERT_EQ(parsed.result.exitStatus, -1) << parsed.err;
        const GivenAnswers& given = parsed.result.options.answers;
        EXPECT_EQ(given.subdivisions, c.subdivisions);
        EXPECT_EQ(given.iterations, c.iterations);
        EXPECT_EQ(given.render, c.render);
        EXPECT_EQ(given.all(), c.subdivisions && c.iterations && c.render);
        EXPECT_EQ(parsed.result.options.noWindow, c.noWindow);
    }
}

// Every file the options name must have a folder this user may write into
// before any planet is made (here with erosion, the slowest work there is):
// refused as a bad option is, naming the file, its folder and the reason.
TEST(CommandLine, AnOutputWithoutAWritableFolderIsRefusedBeforeAnyWork)
{
    ScopedTempDir dir;
    std::ofstream("file") << "x";
    std::filesystem::create_directories("here");
    std::filesystem::create_directories("locked");
    ASSERT_EQ(chmod("locked", 0500), 0);
    std::filesystem::create_directory("sticky");
    ASSERT_EQ(chmod("sticky", 01777), 0);
    std::filesystem::create_symlink(dir.path() + "/here", "sticky/out");
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || lchown("sticky/out", 4321, 4321) == 0);
    struct Case { std::vector<std::string> args; std::string why; };
    const std::string missing = "cannot be written into: No such file or directory";
    std::vector<Case> cases = {
        {{"--map", "missing/m.png"}, "--map missing/m.png cannot be saved: its folder missing/ " + missing},
        {{"--heightmap", "file/h.tif"}, "--heightmap file/h.tif cannot be saved: its folder file/ cannot be written "
                                        "into: Not a directory"},
        {{"--export", "here/../missing/deep/p.glb"},
         "--export here/../missing/deep/p.glb cannot be saved: its folder here/../missing/deep/ " + missing},
        {{"--cube-faces", "missing/c"}, "--cube-faces missing/c-px.png cannot be saved: its folder missing/ " + missing},
        {{"--climate-maps", "missing/k"},
         "--climate-maps missing/k-temperature.png cannot be saved: its folder missing/ " + missing},
        {{"--biome-map", "missing/b.png"}, "--biome-map missing/b.png cannot be saved: its folder missing/ " + missing},
        {{"--rivers", "missing/r.geojson"}, "--rivers missing/r.geojson cannot be saved: its folder missing/ " + missing},
        {{"--dem", "missing/d.tif"}, "--dem missing/d.tif cannot be saved: its folder missing/ " + missing},
        {{"--normal-map", "missing/n.png"}, "--normal-map missing/n.png cannot be saved: its folder missing/ " + missing},
        {{"--render", "16x16", "missing/p.png"}, "--render missing/p.png cannot be saved: its folder missing/ " + missing},
        {{"--map", "here/m.png", "--heightmap", "missing/h.png"},
         "--heightmap missing/h.png cannot be saved: its folder missing/ " + missing},
    };
    std::filesystem::create_directory("ro");
    const bool readOnly = root && mount("tmpfs", "ro", "tmpfs", MS_RDONLY, "size=64k") == 0;
    if (readOnly) // root may write anywhere but on a read-only file system
        cases.push_back({{"--rivers", "ro/r.geojson"}, "--rivers ro/r.geojson cannot be saved: its folder ro/ cannot be "
                                                       "written into: Read-only file system"});
    if (root)
        cases.push_back({{"--map", "sticky/out/m.png"}, "--map sticky/out/m.png cannot be saved: its folder sticky/out/ "
                                                        "cannot be written into: not following a symlink another user "
                                                        "owns in a sticky world-writable folder"});
    else
        cases.push_back({{"--map", "locked/m.png"},
                         "--map locked/m.png cannot be saved: its folder locked/ cannot be written into: Permission denied"});
    const std::string program = "env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                                " --seed 1 --subdivisions 1 --iterations 10 --batch --no-window --erosion 5";
    for (const Case& c : cases) {
        std::string args;
        for (const std::string& arg : c.args)
            args.append(" ").append(shellQuote(arg));
        const CommandResult run = runCommand(program + args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.err, std::string("orbivane: ").append(c.why).append("\n\n").append(usageText())) << args;
        EXPECT_EQ(run.out.find("Generating planet"), std::string::npos) << args;
    }
    if (readOnly)
        umount("ro");
    const CommandResult run = runCommand(program + " --map here/m.png --map-width 16");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_regular_file("here/m.png"));
}

// The usage tells the ranges of the options' table: a range changed there
// and not in the help text would have the help refuse or allow the wrong values.
TEST(CommandLine, TheUsageStatesTheRangesOfTheOptionsTable)
{
    const std::string usage = usageText();
    const auto to = [](int low, int high) { return std::to_string(low) + " to " + std::to_string(high); };
    const std::pair<std::string, std::string> ranges[] = {
        {"--subdivisions", to(0, SUBDIVISIONS_OPTION_MAX)},
        {"--map-width", to(MAP_WIDTH_MIN, MAP_WIDTH_MAX) + " (default " + std::to_string(MAP_WIDTH_DEFAULT) + ")"},
        {"--cube-size", to(CUBE_SIZE_MIN, CUBE_SIZE_MAX) + " (default " + std::to_string(CUBE_SIZE_DEFAULT) + ")"},
        {"--erosion", to(1, EROSION_STEPS_MAX)},
        {"--river-area", "up to " + std::to_string(std::int64_t(RIVER_AREA_KM2_MAX))},
        {"--glb-textures", to(GLB_TEXTURE_MIN, GLB_TEXTURE_MAX)},
        {"--render", to(RENDER_SIZE_MIN, RENDER_SIZE_MAX) + " each"},
    };
    for (const auto& [option, range] : ranges) {
        const std::size_t start = usage.find("\n  " + option + " ");
        ASSERT_NE(start, std::string::npos) << option;
        const std::string help = usage.substr(start, usage.find("\n  --", start + 1) - start);
        EXPECT_NE(help.find(range), std::string::npos) << option << ": " << help;
    }
}

} // namespace
