#pragma once

#include <cstdint>

#include <atomic>
#include <thread>

class Planet;

// The live generation thread's argument and its handle.
struct LiveJob {
    Planet* planet = nullptr;
    int iterations = 0;
    std::atomic<bool> stop{false}; // set to end the generation early
    std::thread thread;
};

// Working memory of a batch generation over vertexCount vertices, in bytes.
std::uint64_t generationBytes(int vertexCount);

// Last step of the Planet constructor: deforms the land, in batch (returns
// when done) or live (returns at once, a thread goes on).
void startLandscapeGeneration(Planet& planet, int iterations, bool liveGeneration);

// Tells a running live generation to stop and waits for its thread to end.
void stopLiveGeneration(Planet& planet);
