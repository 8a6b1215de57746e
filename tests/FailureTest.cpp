#include "Failure.h"
#include "TestSupport.h"
#include "ThreadGroup.h"

#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <system_error>

namespace {

class Boundary : public testing::Test {
protected:
    ScopedTempDir dir;
    const FailureReport report{"Not enough memory here.", "Could not start it"};

    // Runs work at a boundary; the record it logged, or "" when none.
    std::string recordOf(const std::function<void()>& work, bool completes)
    {
        std::remove("Orbivane.log");
        testing::internal::CaptureStdout();
        EXPECT_EQ(runAtBoundary(work, report), completes);
        testing::internal::GetCapturedStdout();
        const auto lines = readLines("Orbivane.log");
        return lines.empty() ? "" : lines.back();
    }
};

TEST_F(Boundary, MemoryAndThreadFailuresBecomeOneErrorRecordAtTheCaller)
{
    const struct {
        std::function<void()> work;
        std::string message;
    } cases[] = {
        {[] { throw std::bad_alloc(); }, "Not enough memory here."},
        {[] { std::vector<int>().reserve(std::vector<int>().max_size() + 1); }, "Not enough memory here."},
        {[] { throw std::system_error(EAGAIN, std::generic_category()); },
         "Could not start it: Resource temporarily unavailable"},
    };
    for (const auto& c : cases) {
        const std::string record = recordOf(c.work, false);
        EXPECT_EQ(record.rfind("ERROR   tests/FailureTest.cpp : ", 0), 0u) << record;
        EXPECT_EQ(record.substr(record.find(": ", record.find(" : ") + 3) + 2), c.message);
    }
    EXPECT_EQ(recordOf([] {}, true), "") << "work that completes says nothing";
    EXPECT_THROW(runAtBoundary([] { throw std::invalid_argument("a fault of the program"); }, report),
                 std::invalid_argument);
}

TEST_F(Boundary, AWorkersBadAllocIsReportedOnTheCallingThread)
{
    std::atomic<int> failures{0};
    std::atomic<bool> othersRan{false};
    const std::string record = recordOf(
        [&] {
            ThreadGroup group([&] { ++failures; });
            group.start([] { throw std::bad_alloc(); });
            group.start([] { throw std::bad_alloc(); });
            group.start([&] { othersRan = true; });
            group.join();
        },
        false);
    EXPECT_NE(record.find("Not enough memory here."), std::string::npos);
    EXPECT_EQ(failures, 1) << "the others are told once";
    EXPECT_TRUE(othersRan) << "every thread started is joined";
}

TEST(ThreadGroup, AFailedStartJoinsTheThreadsAlreadyStarted)
{
    int starts = 0;
    setThreadStarter([&starts](std::function<void()> body) {
        if (++starts == 2)
            throw std::system_error(EAGAIN, std::generic_category());
        return std::thread(std::move(body));
    });
    std::atomic<bool> stop{false};
    ThreadGroup group([&stop] { stop = true; });
    group.start([&stop] {
        while (!stop) // waits for a partner that never comes, unless told
            std::this_thread::yield();
    });
    EXPECT_THROW(group.start([] {}), std::system_error);
    setThreadStarter(nullptr);
    EXPECT_FALSE(group.joinable()) << "the first thread was told to stop and joined";
}

} // namespace
