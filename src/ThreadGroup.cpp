#include "ThreadGroup.h"

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
