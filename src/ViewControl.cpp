#include "ViewControl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

double dot(const Direction& a, const Direction& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Direction cross(const Direction& a, const Direction& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Direction scaled(const Direction& v, double k) { return {v[0] * k, v[1] * k, v[2] * k}; }

Direction sum(const Direction& a, const Direction& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

Direction normalised(const Direction& v) { return scaled(v, 1.0 / std::sqrt(dot(v, v))); }

// Products of unit quaternions drift off length 1 by rounding; this keeps
// every turn a rotation, however many drags.
Turn unitLength(const Turn& q)
{
    const double length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return {q.w / length, q.x / length, q.y / length, q.z / length};
}

} // namespace

Turn Turn::after(const Turn& first) const
{
    const Turn& a = *this;
    const Turn& b = first;
    return unitLength(Turn{a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
                           a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                           a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                           a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w});
}

std::array<double, 16> Turn::matrix() const
{
    // The identity quaternion gives the identity exactly: the starting view
    // multiplies the camera by exact ones and zeros.
    return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),     0,
            2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),     0,
            2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y), 0,
            0,                       0,                       0,                       1};
}

Direction Turn::apply(const Direction& v) const
{
    const std::array<double, 16> m = matrix();
    return {m[0] * v[0] + m[4] * v[1] + m[8] * v[2], m[1] * v[0] + m[5] * v[1] + m[9] * v[2],
            m[2] * v[0] + m[6] * v[1] + m[10] * v[2]};
}

Turn turnBetween(const Direction& from, const Direction& to)
{
    // Half the angle by the sum: (1 + cos a, sin a * axis) is the turn by a.
    const double w = 1 + dot(from, to);
    if (w < 1e-12) { // opposite: half a turn about any axis across them
        const Direction other = std::abs(from[0]) < 0.9 ? Direction{1, 0, 0} : Direction{0, 1, 0};
        const Direction axis = normalised(cross(from, other));
        return {0, axis[0], axis[1], axis[2]};
    }
    const Direction axis = cross(from, to);
    return unitLength(Turn{w, axis[0], axis[1], axis[2]});
}

void ViewControl::zoom(double notches)
{
    if (!std::isfinite(notches))
        return;
    // Far wheels overflow the power to 0 or infinity: the clamp still holds.
    const double wanted = cameraDistance * std::pow(WHEEL_FACTOR, -notches);
    cameraDistance = std::clamp(wanted, MIN_DISTANCE, MAX_DISTANCE);
}

DepthPlanes ViewControl::planes() const
{
    constexpr double START_NEAR = 0.1, START_FAR = 10.0; // the fixed camera's
    const double moved = cameraDistance - START_DISTANCE;
    return {std::max(START_NEAR + moved, START_NEAR), START_FAR + moved};
}

namespace {
// The unit ray from the eye at (d, 0, 0) through (x, y): forward is -x,
// the screen's right -z and its up +y.
Direction rayThrough(double x, double y, ViewSize size)
{
    const double tangent = std::tan(ViewControl::FIELD_OF_VIEW / 2 * std::numbers::pi / 180);
    const double aspect = static_cast<double>(size.width) / size.height;
    const double right = (2 * x / size.width - 1) * tangent * aspect;
    const double up = (1 - 2 * y / size.height) * tangent;
    return normalised({-1, up, -right});
}
} // namespace

Direction ViewControl::pointUnder(double x, double y, ViewSize size, double radius) const
{
    const double d = cameraDistance, r = radius;
    const Direction ray = rayThrough(x, y, size);
    const double b = d * ray[0];
    const double discriminant = b * b - (d * d - r * r);
    if (discriminant >= 0) {
        const double along = -b - std::sqrt(discriminant);
        return normalised({d + along * ray[0], along * ray[1], along * ray[2]});
    }
    // The silhouette point in the plane of the view axis and the ray: its
    // x is r^2 / d, where the line from the eye touches the sphere.
    const Direction across = normalised({0, ray[1], ray[2]});
    return normalised(sum({r * r / d, 0, 0}, scaled(across, r * std::sqrt(1 - r * r / (d * d)))));
}

double ViewControl::radiusAt(double x, double y, ViewSize size, double windowDepth) const
{
    const DepthPlanes depth = planes();
    const double n = depth.nearPlane, f = depth.farPlane;
    // gluPerspective's depth, undone: the distance in front of the eye.
    const double ndc = 2 * windowDepth - 1;
    const double ahead = 2 * f * n / ((f + n) - ndc * (f - n));
    const Direction ray = rayThrough(x, y, size);
    const double along = ahead / -ray[0];
    const Direction seen{cameraDistance + along * ray[0], along * ray[1], along * ray[2]};
    const double radius = std::sqrt(dot(seen, seen));
    const bool sensible = windowDepth < 1 && radius > 0.5 && radius < cameraDistance;
    return sensible ? radius : 1.0;
}

void ViewControl::press(double x, double y, ViewSize size, double radius)
{
    if (size.width <= 0 || size.height <= 0)
        return;
    // Beyond the eye no sphere can be seen from it.
    grabbedRadius = radius > 0 && radius < cameraDistance ? radius : 1.0;
    grabbed = pointUnder(x, y, size, grabbedRadius);
    turnAtPress = turn;
    held = true;
}

void ViewControl::moveTo(double x, double y, ViewSize size)
{
    if (!held || size.width <= 0 || size.height <= 0)
        return;
    turn = turnBetween(grabbed, pointUnder(x, y, size, grabbedRadius)).after(turnAtPress);
}

void ViewControl::release() { held = false; }

Turn turnLookingAt(double latitude, double longitude)
{
    if (latitude == 0 && longitude == 0)
        return {};
    // First about +y by -longitude (the point to longitude 0), then about +z
    // by -latitude (down to the equator, in front of the camera).
    const double halfLon = -longitude * std::numbers::pi / 360, halfLat = -latitude * std::numbers::pi / 360;
    const Turn alongEquator{std::cos(halfLon), 0, std::sin(halfLon), 0};
    const Turn downToEquator{std::cos(halfLat), 0, 0, std::sin(halfLat)};
    return downToEquator.after(alongEquator);
}

void ViewControl::reset()
{
    const Turn start = startTurn;
    const double distance = startDistance;
    *this = ViewControl();
    startTurn = turn = start;
    startDistance = cameraDistance = distance;
}

void ViewControl::startAt(const LookAt& look)
{
    startTurn = turnLookingAt(look.latitude, look.longitude);
    startDistance = std::clamp(look.distance, MIN_DISTANCE, MAX_DISTANCE);
    reset();
}
