#include "LandRadii.h"
#include "LandSnapshot.h"
#include "Landscape.h"
#include "Orbivane.h"
#include "PlanetSaving.h"
#include "Planet.h"
#include "TerrainColours.h"
#include "TestSupport.h"
#include "ColourMap.h"
#include "CubeFaces.h"
#include "GeoTiff.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <regex>
#include <set>

// Set on a thread, its allocations of a MiB or more find no memory.
thread_local bool largeAllocationsFail = false;

// Out of line, so that no caller sees new and delete pair malloc with free.
[[gnu::noinline]] void* operator new(std::size_t bytes)
{
    void* block = largeAllocationsFail && bytes >= (1 << 20) ? nullptr : std::malloc(bytes ? bytes : 1);
    return block ? block : throw std::bad_alloc();
}

[[gnu::noinline]] void operator delete(void* block) noexcept
{
    std::free(block);
}

[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

// For the other test files: reached by name from another file, the
// thread_local went through g++'s TLS wrapper, and UBSan reported the store
// as one to a null pointer.
void failLargeAllocations(bool fail)
{
    largeAllocationsFail = fail;
}

namespace {

// A batch planet made from a fixed seed, its progress line kept off the output.
std::unique_ptr<Planet> planetOf(int subdivisions, int iterations, std::uint32_t seed = 11)
{
    return quietPlanet(seed, subdivisions, iterations);
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
    EXPECT_EQ(heightMapComment("Orbivane planet: seed 11, subdivisions 3, iterations 0", grid.minRadius, grid.maxRadius),
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
// bands' blends, the map shows the band's own colour (on flat land, near the
// equator: lowered snow, polar ice and hill shading change it elsewhere).
struct Plateau {
    float steps;
    unsigned char rgb[3];
};
const Plateau PLATEAUS[] = {{1.0f, {222, 204, 148}},
                            {27.0f, {61, 128, 41}},
                            {85.0f, {117, 133, 61}},
                            {135.0f, {120, 102, 87}},
                            {400.0f, {245, 245, 240}}};

std::array<unsigned char, 3> rgb8(const Rgb& colour)
{
    std::array<unsigned char, 3> out;
    putRgb8(colour, out.data());
    return out;
}

TEST(WorldMap, ColourMapSeaDarkensWithDepthBelowThePolarCaps)
{
    auto planet = planetOf(5, 5000, 2);
    const HeightGrid grid = buildHeightGrid(*planet, 256);
    const Image map = colourMapOf(grid);
    ASSERT_EQ(map.rgb.size(), std::size_t(256 * 128 * 3));
    std::map<float, int> seaBrightness; // by depth in steps
    for (std::size_t p = 20 * 256; p < grid.radius.size() - 20 * 256; ++p) { // within 62 degrees of the equator
        const float steps = (grid.radius[p] - 1.0f) * 1500.0f;
        const unsigned char* rgb = &map.rgb[3 * p];
        if (steps < 0.0f) {
            EXPECT_GT(rgb[2], std::max(rgb[0], rgb[1])) << "sea at " << steps << " steps";
            seaBrightness[steps] = rgb[0] + rgb[1] + rgb[2];
        }
    }
    ASSERT_GT(seaBrightness.size(), 1000u);
    int brightest = 0; // from the deepest up
    for (const auto& [steps, brightness] : seaBrightness) {
        EXPECT_GE(brightness, brightest) << steps;
        brightest = std::max(brightest, brightness);
    }
    EXPECT_GT(seaBrightness.rbegin()->second, seaBrightness.begin()->second + 60) << "shelves are lighter than the deep";
}

// A grid 256 wide of land `steps` high at pixel (128, 64), just south of the
// equator, rising by `east` and `south` steps a pixel.
HeightGrid slopeGrid(float steps, double east, double south)
{
    HeightGrid grid;
    grid.width = 256;
    grid.height = 128;
    for (int j = 0; j < grid.height; ++j)
        for (int i = 0; i < grid.width; ++i)
            grid.radius.push_back(float(1.0 + (steps + east * (i - 128) + south * (j - 64)) / 1500.0));
    grid.minRadius = *std::min_element(grid.radius.begin(), grid.radius.end());
    grid.maxRadius = *std::max_element(grid.radius.begin(), grid.radius.end());
    return grid;
}

// The light comes from the north-west: a slope facing it is lighter than
// flat land, one facing away darker, and flat land keeps its band's colour.
TEST(WorldMap, HillShadingLightsNorthWestSlopesAndLeavesFlatLandItsColour)
{
    struct Slope {
        const char* facing;
        double east, south; // steps a pixel
        int lighter;        // than flat land: 1, -1, or 0 for exactly the same
    };
    const Slope slopes[] = {{"north-west", 8, 8, 1}, {"south-east", -8, -8, -1}, {"east", -10, 0, -1},
                            {"north", 0, 10, 1},     {"flat", 0, 0, 0}};
    for (const Plateau& plateau : PLATEAUS)
        for (const Slope& slope : slopes) {
            const Image map = colourMapOf(slopeGrid(plateau.steps, slope.east, slope.south));
            const unsigned char* shaded = &map.rgb[3 * (64 * 256 + 128)];
            const int difference = shaded[0] + shaded[1] + shaded[2] - plateau.rgb[0] - plateau.rgb[1] - plateau.rgb[2];
            const std::string at = std::string(slope.facing) + " at " + std::to_string(plateau.steps) + " steps";
            if (slope.lighter == 0)
                EXPECT_TRUE(std::equal(shaded, shaded + 3, plateau.rgb)) << at;
            else
                EXPECT_GT(difference * slope.lighter, 2) << at;
        }
}

// The hill shade of pixel (i, j) of grid, as the colour map shades it.
float shadeAt(const HeightGrid& grid, int i, int j, float seaRadius = 1.0f)
{
    std::vector<float> row(grid.width);
    hillShadeRow(grid, mapRows(grid.width), j, seaRadius, row.data());
    return row[i];
}

// On the longitude/latitude grid a degree of longitude narrows towards the
// poles: the same slope, east-facing, shades alike at every latitude.
TEST(WorldMap, HillShadingMeasuresEastWestSlopesOverTheNarrowingDegrees)
{
    HeightGrid grid;
    grid.width = 1024;
    grid.height = 512;
    const double cell = std::numbers::pi / grid.height, gradient = 0.3; // radius per radian of ground
    for (int j = 0; j < grid.height; ++j) {
        const double latitude = std::numbers::pi / 2 - (j + 0.5) * cell;
        for (int i = 0; i < grid.width; ++i)
            grid.radius.push_back(float(1.05 + gradient * cell * std::cos(latitude) * (512 - i)));
    }
    const float equator = shadeAt(grid, 512, 256);
    EXPECT_LT(equator, shadeAt(slopeGrid(27, 0, 0), 128, 64)) << "an east-facing slope is darker than flat land";
    for (const int row : {170, 85, 28, 3}) // 30, 60, 80 and 89 degrees north
        EXPECT_NEAR(shadeAt(grid, 512, row), equator, 2e-3) << "row " << row;
}

// A smooth land of waves some 15 degrees long, rising up to about 15 steps
// either way, at unit direction d.
double wavyLand(const std::array<double, 3>& d)
{
    return 1.02 +
           0.005 * (std::sin(23 * d[0] + 5 * d[1]) * std::cos(19 * d[2] - 7 * d[1]) + std::sin(25 * d[1] + 11 * d[0]));
}

HeightGrid gridOfLand(const std::function<double(const std::array<double, 3>&)>& land, int width)
{
    HeightGrid grid;
    grid.width = width;
    grid.height = width / 2;
    for (int j = 0; j < grid.height; ++j)
        for (int i = 0; i < grid.width; ++i)
            grid.radius.push_back(float(land(mapDirection(i, j, width))));
    return grid;
}

// The poles shade like any other place: the same land turned a quarter
// round the z axis, so that what lay on the equator at longitude 0 lies at
// the north pole, shades there as it did on the equator (the light's part
// along the ground, turned with it, is the same there). Compared pixel by
// pixel within 2 degrees of the pole, each against the pixel of the land as
// it was that holds the same ground.
TEST(WorldMap, HillShadingAtThePoleIsTheEquatorsTurnedThere)
{
    constexpr int WIDTH = 2048;
    const HeightGrid equator = gridOfLand(wavyLand, WIDTH);
    // Turned: the point at (x, y, z) comes from (y, -x, z) of the land as it was.
    const HeightGrid pole = gridOfLand([](const std::array<double, 3>& d) { return wavyLand({d[1], -d[0], d[2]}); }, WIDTH);
    const RowDirections rows = mapRows(WIDTH);
    std::vector<std::vector<float>> shades(equator.height, std::vector<float>(WIDTH));
    for (int j = 0; j < equator.height; ++j)
        hillShadeRow(equator, rows, j, 1.0f, shades[j].data());
    std::vector<float> polar(WIDTH);
    double largest = 0.0, spread = 0.0; // spread: of the shades on the equator compared, about the first
    float first = -1.0f;
    for (int j = 0; j * 180.0 / pole.height < 2.0; ++j) {
        hillShadeRow(pole, rows, j, 1.0f, polar.data());
        for (int i = 0; i < WIDTH; ++i) {
            const std::array<double, 3> d = mapDirection(i, j, WIDTH), was = {d[1], -d[0], d[2]};
            const double lon = std::atan2(-was[2], was[0]), lat = std::asin(was[1]);
            const int wi = std::clamp(int((lon + std::numbers::pi) / (2 * std::numbers::pi) * WIDTH), 0, WIDTH - 1);
            const int wj = std::clamp(int((std::numbers::pi / 2 - lat) / std::numbers::pi * pole.height), 0, pole.height - 1);
            largest = std::max(largest, double(std::fabs(polar[i] - shades[wj][wi])));
            first = first < 0.0f ? shades[wj][wi] : first;
            spread = std::max(spread, double(std::fabs(shades[wj][wi] - first)));
        }
    }
    EXPECT_LT(largest, 0.01) << "the most a pixel near the pole differs from the same ground on the equator";
    EXPECT_GT(spread, 0.02) << "the land compared is not flat: its shades differ";
}

// Snow lies lower towards either pole, at the same height that shows its
// band on the equator, but never down to the lowland: no latitude lays a cap
// of ice or snow on land or sea: the climate's ice (iceCovered) does, over
// land and sea alike.
TEST(WorldMap, SnowByLatitudeIceOnlyFromTheClimate)
{
    const auto ice = rgb8(TERRAIN.ice.colour);
    const auto snow = rgb8(TERRAIN.bands[3].colour);
    const float sin60 = std::sqrt(3.0f) / 2.0f;
    struct Case {
        float steps, latitude;
        std::array<unsigned char, 3> expected;
    };
    const Case cases[] = {
        {27, 0, {61, 128, 41}}, {27, 1, {61, 128, 41}}, {27, -1, {61, 128, 41}}, {80, 1, snow}, {80, -1, snow},
        {135, 0, {120, 102, 87}}, {135, sin60, snow}, {135, -sin60, snow}, {400, 0.5f, snow},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rgb8(terrainColour(c.steps, c.latitude)), c.expected) << c.steps << " steps, latitude " << c.latitude;
    for (const float depth : {-1.0f, -100.0f, -1000.0f}) {
        for (const float latitude : {-1.0f, 0.0f, 1.0f})
            EXPECT_EQ(rgb8(terrainColour(depth, latitude)), rgb8(terrainColour(depth, 0.5f))) << depth;
        EXPECT_GT(openSeaColour(depth)[2], 2 * openSeaColour(depth)[0]) << "blue sea, " << depth;
        EXPECT_EQ(rgb8(iceCovered(openSeaColour(depth), 1.0f)), ice) << depth;
        EXPECT_EQ(rgb8(iceCovered(openSeaColour(depth), 0.0f)), rgb8(openSeaColour(depth))) << depth;
    }
    EXPECT_EQ(rgb8(iceCovered(terrainColour(27, 0), 1.0f)), ice);
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
    EXPECT_TRUE(std::regex_match(colour.text, std::regex(R"(Orbivane planet: seed 7, subdivisions 3, iterations 200, )"
                                                         R"(batch generation, planet radius 6371 km, elevation -[0-9]+ to 8000 m )"
                                                         R"(on Earth's hypsometric curve)")))
        << colour.text;
    EXPECT_EQ(height.width, 100u);
    EXPECT_EQ(height.height, 50u);
    EXPECT_EQ(height.bitDepth, 16);
    EXPECT_EQ(height.colourType, 0) << "greyscale";
    EXPECT_TRUE(std::regex_match(height.text, std::regex(R"(Orbivane planet: seed 7, subdivisions 3, iterations 200, )"
                                                         R"(batch generation, planet radius 6371 km, elevation -[0-9]+ to 8000 m )"
                                                         R"(on Earth's hypsometric curve, radius 0\.9[0-9]{8} to 1\.0[0-9]{7}, )"
                                                         R"(samples linear in elevation from -[0-9.]+ to [0-9.]+ m)")))
        << height.text;
    EXPECT_NE(run.out.find("Planet (seed 7): map saved to m.png\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Planet (seed 7): height map saved to h.PNG\n"), std::string::npos) << run.out;
}

TEST(WorldMapFiles, MapThatCannotBeWrittenIsReportedAndEndsWithStatusOne)
{
    ScopedTempDir dir;
    // A folder in the map's place: its own folder is fine, so only the save finds it out.
    std::filesystem::create_directory("m.png");
    const CommandResult run = runProgram("2\n100\nn\n", "--map m.png --heightmap h.png --map-width 16");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Could not save the map m.png: Is a directory\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(pngFacts("h.png").width, 16u) << "the other map is written all the same";
}

// gdalinfo's report of a file, or a failure when GDAL is missing: CI installs
// gdal-bin (scripts/install-deps.sh --tests).
std::string gdalinfo(const std::string& path)
{
    const CommandResult run = runCommand("gdalinfo " + shellQuote(path));
    EXPECT_EQ(run.status, 0) << "gdalinfo " << path << " (gdal-bin installed?): " << run.err;
    return run.out;
}

TEST(WorldMapFiles, GdalReadsWhereEveryMapPixelLiesWithNoWorkByHand)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("3\n200\nn\n", "--seed 7 --map m.png --heightmap h.PNG --map-width 100");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile("m.pgw"), "3.6\n0\n0\n-3.6\n-178.2\n88.2\n");
    EXPECT_EQ(readFile("h.pgw"), readFile("m.pgw"));
    for (const std::string map : {"m.png", "h.PNG"}) {
        const std::string report = gdalinfo(map);
        for (const std::string& line : std::vector<std::string>{
                 "Files: " + map + "\n       " + map + ".aux.xml\n", "Coordinate System is:\nGEOGCRS[\"Orbivane planet\"",
                 "Origin = (-180.000000000000000,90.000000000000000)\n",
                 "Pixel Size = (3.600000000000000,-3.600000000000000)\n", "Lower Right ( 180.0000000, -90.0000000)",
                 "Data axis to CRS axis mapping: 1,2\n"})
            EXPECT_NE(report.find(line), std::string::npos) << line << " in\n" << report;
    }
    EXPECT_NE(gdalinfo("h.PNG").find("Unit Type: m\n"), std::string::npos) << "the height map's samples in metres";
}

// Each map option given a .tif name writes a cloud-optimised GeoTIFF that
// holds its georeferencing, the header and its band's unit itself: nothing
// is written beside it but the biome legend.
TEST(WorldMapFiles, MapsNamedTifAreCloudOptimisedGeoTiffsThatStandAlone)
{
    ScopedTempDir dir;
    const CommandResult run = runProgram("3\n200\nn\n", "--seed 7 --map m.tif --heightmap h.TIF --dem d.tif "
                                                        "--biome-map b.tif --climate-maps c.tif --map-width 64");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Planet (seed 7): DEM saved to d.tif\n"), std::string::npos) << run.out;
    const std::vector<std::pair<std::string, std::string>> maps = {
        {"m.tif", "Type=Byte, ColorInterp=Red"}, {"h.TIF", "Unit Type: m\n"}, {"d.tif", "Type=Float32"},
        {"b.tif", "ColorInterp=Palette"}, {"c-temperature.tif", "Unit Type: °C\n"}, {"c-rain.tif", "Unit Type: mm/a\n"}};
    std::set<std::string> expected = {"b.json"};
    for (const auto& [map, band] : maps) {
        expected.insert(map);
        const std::string report = gdalinfo(map);
        for (const std::string& line : {std::string("Driver: GTiff/GeoTIFF\nFiles: ") + map + "\n",
                                        std::string("LAYOUT=COG"), std::string("GEOGCRS[\"Orbivane planet\""),
                                        std::string("Origin = (-180.000000000000000,90.000000000000000)\n"),
                                        std::string("TIFFTAG_IMAGEDESCRIPTION=Orbivane planet: seed 7, subdivisions 3, "),
                                        band})
            EXPECT_NE(report.find(line), std::string::npos) << line << " in\n" << report;
    }
    EXPECT_NE(gdalinfo("d.tif").find("PREDICTOR=3"), std::string::npos) << "elevations through the float predictor";
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().extension() != ".log")
            written.insert(entry.path().filename());
    EXPECT_EQ(written, expected);
}

// A GeoTIFF wider or higher than one 512 px tile keeps overviews halving it
// down to one tile, filled from the picture (a ramp east, in metres, seen
// the same at every level, odd sides' last rows included; gdallocationinfo
// takes full-size pixels); one tile has none.
TEST(WorldMapFiles, GeoTiffOverviewsHalveThePictureDownToOneTile)
{
    ScopedTempDir dir;
    const std::vector<std::pair<int, std::string>> cases = {{1100, "Overviews: 550x275, 275x138\n"}, {512, ""}};
    for (const auto& [width, overviews] : cases) {
        FloatImage ramp{width, width / 2, std::vector<float>(std::size_t(width) * (width / 2))};
        for (std::size_t p = 0; p < ramp.value.size(); ++p)
            ramp.value[p] = float(p % width) * 1000.0f / float(width);
        std::string error;
        SafeFile file(SaveTarget::replacing("ramp.tif"));
        ASSERT_TRUE(encodeGeoTiff(file, ramp, "header", {6371000.0, std::nullopt}, error)) << error;
        ASSERT_TRUE(file.commit());
        const std::string report = gdalinfo("ramp.tif");
        EXPECT_EQ(report.find("Overviews:") != std::string::npos, !overviews.empty()) << width << "\n" << report;
        EXPECT_NE(report.find(overviews), std::string::npos) << width << "\n" << report;
        if (!overviews.empty()) {
            // Elevations are averaged: the first level's pixel 412 (where
            // gdallocationinfo puts full-size column 824) is the mean of
            // columns 824 and 825; the second's last row, over one row of the
            // first (275 high), is the mean of that row alone.
            const CommandResult first = runCommand("gdallocationinfo -valonly -overview 1 ramp.tif 824 240");
            EXPECT_NEAR(std::stod(first.out), (824 + 825) / 2.0 * 1000 / 1100, 1e-3) << first.out << first.err;
            for (const char* row : {"240", "549"}) {
                const CommandResult east =
                    runCommand(std::string("gdallocationinfo -valonly -overview 2 ramp.tif 825 ") + row);
                EXPECT_NEAR(std::stod(east.out), 750.0, 5.0) << row << ": " << east.out << east.err;
            }
        }
    }
}

// GDAL's refusal is the map's failure, with GDAL's reason; nothing is written.
TEST(WorldMap, AGeoTiffGdalCannotMakeFailsWithGdalsReason)
{
    ScopedTempDir dir;
    std::string error;
    {
        SafeFile file(SaveTarget::replacing("empty.tif"));
        EXPECT_FALSE(encodeGeoTiff(file, GreyImage16{}, "header", {}, error));
    }
    EXPECT_EQ(error.rfind("GDAL could not hold the map: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::string("GDAL could not hold the map: ").size());
    EXPECT_FALSE(std::filesystem::exists("empty.tif"));
}

// A map whose world file or coordinate system cannot be written has failed,
// with the reason. A numbered map's sidecar lands on the map's N or nowhere:
// when another file took that name, the copy that went elsewhere is removed.
TEST(WorldMap, AMapWhoseSidecarCannotBeWrittenHasFailed)
{
    ScopedTempDir dir;
    auto planet = planetOf(2, 10);
    std::ofstream("Orbivane-3-1-map.png.aux.xml") << "someone else's\n";
    testing::internal::CaptureStdout();
    const bool saved = saveMapsOf(*planet, {SaveTarget::numbered("Orbivane-3-", "-map.png"), std::nullopt}, 32);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(saved);
    EXPECT_NE(out.find("Could not save Orbivane-3-1-map.png.aux.xml beside the map Orbivane-3-1-map.png: File exists; "
                       "none of the three files is saved.\n"),
              std::string::npos) << out;
    EXPECT_EQ(out.find("map saved"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists("Orbivane-3-2-map.png.aux.xml")) << "no sidecar under another number";
    EXPECT_FALSE(std::filesystem::exists("Orbivane-3-1-map.png")) << "no map without its sidecars";
    EXPECT_EQ(readFile("Orbivane-3-1-map.png.aux.xml"), "someone else's\n");
}

TEST(WorldMapFiles, CubeFacesOptionWritesEighteenFacesOrSaysWhyNot)
{
    ScopedTempDir dir;
    CommandResult run = runProgram("3\n200\nn\n3\n200\nn\n", "--seed 7 --no-window --cube-faces f --cube-size 16");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Planet (seed 7): cube faces saved to f-{px,nx,py,ny,pz,nz}{,-colour,-normal}.png\n"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("cube faces saved to f-{px,nx,py,ny,pz,nz}{,-colour,-normal}-2.png\n"), std::string::npos)
        << "the second planet's faces as written: " << run.out;
    EXPECT_TRUE(std::filesystem::exists("f-nz-normal-2.png"));
    for (const char* face : CUBE_FACE_NAMES) {
        const PngFacts height = pngFacts(std::string("f-") + face + ".png"),
                       colour = pngFacts(std::string("f-") + face + "-colour.png"),
                       normal = pngFacts(std::string("f-") + face + "-normal.png");
        EXPECT_TRUE(height.width == 16 && height.height == 16 && height.bitDepth == 16 && height.colourType == 0) << face;
        EXPECT_TRUE(colour.width == 16 && colour.height == 16 && colour.bitDepth == 8 && colour.colourType == 2) << face;
        EXPECT_TRUE(normal.width == 16 && normal.height == 16 && normal.bitDepth == 8 && normal.colourType == 2) << face;
        EXPECT_EQ(height.text.rfind("Orbivane planet: seed 7, subdivisions 3, iterations 200, batch generation, "
                                    "planet radius 6371 km, ", 0), 0u);
    }
    std::filesystem::create_directory("g-nz-colour.png"); // the last face's place taken
    run = runProgram("2\n100\nn\n", "--cube-faces g --cube-size 16");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Could not save the cube face g-nz-colour.png: Is a directory; none of the faces "
                           "is saved.\n"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists("g-px.png")) << "the faces appear together or not at all";
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

// The colour map finds no memory on its thread while the height map is
// written: each map is reported by itself, the one saved as saved.
TEST(WorldMap, AMapWithoutMemoryIsReportedByItselfBesideTheOneSaved)
{
    ScopedTempDir dir;
    auto planet = planetOf(2, 10);
    setThreadStarter([](std::function<void()> body) {
        return std::thread([body = std::move(body)] {
            largeAllocationsFail = true;
            body();
        });
    });
    testing::internal::CaptureStdout();
    const bool saved = saveMapsOf(*planet, {SaveTarget::replacing("m.png"), SaveTarget::replacing("h.png")}, 1024);
    const std::string out = testing::internal::GetCapturedStdout();
    setThreadStarter({});
    EXPECT_FALSE(saved);
    EXPECT_NE(out.find("Could not save the map m.png: not enough memory\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Planet (seed 11): height map saved to h.png\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("they are not saved"), std::string::npos) << out;
    for (const char* file : {"h.png", "h.pgw", "h.png.aux.xml", "m.png"})
        EXPECT_EQ(std::filesystem::exists(file), file[0] == 'h') << file;
}

// Another program has just claimed the first number for its colour map: the
// pair goes on together under the next number, the height map never under 1.
TEST(WorldMapFiles, ThePairOfNumberedMapsSharesOneNumber)
{
    ScopedTempDir dir;
    auto planet = planetOf(2, 10);
    std::ofstream("P-1-map.png") << "another program's";
    testing::internal::CaptureStdout();
    const bool saved = saveMapsOf(*planet,
                                  {.colour = SaveTarget::numbered("P-", "-map.png"),
                                   .height = SaveTarget::numbered("P-", "-height.png"),
                                   .normal = SaveTarget::numbered("P-", "-normal.png")},
                                  16);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(saved);
    EXPECT_EQ(pngFacts("P-2-map.png").width, 16u);
    EXPECT_EQ(pngFacts("P-2-height.png").width, 16u);
    EXPECT_EQ(pngFacts("P-2-normal.png").width, 16u);
    EXPECT_TRUE(std::filesystem::exists("P-2-normal.pgw"));
    EXPECT_FALSE(std::filesystem::exists("P-1-height.png") || std::filesystem::exists("P-1-normal.png"));

    // The eighteen cube faces likewise take the number their first face took.
    std::ofstream("P-1-px.png") << "another program's";
    testing::internal::CaptureStdout();
    EXPECT_TRUE(saveCubeFacesOf(*planet, [](const std::string& ending) { return SaveTarget::numbered("P-", ending); }, 16));
    testing::internal::GetCapturedStdout();
    for (const char* face : CUBE_FACE_NAMES)
        EXPECT_TRUE(std::filesystem::exists(std::string("P-2-") + face + "-colour.png") &&
                    !std::filesystem::exists(std::string("P-1-") + face + "-colour.png")) << face;
}

// A map with its sidecars, and the eighteen cube faces, are each one set: when
// its last member cannot be placed (a folder in the way), every old member
// stays as it was, no new one appears and no temporary file is left.
TEST(WorldMapFiles, ASetWhoseLastMemberCannotBePlacedLeavesEveryOldMember)
{
    ScopedTempDir dir;
    auto planet = planetOf(2, 10);
    for (const std::string& name : {std::string("m.png"), std::string("m.pgw"), std::string("f-px.png")})
        std::ofstream(name) << "old " << name;
    std::filesystem::create_directory("m.png.aux.xml");
    std::filesystem::create_directory("f-nz-normal.png");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(saveMapsOf(*planet, {SaveTarget::replacing("m.png"), std::nullopt}, 16));
    EXPECT_FALSE(saveCubeFacesOf(*planet, [](const std::string& ending) { return SaveTarget::replacing("f" + ending); }, 16));
    const std::string out = testing::internal::GetCapturedStdout();
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Orbivane.log", "f-nz-normal.png", "f-px.png", "m.png", "m.png.aux.xml",
                                            "m.pgw"})) << out;
    for (const std::string& name : {std::string("m.png"), std::string("m.pgw"), std::string("f-px.png")})
        EXPECT_EQ(readFile(name), "old " + name);
    EXPECT_NE(out.find("Could not save m.png.aux.xml beside the map m.png: Is a directory; none of the three files is "
                       "saved.\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Could not save the cube face f-nz-normal.png: Is a directory; none of the faces is saved.\n"),
              std::string::npos) << out;
}

} // namespace
