// World map speed at 8 subdivisions and 5000 planes: the height grid (the
// lookup down the icosphere's subdivision, two threads), the two pictures
// made from it (the colour map hill-shaded), and the whole of saving both
// maps with their sidecars, at the default width and the largest; and the
// whole of saving the DEM (--dem), a GeoTIFF 4096 wide.
//
//   orbivane_map_bench --benchmark_counters_tabular=true

#include "BenchSupport.h"
#include "Landscape.h"
#include "PlanetSaving.h"
#include "Planet.h"
#include "SafeFile.h"
#include "ColourMap.h"
#include "ElevationMap.h"
#include "GeoTiff.h"
#include "LandSnapshot.h"
#include "PlanetClimate.h"
#include "WorldMap.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

constexpr int SUBDIVISIONS = 8;
constexpr int ITERATIONS = 5000;

Planet& planet()
{
    static const std::unique_ptr<Planet> made = quietPlanet(2, SUBDIVISIONS, ITERATIONS);
    return *made;
}

void setPixels(benchmark::State& state, int width)
{
    state.counters["pixels"] = double(width) * (width / 2);
    state.counters["ns per pixel"] = benchmark::Counter(double(width) * (width / 2),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}

void HeightGridBench(benchmark::State& state)
{
    const int width = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(buildHeightGrid(planet(), width).radius.data());
    setPixels(state, width);
}

void PicturesBench(benchmark::State& state)
{
    const HeightGrid grid = buildHeightGrid(planet(), int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(colourMapOf(grid).rgb.data());
        benchmark::DoNotOptimize(heightMapOf(grid).grey.data());
    }
    setPixels(state, grid.width);
}

// Saves targets width pixels wide once an iteration, from a scratch folder
// of this run's own (a fixed name would be shared with any other run).
void saveMapsBench(benchmark::State& state, const MapTargets& targets)
{
    const int width = int(state.range(0));
    const ScratchFolder scratch("orbivane-map-bench");
    if (scratch.path().empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    for (auto _ : state) {
        QuietStdout quiet;
        saveMapsOf(planet(), targets, width);
    }
    std::filesystem::current_path(before);
    setPixels(state, width);
}

// Everything `--map` and `--heightmap` do (saveMapsOf): grid, both pictures
// and files with their world files and coordinate systems, the colour map on
// a second thread. Its log goes to the scratch folder's Orbivane.log.
void WholeMapsBench(benchmark::State& state)
{
    saveMapsBench(state, {.colour = SaveTarget::replacing("map.png"), .height = SaveTarget::replacing("height.png")});
}

// Everything `--dem` does: grid, elevations, the COG made by GDAL in memory
// and written through SafeFile.
void DemBench(benchmark::State& state)
{
    saveMapsBench(state, {.dem = SaveTarget::replacing("dem.tif")});
}

// The DEM's file alone from a grid made once: elevations, GDAL's COG in
// memory, the bytes through SafeFile.
void DemFileBench(benchmark::State& state)
{
    const HeightGrid grid = buildHeightGrid(planet(), int(state.range(0)));
    const PhysicalScale scale = physicalScaleOf(planet(), LandSnapshot(planet()));
    const ScratchFolder scratch("orbivane-dem-bench");
    if (scratch.path().empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string path = (scratch.path() / "dem.tif").string();
    for (auto _ : state) {
        SafeFile file(SaveTarget::replacing(path));
        std::string error;
        if (!encodeGeoTiff(file, elevationMapOf(grid, scale), "header", {6371000.0, ELEVATION_BAND}, error) ||
            !file.commit())
            state.SkipWithError(error.c_str());
    }
    setPixels(state, grid.width);
}

BENCHMARK(HeightGridBench)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(PicturesBench)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WholeMapsBench)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DemFileBench)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(DemBench)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
