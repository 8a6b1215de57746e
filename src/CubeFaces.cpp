#include "CubeFaces.h"

#include "LandRadii.h"
#include "TerrainColours.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>

namespace {

// Face coordinate (sc or tc) of pixel k of size: (2k - (size - 1)) / (size - 1),
// from -1 to 1. The numerator is exact, so pixel size - 1 - k gets exactly
// the negative of pixel k's coordinate, and shared edges the same directions.
double faceCoordinate(int k, int size)
{
    return double(2 * k - (size - 1)) / double(size - 1);
}

} // namespace

std::array<double, 3> cubeFaceDirection(int face, int i, int j, int size)
{
    const double sc = faceCoordinate(i, size), tc = faceCoordinate(j, size);
    switch (face) {
    case 0: return {1.0, -tc, -sc};
    case 1: return {-1.0, -tc, sc};
    case 2: return {sc, 1.0, tc};
    case 3: return {sc, -1.0, -tc};
    case 4: return {sc, -tc, 1.0};
    default: return {-sc, -tc, -1.0};
    }
}

std::vector<float> cubeFaceRadii(const LandRadii& land, int face, int size)
{
    std::vector<float> radii(static_cast<std::size_t>(size) * size);
    land.lookUp(size, size, [face, size](int j, std::array<double, 3>* directions) {
        for (int i = 0; i < size; ++i)
            directions[i] = cubeFaceDirection(face, i, j, size);
    }, radii.data());
    return radii;
}

GreyImage16 cubeHeightFace(const std::vector<float>& radii, int size, float minRadius, float maxRadius)
{
    GreyImage16 image;
    image.width = image.height = size;
    image.grey.resize(radii.size());
    for (std::size_t p = 0; p < radii.size(); ++p)
        image.grey[p] = heightSample(radii[p], minRadius, maxRadius);
    return image;
}

Image cubeColourFace(const std::vector<float>& radii, int face, int size, double seaRadius,
                     const std::vector<float>* water, const std::vector<float>* ice)
{
    const auto sea = static_cast<float>(seaRadius);
    Image image;
    image.width = image.height = size;
    image.rgb.resize(radii.size() * 3);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            const std::array<double, 3> d = cubeFaceDirection(face, i, j, size);
            const float latitude = static_cast<float>(d[1] / std::hypot(d[0], d[1], d[2]));
            const std::size_t p = static_cast<std::size_t>(j) * size + i;
            const float steps = (radii[p] - sea) * STEPS_PER_UNIT;
            const float frozen = ice ? (*ice)[p] : 0.0f;
            Rgb colour = iceCovered(steps < 0.0f ? openSeaColour(steps) : terrainColour(steps, latitude), frozen);
            if (water && steps >= 0.0f)
                colour = withFreshWater(colour, (*water)[p], frozen);
            putRgb8(colour, &image.rgb[3 * p]);
        }
    return image;
}
