#include "WindSweep.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

float distance(const float* a, const float* b)
{
    const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The wind at unit direction u and latitude (degrees) as a vector in space.
void windVector(const float* u, float latitude, float* out)
{
    float east[3] = {u[2], 0.0f, -u[0]}; // the north pole's direction x up
    const float length = std::sqrt(east[0] * east[0] + east[2] * east[2]);
    if (length > 0.0f)
        east[0] /= length, east[2] /= length;
    else
        east[0] = 1.0f, east[2] = 0.0f;
    const float north[3] = {u[1] * east[2], u[2] * east[0] - u[0] * east[2], -u[1] * east[0]};
    const Wind w = prevailingWind(latitude);
    for (int k = 0; k < 3; ++k)
        out[k] = w.east * east[k] + w.north * north[k];
}

// Vertex v's upwind neighbours, weighted by how squarely they lie upwind.
void upwindOf(const VertexNeighbours& nb, const float* up, const float* latitude, std::size_t v, float kmPerUnit,
              WindField& field)
{
    float wind[3];
    windVector(&up[3 * v], latitude[v], wind);
    float total = 0.0f, hop = 0.0f;
    const float* a = &up[3 * v];
    for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k) {
        const float* b = &up[3 * nb.ids[k]];
        const float length = distance(a, b);
        const float along = ((b[0] - a[0]) * wind[0] + (b[1] - a[1]) * wind[1] + (b[2] - a[2]) * wind[2]) / length;
        if (!(along < 0.0f))
            continue;
        field.weight[k] = -along;
        total += -along;
        hop += -along * length;
    }
    if (!(total > 0.0f))
        return;
    for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k)
        field.weight[k] /= total;
    field.hopKm[v] = hop / total * kmPerUnit;
}

// A counting sort by longitude, in buckets about a quarter of an edge wide on
// the equator; within a bucket, by vertex number.
std::vector<std::uint32_t> windOrder(const float* up, const float* latitude, std::size_t n)
{
    const std::size_t buckets = std::max<std::size_t>(64, 4 * std::size_t(std::sqrt(double(n))));
    std::vector<std::uint32_t> bucket(n), start(2 * buckets + 1, 0);
    for (std::size_t v = 0; v < n; ++v) {
        const double longitude = std::atan2(-double(up[3 * v + 2]), double(up[3 * v])); // -pi to pi, growing eastward
        const std::size_t b = std::min(buckets - 1, std::size_t((longitude + PI) / (2.0 * PI) * double(buckets)));
        const bool eastward = prevailingWind(latitude[v]).east > 0.0f;
        bucket[v] = std::uint32_t(eastward ? b : 2 * buckets - 1 - b);
        ++start[bucket[v] + 1];
    }
    for (std::size_t b = 0; b < 2 * buckets; ++b)
        start[b + 1] += start[b];
    std::vector<std::uint32_t> order(n);
    for (std::size_t v = 0; v < n; ++v)
        order[start[bucket[v]]++] = std::uint32_t(v);
    return order;
}

} // namespace

Wind prevailingWind(float latitudeDegrees)
{
    const float a = std::fabs(latitudeDegrees);
    const float hemisphere = latitudeDegrees < 0.0f ? -1.0f : 1.0f;
    // Eastward and poleward parts as 1 : 0.35, normalised.
    const bool westerly = a >= 30.0f && a < 60.0f;
    const float east = westerly ? 0.943858f : -0.943858f;
    const float poleward = westerly ? 0.330350f : -0.330350f;
    return {east, hemisphere * poleward};
}

WindField windField(const VertexNeighbours& nb, const float* up, const float* latitude, float kmPerUnit, float edgeKm)
{
    WindField field;
    field.weight.assign(nb.ids.size(), 0.0f);
    field.hopKm.assign(nb.vertexCount(), edgeKm);
    for (std::size_t v = 0; v < nb.vertexCount(); ++v)
        upwindOf(nb, up, latitude, v, kmPerUnit, field);
    field.order = windOrder(up, latitude, nb.vertexCount());
    return field;
}
