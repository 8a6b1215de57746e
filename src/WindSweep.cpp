#include "WindSweep.h"

#include "ThreadGroup.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr float PI = 3.14159265358979f;

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

// Which of count equal parts of [0, 1] share lies in; the first for
// anything below 0 or not a number, the last for anything from 1 on.
std::size_t partOf(float share, std::size_t count)
{
    return share > 0.0f ? std::min(count - 1, std::size_t(std::min(share, 1.0f) * float(count))) : 0;
}

// Stable counting sort of items by key (0 to keys - 1).
BigArray<std::uint32_t> sortedByKey(const BigArray<std::uint32_t>& items, const BigArray<std::uint32_t>& key,
                                       std::size_t keys)
{
    std::vector<std::uint32_t> start(keys + 1, 0);
    BigArray<std::uint32_t> out(items.size());
    for (const std::uint32_t item : items)
        ++start[key[item] + 1];
    for (std::size_t k = 0; k < keys; ++k)
        start[k + 1] += start[k];
    for (const std::uint32_t item : items)
        out[start[key[item]]++] = item;
    return out;
}

// The wind's order: band by band (the trades, the westerlies and the polar
// easterlies of the north, then of the south); within a band along the wind
// by longitude, in columns about a quarter of an edge wide on the equator;
// within a column from the band's upwind edge on (the trades' from 30°
// towards the equator, the westerlies' from 30° towards 60°, the polar
// easterlies' from the pole towards 60°), in rows about half an edge high.
// Every upwind neighbour but those across a band's edge or the column where
// the wind's circuit starts then comes first.
BigArray<std::uint32_t> windOrder(const float* up, const float* latitude, std::size_t n, int threads)
{
    const std::size_t columns = std::max<std::size_t>(64, 4 * std::size_t(std::sqrt(double(n))));
    const std::size_t rows = std::max<std::size_t>(4, std::size_t(std::sqrt(double(n))) / 4);
    BigArray<std::uint32_t> band(n), column(n), row(n), order(n);
    splitAcross(n, threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            const float longitude = std::atan2(-up[3 * v + 2], up[3 * v]); // -pi to pi, growing eastward
            const std::size_t c = partOf((longitude + PI) / (2.0f * PI), columns);
            column[v] = std::uint32_t(prevailingWind(latitude[v]).east > 0.0f ? c : columns - 1 - c);
            const float a = std::fabs(latitude[v]);
            band[v] = std::uint32_t((a < 30.0f ? 0 : a < 60.0f ? 1 : 2) + (latitude[v] < 0.0f ? 3 : 0));
            const float fromUpwindEdge = a < 30.0f ? 30.0f - a : a < 60.0f ? a - 30.0f : 90.0f - a; // 0 to 30°
            row[v] = std::uint32_t(partOf(fromUpwindEdge / 30.0f, rows));
            order[v] = std::uint32_t(v);
        }
    });
    return sortedByKey(sortedByKey(sortedByKey(order, row, rows), column, columns), band, 6);
}

// Vertex v's upwind neighbours: per slot of its neighbours, how squarely
// each lies upwind (0 when it does not), summing to 1; hop: how far upwind,
// weighted, in model units (0 with none); edges: the length of its edges.
// Returns how many lie upwind. weight: room for the vertex's slots.
std::uint32_t weighUpwind(const VertexNeighbours& nb, const float* up, const float* latitude, std::size_t v,
                          float* weight, float& hop, float& edges)
{
    float wind[3];
    windVector(&up[3 * v], latitude[v], wind);
    float total = 0.0f;
    std::uint32_t count = 0;
    hop = 0.0f, edges = 0.0f;
    const float* a = &up[3 * v];
    for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k) {
        const float* b = &up[3 * nb.ids[k]];
        const float length = distance(a, b);
        edges += length;
        const float along = ((b[0] - a[0]) * wind[0] + (b[1] - a[1]) * wind[1] + (b[2] - a[2]) * wind[2]) / length;
        float& w = weight[k - nb.offsets[v]];
        w = along < 0.0f ? -along : 0.0f;
        total += w;
        hop += w * length;
        count += along < 0.0f;
    }
    for (std::uint32_t k = 0; k < nb.offsets[v + 1] - nb.offsets[v] && total > 0.0f; ++k)
        weight[k] /= total;
    hop = total > 0.0f ? hop / total : 0.0f;
    return count;
}

// The most neighbours a welded vertex has.
constexpr std::uint32_t MOST_NEIGHBOURS = 6;

// The upwind entries of the positions from begin to end.
void fillEntries(const VertexNeighbours& nb, const float* up, const float* latitude,
                 const BigArray<std::uint32_t>& position, float kmPerUnit, std::size_t begin, std::size_t end,
                 WindField& field)
{
    float weight[MOST_NEIGHBOURS];
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint32_t v = field.order[i];
        float hop, edges;
        weighUpwind(nb, up, latitude, v, weight, hop, edges);
        std::uint32_t entry = field.start[i];
        for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k)
            if (weight[k - nb.offsets[v]] > 0.0f) {
                field.from[entry] = position[nb.ids[k]];
                field.weight[entry++] = weight[k - nb.offsets[v]];
            }
        field.hopKm[i] = hop > 0.0f ? hop * kmPerUnit : field.meanEdgeKm;
    }
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

WindField windField(const VertexNeighbours& nb, const float* up, const float* latitude, float kmPerUnit, int threads)
{
    const std::size_t n = nb.vertexCount();
    for (std::size_t v = 0; v < n; ++v)
        if (nb.offsets[v + 1] - nb.offsets[v] > MOST_NEIGHBOURS)
            throw std::invalid_argument("windField: a vertex with more than six neighbours");
    // First how many entries each vertex has, and the edges' lengths; the
    // entries themselves once their places are known.
    BigArray<std::uint8_t> count(n);
    BigArray<float> edgeLengths(n);
    splitAcross(n, threads, [&](std::size_t begin, std::size_t end) {
        float weight[MOST_NEIGHBOURS], hop;
        for (std::size_t v = begin; v < end; ++v)
            count[v] = std::uint8_t(weighUpwind(nb, up, latitude, v, weight, hop, edgeLengths[v]));
    });
    WindField field;
    field.order = windOrder(up, latitude, n, threads);
    BigArray<std::uint32_t> position(n);
    field.start = BigArray<std::uint32_t>(n + 1);
    double edges = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        position[field.order[i]] = std::uint32_t(i);
        field.start[i + 1] = field.start[i] + count[field.order[i]];
        edges += edgeLengths[i];
    }
    field.meanEdgeKm = nb.ids.empty() ? 0.0f : float(edges / double(nb.ids.size())) * kmPerUnit;
    field.from = BigArray<std::uint32_t>(field.start[n]);
    field.weight = BigArray<float>(field.start[n]);
    field.hopKm = BigArray<float>(n);
    splitAcross(n, threads, [&](std::size_t begin, std::size_t end) {
        fillEntries(nb, up, latitude, position, kmPerUnit, begin, end, field);
    });
    return field;
}
