#include "BigArray.h"
#include "Planet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Small (one mapping), huge-page aligned with a tail of small pages, and
// faulted in by two threads with an odd tail.
TEST(BigArray, EveryElementStartsAtZeroAndTakesWhatIsWritten)
{
    const std::size_t twoThreads = (std::size_t(16) << 20) / sizeof(std::uint32_t) + 3;
    for (std::size_t count : {std::size_t(1), std::size_t(1023), HUGE_PAGE_BYTES / 4 + 1, twoThreads}) {
        BigArray<std::uint32_t> a(count);
        ASSERT_EQ(a.size(), count);
        ASSERT_TRUE(std::all_of(a.begin(), a.end(), [](std::uint32_t x) { return x == 0; })) << count;
        for (std::size_t i = 0; i < count; ++i)
            a[i] = static_cast<std::uint32_t>(i * 2654435761u);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(a[i], static_cast<std::uint32_t>(i * 2654435761u)) << "element " << i << " of " << count;
        }
        if (count * sizeof(std::uint32_t) >= HUGE_PAGE_BYTES) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.data()) % HUGE_PAGE_BYTES, 0u) << count;
        }
    }
}

TEST(BigArray, MovesLeaveTheSourceEmpty)
{
    BigArray<float> a(100);
    a[99] = 2.5f;
    const float* storage = a.data();
    BigArray<float> b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(b.data(), storage);
    BigArray<float> c(7);
    c = std::move(b); // c's own block is given back
    EXPECT_EQ(c.size(), 100u);
    EXPECT_EQ(c[99], 2.5f);
    EXPECT_TRUE(BigArray<float>(0).empty());
}

// With 256 MiB of address space left (ulimit -v; counted from what the
// process has, which sanitizers make terabytes) the arrays of a planet of 9
// subdivisions (2 x 189 MB) cannot both be mapped: exits 3 when the
// constructor says so by std::bad_alloc.
[[noreturn]] void buildPlanetUnderAddressLimit()
{
    unsigned long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%lu", &pages) != 1)
        std::_Exit(1);
    std::fclose(statm);
    const rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
    try {
        Planet planet(9, 0, false);
    } catch (const std::bad_alloc&) {
        std::_Exit(3);
    }
    std::_Exit(0);
}

TEST(BigArray, WhatCannotBeHadThrowsBadAlloc)
{
    EXPECT_THROW(BigArray<double>(std::size_t(-1) / 4), std::bad_alloc) << "bytes overflow";
    EXPECT_THROW(BigArray<float>(std::size_t(1) << 60), std::bad_alloc) << "more than the address space";
    EXPECT_EXIT(buildPlanetUnderAddressLimit(), testing::ExitedWithCode(3), "");
}

// An element that neither the land's nor the sea's emission wrote stays at
// zero bits: a vertex of length 0.
TEST(BigArray, PlanetLandAndSeaAreWholeAndTheSameBitForBit)
{
    for (int n : {0, 5, 8}) {
        testing::internal::CaptureStdout();
        Planet planet(n, 0, false);
        testing::internal::GetCapturedStdout();
        const BigArray<float>& land = planet.vertices;
        const BigArray<float>& sea = planet.water->vertices;
        ASSERT_EQ(land.size(), 3u * static_cast<std::size_t>(icosphereVertexCount(n)));
        ASSERT_EQ(sea.size(), land.size());
        EXPECT_EQ(std::memcmp(land.data(), sea.data(), land.size() * sizeof(float)), 0) << n << " subdivisions";
        for (std::size_t j = 0; j < land.size(); j += 3) {
            const double length = std::sqrt(double(land[j]) * land[j] + double(land[j + 1]) * land[j + 1] +
                                            double(land[j + 2]) * land[j + 2]);
            ASSERT_NEAR(length, 1.0, 1e-6) << n << " subdivisions, vertex " << j / 3;
        }
    }
}

} // namespace
