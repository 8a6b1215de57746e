// --land: the time to set the sea level for a share of land, and how near
// the share reached comes to the share asked, against the bound (the largest
// triangle's share of the surface). Seed 2, 5000 planes.
//
//   orbivane_sea_level_bench --benchmark_counters_tabular=true

#include "BenchSupport.h"
#include "Landscape.h"
#include "Planet.h"
#include "SeaLevel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

Planet& planetOf(int subdivisions)
{
    static std::map<int, std::unique_ptr<Planet>> made;
    std::unique_ptr<Planet>& planet = made[subdivisions];
    if (!planet)
        planet = quietPlanet(2, subdivisions, 5000);
    return *planet;
}

// Arguments: subdivisions, percent of land asked.
void SeaLevelBench(benchmark::State& state)
{
    Planet& planet = planetOf(static_cast<int>(state.range(0)));
    const double asked = state.range(1) / 100.0;
    SeaLevel level;
    for (auto _ : state) {
        level = seaLevelForLand(planet.weld, planet.vertices.data(), planet.water->vertices.data(), asked);
        benchmark::DoNotOptimize(level);
    }
    state.counters["seaRadius"] = level.seaRadius;
    state.counters["reached%"] = level.landShare * 100;
    state.counters["error%"] = std::abs(level.landShare - asked) * 100;
    state.counters["bound%"] = level.largestTriangleShare * 100;
}

} // namespace

BENCHMARK(SeaLevelBench)
    ->ArgsProduct({{4, 8}, {10, 30, 70}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
