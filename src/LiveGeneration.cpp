#include "LiveGeneration.h"

#include "Console.h"
#include "Landscape.h"
#include "LiveRise.h"
#include "Planet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How long planes gather before the window and the snapshots see them: about
// one frame of a 60 Hz display, and at least twice as long as showing them
// took, which writes into every part of the soup (about 70 ms at 9
// subdivisions), so that showing takes no more than a third of the rise.
constexpr double SHOWN_EVERY = 0.016; // seconds
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

// Seconds on the steady clock, the live rise's pace's clock.
double secondsNow()
{
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// Waits while the rise is held for its window's first frame: the window, a
// waiter for the end or a stop releases it (and notifies).
void waitForRelease(LiveJob& job, RiseClock& pace)
{
    while (pace.held()) {
        const RiseRelease release = job.release.load();
        if (release == RiseRelease::Held)
            job.release.wait(RiseRelease::Held);
        else
            pace.release(secondsNow(), release == RiseRelease::Shown);
    }
}

// Waits until `when` (seconds); false when the generation is told to stop
// meanwhile.
bool waitUntil(const LiveJob& job, double when)
{
    for (double now = secondsNow(); now < when; now = secondsNow()) {
        if (job.stop.load(std::memory_order_relaxed))
            return false;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(when - now, 0.01)));
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
int planesToApply(const LiveJob& job, const RiseClock& pace, int next)
{
    const int count = std::min(job.rise->batchPlanes(), job.iterations - next);
    return std::clamp(pace.due(secondsNow()) - next, 1, count);
}

// Prints the progress entries of the planes from done on up to done + count,
// each once the planes before it are applied; whether any was.
bool printEntries(int done, int count, int planes)
{
    const int step = progressStep(planes);
    bool printed = false;
    for (int entry = (done / step + 1) * step; entry <= done + count && entry < planes; entry += step) {
        printProgress(progressPercent(entry, planes));
        printed = true;
    }
    return printed;
}

} // namespace

void generateLive(LiveJob* job)
{
    RiseClock pace(job->pace, job->iterations, secondsNow());
    waitForRelease(*job, pace);
    bool givenWay = false, printed = false;
    int i = 0, shown = 0;
    double lastShown = secondsNow();
    double gap = SHOWN_EVERY; // seconds from one showing to the next
    const int batch = job->rise->batchPlanes();
    std::vector<FaultPlane> planes(static_cast<std::size_t>(LiveRise::MAX_BATCH));
    while (i < job->iterations && !job->stop.load(std::memory_order_relaxed)) {
        if (!givenWay && job->planet->watched.load(std::memory_order_relaxed)) {
            giveWayToTheWindow();
            givenWay = true;
        }
        // Shown about every frame, and before a wait of a frame or more.
        const double now = secondsNow();
        if (i > shown && (now - lastShown >= gap || pace.applyAt(i, batch, lastShown + gap) - now >= gap)) {
            showPlanes(*job, i, false);
            shown = i;
            lastShown = secondsNow();
            gap = std::max(SHOWN_EVERY, SHOWN_AFTER_TIMES_SHOWING * (lastShown - now));
        }
        if (!waitUntil(*job, pace.applyAt(i, batch, lastShown + gap)))
            break;
        // Drawn in order, as one plane at a time would draw them.
        const int count = planesToApply(*job, pace, i);
        for (int k = 0; k < count; ++k)
            planes[std::size_t(k)] = randomPlanePoint();
        job->rise->applyAll(planes.data(), std::size_t(count));
        printed = printEntries(i, count, job->iterations) || printed;
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

namespace {

// Ends the hold of a rise still held, the first release alone counting.
void releaseRise(LiveJob& job, RiseRelease release)
{
    RiseRelease held = RiseRelease::Held;
    if (job.release.compare_exchange_strong(held, release))
        job.release.notify_all();
}

} // namespace

void showLiveGeneration(Planet& planet)
{
    if (planet.liveJob)
        releaseRise(*planet.liveJob, RiseRelease::Shown);
}

void stopLiveGeneration(Planet& planet)
{
    if (!planet.liveJob || !planet.liveJob->thread.joinable())
        return;
    planet.liveJob->stop = true;
    releaseRise(*planet.liveJob, RiseRelease::Unwatched);
    planet.liveJob->thread.join();
}

void finishLiveGeneration(Planet& planet)
{
    if (!planet.liveJob || !planet.liveJob->thread.joinable())
        return;
    releaseRise(*planet.liveJob, RiseRelease::Unwatched);
    planet.liveJob->thread.join();
}

LiveJob::LiveJob() = default;
LiveJob::~LiveJob() = default;
