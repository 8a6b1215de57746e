// How much land a river needs: the default by the mesh, --river-area on a
// planet of any size, and what a smaller area does to a generated land's rivers.
#include "Drainage.h"
#include "LandNormals.h"
#include "Planet.h"
#include "Rivers.h"
#include "Screenshot.h"
#include "TestSupport.h"

#include <algorithm>
#include <string>
#include <gtest/gtest.h>

namespace {

constexpr double SPHERE = 4.0 * 3.14159265358979323846;

// The welded vertices of the land at subdivisions.
std::size_t verticesAt(int subdivisions)
{
    return 10 * (std::size_t(1) << (2 * subdivisions)) + 2;
}

// Up to 7 subdivisions a 4000th of the sphere, as always; then the area of
// as many vertices as that was at 7, so a finer land's rivers start smaller.
TEST(RiverArea, TheDefaultKeepsCoarseLandsAndShrinksWithFinerOnes)
{
    const std::pair<int, double> shares[] = {{0, 1.0}, {5, 1.0}, {6, 1.0}, {7, 1.0}, {8, 0.25}, {9, 1.0 / 16},
                                             {12, 1.0 / 1024}};
    for (const auto& [subdivisions, share] : shares) {
        const std::size_t n = verticesAt(subdivisions);
        // Each subdivision quarters the area but for the 2 corner vertices.
        EXPECT_NEAR(defaultRiverArea(n), SPHERE / 4000.0 * share, 1e-4 * SPHERE / 4000.0 * share) << subdivisions;
        const double floor = UNIFORM_RAIN * 16.0 * SPHERE / double(n);
        EXPECT_EQ(riverThreshold(n), std::max(UNIFORM_RAIN * defaultRiverArea(n), floor)) << subdivisions;
    }
    // Coarse lands as before: the 16-vertex floor at 6, the 4000th at 7.
    EXPECT_EQ(riverThreshold(verticesAt(6)), UNIFORM_RAIN * 16.0 * SPHERE / double(verticesAt(6)));
    EXPECT_EQ(riverThreshold(verticesAt(7)), UNIFORM_RAIN * SPHERE / 4000.0);
}

// --river-area is km² on the planet --radius-km makes: the same area on a
// planet twice as large is a quarter of its sphere; never under 16 vertices.
TEST(RiverArea, AGivenAreaIsKm2OnThePlanetAndKeepsTheFloor)
{
    const std::size_t n = verticesAt(9);
    const double earth = SPHERE * 6371.0 * 6371.0;
    EXPECT_DOUBLE_EQ(riverThreshold(n, earth / 4000.0), UNIFORM_RAIN * SPHERE / 4000.0);
    EXPECT_DOUBLE_EQ(riverThreshold(n, earth / 4000.0, 2 * 6371.0), UNIFORM_RAIN * SPHERE / 16000.0);
    const double floor = UNIFORM_RAIN * 16.0 * SPHERE / double(n);
    for (const double km2 : {1e-300, 0.001, 1.0, 1000.0})
        EXPECT_EQ(riverThreshold(n, km2), floor) << km2;
    EXPECT_GT(riverThreshold(n, RIVER_AREA_KM2_MAX, 1e-3), 1e20);
}

struct RiverCount {
    std::size_t vertices = 0;
    int highestOrder = 0;
};

RiverCount countRivers(const RiverNetwork& network)
{
    RiverCount count;
    for (const std::uint8_t order : network.order) {
        count.vertices += order > 0;
        count.highestOrder = std::max(count.highestOrder, int(order));
    }
    return count;
}

// One drained land, its rivers found at ever smaller areas: each finds every
// river vertex the larger one did, and the highest order never falls.
TEST(RiverArea, ASmallerAreaGivesNoFewerRiversAndNoLowerOrder)
{
    for (const std::uint32_t seed : {2u, 11u}) {
        const auto planet = quietPlanet(seed, 6, 3000);
        std::vector<float> positions;
        gatherWelded(planet->weld, planet->vertices.data(), positions);
        const Drainage d = drainLand({planet->weld, vertexNeighbours(planet->weld), positions.data(), 1.0});
        RiverNetwork larger = findRivers(d, riverThreshold(d.vertexCount(), 1e9));
        for (const double km2 : {1e6, 3e5, 1e5, 3e4, 1e4, 1e3, 1.0}) {
            SCOPED_TRACE(km2);
            const RiverNetwork smaller = findRivers(d, riverThreshold(d.vertexCount(), km2));
            for (std::size_t v = 0; v < d.vertexCount(); ++v)
                ASSERT_TRUE(!larger.order[v] || smaller.order[v] >= larger.order[v]) << v;
            EXPECT_GE(countRivers(smaller).vertices, countRivers(larger).vertices);
            EXPECT_GE(countRivers(smaller).highestOrder, countRivers(larger).highestOrder);
            larger = smaller;
        }
        // The smallest areas all stop at the floor of 16 vertices, where a
        // land of 6 subdivisions has its rivers by default.
        EXPECT_EQ(larger.threshold, riverThreshold(d.vertexCount(), 1e-6));
        EXPECT_EQ(larger.threshold, riverThreshold(d.vertexCount()));
    }
}

// A finer land shows higher orders by default than a 4000th of the sphere
// gives it (the default of coarse lands, and of every land before).
TEST(RiverArea, TheDefaultOnAFineLandReachesHigherOrders)
{
    const auto planet = quietPlanet(3, 8, 5000);
    std::vector<float> positions;
    gatherWelded(planet->weld, planet->vertices.data(), positions);
    const Drainage d = drainLand({planet->weld, vertexNeighbours(planet->weld), positions.data(), 1.0});
    const RiverCount coarse = countRivers(findRivers(d, UNIFORM_RAIN * SPHERE / 4000.0));
    const RiverCount fine = countRivers(findRivers(d, riverThreshold(d.vertexCount())));
    EXPECT_GT(fine.highestOrder, coarse.highestOrder);
    EXPECT_GE(fine.highestOrder, 5);
    EXPECT_GT(fine.vertices, 2 * coarse.vertices);
}

// The rivers in a rivers' GeoJSON.
std::size_t riversIn(const std::string& geoJson)
{
    std::size_t count = 0;
    for (std::size_t at = geoJson.find("\"kind\":\"river\""); at != std::string::npos;
         at = geoJson.find("\"kind\":\"river\"", at + 1))
        ++count;
    return count;
}

// The colours of a PNG, whatever its texts say.
std::vector<unsigned char> pixelsOf(const std::string& path)
{
    Image image;
    EXPECT_TRUE(readPng(path, image)) << path;
    return image.rgb;
}

// --river-area reaches the rivers' files and the map's fresh water, and the
// record in the files makes the same rivers again through --like. At 5
// subdivisions the default is the 16-vertex floor: the area given is larger.
TEST(RiverArea, TheFilesTakeTheAreaAndLikeMakesTheSameRiversAgain)
{
    ScopedTempDir dir;
    const std::string program = "env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " --no-window";
    const std::string planet = " --seed 42 --subdivisions 5 --iterations 3000 --batch --map-width 256";
    for (const std::string& run : {planet + " --rivers d.geojson --map d.png",
                                   planet + " --river-area 2000000 --rivers s.geojson --map s.png",
                                   std::string(" --like s.geojson --map-width 256 --rivers l.geojson --map l.png")}) {
        const CommandResult result = runCommand(program + run);
        ASSERT_EQ(result.status, 0) << run << result.out << result.err;
    }
    const std::string byDefault = readFile("d.geojson"), large = readFile("s.geojson");
    EXPECT_EQ(byDefault.find("--river-area"), std::string::npos);
    EXPECT_NE(large.find(" --river-area 2000000\""), std::string::npos) << large.substr(0, 600);
    EXPECT_LT(riversIn(large), riversIn(byDefault));
    EXPECT_GT(riversIn(large), 0u);
    EXPECT_TRUE(pixelsOf("s.png") != pixelsOf("d.png"));
    EXPECT_TRUE(readFile("l.geojson") == large);
    EXPECT_TRUE(readFile("l.png") == readFile("s.png"));
}

} // namespace
