#include "Landscape.h"

#include "BigArray.h"
#include "Console.h"
#include "FaultTree.h"
#include "LiveRise.h"
#include "Planet.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

std::mt19937 MersenneTwister;
std::mutex rngMutex;

namespace {

constexpr float PI_APPROXIMATION = 3.1415f; // 0x40490E56, deliberately not pi
std::optional<std::uint32_t> fixedSeed;
double livePace = 0.0; // seconds of a whole live rise; 0: as fast as it goes

// Sine and cosine in double precision from the float angle, rounded to float.
// Never inlined: g++ 12 at -O2 and above otherwise pairs the two products
// with s in one vector multiply and drops the rounding to float before it,
// which changes P in the last bit for about 40% of the planes.
[[gnu::noinline]] float sinOf(float angle) { return static_cast<float>(std::sin(static_cast<double>(angle))); }
[[gnu::noinline]] float cosOf(float angle) { return static_cast<float>(std::cos(static_cast<double>(angle))); }

// Writes one progress entry, "N%..  ", at once.
void printProgress(int percent)
{
    std::printf("%d%%..  ", percent);
    flushConsole();
}

int progressStep(int iterations)
{
    const int step = iterations / 20;
    return step == 0 ? 1 : step;
}

} // namespace

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

void setLiveSeconds(double seconds)
{
    livePace = seconds;
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

namespace {

// The first worker's progress line: the entry of plane i (i a multiple of the
// step) is due once the work done reaches i / planes of the whole.
class ProgressLine {
public:
    explicit ProgressLine(int planes) : planes(planes), step(progressStep(planes)) {}
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A generation that failed part way still ends the line it began.
    ~ProgressLine()
    {
        if (next > 0 && !ended) {
            std::printf("\n");
            flushConsole();
        }
    }

    // done out of total units of work of the whole generation.
    void advance(std::int64_t done, std::int64_t total)
    {
        while (next < planes && done * planes >= next * total) {
            printProgress(static_cast<int>(next * 100 / planes));
            next += step;
        }
    }

    void end()
    {
        advance(1, 1);
        std::printf("100%%\n");
        flushConsole();
        ended = true;
    }

private:
    std::int64_t planes; // the first worker's share of the planes
    std::int64_t step;
    std::int64_t next = 0; // the plane whose entry comes next
    bool ended = false;
};

} // namespace

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

namespace {

using Clock = std::chrono::steady_clock;

// How long planes gather before the window and the snapshots see them: about
// one frame of a 60 Hz display, and at least twice as long as showing them
// took, which writes into every part of the soup (about 70 ms at 9
// subdivisions), so that showing takes no more than a third of the rise.
constexpr auto SHOWN_EVERY = std::chrono::milliseconds(16);
constexpr int SHOWN_AFTER_TIMES_SHOWING = 2;

// Puts the land of the first done planes where the window and the snapshots
// read it: the first corner of each welded vertex, or every corner once the
// generation ends.
void showPlanes(LiveJob& job, int done, bool ending)
{
    Planet& planet = *job.planet;
    const std::unique_lock<std::mutex> wholePlanes = planet.planeGate.enterPlane();
    const std::lock_guard<std::mutex> lock(planet.mutex);
    if (ending)
        job.rise->publishAllCorners(planet.vertices.data());
    else
        job.rise->publishFirstCorners(planet.vertices.data());
    job.applied.store(done);
    planet.landVersion.fetch_add(1, std::memory_order_release);
}

// Waits until plane `next` is due at the pace asked (--live-seconds);
// false when the generation is told to stop meanwhile.
bool waitForPlane(const LiveJob& job, Clock::time_point start, int next)
{
    if (job.seconds <= 0.0)
        return true;
    const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(job.seconds * next / job.iterations));
    for (auto now = Clock::now(); now < due; now = Clock::now()) {
        if (job.stop.load(std::memory_order_relaxed))
            return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(due - now, std::chrono::milliseconds(10)));
    }
    return true;
}

// A rise a window draws gives way to its drawing, which on a machine of
// few cores would otherwise share them with it: frames keep their pace
// while the land rises, and the rise takes what they leave. Without a
// window the rise keeps its priority. Linux gives each thread a niceness
// of its own, which it cannot lower again; where it cannot be raised,
// nothing else changes.
constexpr int LIVE_NICENESS = 10;

void giveWayToTheWindow()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), LIVE_NICENESS);
}

// How many planes from `next` on to apply at once: a batch (LiveRise), no
// more than are left, and at a pace no more than are due by now.
int planesToApply(const LiveJob& job, Clock::time_point start, int next)
{
    int count = std::min(job.rise->batchPlanes(), job.iterations - next);
    if (job.seconds > 0.0) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double due = std::floor(elapsed / job.seconds * job.iterations) + 1;
        count = static_cast<int>(std::clamp<double>(due - next, 1, count));
    }
    return count;
}

} // namespace

void generateLive(LiveJob* job)
{
    bool givenWay = false;
    const int step = progressStep(job->iterations);
    bool printed = false;
    int i = 0, shown = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastShown = start;
    Clock::duration gap = SHOWN_EVERY; // from one showing to the next
    std::vector<FaultPlane> planes(static_cast<std::size_t>(LiveRise::MAX_BATCH));
    while (i < job->iterations && !job->stop.load(std::memory_order_relaxed)) {
        if (!givenWay && job->planet->watched.load(std::memory_order_relaxed)) {
            giveWayToTheWindow();
            givenWay = true;
        }
        // Shown about every frame, and before waiting for a plane not yet due.
        const Clock::time_point now = Clock::now();
        const bool waiting = job->seconds > 0.0 &&
                             now - start < std::chrono::duration<double>(job->seconds * i / job->iterations);
        if (i > shown && (now - lastShown >= gap || waiting)) {
            showPlanes(*job, i, false);
            shown = i;
            lastShown = Clock::now();
            gap = std::max<Clock::duration>(SHOWN_EVERY, SHOWN_AFTER_TIMES_SHOWING * (lastShown - now));
        }
        if (!waitForPlane(*job, start, i))
            break;
        // Drawn in order, as one plane at a time would draw them.
        const int count = planesToApply(*job, start, i);
        for (int k = 0; k < count; ++k)
            planes[std::size_t(k)] = randomPlanePoint();
        job->rise->applyAll(planes.data(), std::size_t(count));
        // Each entry once the planes before it are applied.
        for (int entry = (i / step + 1) * step; entry <= i + count && entry < job->iterations; entry += step) {
            printProgress(progressPercent(entry, job->iterations));
            printed = true;
        }
        i += count;
    }
    showPlanes(*job, i, true);
    if (i >= job->iterations)
        std::printf("100%%\n");
    else if (printed)
        std::printf("\n");
    flushConsole();
    job->finished = true;
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
    planet.liveJob->seconds = livePace;
    planet.liveJob->rise = std::make_unique<LiveRise>(planet.weld, planet.vertices.data());
    LiveJob* job = planet.liveJob.get();
    job->thread.start([job] { generateLive(job); });
}

void stopLiveGeneration(Planet& planet)
{
    if (!planet.liveJob || !planet.liveJob->thread.joinable())
        return;
    planet.liveJob->stop = true;
    planet.liveJob->thread.join();
}

void finishLiveGeneration(Planet& planet)
{
    if (planet.liveJob && planet.liveJob->thread.joinable())
        planet.liveJob->thread.join();
}

LiveJob::LiveJob() = default;
LiveJob::~LiveJob() = default;
