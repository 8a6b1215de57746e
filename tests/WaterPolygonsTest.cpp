// The water's polygons on the map: hand-made regions with known answers
// (across the antimeridian, round a pole, an island in a lake, a region that
// holds the whole antimeridian) and a generated planet's land and lakes
// against its own height grid.
#include "LandNormals.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "SavedPlanet.h"
#include "TestSupport.h"
#include "WaterLayers.h"
#include "WorldMap.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <set>

namespace {

// The map's rules every ring keeps: closed, at least a triangle, no point
// twice, no step across the antimeridian (but along a pole's edge), inside the map, and turning the way
// its place asks (exterior counter-clockwise, holes clockwise).
void expectSound(const MapRing& ring, bool exterior)
{
    ASSERT_GE(ring.size(), 4u);
    EXPECT_EQ(ring.front(), ring.back()) << "closed";
    std::set<MapPoint> seen(ring.begin(), ring.end() - 1);
    EXPECT_EQ(seen.size(), ring.size() - 1) << "a point repeated: the ring touches itself";
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        const bool alongPole = ring[i][1] == ring[i + 1][1] && std::abs(ring[i][1]) == 90.0;
        EXPECT_TRUE(alongPole || std::abs(ring[i + 1][0] - ring[i][0]) <= 180.0) << "a step across the antimeridian";
        EXPECT_LE(std::abs(ring[i][0]), 180.0);
        EXPECT_LE(std::abs(ring[i][1]), 90.0);
    }
    EXPECT_EQ(signedArea(ring) > 0.0, exterior) << "orientation";
}

void expectSound(const std::vector<MapPolygon>& polygons)
{
    for (const MapPolygon& polygon : polygons) {
        expectSound(polygon.exterior, true);
        for (const MapRing& hole : polygon.holes) {
            expectSound(hole, false);
            EXPECT_TRUE(insideRing(polygon.exterior, hole[0]));
        }
    }
}

// A region made by hand on the unit icosphere: the welded vertices a test
// says are in it, outlined where the test's function crosses zero.
struct HandRegion {
    explicit HandRegion(int subdivisions) : planet(quietPlanet(1, subdivisions, 0))
    {
        std::vector<float> welded;
        gatherWelded(planet->weld, planet->vertices.data(), welded);
        directions.assign(welded.begin(), welded.end());
        for (std::size_t v = 0; v < directions.size(); v += 3) {
            const double length = std::hypot(directions[v], directions[v + 1], directions[v + 2]);
            for (int k = 0; k < 3; ++k)
                directions[v + k] /= length;
        }
    }
    // value > 0 inside the region.
    std::vector<MapPolygon> polygons(const std::function<double(const double*)>& value)
    {
        std::vector<double> values(directions.size() / 3);
        std::vector<std::uint32_t> regionOf(values.size());
        for (std::size_t v = 0; v < values.size(); ++v) {
            values[v] = value(&directions[3 * v]);
            regionOf[v] = values[v] > 0.0 ? 0 : Regions::NONE;
        }
        const Regions regions{regionOf, [&](std::uint32_t in, std::uint32_t out) {
                                  return values[in] / (values[in] - values[out]);
                              }};
        return mapPolygons(outlines(planet->weld, directions, regions));
    }
    std::unique_ptr<Planet> planet;
    std::vector<double> directions;
};

double capArea(double cosine)
{
    return 2.0 * std::numbers::pi * (1.0 - cosine);
}

// A cap of the given cosine round direction c.
std::function<double(const double*)> cap(std::array<double, 3> c, double cosine)
{
    return [=](const double* d) { return d[0] * c[0] + d[1] * c[1] + d[2] * c[2] - cosine; };
}

TEST(WaterPolygons, RegionsOfKnownShape)
{
    HandRegion hand(5);
    struct Case {
        const char* name;
        std::function<double(const double*)> value;
        std::size_t polygons, holes;
        double area; // steradians
        bool touchesPole, touchesAntimeridian;
    };
    const std::vector<Case> cases = {
        {"cap round the north pole", cap({0, 1, 0}, 0.8), 1, 0, capArea(0.8), true, true},
        {"cap round the south pole", cap({0, -1, 0}, 0.7), 1, 0, capArea(0.7), true, true},
        {"cap across the antimeridian", cap({-1, 0, 0}, 0.9), 2, 0, capArea(0.9), false, true},
        {"cap at longitude 90 east", cap({0, 0, -1}, 0.9), 1, 0, capArea(0.9), false, false},
        {"band round the equator", [](const double* d) { return 0.3 - std::abs(d[1]); }, 1, 0,
         4 * std::numbers::pi * 0.3, false, true},
        {"lake with an island", [](const double* d) { return std::min(d[0] - 0.8, 0.95 - d[0]); }, 1, 1,
         capArea(0.8) - capArea(0.95), false, false},
        {"all but a cap on the meridian", [](const double* d) { return 0.9 - d[0]; }, 1, 1,
         4 * std::numbers::pi - capArea(0.9), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MapPolygon> polygons = hand.polygons(c.value);
        expectSound(polygons);
        ASSERT_EQ(polygons.size(), c.polygons);
        std::size_t holes = 0;
        double area = 0.0, northmost = -90.0, southmost = 90.0, eastmost = -180.0, westmost = 180.0;
        for (const MapPolygon& polygon : polygons) {
            holes += polygon.holes.size();
            area += sphericalArea(polygon);
            for (const MapPoint& p : polygon.exterior) {
                northmost = std::max(northmost, p[1]), southmost = std::min(southmost, p[1]);
                eastmost = std::max(eastmost, p[0]), westmost = std::min(westmost, p[0]);
            }
        }
        EXPECT_EQ(holes, c.holes);
        EXPECT_NEAR(area, c.area, 0.02 * c.area) << "area on the sphere";
        EXPECT_EQ(northmost == 90.0 || southmost == -90.0, c.touchesPole);
        EXPECT_EQ(eastmost == 180.0 && westmost == -180.0, c.touchesAntimeridian);
    }
}

// A direction at longitude and latitude in degrees; on the antimeridian
// exactly as a vertex there is (z = 0, longitude -180).
std::array<double, 3> at(double lon, double lat)
{
    const double l = lon * std::numbers::pi / 180.0, b = lat * std::numbers::pi / 180.0;
    if (lon == 180.0)
        return {-std::cos(b), std::sin(b), 0.0};
    return {std::cos(b) * std::cos(l), std::sin(b), -std::cos(b) * std::sin(l)};
}

TEST(WaterPolygons, PointsOnTheAntimeridian)
{
    // A ring that touches the antimeridian from the east and one across it
    // through a point on it.
    const Outline touching{0, {at(178, 0), at(179, -1), at(180, 0), at(179, 1), at(178, 0)}};
    const Outline across{1, {at(179, 0), at(180, -1), at(-179, 0), at(180, 1), at(179, 0)}};
    const std::vector<MapPolygon> polygons = mapPolygons({touching, across});
    expectSound(polygons);
    ASSERT_EQ(polygons.size(), 3u);
    EXPECT_EQ(polygons[0].exterior.size(), 5u) << "the touching ring stays whole";
    EXPECT_NEAR(sphericalArea(polygons[1]), sphericalArea(polygons[2]), 1e-9) << "cut in halves";
    // A river that starts on the antimeridian: one part, not a point on its own.
    const auto parts = mapLine({at(180, 10), at(179.5, 10.5), at(179, 11)});
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].size(), 3u);
}

TEST(WaterPolygons, RiverAcrossTheAntimeridianIsCutInTwo)
{
    const double s = std::sin(0.01), c = std::cos(0.01);
    const auto parts = mapLine({{-c, 0.0, -s}, {-c, 0.1, s}, {-c, 0.2, 2 * s}});
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].back()[0], 180.0);
    EXPECT_EQ(parts[1].front()[0], -180.0);
    EXPECT_EQ(parts[0].back()[1], parts[1].front()[1]);
    EXPECT_EQ(parts[1].size(), 3u);
}

// Land and lakes of a generated planet: sound rings, and the land's polygons
// filled on a map agree with the land of the map's height grid.
TEST(WaterPolygons, GeneratedLandAgreesWithTheHeightGrid)
{
    for (const std::uint32_t seed : {2u, 11u}) {
        SCOPED_TRACE(seed);
        const std::unique_ptr<Planet> planet = quietPlanet(seed, 6, 3000);
        const LandSnapshot land(*planet);
        const LandWater water = waterOf(*planet, land);
        const std::vector<MapPolygon> polygons = landPolygons(water, planet->weld, planet->shape.seaRadius);
        expectSound(polygons);
        PhysicalScale scale;
        scale.seaRadius = planet->shape.seaRadius;
        scale.metresPerUnit = 1000.0;
        for (const LakeShape& lake : waterLayers(water, planet->weld, scale).lakes) {
            expectSound(lake.polygons);
            EXPECT_GT(lake.depthMetres, 0.0);
        }
        const int width = 360;
        const HeightGrid grid = buildHeightGrid(*planet, land, width);
        int agree = 0;
        for (int j = 0; j < grid.height; ++j)
            for (int i = 0; i < width; ++i) {
                const MapPoint p{-180.0 + (i + 0.5) * 360.0 / width, 90.0 - (j + 0.5) * 180.0 / grid.height};
                bool inside = false;
                for (const MapPolygon& polygon : polygons)
                    inside = inside || insidePolygon(polygon, p);
                agree += inside == (grid.radius[std::size_t(j) * width + i] > planet->shape.seaRadius);
            }
        EXPECT_GE(agree, 0.99 * width * grid.height);
    }
}

} // namespace
