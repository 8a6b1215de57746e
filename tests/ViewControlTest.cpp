#include "ViewControl.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace {

constexpr ViewSize WINDOW{800, 600};

// Where a world point shows in the window, as gluLookAt(d, 0, 0, ...) and
// gluPerspective(45, 4 / 3, ...) put it: the reverse of pointUnder.
std::array<double, 2> pixelOf(const Direction& p, double d)
{
    const double t = std::tan(22.5 * std::numbers::pi / 180), aspect = 800.0 / 600.0;
    const double depth = d - p[0]; // eye looks down -x
    const double right = -p[2] / (depth * t * aspect), up = p[1] / (depth * t);
    return {(right + 1) / 2 * WINDOW.width, (1 - up) / 2 * WINDOW.height};
}

// The window depth gluPerspective gives a point of the view.
double windowDepthOf(const Direction& p, const ViewControl& view)
{
    const double n = view.planes().nearPlane, f = view.planes().farPlane, ahead = view.distance() - p[0];
    return ((f + n) / (f - n) - 2 * f * n / ((f - n) * ahead) + 1) / 2;
}

Direction scaled(const Direction& v, double k) { return {v[0] * k, v[1] * k, v[2] * k}; }

Direction undo(const Turn& turn, const Direction& p) { return Turn{turn.w, -turn.x, -turn.y, -turn.z}.apply(p); }

struct Drag {
    double distance;
    double radius; // of the surface grabbed
    double fromX, fromY, toX, toY;
};

// The point of the planet grabbed at the press, its height read from the
// depth, ends under the pointer, for drags one after another (each from the
// turn the last one left), at several distances, with moves in between.
TEST(ViewControl, DragKeepsTheGrabbedPointUnderThePointer)
{
    const Drag drags[] = {{3, 1, 400, 300, 480, 300},      {3, 1.04, 350, 250, 470, 390}, {1.5, 1.1, 420, 310, 300, 200},
                          {8, 1.02, 390, 295, 410, 305}, {5, 0.99, 330, 260, 460, 330}, {2, 1, 400, 300, 400, 300}};
    ViewControl view;
    for (const Drag& drag : drags) {
        view.zoom(std::log(view.distance() / drag.distance) / std::log(ViewControl::WHEEL_FACTOR));
        ASSERT_NEAR(view.distance(), drag.distance, 1e-9);
        const Direction grabbed = scaled(view.pointUnder(drag.fromX, drag.fromY, WINDOW, drag.radius), drag.radius);
        const auto shown = pixelOf(grabbed, drag.distance);
        EXPECT_NEAR(shown[0], drag.fromX, 1e-6);
        EXPECT_NEAR(shown[1], drag.fromY, 1e-6);
        const double radius = view.radiusAt(drag.fromX, drag.fromY, WINDOW, windowDepthOf(grabbed, view));
        EXPECT_NEAR(radius, drag.radius, 1e-9);
        const Direction onPlanet = undo(view.userTurn(), grabbed);
        view.press(drag.fromX, drag.fromY, WINDOW, radius);
        view.moveTo((drag.fromX + drag.toX) / 2 + 7, drag.fromY - 5, WINDOW);
        view.moveTo(drag.toX, drag.toY, WINDOW);
        view.release();
        view.moveTo(0, 0, WINDOW); // released: no turn
        const auto now = pixelOf(view.userTurn().apply(onPlanet), drag.distance);
        EXPECT_NEAR(now[0], drag.toX, 1e-6) << drag.distance;
        EXPECT_NEAR(now[1], drag.toY, 1e-6) << drag.distance;
    }
    const Turn& turn = view.userTurn();
    EXPECT_NEAR(turn.w * turn.w + turn.x * turn.x + turn.y * turn.y + turn.z * turn.z, 1.0, 1e-12);
    view.reset();
    EXPECT_EQ(view.userTurn().matrix(), Turn().matrix());
    EXPECT_EQ(view.distance(), 3.0);
}

// Off the disc the pointer holds the silhouette point in its direction from
// the centre; a window of no size (minimised) starts no drag.
TEST(ViewControl, PointerOffTheDiscHoldsTheSilhouette)
{
    ViewControl view;
    for (const auto& [x, y] : {std::array<double, 2>{790, 300}, {400, 5}, {-3000, 9000}, {10, 590}}) {
        const Direction p = view.pointUnder(x, y, WINDOW);
        EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 1.0, 1e-12);
        EXPECT_NEAR(p[0], 1 / 3.0, 1e-12) << "the line from the eye touches the sphere";
        const auto shown = pixelOf(p, 3);
        EXPECT_NEAR(std::atan2(shown[1] - 300, shown[0] - 400), std::atan2(y - 300, x - 400), 1e-9);
    }
    EXPECT_EQ(view.radiusAt(100, 100, WINDOW, 1.0), 1.0) << "nothing drawn: the sea's radius";
    view.press(400, 300, ViewSize{0, 0});
    EXPECT_FALSE(view.dragging());
}

TEST(ViewControl, WheelDistanceIsClampedAndPlanesNeverClipThePlanet)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        double notches, distance;
    } wheel[] = {{1, 3 / 1.1}, {-2, 3 * 1.1}, {1e6, 1.5}, {nan, 1.5}, {-inf, 1.5}, {-40, 8}, {1e300, 1.5}, {-40, 8}};
    ViewControl view;
    for (const auto& turn : wheel) {
        view.zoom(turn.notches);
        EXPECT_NEAR(view.distance(), turn.distance, 1e-12) << turn.notches;
    }
    for (double notches = 0; notches < 25; notches += 0.25) {
        const double d = view.distance();
        const DepthPlanes planes = view.planes();
        EXPECT_GE(planes.nearPlane, 0.1) << d;
        EXPECT_LT(planes.nearPlane, d - 1.25) << "land a quarter above the sea is in front of it, at " << d;
        EXPECT_GT(planes.farPlane, d + 1.25) << d;
        view.zoom(0.25);
    }
    EXPECT_EQ(view.distance(), 1.5);
    view.reset();
    EXPECT_EQ(view.planes().nearPlane, 0.1) << "the fixed camera's planes at the start";
    EXPECT_EQ(view.planes().farPlane, 10.0);
}

} // namespace
