#include "SavedLand.h"

#include "LandNormals.h"

#include <algorithm>
#include <cmath>

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

} // namespace

WeldedMesh weldedLand(const LandView& land)
{
    std::vector<float> positions = weldedPositions(land.weld, land.soup, land.welded);
    if (land.shape.relief != 1.0)
        for (std::size_t v = 0; v < positions.size(); v += 3)
            moveToShownRadius(&positions[v], land.shape);
    return withNormals(land.weld, std::move(positions));
}

WeldedMesh weldedSea(const LandView& land)
{
    std::vector<float> positions = weldedPositions(land.weld, land.sea, nullptr);
    if (land.shape.seaRadius != 1.0)
        for (float& value : positions)
            value = static_cast<float>(value * land.shape.seaRadius);
    return withNormals(land.weld, std::move(positions));
}

Rgb vertexColour(const float* xyz, const WorldShape& shape)
{
    const float radius = std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1] + xyz[2] * xyz[2]);
    if (shape.isDefault())
        return terrainColour((radius - 1.0f) * STEPS_PER_UNIT, xyz[1] / radius);
    const double height = (radius - shape.seaRadius) / shape.relief;
    return terrainColour(static_cast<float>(height) * STEPS_PER_UNIT, xyz[1] / radius);
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

std::string headerComment(const MeshInfo& info)
{
    std::string text = "Orbivane planet: seed " + std::to_string(info.seed) + ", subdivisions " +
                       std::to_string(info.subdivisions) + ", iterations ";
    const std::string erosion =
        info.erosionSteps > 0 ? ", erosion " + std::to_string(info.erosionSteps) + " steps" : std::string();
    if (info.applied < 0 || (info.applied >= info.iterations && !info.stopped))
        return text + std::to_string(info.iterations) + erosion + shapeComment(info.shape);
    text += std::to_string(info.applied) + " of " + std::to_string(info.iterations);
    return (info.stopped ? text + ", stopped" : text) + erosion + shapeComment(info.shape);
}
