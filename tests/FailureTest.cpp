#include "Failure.h"
#include "TestSupport.h"
#include "ThreadGroup.h"

#include <atomic>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <system_error>

namespace {

TEST(Boundary, MemoryAndThreadFailuresBecomeOneErrorRecordAtTheCaller)
{
    ScopedTempDir dir;
    std::atomic<int> told{0}, joined{0};
    const auto workerRunsOutOfMemory = [&] {
        ThreadGroup group([&] { ++told; });
        for (int i = 0; i < 3; ++i)
            group.start([&, i] { i < 2 ? throw std::bad_alloc() : void(++joined); });
        group.join();
    };
    const std::pair<std::function<void()>, std::string> cases[] = {
        {workerRunsOutOfMemory, "Not enough memory here."},
        {[] { std::vector<int>().reserve(std::vector<int>().max_size() + 1); }, "Not enough memory here."},
        {[] { throw std::system_error(EAGAIN, std::generic_category()); },
         "Could not start it: Resource temporarily unavailable"},
    };
    for (const auto& [work, message] : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(runAtBoundary(work, {"Not enough memory here.", "Could not start it"}));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), message + "\n");
        const std::string record = readLines("Orbivane.log").back();
        EXPECT_EQ(record.rfind("ERROR   tests/FailureTest.cpp : ", 0), 0u) << record;
    }
    EXPECT_EQ(told, 1) << "the other workers are told once";
    EXPECT_EQ(joined, 1) << "and every thread started is joined";
    EXPECT_TRUE(runAtBoundary([] {}, {}));
    EXPECT_EQ(readLines("Orbivane.log").size(), 3u) << "work that completes says nothing";
    EXPECT_THROW(runAtBoundary([] { throw std::invalid_argument("a fault of the program"); }, {}), std::invalid_argument);
}

} // namespace
