#include "Planet.h"
#include "Rotation.h"

#include <gtest/gtest.h>

namespace {

int neverMultiple() { return 1; }
int alwaysZero() { return 0; }
int calls = 0;
int zeroOnSecondCall() { return ++calls == 2 ? 0 : 1; }

TEST(Rotation, OneSecondOfFramesTurnsEachAxisFiveDegrees)
{
    Planet planet(0, 0, false);
    for (int frame = 0; frame < 60; ++frame)
        updateRotation(planet, 1000.0f / 60.0f, neverMultiple);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(planet.angle[k], 5.0f, 1e-4);
        EXPECT_EQ(planet.speed[k], 0.005f);
    }
}

TEST(Rotation, ReversalsAtMostOneAxisPerFrame)
{
    Planet planet(0, 0, false);
    // dtMs = 0: the chance is 1 in 1, so x reverses and the angles stay.
    updateRotation(planet, 0.0f, alwaysZero);
    EXPECT_EQ(planet.speed[0], -0.005f);
    EXPECT_EQ(planet.speed[1], 0.005f);
    EXPECT_EQ(planet.speed[2], 0.005f);
    EXPECT_EQ(planet.angle[0], 0.0f);

    calls = 0;
    updateRotation(planet, 16.7f, zeroOnSecondCall);
    EXPECT_EQ(planet.speed[0], -0.005f);
    EXPECT_EQ(planet.speed[1], -0.005f) << "the second draw reverses y";
    EXPECT_EQ(planet.speed[2], 0.005f);
    EXPECT_EQ(calls, 2) << "no third draw once an axis has reversed";
}

TEST(Rotation, BadFrameTimesAndAStoppedPlanet)
{
    Planet planet(0, 0, false);
    updateRotation(planet, -50.0f, neverMultiple);
    EXPECT_EQ(planet.angle[0], 0.0f) << "a negative frame time counts as 0";
    EXPECT_EQ(planet.speed[0], -0.005f) << "and so reverses x, as a frame of 0 does";
    updateRotation(planet, 1e12f, neverMultiple); // no overflow of the chance
    EXPECT_GT(planet.angle[1], 0.0f);
    planet.rotating = false;
    const float before = planet.angle[2];
    const float speedBefore = planet.speed[0];
    updateRotation(planet, 100.0f, alwaysZero);
    EXPECT_EQ(planet.angle[2], before);
    EXPECT_EQ(planet.speed[0], speedBefore);
}

} // namespace
