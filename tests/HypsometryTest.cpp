#include "Hypsometry.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "PlanetShaping.h"
#include "CommandLine.h"
#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>

namespace {

// Heights above the sea of a made-up planet: landCount above 0, seaCount at or below it.
struct MadeLand {
    const char* name;
    std::vector<double> heights;
};

std::vector<MadeLand> madeLands()
{
    std::mt19937 random(5);
    std::normal_distribution<double> bell(0.0, 0.05);
    MadeLand uniform{"uniform", {}}, bellShaped{"bell", {}}, stepped{"whole steps", {}};
    for (int i = 1; i <= 9000; ++i)
        uniform.heights.push_back(i * 1e-5);
    for (int i = 0; i <= 21000; ++i)
        uniform.heights.push_back(-i * 1e-5);
    for (int i = 0; i < 40000; ++i) {
        const double h = bell(random) - 0.03;
        bellShaped.heights.push_back(h);
        stepped.heights.push_back(std::round(h * 1500.0) / 1500.0); // many vertices at one height
    }
    return {uniform, bellShaped, stepped};
}

// The share of heights on one side (land: above 0; sea: at or below it)
// whose metres lie at or beyond metres (above for land, below for sea).
double shareBeyond(const HeightCurve& curve, const std::vector<double>& heights, bool land, double metres)
{
    double side = 0, beyond = 0;
    for (const double h : heights) {
        if ((h > 0.0) != land)
            continue;
        side += 1;
        const double m = curve.metresAt(h);
        beyond += land ? m > metres : m < metres;
    }
    return beyond / side;
}

TEST(Hypsometry, TheCurveKeepsTheShoreAndTheOrderAndGivesEarthsShares)
{
    for (const MadeLand& made : madeLands()) {
        SCOPED_TRACE(made.name);
        const HeightCurve curve = fitEarthCurve(made.heights, 0.1);
        ASSERT_FALSE(curve.empty());
        EXPECT_EQ(curve.metresAt(0.0), 0.0) << "the shore stays at sea level";
        for (std::size_t k = 1; k < curve.units.size(); ++k) {
            EXPECT_LT(curve.units[k - 1], curve.units[k]);
            EXPECT_LT(curve.metres[k - 1], curve.metres[k]);
        }
        const auto [low, high] = std::minmax_element(made.heights.begin(), made.heights.end());
        EXPECT_DOUBLE_EQ(curve.metresAt(*high), EARTH_HIGHEST_METRES);
        EXPECT_DOUBLE_EQ(curve.metresAt(*low), EARTH_SEA_FLOOR.back().metres);
        for (double h = *low - 0.01; h < *high + 0.01; h += 1e-4)
            ASSERT_LT(curve.metresAt(h), curve.metresAt(h + 1e-4)) << "monotone, beyond the ends too, at " << h;
        // Whole steps tie thousands of vertices at one height: the shares can then only be met to a step.
        const double within = made.name == std::string("whole steps") ? 0.03 : 1e-3;
        for (const auto& [table, land] : {std::pair{&EARTH_LAND, true}, {&EARTH_SEA_FLOOR, false}})
            for (const EarthShare& share : *table) {
                if (share.below > 0.0 && share.below < 1.0) {
                    EXPECT_NEAR(shareBeyond(curve, made.heights, land, share.metres), 1.0 - share.below, within)
                        << share.metres << " m";
                }
            }
    }
}

TEST(Hypsometry, ASideWithoutHeightsReachesEarthsHighestAtTheFallback)
{
    const struct {
        const char* name;
        std::vector<double> heights;
    } cases[] = {{"all sea", {-0.02, -0.01, 0.0}}, {"all land", {0.01, 0.02}}, {"all at the shore", {0.0, 0.0}},
                 {"nothing", {}}, {"not a number", {std::nan(""), 0.01}}};
    for (const auto& c : cases) {
        const HeightCurve curve = fitEarthCurve(c.heights, 0.12);
        EXPECT_EQ(curve.metresAt(0.0), 0.0) << c.name;
        const bool land = std::any_of(c.heights.begin(), c.heights.end(), [](double h) { return h > 0.0; });
        const bool sea = std::any_of(c.heights.begin(), c.heights.end(), [](double h) { return h < 0.0; });
        if (!land) {
            EXPECT_DOUBLE_EQ(curve.metresAt(0.12), EARTH_HIGHEST_METRES) << c.name;
        }
        if (!sea) {
            EXPECT_DOUBLE_EQ(curve.metresAt(-0.12), -EARTH_HIGHEST_METRES) << c.name;
        }
    }
}

// Erosion lowers the land after the curve is fitted: the planet keeps the
// curve of its land as generated, and its metres move along it.
TEST(Hypsometry, TheCurveIsFittedToTheLandBeforeErosionAndKept)
{
    const std::unique_ptr<Planet> planet = quietPlanet(3, 4, 1000);
    const std::unique_ptr<Planet> generated = quietPlanet(3, 4, 1000);
    Options options;
    options.landPercent = 30.0;
    options.erosionSteps = 5;
    testing::internal::CaptureStdout(); // the sea levels' and the erosion's records
    settleShape(*planet, options);
    options.erosionSteps = 0;
    settleShape(*generated, options);
    testing::internal::GetCapturedStdout();
    const std::shared_ptr<const HeightCurve> kept = planet->heightCurve.load(), before = generated->heightCurve.load();
    ASSERT_TRUE(kept && before);
    EXPECT_EQ(kept->units, before->units);
    EXPECT_EQ(kept->metres, before->metres);
    const PhysicalScale scale = physicalScaleOf(*planet, LandSnapshot(*planet));
    EXPECT_EQ(scale.curve.units, kept->units) << "the saves' scale is the kept curve";
    EXPECT_NE(planet->shape.seaRadius, generated->shape.seaRadius) << "the case: erosion moved the sea";
    EXPECT_EQ(scale.elevationMetres(planet->shape.seaRadius), 0.0) << "the shore follows the sea set again";
}

// Linear metres are those of every planet before heights had a curve: the
// height map and the DEM of a planet are its files of then, byte for byte.
TEST(Hypsometry, LinearMakesTheHeightMapAndTheDemOfBefore)
{
    ScopedTempDir dir;
    const CommandResult run =
        runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                       " --seed 7 --heightmap h.png --dem d.tif --map-width 64 --land 30 --hypsometry linear",
                   "4\n1000\nn\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto digest = [](const std::string& bytes) {
        std::uint64_t h = 0xcbf29ce484222325u; // FNV-1a
        for (const unsigned char c : bytes)
            h = (h ^ c) * 0x100000001b3u;
        return h;
    };
    EXPECT_EQ(digest(readFile("h.png")), 0x7426abb741ba4333u);
    EXPECT_EQ(digest(readFile("d.tif")), 0x3e107637e9d51129u);
}

} // namespace
