// The climate's files as the program writes them: --biome-map, --climate-maps
// and the .glb's classes, read back by GDAL and by hand.
#include "Biomes.h"
#include "ClimateMaps.h"
#include "LandRadii.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "TestSupport.h"
#include "WorldMap.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

constexpr int WIDTH = 64;
const std::string OPTIONS = "--seed 7 --biome-map b.png --climate-maps c --export p.glb --map-width 64";
const std::string ANSWERS = "4\n2000\nn\n";
const char* const FILES[] = {"b.png", "b.json", "c-temperature.png", "c-rain.png", "p.glb", "c-rain.png.aux.xml"};

// The program's files of seed 7 in a folder of their own, and the climate
// the program computed them from.
class ClimateFiles : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new ScopedTempDir;
        run = new CommandResult(runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " " + OPTIONS, ANSWERS));
        planet = quietPlanet(7, 4, 2000).release();
        planet->shapeSettled = true;
        climate = climateOf(*planet, LandSnapshot(*planet)).get();
        land = new LandRadii(*planet);
    }
    static void TearDownTestSuite()
    {
        delete land;
        delete planet;
        delete run;
        delete dir;
    }
    void SetUp() override { ASSERT_EQ(run->status, 0) << run->out << run->err; }

    // Each pixel's three corners, row by row.
    static std::vector<PixelCorners> corners()
    {
        std::vector<PixelCorners> all(WIDTH * WIDTH / 2);
        land->lookUpCorners(WIDTH, WIDTH / 2, mapRows(WIDTH), [&](int j, const PixelCorners* row) {
            std::copy_n(row, WIDTH, &all[std::size_t(j) * WIDTH]);
        });
        return all;
    }

    static ScopedTempDir* dir;
    static CommandResult* run;
    static Planet* planet;
    static const PlanetClimate* climate;
    static LandRadii* land;
};
ScopedTempDir* ClimateFiles::dir = nullptr;
CommandResult* ClimateFiles::run = nullptr;
Planet* ClimateFiles::planet = nullptr;
const PlanetClimate* ClimateFiles::climate = nullptr;
LandRadii* ClimateFiles::land = nullptr;

// GDAL's physical value of every pixel of a map, from its .aux.xml.
std::vector<double> descaledByGdal(const std::string& map)
{
    std::string pixels;
    for (int j = 0; j < WIDTH / 2; ++j)
        for (int i = 0; i < WIDTH; ++i)
            pixels += std::to_string(i) + " " + std::to_string(j) + "\n";
    const CommandResult report = runCommand("gdallocationinfo " + shellQuote(map), pixels);
    EXPECT_EQ(report.status, 0) << report.err;
    std::vector<double> values;
    std::istringstream lines(report.out);
    for (std::string line; std::getline(lines, line);)
        if (const auto at = line.find("Descaled Value: "); at != std::string::npos)
            values.push_back(std::stod(line.substr(at + 16)));
    return values;
}

TEST_F(ClimateFiles, ClimateMapsReadBackInGdalAsDegreesAndMillimetres)
{
    if (runCommand("command -v gdallocationinfo").status != 0)
        GTEST_SKIP() << "no gdal-bin (scripts/install-deps.sh --tests installs it)";
    const std::vector<PixelCorners> pixels = corners();
    for (const auto& [kind, values, unit] : {std::tuple{"temperature", &climate->climate.temperature, "°C"},
                                            {"rain", &climate->climate.rain, "mm/a"}}) {
        const std::string map = std::string("c-") + kind + ".png";
        EXPECT_NE(readFile(map + ".aux.xml").find(std::string("<UnitType>") + unit + "</UnitType>"), std::string::npos);
        const std::vector<double> read = descaledByGdal(map);
        ASSERT_EQ(read.size(), pixels.size()) << kind;
        for (std::size_t p = 0; p < pixels.size(); ++p) {
            const PixelCorners& c = pixels[p];
            const auto [low, high] = std::minmax({(*values)[c.vertex[0]], (*values)[c.vertex[1]], (*values)[c.vertex[2]]});
            EXPECT_TRUE(read[p] >= low - 0.25 && read[p] <= high + 0.25)
                << kind << " pixel " << p << ": " << read[p] << " not within " << low << " to " << high;
        }
    }
}

TEST_F(ClimateFiles, BiomeMapHoldsTheNearestCornersClassInItsLegendsColour)
{
    const nlohmann::json legend = nlohmann::json::parse(readFile("b.json"));
    ASSERT_EQ(legend.size(), std::size_t(Biome::Count));
    Image map;
    ASSERT_TRUE(readPng("b.png", map));
    ASSERT_EQ(map.width, WIDTH);
    const std::vector<PixelCorners> pixels = corners();
    for (std::size_t p = 0; p < pixels.size(); ++p) {
        const PixelCorners& c = pixels[p];
        const std::uint32_t nearest = c.vertex[std::max_element(c.weight, c.weight + 3) - c.weight];
        const auto number = std::size_t(climate->climate.biome[nearest]);
        const nlohmann::json& entry = legend[number];
        ASSERT_EQ(entry["number"], number);
        ASSERT_EQ(entry["name"], BIOME_CLASSES[number].name);
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(entry["colour"][k], map.rgb[3 * p + k]) << "pixel " << p;
    }
}

TEST_F(ClimateFiles, GlbCarriesEachVertexsClassAndTheLegend)
{
    const std::string glb = readFile("p.glb");
    std::uint32_t jsonBytes = 0;
    std::memcpy(&jsonBytes, glb.data() + 12, 4);
    const nlohmann::json gltf = nlohmann::json::parse(glb.substr(20, jsonBytes));
    const nlohmann::json& accessor = gltf["accessors"][gltf["meshes"][0]["primitives"][0]["attributes"]["_BIOME"].get<int>()];
    EXPECT_EQ(accessor["componentType"], 5121);
    const nlohmann::json& view = gltf["bufferViews"][accessor["bufferView"].get<int>()];
    EXPECT_EQ(view["byteStride"], 4);
    const std::size_t at = 20 + jsonBytes + 8 + view["byteOffset"].get<std::size_t>();
    const std::vector<Biome>& biomes = climate->climate.biome;
    ASSERT_EQ(accessor["count"], biomes.size());
    for (std::size_t v = 0; v < biomes.size(); ++v)
        ASSERT_EQ(std::uint8_t(glb[at + 4 * v]), std::uint8_t(biomes[v])) << "vertex " << v;
    const nlohmann::json& extras = gltf["asset"]["extras"];
    EXPECT_EQ(extras["biomes"], nlohmann::json::parse(readFile("b.json")));
    EXPECT_EQ(extras["planetRadiusKm"], 6371);
    const nlohmann::json& curve = extras["heightCurve"];
    ASSERT_EQ(curve["unitsAboveSea"].size(), climate->scale.curve.units.size());
    for (std::size_t k = 0; k < climate->scale.curve.units.size(); ++k) {
        const double units = curve["unitsAboveSea"][k], metres = curve["metres"][k];
        EXPECT_EQ(units, climate->scale.curve.units[k]);
        EXPECT_DOUBLE_EQ(metres, climate->scale.elevationMetres(climate->scale.seaRadius + units)) << k;
    }
}

TEST_F(ClimateFiles, TheSameSeedGivesTheSameFilesOnOneProcessor)
{
    if (runCommand("command -v taskset").status != 0)
        GTEST_SKIP() << "no taskset";
    std::filesystem::create_directory("one");
    const CommandResult pinned = runCommand("cd one && env -u DISPLAY taskset -c 0 " + shellQuote(ORBIVANE_BINARY) +
                                                " " + OPTIONS, ANSWERS);
    ASSERT_EQ(pinned.status, 0) << pinned.err;
    for (const char* file : FILES)
        EXPECT_TRUE(readFile(file) == readFile(std::string("one/") + file)) << file;
}

} // namespace

namespace {

// The climate maps and the files beside them are one set: where one file
// cannot be placed, every one keeps the old planet, and the log says so.
TEST(ClimateMapFiles, AClimateFileThatCannotBeWrittenLeavesBothMapsOld)
{
    ScopedTempDir dir;
    const std::string program = "env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " --no-window --map-width 64 ";
    ASSERT_EQ(runCommand(program + "--seed 7 --climate-maps c", "3\n200\nn\n").status, 0);
    const char* const kept[] = {"c-temperature.png", "c-temperature.pgw", "c-temperature.png.aux.xml", "c-rain.png",
                                "c-rain.png.aux.xml"};
    std::vector<std::string> old;
    for (const char* file : kept)
        old.push_back(readFile(file));
    std::filesystem::remove("c-rain.pgw");
    std::filesystem::create_directory("c-rain.pgw");
    const CommandResult run = runCommand(program + "--seed 8 --climate-maps c", "3\n200\nn\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Could not save c-rain.pgw beside the rain map c-rain.png: Is a directory; none of the "
                           "climate maps' 6 files is saved.\n"),
              std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("map saved"), std::string::npos) << run.out;
    for (std::size_t file = 0; file < old.size(); ++file)
        EXPECT_TRUE(readFile(kept[file]) == old[file]) << kept[file] << " holds the old planet";
}

} // namespace
