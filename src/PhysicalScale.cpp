#include "PhysicalScale.h"

#include "SeaLevel.h"

#include <cmath>

double PhysicalScale::elevationMetres(double radius) const
{
    return (radius - seaRadius) * metresPerUnit;
}

PhysicalScale physicalScaleOf(const float* welded, std::size_t vertexCount, double seaRadius, double radiusKm,
                              double highestMetres, const float* unit)
{
    double highest = seaRadius;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        if (!aboveSea(welded + 3 * v, unit ? unit + 3 * v : nullptr, seaRadius))
            continue;
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
