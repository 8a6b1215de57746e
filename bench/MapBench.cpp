// World map speed at 8 subdivisions and 5000 planes: the height grid (the
// lookup down the icosphere's subdivision, two threads), the two pictures
// made from it (the colour map hill-shaded), and both PNG files with their
// sidecars written through SafeFile, at the default width and the largest.
//
//   orbivane_map_bench --benchmark_counters_tabular=true

#include "Landscape.h"
#include "MapGeoreference.h"
#include "Planet.h"
#include "SafeFile.h"
#include "ColourMap.h"
#include "WorldMap.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <memory>

namespace {

constexpr int SUBDIVISIONS = 8;
constexpr int ITERATIONS = 5000;

Planet& planet()
{
    static std::unique_ptr<Planet> made = [] {
        setFixedSeed(2);
        // The progress line goes to /dev/null, not into the table.
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
        auto p = std::make_unique<Planet>(SUBDIVISIONS, ITERATIONS, false);
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        return p;
    }();
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

// Everything `--map` and `--heightmap` do: grid, pictures, both files and
// their world files and coordinate systems.
void WholeMapsBench(benchmark::State& state)
{
    const int width = int(state.range(0));
    const std::string folder = std::filesystem::temp_directory_path() / "orbivane-map-bench";
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        const HeightGrid grid = buildHeightGrid(planet(), width);
        std::string error, sidecar;
        for (const char* name : {"/map.png", "/height.png"}) {
            const SaveTarget target = SaveTarget::replacing(folder + name);
            if (name[1] == 'm')
                writePng(target, colourMapOf(grid), "", error, nullptr, PngCompression::Fast);
            else
                writePng(target, heightMapOf(grid), "", error, nullptr, PngCompression::Fast);
            writeGeoreference(target, target.path, grid.width, grid.height, sidecar, error);
        }
    }
    std::filesystem::remove_all(folder);
    setPixels(state, width);
}

BENCHMARK(HeightGridBench)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(PicturesBench)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WholeMapsBench)->Arg(2048)->Arg(16384)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
