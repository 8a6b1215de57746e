#include "Landscape.h"

#include "BigArray.h"
#include "Console.h"
#include "FaultTree.h"
#include "LiveRise.h"
#include "Planet.h"
#include "ProgressLine.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

std::mt19937 MersenneTwister;
std::mutex rngMutex;

namespace {

constexpr float PI_APPROXIMATION = 3.1415f; // 0x40490E56, deliberately not pi
std::optional<std::uint32_t> fixedSeed;
LivePace livePace; // of every live rise from now on

// Sine and cosine in double precision from the float angle, rounded to float.
// Never inlined: g++ 12 at -O2 and above otherwise pairs the two products
// with s in one vector multiply and drops the rounding to float before it,
// which changes P in the last bit for about 40% of the planes.
[[gnu::noinline]] float sinOf(float angle) { return static_cast<float>(std::sin(static_cast<double>(angle))); }
[[gnu::noinline]] float cosOf(float angle) { return static_cast<float>(std::cos(static_cast<double>(angle))); }

} // namespace

void printProgress(int percent)
{
    std::printf("%d%%..  ", percent);
    flushConsole();
}

int progressStep(int planes)
{
    const int step = planes / 20;
    return step == 0 ? 1 : step;
}

int progressPercent(int done, int planes)
{
    return static_cast<int>(std::int64_t(done) * 100 / planes);
}

FaultPlane planeFromDraws(std::uint32_t r1, std::uint32_t r2, std::uint32_t r3, std::uint32_t r4)
{
    FaultPlane plane;
    plane.sign = (r1 & 1u) ? 1 : -1;
    const float dist = static_cast<float>(unitValue(r2));
    const float phi = 2.0f * static_cast<float>(unitValue(r3)) * PI_APPROXIMATION;
    const float theta = static_cast<float>(unitValue(r4)) * PI_APPROXIMATION;
    const double s = static_cast<double>(sinOf(theta)) * dist;
    plane.p[0] = static_cast<float>(cosOf(phi) * s);
    plane.p[1] = static_cast<float>(sinOf(phi) * s);
    plane.p[2] = cosOf(theta) * dist;
    return plane;
}

FaultPlane randomPlanePoint()
{
    const std::uint32_t r1 = MersenneTwister();
    const std::uint32_t r2 = MersenneTwister();
    const std::uint32_t r3 = MersenneTwister();
    const std::uint32_t r4 = MersenneTwister();
    return planeFromDraws(r1, r2, r3, r4);
}

// Branch-free so that the compiler vectorises it.
void applyPlaneToCounters(const FaultPlane& plane, const float* xyz, int count, int* counters)
{
    const FaultPlane local = plane;
    const int up = local.sign;
    const int down = -local.sign;
    for (int j = 0; j < count; ++j) {
        const float d = sideValue(local, xyz[3 * j], xyz[3 * j + 1], xyz[3 * j + 2]);
        counters[j] += d > 0.0f ? up : down;
    }
}

void scaleByCounters(float* xyz, int count, const int* a, const int* b)
{
    for (int i = 0; i < count; ++i) {
        const float sum = static_cast<float>(a[i] / 1500.0 + b[i] / 1500.0);
        const float scale = std::fabs(sum);
        xyz[3 * i] *= scale;
        xyz[3 * i + 1] *= scale;
        xyz[3 * i + 2] *= scale;
    }
}

void setLivePace(const LivePace& pace)
{
    livePace = pace;
}

void setFixedSeed(std::optional<std::uint32_t> seed)
{
    fixedSeed = seed;
}

std::uint32_t seedGenerator(std::optional<std::uint32_t> wanted)
{
    const std::uint32_t seed = wanted ? *wanted : fixedSeed ? *fixedSeed : static_cast<std::uint32_t>(std::time(nullptr));
    MersenneTwister.seed(seed);
    return seed;
}

void faultWorker(GenerationJob* job)
{
    const int step = progressStep(job->iterations);
    const Planet& planet = *job->planet;
    for (int i = 0; i < job->iterations; ++i) {
        if (job->showProgress && i % step == 0)
            printProgress(progressPercent(i, job->iterations));
        FaultPlane plane;
        {
            // All four draws of a plane together, so that the set of planes
            // depends on the seed alone and not on the workers' timing.
            std::lock_guard<std::mutex> lock(rngMutex);
            plane = randomPlanePoint();
        }
        applyPlaneToCounters(plane, planet.vertices.data(), planet.vertexCount, job->counters);
    }
}

void generateBatchBruteForce(Planet& planet, int iterations)
{
    std::vector<int> a(static_cast<std::size_t>(planet.vertexCount), 750);
    std::vector<int> b(static_cast<std::size_t>(planet.vertexCount), 750);
    planet.seed = seedGenerator();
    // The second, silent worker takes the odd plane: the progress line is
    // that of the plain split, and every plane asked for is applied.
    const int half = iterations / 2;
    GenerationJob first{&planet, a.data(), half, true};
    GenerationJob second{&planet, b.data(), iterations - half, false};
    {
        ThreadGroup workers;
        workers.start([&first] { faultWorker(&first); });
        workers.start([&second] { faultWorker(&second); });
        workers.join();
    }
    std::printf("100%%\n");
    flushConsole();
    scaleByCounters(planet.vertices.data(), planet.vertexCount, a.data(), b.data());
}

std::vector<FaultPlane> drawPlanes(int count)
{
    std::vector<FaultPlane> planes;
    planes.reserve(static_cast<std::size_t>(std::max(count, 0)));
    std::lock_guard<std::mutex> lock(rngMutex);
    for (int i = 0; i < count; ++i)
        planes.push_back(randomPlanePoint());
    return planes;
}

void generateBatch(Planet& planet, int iterations, std::optional<std::uint32_t> seed, StopRequest stop)
{
    planet.seed = seedGenerator(seed);
    // The progress line is the one the plain split's first worker prints
    // for its iterations / 2 planes; the odd plane is the silent second's.
    ProgressLine line(iterations / 2);
    const int total = std::max(iterations, 0);
    const int passes = total == 0 ? 0 : (total - 1) / PLANES_PER_PASS + 1;
    // Steps carried between passes, only when there is more than one; they
    // start at zero, as the kernel's pages come.
    BigArray<int> carried(passes > 1 ? static_cast<std::size_t>(planet.vertexCount) : 0);
    for (int pass = 0; pass < passes; ++pass) {
        const int count = std::min(PLANES_PER_PASS, total - pass * PLANES_PER_PASS);
        const std::vector<FaultPlane> planes = drawPlanes(count);
        const auto progress = [&line, pass, passes](int done, int units) {
            line.advance(std::int64_t(pass) * units + done, std::int64_t(passes) * units);
        };
        if (pass + 1 < passes)
            countByTree(planet.vertices.data(), planet.vertexCount, planes, carried.data(), 2, progress, stop);
        else
            deformByTree(planet.vertices.data(), planet.vertexCount, planes, carried.empty() ? nullptr : carried.data(),
                         progress, stop);
        if (stopRequested(stop))
            return; // the line ends unfinished
    }
    line.end();
}

std::uint64_t generationBytes(int vertexCount, int iterations)
{
    const int perPass = std::min(std::max(iterations, 0), PLANES_PER_PASS);
    const std::uint64_t planes = static_cast<std::uint64_t>(perPass) * sizeof(FaultPlane);
    const std::uint64_t carried = iterations > PLANES_PER_PASS ? static_cast<std::uint64_t>(vertexCount) * sizeof(int) : 0;
    return planes + treeWorkingBytes(vertexCount, perPass) + carried;
}

void startLandscapeGeneration(Planet& planet, int iterations, bool liveGeneration, std::optional<std::uint32_t> seed,
                              StopRequest stop)
{
    if (!liveGeneration) {
        generateBatch(planet, iterations, seed, stop);
        return;
    }
    planet.seed = seedGenerator(seed);
    planet.liveJob = std::make_unique<LiveJob>();
    planet.liveJob->planet = &planet;
    planet.liveJob->iterations = iterations;
    planet.liveJob->pace = livePace;
    planet.liveJob->rise = std::make_unique<LiveRise>(planet.weld, planet.vertices.data());
    LiveJob* job = planet.liveJob.get();
    job->thread.start([job] { generateLive(job); });
}

