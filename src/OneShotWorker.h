#pragma once

#include "ThreadGroup.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

// One piece of work done once on a thread of its own, its result handed to
// the thread that asked for it (the window's, which only uploads it). The
// work sees a stop flag it may check between stages. No GL here.
template <typename Result>
class OneShotWorker {
public:
    // The work returns its result, or nothing when it could not be made
    // (or when it stopped on the flag); std::bad_alloc counts as nothing.
    using Work = std::function<std::optional<Result>(const std::atomic<bool>& stopping)>;

    // Starts the thread. Throws std::system_error when no thread can start.
    explicit OneShotWorker(Work work) : work(std::move(work))
    {
        thread.start([this] { run(); });
    }
    // Asks the work to stop at its next check and waits for it.
    ~OneShotWorker()
    {
        stopping.store(true);
        thread.join();
    }
    OneShotWorker(const OneShotWorker&) = delete;
    OneShotWorker& operator=(const OneShotWorker&) = delete;

    // The result once it is made, the first time asked; nothing before,
    // after, and when the work made nothing (see failed).
    std::optional<Result> take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(ready, std::nullopt);
    }

    // Waits until the work has ended, then takes its result.
    std::optional<Result> waitAndTake()
    {
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait(lock, [this] { return finished; });
        return std::exchange(ready, std::nullopt);
    }

    // Whether the work has ended without a result (without memory, or
    // refused by its input).
    bool failed()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return finished && madeNothing;
    }

private:
    void run()
    {
        std::optional<Result> result;
        try {
            result = work(stopping);
        } catch (const std::bad_alloc&) {
            result.reset();
        }
        std::lock_guard<std::mutex> lock(mutex);
        madeNothing = !result;
        ready = std::move(result);
        finished = true;
        ended.notify_all();
    }

    const Work work;
    std::atomic<bool> stopping{false};
    std::mutex mutex; // guards everything below
    std::condition_variable ended;
    bool finished = false;
    bool madeNothing = false;
    std::optional<Result> ready;
    ThreadGroup thread; // last: joined before the members it uses go
};
