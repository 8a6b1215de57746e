#include "Landscape.h"
#include "LandNormals.h"
#include "NormalsWorker.h"
#include "Planet.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Mean angle, in radians, between the normals of the two ends of every edge.
double meanNeighbourAngle(const IcosphereWeld& weld, const std::vector<float>& normals)
{
    double sum = 0;
    for (std::size_t corner = 0; corner < weld.cornerToVertex.size(); ++corner) {
        const std::size_t next = corner % 3 == 2 ? corner - 2 : corner + 1;
        const float* a = &normals[3 * std::size_t(weld.cornerToVertex[corner])];
        const float* b = &normals[3 * std::size_t(weld.cornerToVertex[next])];
        sum += std::acos(std::min(1.0, double(a[0] * b[0] + a[1] * b[1] + a[2] * b[2])));
    }
    return sum / double(weld.cornerToVertex.size());
}

// Each smoothing pass brings neighbouring normals closer together, and the
// passes grow with the subdivisions beyond 5.
TEST(LandNormals, EachSmoothingPassEvensOutNeighbours)
{
    const Planet planet(5, 3000, false);
    std::vector<float> positions;
    gatherWelded(planet.weld, planet.vertices.data(), positions);
    double previous = 10;
    for (int passes = 0; passes <= 3; ++passes) {
        const double angle = meanNeighbourAngle(planet.weld, weldedLandNormals(planet.weld, positions.data(), passes));
        EXPECT_LT(angle, previous * 0.9) << passes << " passes";
        previous = angle;
    }
    for (const auto& [subdivisions, passes] : {std::pair{4, 0}, {5, 0}, {6, 1}, {8, 3}})
        EXPECT_EQ(smoothingPassesFor(subdivisions), passes) << subdivisions;
}

// The worker's newest normals are those of the land as a live generation
// left it, taken once.
TEST(NormalsWorker, LastNormalsAreThoseOfTheFinishedLand)
{
    setFixedSeed(5);
    Planet planet(4, 2000, true);
    NormalsWorker worker(planet);
    finishLiveGeneration(planet);
    worker.request();
    const auto normals = worker.waitAndTake();
    ASSERT_TRUE(normals.has_value());
    EXPECT_EQ(*normals, landNormals(planet.weld, planet.vertices.data()));
    EXPECT_FALSE(worker.take().has_value()) << "taken already";
    EXPECT_FALSE(worker.takeFailure());
    setFixedSeed(std::nullopt);
}

} // namespace
