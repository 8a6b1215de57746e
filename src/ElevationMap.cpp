#include "ElevationMap.h"

#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    const double low = scale.elevationMetres(grid.minRadius);
    const double span = scale.linear() ? (double(grid.maxRadius) - double(grid.minRadius)) * scale.metresPerUnit
                                       : scale.elevationMetres(grid.maxRadius) - low;
    return {low, span / 65535.0, ELEVATION_BAND.unit, ELEVATION_BAND.description};
}

GreyImage16 elevationHeightMapOf(const HeightGrid& grid, const PhysicalScale& scale)
{
    if (scale.linear())
        return heightMapOf(grid);
    const double low = scale.elevationMetres(grid.minRadius), span = scale.elevationMetres(grid.maxRadius) - low;
    GreyImage16 image{grid.width, grid.height, std::vector<std::uint16_t>(grid.radius.size(), 0)};
    if (!(span > 0.0))
        return image;
    for (std::size_t p = 0; p < grid.radius.size(); ++p) {
        const double share = std::clamp((scale.elevationMetres(grid.radius[p]) - low) / span, 0.0, 1.0);
        image.grey[p] = static_cast<std::uint16_t>(std::lround(share * 65535.0));
    }
    return image;
}

std::string elevationHeightMapComment(const std::string& header, const HeightGrid& grid, const PhysicalScale& scale,
                                      const WorldShape& shape)
{
    const std::string radii = heightMapComment(header, grid.minRadius, grid.maxRadius, shape);
    if (scale.linear())
        return radii;
    char range[96];
    std::snprintf(range, sizeof range, ", samples linear in elevation from %.9g to %.9g m",
                  scale.elevationMetres(grid.minRadius), scale.elevationMetres(grid.maxRadius));
    return radii + range;
}
