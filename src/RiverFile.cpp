#include "RiverFile.h"

#include "SaveSet.h"
#include "SettingsRecord.h"
#include "WaterGeoPackage.h"
#include "WaterLayers.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// A document's features as text, each dumped as soon as it is made: a whole
// document's tree would take about a hundred bytes a point.
struct Features {
    std::string text;
    void push_back(const json& feature)
    {
        text.append(text.empty() ? "" : ",").append(feature.dump());
    }
};

json points(const std::vector<MapPoint>& line)
{
    json array = json::array();
    for (const MapPoint& p : line)
        array.push_back(json::array({p[0], p[1]}));
    return array;
}

json rings(const MapPolygon& polygon)
{
    json array = json::array({points(polygon.exterior)});
    for (const MapRing& hole : polygon.holes)
        array.push_back(points(hole));
    return array;
}

json feature(json properties, const char* type, json coordinates)
{
    return {{"type", "Feature"},
            {"properties", std::move(properties)},
            {"geometry", {{"type", type}, {"coordinates", std::move(coordinates)}}}};
}

std::string riverFeatures(const WaterLayers& layers)
{
    static const char* const ENDS[] = {"sea", "lake", "river"};
    Features features;
    for (const RiverLine& river : layers.rivers) {
        json lines = json::array();
        for (const auto& part : river.parts)
            lines.push_back(points(part));
        features.push_back(feature({{"kind", "river"}, {"order", river.order}, {"flow", river.flow},
                                    {"end", ENDS[int(river.end)]}, {"length_km", river.lengthKm}},
                                   "MultiLineString", std::move(lines)));
    }
    return features.text;
}

std::string lakeFeatures(const WaterLayers& layers)
{
    Features features;
    for (const LakeShape& lake : layers.lakes) {
        json polygons = json::array();
        for (const MapPolygon& polygon : lake.polygons)
            polygons.push_back(rings(polygon));
        features.push_back(feature({{"kind", "lake"}, {"level_m", lake.levelMetres}, {"depth_m", lake.depthMetres},
                                    {"area_km2", lake.areaKm2}, {"inflow", lake.inflow}},
                                   "MultiPolygon", std::move(polygons)));
    }
    return features.text;
}

std::string landFeatures(const WaterLayers& layers)
{
    Features features;
    for (const LandShape& land : layers.land)
        features.push_back(feature({{"kind", "land"}, {"area_km2", land.areaKm2}}, "Polygon", rings(land.polygon)));
    return features.text;
}

// What the coordinates are: RFC 7946 takes them as WGS 84, which they are
// only as far as the planet is the Earth's size.
std::string coordinatesNote(double radiusKm)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "; longitude and latitude in degrees on the planet's own sphere of radius %.9g km (WGS 84 only "
                  "for a planet of the Earth's size)",
                  radiusKm);
    return text;
}

// The collection's members around the features' text, in dump's own order
// but for the settings record, which comes before the features so that a
// reader finds it at the start of a long file.
std::string collection(const std::string& description, const std::string& settings, const std::string& features)
{
    json members{{"description", description}};
    if (!settings.empty())
        members[std::string(SETTINGS_KEYWORD)] = settings;
    const std::string head = members.dump();
    return head.substr(0, head.size() - 1) + ",\"features\":[" + features + "],\"type\":\"FeatureCollection\"}\n";
}

} // namespace

WaterDocuments riverGeoJson(const LandWater& water, const IcosphereWeld& weld, const PhysicalScale& scale,
                            const std::string& header, const std::string& settings)
{
    const WaterLayers layers = waterLayers(water, weld, scale);
    const std::string description = header + coordinatesNote(scale.radiusKm);
    return {collection(description, settings, riverFeatures(layers)),
            collection(description, settings, lakeFeatures(layers)),
            collection(description, settings, landFeatures(layers))};
}

SaveTarget siblingTarget(const SaveTarget& target, const std::string& suffix)
{
    const auto insert = [&](const std::string& name) {
        const std::size_t slash = name.find_last_of('/');
        const std::size_t dot = name.find_last_of('.');
        const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
        return hasExtension ? name.substr(0, dot) + suffix + name.substr(dot) : name + suffix;
    };
    SaveTarget sibling = target;
    if (target.isNumbered)
        sibling.suffix = insert("N" + target.suffix).substr(1);
    else
        sibling.path = insert(target.path);
    return sibling;
}

namespace {

// The GeoPackage of the water, one file through SafeFile.
bool writeGeoPackage(const SaveTarget& target, const LandWater& water, const IcosphereWeld& weld,
                     const PhysicalScale& scale, const std::string& header, const std::string& settings,
                     std::string& error, std::string* written)
{
    SafeFile out(target);
    if (!encodeWaterGeoPackage(out, waterLayers(water, weld, scale), scale.radiusKm * 1000.0,
                               header + coordinatesNote(scale.radiusKm), settings, error))
        return false;
    if (!out.commit()) {
        error = writeErrorText(target.name(), out.failure);
        return false;
    }
    if (written)
        *written = out.finalPath;
    return true;
}

} // namespace

bool writeRiverFile(const SaveTarget& target, const LandWater& water, const IcosphereWeld& weld,
                    const PhysicalScale& scale, const std::string& header, const std::string& settings,
                    std::string& error, std::string* written)
{
    if (isGeoPackagePath(target.name()))
        return writeGeoPackage(target, water, weld, scale, header, settings, error, written);
    const WaterDocuments documents = riverGeoJson(water, weld, scale, header, settings);
    SafeFile rivers(target), lakes(siblingTarget(target, "-lakes")), land(siblingTarget(target, "-land"));
    rivers.write(documents.rivers);
    lakes.write(documents.lakes);
    land.write(documents.land);
    SaveSet set;
    set.add(rivers);
    set.add(lakes);
    set.add(land);
    if (!set.commit()) {
        error = writeErrorText(set.failedName, set.failed->failure);
        return false;
    }
    if (written)
        *written = rivers.finalPath;
    return true;
}
