#pragma once

#include <string>

// How the land is shown against its sea: where the sea stands and how much
// the heights above and below it are stretched. Drawing, maps and exports
// all ask it; the default shows the land as generated over the sea sphere of
// radius 1.
struct WorldShape {
    double seaRadius = 1.0; // in radii of the undeformed sphere
    double relief = 1.0;    // RELIEF_MIN (exclusive) to RELIEF_MAX

    static constexpr double RELIEF_MIN = 0.0;
    static constexpr double RELIEF_MAX = 10.0;
    // The least radius a point is shown at: a deep trench stretched by a
    // large relief would otherwise pass through the centre.
    static constexpr double SHOWN_RADIUS_MIN = 0.05;

    // sea + (r - sea) x relief, the land's radius r as it is shown and saved.
    double shownRadius(double r) const;

    bool isDefault() const { return seaRadius == 1.0 && relief == 1.0; }
};

// Moves point xyz along its direction from the centre to the radius shape
// shows it at; with a relief of 1 it stays as it is, bit for bit.
void moveToShownRadius(float* xyz, const WorldShape& shape);

// The shortest text that reads back as the same double ("0.9985", "3").
std::string shortestText(double value);

// ", sea radius S" when the sea is not at 1 and ", relief F" when the relief
// is not 1, in that order; empty for the default shape.
std::string shapeComment(const WorldShape& shape);
