#include "WaterLayers.h"

#include <cmath>

namespace {

// Where an edge from in to out crosses level, as a share from in.
double crossingAt(const Drainage& d, std::uint32_t in, std::uint32_t out, double level)
{
    const double span = d.height[in] - d.height[out];
    return span == 0.0 ? 0.5 : (d.height[in] - level) / span;
}

std::array<double, 3> directionOf(const LandWater& water, std::uint32_t v)
{
    const double* d = &water.geometry.direction[3 * std::size_t(v)];
    return {d[0], d[1], d[2]};
}

RiverLine riverLine(const LandWater& water, const River& river, double kmPerRadian)
{
    RiverLine line;
    line.order = river.order;
    line.flow = river.flow;
    line.end = river.end;
    std::vector<std::array<double, 3>> directions;
    for (const std::uint32_t v : river.path) {
        directions.push_back(directionOf(water, v));
        if (directions.size() > 1) {
            const auto& a = directions[directions.size() - 2];
            const auto& b = directions.back();
            const double cross = std::hypot(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                            a[0] * b[1] - a[1] * b[0]);
            line.lengthKm += std::atan2(cross, a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) * kmPerRadian;
        }
    }
    line.parts = mapLine(directions);
    return line;
}

double squareKm(const MapPolygon& polygon, const PhysicalScale& scale)
{
    return sphericalArea(polygon) * scale.kmPerRadian() * scale.kmPerRadian();
}

std::vector<LakeShape> lakeShapes(const LandWater& water, const IcosphereWeld& weld, const PhysicalScale& scale)
{
    const Drainage& d = water.drainage;
    const Regions regions{d.lakeOf, [&](std::uint32_t in, std::uint32_t out) {
                              return crossingAt(d, in, out, d.lakes[d.lakeOf[in]].level);
                          }};
    std::vector<LakeShape> lakes(d.lakes.size());
    for (MapPolygon& polygon : mapPolygons(outlines(weld, water.geometry.direction, regions))) {
        LakeShape& lake = lakes[polygon.region];
        lake.areaKm2 += squareKm(polygon, scale);
        lake.polygons.push_back(std::move(polygon));
    }
    for (std::size_t k = 0; k < lakes.size(); ++k) {
        const Lake& lake = d.lakes[k];
        // Drainage's heights are radii with the sea at scale.seaRadius.
        lakes[k].levelMetres = scale.elevationMetres(lake.level);
        lakes[k].depthMetres = lakes[k].levelMetres - scale.elevationMetres(lake.level - lake.deepest);
        lakes[k].inflow = lake.inflow;
    }
    std::erase_if(lakes, [](const LakeShape& lake) { return lake.polygons.empty(); });
    return lakes;
}

} // namespace

std::vector<MapPolygon> landPolygons(const LandWater& water, const IcosphereWeld& weld, double seaRadius)
{
    const Drainage& d = water.drainage;
    std::vector<std::uint32_t> land(d.vertexCount());
    bool anyLand = false;
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        land[v] = d.isSea(v) ? Regions::NONE : 0;
        anyLand = anyLand || !d.isSea(v);
    }
    const Regions regions{land, [&](std::uint32_t in, std::uint32_t out) { return crossingAt(d, in, out, seaRadius); }};
    std::vector<MapPolygon> polygons = mapPolygons(outlines(weld, water.geometry.direction, regions));
    if (polygons.empty() && anyLand) // no coast: land all round
        polygons.push_back(wholeMap(0));
    return polygons;
}

WaterLayers waterLayers(const LandWater& water, const IcosphereWeld& weld, const PhysicalScale& scale)
{
    WaterLayers layers;
    for (const River& river : water.network.rivers)
        layers.rivers.push_back(riverLine(water, river, scale.kmPerRadian()));
    layers.lakes = lakeShapes(water, weld, scale);
    for (MapPolygon& polygon : landPolygons(water, weld, scale.seaRadius)) {
        const double area = squareKm(polygon, scale);
        layers.land.push_back({std::move(polygon), area});
    }
    return layers;
}
