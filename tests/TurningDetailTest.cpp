#include "TurningDetail.h"

#include <gtest/gtest.h>

namespace {

constexpr double FOV = 45;

// Byte for byte, over every channel; pictures of different sizes are as far
// apart as can be.
TEST(TurningDetail, MeanDifferenceIsOverEveryByte)
{
    using Bytes = std::vector<unsigned char>;
    const struct {
        Bytes a, b;
        double mean;
    } cases[] = {{{}, {}, 0.0},           {{7, 7, 7}, {7, 7, 7}, 0.0}, {{0, 0, 0, 0}, {255, 0, 0, 0}, 63.75},
                 {{10, 20}, {20, 10}, 10.0}, {{1, 2, 3}, {1, 2}, 255.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(meanDifference(c.a, c.b), c.mean) << c.a.size() << " and " << c.b.size() << " bytes";
}

// The disc of the planet and its air in the 800 x 600 window: 48 % of the
// pixels at the starting distance, as measured; all of them up close.
TEST(TurningDetail, PlanetShareFollowsTheDiscOnTheScreen)
{
    EXPECT_NEAR(planetShare({3, FOV, 600}, 800), 0.472, 0.02);
    EXPECT_NEAR(planetShare({4.83, FOV, 600}, 800), 0.169, 0.01);
    EXPECT_DOUBLE_EQ(planetShare({2.05, FOV, 600}, 800), 1.0);
    EXPECT_DOUBLE_EQ(planetShare({1.0, FOV, 600}, 800), 1.0) << "inside the air";
    EXPECT_DOUBLE_EQ(planetShare({3, FOV, 0}, 800), 0.0) << "no framebuffer";
    EXPECT_NEAR(planetShare({3, FOV, 600}, 1600), planetShare({3, FOV, 600}, 800) / 2, 1e-12);
}

// The land stays whole where one level coarser would differ by more than
// 2 / 255 (the starting view: 2.8 to 3.7 measured); the sea, four levels
// coarser, differs by less than 1 / 255.
TEST(TurningDetail, TurningLevelsKeepThePictureWithinTwoOf255)
{
    const struct {
        int subdivisions;
        double distance;
        int width, height;
        int land, sea;
    } cases[] = {{8, 3, 800, 600, 8, 4}, {8, 4.83, 800, 600, 7, 4}, {8, 8, 800, 600, 5, 4},
                 {8, 1.5, 800, 600, 8, 4}, {7, 3, 800, 600, 7, 3}, {7, 4.83, 800, 600, 6, 3},
                 {9, 3, 1600, 600, 9, 5}, {6, 8, 800, 600, 6, 6},  {8, 1e300, 800, 600, 4, 4},
                 {3, 3, 800, 600, 3, 3}};
    for (const auto& c : cases) {
        const DetailChoice levels = turningLevels(c.subdivisions, {c.distance, FOV, c.height}, c.width);
        EXPECT_EQ(levels.land, c.land) << c.subdivisions << " at " << c.distance << ", " << c.width << " wide";
        EXPECT_EQ(levels.sea, c.sea) << c.subdivisions << " at " << c.distance << ", " << c.width << " wide";
    }
}

// Saved or still: whole. The hand alone: the level for the screen, land and
// sea alike. Turning: as turningLevels, or coarser while the wheel turns too.
TEST(TurningDetail, FrameLevelsFollowWhatTheFrameIsFor)
{
    const ScreenScale start{3, FOV, 600}, far{8, FOV, 600};
    const struct {
        ScreenScale scale;
        FrameMotion motion;
        int land, sea;
    } cases[] = {{start, {false, false, false}, 8, 8}, {start, {true, true, true}, 8, 8},
                 {start, {true, false, false}, 7, 7},  {start, {false, true, false}, 8, 4},
                 {start, {true, true, false}, 7, 4},   {far, {false, true, false}, 5, 4},
                 {far, {true, false, false}, 6, 6}};
    for (const auto& c : cases) {
        const DetailChoice levels = frameLevels(8, c.scale, 800, c.motion);
        EXPECT_EQ(levels.land, c.land) << c.motion.handAtWork << c.motion.turning << c.motion.saving;
        EXPECT_EQ(levels.sea, c.sea) << c.motion.handAtWork << c.motion.turning << c.motion.saving;
    }
}

} // namespace
