// Files saved while a live generation runs hold the land after a whole number
// of planes, the number their header gives.
#include "Landscape.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "TestSupport.h"

#include <climits>
#include <cstring>
#include <tuple>
#include <functional>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace {

// A saved file as its header text and the rest: a PLY's comment line, a
// PNG's text chunk (length, "tEXt", "Comment", a zero, the text, CRC).
std::pair<std::string, std::string> split(const std::string& bytes)
{
    if (!bytes.starts_with("\x89PNG")) {
        const std::size_t from = bytes.find("comment ") + 8, to = bytes.find('\n', from);
        return {bytes.substr(from, to - from), bytes.substr(0, from) + bytes.substr(to)};
    }
    const std::size_t type = bytes.find("tEXtComment");
    std::size_t length = 0;
    for (std::size_t k = type - 4; k < type; ++k)
        length = length << 8 | std::uint8_t(bytes[k]);
    return {bytes.substr(type + 12, length - 8), bytes.substr(0, type - 4) + bytes.substr(type + 8 + length)};
}

// A planet of seed 31 generated live, its console output kept off the test's.
std::unique_ptr<Planet> livePlanet(int iterations, int planesFirst)
{
    setFixedSeed(31);
    testing::internal::CaptureStdout();
    auto planet = std::make_unique<Planet>(4, iterations, true);
    setFixedSeed(std::nullopt);
    while (!planet->liveJob->finished && planet->liveJob->applied.load() < planesFirst)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    testing::internal::GetCapturedStdout();
    return planet;
}

std::string saved(const std::function<void()>& save, const char* file)
{
    testing::internal::CaptureStdout();
    save();
    testing::internal::GetCapturedStdout();
    return readFile(file);
}

TEST(LiveGeneration, FilesSavedDuringItHoldTheLandOfAWholeNumberOfPlanes)
{
    ScopedTempDir dir;
    const std::pair<const char*, std::function<void(Planet&)>> savings[] = {
        {"live.ply", [](Planet& p) { exportPlanetTo(p, SaveTarget::replacing("live.ply")); }},
        {"live.png", [](Planet& p) { saveMapsOf(p, {std::nullopt, SaveTarget::replacing("live.png")}, 64); }},
    };
    for (const auto& [file, save] : savings) {
        // Caught while the generation runs on; each compared once it has stopped.
        std::vector<std::string> caught;
        auto planet = livePlanet(1000000, 0);
        for (int moment : {1, 15, 40, 90}) {
            while (planet->liveJob->applied.load() < moment)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            caught.push_back(saved([&] { save(*planet); }, file));
        }
        planet.reset();
        for (const std::string& bytes : caught) {
            const auto [header, rest] = split(bytes);
            std::smatch planes;
            ASSERT_TRUE(std::regex_search(header, planes, std::regex("iterations ([0-9]+) of 1000000"))) << header;
            const int k = std::stoi(planes[1]);
            auto reference = livePlanet(k, INT_MAX); // the same seed's generation of exactly k planes, ended
            const auto [wholeHeader, wholeRest] = split(saved([&] { save(*reference); }, file));
            EXPECT_EQ(header, std::regex_replace(wholeHeader, std::regex("iterations [0-9]+"), planes.str(0)));
            EXPECT_TRUE(rest == wholeRest) << file << " caught after " << k << " planes is torn";
        }
    }
}

// The live generation as a loop over every corner of the soup, the reference
// the faster one must equal bit for bit.
std::unique_ptr<Planet> literalLivePlanet(int subdivisions, int planes)
{
    auto planet = std::make_unique<Planet>(subdivisions, 0, false);
    seedGenerator(31);
    float* v = planet->vertices.data();
    for (int i = 0; i < planes; ++i) {
        const FaultPlane plane = randomPlanePoint();
        const float f = static_cast<float>(plane.sign / 1500.0);
        for (int j = 0; j < planet->vertexCount; ++j) {
            const float k = sideValue(plane, v[3 * j], v[3 * j + 1], v[3 * j + 2]) > 0.0f ? 1.0f + f : 1.0f - f;
            v[3 * j] *= k, v[3 * j + 1] *= k, v[3 * j + 2] *= k;
        }
    }
    return planet;
}

TEST(LiveGeneration, TheLandEqualsTheLiteralLoopWhetherItEndsOrIsStopped)
{
    // From 5 subdivisions the land spans several of the rise's blocks of
    // vertices, the last one partly; the paced rise takes its planes as
    // they fall due, in batches of any size.
    const std::tuple<int, int, int, double> cases[] = {{0, 0, 0, 0.0},         {2, 7, 0, 0.0},  {4, 300, 0, 0.0},
                                                       {4, 1000000, 50, 0.0}, {5, 300, 0, 0.0}, {5, 1000000, 100, 0.0},
                                                       {5, 300, 0, 0.3}};
    for (auto [subdivisions, planes, stopAt, seconds] : cases) {
        setLivePace({seconds});
        setFixedSeed(31);
        testing::internal::CaptureStdout();
        auto live = std::make_unique<Planet>(subdivisions, planes, true);
        setFixedSeed(std::nullopt);
        if (stopAt > 0) {
            while (live->liveJob->applied.load() < stopAt)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            stopLiveGeneration(*live);
        }
        finishLiveGeneration(*live);
        testing::internal::GetCapturedStdout();
        setLivePace({});
        const int applied = live->liveJob->applied.load();
        ASSERT_EQ(applied < planes, stopAt > 0);
        const auto reference = literalLivePlanet(subdivisions, applied);
        ASSERT_EQ(live->vertexCount, reference->vertexCount);
        EXPECT_EQ(std::memcmp(live->vertices.data(), reference->vertices.data(), 12 * std::size_t(live->vertexCount)), 0)
            << subdivisions << " subdivisions after " << applied << " planes";
    }
}

// A rise that waits for its window applies no plane while held; the
// window's first frame starts it at its pace, a waiter for its end at full
// speed, and a stop while held leaves the land as built. Whatever started
// it, the land is the literal loop's.
TEST(LiveGeneration, ARiseHeldForItsWindowStartsWhenShownOrWaitedFor)
{
    enum class End { Shown, WaitedFor, StoppedWhileHeld };
    const std::tuple<End, LivePace, int> cases[] = {{End::Shown, {0.2, true}, 300},
                                                    {End::Shown, {0.0, true}, 300},
                                                    {End::WaitedFor, {std::nullopt, true}, 300},
                                                    {End::StoppedWhileHeld, {std::nullopt, true}, 0}};
    for (const auto& [end, pace, planesAfter] : cases) {
        setLivePace(pace);
        setFixedSeed(31);
        testing::internal::CaptureStdout();
        auto live = std::make_unique<Planet>(3, 300, true);
        setFixedSeed(std::nullopt);
        setLivePace({});
        EXPECT_EQ(live->liveJob->applied.load(), 0);
        EXPECT_EQ(live->landVersion.load(), 0u) << "nothing shown while held";
        if (end == End::Shown)
            showLiveGeneration(*live);
        if (end == End::StoppedWhileHeld)
            stopLiveGeneration(*live);
        finishLiveGeneration(*live);
        const std::string progress = testing::internal::GetCapturedStdout();
        EXPECT_EQ(live->liveJob->applied.load(), planesAfter);
        EXPECT_EQ(progress.empty(), planesAfter == 0) << progress;
        const auto reference = literalLivePlanet(3, planesAfter);
        EXPECT_EQ(std::memcmp(live->vertices.data(), reference->vertices.data(), 12 * std::size_t(live->vertexCount)), 0)
            << "after " << planesAfter << " planes";
    }
}

// A paced rise takes the planes due a frame or a batch at a time: its land
// is shown about every frame (each showing writes every vertex), not once a
// plane, however short each plane's share of the time.
TEST(LiveGeneration, APacedRiseShowsItsLandAboutEveryFrameNotEveryPlane)
{
    const int planes = 1000; // 0.3 ms a plane, 60 planes a 16 ms frame
    setLivePace({0.3});
    setFixedSeed(31);
    testing::internal::CaptureStdout();
    auto live = std::make_unique<Planet>(5, planes, true);
    setFixedSeed(std::nullopt);
    setLivePace({});
    finishLiveGeneration(*live);
    testing::internal::GetCapturedStdout();
    EXPECT_LT(live->landVersion.load(), std::uint64_t(planes / 4)) << "showings";
    const auto reference = literalLivePlanet(5, planes);
    EXPECT_EQ(std::memcmp(live->vertices.data(), reference->vertices.data(), 12 * std::size_t(live->vertexCount)), 0);
}

} // namespace
