#include "CommandLine.h"
#include "SettingsFile.h"
#include "SettingsRecord.h"
#include "TestSupport.h"

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

ParsedCommandLine parseWith(std::vector<const char*> args, std::string* err = nullptr)
{
    args.insert(args.begin(), "orbivane");
    std::ostringstream out, errors;
    ParsedCommandLine parsed = parseCommandLine(static_cast<int>(args.size()), args.data(), out, errors);
    if (err)
        *err = errors.str();
    return parsed;
}

TEST(SettingsRecord, ReadsBackBitForBitThroughLike)
{
    ScopedTempDir dir;
    const double tiny = std::nextafter(0.0, 1.0);
    const PlanetSettings cases[] = {
        {42, 8, 5000, false, std::nullopt, 1.0, 6371.0, 8000.0, ClimateView::Biomes, 0, Hypsometry::Earth, 0.1 + 0.2},
        {4294967295u, 0, 2147483647, true, 0.1 + 0.2, std::nextafter(10.0, 0.0), 1e6, 1e5, ClimateView::Rain, 1000,
         Hypsometry::Linear, RIVER_AREA_KM2_MAX},
        {0, 12, 0, false, 100.0 / 3.0, tiny, tiny, tiny, ClimateView::Temperature, 1, Hypsometry::Earth, tiny},
        {1, 9, 5000, false, std::nullopt, 1.0, 6371.0, 8000.0, ClimateView::Biomes, 0, Hypsometry::Earth,
         std::nullopt},
    };
    for (const PlanetSettings& s : cases) {
        const std::string record = settingsRecord(s);
        EXPECT_LE(record.size(), SETTINGS_RECORD_MAX);
        // Left out when not given: the default follows the subdivisions.
        EXPECT_EQ(record.find("--river-area") != std::string::npos, s.riverAreaKm2.has_value()) << record;
        writeText("p.obj", "# Orbivane planet\n# " + record + "\nv 0 0 0\n");
        const ParsedCommandLine parsed = parseWith({"--like", "p.obj"});
        ASSERT_EQ(parsed.exitStatus, -1) << record;
        const Options& o = parsed.options;
        EXPECT_EQ(o.seed, s.seed);
        EXPECT_EQ(o.answers.subdivisions, s.subdivisions);
        EXPECT_EQ(o.answers.iterations, s.iterations);
        EXPECT_EQ(o.answers.render, s.live ? 'y' : 'n');
        for (const auto& [read, written] : {std::pair{o.landPercent, s.landPercent}, {o.riverAreaKm2, s.riverAreaKm2}}) {
            ASSERT_EQ(read.has_value(), written.has_value()) << record;
            if (written) {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(*read), std::bit_cast<std::uint64_t>(*written)) << record;
            }
        }
        for (const auto& [read, written] : {std::pair{o.relief, s.relief}, {o.radiusKm, s.radiusKm},
                                            {o.highestMetres, s.highestMetres}})
            EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(written)) << record;
        EXPECT_EQ(o.view, s.view);
        EXPECT_EQ(o.erosionSteps, s.erosionSteps);
        EXPECT_EQ(o.hypsometry, s.hypsometry) << record;
    }
    // A record from before heights had a curve names none: its metres were linear.
    writeText("p.obj", "# orbivane-settings/1 --seed 1 --subdivisions 2 --iterations 3 --batch --relief 1\nv 0 0 0\n");
    EXPECT_EQ(parseWith({"--like", "p.obj"}).options.hypsometry, Hypsometry::Linear);
}

// A fine planet's .glb has a JSON chunk longer than the head that is read
// (a part's accessors each): its asset comes first, and is enough; the same
// member inside an array is not the record.
TEST(SettingsRecord, AGlbWhoseJsonOutrunsTheHeadIsReadAsFarAsItsAsset)
{
    ScopedTempDir dir;
    const std::string record = settingsRecord({42, 11, 5000, false, std::nullopt, 1.0, 6371.0, 8000.0,
                                               ClimateView::Biomes, 0});
    const auto glb = [](const std::string& asset) {
        const std::string json = R"({"asset":)" + asset + R"(,"accessors":[)" + std::string(SETTINGS_FILE_HEAD, ' ') + "]}";
        const auto n = static_cast<unsigned>(json.size());
        return std::string("glTF\2\0\0\0\0\0\0\0", 12) + std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} +
               "JSON" + json;
    };
    writeText("fine.glb", glb(R"({"version":"2.0","extras":{"seed":42,"orbivane-settings":")" + record + R"("}})"));
    writeText("listed.glb", glb(R"({"extras":[{"orbivane-settings":")" + record + R"("}]})"));
    const ParsedCommandLine parsed = parseWith({"--like", "fine.glb"});
    ASSERT_EQ(parsed.exitStatus, -1);
    EXPECT_EQ(parsed.options.answers.subdivisions, 11);
    std::string err;
    EXPECT_EQ(parseWith({"--like", "listed.glb"}, &err).exitStatus, 2);
    EXPECT_NE(err.find("larger than"), std::string::npos) << err;
}

TEST(SettingsRecord, OptionsBesideLikeWinWhereverTheyStand)
{
    ScopedTempDir dir;
    writeText("p.obj", "# " + settingsRecord({7, 3, 100, false, 30.0, 2.0, 6371.0, 8000.0, ClimateView::Biomes, 5}) +
                           "\n");
    for (const auto& args : {std::vector<const char*>{"--like", "p.obj", "--live", "--relief", "0.5", "--seed=9"},
                             std::vector<const char*>{"--seed", "9", "--relief=0.5", "--live", "--like=p.obj"}}) {
        const ParsedCommandLine parsed = parseWith(args);
        ASSERT_EQ(parsed.exitStatus, -1);
        EXPECT_EQ(parsed.options.seed, 9u);
        EXPECT_EQ(parsed.options.relief, 0.5);
        EXPECT_EQ(parsed.options.answers.render, 'y');
        EXPECT_EQ(parsed.options.answers.subdivisions, 3);
        EXPECT_EQ(parsed.options.landPercent, 30.0);
        EXPECT_EQ(parsed.options.erosionSteps, 5);
    }
}

TEST(SettingsRecord, FilesWithoutASoundRecordAreRefusedOnOneLine)
{
    ScopedTempDir dir;
    const std::string good = settingsRecord({});
    const std::string png = "\x89PNG\r\n\x1a\n";
    // A chunk: length, type, data and a CRC this reader does not check.
    const auto chunk = [](const std::string& type, const std::string& data) {
        const auto n = static_cast<unsigned>(data.size());
        return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + type + data + "CRC!";
    };
    const std::string textChunk = chunk("tEXt", "orbivane-settings" + std::string(1, '\0') + good);
    writeText("cut.png", png + textChunk.substr(0, textChunk.size() - 10));
    writeText("after.png", png + chunk("IDAT", "x") + textChunk);
    writeText("plain.ply", "ply\ncomment Orbivane planet: seed 1\nend_header\ncomment " + good + "\n");
    writeText("long.obj", "# " + good + std::string(SETTINGS_RECORD_MAX, '0') + "\n");
    writeText("later.obj", "# orbivane-settings/2 --seed 1\n");
    writeText("twice.obj", "# " + good + " --seed 3\n");
    writeText("both.obj", "# orbivane-settings/1 --live --batch\n");
    writeText("unknown.obj", "# orbivane-settings/1 --export x.ply\n");
    writeText("range.json", R"({"orbivane-settings":"orbivane-settings/1 --relief 11"})");
    writeText("nested.json", R"({"a":{"orbivane-settings":")" + good + R"("}})");
    writeText("huge.glb", std::string("glTF\2\0\0\0\0\0\0\0\xff\xff\xff\x7fJSON{}", 22));
    writeText("text.txt", "orbivane-settings/1 --seed 1\n");
    writeText("junk.tif", std::string("II*\0\x08\0\0\0junk", 12));
    ASSERT_EQ(mkfifo("fifo.png", 0600), 0);
    std::filesystem::create_directory("dir.png");
    std::filesystem::create_symlink("/dev/zero", "zero.glb");
    const std::pair<const char*, const char*> cases[] = {
        {"missing.png", "cannot be read"}, {"dir.png", "not a regular file"}, {"fifo.png", "not a regular file"},
        {"/dev/zero", "not a regular file"}, {"zero.glb", "not a regular file"}, {"cut.png", "no settings record"},
        {"after.png", "no settings record"}, {"plain.ply", "no settings record"}, {"long.obj", "longer than"},
        {"later.obj", "later version"}, {"twice.obj", "malformed"}, {"both.obj", "malformed"},
        {"unknown.obj", "malformed"}, {"range.json", "--relief takes a number above 0"},
        {"nested.json", "no settings record"}, {"huge.glb", "larger than"}, {"text.txt", "not a file Orbivane saves"},
        {"junk.tif", "is a GeoTIFF, which cannot be read: GDAL could not read it: "},
    };
    for (const auto& [file, why] : cases) {
        std::string err;
        EXPECT_EQ(parseWith({"--like", file}, &err).exitStatus, 2) << file;
        const std::string line = err.substr(0, err.find('\n'));
        EXPECT_EQ(line.rfind("orbivane: --like", 0), 0u) << err;
        EXPECT_NE(line.find(why), std::string::npos) << file << ": " << line;
    }
}

// --like walks to its file as the writers do: another user's link in a sticky
// world-writable folder, at the end or on the way, is refused before a byte of
// what it leads to is read, so no word of that file reaches the message.
TEST(SettingsRecord, LikeRefusesAnotherUsersLinkInAStickySharedFolder)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link to another user";
    struct Case { const char* path; uid_t linkOwner; bool followed; };
    const uid_t other = 4321;
    const Case cases[] = {{"shared/end.json", other, false},
                          {"shared/dir/secret.json", other, false},
                          {"shared/end.json", 0, true},
                          {"shared/dir/secret.json", 0, true}};
    for (const Case& c : cases) {
        ScopedTempDir dir;
        std::filesystem::create_directory("private");
        writeText("private/secret.json", R"({"orbivane-settings":"orbivane-settings/1 --relief RootsOwnWord"})");
        ASSERT_EQ(chmod("private", 0700), 0);
        std::filesystem::create_directory("shared");
        ASSERT_EQ(chmod("shared", 01777), 0);
        std::filesystem::create_symlink(dir.path() + "/private/secret.json", "shared/end.json");
        std::filesystem::create_symlink(dir.path() + "/private", "shared/dir");
        ASSERT_EQ(lchown("shared/end.json", c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(lchown("shared/dir", c.linkOwner, c.linkOwner), 0);
        std::string err;
        EXPECT_EQ(parseWith({"--like", c.path}, &err).exitStatus, 2) << c.path;
        const std::string line = err.substr(0, err.find('\n'));
        EXPECT_EQ(line.find("RootsOwnWord") != std::string::npos, c.followed) << line;
        if (!c.followed) {
            EXPECT_EQ(line, std::string("orbivane: --like takes a file Orbivane saved; ") + c.path +
                                " cannot be read: not following a symlink another user owns in a sticky "
                                "world-writable folder");
        }
    }
}

// GDAL reads a GeoTIFF's record and is loaded only then: when it cannot be
// (here a broken libgdal.so first on the library path), --like says so with
// the loader's reason instead of blaming the file.
TEST(SettingsRecord, LikeOnAGeoTiffWithoutGdalSaysWhyGdalCouldNotBeLoaded)
{
    ScopedTempDir dir;
    writeText("libgdal.so", "not a library\n");
    writeText("d.tif", std::string("II*\0\x08\0\0\0", 8));
    const CommandResult run = runCommand("env -u DISPLAY LD_LIBRARY_PATH=" + shellQuote(dir.path()) + " " +
                                         shellQuote(ORBIVANE_BINARY) + " --no-window --like d.tif");
    EXPECT_EQ(run.status, 2);
    const std::string line = run.err.substr(0, run.err.find('\n'));
    EXPECT_EQ(line.rfind("orbivane: --like takes a file Orbivane saved; d.tif is a GeoTIFF, which cannot be read: "
                         "GDAL could not be loaded: ", 0), 0u) << line;
    EXPECT_NE(line.find("libgdal.so: file too short"), std::string::npos) << line;
}

// Every kind of file a run saves carries its record: --like on any of them
// makes the same land, and the same glb byte for byte.
TEST(SettingsRecord, EveryFileSavedMakesThePlanetAgain)
{
    ScopedTempDir dir;
    const std::string program = "env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " --no-window ";
    const std::string made = "--seed 5 --subdivisions 2 --iterations 300 --batch --land 40 --relief 1.5 "
                             "--erosion 2 --view heights --radius-km 3000 --map-width 64 --cube-size 16 ";
    for (const char* files : {"--export a.glb --map m.png --heightmap h.png --cube-faces c --rivers r.geojson "
                              "--biome-map b.png --climate-maps k --dem d.tif --normal-map n.png --render 64x64 p.png",
                              "--export a.ply", "--export a.obj"}) {
        const CommandResult run = runCommand(program + made + files);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::string first = readFile("a.glb");
    for (const char* file : {"a.glb", "a.ply", "a.obj", "m.png", "h.png", "c-nz.png", "c-px-colour.png",
                             "c-px-normal.png", "n.png", "r.geojson", "b.png", "k-rain.png", "d.tif", "p.png"}) {
        const CommandResult again = runCommand(program + "--export again.glb --like " + file);
        ASSERT_EQ(again.status, 0) << file << ": " << again.err;
        EXPECT_TRUE(readFile("again.glb") == first) << file;
    }
    const CommandResult other = runCommand(program + "--export other.ply --like a.glb --seed 6");
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_NE(readPlyFile("other.ply").xyz, readPlyFile("a.ply").xyz);
    EXPECT_TRUE(readPlyFile("other.ply").comment.starts_with("Orbivane planet: seed 6, subdivisions 2, iterations 300"));
}

} // namespace
