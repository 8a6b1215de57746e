// The climate's time: temperature, rain and biomes of seed 2's planet (5000
// planes, the sea where --land 30 puts it) at 7, 8 and 9 subdivisions, from
// the welded land and its neighbours (made once, as the caller has them),
// the physical scale included (Earth's curve fitted each time); the fitting
// of that curve alone; and the ocean gyres' part of it alone, from the unit
// directions, latitudes and sea mask.
//
//   orbivane_climate_bench --benchmark_repetitions=5 --benchmark_counters_tabular=true

#include "BenchSupport.h"
#include "Climate.h"
#include "CommandLine.h"
#include "LandNormals.h"
#include "PlanetClimate.h"
#include "OceanGyres.h"
#include "PlanetShaping.h"
#include "VertexNeighbours.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>

namespace {

struct Land {
    std::unique_ptr<Planet> planet;
    std::vector<float> welded;
    VertexNeighbours neighbours;
};

const Land& landOf(int subdivisions)
{
    static std::map<int, Land> made;
    Land& land = made[subdivisions];
    if (!land.planet) {
        land.planet = quietPlanet(2, subdivisions, 5000);
        Options options;
        options.landPercent = 30.0;
        QuietStdout quiet;
        settleShape(*land.planet, options);
        gatherWelded(land.planet->weld, land.planet->vertices.data(), land.welded);
        land.neighbours = vertexNeighbours(land.planet->weld);
    }
    return land;
}

void ClimateBench(benchmark::State& state)
{
    const Land& land = landOf(int(state.range(0)));
    const std::size_t n = land.planet->weld.vertexCount();
    for (auto _ : state) {
        const PhysicalScale scale = physicalScaleOf(land.welded.data(), n, land.planet->shape.seaRadius, 6371.0, 8000.0,
                                                    nullptr, Hypsometry::Earth);
        const Climate climate = computeClimate(land.planet->weld, land.neighbours, land.welded.data(), scale);
        benchmark::DoNotOptimize(climate.biome.data());
    }
    state.counters["vertices"] = double(n);
    state.counters["ns per vertex"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The curve from the welded land and its undeformed sphere, as a planet fits it once.
void HeightCurveBench(benchmark::State& state)
{
    const Land& land = landOf(int(state.range(0)));
    const std::size_t n = land.planet->weld.vertexCount();
    const std::vector<float> unit = weldedUnitSphere(*land.planet);
    for (auto _ : state) {
        const PhysicalScale scale = physicalScaleOf(land.welded.data(), n, land.planet->shape.seaRadius, 6371.0, 8000.0,
                                                    unit.data(), Hypsometry::Earth);
        benchmark::DoNotOptimize(scale.curve.units.data());
    }
    state.counters["vertices"] = double(n);
}

void GyreBench(benchmark::State& state)
{
    const Land& land = landOf(int(state.range(0)));
    const std::size_t n = land.planet->weld.vertexCount();
    std::vector<float> up(3 * n), latitude(n);
    std::vector<std::uint8_t> sea(n);
    for (std::size_t v = 0; v < n; ++v) {
        const float* p = land.welded.data() + 3 * v;
        const float r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        for (int k = 0; k < 3; ++k)
            up[3 * v + k] = p[k] / r;
        latitude[v] = std::asin(std::clamp(up[3 * v + 1], -1.0f, 1.0f)) * float(180.0 / 3.14159265358979);
        sea[v] = r <= land.planet->shape.seaRadius;
    }
    for (auto _ : state) {
        const BigArray<float> anomaly = gyreAnomaly(up.data(), latitude.data(), sea.data(), n, 6371.0, CLIMATE_THREADS);
        benchmark::DoNotOptimize(anomaly.data());
    }
    state.counters["vertices"] = double(n);
}

} // namespace

BENCHMARK(ClimateBench)->DenseRange(7, 9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HeightCurveBench)->DenseRange(7, 9)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GyreBench)->DenseRange(7, 9)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
