#include "RiverGeometry.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {

// The segments of every river, gathered by order, lowest first.
void addLines(const RiverNetwork& network, RiverGeometry& out)
{
    int highest = 0;
    for (const River& river : network.rivers)
        highest = std::max(highest, river.order);
    for (int order = 1; order <= highest; ++order) {
        RiverOrderLines group{order, std::uint32_t(out.lines.size()), 0};
        for (const River& river : network.rivers) {
            if (river.order != order)
                continue;
            for (std::size_t i = 0; i + 1 < river.path.size(); ++i)
                out.lines.insert(out.lines.end(), {river.path[i], river.path[i + 1]});
        }
        group.count = std::uint32_t(out.lines.size() - group.first);
        if (group.count)
            out.orders.push_back(group);
    }
}

// One corner of a lake at shown radius `level` over the land at p.
void addLakeCorner(const float* p, double level, const WorldShape& shape, RiverGeometry& out)
{
    const double r = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
    const double floor = 1.0 - std::max(level - shape.shownRadius(r), LAKE_SEEN_DEPTH * shape.relief);
    for (int k = 0; k < 3; ++k) {
        const double direction = r > 0.0 ? p[k] / r : 0.0;
        out.lakeSurface.push_back(float(direction * level));
        out.lakeFloor.push_back(float(direction * floor));
    }
}

// Every face with a corner in a lake, once for each lake among its corners.
void addLakes(const Drainage& d, const IcosphereWeld& weld, const float* positions, const WorldShape& shape,
              RiverGeometry& out)
{
    // The corner of (lake, vertex), once made.
    std::unordered_map<std::uint64_t, std::uint32_t> corners;
    const auto cornerOf = [&](std::uint32_t lake, std::uint32_t v, double level) {
        const auto [at, made] = corners.try_emplace(std::uint64_t(lake) << 32 | v, std::uint32_t(corners.size()));
        if (made)
            addLakeCorner(positions + 3 * std::size_t(v), level, shape, out);
        return at->second;
    };
    for (std::size_t face = 0; face < weld.faceCount(); ++face) {
        const std::uint32_t* corner = &weld.cornerToVertex[3 * face];
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t lake = d.lakeOf[corner[c]];
            // A lake is drawn once, at the first corner of the face it holds.
            if (lake == Drainage::NO_LAKE || (c > 0 && d.lakeOf[corner[0]] == lake) ||
                (c > 1 && d.lakeOf[corner[1]] == lake))
                continue;
            const double level = shape.shownRadius(d.lakes[lake].level);
            for (int k = 0; k < 3; ++k)
                out.lakeTriangles.push_back(cornerOf(lake, corner[k], level));
        }
    }
}

} // namespace

RiverGeometry riverGeometry(const Drainage& drainage, const RiverNetwork& network, const IcosphereWeld& weld,
                            const float* positions, const WorldShape& shape)
{
    RiverGeometry out;
    addLines(network, out);
    addLakes(drainage, weld, positions, shape, out);
    return out;
}
