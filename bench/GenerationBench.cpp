// Batch generation speed: the straightforward two-worker loop (the
// reference: scalar side test, one pass over the vertices per plane), the
// library's former two-worker loop (the same, as the compiler vectorises it),
// a vectorised brute-force loop and the subdivision tree, 5000 planes each,
// and the whole generation a Planet constructor does, with its minor page
// faults. Every method's land is checked against the reference's, bit for bit.
//
//   orbivane_bench                         the table
//   orbivane_bench --peak-memory=METHOD N  peak resident memory of one
//                                          generation at N subdivisions,
//                                          METHOD reference or tree
//   orbivane_bench --fresh-runs=R N        R whole generations at N
//                                          subdivisions, each in a fresh
//                                          process: median and worst

#include "BenchSupport.h"
#include "FaultTree.h"
#include "Landscape.h"
#include "Planet.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ITERATIONS = 5000;
constexpr std::uint32_t SEED = 20240607;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The undeformed icosphere of each subdivision count, built once.
const std::vector<float>& bareSphere(int subdivisions)
{
    static std::map<int, std::vector<float>> spheres;
    auto it = spheres.find(subdivisions);
    if (it == spheres.end()) {
        QuietStdout quiet;
        it = spheres.emplace(subdivisions, std::vector<float>(Planet(subdivisions, 0, false).vertices)).first;
    }
    return it->second;
}

// Minor page faults of this process so far.
long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Processor time of all threads of this process so far, user and system.
double processorMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const timeval& u = usage.ru_utime;
    const timeval& s = usage.ru_stime;
    return (double(u.tv_sec) + double(s.tv_sec)) * 1e3 + (double(u.tv_usec) + double(s.tv_usec)) * 1e-3;
}

template <class Floats>
std::uint64_t fingerprint(const Floats& v)
{
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a over the bytes
    const auto* bytes = reinterpret_cast<const unsigned char*>(v.data());
    for (std::size_t i = 0; i < v.size() * sizeof(float); ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// Per subdivision count, from this process's reference runs.
std::map<int, double> referenceSeconds;
std::map<int, std::uint64_t> referenceLand;

// ---- the reference: two workers, scalar side test, one pass per plane ----

struct ScalarJob {
    const float* xyz;
    int count;
    int* counters;
    int planes;
};

__attribute__((optimize("no-tree-vectorize"))) void scalarWorker(ScalarJob* job)
{
    for (int i = 0; i < job->planes; ++i) {
        FaultPlane plane;
        {
            std::lock_guard<std::mutex> lock(rngMutex);
            plane = randomPlanePoint();
        }
        for (int j = 0; j < job->count; ++j) {
            const float* v = job->xyz + 3 * static_cast<std::size_t>(j);
            job->counters[j] += sideValue(plane, v[0], v[1], v[2]) > 0.0f ? plane.sign : -plane.sign;
        }
    }
}

void referenceBatch(std::vector<float>& land)
{
    const int count = static_cast<int>(land.size() / 3);
    std::vector<int> a(static_cast<std::size_t>(count), 750);
    std::vector<int> b(static_cast<std::size_t>(count), 750);
    seedGenerator();
    ScalarJob first{land.data(), count, a.data(), ITERATIONS - ITERATIONS / 2};
    ScalarJob second{land.data(), count, b.data(), ITERATIONS / 2};
    std::thread firstThread(scalarWorker, &first);
    std::thread secondThread(scalarWorker, &second);
    firstThread.join();
    secondThread.join();
    scaleByCounters(land.data(), count, a.data(), b.data());
}

// ---- the two-worker loop this library had before the tree, as it stands ----

void previousBatch(std::vector<float>& land)
{
    static std::unique_ptr<Planet> planet;
    QuietStdout quiet;
    const int subdivisions = treeDepthOf(static_cast<int>(land.size() / 3));
    if (!planet || planet->vertexCount != static_cast<int>(land.size() / 3))
        planet = std::make_unique<Planet>(subdivisions, 0, false);
    // The bare sphere the case was given, in and out: two copies, about
    // 20 ms of the case's seconds.
    std::copy(land.begin(), land.end(), planet->vertices.begin());
    generateBatchBruteForce(*planet, ITERATIONS);
    std::copy(planet->vertices.begin(), planet->vertices.end(), land.begin());
}

// ---- brute force, vectorised: vertices in blocks that stay in cache ----

constexpr int BLOCK = 2016; // vertices; a multiple of 48, as every icosphere from 1 subdivision on

typedef float Floats16 __attribute__((vector_size(64)));
typedef int Ints16 __attribute__((vector_size(64)));

// Three AVX-512 registers of vertices stay in registers across all planes.
__attribute__((target("avx512f"))) void addPlanesAvx512(const FaultPlane* planes, int planeCount, const float* x,
                                                        const float* y, const float* z, int* k, int n)
{
    int inner = 0;
    for (int i = 0; i < planeCount; ++i)
        inner -= planes[i].sign;
    for (int o = 0; o < n; o += 48) {
        Floats16 vx[3], vy[3], vz[3];
        Ints16 steps[3];
        for (int g = 0; g < 3; ++g) {
            std::memcpy(&vx[g], x + o + 16 * g, 64);
            std::memcpy(&vy[g], y + o + 16 * g, 64);
            std::memcpy(&vz[g], z + o + 16 * g, 64);
            std::memcpy(&steps[g], k + o + 16 * g, 64);
            steps[g] += inner;
        }
        for (int i = 0; i < planeCount; ++i) {
            const float px = planes[i].p[0], py = planes[i].p[1], pz = planes[i].p[2];
            const int twice = 2 * planes[i].sign;
            for (int g = 0; g < 3; ++g) {
                const Floats16 d = (vy[g] - py) * py + (vx[g] - px) * px + (vz[g] - pz) * pz;
                steps[g] = d > 0.0f ? steps[g] + twice : steps[g];
            }
        }
        for (int g = 0; g < 3; ++g)
            std::memcpy(k + o + 16 * g, &steps[g], 64);
    }
}

// The compiler's own vectorisation, for processors without AVX-512.
__attribute__((target_clones("avx2", "default"))) void addPlanesAuto(const FaultPlane* planes, int planeCount,
                                                                   const float* __restrict x,
                                                                   const float* __restrict y,
                                                                   const float* __restrict z, int* __restrict k,
                                                                   int n)
{
    for (int i = 0; i < planeCount; ++i) {
        const float px = planes[i].p[0], py = planes[i].p[1], pz = planes[i].p[2];
        const int up = planes[i].sign, down = -planes[i].sign;
        for (int j = 0; j < n; ++j) {
            const float d = (y[j] - py) * py + (x[j] - px) * px + (z[j] - pz) * pz;
            k[j] += d > 0.0f ? up : down;
        }
    }
}

void addPlanesToBlock(const FaultPlane* planes, int planeCount, const float* x, const float* y, const float* z,
                      int* k, int n)
{
    static const bool avx512 = __builtin_cpu_supports("avx512f");
    if (avx512 && n % 48 == 0)
        addPlanesAvx512(planes, planeCount, x, y, z, k, n);
    else
        addPlanesAuto(planes, planeCount, x, y, z, k, n);
}

void bruteForceRange(std::vector<float>& land, const std::vector<FaultPlane>& planes, int begin, int end)
{
    alignas(64) static thread_local float x[BLOCK], y[BLOCK], z[BLOCK];
    alignas(64) static thread_local int k[BLOCK];
    for (int first = begin; first < end; first += BLOCK) {
        const int n = std::min(BLOCK, end - first);
        float* v = land.data() + 3 * static_cast<std::size_t>(first);
        for (int j = 0; j < n; ++j) {
            x[j] = v[3 * j];
            y[j] = v[3 * j + 1];
            z[j] = v[3 * j + 2];
            k[j] = 0;
        }
        addPlanesToBlock(planes.data(), static_cast<int>(planes.size()), x, y, z, k, n);
        for (int j = 0; j < n; ++j)
            for (int c = 0; c < 3; ++c)
                v[3 * j + c] *= scaleForSteps(k[j]);
    }
}

void bruteForceBatch(std::vector<float>& land)
{
    seedGenerator();
    const std::vector<FaultPlane> planes = drawPlanes(ITERATIONS);
    const int count = static_cast<int>(land.size() / 3);
    std::thread second(bruteForceRange, std::ref(land), std::cref(planes), count / 2, count);
    bruteForceRange(land, planes, 0, count / 2);
    second.join();
}

// ---- the subdivision tree ----

void treeBatch(std::vector<float>& land)
{
    seedGenerator();
    const std::vector<FaultPlane> planes = drawPlanes(ITERATIONS);
    deformByTree(land.data(), static_cast<int>(land.size() / 3), planes, nullptr, TreeProgress());
}

// ---- cases ----

void report(benchmark::State& state, int subdivisions, double seconds, int runs, bool reference)
{
    const double perRun = seconds / runs;
    state.counters["side_tests_per_s"] = double(icosphereVertexCount(subdivisions)) * ITERATIONS / perRun;
    if (reference)
        referenceSeconds[subdivisions] = perRun;
    else if (referenceSeconds.count(subdivisions))
        state.counters["x_reference"] = referenceSeconds[subdivisions] / perRun;
}

void runMethod(benchmark::State& state, int subdivisions, void (*method)(std::vector<float>&), bool reference)
{
    setFixedSeed(SEED);
    double seconds = 0;
    int runs = 0;
    std::vector<float> land;
    for (auto _ : state) {
        land = bareSphere(subdivisions); // not timed
        const Clock::time_point start = Clock::now();
        method(land);
        const double elapsed = secondsSince(start);
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        ++runs;
    }
    if (reference)
        referenceLand[subdivisions] = fingerprint(land);
    else if (referenceLand.count(subdivisions) && referenceLand[subdivisions] != fingerprint(land))
        state.SkipWithError("land differs from the reference");
    report(state, subdivisions, seconds, runs, reference);
}

// Icosphere, sea and planes, as the program's log times them; minor page
// faults per run beside the time, a figure that does not depend on what a
// fault costs on the machine at hand.
void runWholeGeneration(benchmark::State& state, int subdivisions)
{
    setFixedSeed(SEED);
    double seconds = 0;
    int runs = 0;
    long faults = 0;
    std::uint64_t land = 0;
    for (auto _ : state) {
        QuietStdout quiet;
        const long faultsBefore = minorFaults();
        const Clock::time_point start = Clock::now();
        auto planet = std::make_unique<Planet>(subdivisions, ITERATIONS, false);
        const double elapsed = secondsSince(start);
        faults += minorFaults() - faultsBefore;
        land = fingerprint(planet->vertices);
        planet.reset();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        ++runs;
    }
    if (referenceLand.count(subdivisions) && referenceLand[subdivisions] != land)
        state.SkipWithError("land differs from the reference");
    report(state, subdivisions, seconds, runs, false);
    state.counters["minor_faults"] = double(faults) / runs;
}

// "Method/subdivisions", built without operator+ (whose inlined form trips
// a false -Wrestrict in g++ 12).
std::string caseName(const char* method, int subdivisions)
{
    std::string name(method);
    name.append("/").append(std::to_string(subdivisions));
    return name;
}

// Each method's cases come after the reference's of the same size, whose
// time and land they are compared with.
void registerCases()
{
    for (int n : {4, 6, 7, 8, 9}) {
        std::vector<benchmark::internal::Benchmark*> cases;
        cases.push_back(benchmark::RegisterBenchmark(caseName("Reference", n).c_str(), runMethod, n, referenceBatch, true));
        if (n <= 8) // about 50 s at 9
            cases.push_back(
                benchmark::RegisterBenchmark(caseName("PreviousBatch", n).c_str(), runMethod, n, previousBatch, false));
        cases.push_back(
            benchmark::RegisterBenchmark(caseName("BruteForceSimd", n).c_str(), runMethod, n, bruteForceBatch, false));
        for (auto* b : cases) {
            b->UseManualTime()->Unit(benchmark::kMillisecond);
            if (n >= 6)
                b->Iterations(1); // seconds per run
        }
        benchmark::RegisterBenchmark(caseName("Tree", n).c_str(), runMethod, n, treeBatch, false)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (int n : {8, 9})
        benchmark::RegisterBenchmark(caseName("WholeGeneration", n).c_str(), runWholeGeneration, n)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
}

// ---- peak memory, one generation per process ----

long peakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

int measurePeakMemory(const std::string& method, int subdivisions)
{
    setFixedSeed(SEED);
    long before = 0;
    {
        QuietStdout quiet;
        Planet planet(subdivisions, 0, false); // icosphere and sea, no planes
        before = peakResidentKiB();
        if (method == "reference")
            generateBatchBruteForce(planet, ITERATIONS);
        else
            generateBatch(planet, ITERATIONS);
    }
    std::printf("%s, %d subdivisions, %d planes: peak resident %ld KiB (%ld KiB before the planes)\n",
                method.c_str(), subdivisions, ITERATIONS, peakResidentKiB(), before);
    return 0;
}

// ---- whole generations, one per fresh process ----

struct FreshRun {
    double milliseconds;
    double processor;  // milliseconds of processor time, both threads, kernel too
    long faults;  // minor page faults of the generation
    long peakKiB; // the process's peak resident set afterwards
};

// One whole generation in a child process of its own; false when the child
// could not be started or did not report.
bool runInFreshProcess(int subdivisions, FreshRun& run)
{
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    std::fflush(stdout); // or the child writes the parent's pending output too
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        setFixedSeed(SEED);
        FreshRun result{};
        {
            QuietStdout quiet;
            const long before = minorFaults();
            const double processor = processorMilliseconds();
            const Clock::time_point start = Clock::now();
            Planet planet(subdivisions, ITERATIONS, false);
            result.milliseconds = secondsSince(start) * 1e3;
            result.processor = processorMilliseconds() - processor;
            result.faults = minorFaults() - before;
        }
        result.peakKiB = peakResidentKiB();
        _exit(write(channel[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(channel[1]);
    const bool reported = child > 0 && read(channel[0], &run, sizeof run) == sizeof run;
    close(channel[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    return reported && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Median and largest of one field over the runs.
template <class Field>
std::pair<Field, Field> medianAndMost(std::vector<FreshRun> runs, Field FreshRun::*field)
{
    const auto less = [field](const FreshRun& a, const FreshRun& b) { return a.*field < b.*field; };
    const std::size_t middle = runs.size() / 2;
    std::nth_element(runs.begin(), runs.begin() + middle, runs.end(), less);
    return {runs[middle].*field, (*std::max_element(runs.begin(), runs.end(), less)).*field};
}

int measureFreshRuns(int runs, int subdivisions)
{
    std::vector<FreshRun> results;
    std::printf("ms:");
    for (int i = 0; i < runs; ++i) {
        FreshRun run{};
        if (!runInFreshProcess(subdivisions, run)) {
            std::fprintf(stderr, "\nrun %d did not report\n", i + 1);
            return 1;
        }
        std::printf(" %.1f", run.milliseconds);
        std::fflush(stdout);
        results.push_back(run);
    }
    const auto [median, worst] = medianAndMost(results, &FreshRun::milliseconds);
    const auto [processor, mostProcessor] = medianAndMost(results, &FreshRun::processor);
    const auto [faults, mostFaults] = medianAndMost(results, &FreshRun::faults);
    std::printf("\n%d whole generations at %d subdivisions, %d planes, each in a fresh process:\n"
                "time median %.1f ms, worst %.1f ms (%.2f times the median); processor time median %.0f ms, "
                "most %.0f ms; minor page faults median %ld, most %ld; peak resident at most %ld KiB\n",
                runs, subdivisions, ITERATIONS, median, worst, worst / median, processor, mostProcessor, faults,
                mostFaults, medianAndMost(results, &FreshRun::peakKiB).second);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strncmp(argv[1], "--peak-memory=", 14) == 0)
        return measurePeakMemory(argv[1] + 14, argc >= 3 ? std::atoi(argv[2]) : 8);
    if (argc >= 2 && std::strncmp(argv[1], "--fresh-runs=", 13) == 0)
        return measureFreshRuns(std::max(1, std::atoi(argv[1] + 13)), argc >= 3 ? std::atoi(argv[2]) : 8);
    registerCases();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
