#include "Landscape.h"
#include "Planet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace {

// Fixes the seed for one test and gives the time back afterwards.
struct SeedScope {
    explicit SeedScope(std::uint32_t seed) { setFixedSeed(seed); }
    ~SeedScope() { setFixedSeed(std::nullopt); }
};

double radiusOf(const float* v) { return std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]); }

std::vector<float> bareSphere(int subdivisions)
{
    return std::vector<float>(Planet(subdivisions, 0, false).vertices);
}

// Straightforward single-threaded batch: planes in draw order, one counter per vertex.
std::vector<float> referenceBatch(int subdivisions, int iterations, std::uint32_t seed)
{
    std::vector<float> v = bareSphere(subdivisions);
    std::mt19937 rng(seed);
    std::vector<int> k(v.size() / 3, 0);
    for (int i = 0; i < iterations; ++i) {
        std::uint32_t r[4];
        for (auto& x : r)
            x = rng();
        const FaultPlane plane = planeFromDraws(r[0], r[1], r[2], r[3]);
        for (size_t j = 0; j < k.size(); ++j) {
            const float* p = &v[3 * j];
            const float d = (p[1] - plane.p[1]) * plane.p[1] + (p[0] - plane.p[0]) * plane.p[0] +
                            (p[2] - plane.p[2]) * plane.p[2];
            k[j] += d > 0 ? plane.sign : -plane.sign;
        }
    }
    // Two counters that start at 750 each, as the workers leave them.
    for (size_t j = 0; j < k.size(); ++j) {
        const int a = 750 + k[j];
        const float scale = std::fabs(static_cast<float>(a / 1500.0 + 750 / 1500.0));
        for (int c = 0; c < 3; ++c)
            v[3 * j + c] *= scale;
    }
    return v;
}

TEST(MersenneTwister, MatchesKnownOutputs)
{
    std::mt19937 rng; // default seed 5489
    EXPECT_EQ(rng(), 3499211612u);
    rng.discard(9998);
    EXPECT_EQ(rng(), 4123659995u) << "the 10000th output after seed 5489";
    SeedScope seed(5489);
    EXPECT_EQ(seedGenerator(), 5489u);
    EXPECT_EQ(MersenneTwister(), 3499211612u);
}

TEST(RandomPlane, DrawsGiveSignDistanceAndDirection)
{
    EXPECT_EQ(planeFromDraws(1, 5, 5, 5).sign, 1);
    EXPECT_EQ(planeFromDraws(0xFFFFFFFF, 5, 5, 5).sign, 1);
    EXPECT_EQ(planeFromDraws(2, 5, 5, 5).sign, -1);
    EXPECT_EQ(planeFromDraws(0, 5, 5, 5).sign, -1);

    const FaultPlane centre = planeFromDraws(1, 0, 123456789, 987654321);
    EXPECT_EQ(centre.p[0], 0.0f);
    EXPECT_EQ(centre.p[1], 0.0f);
    EXPECT_EQ(centre.p[2], 0.0f);

    // r2 = 4294967295 puts the plane at distance 1, touching the sphere.
    const FaultPlane touching = planeFromDraws(1, 0xFFFFFFFF, 0x40000000, 0x20000000);
    const double length = std::sqrt(double(touching.p[0]) * touching.p[0] + double(touching.p[1]) * touching.p[1] +
                                    double(touching.p[2]) * touching.p[2]);
    EXPECT_NEAR(length, 1.0, 1e-7);
}

TEST(RandomPlane, PointMatchesAnIndependentComputation)
{
    const std::uint32_t r2 = 3000000000u, r3 = 1234567890u, r4 = 2222222222u;
    const FaultPlane plane = planeFromDraws(7, r2, r3, r4);
    const long double dist = r2 / 4294967295.0L;
    const long double phi = 2 * (r3 / 4294967295.0L) * 3.1414999961853027L; // the float nearest 3.1415
    const long double theta = (r4 / 4294967295.0L) * 3.1414999961853027L;
    EXPECT_NEAR(plane.p[0], std::cos(phi) * std::sin(theta) * dist, 2e-7);
    EXPECT_NEAR(plane.p[1], std::sin(phi) * std::sin(theta) * dist, 2e-7);
    EXPECT_NEAR(plane.p[2], std::cos(theta) * dist, 2e-7);
}

TEST(SideTest, PointOnThePlaneIsInnerAndThePlaneThroughTheCentreLowersEverything)
{
    const FaultPlane plane{{0.0f, 0.0f, 0.5f}, 1};
    EXPECT_EQ(sideValue(plane, 0.3f, -0.2f, 0.5f), 0.0f);
    std::vector<float> v = {0.3f, -0.2f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, -1.0f};
    std::vector<int> counters(3, 0);
    applyPlaneToCounters(plane, v.data(), 3, counters.data());
    EXPECT_EQ(counters, (std::vector<int>{-1, 1, -1})) << "d = 0 counts as the inner side";

    const std::vector<float> sphere = bareSphere(3);
    std::vector<int> k(sphere.size() / 3, 0);
    applyPlaneToCounters(planeFromDraws(1, 0, 99, 77), sphere.data(), int(k.size()), k.data());
    for (int c : k)
        ASSERT_EQ(c, -1);
}

TEST(BatchGeneration, ProgressLineForTenIterations)
{
    testing::internal::CaptureStdout();
    Planet planet(0, 10, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0%..  20%..  40%..  60%..  80%..  100%\n");
}

TEST(BatchGeneration, ProgressLineForFiveThousandIterations)
{
    testing::internal::CaptureStdout();
    Planet planet(0, 5000, false);
    std::string expected;
    for (int p = 0; p < 100; p += 5)
        expected += std::to_string(p) + "%..  ";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "100%\n");
}

TEST(BatchGeneration, NoIterationsLeavesTheSphere)
{
    for (int iterations : {0, -7}) {
        testing::internal::CaptureStdout();
        Planet planet(2, iterations, false);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "100%\n");
        EXPECT_EQ(planet.vertices, planet.water->vertices);
    }
}

TEST(BatchGeneration, OnePlaneMovesTheOuterSideOutWhenItsSignIsPlus)
{
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        SeedScope scope(seed);
        testing::internal::CaptureStdout();
        Planet planet(3, 1, false);
        testing::internal::GetCapturedStdout();
        std::mt19937 rng(seed);
        const std::uint32_t r1 = rng(), r2 = rng(), r3 = rng(), r4 = rng();
        const FaultPlane plane = planeFromDraws(r1, r2, r3, r4);
        const auto& sea = planet.water->vertices;
        for (int j = 0; j < planet.vertexCount; ++j) {
            const bool outer = sideValue(plane, sea[3 * j], sea[3 * j + 1], sea[3 * j + 2]) > 0;
            const double expected = (outer == (plane.sign > 0)) ? 1 + 1 / 1500.0 : 1 - 1 / 1500.0;
            ASSERT_NEAR(radiusOf(&planet.vertices[3 * j]), expected, 1e-6) << "seed " << seed << " vertex " << j;
        }
    }
}

TEST(BatchGeneration, KeepsDirectionsAndStepsRadiiByWholeSteps)
{
    SeedScope scope(77);
    testing::internal::CaptureStdout();
    Planet planet(4, 300, false);
    testing::internal::GetCapturedStdout();
    std::set<long> steps;
    for (int j = 0; j < planet.vertexCount; ++j) {
        const float* v = &planet.vertices[3 * j];
        const float* s = &planet.water->vertices[3 * j];
        const double r = radiusOf(v);
        const double k = (r - 1) * 1500;
        ASSERT_NEAR(k, std::round(k), 1e-3);
        ASSERT_LE(std::fabs(k), 300.5);
        steps.insert(std::lround(k));
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(v[c] / r, s[c], 1e-6);
    }
    EXPECT_GT(steps.size(), 10u) << "the land has relief";
}

// A stop already asked leaves a batch generation's land unmoved, its
// planes never applied; a flag never set changes nothing, bit for bit.
TEST(BatchGeneration, AStopEndsItBeforeItsPlanesAndAnUnsetFlagChangesNothing)
{
    const std::atomic<bool> stop{true}, never{false};
    const Planet stopped(4, 3000, false, 5, &stop);
    EXPECT_TRUE(std::equal(stopped.vertices.begin(), stopped.vertices.end(), stopped.water->vertices.begin()));
    const Planet plain(4, 3000, false, 5), flagged(4, 3000, false, 5, &never);
    EXPECT_FALSE(std::equal(plain.vertices.begin(), plain.vertices.end(), plain.water->vertices.begin()));
    EXPECT_TRUE(std::equal(plain.vertices.begin(), plain.vertices.end(), flagged.vertices.begin()));
}

TEST(BatchGeneration, EqualsTheSingleThreadedReferenceBitForBit)
{
    for (auto [seed, iterations] : {std::pair{42u, 500}, {7u, 7}, {8u, 1}, {5u, 5}, {1234567u, 1001}}) {
        const std::vector<float> expected = referenceBatch(3, iterations, seed);
        for (int run = 0; run < 3; ++run) {
            SeedScope scope(seed);
            testing::internal::CaptureStdout();
            Planet planet(3, iterations, false);
            testing::internal::GetCapturedStdout();
            EXPECT_EQ(planet.seed, seed);
            ASSERT_EQ(planet.vertices, expected) << "seed " << seed << ", " << iterations << " iterations, run " << run;
        }
    }
}

TEST(Progress, PercentStaysExactWhereHundredTimesThePlanesOverflowAnInt)
{
    EXPECT_EQ(progressPercent(1, 3), 33);
    EXPECT_EQ(progressPercent(25000000, 100000000), 25);
    EXPECT_EQ(progressPercent(95000000, 100000000), 95);
    EXPECT_EQ(progressPercent(INT_MAX - 1, INT_MAX), 99);
}

// Waits for a live generation to finish on its own.
void waitForLive(Planet& planet)
{
    while (!planet.liveJob->finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stopLiveGeneration(planet);
}

TEST(LiveGeneration, ProgressHasNoZeroEntry)
{
    testing::internal::CaptureStdout();
    Planet planet(0, 5000, true);
    waitForLive(planet);
    std::string expected;
    for (int p = 5; p < 100; p += 5)
        expected += std::to_string(p) + "%..  ";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "100%\n");
}

TEST(LiveGeneration, EqualsTheMultiplicativeReferenceBitForBit)
{
    const std::uint32_t seed = 99;
    const int iterations = 40;
    std::vector<float> expected = bareSphere(3);
    std::mt19937 rng(seed);
    const float f = 1.0f / 1500.0f;
    for (int i = 0; i < iterations; ++i) {
        const std::uint32_t r1 = rng(), r2 = rng(), r3 = rng(), r4 = rng();
        const FaultPlane plane = planeFromDraws(r1, r2, r3, r4);
        for (size_t j = 0; j < expected.size(); j += 3) {
            const bool outer = sideValue(plane, expected[j], expected[j + 1], expected[j + 2]) > 0;
            const float k = outer ? 1.0f + plane.sign * f : 1.0f - plane.sign * f;
            for (int c = 0; c < 3; ++c)
                expected[j + c] *= k;
        }
    }
    SeedScope scope(seed);
    testing::internal::CaptureStdout();
    Planet planet(3, iterations, true);
    waitForLive(planet);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(planet.vertices, expected);
}

TEST(LiveGeneration, DrawingSeesWholeVerticesAndStoppingEarlyJoinsPromptly)
{
    testing::internal::CaptureStdout();
    auto planet = std::make_unique<Planet>(5, 1000000, true);
    // Read as the drawing does: the whole array under the planet's mutex.
    for (int frame = 0; frame < 20; ++frame) {
        std::lock_guard<std::mutex> lock(planet->mutex);
        for (int j = 0; j < planet->vertexCount; j += 97) {
            const float* v = &planet->vertices[3 * j];
            const float* s = &planet->water->vertices[3 * j];
            const double r = radiusOf(v);
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(v[c] / r, s[c], 1e-5);
        }
    }
    const auto start = std::chrono::steady_clock::now();
    stopLiveGeneration(*planet);
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    testing::internal::GetCapturedStdout();
    EXPECT_LT(waited, 2.0);
    EXPECT_FALSE(planet->liveJob->thread.joinable());
    for (int j = 0; j < planet->vertexCount; ++j)
        ASSERT_NEAR(radiusOf(&planet->vertices[3 * j]), 1.0, 0.5);
    planet.reset(); // destroying a stopped planet is safe

    // Destroying a planet while its live generation runs stops and joins it.
    testing::internal::CaptureStdout();
    planet = std::make_unique<Planet>(4, 1000000, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    planet.reset();
    testing::internal::GetCapturedStdout();
}

} // namespace
