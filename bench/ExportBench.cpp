// Mesh export speed at 8 subdivisions and 5000 planes (655362 welded
// vertices): each format written whole through SafeFile, fsync included,
// as `--export` and the E key write it; the last, the .glb compressed
// (--compress: quantised and meshopt-encoded).
//
//   orbivane_export_bench --benchmark_counters_tabular=true

#include "BenchSupport.h"
#include "Landscape.h"
#include "MeshExport.h"
#include "Planet.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

constexpr int SUBDIVISIONS = 8;
constexpr int ITERATIONS = 5000;
const char* const EXTENSIONS[] = {".ply", ".obj", ".glb", ".glb"};
const char* const LABELS[] = {".ply", ".obj", ".glb", ".glb compressed"};

Planet& planet()
{
    static const std::unique_ptr<Planet> made = quietPlanet(2, SUBDIVISIONS, ITERATIONS);
    return *made;
}

// Argument: the format, an index into EXTENSIONS; 3 compresses.
void ExportBench(benchmark::State& state)
{
    Planet& p = planet();
    const ScratchFolder scratch("orbivane-export-bench");
    if (scratch.path().empty()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string path = scratch.path().string() + "/planet" + EXTENSIONS[state.range(0)];
    LandView land{p.weld, p.vertices.data(), nullptr, p.water->vertices.data()};
    land.compress = state.range(0) == 3;
    for (auto _ : state) {
        std::string error;
        if (!exportMesh(SaveTarget::replacing(path), land, {2, SUBDIVISIONS, ITERATIONS}, error))
            state.SkipWithError(error.c_str());
    }
    state.SetLabel(LABELS[state.range(0)]);
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

BENCHMARK(ExportBench)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
