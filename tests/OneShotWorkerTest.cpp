#include "OneShotWorker.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>

namespace {

// A work that runs out of memory, or turns its input down, is reported as
// failed with nothing to take, not as still under way.
TEST(OneShotWorker, WorkThatMakesNothingIsReportedAsFailed)
{
    OneShotWorker<int> outOfMemory([](const std::atomic<bool>&) -> std::optional<int> { throw std::bad_alloc(); });
    EXPECT_FALSE(outOfMemory.waitAndTake().has_value());
    EXPECT_TRUE(outOfMemory.failed());

    OneShotWorker<int> refused([](const std::atomic<bool>&) -> std::optional<int> { return std::nullopt; });
    EXPECT_FALSE(refused.waitAndTake().has_value());
    EXPECT_TRUE(refused.failed());

    OneShotWorker<int> made([](const std::atomic<bool>&) -> std::optional<int> { return 7; });
    EXPECT_EQ(made.waitAndTake(), 7);
    EXPECT_FALSE(made.failed());
    EXPECT_FALSE(made.take().has_value()) << "taken already";
}

// Work that checks the flag lets its worker go before it ends on its own.
TEST(OneShotWorker, GoingStopsTheWorkAtItsNextCheck)
{
    std::atomic<bool> started{false};
    {
        OneShotWorker<int> endless([&started](const std::atomic<bool>& stopping) -> std::optional<int> {
            started.store(true);
            while (!stopping.load())
                std::this_thread::yield();
            return std::nullopt;
        });
        while (!started.load())
            std::this_thread::yield();
        EXPECT_FALSE(endless.failed()) << "still under way";
    }
    SUCCEED() << "the destructor returned";
}

} // namespace
