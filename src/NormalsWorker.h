#pragma once

#include "ThreadGroup.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class Planet;

// The land's smooth normals (LandNormals.h), worked out on a thread of their
// own so that the window's thread only uploads them. Each computation reads
// the land under the planet's mutex, so it sees every vertex either before or
// after a live generation's step; the newest result waits to be taken. No GL
// here.
class NormalsWorker {
public:
    // The most memory a computation takes, in bytes a welded vertex (33
    // measured at 8 and 9 subdivisions).
    static constexpr std::uint64_t BYTES_PER_VERTEX = 40;

    // Starts the thread and asks for the land as it is now. Throws
    // std::system_error when no thread can start.
    explicit NormalsWorker(Planet& planet);
    // Stops the thread, waiting for a computation under way.
    ~NormalsWorker();
    NormalsWorker(const NormalsWorker&) = delete;
    NormalsWorker& operator=(const NormalsWorker&) = delete;

    // Asks for the normals of the land as it will be when the thread next
    // reads it: call after the land has changed. Requests made during one
    // computation become one more.
    void request();

    // The newest normals not taken yet (x, y, z per welded vertex), if any.
    std::optional<std::vector<float>> take();

    // Waits until a computation asked for has ended, then takes its normals;
    // nothing when it ran out of memory.
    std::optional<std::vector<float>> waitAndTake();

    // Whether a computation ran out of memory since the last call; the land
    // keeps the normals it had.
    bool takeFailure();

private:
    void run();
    void computeOnce();

    Planet& planet;
    std::mutex mutex; // guards everything below
    std::condition_variable wake;    // the thread: a request or the stop
    std::condition_variable settled; // waitAndTake: a computation ended
    bool pending = false;  // a request not yet started on
    bool busy = false;     // a computation under way
    bool stopping = false;
    bool failed = false;
    std::optional<std::vector<float>> ready;
    std::vector<float> positions; // the thread's copy of the land, kept from call to call
    ThreadGroup thread;           // last: joined before the members it uses go
};
