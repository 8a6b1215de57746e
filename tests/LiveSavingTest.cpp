// Files saved while a live generation runs hold the land after a whole number
// of planes, the number their header gives.
#include "Landscape.h"
#include "MeshExport.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "TestSupport.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace {

constexpr std::uint32_t SEED = 31;
constexpr int SUBDIVISIONS = 4;

// A saved file split into its header text and everything else.
struct Saved {
    std::string header;
    std::string rest;
};

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k)
        value = value << 8 | std::uint8_t(bytes[at + k]);
    return value;
}

// A PLY: its comment line out of the header.
Saved splitPly(const std::string& bytes)
{
    const std::size_t from = bytes.find("comment ") + 8, to = bytes.find('\n', from);
    return {bytes.substr(from, to - from), bytes.substr(0, from) + bytes.substr(to)};
}

// A PNG: its text chunk ("Comment", a zero, the text) out of the stream.
Saved splitPng(const std::string& bytes)
{
    const std::size_t chunk = bytes.find("tEXtComment") - 4, length = bigEndian32(bytes, chunk);
    return {bytes.substr(chunk + 16, length - 8), bytes.substr(0, chunk) + bytes.substr(chunk + 12 + length)};
}

struct Saving {
    const char* what;
    std::function<void(Planet&, const std::string&)> save;
    std::function<Saved(const std::string&)> split;
    const char* file;
};

std::unique_ptr<Planet> livePlanet(int iterations)
{
    setFixedSeed(SEED);
    auto planet = std::make_unique<Planet>(SUBDIVISIONS, iterations, true);
    setFixedSeed(std::nullopt);
    return planet;
}

// Runs work with its console output (progress, log records) kept off the test's.
void quietly(const std::function<void()>& work)
{
    testing::internal::CaptureStdout();
    work();
    testing::internal::GetCapturedStdout();
}

void waitForPlanes(const Planet& planet, int planes)
{
    while (!planet.liveJob->finished && planet.liveJob->applied.load() < planes)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

TEST(LiveGeneration, FilesSavedDuringItHoldTheLandOfAWholeNumberOfPlanes)
{
    ScopedTempDir dir;
    const Saving savings[] = {
        {"export", [](Planet& p, const std::string& f) { exportPlanetTo(p, SaveTarget::replacing(f)); }, splitPly,
         "live.ply"},
        {"height map", [](Planet& p, const std::string& f) { saveMapsOf(p, {std::nullopt, SaveTarget::replacing(f)}, 64); },
         splitPng, "live.png"},
    };
    for (const Saving& saving : savings) {
        // Caught while the generation runs on; each compared once it has stopped.
        auto planet = livePlanet(1000000);
        std::vector<Saved> caught;
        for (int moment : {1, 15, 40, 90}) {
            waitForPlanes(*planet, moment);
            quietly([&] { saving.save(*planet, saving.file); });
            caught.push_back(saving.split(readFile(saving.file)));
        }
        quietly([&] { planet.reset(); });
        for (const Saved& live : caught) {
            std::smatch planes;
            ASSERT_TRUE(std::regex_search(live.header, planes, std::regex("iterations ([0-9]+) of 1000000")))
                << saving.what << ": " << live.header;
            const int k = std::stoi(planes[1]);
            // The same seed's generation asked for exactly k planes, finished.
            quietly([&] {
                auto reference = livePlanet(k);
                waitForPlanes(*reference, k);
                saving.save(*reference, std::string("reference-") + saving.file);
            });
            const Saved whole = saving.split(readFile(std::string("reference-") + saving.file));
            EXPECT_EQ(live.header, std::regex_replace(whole.header, std::regex("iterations [0-9]+"),
                                                      "iterations " + std::to_string(k) + " of 1000000"))
                << saving.what;
            EXPECT_TRUE(live.rest == whole.rest) << saving.what << " caught after " << k << " planes is torn";
        }
    }
}

} // namespace
