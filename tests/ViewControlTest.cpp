#include "ViewControl.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace {

constexpr ViewSize WINDOW{800, 600};

// The pixel and window depth of a world point, as gluLookAt(d, 0, 0, ...)
// and gluPerspective(45, 4 / 3, near, far) give them: what pointUnder and
// radiusAt undo.
std::array<double, 3> shownAt(const Direction& p, const ViewControl& view)
{
    const double t = std::tan(22.5 * std::numbers::pi / 180), ahead = view.distance() - p[0];
    const double n = view.planes().nearPlane, f = view.planes().farPlane;
    return {(1 - p[2] / (ahead * t * 4 / 3)) * 400, (1 - p[1] / (ahead * t)) * 300,
            ((f + n) / (f - n) - 2 * f * n / ((f - n) * ahead) + 1) / 2};
}

Direction scaled(const Direction& v, double k) { return {v[0] * k, v[1] * k, v[2] * k}; }

// The point of the planet grabbed at the press, its height read from the
// depth, ends under the pointer: drags one after another (each from the turn
// the last left), at several distances and heights, with moves in between.
TEST(ViewControl, DragKeepsTheGrabbedPointUnderThePointer)
{
    const struct {
        double distance, radius, fromX, fromY, toX, toY;
    } drags[] = {{3, 1, 400, 300, 480, 300},      {3, 1.04, 350, 250, 470, 390}, {1.5, 1.1, 420, 310, 300, 200},
                 {8, 1.02, 390, 295, 410, 305}, {5, 0.99, 330, 260, 460, 330}, {2, 1, 400, 300, 400, 300}};
    ViewControl view;
    for (const auto& drag : drags) {
        view.zoom(std::log(view.distance() / drag.distance) / std::log(ViewControl::WHEEL_FACTOR));
        const Direction grabbed = scaled(view.pointUnder(drag.fromX, drag.fromY, WINDOW, drag.radius), drag.radius);
        const auto before = shownAt(grabbed, view);
        EXPECT_NEAR(before[0], drag.fromX, 1e-6);
        EXPECT_NEAR(before[1], drag.fromY, 1e-6);
        const double radius = view.radiusAt(drag.fromX, drag.fromY, WINDOW, before[2]);
        EXPECT_NEAR(radius, drag.radius, 1e-9);
        const Turn& t = view.userTurn();
        const Direction onPlanet = Turn{t.w, -t.x, -t.y, -t.z}.apply(grabbed);
        view.press(drag.fromX, drag.fromY, WINDOW, radius);
        view.moveTo((drag.fromX + drag.toX) / 2 + 7, drag.fromY - 5, WINDOW);
        view.moveTo(drag.toX, drag.toY, WINDOW);
        view.release();
        view.moveTo(0, 0, WINDOW); // released: no turn
        const auto after = shownAt(view.userTurn().apply(onPlanet), view);
        EXPECT_NEAR(after[0], drag.toX, 1e-6) << drag.distance;
        EXPECT_NEAR(after[1], drag.toY, 1e-6) << drag.distance;
    }
    view.reset();
    EXPECT_EQ(view.userTurn().matrix(), Turn().matrix());
    EXPECT_EQ(view.distance(), 3.0);
}

// Off the disc the pointer holds the silhouette point in its direction from
// the centre; nothing drawn under it counts as the sea; a window of no size
// (minimised) starts no drag.
// The point looked at comes in front of the camera (+x) with north up the
// screen (+y, no sideways -z part), and Home brings back that view.
TEST(ViewControl, LookAtPutsThePointUnderTheCameraNorthUp)
{
    const double degree = std::numbers::pi / 180;
    for (const auto& [latitude, longitude] : {std::pair{0.0, 0.0}, {90.0, 0.0}, {-90.0, 45.0}, {30.0, -120.0},
                                              {-45.5, 180.0}, {10.0, 90.0}}) {
        const double lat = latitude * degree, lon = longitude * degree;
        const Turn turn = turnLookingAt(latitude, longitude);
        const Direction point = turn.apply({std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon)});
        EXPECT_NEAR(point[0], 1, 1e-12) << latitude << ", " << longitude;
        const Direction north = turn.apply({0, 1, 0});
        EXPECT_NEAR(north[2], 0, 1e-12) << latitude << ", " << longitude;
        EXPECT_GE(north[1], -1e-12) << latitude << ", " << longitude;
    }
    ViewControl view;
    view.startAt({30, -120, 5});
    view.zoom(3);
    view.press(400, 300, WINDOW);
    view.moveTo(500, 320, WINDOW);
    view.reset();
    EXPECT_EQ(view.distance(), 5);
    EXPECT_FALSE(view.dragging());
    EXPECT_EQ(view.userTurn().matrix(), turnLookingAt(30, -120).matrix());
    EXPECT_EQ(turnLookingAt(0, 0).matrix(), Turn().matrix()) << "no --look-at's view is the exact identity";
}

TEST(ViewControl, PointerOffTheDisc)
{
    ViewControl view;
    for (const auto& [x, y] : {std::array<double, 2>{790, 300}, {400, 5}, {-3000, 9000}, {10, 590}}) {
        const Direction p = view.pointUnder(x, y, WINDOW);
        EXPECT_NEAR(p[0], 1 / 3.0, 1e-12) << "where the line from the eye touches the sphere";
        const auto shown = shownAt(p, view);
        EXPECT_NEAR(std::atan2(shown[1] - 300, shown[0] - 400), std::atan2(y - 300, x - 400), 1e-9);
    }
    EXPECT_EQ(view.radiusAt(100, 100, WINDOW, 1.0), 1.0);
    view.press(400, 300, ViewSize{0, 0});
    EXPECT_FALSE(view.dragging());
}

TEST(ViewControl, WheelDistanceIsClampedAndPlanesNeverClipThePlanet)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const double wheel[][2] = {{1, 3 / 1.1}, {-2, 3 * 1.1}, {1e6, 1.5}, {nan, 1.5}, {-inf, 1.5}, {-40, 8}, {1e300, 1.5}};
    ViewControl view;
    for (const auto& [notches, distance] : wheel) {
        view.zoom(notches);
        EXPECT_NEAR(view.distance(), distance, 1e-12) << notches;
    }
    for (view.zoom(-40); view.distance() > 1.5; view.zoom(0.25)) {
        const double d = view.distance();
        EXPECT_GE(view.planes().nearPlane, 0.1) << d;
        EXPECT_LT(view.planes().nearPlane, d - 1.25) << "land a quarter above the sea is in front of it, at " << d;
        EXPECT_GT(view.planes().farPlane, d + 1.25) << d;
    }
    view.reset();
    EXPECT_EQ(view.planes().nearPlane, 0.1) << "the fixed camera's planes at the start";
    EXPECT_EQ(view.planes().farPlane, 10.0);
}

} // namespace
