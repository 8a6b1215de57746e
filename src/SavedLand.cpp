#include "SavedLand.h"

#include "LandNormals.h"

#include <algorithm>
#include <cmath>

namespace {

// Welded vertices read per lock of the land's mutex: 192 KiB of floats.
constexpr std::size_t CHUNK_VERTICES = 16384;

std::vector<float> weldedPositions(const IcosphereWeld& weld, const float* soup, std::mutex* guard)
{
    std::vector<float> positions(3 * weld.vertexCount());
    for (std::size_t first = 0; first < weld.vertexCount(); first += CHUNK_VERTICES) {
        const std::size_t end = std::min(weld.vertexCount(), first + CHUNK_VERTICES);
        std::unique_lock<std::mutex> lock;
        if (guard)
            lock = std::unique_lock<std::mutex>(*guard);
        for (std::size_t v = first; v < end; ++v)
            std::copy_n(soup + 3 * std::size_t(weld.vertexToCorner[v]), 3, &positions[3 * v]);
    }
    return positions;
}

WeldedMesh withNormals(const IcosphereWeld& weld, std::vector<float> positions)
{
    std::vector<float> normals = weldedNormals(weld, positions.data());
    return {std::move(positions), std::move(normals)};
}

} // namespace

WeldedMesh weldedLand(const LandView& land)
{
    return withNormals(land.weld, weldedPositions(land.weld, land.soup, land.guard));
}

WeldedMesh weldedSea(const LandView& land)
{
    return withNormals(land.weld, weldedPositions(land.weld, land.sea, nullptr));
}

Rgb vertexColour(const float* xyz)
{
    const float height = std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1] + xyz[2] * xyz[2]) - 1.0f;
    return terrainColour(height * STEPS_PER_UNIT);
}

float linearFromSrgb(float channel)
{
    return channel <= 0.04045f ? channel / 12.92f : std::pow((channel + 0.055f) / 1.055f, 2.4f);
}

std::uint8_t colourByte(float channel)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255.0f));
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
    if (info.applied < 0 || (info.applied >= info.iterations && !info.stopped))
        return text + std::to_string(info.iterations);
    text += std::to_string(info.applied) + " of " + std::to_string(info.iterations);
    return info.stopped ? text + ", stopped" : text;
}
