#pragma once

#include "Hypsometry.h"

#include <cstddef>

// Metres and kilometres for a planet whose sea radius is 1 model unit.
struct PhysicalScale {
    double radiusKm = 6371.0;      // --radius-km: the sea's radius
    double highestMetres = 8000.0; // --highest: where the highest land stands
    double seaRadius = 1.0;        // model units: where the sea stands (1, or the one --land chose)
    // Linear: elevation in metres = (r - seaRadius) x metresPerUnit, the sea floor too; 0 when curve holds.
    double metresPerUnit = 0.0;
    // Set (--hypsometry earth): elevation in metres = curve.metresAt(r - seaRadius) x curveScale, the
    // curve in Earth's metres and curveScale highestMetres over Earth's highest.
    HeightCurve curve;
    double curveScale = 1.0;

    // Metres above the sea (negative below it) of a point at radius, model units.
    double elevationMetres(double radius) const;
    // Kilometres along the sea's surface per radian.
    double kmPerRadian() const { return radiusKm; }
    bool linear() const { return curve.empty(); }
};

// Height above the sea, in model units, that a planet with no land above its
// sea is scaled as if its highest land stood at: 180 fault planes' steps,
// about what the highest land of a planet of 5000 planes rises to above
// radius 1 (130 to 280 steps for seeds 1 to 5 at 7 subdivisions).
inline constexpr double FALLBACK_RELIEF_UNITS = 180.0 / 1500.0;

// The scale of a land. Linear: the highest welded vertex at highestMetres;
// a planet with no vertex above the sea (or no vertex) gets the factor that
// would put land FALLBACK_RELIEF_UNITS above the sea at highestMetres, so
// its sea floor still has depths in metres of the usual size. Earth: the
// curve fitted to the land's heights above the sea (fitEarthCurve), the
// same factor for a side that has no height.
// welded: x, y, z per welded vertex; unit: the same undeformed, on the sea
// sphere (null: lengths of exactly 1). Whether a vertex is above the sea is
// aboveSea's (SeaLevel.h); how high, its generatedRadius.
PhysicalScale physicalScaleOf(const float* welded, std::size_t vertexCount, double seaRadius, double radiusKm,
                              double highestMetres, const float* unit = nullptr,
                              Hypsometry hypsometry = Hypsometry::Linear);

// The scale of curve (fitEarthCurve's, in Earth's metres, fitted already
// to the land before erosion) over a sea at seaRadius.
PhysicalScale physicalScaleWith(const HeightCurve& curve, double seaRadius, double radiusKm, double highestMetres);
