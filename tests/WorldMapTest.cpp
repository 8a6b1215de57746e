#include "LandSnapshot.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "PlanetSaving.h"
#include "Planet.h"
#include "TerrainColours.h"
#include "TestSupport.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <regex>
#include <set>

namespace {

// A batch planet made from a fixed seed, its progress line kept off the output.
std::unique_ptr<Planet> planetOf(int subdivisions, int iterations, std::uint32_t seed = 11)
{
    setFixedSeed(seed);
    testing::internal::CaptureStdout();
    auto planet = std::make_unique<Planet>(subdivisions, iterations, false);
    testing::internal::GetCapturedStdout();
    setFixedSeed(std::nullopt);
    return planet;
}

float gridAt(const HeightGrid& grid, int i, int j)
{
    return grid.radius[static_cast<std::size_t>(j) * grid.width + i];
}

TEST(WorldMap, PlanetWithNoIterationsMapsFlat)
{
    auto planet = planetOf(3, 0);
    const HeightGrid grid = buildHeightGrid(*planet, 64);
    ASSERT_EQ(grid.width, 64);
    ASSERT_EQ(grid.height, 32);
    EXPECT_EQ(grid.minRadius, 1.0f);
    EXPECT_EQ(grid.maxRadius, 1.0f);
    EXPECT_TRUE(std::all_of(grid.radius.begin(), grid.radius.end(), [](float r) { return r == 1.0f; }));
    const GreyImage16 heights = heightMapOf(grid);
    EXPECT_TRUE(std::all_of(heights.grey.begin(), heights.grey.end(), [](std::uint16_t h) { return h == 0; }));
    EXPECT_EQ(heightMapComment("Orbivane planet: seed 11, subdivisions 3, iterations 0", grid),
              "Orbivane planet: seed 11, subdivisions 3, iterations 0, radius 1 to 1");
}

// Every triangle tried in turn, with nothing of the subdivision's order: the
// radius where the pixel's ray crosses the first flat triangle holding it.
double radiusByEveryTriangle(Planet& planet, const std::vector<double>& radii, const std::array<double, 3>& d)
{
    const float* soup = planet.water->vertices.data();
    for (std::size_t t = 0; t < planet.weld.faceCount(); ++t) {
        double c[3][3];
        for (int k = 0; k < 9; ++k)
            c[k / 3][k % 3] = soup[9 * t + k];
        const auto det = [&](const double* a, const double* b) {
            return d[0] * (a[1] * b[2] - a[2] * b[1]) + d[1] * (a[2] * b[0] - a[0] * b[2]) + d[2] * (a[0] * b[1] - a[1] * b[0]);
        };
        const double w[3] = {det(c[1], c[2]), det(c[2], c[0]), det(c[0], c[1])};
        const double sum = w[0] + w[1] + w[2];
        if (sum <= 0.0 && sum >= 0.0)
            continue;
        if (std::min({w[0] / sum, w[1] / sum, w[2] / sum}) < -1e-12 || d[0] * c[0][0] + d[1] * c[0][1] + d[2] * c[0][2] <= 0)
            continue;
        double r = 0;
        for (int k = 0; k < 3; ++k)
            r += std::max(w[k] / sum, 0.0) * radii[planet.weld.cornerToVertex[3 * t + k]];
        return r;
    }
    return -1.0;
}

TEST(WorldMap, LookupDownTheSubdivisionFindsTheTriangleEveryTriangleTestFinds)
{
    for (const int subdivisions : {0, 1, 3}) {
        auto planet = planetOf(subdivisions, 400);
        const std::vector<double> radii = vertexRadii(*planet, LandSnapshot(*planet));
        const HeightGrid grid = buildHeightGrid(*planet, 96);
        for (int j = 0; j < grid.height; ++j)
            for (int i = (j * 5) % 3; i < grid.width; i += 3) {
                const double expected = radiusByEveryTriangle(*planet, radii, mapDirection(i, j, grid.width));
                ASSERT_GT(expected, 0.0);
                ASSERT_NEAR(gridAt(grid, i, j), expected, 1e-6) << subdivisions << " subdivisions, pixel " << i << ", " << j;
            }
    }
}

TEST(WorldMap, PixelNearestAVertexHasTheVertexRadius)
{
    auto planet = planetOf(2, 6);
    const HeightGrid grid = buildHeightGrid(*planet, 4096);
    const GreyImage16 heights = heightMapOf(grid);
    ASSERT_LT(grid.minRadius, grid.maxRadius);
    const double step = (grid.maxRadius - grid.minRadius) / 65535.0;
    // Vertices whose neighbours all stand at their own height: around them
    // the interpolated land is flat, so the nearest pixel must match exactly.
    const IcosphereWeld& weld = planet->weld;
    const std::vector<double> radii = vertexRadii(*planet, LandSnapshot(*planet));
    std::vector<bool> level(weld.vertexCount(), true);
    for (std::size_t c = 0; c < weld.cornerToVertex.size(); ++c) {
        const std::uint32_t v = weld.cornerToVertex[c], next = weld.cornerToVertex[c - c % 3 + (c + 1) % 3];
        if (radii[v] != radii[next])
            level[v] = level[next] = false;
    }
    int tested = 0;
    for (std::size_t v = 0; v < weld.vertexCount(); ++v) {
        if (!level[v])
            continue;
        const float* p = &planet->vertices[3 * std::size_t(weld.vertexToCorner[v])];
        const double lat = std::asin(p[1] / std::hypot(p[0], p[1], p[2])), lon = std::atan2(-p[2], p[0]);
        const int i = std::clamp(int((lon + std::numbers::pi) / (2 * std::numbers::pi) * grid.width), 0, grid.width - 1);
        const int j = std::clamp(int((std::numbers::pi / 2 - lat) / std::numbers::pi * grid.height), 0, grid.height - 1);
        const double radius = radii[v];
        EXPECT_NEAR(gridAt(grid, i, j), radius, step) << "vertex " << v;
        const double stored = heights.grey[std::size_t(j) * grid.width + i];
        EXPECT_NEAR(stored, (radius - grid.minRadius) / (grid.maxRadius - grid.minRadius) * 65535.0, 1.0) << "vertex " << v;
        ++tested;
    }
    EXPECT_GT(tested, 20);
}

// The land shader's colours as GLSL has them in res/land.frag before this
// program's table generated them, to 8 bits: where the land lies between two
// bands' blends, the map shows the band's own colour.
TEST(WorldMap, ColourMapLandUsesTheShadersBandsAndTheSeaDarkensWithDepth)
{
    auto planet = planetOf(5, 5000, 2);
    const HeightGrid grid = buildHeightGrid(*planet, 256);
    const Image map = colourMapOf(grid);
    ASSERT_EQ(map.rgb.size(), std::size_t(256 * 128 * 3));
    struct Plateau {
        float from, to;
        unsigned char rgb[3];
    };
    const Plateau plateaus[] = {{0.0f, 2.0f, {222, 204, 148}},    {9.0f, 45.0f, {61, 128, 41}},
                                {80.0f, 90.0f, {117, 133, 61}},   {125.0f, 145.0f, {120, 102, 87}},
                                {175.0f, 1e9f, {245, 245, 240}}};
    std::map<float, int> seaBrightness; // by depth in steps
    int bandPixels = 0;
    for (std::size_t p = 0; p < grid.radius.size(); ++p) {
        const float steps = (grid.radius[p] - 1.0f) * 1500.0f;
        const unsigned char* rgb = &map.rgb[3 * p];
        if (steps < 0.0f) {
            EXPECT_GT(rgb[2], std::max(rgb[0], rgb[1])) << "sea at " << steps << " steps";
            seaBrightness[steps] = rgb[0] + rgb[1] + rgb[2];
        }
        for (const Plateau& plateau : plateaus)
            if (steps >= plateau.from && steps <= plateau.to) {
                EXPECT_TRUE(std::equal(rgb, rgb + 3, plateau.rgb)) << steps << " steps: " << int(rgb[0]) << ", "
                                                                   << int(rgb[1]) << ", " << int(rgb[2]);
                ++bandPixels;
            }
    }
    EXPECT_GT(bandPixels, 2000);
    ASSERT_GT(seaBrightness.size(), 1000u);
    int brightest = 0; // from the deepest up
    for (const auto& [steps, brightness] : seaBrightness) {
        EXPECT_GE(brightness, brightest) << steps;
        brightest = std::max(brightest, brightness);
    }
    EXPECT_GT(seaBrightness.rbegin()->second, seaBrightness.begin()->second + 60) << "shelves are lighter than the deep";
}

// The PNG header's width, height, bit depth and colour type, and its text.
struct PngFacts {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = -1;
    std::string text;
};

PngFacts pngFacts(const std::string& path)
{
    const std::string bytes = readFile(path);
    PngFacts facts;
    if (bytes.size() < 33 || bytes.compare(1, 3, "PNG") != 0)
        return facts;
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(bytes[at])) << 24 | std::uint32_t(std::uint8_t(bytes[at + 1])) << 16 |
               std::uint32_t(std::uint8_t(bytes[at + 2])) << 8 | std::uint8_t(bytes[at + 3]);
    };
    facts.width = be32(16);
    facts.height = be32(20);
    facts.bitDepth = std::uint8_t(bytes[24]);
    facts.colourType = std::uint8_t(bytes[25]);
    const auto text = bytes.find("tEXtComment");
    if (text != std::string::npos)
        facts.text = bytes.substr(text + 12, be32(text - 4) - 8);
    return facts;
}

CommandResult runProgram(const std::string& input, const std::string& args)
{
    return runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " " + args, input);
}

TEST(WorldMapFiles, OptionsWriteBothMapsWithTheirSizeDepthAndText)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("3\n200\nn\n", "--seed 7 --map m.png --heightmap=h.PNG --map-width 100");
    EXPECT_EQ(run.status, 0) << run.err;
    const PngFacts colour = pngFacts("m.png"), height = pngFacts("h.PNG");
    EXPECT_EQ(colour.width, 100u);
    EXPECT_EQ(colour.height, 50u);
    EXPECT_EQ(colour.bitDepth, 8);
    EXPECT_EQ(colour.colourType, 2) << "RGB";
    EXPECT_EQ(colour.text, "Orbivane planet: seed 7, subdivisions 3, iterations 200");
    EXPECT_EQ(height.width, 100u);
    EXPECT_EQ(height.height, 50u);
    EXPECT_EQ(height.bitDepth, 16);
    EXPECT_EQ(height.colourType, 0) << "greyscale";
    EXPECT_TRUE(std::regex_match(height.text, std::regex(R"(Orbivane planet: seed 7, subdivisions 3, iterations 200, )"
                                                         R"(radius 0\.9[0-9]{8} to 1\.0[0-9]{7})")))
        << height.text;
    EXPECT_NE(run.out.find("Planet (seed 7): map saved to m.png\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Planet (seed 7): height map saved to h.PNG\n"), std::string::npos) << run.out;
}

TEST(WorldMapFiles, MapThatCannotBeWrittenIsReportedAndEndsWithStatusOne)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("2\n100\nn\n", "--map missing/m.png --heightmap h.png --map-width 16");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Could not save the map missing/m.png: No such file or directory\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(pngFacts("h.png").width, 16u) << "the other map is written all the same";
}

TEST(WorldMap, AMapThreadThatCannotStartIsReportedAndNothingIsWritten)
{
    ScopedTempDir dir;
    auto planet = planetOf(2, 10);
    setThreadStarter([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    testing::internal::CaptureStdout();
    const bool saved = saveMapsOf(*planet, {SaveTarget::replacing("m.png"), std::nullopt}, 64);
    const std::string out = testing::internal::GetCapturedStdout();
    setThreadStarter({});
    EXPECT_FALSE(saved);
    EXPECT_NE(out.find("Could not start the thread that makes the maps: "), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists("m.png"));
}

} // namespace

namespace {

// Another program has just claimed the first number for its colour map: the
// pair goes on together under the next number, the height map never under 1.
TEST(WorldMapFiles, ThePairOfNumberedMapsSharesOneNumber)
{
    ScopedTempDir dir;
    auto planet = planetOf(2, 10);
    std::ofstream("P-1-map.png") << "another program's";
    testing::internal::CaptureStdout();
    const bool saved = saveMapsOf(*planet, {SaveTarget::numbered("P-", "-map.png"), SaveTarget::numbered("P-", "-height.png")}, 16);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(saved);
    EXPECT_EQ(pngFacts("P-2-map.png").width, 16u);
    EXPECT_EQ(pngFacts("P-2-height.png").width, 16u);
    EXPECT_FALSE(std::filesystem::exists("P-1-height.png"));
}

} // namespace
