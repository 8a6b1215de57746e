#include "ColourMap.h"

#include "NormalMap.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double DEGREE = std::numbers::pi / 180.0;

using Direction = std::array<double, 3>;

double dot(const Direction& a, const Direction& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// RELIEF_LIGHT as a unit vector.
const Direction LIGHT = [] {
    const double length = std::sqrt(dot({RELIEF_LIGHT[0], RELIEF_LIGHT[1], RELIEF_LIGHT[2]},
                                        {RELIEF_LIGHT[0], RELIEF_LIGHT[1], RELIEF_LIGHT[2]}));
    return Direction{RELIEF_LIGHT[0] / length, RELIEF_LIGHT[1] / length, RELIEF_LIGHT[2] / length};
}();
// The light's part along the ground made as strong on the map's middle (the
// +x axis) as a cartographer's light at that altitude: stronger by up to
// sqrt(3/2) where l lies along the ground, 1 at the poles.
const double GROUND_GAIN = 1.0 / std::sqrt(1.0 - LIGHT[0] * LIGHT[0]);
const double SIN_ALTITUDE = std::sin(RELIEF_ALTITUDE_DEGREES * DEGREE);
const double COS_ALTITUDE = std::cos(RELIEF_ALTITUDE_DEGREES * DEGREE);

// How far a lighter slope lifts a colour towards white, at the brightest.
constexpr float LIFT = 0.5f;

} // namespace

float hillShade(const Direction& normal, const Direction& up)
{
    // The normal's parts along the ground (scaled) and up; the light's likewise.
    const double rise = dot(normal, up), light = dot(LIGHT, up);
    Direction slope, ground;
    for (int k = 0; k < 3; ++k) {
        slope[k] = (normal[k] - rise * up[k]) * RELIEF_VERTICAL_SCALE;
        ground[k] = (LIGHT[k] - light * up[k]) * GROUND_GAIN;
    }
    const double length = std::sqrt(dot(slope, slope) + rise * rise);
    const double lit = (SIN_ALTITUDE * rise + COS_ALTITUDE * dot(slope, ground)) / length;
    return static_cast<float>(std::max(lit, 0.0));
}

void hillShadeRow(const HeightGrid& grid, const RowDirections& directions, int j, float seaRadius, float* shades)
{
    std::vector<Direction> normals(grid.width), ups(grid.width);
    mapSurfaceRow(grid, directions, j, seaRadius, normals.data(), ups.data());
    for (int i = 0; i < grid.width; ++i)
        shades[i] = hillShade(normals[i], ups[i]);
}

Rgb reliefShaded(const Rgb& colour, float shade, float strength)
{
    const float flat = static_cast<float>(SIN_ALTITUDE);
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
    const RowDirections directions = mapRows(grid.width);
    std::vector<float> shades(grid.width);
    for (int j = 0; j < grid.height; ++j) {
        const float latitude = static_cast<float>(mapDirection(0, j, grid.width)[1]);
        hillShadeRow(grid, directions, j, sea, shades.data());
        for (int i = 0; i < grid.width; ++i) {
            const std::size_t p = static_cast<std::size_t>(j) * grid.width + i;
            const float steps = (grid.radius[p] - sea) * STEPS_PER_UNIT;
            const float ice = grid.ice.empty() ? 0.0f : grid.ice[p];
            Rgb colour = steps < 0.0f ? iceCovered(openSeaColour(steps), ice)
                                      : reliefShaded(iceCovered(terrainColour(steps, latitude), ice), shades[i],
                                                     1.0f - (1.0f - RELIEF_UNDER_ICE) * ice);
            if (!grid.water.empty() && steps >= 0.0f)
                colour = withFreshWater(colour, grid.water[p], ice);
            putRgb8(colour, &image.rgb[3 * p]);
        }
    }
    return image;
}
