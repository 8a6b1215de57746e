#include "ThreadGroup.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {
ThreadStarter customStarter;

std::thread startThread(std::function<void()> body)
{
    return customStarter ? customStarter(std::move(body)) : std::thread(std::move(body));
}
} // namespace

void setThreadStarter(ThreadStarter starter)
{
    customStarter = std::move(starter);
}

ThreadGroup::ThreadGroup(std::function<void()> onFailure) : onFailure(std::move(onFailure)) {}

ThreadGroup::~ThreadGroup()
{
    joinAll();
}

void ThreadGroup::start(std::function<void()> body)
{
    try {
        // Room first: once the thread runs, keeping its handle must not fail.
        threads.reserve(threads.size() + 1);
        threads.push_back(startThread([this, body = std::move(body)] { run(body); }));
    } catch (...) {
        fail();
        joinAll();
        throw;
    }
}

void ThreadGroup::join()
{
    joinAll();
    std::lock_guard<std::mutex> lock(errorMutex);
    if (error)
        std::rethrow_exception(std::exchange(error, nullptr));
}

bool ThreadGroup::joinable() const
{
    for (const std::thread& thread : threads)
        if (thread.joinable())
            return true;
    return false;
}

void ThreadGroup::run(const std::function<void()>& body)
{
    try {
        body();
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(errorMutex);
            if (!error)
                error = std::current_exception();
        }
        fail();
    }
}

void ThreadGroup::fail()
{
    if (!failed.exchange(true) && onFailure)
        onFailure();
}

void ThreadGroup::joinAll() noexcept
{
    for (std::thread& thread : threads)
        if (thread.joinable())
            thread.join();
}

void splitAcross(std::size_t count, int parts, const std::function<void(std::size_t begin, std::size_t end)>& body)
{
    parts = std::max(parts, 1);
    const auto bound = [count, parts](int k) { return count / std::size_t(parts) * std::size_t(k) +
                                                      count % std::size_t(parts) * std::size_t(k) / std::size_t(parts); };
    ThreadGroup group;
    int started = 1;
    try {
        for (; started < parts; ++started)
            group.start([&body, begin = bound(started), end = bound(started + 1)] { body(begin, end); });
    } catch (const std::system_error&) {
        // The ranges left run here.
    }
    for (int k = started; k < parts; ++k)
        body(bound(k), bound(k + 1));
    body(bound(0), bound(1));
    group.join();
}

