#include "LandNormals.h"
#include "OceanGyres.h"
#include "Planet.h"
#include "TestSupport.h"

#include <cmath>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr double DEGREES = 180.0 / 3.14159265358979323846;
constexpr double EARTH_KM = 6371.0;

// The welded vertices of an icosphere (about 1° apart) with the sea where
// isSea(latitude, longitude) says (degrees, longitude growing eastward).
class GyreOcean : public testing::Test {
protected:
    void SetUp() override
    {
        const auto planet = quietPlanet(1, 6, 0);
        gatherWelded(planet->weld, planet->vertices.data(), up);
        for (std::size_t v = 0; v < up.size() / 3; ++v) {
            latitude.push_back(float(std::asin(up[3 * v + 1]) * DEGREES));
            longitude.push_back(std::atan2(-up[3 * v + 2], up[3 * v]) * DEGREES);
        }
    }

    std::vector<float> anomalyOf(const std::function<bool(double, double)>& isSea, int threads = 2)
    {
        sea.assign(latitude.size(), 0);
        for (std::size_t v = 0; v < sea.size(); ++v)
            sea[v] = isSea(latitude[v], longitude[v]);
        const BigArray<float> a = gyreAnomaly(up.data(), latitude.data(), sea.data(), sea.size(), EARTH_KM, threads);
        return std::vector<float>(a.begin(), a.end());
    }

    // Mean over the sea vertices within 2° of a latitude and between two longitudes.
    double meanAt(const std::vector<float>& anomaly, double lat, double west, double east) const
    {
        double sum = 0.0;
        int count = 0;
        for (std::size_t v = 0; v < anomaly.size(); ++v)
            if (sea[v] && std::fabs(latitude[v] - lat) < 2.0 && longitude[v] > west && longitude[v] < east)
                sum += anomaly[v], ++count;
        EXPECT_GT(count, 3) << lat << "° from " << west << " to " << east;
        return sum / count;
    }

    std::vector<float> up, latitude;
    std::vector<double> longitude;
    std::vector<std::uint8_t> sea;
};

// Two continents from pole to pole, 30° of longitude wide, 120° apart: an
// ocean between them from -60° to 60°, about 12 000 km wide at 30°.
bool twoContinents(double, double lon)
{
    return !((lon > -90 && lon < -60) || (lon > 60 && lon < 90));
}

TEST_F(GyreOcean, WarmWesternAndColdEasternSidesInTheSubtropicsTheOtherWayRoundInTheSubpolarSeas)
{
    const std::vector<float> a = anomalyOf(twoContinents);
    struct Case {
        double latitude;
        bool westWarmer;
        double leastDifference; // °C
    };
    for (const Case c : {Case{30, true, 3}, Case{-30, true, 3}, Case{20, true, 1.5}, Case{60, false, 3}, Case{-60, false, 3}}) {
        const double west = meanAt(a, c.latitude, -58, -45), east = meanAt(a, c.latitude, 45, 58);
        const double middle = meanAt(a, c.latitude, -10, 10);
        EXPECT_GT(c.westWarmer ? west - east : east - west, c.leastDifference) << c.latitude << "°";
        // The side warmer is warmer than the open ocean's middle, the colder one colder.
        EXPECT_GT(std::max(west, east), middle) << c.latitude << "°";
        EXPECT_LT(std::min(west, east), middle) << c.latitude << "°";
    }
    // The subpolar warm drift is the strongest anomaly: Norway's coast.
    EXPECT_GT(meanAt(a, 62, 45, 58), 3.0);
    // Near the equator and near the poles the gyres do nothing.
    for (const double lat : {0.0, 85.0, -85.0})
        EXPECT_NEAR(meanAt(a, lat, -58, 58), 0.0, 0.1) << lat << "°";
}

TEST_F(GyreOcean, OnlyTheSeaHasAnAnomaly)
{
    const std::vector<float> a = anomalyOf(twoContinents);
    for (std::size_t v = 0; v < a.size(); ++v) {
        if (!sea[v]) {
            ASSERT_EQ(a[v], 0.0f) << v;
        }
    }
}

// A ring of sea all round the globe has no coast for a gyre to turn against;
// nor has an ocean whose only land is islands of a cell or two.
TEST_F(GyreOcean, ARingWithNoLandHasNoAnomaly)
{
    const auto allSea = [](double, double) { return true; };
    const auto landUpTo40 = [](double lat, double lon) { return std::fabs(lat) > 40 || lon < -30 || lon > 30; };
    const auto islands = [](double lat, double lon) {
        const double east = std::fmod(lon + 360.0, 60.0), away = std::fabs(lat);
        return !(east > 30 && east < 34 && away > 30 && away < 32); // two cells of the grid each
    };
    struct Case {
        const char* name;
        std::function<bool(double, double)> isSea;
        double freeFrom; // |latitude| from which the anomaly is 0, degrees
        bool anyLand;
    };
    for (const Case& c : {Case{"all sea", allSea, 0.0, false}, Case{"land only to 40°", landUpTo40, 50.0, true},
                          Case{"islands", islands, 0.0, true}}) {
        const std::vector<float> a = anomalyOf(c.isSea);
        ASSERT_EQ(std::count(sea.begin(), sea.end(), 0) > 0, c.anyLand) << c.name;
        for (std::size_t v = 0; v < a.size(); ++v) {
            if (std::fabs(latitude[v]) >= c.freeFrom) {
                ASSERT_EQ(a[v], 0.0f) << c.name << ", at " << latitude[v] << "°, " << longitude[v] << "°";
            }
        }
    }
}

TEST_F(GyreOcean, TheSameForAnyCountOfThreads)
{
    const auto rugged = [](double lat, double lon) { return std::sin(lat / 7.0) + std::cos(lon / 11.0) < 0.8; };
    const std::vector<float> one = anomalyOf(rugged, 1);
    EXPECT_EQ(anomalyOf(rugged, 2), one);
    EXPECT_EQ(anomalyOf(rugged, 5), one);
}

} // namespace
