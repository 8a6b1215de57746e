#include "SavedLand.h"

#include "ClimateColours.h"
#include "LandNormals.h"
#include "Planet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// x, y, z per welded vertex: the copy when there is one, else each vertex
// at its first corner of the soup.
std::vector<float> weldedPositions(const IcosphereWeld& weld, const float* soup, const float* welded)
{
    if (welded)
        return std::vector<float>(welded, welded + 3 * weld.vertexCount());
    std::vector<float> positions;
    gatherWelded(weld, soup, positions);
    return positions;
}

WeldedMesh withNormals(const IcosphereWeld& weld, std::vector<float> positions)
{
    std::vector<float> normals = weldedLandNormals(weld, positions.data());
    return {std::move(positions), std::move(normals)};
}

// The corner of a soup split levels times more that holds the same point as
// corner of the coarser soup: each triangle splits into four, in order, the
// first three beginning at its own corners 0, 1 and 2.
std::size_t finerCorner(std::size_t corner, int levels)
{
    if (levels == 0)
        return corner;
    const std::size_t triangle = corner / 3, k = corner % 3;
    const std::size_t children = std::size_t(1) << (2 * levels);
    return 3 * (triangle * children + k * (children / 4));
}

} // namespace

WeldedMesh weldedLand(const LandView& land)
{
    std::vector<float> positions = weldedPositions(land.weld, land.soup, land.welded);
    if (land.shape.relief != 1.0)
        for (std::size_t v = 0; v < positions.size(); v += 3)
            moveToShownRadius(&positions[v], land.shape);
    return withNormals(land.weld, std::move(positions));
}

SeaMesh weldedSea(const LandView& land)
{
    int subdivisions = 0;
    while ((std::size_t(20) << (2 * subdivisions)) < land.weld.faceCount())
        ++subdivisions;
    const int coarse = std::min(subdivisions, SAVED_SEA_SUBDIVISIONS_MAX);
    SeaMesh sea{coarse == subdivisions ? land.weld : weldIcosphere(ICOSAHEDRON_FACES, coarse), coarse != subdivisions,
                {}};
    std::vector<float> positions(3 * sea.weld.vertexCount());
    for (std::size_t v = 0; v < sea.weld.vertexCount(); ++v) {
        const float* p = land.sea + 3 * finerCorner(sea.weld.vertexToCorner[v], subdivisions - coarse);
        for (int k = 0; k < 3; ++k)
            positions[3 * v + k] = land.shape.seaRadius != 1.0 ? static_cast<float>(p[k] * land.shape.seaRadius) : p[k];
    }
    sea.mesh = withNormals(sea.weld, std::move(positions));
    return sea;
}

namespace {

// Where a point as saved lies for its colour: its height as generated in
// steps above the sea (negative below it) and its latitude's sine.
struct ColourPlace {
    float steps;
    float latitude;
};

ColourPlace colourPlace(const float* xyz, const WorldShape& shape)
{
    const float radius = std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1] + xyz[2] * xyz[2]);
    if (shape.isDefault())
        return {(radius - 1.0f) * STEPS_PER_UNIT, xyz[1] / radius};
    const double height = (radius - shape.seaRadius) / shape.relief;
    return {static_cast<float>(height) * STEPS_PER_UNIT, xyz[1] / radius};
}

} // namespace

Rgb vertexColour(const float* xyz, const WorldShape& shape)
{
    const ColourPlace place = colourPlace(xyz, shape);
    return terrainColour(place.steps, place.latitude);
}

Rgb landColour(const LandView& land, std::size_t v, const float* xyz)
{
    if (!land.climate)
        return vertexColour(xyz, land.shape);
    const Climate& c = *land.climate;
    if (!needsClimate(land.view))
        return iceCovered(vertexColour(xyz, land.shape), isIceClass(c.biome[v]) ? 1.0f : 0.0f);
    return climateVertexColour(land.view, c.temperature[v], c.rain[v], c.biome[v]);
}

Rgb colourWithoutSea(const LandView& land, std::size_t v, const float* xyz)
{
    const ColourPlace place = colourPlace(xyz, land.shape);
    if (!land.climate || !needsClimate(land.view)) {
        if (place.steps >= 0.0f)
            return landColour(land, v, xyz);
        // The heights map's sea: by depth, under the climate's sea ice where it has it.
        const bool frozen = land.climate && land.climate->biome[v] == Biome::SeaIce;
        return iceCovered(openSeaColour(place.steps), frozen ? 1.0f : 0.0f);
    }
    const Biome biome = land.climate->biome[v];
    if (!isSeaClass(biome))
        return landColour(land, v, xyz);
    return climateSeaColour(place.steps, biome == Biome::SeaIce ? 1.0f : 0.0f);
}

const Rgb& seaSurfaceColour()
{
    return TERRAIN.shallowSea.colour;
}

float linearFromSrgb(float channel)
{
    return channel <= 0.04045f ? channel / 12.92f : std::pow((channel + 0.055f) / 1.055f, 2.4f);
}

std::uint32_t faceVertex(const IcosphereWeld& weld, std::size_t face, int k)
{
    static constexpr int corner[3] = {0, 2, 1};
    return weld.cornerToVertex[3 * face + std::size_t(corner[k])];
}

void putU32(char* out, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        out[k] = static_cast<char>(value >> (8 * k) & 0xFF);
}

namespace {
std::string sizeComment(const MeshInfo& info)
{
    if (!info.heightCurve.empty()) {
        // Whole metres, but a planet whose highest land stands under a metre keeps two digits.
        const auto metres = [](double m) {
            char text[48];
            std::snprintf(text, sizeof text, std::fabs(m) >= 1.0 ? "%.0f" : "%.2g", m);
            return std::string(text);
        };
        return ", planet radius " + shortestText(info.radiusKm) + " km, elevation " +
               metres(info.heightCurve.metres.front()) + " to " + metres(info.heightCurve.metres.back()) +
               " m on Earth's hypsometric curve";
    }
    if (!(info.metresPerUnit > 0.0))
        return {};
    return ", planet radius " + shortestText(info.radiusKm) + " km, " + shortestText(info.metresPerUnit) +
           " metres per unit";
}
} // namespace

std::string headerComment(const MeshInfo& info)
{
    std::string text = "Orbivane planet: seed " + std::to_string(info.seed) + ", subdivisions " +
                       std::to_string(info.subdivisions) + ", iterations ";
    const std::string erosion =
        info.erosionSteps > 0 ? ", erosion " + std::to_string(info.erosionSteps) + " steps" : std::string();
    if (info.applied < 0 || (info.applied >= info.iterations && !info.stopped))
        text += std::to_string(info.iterations);
    else
        text += std::to_string(info.applied) + " of " + std::to_string(info.iterations) +
                (info.stopped ? ", stopped" : "");
    return text + (info.live() ? ", live generation" : ", batch generation") + erosion + shapeComment(info.shape) +
           sizeComment(info);
}
