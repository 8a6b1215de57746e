#include "RiverFile.h"

#include "Outlines.h"
#include "SettingsRecord.h"

#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// The document's features as text, each dumped as soon as it is made: a
// whole document's tree would take about a hundred bytes a point.
struct Features {
    std::string text;
    void push_back(const json& feature)
    {
        text.append(text.empty() ? "" : ",").append(feature.dump());
    }
};

// Degrees to a micro-degree (about 0.1 m on the Earth): enough for any
// vertex spacing, and short in the file.
double rounded(double degrees)
{
    return std::round(degrees * 1e6) / 1e6;
}

json position(const std::array<double, 3>& direction)
{
    const auto [lon, lat] = longitudeLatitude(direction);
    return json::array({rounded(lon), rounded(lat)});
}

json vertexPosition(const LandWater& water, std::uint32_t v)
{
    const double* d = &water.geometry.direction[3 * std::size_t(v)];
    return position({d[0], d[1], d[2]});
}

json feature(json properties, const char* type, json coordinates)
{
    return {{"type", "Feature"},
            {"properties", std::move(properties)},
            {"geometry", {{"type", type}, {"coordinates", std::move(coordinates)}}}};
}

void addRivers(const LandWater& water, Features& features)
{
    static const char* const ENDS[] = {"sea", "lake", "river"};
    for (const River& river : water.network.rivers) {
        json line = json::array();
        for (const std::uint32_t v : river.path)
            line.push_back(vertexPosition(water, v));
        features.push_back(feature({{"kind", "river"}, {"order", river.order}, {"flow", river.flow},
                                    {"end", ENDS[int(river.end)]}},
                                   "LineString", std::move(line)));
    }
}

json ring(const Outline& outline)
{
    json points = json::array();
    for (const auto& p : outline.points)
        points.push_back(position(p));
    return json::array({std::move(points)});
}

// Where an edge crosses level, as a share from its inside vertex.
double crossingAt(const Drainage& d, std::uint32_t in, std::uint32_t out, double level)
{
    const double span = d.height[in] - d.height[out];
    return span == 0.0 ? 0.5 : (d.height[in] - level) / span;
}

void addLakes(const LandWater& water, const IcosphereWeld& weld, Features& features)
{
    const Drainage& d = water.drainage;
    const Regions regions{d.lakeOf, [&](std::uint32_t in, std::uint32_t out) {
                              return crossingAt(d, in, out, d.lakes[d.lakeOf[in]].level);
                          }};
    for (const Outline& shore : outlines(weld, water.geometry.direction, regions)) {
        const Lake& lake = d.lakes[shore.region];
        features.push_back(feature({{"kind", "lake"}, {"level", lake.level}, {"depth", lake.deepest},
                                    {"inflow", lake.inflow}},
                                   "Polygon", ring(shore)));
    }
}

void addCoasts(const LandWater& water, const IcosphereWeld& weld, Features& features)
{
    const Drainage& d = water.drainage;
    std::vector<std::uint32_t> land(d.vertexCount());
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v)
        land[v] = d.isSea(v) ? Regions::NONE : 0;
    // Halfway between the vertices' heights: the drainage keeps no sea radius.
    const Regions regions{land, [](std::uint32_t, std::uint32_t) { return 0.5; }};
    for (const Outline& coast : outlines(weld, water.geometry.direction, regions))
        features.push_back(feature({{"kind", "coastline"}}, "Polygon", ring(coast)));
}

} // namespace

std::string riverGeoJson(const LandWater& water, const IcosphereWeld& weld, const std::string& header,
                         const std::string& settings)
{
    Features features;
    addRivers(water, features);
    addLakes(water, weld, features);
    addCoasts(water, weld, features);
    // The collection's members around the features' text, in dump's own
    // order but for the settings record, which comes before the features so
    // that a reader finds it at the start of a long file.
    json members{{"description", header}};
    if (!settings.empty())
        members[std::string(SETTINGS_KEYWORD)] = settings;
    const std::string head = members.dump();
    return head.substr(0, head.size() - 1) + ",\"features\":[" + features.text + "],\"type\":\"FeatureCollection\"}\n";
}

bool writeRiverFile(const SaveTarget& target, const LandWater& water, const IcosphereWeld& weld,
                    const std::string& header, const std::string& settings, std::string& error,
                    std::string* written)
{
    const std::string text = riverGeoJson(water, weld, header, settings);
    SafeFile out(target);
    out.write(text);
    if (!out.commit()) {
        error = writeErrorText(target.name(), out.failure);
        return false;
    }
    if (written)
        *written = out.finalPath;
    return true;
}
