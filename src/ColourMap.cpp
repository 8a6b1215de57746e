#include "ColourMap.h"

#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double DEGREE = std::numbers::pi / 180.0;

// Unit vector towards the light: x east, y north, z up.
struct Light {
    double east = std::sin(RELIEF_AZIMUTH_DEGREES * DEGREE) * std::cos(RELIEF_ALTITUDE_DEGREES * DEGREE);
    double north = std::cos(RELIEF_AZIMUTH_DEGREES * DEGREE) * std::cos(RELIEF_ALTITUDE_DEGREES * DEGREE);
    double up = std::sin(RELIEF_ALTITUDE_DEGREES * DEGREE);
};
const Light LIGHT;

// How far a lighter slope lifts a colour towards white, at the brightest.
constexpr float LIFT = 0.5f;

// The surface seen from above: the sea (at seaRadius), not the floor below it.
double surface(const HeightGrid& grid, int i, int j, float seaRadius)
{
    if (j < 0 || j >= grid.height) { // across the pole: the same latitude, half way round
        j = j < 0 ? 0 : grid.height - 1;
        i = (i + grid.width / 2) % grid.width;
    }
    i = (i + grid.width) % grid.width;
    return std::max(grid.radius[static_cast<std::size_t>(j) * grid.width + i], seaRadius);
}

} // namespace

float hillShade(const HeightGrid& grid, int i, int j, float seaRadius)
{
    const auto z = [&](int di, int dj) { return surface(grid, i + di, j + dj, seaRadius); };
    const double cell = std::numbers::pi / grid.height; // radians between rows, and between columns on the equator
    const double latitude = std::numbers::pi / 2.0 - (j + 0.5) * cell;
    const double east = ((z(1, -1) + 2.0 * z(1, 0) + z(1, 1)) - (z(-1, -1) + 2.0 * z(-1, 0) + z(-1, 1))) /
                        (8.0 * cell * std::cos(latitude)) * RELIEF_VERTICAL_SCALE;
    const double north = ((z(-1, -1) + 2.0 * z(0, -1) + z(1, -1)) - (z(-1, 1) + 2.0 * z(0, 1) + z(1, 1))) /
                         (8.0 * cell) * RELIEF_VERTICAL_SCALE;
    // The normal (-east, -north, 1) over its length, against the light.
    const double lit = (LIGHT.up - east * LIGHT.east - north * LIGHT.north) / std::sqrt(1.0 + east * east + north * north);
    return static_cast<float>(std::max(lit, 0.0));
}

Rgb reliefShaded(const Rgb& colour, float shade, float strength)
{
    const float flat = static_cast<float>(LIGHT.up);
    shade = flat + (shade - flat) * strength;
    Rgb out;
    for (int k = 0; k < 3; ++k)
        out[k] = shade < flat ? colour[k] * (shade / flat)
                              : colour[k] + (1.0f - colour[k]) * ((shade - flat) / (1.0f - flat) * LIFT);
    return out;
}

Image colourMapOf(const HeightGrid& grid, double seaRadius)
{
    const auto sea = static_cast<float>(seaRadius);
    Image image;
    image.width = grid.width;
    image.height = grid.height;
    image.rgb.resize(grid.radius.size() * 3);
    for (int j = 0; j < grid.height; ++j) {
        const float latitude = static_cast<float>(mapDirection(0, j, grid.width)[1]);
        const float strength = 1.0f - (1.0f - RELIEF_UNDER_ICE) * iceCover(latitude);
        for (int i = 0; i < grid.width; ++i) {
            const std::size_t p = static_cast<std::size_t>(j) * grid.width + i;
            const float steps = (grid.radius[p] - sea) * STEPS_PER_UNIT;
            Rgb colour = steps < 0.0f
                             ? seaColour(steps, latitude)
                             : reliefShaded(terrainColour(steps, latitude), hillShade(grid, i, j, sea), strength);
            if (!grid.water.empty() && steps >= 0.0f)
                colour = withFreshWater(colour, grid.water[p], latitude);
            putRgb8(colour, &image.rgb[3 * p]);
        }
    }
    return image;
}
