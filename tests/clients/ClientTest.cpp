// Real readers of the exported meshes: the Khronos glTF validator, three.js,
// Blender's own importers and assimp. Each runs on files this process exports.
#include "Landscape.h"
#include "MeshExport.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <memory>

namespace {

namespace fs = std::filesystem;

const std::string SCRIPTS = ORBIVANE_SOURCE_DIR "/tests/clients/";
const std::string VALIDATOR_MODULES = ORBIVANE_BUILD_DIR "/client-tools/node_modules";

void exportTo(const std::string& path, const Planet& planet)
{
    const LandView land{planet.weld, planet.vertices.data(), nullptr, planet.water->vertices.data()};
    std::string error;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing(path), land, {42, planet.subdivisions, planet.iterations}, error))
        << error;
}

CommandResult blender(const std::string& arguments)
{
    return runCommand("blender -b --factory-startup --python-exit-code 1 --python " + SCRIPTS +
                      "blender_checks.py -- " + arguments + " 2>&1");
}

// As the program saves them: the biome classes as _BIOME, the legend in the
// extras; plain and compressed (N-small.glb), which the validator can read
// but not decode, and says so as information only.
TEST(GltfValidator, FindsNoErrorAndNoWarningInTheGlb)
{
    ScopedTempDir dir;
    std::string files;
    for (const char* name : {"0.glb", "5.glb", "8.glb"}) {
        const auto planet = quietPlanet(42, name[0] - '0', 2000);
        ASSERT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing(name), ClimateView::Biomes));
        const std::string small = name[0] + std::string("-small.glb");
        ASSERT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing(small), ClimateView::Biomes, {.compress = true}));
        files.append(" ").append(name).append(" ").append(small);
    }
    // Saved as the program saves it, with the rivers' line mesh.
    ASSERT_TRUE(exportPlanetTo(*quietPlanet(42, 5, 2000), SaveTarget::replacing("rivers.glb")));
    ASSERT_NE(readFile("rivers.glb").find("\"name\":\"rivers\",\"primitives\""), std::string::npos);
    const CommandResult run = runCommand("NODE_PATH=" + VALIDATOR_MODULES + " node " + SCRIPTS + "validate-glb.js" +
                                         files + " rivers.glb 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char* name : {"0", "5", "8", "0-small", "5-small", "8-small", "rivers"})
        EXPECT_NE(run.out.find(std::string(name) + ".glb: 0 errors, 0 warnings\n"), std::string::npos) << run.out;
    std::size_t undecoded = 0;
    for (std::size_t at = 0; (at = run.out.find("info UNSUPPORTED_EXTENSION /extensionsUsed/0: Cannot validate an "
                                                "extension as it is not supported by the validator: "
                                                "'EXT_meshopt_compression'.", at)) != std::string::npos; ++at)
        ++undecoded;
    EXPECT_EQ(undecoded, 3u) << run.out;
}

// three.js decodes the compressed .glb with the MeshoptDecoder it ships: the
// same meshes, counts and rivers as the plain file (whose land past 65,535
// vertices is in parts), the land's box the same to a thousandth. At 8
// subdivisions the plain file is at most 30 MB, the compressed one at most
// 12 MB and under half of it.
TEST(ThreeJs, LoadsTheCompressedGlbAsThePlainOne)
{
    ScopedTempDir dir;
    for (int subdivisions : {5, 8}) {
        const auto planet = quietPlanet(42, subdivisions, 2000);
        ASSERT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing("plain.glb"), ClimateView::Biomes));
        ASSERT_TRUE(
            exportPlanetTo(*planet, SaveTarget::replacing("small.glb"), ClimateView::Biomes, {.compress = true}));
        const CommandResult run = runCommand("NODE_PATH=" + VALIDATOR_MODULES + " node " + SCRIPTS +
                                             "load-with-three.mjs plain.glb small.glb 2>&1");
        ASSERT_EQ(run.status, 0) << run.out;
        const std::size_t second = run.out.find("small.glb: ");
        ASSERT_NE(second, std::string::npos) << run.out;
        const std::string plain = run.out.substr(0, second), small = run.out.substr(second);
        // The plain land past 65,535 vertices comes in parts, whose cuts repeat
        // a few vertices; all else is the same.
        const std::regex land("land (\\d+) vertices (\\d+ triangles)( in \\d+ parts)?");
        std::smatch plainLand, smallLand;
        ASSERT_TRUE(std::regex_search(plain, plainLand, land) && std::regex_search(small, smallLand, land)) << run.out;
        EXPECT_EQ(plainLand.suffix().str(), smallLand.suffix().str()) << run.out;
        EXPECT_EQ(plainLand[2], smallLand[2]) << run.out;
        const std::uint64_t welded = 10 * (1 << (2 * subdivisions)) + 2;
        EXPECT_EQ(std::stoull(smallLand[1]), welded) << run.out;
        EXPECT_EQ(plainLand[3].matched, subdivisions == 8) << run.out;
        EXPECT_LE(std::stoull(plainLand[1]), welded * 102 / 100) << run.out;
        EXPECT_NE(small.find("sea 10242 vertices 20480 triangles, rivers "), std::string::npos) << run.out;
        if (subdivisions == 8) {
            EXPECT_LE(fs::file_size("plain.glb"), 30'000'000u);
            EXPECT_LE(fs::file_size("small.glb"), 12'000'000u);
            EXPECT_LT(fs::file_size("small.glb") * 2, fs::file_size("plain.glb"));
        }
    }
}

// Textured as --glb-textures makes it: the two maps inside, TEXCOORD_0 with
// its seams, TANGENT.
TEST(GltfValidator, FindsNoErrorAndNoWarningInTheTexturedGlb)
{
    ScopedTempDir dir;
    std::string files;
    for (const char* name : {"0.glb", "5.glb", "8.glb"}) {
        ASSERT_TRUE(exportPlanetTo(*quietPlanet(42, name[0] - '0', 2000), SaveTarget::replacing(name),
                                   ClimateView::Biomes, {.textureWidth = 256}));
        ASSERT_NE(readFile(name).find("\"normalTexture\":{\"index\":1}"), std::string::npos) << name;
        files.append(" ").append(name);
    }
    const CommandResult run =
        runCommand("NODE_PATH=" + VALIDATOR_MODULES + " node " + SCRIPTS + "validate-glb.js" + files + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char* name : {"0.glb", "5.glb", "8.glb"})
        EXPECT_NE(run.out.find(std::string(name) + ": 0 errors, 0 warnings"), std::string::npos) << run.out;
}

// Rendered by Blender from a known side, the textured land shows land and sea
// where the colour map has them.
TEST(BlenderRender, TheTexturedGlbHasItsCoastWhereTheColourMapHasIt)
{
    ScopedTempDir dir;
    const auto planet = quietPlanet(42, 5, 2000);
    ASSERT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing("t.glb"), ClimateView::Biomes, {.textureWidth = 512}));
    ASSERT_TRUE(saveMapsOf(*planet, {SaveTarget::replacing("map.png"), std::nullopt}, 512, ClimateView::Biomes));
    const CommandResult run = runCommand("blender -b --factory-startup --python-exit-code 1 --python " + SCRIPTS +
                                         "render_coast.py -- t.glb map.png render.png 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    int agree = 0, total = 0, land = 0, sea = 0;
    const std::size_t at = run.out.find("coast: ");
    ASSERT_NE(at, std::string::npos) << run.out;
    ASSERT_EQ(std::sscanf(run.out.c_str() + at, "coast: %d of %d points agree, %d land, %d sea", &agree, &total, &land,
                          &sea), 4);
    EXPECT_GT(total, 400);
    EXPECT_GT(std::min(land, sea), total / 10) << "a coast to compare";
    EXPECT_GE(agree, total * 97 / 100) << run.out.substr(at);
}

TEST(BlenderImport, ReadsTheGlbAsLandAndSeaTheLandClosedAndOutward)
{
    ScopedTempDir dir;
    exportTo("0.glb", *quietPlanet(42, 0, 0));
    exportTo("5.glb", *quietPlanet(42, 5, 2000));
    const CommandResult run = blender("glb 0.glb 0 5.glb 5");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("glb 5.glb: land and sea, 10242 vertices each, land closed and outward"),
              std::string::npos)
        << run.out;
}

// Blender's own OBJ importer makes the OBJ's two objects, the sea at most
// five subdivisions fine; both closed, every face looking outward.
TEST(BlenderImport, ReadsTheObjAsLandAndSeaBothClosedAndOutward)
{
    ScopedTempDir dir;
    exportTo("3.obj", *quietPlanet(42, 3, 1000));
    exportTo("6.obj", *quietPlanet(42, 6, 1000));
    const CommandResult run = blender("obj 3.obj 3 6.obj 6");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("obj 6.obj: land 40962 and sea 10242 vertices, both closed and outward"),
              std::string::npos)
        << run.out;
}

// Five vertices from the lowest to the highest, as "x y z r g b" lines with
// the colour the shared colour definition gives their height, as bytes: the
// land's colour above the sea, the sea's by depth below it (the PLY holds
// no sea, so its floor is coloured as the map colours the sea; this land
// has no climate, so no ice).
std::string fiveVerticesAndTheirColours(const Planet& planet)
{
    std::vector<std::uint32_t> corners = planet.weld.vertexToCorner;
    auto radius = [&](std::uint32_t c) {
        const float* p = &planet.vertices[3 * std::size_t(c)];
        return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    };
    std::sort(corners.begin(), corners.end(), [&](auto a, auto b) { return radius(a) < radius(b); });
    std::string lines;
    for (std::size_t k = 0; k < 5; ++k) {
        const std::uint32_t c = corners[k * (corners.size() - 1) / 4];
        const float* p = &planet.vertices[3 * std::size_t(c)];
        const float steps = (radius(c) - 1.0f) * STEPS_PER_UNIT, latitude = p[1] / radius(c);
        const Rgb colour = steps < 0.0f ? openSeaColour(steps) : terrainColour(steps, latitude);
        for (float value : {p[0], p[1], p[2]}) {
            char text[32];
            lines.append(text, std::to_chars(text, text + sizeof text, value).ptr) += " ";
        }
        for (float channel : colour)
            lines += std::to_string(std::lround(channel * 255.0f)) + " ";
        lines += "\n";
    }
    return lines;
}

TEST(BlenderImport, PlyColoursAreTheTerrainColoursOfTheirHeights)
{
    ScopedTempDir dir;
    const auto planet = quietPlanet(42, 4, 5000);
    exportTo("planet.ply", *planet);
    std::ofstream("expected.txt") << fiveVerticesAndTheirColours(*planet);
    const CommandResult run = blender("ply planet.ply expected.txt");
    EXPECT_EQ(run.status, 0) << run.out;
    std::size_t checked = 0;
    for (std::size_t at = 0; (at = run.out.find(" has colour ", at)) != std::string::npos; ++at)
        ++checked;
    EXPECT_EQ(checked, 5u) << run.out;
}

TEST(AssimpImport, ReadsEveryFormatWithItsWeldedCounts)
{
    ScopedTempDir dir;
    const auto planet = quietPlanet(42, 3, 1000);
    const std::pair<const char*, const char*> cases[] = {
        {"planet.ply", "Meshes:             1\nVertices:           642\nFaces:              1280\n"},
        {"planet.obj", "Meshes:             2\nVertices:           1284\nFaces:              2560\n"},
        {"planet.glb", "Meshes:             2\nVertices:           1284\nFaces:              2560\n"},
    };
    for (const auto& [name, counts] : cases) {
        exportTo(name, *planet);
        const CommandResult run = runCommand(std::string("assimp info ") + name + " 2>&1 | grep -E '^(Meshes|Vertices|Faces): +[0-9]+$'");
        EXPECT_EQ(run.out, counts) << name;
    }
}

} // namespace
