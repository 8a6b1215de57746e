#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Starts a thread running body. Throws std::system_error (EAGAIN) when the
// system gives no more threads, as std::thread does.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

// Replaces how every ThreadGroup starts its threads, so that tests can make a
// start fail; an empty starter restores std::thread. Set it only while no
// thread is being started.
void setThreadStarter(ThreadStarter starter);

// Threads that are always joined. The destructor joins every thread started,
// also after a later start failed or a body threw, so no std::thread is ever
// destroyed joinable. A body's exception is kept and rethrown by join() on
// the thread that owns the group.
class ThreadGroup {
public:
    // onFailure runs once, on whichever thread sees it first, when a start
    // fails or a body throws: the bodies still running must not go on waiting
    // for work that will never be done.
    explicit ThreadGroup(std::function<void()> onFailure = {});
    ~ThreadGroup();
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // Runs body on a new thread. When it cannot start: calls onFailure, joins
    // the threads started before and rethrows (std::system_error, or
    // std::bad_alloc for the thread's own bookkeeping).
    void start(std::function<void()> body);

    // Waits for every thread; rethrows the first exception a body threw.
    void join();

    // Whether a started thread has not been joined yet.
    bool joinable() const;

private:
    void run(const std::function<void()>& body);
    void fail();
    void joinAll() noexcept;

    std::function<void()> onFailure;
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    std::exception_ptr error; // the first body's exception, under errorMutex
    std::vector<std::thread> threads;
};

// Runs body(begin, end) over [0, count) cut into `parts` consecutive ranges
// (at least one): each on a thread of its own but the first, which the
// calling thread takes, as do the ranges whose thread cannot start. The
// bounds depend on count and parts only, so a body whose results depend on
// its own range alone gives the same results for any parts. Rethrows the
// first exception a body threw once every range has ended.
void splitAcross(std::size_t count, int parts, const std::function<void(std::size_t begin, std::size_t end)>& body);
