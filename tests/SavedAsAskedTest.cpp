// Files saved short of what their options asked, for want of memory: each
// is still written and said, but the run does not count it as saved.
#include "CommandLine.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "PlanetShaping.h"
#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

// The test binary's operator new (WorldMapTest.cpp): set on a thread, its
// allocations of a MiB or more find no memory.
void failLargeAllocations(bool fail);

namespace {

// Runs work with this thread's large allocations failing; its console text.
std::string withoutLargeAllocations(const std::function<void()>& work)
{
    testing::internal::CaptureStdout();
    failLargeAllocations(true);
    work();
    failLargeAllocations(false);
    return testing::internal::GetCapturedStdout();
}

// A .glb asked to be textured at 1024 pixels, whose 2 MiB grid finds no
// memory, on a planet whose own arrays are all below a MiB.
TEST(SavedAsAsked, AnExportWithoutItsTexturesIsWrittenButNotAsAsked)
{
    ScopedTempDir dir;
    const auto planet = quietPlanet(3, 3, 200);
    bool asAsked = true;
    const std::string out = withoutLargeAllocations([&] {
        asAsked = exportPlanetTo(*planet, SaveTarget::replacing("t.glb"), ClimateView::Biomes, {.textureWidth = 1024});
    });
    EXPECT_FALSE(asAsked);
    EXPECT_NE(out.find("Not enough memory for the textures of the planet; it is exported without them.\n"),
              std::string::npos) << out;
    EXPECT_NE(out.find("exported to t.glb"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::exists("t.glb"));
    EXPECT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing("t.glb"), ClimateView::Biomes, {.textureWidth = 1024}))
        << "with the memory, as asked";
}

// At 7 subdivisions the land's welded positions (1.9 MiB) and its radii in
// doubles (1.3 MiB) each take more than a MiB.
TEST(SavedAsAsked, ASeaLevelOrErosionWithoutMemoryLeavesTheShapeShortOfWhatWasAsked)
{
    Options eroded;
    eroded.erosionSteps = 2;
    Options landed;
    landed.landPercent = 40.0;
    const struct {
        const Options& options;
        const char* said;
    } cases[] = {{eroded, "Not enough memory to erode the land; it stays as generated.\n"},
                 {landed, "Not enough memory to set the sea level; the sea stays at radius 1.\n"}};
    for (const auto& c : cases) {
        const auto planet = quietPlanet(3, 7, 200);
        const std::string out = withoutLargeAllocations([&] { settleShape(*planet, c.options); });
        EXPECT_NE(out.find(c.said), std::string::npos) << out;
        EXPECT_TRUE(planet->shapeShort) << c.said;
        EXPECT_EQ(planet->erosionSteps, 0);
        EXPECT_FALSE(planet->landPercent.has_value());
        const auto asAsked = quietPlanet(3, 7, 200);
        testing::internal::CaptureStdout();
        settleShape(*asAsked, c.options);
        testing::internal::GetCapturedStdout();
        EXPECT_FALSE(asAsked->shapeShort) << c.said << " with the memory";
        EXPECT_EQ(asAsked->erosionSteps, c.options.erosionSteps);
        EXPECT_EQ(asAsked->landPercent, c.options.landPercent);
    }
}

// What the run ends with once a planet's files are saved: in a process of
// its own, since the files asked and written are counted for the whole run.
// shortOfMemory: the shape settled (and a textured .glb, whose textures are
// the one large allocation of its save, saved) with this thread's
// allocations of a MiB or more failing. Exits 3 when no file was written.
void saveAndExit(int subdivisions, Options options, bool shortOfMemory)
{
    ScopedTempDir dir;
    const auto planet = quietPlanet(3, subdivisions, 200);
    failLargeAllocations(shortOfMemory);
    settleShape(*planet, options);
    if (options.glbTextureWidth == 0)
        failLargeAllocations(false);
    saveAskedFiles(*planet, options);
    failLargeAllocations(false);
    const bool written = std::filesystem::exists(options.exportPath);
    std::_Exit(!written ? 3 : savesAskedFailed() ? 1 : 0);
}

TEST(SavedAsAskedDeathTest, AFileSavedShortOfItsOptionsEndsTheRunWithStatusOne)
{
    // A child of its own binary: the generation's threads are not forked.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Options eroded;
    eroded.exportPath = "e.ply";
    eroded.erosionSteps = 2;
    Options landed;
    landed.exportPath = "l.ply";
    landed.landPercent = 40.0;
    Options textured;
    textured.exportPath = "t.glb";
    textured.glbTextureWidth = 1024;
    textured.view = ClimateView::Heights;
    const struct {
        const char* name;
        int subdivisions;
        const Options& options;
    } cases[] = {{"erosion skipped", 7, eroded}, {"sea level not set", 7, landed}, {"textures left out", 3, textured}};
    for (const auto& c : cases) {
        EXPECT_EXIT(saveAndExit(c.subdivisions, c.options, true), testing::ExitedWithCode(1), "") << c.name;
        EXPECT_EXIT(saveAndExit(c.subdivisions, c.options, false), testing::ExitedWithCode(0), "") << c.name;
    }
    GTEST_FLAG_SET(death_test_style, style);
}

} // namespace
