#pragma once

#include "ThreadGroup.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>

class Planet;
struct Options;

// The planets a window makes one after another at the N key: each with the
// first one's answers and the next seed of a generator seeded by the first
// one's seed, so a run with --seed S makes the same sequence again. A planet
// is made on a worker thread while the window goes on showing the current
// one; the window takes it when it is ready and makes its GL objects itself.
class PlanetSequence {
public:
    // first: the window's first planet; options: the --relief and --land it is shaped by.
    PlanetSequence(const Planet& first, const Options& options);
    // Drops a planet still being made: cuts its long steps short (its
    // erosion) and waits for the worker.
    ~PlanetSequence();
    PlanetSequence(const PlanetSequence&) = delete;
    PlanetSequence& operator=(const PlanetSequence&) = delete;

    // Starts making the next planet like shown, unless one is being made
    // already: stops shown's live generation (the generator is shared),
    // logs "New planet: seed S" and starts the worker. Returns whether it
    // started; a worker that cannot start is reported, and the files the
    // options ask for are owed (oweAskedFiles), as they are by a planet that
    // could not be made.
    bool request(Planet& shown);

    // Whether a planet is being made and not yet taken.
    bool busy() const { return running; }

    // The planet once it is made, shaped and, in batch, generated; null
    // while it is being made, and when making it failed (that was reported).
    std::unique_ptr<Planet> take();

private:
    const Options& options;
    std::mt19937 seeds;
    std::atomic<bool> done{false};
    std::atomic<bool> dropping{false}; // set once: the planet being made is no longer wanted
    bool running = false;
    std::unique_ptr<Planet> made; // written by the worker, read after it is joined
    // One for each planet made; last, so it is joined before the rest goes.
    std::unique_ptr<ThreadGroup> worker;
};
