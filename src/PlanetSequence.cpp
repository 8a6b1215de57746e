#include "PlanetSequence.h"

#include "CommandLine.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "PlanetShaping.h"

#include <string>

PlanetSequence::PlanetSequence(const Planet& first, const Options& options) : options(options), seeds(first.seed)
{
}

PlanetSequence::~PlanetSequence()
{
    dropping.store(true);
    worker.reset();
}

namespace {
// Says the worker is done however its body ends.
struct DoneOnExit {
    std::atomic<bool>& done;
    ~DoneOnExit() { done.store(true, std::memory_order_release); }
};
} // namespace

bool PlanetSequence::request(Planet& shown)
{
    if (running)
        return false;
    stopLiveGeneration(shown);
    const std::uint32_t seed = static_cast<std::uint32_t>(seeds());
    const int subdivisions = shown.subdivisions, iterations = shown.iterations;
    const bool live = shown.liveJob != nullptr;
    ORB_LOG(Info, "New planet: seed %u", seed);
    done = false;
    const bool started = runAtBoundary(
        [&] {
            worker = std::make_unique<ThreadGroup>();
            worker->start([this, subdivisions, iterations, live, seed] {
                const DoneOnExit signal{done};
                runAtBoundary(
                    [&] {
                        made = std::make_unique<Planet>(subdivisions, iterations, live, seed, &dropping);
                        settleShape(*made, options, &dropping);
                    },
                    {"Not enough memory for a new planet with " + std::to_string(subdivisions) +
                         " subdivisions; the planet shown stays.",
                     "Could not start the new planet's generation"});
            });
            running = true;
        },
        {"Not enough memory to start a new planet.", "Could not start making a new planet"});
    if (!started)
        oweAskedFiles(options);
    return started;
}

std::unique_ptr<Planet> PlanetSequence::take()
{
    if (!running || !done.load(std::memory_order_acquire))
        return nullptr;
    running = false;
    worker->join();
    if (!made)
        oweAskedFiles(options);
    return std::move(made);
}
