#include "PhysicalScale.h"

#include "SeaLevel.h"

#include <cmath>
#include <utility>
#include <vector>

double PhysicalScale::elevationMetres(double radius) const
{
    return curve.empty() ? (radius - seaRadius) * metresPerUnit : curve.metresAt(radius - seaRadius) * curveScale;
}

PhysicalScale physicalScaleOf(const float* welded, std::size_t vertexCount, double seaRadius, double radiusKm,
                              double highestMetres, const float* unit, Hypsometry hypsometry)
{
    double highest = seaRadius;
    std::vector<double> heights;
    if (hypsometry == Hypsometry::Earth)
        heights.reserve(vertexCount);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        if (hypsometry == Hypsometry::Earth)
            heights.push_back(generatedRadius(welded + 3 * v, unit ? unit + 3 * v : nullptr) - seaRadius);
        else if (aboveSea(welded + 3 * v, unit ? unit + 3 * v : nullptr, seaRadius)) {
            const double x = welded[3 * v], y = welded[3 * v + 1], z = welded[3 * v + 2];
            highest = std::fmax(highest, std::sqrt(x * x + y * y + z * z));
        }
    }
    if (hypsometry == Hypsometry::Earth)
        return physicalScaleWith(fitEarthCurve(std::move(heights), FALLBACK_RELIEF_UNITS),
                                 seaRadius, radiusKm, highestMetres);
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
