#include "ElevationMap.h"

#include "WorldMap.h"

FloatImage elevationMapOf(const HeightGrid& grid, const PhysicalScale& scale)
{
    FloatImage map{grid.width, grid.height, std::vector<float>(grid.radius.size())};
    for (std::size_t p = 0; p < grid.radius.size(); ++p)
        map.value[p] = static_cast<float>(scale.elevationMetres(grid.radius[p]));
    return map;
}

MapBand heightMapBand(const HeightGrid& grid, const PhysicalScale& scale)
{
    const double span = double(grid.maxRadius) - double(grid.minRadius);
    return {scale.elevationMetres(grid.minRadius), span * scale.metresPerUnit / 65535.0, ELEVATION_BAND.unit,
            ELEVATION_BAND.description};
}
