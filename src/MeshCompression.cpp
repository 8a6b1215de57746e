#include "MeshCompression.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <meshoptimizer.h>
#include <new>

namespace {

// The largest magnitude of a normalised short and byte: both ends are exact.
constexpr float SHORT_STEPS = 32767.0f;
constexpr float BYTE_STEPS = 127.0f;
constexpr float UNSIGNED_SHORT_STEPS = 65535.0f;

long quantised(float value, float steps, float lowest)
{
    return std::lround(std::clamp(value, lowest, 1.0f) * steps);
}

// The encoder writes at most bound bytes, several times what it needs, into
// a buffer left unset (filling it with zeros took a quarter of the time);
// what it wrote is copied out.
template <typename Encode>
std::vector<unsigned char> encoded(std::size_t bound, Encode encode)
{
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(bound);
    const std::size_t size = encode(buffer.get(), bound);
    if (size == 0 && bound != 0)
        throw std::bad_alloc(); // only a short buffer fails, and bound rules that out
    return std::vector<unsigned char>(buffer.get(), buffer.get() + size);
}

} // namespace

QuantisedPositions quantisePositions(const std::vector<float>& xyz)
{
    QuantisedPositions q{};
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t i = 0; i < xyz.size(); ++i) {
        low[i % 3] = std::min(low[i % 3], xyz[i]);
        high[i % 3] = std::max(high[i % 3], xyz[i]);
    }
    q.scale = 0.0f;
    for (int k = 0; k < 3 && !xyz.empty(); ++k) {
        q.translation[k] = low[k] / 2 + high[k] / 2;
        q.scale = std::max(q.scale, std::max(high[k] - q.translation[k], q.translation[k] - low[k]));
    }
    if (q.scale == 0.0f)
        q.scale = 1.0f; // a single point: any scale places it
    std::fill(q.low, q.low + 3, INT16_MAX);
    std::fill(q.high, q.high + 3, INT16_MIN);
    q.xyzw.assign(xyz.size() / 3 * 4, 0);
    for (std::size_t v = 0; 3 * v < xyz.size(); ++v)
        for (int k = 0; k < 3; ++k) {
            const float unit = (xyz[3 * v + k] - q.translation[k]) / q.scale;
            const auto value = static_cast<std::int16_t>(quantised(unit, SHORT_STEPS, -1.0f));
            q.xyzw[4 * v + k] = value;
            q.low[k] = std::min(q.low[k], value);
            q.high[k] = std::max(q.high[k], value);
        }
    return q;
}

std::vector<std::int8_t> quantiseNormals(const std::vector<float>& xyz)
{
    std::vector<std::int8_t> bytes(xyz.size() / 3 * 4, 0);
    for (std::size_t v = 0; 3 * v < xyz.size(); ++v)
        for (int k = 0; k < 3; ++k)
            bytes[4 * v + k] = static_cast<std::int8_t>(quantised(xyz[3 * v + k], BYTE_STEPS, -1.0f));
    return bytes;
}

std::vector<std::uint16_t> quantiseColours(const std::vector<float>& rgb)
{
    std::vector<std::uint16_t> shorts(rgb.size() / 3 * 4, 0);
    for (std::size_t v = 0; 3 * v < rgb.size(); ++v)
        for (int k = 0; k < 3; ++k)
            shorts[4 * v + k] = static_cast<std::uint16_t>(quantised(rgb[3 * v + k], UNSIGNED_SHORT_STEPS, 0.0f));
    return shorts;
}

std::vector<unsigned char> encodeVertices(const void* data, std::size_t count, std::size_t stride)
{
    return encoded(meshopt_encodeVertexBufferBound(count, stride), [&](unsigned char* out, std::size_t size) {
        return meshopt_encodeVertexBuffer(out, size, data, count, stride);
    });
}

std::vector<unsigned char> encodeTriangles(const std::vector<std::uint32_t>& indices, std::size_t vertexCount)
{
    return encoded(meshopt_encodeIndexBufferBound(indices.size(), vertexCount),
                   [&](unsigned char* out, std::size_t size) {
                       return meshopt_encodeIndexBuffer(out, size, indices.data(), indices.size());
                   });
}

std::vector<unsigned char> encodeIndices(const std::vector<std::uint32_t>& indices, std::size_t vertexCount)
{
    return encoded(meshopt_encodeIndexSequenceBound(indices.size(), vertexCount),
                   [&](unsigned char* out, std::size_t size) {
                       return meshopt_encodeIndexSequence(out, size, indices.data(), indices.size());
                   });
}
