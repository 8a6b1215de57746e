#pragma once

#include <array>

// How the user holds the planet in the window: the camera's distance and the
// turn that drags have given, with the trackball math behind them. No GL here.
//
// World coordinates: the planet's centre is the origin, the camera looks from
// (distance, 0, 0) at it with +y up, so the screen's right is -z. The
// modelview is camera * userRotation * (the planet's automatic Euler angles).

using Direction = std::array<double, 3>;

// A rotation as a unit quaternion (w, x, y, z).
struct Turn {
    double w = 1, x = 0, y = 0, z = 0;

    // This turn after `first`: (*this * first) applied to v is this(first(v)).
    Turn after(const Turn& first) const;
    Direction apply(const Direction& v) const;
    // The same turn as a 4x4 column-major matrix, as glMultMatrixd takes it.
    std::array<double, 16> matrix() const;
};

// The shortest turn that takes unit direction `from` to unit direction `to`.
Turn turnBetween(const Direction& from, const Direction& to);

struct LookAt;

// The turn that brings the point at latitude and longitude (degrees) under
// the camera with north up the screen; 0, 0 gives the exact identity.
Turn turnLookingAt(double latitude, double longitude);

// The depth range of the projection, in world units from the eye.
struct DepthPlanes {
    double nearPlane;
    double farPlane;
};

// The window's size in screen coordinates, as the pointer's positions are given.
struct ViewSize {
    int width;
    int height;
};

class ViewControl {
public:
    static constexpr double MIN_DISTANCE = 1.5;     // camera to centre, planet radii
    static constexpr double MAX_DISTANCE = 8.0;
    static constexpr double START_DISTANCE = 3.0;
    static constexpr double FIELD_OF_VIEW = 45.0;   // vertical, degrees
    static constexpr double WHEEL_FACTOR = 1.1;     // distance ratio of one wheel notch

    double distance() const { return cameraDistance; }
    const Turn& userTurn() const { return turn; }
    bool dragging() const { return held; }

    // Wheel notches (GLFW's y offset): positive comes nearer. The distance
    // stays within MIN_DISTANCE..MAX_DISTANCE; a non-finite offset is ignored.
    void zoom(double notches);

    // The planes follow the camera: at the start 0.1 and 10, as the fixed
    // camera had them, so the starting picture is unchanged; the near plane
    // never comes closer than 0.1 to the eye. Land up to radius 2.9 in front
    // and 7 behind the centre is never clipped.
    DepthPlanes planes() const;

    // The point under the pointer at (x, y), in screen coordinates from the
    // window's top-left corner, on the sphere of the given radius about the
    // centre, as a direction from the centre in world coordinates. Outside
    // the disc: the nearest point of the silhouette, so a drag off the planet
    // still turns it.
    Direction pointUnder(double x, double y, ViewSize size, double radius = 1) const;

    // How far from the centre the surface seen at (x, y) stands, from its
    // window depth (0 on the near plane, 1 on the far one, as GL stores it
    // with this view's projection). 1, the sea's radius, where nothing was
    // drawn or the depth makes no sense.
    double radiusAt(double x, double y, ViewSize size, double windowDepth) const;

    // A left-button drag: the point grabbed at the press, on the surface
    // `radius` from the centre, follows the pointer. A window of no size
    // (minimised) starts no drag.
    void press(double x, double y, ViewSize size, double radius = 1);
    void moveTo(double x, double y, ViewSize size);
    void release();

    // The starting view, no drag: by default no user turn and the starting
    // distance; after startAt, the point and distance it was given.
    void reset();

    // Makes look the starting view and takes it.
    void startAt(const LookAt& look);

private:
    double cameraDistance = START_DISTANCE;
    Turn turn;           // what the drags have given
    Turn turnAtPress;    // turn when the button went down
    Direction grabbed{}; // the sphere's point under the pointer at the press
    double grabbedRadius = 1;
    bool held = false;
    Turn startTurn;
    double startDistance = START_DISTANCE;
};

// The point the camera looks at first, from --look-at: degrees of latitude
// (-90 south to 90 north) and longitude (-180 to 180, east positive, 0 the
// +x axis), and the camera's distance from the centre in planet radii
// (ViewControl::MIN_DISTANCE to MAX_DISTANCE).
struct LookAt {
    double latitude = 0;
    double longitude = 0;
    double distance = ViewControl::START_DISTANCE;
};
