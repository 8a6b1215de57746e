#include "DetailLevels.h"
#include "Planet.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

// A coarse level of a fine planet is the coarse planet itself: corner for
// corner the same positions, bit for bit, in the same order and winding, as
// a closed mesh of 10 x 4^k + 2 welded vertices.
TEST(DetailLevels, CoarseLevelIsTheCoarserIcosphereOverTheFineVertices)
{
    const std::pair<int, int> cases[] = {{3, 0}, {3, 2}, {3, 3}, {5, 1}, {7, 4}, {7, 6}};
    for (const auto& [fine, level] : cases) {
        const Planet big(fine, 0, false), small(level, 0, false);
        ASSERT_EQ(weldSubdivisions(big.weld), fine);
        const std::vector<std::uint32_t> triangles = levelTriangles(big.weld, level);
        ASSERT_EQ(triangles.size(), std::size_t(60) << (2 * level)) << fine << " to " << level;
        std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges; // directed, each once
        for (std::size_t c = 0; c < triangles.size(); ++c) {
            const float* at = &big.vertices[3 * std::size_t(big.weld.vertexToCorner[triangles[c]])];
            ASSERT_EQ(std::memcmp(at, &small.vertices[3 * c], 3 * sizeof(float)), 0) << fine << " to " << level;
            const std::size_t next = c % 3 == 2 ? c - 2 : c + 1;
            ++edges[{triangles[c], triangles[next]}];
        }
        for (const auto& [edge, count] : edges)
            ASSERT_TRUE(count == 1 && edges.count({edge.second, edge.first}) == 1) << "open or doubled edge";
        EXPECT_EQ(std::set<std::uint32_t>(triangles.begin(), triangles.end()).size(), 10u * (1u << (2 * level)) + 2);
    }
    EXPECT_THROW(levelTriangles(Planet(2, 0, false).weld, 3), std::invalid_argument);
}

// Edges of about two pixels: 8 subdivisions draw a level coarser at the
// starting distance, whole up close, two coarser far away.
TEST(DetailLevels, LevelFollowsTheTrianglesSizeOnTheScreen)
{
    const struct {
        int subdivisions;
        double distance;
        int height, level;
    } cases[] = {{8, 1.5, 600, 8}, {8, 3, 600, 7},  {8, 8, 600, 6},   {9, 1.5, 600, 8}, {12, 3, 600, 7},
                 {8, 3, 1200, 8},  {6, 8, 600, 6},  {7, 3, 600, 7},   {7, 8, 600, 6},   {8, 3, 0, 0},
                 {8, 3, 1, 0},     {8, 1e300, 600, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(levelForScreen(c.subdivisions, {c.distance, 45, c.height}), c.level)
            << c.subdivisions << " subdivisions at " << c.distance << ", " << c.height << " pixels high";
}

TEST(DetailLevels, HandIsStillAFifthOfASecondAfterItsLastTouch)
{
    HandActivity hand;
    EXPECT_FALSE(hand.atWork(0, false)) << "never touched";
    EXPECT_TRUE(hand.atWork(0, true)) << "a drag held";
    for (double touch : {10.0, 10.15})
        hand.touched(touch);
    EXPECT_TRUE(hand.atWork(10.3, false));
    EXPECT_FALSE(hand.atWork(10.4, false));
    EXPECT_TRUE(hand.atWork(99, true));
    hand.reset();
    EXPECT_FALSE(hand.atWork(10.2, false));
}

} // namespace
