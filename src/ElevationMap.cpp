#include "ElevationMap.h"

#include "WorldMap.h"

FloatImage elevationMapOf(const HeightGrid& grid, const PhysicalScale& scale)
{
    // Reserved, not zeroed: 32 MiB at 4096 wide, each value written once.
    FloatImage map{grid.width, grid.height, {}};
    map.value.reserve(grid.radius.size());
    for (const float radius : grid.radius)
        map.value.push_back(static_cast<float>(scale.elevationMetres(radius)));
    return map;
}

MapBand heightMapBand(const HeightGrid& grid, const PhysicalScale& scale)
{
    const double span = double(grid.maxRadius) - double(grid.minRadius);
    return {scale.elevationMetres(grid.minRadius), span * scale.metresPerUnit / 65535.0, ELEVATION_BAND.unit,
            ELEVATION_BAND.description};
}
