// Water over the land: the time to drain a planet (lakes and rivers with it)
// and of one erosion step at 8 subdivisions; with --figures, the checks over
// 20 planets of 7 subdivisions, 5000 planes and 30 % land (docs/drainage.md).
//
//   orbivane_drainage_bench --benchmark_counters_tabular=true
//   orbivane_drainage_bench --figures [EROSION_STEPS [SEEDS]]
//   orbivane_drainage_bench --lakes [SEEDS]
//   orbivane_drainage_bench --erode STEPS   (the benchmark's planet at 8 subdivisions, for a profiler)
//   orbivane_drainage_bench --stop-latency [SUBDIVISIONS [TRIALS]]   (a stop set mid-erosion to its return)

#include "BenchSupport.h"
#include "Drainage.h"
#include "Erosion.h"
#include "LandNormals.h"
#include "Planet.h"
#include "Rivers.h"
#include "SeaLevel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>

namespace {

// A planet of seed with its sea where 30 % of the surface is land.
struct Drained {
    std::unique_ptr<Planet> planet;
    VertexNeighbours neighbours;
    std::vector<float> positions;
    double seaRadius = 1.0;

    // land: the share of the surface above the sea, or below 0 for the sea at radius 1.
    Drained(std::uint32_t seed, int subdivisions, double land = 0.3) : planet(quietPlanet(seed, subdivisions, 5000))
    {
        neighbours = vertexNeighbours(planet->weld);
        gatherWelded(planet->weld, planet->vertices.data(), positions);
        if (land >= 0.0)
            seaRadius = seaLevelForLand(planet->weld, planet->vertices.data(), planet->water->vertices.data(), land).seaRadius;
    }
    Drainage drain() const { return drainLand({planet->weld, neighbours, positions.data(), seaRadius, nullptr}); }
};

Drained& planetOf(int subdivisions)
{
    static std::map<int, std::unique_ptr<Drained>> made;
    auto& planet = made[subdivisions];
    if (!planet)
        planet = std::make_unique<Drained>(2, subdivisions);
    return *planet;
}

void DrainageBench(benchmark::State& state)
{
    const Drained& planet = planetOf(int(state.range(0)));
    std::size_t rivers = 0, lakes = 0;
    for (auto _ : state) {
        const Drainage d = planet.drain();
        const RiverNetwork network = findRivers(d, riverThreshold(d.vertexCount()));
        rivers = network.rivers.size();
        lakes = d.lakes.size();
    }
    state.counters["rivers"] = double(rivers);
    state.counters["lakes"] = double(lakes);
}

// Ten steps an iteration; the counter gives the time of one.
void ErosionStepBench(benchmark::State& state)
{
    const Drained& planet = planetOf(int(state.range(0)));
    std::vector<float> land = planet.positions;
    for (auto _ : state)
        erodeLand(planet.planet->weld, planet.neighbours, land, planet.seaRadius, 10);
    state.counters["step"] = benchmark::Counter(10.0 * double(state.iterations()),
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

double radiusOf(const float* p)
{
    return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
}

double correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        ma += a[i], mb += b[i];
    ma /= double(a.size()), mb /= double(a.size());
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        ab += (a[i] - ma) * (b[i] - mb), aa += (a[i] - ma) * (a[i] - ma), bb += (b[i] - mb) * (b[i] - mb);
    return ab / std::sqrt(aa * bb);
}

// The welded vertices of land that a coarser icosphere has too, found by
// their directions: the subdivision makes the same points bit for bit.
std::vector<std::uint32_t> coarseVertices(const Drained& fine, int coarseSubdivisions)
{
    const auto coarse = quietPlanet(1, coarseSubdivisions, 0);
    std::vector<float> directions;
    gatherWelded(coarse->weld, coarse->vertices.data(), directions);
    std::vector<float> fineDirections;
    gatherWelded(fine.planet->weld, fine.planet->water->vertices.data(), fineDirections);
    std::unordered_map<std::string, std::uint32_t> at;
    for (std::uint32_t v = 0; v < fineDirections.size() / 3; ++v)
        at.emplace(std::string(reinterpret_cast<const char*>(&fineDirections[3 * v]), 12), v);
    std::vector<std::uint32_t> found;
    for (std::size_t v = 0; v < directions.size() / 3; ++v)
        found.push_back(at.at(std::string(reinterpret_cast<const char*>(&directions[3 * v]), 12)));
    return found;
}

// Land vertices whose path leaves no sink; rivers rising on the filled
// surface; the sinks' flow against the rain on land.
void drainageFigures(const Drained& planet, const Drainage& d, const RiverNetwork& network)
{
    std::size_t stranded = 0, rising = 0, land = 0;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (d.isSea(v))
            continue;
        ++land;
        std::uint32_t w = v;
        for (std::size_t k = 0; k <= d.vertexCount() && !d.isSink(w); ++k)
            w = d.receiver[w];
        stranded += !d.isSink(w);
    }
    double atSinks = 0.0;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v)
        atSinks += d.isSink(v) ? d.flow[v] : 0.0;
    for (const River& river : network.rivers)
        for (std::size_t i = 1; i < river.path.size(); ++i)
            rising += d.filled[river.path[i]] > d.filled[river.path[i - 1]];
    int highest = 0;
    for (const River& river : network.rivers)
        highest = std::max(highest, river.order);
    std::printf("seed %u: %zu land vertices, %zu stranded; %zu rivers (order up to %d), %zu rising steps; "
                "%zu lakes; sinks carry %.17g of %.17g (relative difference %.2g)\n",
                planet.planet->seed, land, stranded, network.rivers.size(), highest, rising, d.lakes.size(), atSinks,
                d.landRain, std::abs(atSinks - d.landRain) / d.landRain);
}

// The 95th percentile of the land's heights above the sea, in sea radii.
double highPercentile(const Drained& planet, const std::vector<float>& land)
{
    std::vector<double> heights;
    for (std::size_t v = 0; v < land.size() / 3; ++v)
        if (radiusOf(&land[3 * v]) > planet.seaRadius)
            heights.push_back(radiusOf(&land[3 * v]) - planet.seaRadius);
    if (heights.empty())
        return 0.0;
    const std::size_t at = heights.size() * 95 / 100;
    std::nth_element(heights.begin(), heights.begin() + std::ptrdiff_t(at), heights.end());
    return heights[at];
}

// The worn land's rivers and lakes against those before, and its high land.
void wornWater(const Drained& planet, const std::vector<float>& before, const RiverNetwork& network)
{
    const Drainage worn = planet.drain();
    const RiverNetwork rivers = findRivers(worn, riverThreshold(worn.vertexCount()));
    double land = 0.0, lakes = 0.0;
    for (std::uint32_t v = 0; v < worn.vertexCount(); ++v) {
        land += worn.isSea(v) ? 0.0 : worn.area[v];
        lakes += worn.lakeOf[v] != Drainage::NO_LAKE ? worn.area[v] : 0.0;
    }
    std::printf("seed %u: worn: rivers %zu of %zu before (%.1f %%); lakes %zu (%.2f %% of the land); 95th height "
                "percentile %.1f %% of before\n",
                planet.planet->seed, rivers.rivers.size(), network.rivers.size(),
                100.0 * double(rivers.rivers.size()) / double(network.rivers.size()), worn.lakes.size(),
                100.0 * lakes / land, 100.0 * highPercentile(planet, planet.positions) / highPercentile(planet, before));
}

// Roughness before and after, the coarse heights' correlation, and the land
// along rivers of order 3 and more against the land beside them.
void erosionFigures(Drained& planet, int steps)
{
    const std::vector<float> before = planet.positions;
    const Drainage d = planet.drain();
    const RiverNetwork network = findRivers(d, riverThreshold(d.vertexCount()));
    const double roughBefore = landRoughness(planet.neighbours, before, planet.seaRadius);
    erodeLand(planet.planet->weld, planet.neighbours, planet.positions, planet.seaRadius, steps);
    const double roughAfter = landRoughness(planet.neighbours, planet.positions, planet.seaRadius);
    std::vector<double> a, b;
    for (const std::uint32_t v : coarseVertices(planet, 5))
        if (radiusOf(&before[3 * v]) > planet.seaRadius) {
            a.push_back(radiusOf(&before[3 * v]));
            b.push_back(radiusOf(&planet.positions[3 * v]));
        }
    // Along: each river vertex of order 3+ less the mean of its neighbours off the rivers.
    double lower = 0.0;
    std::size_t along = 0;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (network.order[v] < 3 || d.lakeOf[v] != Drainage::NO_LAKE || d.isSea(v))
            continue;
        double beside = 0.0;
        int count = 0;
        for (const std::uint32_t* w = planet.neighbours.begin(v); w != planet.neighbours.end(v); ++w)
            if (!network.order[*w] && !d.isSea(*w))
                beside += radiusOf(&planet.positions[3 * std::size_t(*w)]), ++count;
        if (count) {
            lower += beside / count - radiusOf(&planet.positions[3 * std::size_t(v)]);
            ++along;
        }
    }
    std::printf("seed %u: erosion %d steps: roughness %.3g -> %.3g (%.1f %% less); coarse correlation %.4f; "
                "order 3+ rivers lie %.3g steps below the land beside them (%zu vertices)\n",
                planet.planet->seed, steps, roughBefore, roughAfter, 100.0 * (1.0 - roughAfter / roughBefore),
                correlation(a, b), along ? lower / double(along) * 1500.0 : 0.0, along);
    wornWater(planet, before, network);
}

int figures(int steps, std::uint32_t seeds)
{
    for (std::uint32_t seed = 1; seed <= seeds; ++seed) {
        Drained planet(seed, 7);
        const Drainage d = planet.drain();
        drainageFigures(planet, d, findRivers(d, riverThreshold(d.vertexCount())));
        if (steps > 0)
            erosionFigures(planet, steps);
        std::fflush(stdout);
    }
    return 0;
}

// A filled depression at least LAKE_DEPTH_MIN deep, whether or not it holds a lake.
struct Basin {
    double area = 0.0, deepest = 0.0, volume = 0.0; // on the unit sphere; sea radii; their product
    double inflow = 0.0;                            // as Lake::inflow
};

// The basins of d: the flooded vertices of one level that touch, as the lakes are found.
std::vector<Basin> basinsOf(const Drained& planet, const Drainage& d)
{
    std::vector<Basin> basins;
    std::vector<std::uint8_t> seen(d.vertexCount(), 0);
    const auto flooded = [&](std::uint32_t v) { return d.filled[v] > d.height[v]; };
    for (std::uint32_t first = 0; first < d.vertexCount(); ++first) {
        if (seen[first] || !flooded(first))
            continue;
        std::vector<std::uint32_t> members{first};
        seen[first] = 1;
        Basin basin;
        for (std::size_t i = 0; i < members.size(); ++i) {
            const std::uint32_t v = members[i];
            basin.area += d.area[v];
            basin.deepest = std::max(basin.deepest, d.filled[v] - d.height[v]);
            basin.volume += d.area[v] * (d.filled[v] - d.height[v]);
            for (const std::uint32_t* w = planet.neighbours.begin(v); w != planet.neighbours.end(v); ++w)
                if (!seen[*w] && flooded(*w) && d.filled[*w] == d.filled[first]) {
                    seen[*w] = 1;
                    members.push_back(*w);
                }
        }
        for (const std::uint32_t v : members)
            if (d.filled[d.receiver[v]] != d.filled[first] || !flooded(d.receiver[v]))
                basin.inflow += d.flow[v];
        if (basin.deepest >= LAKE_DEPTH_MIN)
            basins.push_back(basin);
    }
    return basins;
}

std::string shortText(double x)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", x);
    return text;
}

// Candidate rules for which basins hold lakes, over planets at 30 % land and
// at the sea of radius 1: the share of the land's area under lakes (mean and
// range), the lakes a planet and its largest lake's share. V is
// LAKE_VOLUME_MIN; the last rule is the drainage's own, from its lakes.
int lakeFigures(std::uint32_t seeds)
{
    struct Rule {
        std::string name;
        std::function<bool(const Basin&)> keeps;
        double share = 0.0, low = 100.0, high = 0.0, largest = 0.0;
        std::size_t count = 0;
    };
    const double step = 1.0 / 1500.0;
    std::vector<Rule> rules;
    for (const double depth : {0.5, 2.0, 8.0})
        rules.push_back({"depth >= " + shortText(depth) + " steps",
                         [=](const Basin& b) { return b.deepest >= depth * step; }});
    for (const double volume : {0.5, 1.0, 2.0})
        rules.push_back({"volume >= " + shortText(volume) + " V", [=](const Basin& b) {
                             return b.volume >= volume * LAKE_VOLUME_MIN;
                         }});
    for (const double k : {10.0, 15.0, 20.0})
        for (const double volume : {0.0, 0.5, 1.0, 2.0})
            rules.push_back({"catchment >= " + shortText(k) + " x lake" + (volume ? ", volume >= " + shortText(volume) + " V" : ""),
                             [=](const Basin& b) {
                                 return b.inflow >= k * UNIFORM_RAIN * b.area && b.volume >= volume * LAKE_VOLUME_MIN;
                             }});
    rules.push_back({"the drainage's lakes", nullptr});
    for (const double land : {0.3, -1.0}) {
        for (Rule& rule : rules)
            rule.share = rule.largest = 0.0, rule.low = 100.0, rule.high = 0.0, rule.count = 0;
        for (std::uint32_t seed = 1; seed <= seeds; ++seed) {
            const Drained planet(seed, 7, land);
            const Drainage d = planet.drain();
            double landArea = 0.0;
            for (std::uint32_t v = 0; v < d.vertexCount(); ++v)
                landArea += d.isSea(v) ? 0.0 : d.area[v];
            const std::vector<Basin> basins = basinsOf(planet, d);
            std::vector<double> lakeArea(d.lakes.size(), 0.0);
            for (std::uint32_t v = 0; v < d.vertexCount(); ++v)
                if (d.lakeOf[v] != Drainage::NO_LAKE)
                    lakeArea[d.lakeOf[v]] += d.area[v];
            for (Rule& rule : rules) {
                double area = 0.0, largest = 0.0;
                for (const Basin& basin : basins)
                    if (rule.keeps && rule.keeps(basin)) {
                        area += basin.area;
                        largest = std::max(largest, basin.area);
                        ++rule.count;
                    }
                for (const double a : rule.keeps ? std::vector<double>() : lakeArea) {
                    area += a;
                    largest = std::max(largest, a);
                    ++rule.count;
                }
                const double share = 100.0 * area / landArea;
                rule.share += share / seeds, rule.low = std::min(rule.low, share), rule.high = std::max(rule.high, share);
                rule.largest += 100.0 * largest / landArea / seeds;
            }
        }
        std::printf("%s: rule | land under lakes, mean (seeds' range) | lakes a planet | largest lake\n",
                    land < 0.0 ? "sea at radius 1" : "30 % land");
        for (const Rule& rule : rules)
            std::printf("| %s | %.2f %% (%.2f to %.2f) | %.1f | %.2f %% |\n", rule.name.c_str(), rule.share, rule.low,
                        rule.high, double(rule.count) / seeds, rule.largest);
        std::fflush(stdout);
    }
    return 0;
}

// The time from a stop set by another thread, at moments spread over the
// steps, to erodeLand's return: what a window dropping N's planet waits.
int stopLatency(int subdivisions, int trials)
{
    using Clock = std::chrono::steady_clock;
    const Drained planet(2, subdivisions);
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<float> land = planet.positions;
        std::atomic<bool> stop{false};
        Clock::time_point setAt;
        std::thread setter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200 + 71 * trial));
            setAt = Clock::now();
            stop.store(true);
        });
        const bool whole = erodeLand(planet.planet->weld, planet.neighbours, land, planet.seaRadius, 1000, {},
                                     EROSION_THREADS, nullptr, &stop);
        const Clock::time_point returned = Clock::now();
        setter.join();
        std::printf("trial %d: %s, returned %.1f ms after the stop\n", trial, whole ? "whole" : "stopped",
                    std::chrono::duration<double, std::milli>(returned - setAt).count());
    }
    return 0;
}

} // namespace

BENCHMARK(DrainageBench)->Arg(7)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ErosionStepBench)->Arg(7)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--figures") == 0)
        return figures(argc >= 3 ? std::atoi(argv[2]) : 50, argc >= 4 ? std::uint32_t(std::atoi(argv[3])) : 20);
    if (argc >= 2 && std::strcmp(argv[1], "--lakes") == 0)
        return lakeFigures(argc >= 3 ? std::uint32_t(std::atoi(argv[2])) : 20);
    if (argc >= 3 && std::strcmp(argv[1], "--erode") == 0) {
        const Drained& planet = planetOf(8);
        std::vector<float> land = planet.positions;
        erodeLand(planet.planet->weld, planet.neighbours, land, planet.seaRadius, std::atoi(argv[2]));
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--stop-latency") == 0)
        return stopLatency(argc >= 3 ? std::atoi(argv[2]) : 9, argc >= 4 ? std::atoi(argv[3]) : 10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
