// Files saved while a live generation runs hold the land after a whole number
// of planes, the number their header gives.
#include "Landscape.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "TestSupport.h"

#include <climits>
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

} // namespace
