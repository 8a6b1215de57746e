#include "PhysicalScale.h"

#include "SeaLevel.h"
#include "ThreadGroup.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {
constexpr int CURVE_THREADS = 2;
} // namespace

double PhysicalScale::elevationMetres(double radius) const
{
    return curve.empty() ? (radius - seaRadius) * metresPerUnit : curve.metresAt(radius - seaRadius) * curveScale;
}

PhysicalScale physicalScaleOf(const float* welded, std::size_t vertexCount, double seaRadius, double radiusKm,
                              double highestMetres, const float* unit, Hypsometry hypsometry)
{
    if (hypsometry == Hypsometry::Earth) {
        // Two lengths a vertex: worth the second thread at a million vertices.
        std::vector<double> heights(vertexCount);
        splitAcross(vertexCount, CURVE_THREADS, [&](std::size_t begin, std::size_t end) {
            for (std::size_t v = begin; v < end; ++v)
                heights[v] = generatedRadius(welded + 3 * v, unit ? unit + 3 * v : nullptr) - seaRadius;
        });
        return physicalScaleWith(fitEarthCurve(std::move(heights), FALLBACK_RELIEF_UNITS), seaRadius, radiusKm,
                                 highestMetres);
    }
    double highest = seaRadius;
    for (std::size_t v = 0; v < vertexCount; ++v)
        if (aboveSea(welded + 3 * v, unit ? unit + 3 * v : nullptr, seaRadius)) {
            const double x = welded[3 * v], y = welded[3 * v + 1], z = welded[3 * v + 2];
            highest = std::fmax(highest, std::sqrt(x * x + y * y + z * z));
        }
    PhysicalScale scale;
    scale.radiusKm = radiusKm;
    scale.highestMetres = highestMetres;
    scale.seaRadius = seaRadius;
    const double rise = highest > seaRadius ? highest - seaRadius : FALLBACK_RELIEF_UNITS;
    scale.metresPerUnit = highestMetres / rise;
    return scale;
}

PhysicalScale physicalScaleWith(const HeightCurve& curve, double seaRadius, double radiusKm, double highestMetres)
{
    PhysicalScale scale;
    scale.radiusKm = radiusKm;
    scale.highestMetres = highestMetres;
    scale.seaRadius = seaRadius;
    scale.curve = curve;
    scale.curveScale = highestMetres / EARTH_HIGHEST_METRES;
    return scale;
}
