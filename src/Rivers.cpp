#include "Rivers.h"

#include <algorithm>

namespace {

// The unit sphere's area: the flow's unit of area (Drainage::flow).
constexpr double SPHERE_AREA = 4.0 * 3.14159265358979323846;

// Strahler orders, upstream first: each vertex's order from its river donors'.
std::vector<std::uint8_t> strahlerOrders(const Drainage& d, double threshold)
{
    const std::size_t n = d.vertexCount();
    std::vector<std::uint8_t> order(n, 0), largest(n, 0), reaching(n, 0);
    for (std::size_t i = d.stack.size(); i-- > 0;) {
        const std::uint32_t v = d.stack[i];
        if (d.flow[v] < threshold)
            continue;
        order[v] = largest[v] == 0 ? 1 : std::uint8_t(largest[v] + (reaching[v] >= 2 ? 1 : 0));
        const std::uint32_t r = d.receiver[v];
        if (order[v] > largest[r]) {
            largest[r] = order[v];
            reaching[r] = 1;
        } else if (order[v] == largest[r] && reaching[r] < 2) {
            ++reaching[r];
        }
    }
    return order;
}

bool inLake(const Drainage& d, std::uint32_t v)
{
    return d.lakeOf[v] != Drainage::NO_LAKE;
}

// Whether v's line goes on to its receiver r.
bool continues(const Drainage& d, const std::vector<std::uint8_t>& order, std::uint32_t v, std::uint32_t r)
{
    return !d.isSink(r) && !inLake(d, r) && order[r] == order[v];
}

River traceRiver(const Drainage& d, const std::vector<std::uint8_t>& order, std::uint32_t start)
{
    River river;
    river.order = order[start];
    std::uint32_t v = start;
    river.path.push_back(v);
    while (continues(d, order, v, d.receiver[v])) {
        v = d.receiver[v];
        river.path.push_back(v);
    }
    const std::uint32_t end = d.receiver[v];
    river.flow = d.flow[v];
    if (d.isSink(end))
        river.end = d.isSea(end) ? RiverEnd::Sea : RiverEnd::Lake;
    else
        river.end = inLake(d, end) ? RiverEnd::Lake : RiverEnd::River;
    river.path.push_back(end);
    return river;
}

} // namespace

double defaultRiverArea(std::size_t vertexCount)
{
    // The welded vertices of 7 subdivisions: where the default starts to shrink.
    constexpr double SHRINK_FROM = 163842.0;
    const double finer = std::max(1.0, double(vertexCount) / SHRINK_FROM);
    return SPHERE_AREA / 4000.0 / finer;
}

double riverThreshold(std::size_t vertexCount, std::optional<double> areaKm2, double radiusKm)
{
    const double vertexArea = vertexCount ? SPHERE_AREA / double(vertexCount) : SPHERE_AREA;
    const double area = areaKm2 ? *areaKm2 / (radiusKm * radiusKm) : defaultRiverArea(vertexCount);
    return UNIFORM_RAIN * std::max(area, 16.0 * vertexArea);
}

RiverNetwork findRivers(const Drainage& d, double threshold)
{
    RiverNetwork network;
    network.threshold = threshold;
    network.order = strahlerOrders(d, threshold);
    // A line starts where no donor outside a lake carries its order on.
    std::vector<std::uint8_t> fed(d.vertexCount(), 0);
    for (const std::uint32_t v : d.stack)
        if (network.order[v] && !inLake(d, v) && continues(d, network.order, v, d.receiver[v]))
            fed[d.receiver[v]] = 1;
    for (std::size_t i = d.stack.size(); i-- > 0;) {
        const std::uint32_t v = d.stack[i];
        if (network.order[v] && !inLake(d, v) && !fed[v])
            network.rivers.push_back(traceRiver(d, network.order, v));
    }
    return network;
}

std::vector<double> freshWaterShares(const LandWater& water)
{
    const Drainage& d = water.drainage;
    std::vector<double> share(d.vertexCount(), 0.0);
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (d.lakeOf[v] != Drainage::NO_LAKE)
            share[v] = 1.0;
        else if (water.network.order[v] && !d.isSea(v))
            share[v] = std::min(0.95, 0.5 + 0.1 * water.network.order[v]);
    }
    return share;
}

std::vector<std::uint32_t> riverSegments(const LandWater& water)
{
    const Drainage& d = water.drainage;
    std::vector<std::uint32_t> pairs;
    for (const std::uint32_t v : d.stack)
        if (water.network.order[v] && d.lakeOf[v] == Drainage::NO_LAKE) {
            pairs.push_back(v);
            pairs.push_back(d.receiver[v]);
        }
    return pairs;
}

LandWater landWater(const IcosphereWeld& weld, const float* positions, double seaRadius, const float* unit,
                    double threshold)
{
    LandWater water;
    water.geometry = sphereGeometry(weld, positions);
    const VertexNeighbours neighbours = vertexNeighbours(weld);
    DrainageInput input{weld, neighbours, positions, seaRadius, nullptr, &water.geometry};
    input.unit = unit;
    drainLand(input, water.drainage);
    water.network = findRivers(water.drainage, threshold);
    return water;
}
