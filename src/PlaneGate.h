#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

// The boundary between two fault planes of a live generation. The generation
// holds the gate for each whole plane; a reader that asks for it gets it
// before the next plane starts, and while it holds it the land has a whole
// number of planes applied. One lock per plane, not per vertex.
class PlaneGate {
public:
    // The generation, around each plane: waits while readers are waiting, so
    // that a reader never waits for more than the plane under way.
    std::unique_lock<std::mutex> enterPlane();

    // A reader's hold on the gate: no plane is under way while it lives.
    class Between {
    public:
        explicit Between(PlaneGate& gate);
        ~Between();
        Between(const Between&) = delete;
        Between& operator=(const Between&) = delete;

    private:
        PlaneGate& gate;
        std::unique_lock<std::mutex> lock;
    };

private:
    std::mutex mutex;
    std::condition_variable readerLeft;
    std::atomic<int> readersWaiting{0};
};
