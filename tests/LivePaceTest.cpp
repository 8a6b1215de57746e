#include "LivePace.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Times on the test's own clock, in seconds: the decision never reads a real one.
constexpr double MADE = 100.0;  // the planet made, its rise started
constexpr double SHOWN = 107.5; // the window's first frame

struct PaceCase {
    const char* what;
    LivePace pace;
    bool shown;         // released by the window's first frame, not by a waiter for the end
    double seconds;     // the spread once released
    double startsAt;    // when the pacing begins
};

TEST(RiseClock, HoldsForTheWindowThenSpreadsThePlanesOverThePaceChosen)
{
    const int planes = 5000;
    const PaceCase cases[] = {
        {"no pace asked, a window: 10 s from its first frame", {std::nullopt, true}, true, DEFAULT_RISE_SECONDS, SHOWN},
        {"no pace asked, the window never showed it: full speed", {std::nullopt, true}, false, 0.0, SHOWN},
        {"--live-seconds 0 in a window: full speed from its first frame", {0.0, true}, true, 0.0, SHOWN},
        {"--live-seconds 30 in a window", {30.0, true}, true, 30.0, SHOWN},
        {"--live-seconds 30 and no window shows it: kept", {30.0, true}, false, 30.0, SHOWN},
        {"no window, no pace: full speed at once", {std::nullopt, false}, false, 0.0, MADE},
        {"no window, --live-seconds 4: from the start", {4.0, false}, false, 4.0, MADE},
    };
    for (const PaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        RiseClock clock(c.pace, planes, MADE);
        EXPECT_EQ(clock.held(), c.pace.waitsForWindow);
        if (clock.held()) {
            EXPECT_EQ(clock.due(SHOWN - 0.001), 0) << "nothing rises before the first frame";
            EXPECT_EQ(clock.due(1e9), 0) << "however long the window takes";
            EXPECT_TRUE(std::isinf(clock.dueAt(0)) && clock.dueAt(0) > 0);
        }
        clock.release(SHOWN, c.shown);
        clock.release(SHOWN + 3, !c.shown); // a second release changes nothing
        EXPECT_FALSE(clock.held());
        EXPECT_EQ(clock.seconds(), c.seconds);
        if (c.seconds == 0.0) {
            EXPECT_EQ(clock.due(c.startsAt), planes) << "all at once";
            continue;
        }
        EXPECT_EQ(clock.due(c.startsAt), 0) << "the first plane takes its share of the time";
        EXPECT_EQ(clock.due(c.startsAt + c.seconds / 2), planes / 2);
        EXPECT_EQ(clock.due(c.startsAt + c.seconds * 3 / 4), planes * 3 / 4);
        EXPECT_EQ(clock.due(c.startsAt + c.seconds), planes) << "the last plane when the seconds end";
        EXPECT_EQ(clock.due(c.startsAt + 2 * c.seconds), planes);
        EXPECT_DOUBLE_EQ(clock.dueAt(0), c.startsAt + c.seconds / planes);
        EXPECT_DOUBLE_EQ(clock.dueAt(planes - 1), c.startsAt + c.seconds);
    }
}

TEST(RiseClock, EachPlaneFallsDueAtItsOwnTimeAndNotBefore)
{
    for (const int planes : {1, 2, 7, 5000, 2147483647}) {
        RiseClock clock({std::nullopt, true}, planes, MADE);
        clock.release(SHOWN, true);
        const double share = DEFAULT_RISE_SECONDS / planes; // seconds a plane
        for (const int next : {0, 1, planes / 3, planes - 1}) {
            if (next >= planes)
                continue;
            const double at = clock.dueAt(next);
            EXPECT_LE(clock.due(at - share / 4), next) << planes << " planes: plane " << next << " not yet";
            EXPECT_EQ(clock.due(at + share / 4), next + 1) << planes << " planes: plane " << next << " due";
        }
    }
    RiseClock none({std::nullopt, true}, 0, MADE);
    none.release(SHOWN, true);
    EXPECT_EQ(none.due(SHOWN + 100), 0) << "no planes, none due";
}

TEST(RiseClock, APacedRiseTakesItsPlanesABatchOrAFrameAtATime)
{
    RiseClock clock({std::nullopt, true}, 5000, MADE); // a plane each 2 ms once shown
    clock.release(SHOWN, true);
    const double frame = SHOWN + 0.016;
    EXPECT_DOUBLE_EQ(clock.applyAt(0, 25, frame), frame) << "plane 0 due at 2 ms, taken with those due by a frame";
    EXPECT_DOUBLE_EQ(clock.applyAt(0, 25, SHOWN), clock.dueAt(0)) << "no frame to wait for: as soon as it is due";
    EXPECT_DOUBLE_EQ(clock.applyAt(0, 5, SHOWN + 1), clock.dueAt(4)) << "a whole batch due first";
    EXPECT_DOUBLE_EQ(clock.applyAt(4990, 25, SHOWN + 20), clock.dueAt(4999)) << "no batch beyond the last plane";
    EXPECT_DOUBLE_EQ(clock.applyAt(7, 0, SHOWN + 1), clock.dueAt(7)) << "a batch is at least a plane";
    RiseClock fast({0.0, false}, 5000, MADE);
    EXPECT_LT(fast.applyAt(0, 25, MADE + 1), MADE) << "full speed: at once";
}

} // namespace
