#include "DetailLevels.h"
#include "MemoryReserve.h"
#include "Planet.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A planet held coarser is the coarser planet alone: its own weld, numbered
// as it numbers it, with positions read from the fine planet's soup.
TEST(DetailLevels, LevelMeshIsTheCoarserPlanetsOwnWeld)
{
    const std::pair<int, int> cases[] = {{3, 0}, {4, 2}, {6, 5}};
    for (const auto& [fine, level] : cases) {
        const Planet big(fine, 0, false), small(level, 0, false);
        const LevelMesh mesh = levelMesh(big.weld, level);
        EXPECT_EQ(mesh.triangles, small.weld.cornerToVertex) << fine << " to " << level;
        ASSERT_EQ(mesh.corners.size(), small.weld.vertexCount());
        for (std::size_t v = 0; v < mesh.corners.size(); ++v) {
            ASSERT_EQ(mesh.corners[v], big.weld.vertexToCorner[mesh.weldVertices[v]]);
            const float* at = &small.vertices[3 * std::size_t(small.weld.vertexToCorner[v])];
            ASSERT_EQ(std::memcmp(&big.vertices[3 * std::size_t(mesh.corners[v])], at, 3 * sizeof(float)), 0);
        }
    }
}

// The finest level whose drawing there is room for, or none.
TEST(DetailLevels, FinestLevelWithinTheRoomThereIs)
{
    const struct {
        std::uint64_t room;
        int level;
    } cases[] = {{0, -1}, {drawingBytes(0) - 1, -1}, {drawingBytes(0), 0}, {drawingBytes(6) - 1, 5},
                 {drawingBytes(8), 8}, {~std::uint64_t(0), 8}};
    for (const auto& c : cases)
        EXPECT_EQ(finestLevelWithin(8, [&](std::uint64_t bytes) { return bytes <= c.room; }), c.level) << c.room;
}

// A trial reservation meets the address-space limit the driver would meet.
TEST(DetailLevels, ReservationSeesTheAddressSpaceLimit)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::uint64_t kib = 0; // the address space in use now
        if (FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status))
                std::sscanf(line, "VmSize: %lu kB", &kib);
            std::fclose(status);
        }
        const rlimit limit{(kib << 10) + (std::uint64_t(64) << 20), RLIM_INFINITY};
        const bool seen = kib > 0 && setrlimit(RLIMIT_AS, &limit) == 0 && canReserve(std::uint64_t(32) << 20) &&
                          !canReserve(std::uint64_t(128) << 20);
        _exit(seen ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(canReserve(~std::uint64_t(0)));
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
