// What the window draws of the water on the land: the rivers' segments are
// the land's own edges, downstream, grouped by order; the lakes lie flat at
// their levels as shown. And the worker makes the same from the planet.
#include "LandNormals.h"
#include "Landscape.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "RiverGeometry.h"
#include "RiverWorker.h"
#include "TestSupport.h"
#include "VertexNeighbours.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

double length(const float* p)
{
    return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
}

// A generated planet drained over a sea at seaRadius, its land and sea told
// apart against its undeformed sphere, as the program tells them.
struct DrainedPlanet {
    DrainedPlanet(std::uint32_t seed, double seaRadius) : planet(quietPlanet(seed, 5, 3000))
    {
        gatherWelded(planet->weld, planet->vertices.data(), positions);
        neighbours = vertexNeighbours(planet->weld);
        const std::vector<float> unit = weldedUnitSphere(*planet);
        DrainageInput input{planet->weld, neighbours, positions.data(), seaRadius};
        input.unit = unit.data();
        drainage = drainLand(input);
        network = findRivers(drainage, riverThreshold(drainage.vertexCount()));
    }
    std::unique_ptr<Planet> planet;
    std::vector<float> positions;
    VertexNeighbours neighbours;
    Drainage drainage;
    RiverNetwork network;
};

TEST(RiverGeometry, SegmentsRunDownstreamGroupedByOrder)
{
    const DrainedPlanet land(2, 1.0);
    const RiverGeometry g = riverGeometry(land.drainage, land.network, land.planet->weld, land.positions.data(), {});
    ASSERT_FALSE(g.orders.empty());
    std::size_t segments = 0;
    for (const River& river : land.network.rivers)
        segments += river.path.size() - 1;
    EXPECT_EQ(g.lines.size(), 2 * segments);
    std::uint32_t next = 0;
    int previous = 0;
    for (const RiverOrderLines& group : g.orders) {
        EXPECT_EQ(group.first, next);
        EXPECT_GT(group.order, previous);
        for (std::uint32_t i = group.first; i < group.first + group.count; i += 2) {
            const std::uint32_t v = g.lines[i], down = g.lines[i + 1];
            EXPECT_EQ(land.drainage.receiver[v], down) << "an edge of the land, downstream";
            EXPECT_EQ(land.network.order[v], group.order);
        }
        next = group.first + group.count;
        previous = group.order;
    }
    EXPECT_EQ(next, g.lines.size());
}

// With the sea raised and the relief stretched, each lake triangle lies at
// its lake's level as shown, and its floor is read at least LAKE_SEEN_DEPTH
// (stretched as the relief is) below the sea's program's radius 1.
TEST(RiverGeometry, LakesLieFlatAtTheirShownLevels)
{
    const WorldShape shape{1.002, 2.5};
    const DrainedPlanet land(3, shape.seaRadius);
    ASSERT_FALSE(land.drainage.lakes.empty());
    const RiverGeometry g = riverGeometry(land.drainage, land.network, land.planet->weld, land.positions.data(), shape);
    ASSERT_EQ(g.lakeSurface.size(), g.lakeFloor.size());
    ASSERT_FALSE(g.lakeTriangles.empty());
    ASSERT_EQ(g.lakeTriangles.size() % 3, 0u);
    for (std::size_t t = 0; t < g.lakeTriangles.size(); t += 3) {
        const double level = length(&g.lakeSurface[3 * std::size_t(g.lakeTriangles[t])]);
        for (std::size_t c = t; c < t + 3; ++c) {
            ASSERT_LT(3 * std::size_t(g.lakeTriangles[c]), g.lakeSurface.size());
            EXPECT_NEAR(length(&g.lakeSurface[3 * std::size_t(g.lakeTriangles[c])]), level, 1e-6) << "flat";
            EXPECT_LE(length(&g.lakeFloor[3 * std::size_t(g.lakeTriangles[c])]), 1.0 - LAKE_SEEN_DEPTH * shape.relief + 1e-6);
        }
        bool atALakeLevel = false;
        for (const Lake& lake : land.drainage.lakes)
            atALakeLevel = atALakeLevel || std::abs(shape.shownRadius(lake.level) - level) < 1e-6;
        EXPECT_TRUE(atALakeLevel) << "triangle " << t / 3;
    }
    EXPECT_LT(g.lakeSurface.size() / 3, g.lakeTriangles.size()) << "corners shared";
}

// The worker drains the planet's land and makes what riverGeometry makes.
TEST(RiverWorker, MakesTheGeometryOfThePlanetsLand)
{
    const DrainedPlanet land(4, 1.0);
    RiverWorker worker(*land.planet, {});
    const std::optional<RiverGeometry> made = worker.waitAndTake();
    ASSERT_TRUE(made.has_value());
    const RiverGeometry direct = riverGeometry(land.drainage, land.network, land.planet->weld, land.positions.data(), {});
    EXPECT_EQ(made->lines, direct.lines);
    EXPECT_EQ(made->lakeTriangles, direct.lakeTriangles);
    EXPECT_EQ(made->lakeSurface, direct.lakeSurface);
    EXPECT_FALSE(worker.failed());
    EXPECT_FALSE(worker.take().has_value()) << "taken already";
}

} // namespace
