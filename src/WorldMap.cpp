#include "WorldMap.h"

#include "LandSnapshot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace {

double longitude(int i, int width)
{
    return -std::numbers::pi + 2.0 * std::numbers::pi * (i + 0.5) / width;
}

double latitude(int j, int height)
{
    return std::numbers::pi / 2.0 - std::numbers::pi * (j + 0.5) / height;
}

} // namespace

std::array<double, 3> mapDirection(int i, int j, int width)
{
    const double lon = longitude(i, width), lat = latitude(j, width / 2);
    return {std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon)};
}

HeightGrid buildHeightGrid(Planet& planet, int width)
{
    return buildHeightGrid(planet, LandSnapshot(planet), width);
}

HeightGrid buildHeightGrid(const Planet& planet, const LandSnapshot& land, int width, std::vector<double> water,
                           std::vector<double> ice)
{
    HeightGrid grid = buildHeightGrid(planet, land, width);
    const LandRadii shares(planet, std::move(water));
    grid.water.resize(grid.radius.size());
    shares.lookUp(grid.width, grid.height, mapRows(grid.width), grid.water.data());
    if (!ice.empty()) {
        const LandRadii frozen(planet, std::move(ice));
        grid.ice.resize(grid.radius.size());
        frozen.lookUp(grid.width, grid.height, mapRows(grid.width), grid.ice.data());
    }
    return grid;
}

HeightGrid buildHeightGrid(const Planet& planet, const LandSnapshot& snapshot, int width)
{
    return buildHeightGrid(LandRadii(planet, snapshot), width);
}

RowDirections mapRows(int width)
{
    // The directions are mapDirection's, each column's longitude and each
    // row's latitude computed once.
    auto cosLon = std::make_shared<std::vector<double>>(width), sinLon = std::make_shared<std::vector<double>>(width);
    for (int i = 0; i < width; ++i) {
        (*cosLon)[i] = std::cos(longitude(i, width));
        (*sinLon)[i] = std::sin(longitude(i, width));
    }
    return [cosLon, sinLon, width](int j, std::array<double, 3>* directions) {
        const double cosLat = std::cos(latitude(j, width / 2)), sinLat = std::sin(latitude(j, width / 2));
        for (int i = 0; i < width; ++i)
            directions[i] = {cosLat * (*cosLon)[i], sinLat, -cosLat * (*sinLon)[i]};
    };
}

HeightGrid buildHeightGrid(const LandRadii& land, int width)
{
    HeightGrid grid;
    grid.width = std::clamp(width, MAP_WIDTH_MIN, MAP_WIDTH_MAX);
    grid.height = grid.width / 2;
    grid.radius.resize(static_cast<std::size_t>(grid.width) * grid.height);
    grid.minRadius = land.minRadius;
    grid.maxRadius = land.maxRadius;
    land.lookUp(grid.width, grid.height, mapRows(grid.width), grid.radius.data());
    return grid;
}

std::uint16_t heightSample(float radius, float minRadius, float maxRadius)
{
    const double span = double(maxRadius) - double(minRadius);
    if (span <= 0.0)
        return 0;
    return static_cast<std::uint16_t>(std::lround((radius - double(minRadius)) / span * 65535.0));
}

GreyImage16 heightMapOf(const HeightGrid& grid)
{
    GreyImage16 image;
    image.width = grid.width;
    image.height = grid.height;
    image.grey.resize(grid.radius.size());
    for (std::size_t p = 0; p < grid.radius.size(); ++p)
        image.grey[p] = heightSample(grid.radius[p], grid.minRadius, grid.maxRadius);
    return image;
}

std::string heightMapComment(const std::string& header, float minRadius, float maxRadius, const WorldShape& shape)
{
    char radii[64];
    std::snprintf(radii, sizeof radii, ", radius %.9g to %.9g", shape.shownRadius(minRadius),
                  shape.shownRadius(maxRadius));
    return header + radii;
}
