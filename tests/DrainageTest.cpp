// Water over the land: hand-made lands with known answers, and the flow's
// balance on generated planets.
#include "CommandLine.h"
#include "Drainage.h"
#include "Erosion.h"
#include "LandNormals.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "PlanetShaping.h"
#include "Rivers.h"
#include "SeaLevel.h"
#include "TestSupport.h"

#include <atomic>
#include <filesystem>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <thread>

namespace {

// Rain in mm a year that keeps a depression full even with no land around it
// draining into it.
constexpr double WET_RAIN = 1.5 * LAKE_CATCHMENT_MIN * UNIFORM_RAIN;

// A land made by hand: the unit icosphere's welded directions, each pushed
// to the radius a profile gives it.
struct HandLand {
    explicit HandLand(int subdivisions) : planet(quietPlanet(1, subdivisions, 0))
    {
        gatherWelded(planet->weld, planet->vertices.data(), directions);
        neighbours = vertexNeighbours(planet->weld);
        wet.assign(directions.size() / 3, float(WET_RAIN));
    }
    Drainage drain(const std::function<double(const double*)>& radius, const float* rain = nullptr)
    {
        positions = directions;
        for (std::size_t v = 0; v < positions.size(); v += 3) {
            const double d[3] = {directions[v], directions[v + 1], directions[v + 2]};
            const float r = float(radius(d));
            for (int k = 0; k < 3; ++k)
                positions[v + k] = directions[v + k] * r;
        }
        return drainLand({planet->weld, neighbours, positions.data(), 1.0, rain});
    }
    std::unique_ptr<Planet> planet;
    VertexNeighbours neighbours;
    std::vector<float> directions, positions;
    std::vector<float> wet; // WET_RAIN on every vertex
};

// Cosine of the angle from d to icosahedron corner c, which is a vertex.
template <typename T>
double towards(const T* d, int c)
{
    const Vec3& p = ICOSAHEDRON_VERTICES[c];
    const double length = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
    return (d[0] * p[0] + d[1] * p[1] + d[2] * p[2]) / length;
}

std::uint32_t sinkOf(const Drainage& d, std::uint32_t v, std::size_t* steps = nullptr)
{
    std::size_t count = 0;
    for (; !d.isSink(v) && count <= d.vertexCount(); ++count)
        v = d.receiver[v];
    if (steps)
        *steps = count;
    return v;
}

// Every land vertex reaches a sink downhill on the filled surface, and the
// sinks hold all the rain on land.
void expectBalanced(const Drainage& d)
{
    double atSinks = 0.0;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (d.isSink(v)) {
            atSinks += d.flow[v];
            continue;
        }
        ASSERT_LE(d.filled[d.receiver[v]], d.filled[v]) << v;
        ASSERT_TRUE(d.isSink(sinkOf(d, v))) << v;
    }
    EXPECT_NEAR(atSinks, d.landRain, 1e-9 * d.landRain);
}

TEST(Drainage, ConeSendsEveryVertexStraightDownToTheSea)
{
    HandLand land(5);
    const Drainage d = land.drain([](const double* p) { return 1.0 + 0.1 * towards(p, 4); });
    expectBalanced(d);
    EXPECT_TRUE(d.lakes.empty());
    for (const std::uint32_t v : d.stack)
        EXPECT_LT(d.height[d.receiver[v]], d.height[v]) << v;
    const RiverNetwork rivers = findRivers(d, riverThreshold(d.vertexCount()));
    ASSERT_FALSE(rivers.rivers.empty());
    for (const River& river : rivers.rivers)
        EXPECT_TRUE(river.end != RiverEnd::Lake);
}

// Up to a rim at rim from corner 4, then down to a floor depth below it.
std::function<double(const double*)> bowlOf(double rim, double depth)
{
    return [=](const double* p) {
        const double t = towards(p, 4);
        return t <= rim ? 1.0 + 0.1 * t : 1.0 + 0.1 * rim - depth * (t - rim) / (1.0 - rim);
    };
}

TEST(Drainage, WetBowlHoldsALakeUpToItsRim)
{
    HandLand land(5);
    const Drainage d = land.drain(bowlOf(0.8, 0.04), land.wet.data());
    expectBalanced(d);
    ASSERT_EQ(d.lakes.size(), 1u);
    const Lake& lake = d.lakes[0];
    std::uint32_t floor = 0;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v)
        floor = towards(&land.directions[3 * v], 4) > towards(&land.directions[3 * floor], 4) ? v : floor;
    EXPECT_EQ(d.lakeOf[floor], 0u);
    EXPECT_EQ(d.height[lake.outlet], lake.level);
    EXPECT_LE(lake.level, 1.08);
    EXPECT_NEAR(lake.deepest, lake.level - 1.04, HEIGHT_QUANTUM);
    double basin = 0.0;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (d.lakeOf[v] == 0) {
            EXPECT_LT(d.height[v], lake.level);
        }
        std::uint32_t w = v;
        while (!d.isSink(w) && d.lakeOf[w] != 0)
            w = d.receiver[w];
        basin += d.lakeOf[w] == 0 ? WET_RAIN * d.area[v] : 0.0;
    }
    EXPECT_NEAR(lake.inflow, basin, 1e-9 * basin);
}

TEST(Drainage, UpperBasinSpillsIntoTheLowerOne)
{
    HandLand land(5);
    // A slope rising from the sea towards corner 4, with one bowl near the
    // top and one farther down, on the same meridian.
    const auto slope = [](const double* p) {
        const double dip = 0.03 * std::max(0.0, 1.0 - (1.0 - towards(p, 4)) / 0.02) +
                           0.03 * std::max(0.0, 1.0 - (1.0 - (0.6 * p[1] + 0.8 * p[2])) / 0.02);
        return 1.0 + 0.1 * p[1] - dip;
    };
    const Drainage d = land.drain(slope, land.wet.data());
    expectBalanced(d);
    ASSERT_EQ(d.lakes.size(), 2u);
    const std::uint32_t upper = d.lakes[0].level > d.lakes[1].level ? 0 : 1, lower = 1 - upper;
    std::uint32_t v = d.lakes[upper].outlet;
    while (!d.isSink(v) && d.lakeOf[v] == Drainage::NO_LAKE)
        v = d.receiver[v];
    EXPECT_EQ(d.lakeOf[v], lower);
    EXPECT_GT(d.lakes[lower].inflow, d.lakes[upper].inflow);
    v = d.lakes[lower].outlet;
    while (!d.isSink(v))
        EXPECT_EQ(d.lakeOf[v = d.receiver[v]], Drainage::NO_LAKE);
}

// A depression holds a lake only when its inflow keeps it full against
// evaporation and it holds enough water to be more than a pond; otherwise it
// is land that its water crosses, filled to its spill all the same.
TEST(Drainage, DepressionHoldsALakeOnlyWhenWetAndLargeEnough)
{
    struct Case {
        const char* name;
        double rim, depth; // as bowlOf
        bool wet, lake;
    };
    const Case cases[] = {
        {"wet bowl", 0.8, 0.04, true, true},
        {"bowl fed by its own rain alone", 0.8, 0.04, false, false},
        {"wet pond of one vertex", 0.9995, 0.6 / 1500.0, true, false},
    };
    HandLand land(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Drainage d = land.drain(bowlOf(c.rim, c.depth), c.wet ? land.wet.data() : nullptr);
        expectBalanced(d);
        EXPECT_EQ(d.lakes.size(), c.lake ? 1u : 0u);
        std::size_t flooded = 0, inLakes = 0;
        for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
            flooded += d.filled[v] > d.height[v];
            inLakes += d.lakeOf[v] != Drainage::NO_LAKE;
        }
        EXPECT_GT(flooded, 0u);
        EXPECT_EQ(inLakes, c.lake ? flooded : 0u);
    }
}

TEST(Drainage, FlatPlainDrainsByTheShortestWayToTheSea)
{
    HandLand land(4);
    const Drainage d = land.drain([](const double* p) { return p[1] > 0.1 ? 1.05 : 0.99; });
    expectBalanced(d);
    EXPECT_TRUE(d.lakes.empty());
    // Steps to the sea: a breadth-first walk from the sea.
    std::vector<std::size_t> far(d.vertexCount(), SIZE_MAX);
    std::vector<std::uint32_t> queue;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v)
        if (d.isSea(v)) {
            far[v] = 0;
            queue.push_back(v);
        }
    for (std::size_t i = 0; i < queue.size(); ++i)
        for (auto w = land.neighbours.begin(queue[i]); w != land.neighbours.end(queue[i]); ++w)
            if (far[*w] == SIZE_MAX) {
                far[*w] = far[queue[i]] + 1;
                queue.push_back(*w);
            }
    for (const std::uint32_t v : d.stack) {
        std::size_t steps = 0;
        sinkOf(d, v, &steps);
        ASSERT_EQ(steps, far[v]) << v;
    }
}

TEST(Drainage, GeneratedLandsKeepEveryDropOfRain)
{
    for (const std::uint32_t seed : {3u, 17u, 4242u}) {
        const auto planet = quietPlanet(seed, 5, 2000);
        std::vector<float> positions, rain(planet->weld.vertexCount());
        gatherWelded(planet->weld, planet->vertices.data(), positions);
        for (std::size_t v = 0; v < rain.size(); ++v)
            rain[v] = float((v * 7919) % 3000);
        const VertexNeighbours neighbours = vertexNeighbours(planet->weld);
        const float* const rains[] = {nullptr, rain.data()};
        for (const float* r : rains) {
            const Drainage d = drainLand({planet->weld, neighbours, positions.data(), 1.0, r});
            SCOPED_TRACE(seed);
            expectBalanced(d);
            const RiverNetwork network = findRivers(d, riverThreshold(d.vertexCount()));
            for (const River& river : network.rivers)
                for (std::size_t i = 1; i < river.path.size(); ++i)
                    ASSERT_LE(d.filled[river.path[i]], d.filled[river.path[i - 1]]);
        }
    }
}

} // namespace

namespace {

TEST(Erosion, WearsTheLandTheSameWayEveryTimeAndLeavesTheSea)
{
    const auto planet = quietPlanet(7, 5, 2000);
    const VertexNeighbours neighbours = vertexNeighbours(planet->weld);
    std::vector<float> before;
    gatherWelded(planet->weld, planet->vertices.data(), before);
    std::vector<float> once = before, again = before;
    erodeLand(planet->weld, neighbours, once, 1.0, 5, {}, 1);
    erodeLand(planet->weld, neighbours, again, 1.0, 5, {}, 3); // uneven parts, on any machine
    EXPECT_EQ(once, again);
    // Bit for bit the land the first erosion made: a faster order of the work must not change it.
    std::uint64_t digest = 14695981039346656037u; // FNV-1a over the positions' bytes
    for (const unsigned char byte : std::string(reinterpret_cast<const char*>(once.data()), once.size() * sizeof(float)))
        digest = (digest ^ byte) * 1099511628211u;
    EXPECT_EQ(digest, 0xdf5036e2392266c6u);
    EXPECT_LT(landRoughness(neighbours, once, 1.0), 0.6 * landRoughness(neighbours, before, 1.0));
    for (std::size_t v = 0; v < before.size(); v += 3) {
        const double x = before[v], y = before[v + 1], z = before[v + 2];
        if (std::sqrt(x * x + y * y + z * z) <= 1.0) {
            ASSERT_TRUE(std::equal(&before[v], &before[v + 3], &once[v])) << v / 3;
        }
    }
}

// A stop already asked when erosion or drainage comes to its first check
// ends it with a state that says so (erosion's false and the land as it was,
// drainage's stopped); a flag never set changes nothing, bit for bit.
TEST(Erosion, AStopEndsErosionAndDrainageWithNothingToUse)
{
    const auto planet = quietPlanet(7, 5, 2000);
    const VertexNeighbours neighbours = vertexNeighbours(planet->weld);
    std::vector<float> before;
    gatherWelded(planet->weld, planet->vertices.data(), before);
    std::atomic<bool> stop{true}, never{false};

    std::vector<float> stopped = before, plain = before, flagged = before;
    EXPECT_FALSE(erodeLand(planet->weld, neighbours, stopped, 1.0, 1000, {}, 2, nullptr, &stop));
    EXPECT_EQ(stopped, before) << "no step was taken";
    EXPECT_TRUE(erodeLand(planet->weld, neighbours, plain, 1.0, 3));
    EXPECT_TRUE(erodeLand(planet->weld, neighbours, flagged, 1.0, 3, {}, 2, nullptr, &never));
    EXPECT_EQ(plain, flagged);

    DrainageInput input{planet->weld, neighbours, before.data()};
    const Drainage whole = drainLand(input);
    EXPECT_FALSE(whole.stopped);
    input.stop = &never;
    const Drainage unstopped = drainLand(input);
    EXPECT_FALSE(unstopped.stopped);
    EXPECT_EQ(unstopped.receiver, whole.receiver);
    EXPECT_EQ(unstopped.flow, whole.flow);
    input.stop = &stop;
    const Drainage cut = drainLand(input);
    EXPECT_TRUE(cut.stopped);
    EXPECT_LT(cut.stack.size(), whole.stack.size()) << "the flood ended part way";
}

// A cone rising out of the sea at radius 1, gentler than the talus slope
// (0.05 at its steepest) so that only the rivers wear it: erosion cuts the
// beds of its rivers deeper than the slopes between them, nothing ends
// above the highest point before or rises out of the sea, the sea stays,
// and the worn land still drains, every vertex down to the sea.
TEST(Erosion, AConeIsCutAlongItsRiversAndNeverRaised)
{
    HandLand land(5);
    const Drainage before = land.drain([](const double* p) { return 1.0 + 0.05 * towards(p, 4); });
    std::vector<float> worn = land.positions;
    ASSERT_TRUE(erodeLand(land.planet->weld, land.neighbours, worn, 1.0, 20));
    const RiverNetwork rivers = findRivers(before, riverThreshold(before.vertexCount()));
    const auto radius = [](const std::vector<float>& p, std::size_t v) {
        return std::sqrt(double(p[3 * v]) * p[3 * v] + double(p[3 * v + 1]) * p[3 * v + 1] +
                         double(p[3 * v + 2]) * p[3 * v + 2]);
    };
    double highest = 0.0;
    for (std::size_t v = 0; v < before.vertexCount(); ++v)
        highest = std::max(highest, radius(land.positions, v));
    std::vector<double> alongRivers, onSlopes;
    for (std::uint32_t v = 0; v < before.vertexCount(); ++v) {
        const double was = radius(land.positions, v), now = radius(worn, v);
        ASSERT_LE(now, highest) << v;
        if (before.isSea(v)) {
            ASSERT_EQ(now, was) << v;
            continue;
        }
        // The coast's vertices drain straight into the sea: no valley to tell from a slope.
        if (before.isSea(before.receiver[v]))
            continue;
        (rivers.order[v] > 0 ? alongRivers : onSlopes).push_back(was - now);
    }
    ASSERT_FALSE(alongRivers.empty());
    ASSERT_FALSE(onSlopes.empty());
    const auto median = [](std::vector<double> x) {
        std::nth_element(x.begin(), x.begin() + std::ptrdiff_t(x.size() / 2), x.end());
        return x[x.size() / 2];
    };
    EXPECT_GT(median(alongRivers), 1.5 * median(onSlopes));
    EXPECT_GT(median(onSlopes), 0.0) << "the slopes wear too";
    const Drainage after = drainLand({land.planet->weld, land.neighbours, worn.data(), 1.0});
    expectBalanced(after);
}

// Uplift balances the rivers' cutting: over 100 steps a cone without it
// wears down, with it keeps its high land (the 95th percentile of its heights
// within 10 %) and its rivers' beds still lie lower than before, while no
// vertex rises above where it began.
TEST(Erosion, UpliftKeepsTheReliefTheRiversCutInto)
{
    HandLand land(5);
    const Drainage before = land.drain([](const double* p) { return 1.0 + 0.05 * towards(p, 4); });
    const RiverNetwork rivers = findRivers(before, riverThreshold(before.vertexCount()));
    const auto heights = [](const std::vector<float>& p) {
        std::vector<double> h;
        for (std::size_t i = 0; i < p.size(); i += 3)
            h.push_back(std::sqrt(double(p[i]) * p[i] + double(p[i + 1]) * p[i + 1] + double(p[i + 2]) * p[i + 2]));
        return h;
    };
    const auto highLand = [](std::vector<double> h) {
        std::sort(h.begin(), h.end());
        return h[h.size() * 95 / 100] - 1.0;
    };
    ErosionRates none;
    none.uplift = 0.0;
    std::vector<float> lifted = land.positions, sunk = land.positions;
    ASSERT_TRUE(erodeLand(land.planet->weld, land.neighbours, lifted, 1.0, 100));
    ASSERT_TRUE(erodeLand(land.planet->weld, land.neighbours, sunk, 1.0, 100, none));
    const std::vector<double> was = heights(land.positions), up = heights(lifted), down = heights(sunk);
    EXPECT_NEAR(highLand(up), highLand(was), 0.1 * highLand(was));
    EXPECT_LT(highLand(down), 0.9 * highLand(was)) << "the case: without uplift the cone wears down";
    double cut = 0.0;
    for (std::uint32_t v = 0; v < was.size(); ++v) {
        ASSERT_LE(up[v], was[v]) << v;
        if (rivers.order[v] > 0 && !before.isSea(v))
            cut += was[v] - up[v];
    }
    EXPECT_GT(cut, 0.0) << "the rivers' beds lie lower";
}

// A planet eroded with --land: no vertex ends above the highest before, and
// the sea is set again for the worn land where the share asked is land.
TEST(Erosion, TheSeaIsSetAgainForTheWornLandAsLandAsks)
{
    const auto planet = quietPlanet(4, 5, 2000);
    const auto highest = [&planet] {
        double most = 0.0;
        for (std::size_t i = 0; i < planet->vertices.size(); i += 3)
            most = std::max(most, std::hypot(double(planet->vertices[i]), double(planet->vertices[i + 1]),
                                             double(planet->vertices[i + 2])));
        return most;
    };
    const double before = highest();
    Options options;
    options.landPercent = 30.0;
    options.erosionSteps = 10;
    testing::internal::CaptureStdout(); // the progress line and the records
    settleShape(*planet, options);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(planet->erosionSteps, 10);
    EXPECT_LE(highest(), before);
    const SeaLevel level =
        seaLevelForLand(planet->weld, planet->vertices.data(), planet->water->vertices.data(), 0.3);
    EXPECT_EQ(planet->shape.seaRadius, level.seaRadius);
    EXPECT_NEAR(level.landShare, 0.3, level.largestTriangleShare);
}

// A stop set from another thread while erosion runs ends it before the next
// step does: the progress hook of step 3 hands the flag to a second thread
// and waits until it is set, so the outcome never hangs on timing.
TEST(Erosion, AStopFromAnotherThreadEndsTheErosionWithinTheStep)
{
    const auto planet = quietPlanet(7, 5, 2000);
    const VertexNeighbours neighbours = vertexNeighbours(planet->weld);
    std::vector<float> land;
    gatherWelded(planet->weld, planet->vertices.data(), land);
    std::atomic<bool> stop{false}, asked{false};
    std::thread setter([&] {
        while (!asked.load())
            std::this_thread::yield();
        stop.store(true);
    });
    std::vector<int> heard;
    const bool whole = erodeLand(planet->weld, neighbours, land, 1.0, 1000, {}, 2, nullptr, &stop,
                                 [&](int done, int steps) {
                                     heard.push_back(done);
                                     EXPECT_EQ(steps, 1000);
                                     if (done == 3) {
                                         asked.store(true);
                                         while (!stop.load())
                                             std::this_thread::yield();
                                     }
                                 });
    asked.store(true); // lets the setter end even had no step been heard of
    setter.join();
    EXPECT_FALSE(whole);
    EXPECT_EQ(heard, (std::vector<int>{1, 2, 3})) << "no step ended after the stop";
}

// A batch erosion prints its progress as generation does, one entry a
// twentieth of the steps (at least one step) apart, and its land is the
// same as without anyone listening.
TEST(Erosion, ABatchErosionPrintsItsProgressLine)
{
    const auto planet = quietPlanet(7, 4, 1000);
    std::vector<float> before;
    gatherWelded(planet->weld, planet->vertices.data(), before);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(erodePlanet(*planet, 10));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("0%..  10%..  20%..  30%..  40%..  50%..  60%..  70%..  80%..  90%..  100%\n"),
              std::string::npos)
        << out;
    std::vector<float> eroded, quiet = before;
    gatherWelded(planet->weld, planet->vertices.data(), eroded);
    erodeLand(planet->weld, vertexNeighbours(planet->weld), quiet, planet->shape.seaRadius, 10, {}, EROSION_THREADS,
              weldedUnitSphere(*planet).data());
    EXPECT_EQ(eroded, quiet);

    const auto many = quietPlanet(7, 3, 1000);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(erodePlanet(*many, 100));
    const std::string hundred = testing::internal::GetCapturedStdout();
    EXPECT_NE(hundred.find("0%..  5%..  10%..  "), std::string::npos) << hundred;
    EXPECT_NE(hundred.find("90%..  95%..  100%\n"), std::string::npos) << hundred;
}

// How many features of each kind the GeoJSON's text holds, and all of them.
std::map<std::string, int> featureKinds(const std::string& text)
{
    std::map<std::string, int> kinds;
    const std::regex kind("\"kind\":\"([a-z]+)\"");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kind); it != std::sregex_iterator(); ++it)
        ++kinds[(*it)[1]];
    return kinds;
}

// The numbers after every "name": in the text.
std::vector<double> numbersAfter(const std::string& text, const std::string& name)
{
    std::vector<double> numbers;
    const std::regex number("\"" + name + "\":(-?[0-9.eE+-]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stod((*it)[1]));
    return numbers;
}

TEST(RiverFile, GdalReadsEveryFeatureOfAnErodedPlanet)
{
    ScopedTempDir dir;
    const CommandResult run = runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                                             " --seed 42 --land 30 --erosion 2 --rivers r.geojson --export p.ply",
                                         "5\n3000\nn\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Land worn by erosion 2 steps"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Planet (seed 42, erosion 2 steps): rivers saved to r.geojson"), std::string::npos);
    const std::string header = "Orbivane planet: seed 42, subdivisions 5, iterations 3000, batch generation, erosion 2 steps, sea radius ";
    EXPECT_EQ(readPlyFile("p.ply").comment.rfind(header, 0), 0u);
    // Each file one layer of one geometry type, every feature read back.
    const struct {
        const char* file;
        const char* kind;
        const char* geometry;
    } layers[] = {{"r.geojson", "river", "Multi Line String"},
                  {"r-lakes.geojson", "lake", "Multi Polygon"},
                  {"r-land.geojson", "land", "Polygon"}};
    for (const auto& layer : layers) {
        SCOPED_TRACE(layer.file);
        const std::map<std::string, int> kinds = featureKinds(readFile(layer.file));
        ASSERT_EQ(kinds.size(), 1u);
        ASSERT_GT(kinds.at(layer.kind), 0);
        const CommandResult info = runCommand(std::string("ogrinfo -ro -al ") + layer.file);
        ASSERT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("DESCRIPTION=" + header), std::string::npos);
        EXPECT_NE(info.out.find(std::string("Geometry: ") + layer.geometry + "\n"), std::string::npos) << info.out.substr(0, 2000);
        std::map<std::string, int> read;
        const std::regex kind("kind \\(String\\) = ([a-z]+)");
        for (auto it = std::sregex_iterator(info.out.begin(), info.out.end(), kind); it != std::sregex_iterator(); ++it)
            ++read[(*it)[1]];
        EXPECT_EQ(read, kinds);
        EXPECT_NE(info.out.find("on the planet's own sphere of radius 6371 km"), std::string::npos);
    }
    // Physical units: lakes' levels and depths in metres of the Earth's
    // relief, rivers' lengths in km.
    const std::string lakes = readFile("r-lakes.geojson"), rivers = readFile("r.geojson");
    const std::vector<double> levels = numbersAfter(lakes, "level_m"), depths = numbersAfter(lakes, "depth_m"),
                              lengths = numbersAfter(rivers, "length_km");
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(depths.size(), levels.size());
    EXPECT_EQ(lengths.size(), std::size_t(featureKinds(rivers).at("river")));
    for (const double level : levels)
        EXPECT_TRUE(level > 0.0 && level < 8000.0) << level;
    for (const double depth : depths)
        EXPECT_TRUE(depth > 1.0 && depth < 8000.0) << depth;
    for (const double length : lengths)
        EXPECT_TRUE(length > 10.0 && length < 20000.0) << length;
}

// The three files of water appear together or not at all: one that cannot
// be placed (a folder holds its name) leaves none of them, and says why.
TEST(RiverFile, FilesAppearTogetherOrNotAtAll)
{
    ScopedTempDir dir;
    std::filesystem::create_directory("r-land.geojson");
    const CommandResult run = runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) +
                                             " --seed 42 --rivers r.geojson", "4\n1000\nn\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Could not save the rivers to r.geojson: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("r-land.geojson"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists("r.geojson"));
    EXPECT_FALSE(std::filesystem::exists("r-lakes.geojson"));
}

} // namespace
