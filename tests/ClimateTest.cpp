#include "Climate.h"
#include "LandNormals.h"
#include "Planet.h"
#include "TestSupport.h"
#include "ThreadGroup.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <system_error>

namespace {

constexpr double DEGREES = 180.0 / 3.14159265358979323846;

// A hand-made land on the welded sphere: each vertex raised or lowered to
// the metres shapeAt(latitude, longitude) gives it (degrees; longitude grows
// eastward), the sea at radius 1, 0.05 model units to 8000 m.
class HandMadeLand : public testing::Test {
protected:
    static constexpr double METRES_PER_UNIT = 8000.0 / 0.05;

    void SetUp() override
    {
        planet = quietPlanet(1, 6, 0);
        gatherWelded(planet->weld, planet->vertices.data(), sphere);
        neighbours = vertexNeighbours(planet->weld);
        scale.metresPerUnit = METRES_PER_UNIT;
    }

    double latitude(std::size_t v) const { return std::asin(sphere[3 * v + 1]) * DEGREES; }
    double longitude(std::size_t v) const { return std::atan2(-sphere[3 * v + 2], sphere[3 * v]) * DEGREES; }

    Climate climateOf(const std::function<double(double, double)>& shapeAt, int threads = CLIMATE_THREADS)
    {
        std::vector<float> land(sphere);
        for (std::size_t v = 0; v < land.size() / 3; ++v) {
            const double radius = 1.0 + shapeAt(latitude(v), longitude(v)) / METRES_PER_UNIT;
            for (int k = 0; k < 3; ++k)
                land[3 * v + k] = float(sphere[3 * v + k] * radius);
        }
        return computeClimate(planet->weld, neighbours, land.data(), scale, threads);
    }

    // Mean over the vertices where pick(latitude, longitude) holds.
    double meanWhere(const std::vector<float>& values, const std::function<bool(double, double)>& pick) const
    {
        double sum = 0.0;
        int count = 0;
        for (std::size_t v = 0; v < values.size(); ++v)
            if (pick(latitude(v), longitude(v)))
                sum += values[v], ++count;
        EXPECT_GT(count, 0);
        return sum / count;
    }

    std::unique_ptr<Planet> planet;
    std::vector<float> sphere;
    VertexNeighbours neighbours;
    PhysicalScale scale;
};

// A stop already asked ends the climate with nothing in it; a flag never
// set changes nothing, bit for bit.
TEST_F(HandMadeLand, AStopEndsTheClimateWithNothingToUse)
{
    std::vector<float> land(sphere);
    for (std::size_t v = 0; v < land.size(); v += 3)
        for (int k = 0; k < 3; ++k)
            land[v + k] = float(sphere[v + k] * (sphere[v] > 0.5f ? 1.01 : 0.99));
    const std::atomic<bool> stop{true}, never{false};
    const Climate cut = computeClimate(planet->weld, neighbours, land.data(), scale, 2, nullptr, &stop);
    EXPECT_TRUE(cut.temperature.empty() && cut.rain.empty() && cut.biome.empty());
    const Climate plain = computeClimate(planet->weld, neighbours, land.data(), scale, 2);
    const Climate flagged = computeClimate(planet->weld, neighbours, land.data(), scale, 2, nullptr, &never);
    ASSERT_EQ(plain.biome.size(), sphere.size() / 3);
    EXPECT_EQ(plain.temperature, flagged.temperature);
    EXPECT_EQ(plain.rain, flagged.rain);
    EXPECT_EQ(plain.biome, flagged.biome);
}

TEST_F(HandMadeLand, LandTwoKilometresHigherIsThirteenDegreesColder)
{
    const auto block = [](double height) {
        return [height](double lat, double lon) { return std::fabs(lat) < 50 && std::fabs(lon) < 40 ? height : -3000.0; };
    };
    const Climate low = climateOf(block(500)), high = climateOf(block(2500));
    int land = 0;
    for (std::size_t v = 0; v < low.temperature.size(); ++v)
        if (std::fabs(latitude(v)) < 50 && std::fabs(longitude(v)) < 40) {
            ASSERT_NEAR(low.temperature[v] - high.temperature[v], 13.0, 1e-3) << v;
            ++land;
        }
    EXPECT_GT(land, 1000);
}

TEST_F(HandMadeLand, RainOverAWaterWorldFollowsTheRisingAndSinkingAir)
{
    const Climate c = climateOf([](double, double) { return -3000.0; });
    const auto band = [&](double from, double to) {
        return meanWhere(c.rain, [=](double lat, double) { return std::fabs(lat) >= from && std::fabs(lat) < to; });
    };
    const double equator = band(0, 5), subtropics = band(25, 32), front = band(45, 60), poles = band(80, 90);
    EXPECT_LT(subtropics, 0.5 * equator);
    EXPECT_GT(front, 1.5 * subtropics);
    EXPECT_LT(poles, 0.5 * front);
    // With no land and no depths to tell one longitude from another, the sea
    // ice is a cap, its edge between 60° and 70°.
    double iceFrom = 90, openTo = 0;
    for (std::size_t v = 0; v < c.biome.size(); ++v)
        (c.biome[v] == Biome::SeaIce ? iceFrom : openTo) =
            c.biome[v] == Biome::SeaIce ? std::min(iceFrom, std::fabs(latitude(v))) : std::max(openTo, std::fabs(latitude(v)));
    EXPECT_GT(iceFrom, openTo);
    EXPECT_GT(iceFrom, 60.0);
    EXPECT_LT(openTo, 70.0);
}

// Two continents from pole to pole, 200 m high, 30° of longitude wide, with
// an ocean 120° wide between them from -60° to 60° (and another beyond).
double twoContinents(double, double lon)
{
    return (lon > -90 && lon < -60) || (lon > 60 && lon < 90) ? 200.0 : -3000.0;
}

TEST_F(HandMadeLand, TheGyresWarmTheOceansWesternSideInTheSubtropicsAndPushTheSeaIceBackOnItsEasternSide)
{
    const Climate c = climateOf(twoContinents);
    for (const double hemisphere : {1.0, -1.0}) {
        const auto seaAt = [&](double west, double east) {
            return meanWhere(c.temperature, [=](double lat, double lon) {
                return hemisphere * lat >= 25 && hemisphere * lat < 35 && lon > west && lon < east;
            });
        };
        EXPECT_GT(seaAt(-58, -45), seaAt(45, 58) + 3.0) << hemisphere;
    }
    // How far north the open sea reaches on each side of the northern ocean
    // (without the gyres: about 1° farther on the western side).
    const auto openTo = [&](double west, double east) {
        double farthest = 0;
        for (std::size_t v = 0; v < c.biome.size(); ++v)
            if (c.biome[v] == Biome::Ocean && longitude(v) > west && longitude(v) < east)
                farthest = std::max(farthest, latitude(v));
        return farthest;
    };
    EXPECT_GT(openTo(45, 58), openTo(-58, -45) + 4.0);
}

// The trades blow off the continent over the coast beside the eastern
// ocean's cold current: stable air there lets less rain fall than just
// upwind inland (without the gyres: about as much).
TEST_F(HandMadeLand, ACoastBesideAColdCurrentIsDrierThanInland)
{
    const Climate c = climateOf(twoContinents);
    const auto rain = [&](double west, double east) {
        return meanWhere(c.rain, [=](double lat, double lon) {
            return std::fabs(lat) > 18 && std::fabs(lat) < 30 && lon > west && lon < east;
        });
    };
    EXPECT_LT(rain(60.5, 63), 0.8 * rain(66, 70));
}

TEST(PrevailingWind, TradesWesterliesAndPolarEasterliesInBothHemispheres)
{
    struct Band {
        float latitude;
        bool eastward;
        bool poleward;
    };
    const Band bands[] = {{2, false, false},  {15, false, false}, {29, false, false}, {31, true, true},
                          {45, true, true},   {59, true, true},   {61, false, false}, {75, false, false},
                          {89.5f, false, false}};
    for (const Band& b : bands)
        for (const float hemisphere : {1.0f, -1.0f}) {
            const Wind w = prevailingWind(hemisphere * b.latitude);
            EXPECT_EQ(w.east > 0, b.eastward) << hemisphere * b.latitude;
            EXPECT_EQ(hemisphere * w.north > 0, b.poleward) << hemisphere * b.latitude;
            EXPECT_GT(std::fabs(w.east), std::fabs(w.north)) << hemisphere * b.latitude;
            EXPECT_NEAR(std::hypot(w.east, w.north), 1.0f, 1e-5f);
        }
}

TEST_F(HandMadeLand, ARidgeAcrossTheWesterliesIsWetToWindwardAndDryInItsLee)
{
    // Land from 35° to 55° and 20° either side of the meridian, a ridge 3 km
    // high along the meridian; the westerlies blow from the west.
    const auto ridge = [](double lat, double lon) {
        if (lat < 35 || lat > 55 || std::fabs(lon) > 20)
            return -3000.0;
        return 100.0 + 3000.0 * std::max(0.0, 1.0 - std::fabs(lon) / 10.0);
    };
    const Climate c = climateOf(ridge);
    const auto inBand = [](double lat) { return lat > 40 && lat < 50; };
    const double windward = meanWhere(c.rain, [&](double lat, double lon) { return inBand(lat) && lon > -9 && lon < -1; });
    const double lee = meanWhere(c.rain, [&](double lat, double lon) { return inBand(lat) && lon > 1 && lon < 9; });
    const double beyond = meanWhere(c.rain, [&](double lat, double lon) { return inBand(lat) && lon > 12 && lon < 19; });
    EXPECT_GT(windward, 2.0 * lee);
    EXPECT_GT(windward, 2.0 * beyond);
}

TEST(BiomeClasses, TheDiagramsCornersAndEdges)
{
    struct Case {
        float temperature, rain;
        bool sea;
        Biome expected;
    };
    const Case cases[] = {
        {28, 4000, false, Biome::TropicalRainforest}, {28, 50, false, Biome::HotDesert},
        {22, 700, false, Biome::Savanna},             {22, 1500, false, Biome::TropicalSeasonalForest},
        {10, 3000, false, Biome::TemperateRainforest}, {10, 1000, false, Biome::TemperateForest},
        {8, 400, false, Biome::TemperateGrassland},   {15, 400, false, Biome::Shrubland},
        {10, 100, false, Biome::ColdDesert},          {0, 600, false, Biome::BorealForest},
        {-5, 300, false, Biome::Tundra},              {-30, 3000, false, Biome::Ice},
        {-10.5f, 100, false, Biome::Ice},             {-9.5f, 100, false, Biome::Tundra},
        {30, 0, true, Biome::Ocean},                  {-1.5f, 0, true, Biome::Ocean},
        {-2.5f, 0, true, Biome::SeaIce},              {-30, 5000, true, Biome::SeaIce},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyBiome(c.temperature, c.rain, c.sea), c.expected)
            << c.temperature << " °C, " << c.rain << " mm, sea " << c.sea;
    std::set<std::string> names;
    std::set<Rgb> colours;
    for (const BiomeClass& b : BIOME_CLASSES) {
        names.insert(b.name);
        colours.insert(b.colour);
        EXPECT_EQ(std::string(b.name).find_first_not_of("abcdefghijklmnopqrstuvwxyz "), std::string::npos);
    }
    EXPECT_EQ(names.size(), std::size_t(Biome::Count));
    EXPECT_EQ(colours.size(), std::size_t(Biome::Count));
}

TEST(PhysicalScale, TheHighestVertexStandsAtTheHighestMetres)
{
    const float welded[] = {0, 1.02f, 0, 0, 0, -0.97f, 1.01f, 0, 0};
    const PhysicalScale scale = physicalScaleOf(welded, 3, 1.005, 6371, 8000);
    EXPECT_NEAR(scale.elevationMetres(1.02f), 8000.0, 1e-6);
    EXPECT_NEAR(scale.elevationMetres(1.005), 0.0, 1e-9);
    EXPECT_LT(scale.elevationMetres(0.97f), -8000.0);
    // With nothing above the sea, the sea floor keeps depths of the usual size.
    const PhysicalScale drowned = physicalScaleOf(welded, 3, 1.05, 6371, 8000);
    EXPECT_NEAR(drowned.elevationMetres(1.05 + FALLBACK_RELIEF_UNITS), 8000.0, 1e-6);
}

TEST(Climate, TheSameLandGivesTheSameClimateAtAnyThreadCount)
{
    const auto planet = quietPlanet(5, 6, 400);
    std::vector<float> welded;
    gatherWelded(planet->weld, planet->vertices.data(), welded);
    const VertexNeighbours neighbours = vertexNeighbours(planet->weld);
    const PhysicalScale scale = physicalScaleOf(welded.data(), planet->weld.vertexCount(), 1.0, 6371, 8000);
    const Climate one = computeClimate(planet->weld, neighbours, welded.data(), scale, 1);
    std::set<Biome> seen(one.biome.begin(), one.biome.end());
    EXPECT_GE(seen.size(), 6u);
    for (const int threads : {2, 3, 7}) {
        const Climate many = computeClimate(planet->weld, neighbours, welded.data(), scale, threads);
        const std::size_t bytes = one.temperature.size() * sizeof(float);
        EXPECT_EQ(std::memcmp(one.temperature.data(), many.temperature.data(), bytes), 0) << threads;
        EXPECT_EQ(std::memcmp(one.rain.data(), many.rain.data(), bytes), 0) << threads;
        EXPECT_EQ(one.biome, many.biome) << threads;
    }
    // Threads that cannot start leave their share to the caller's.
    setThreadStarter([](std::function<void()>) -> std::thread { throw std::system_error(EAGAIN, std::generic_category()); });
    const Climate alone = computeClimate(planet->weld, neighbours, welded.data(), scale, 3);
    setThreadStarter({});
    EXPECT_EQ(alone.rain, one.rain);
}

} // namespace
