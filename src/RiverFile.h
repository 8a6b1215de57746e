#pragma once

#include "OptionTable.h"
#include "PhysicalScale.h"
#include "Rivers.h"
#include "SafeFile.h"

#include <string>

// The water of a planet as GeoJSON (RFC 7946), three files of one geometry
// type each (WaterLayers.h), so that GIS tools read each as a layer:
//  - "NAME.geojson": each river a MultiLineString from its start to where it
//    ends (two parts when it crosses the antimeridian) with its "order",
//    "flow" (at its last vertex before the end, in mm a year times area on
//    the unit sphere), "end" ("sea", "lake" or "river") and "length_km";
//  - "NAME-lakes.geojson": each lake a MultiPolygon (islands its holes) with
//    its "level_m" (its surface above the sea), "depth_m", "area_km2" and
//    "inflow";
//  - "NAME-land.geojson": each piece of land a Polygon (inland seas and
//    inlets cut off by the map's edge its holes) with its "area_km2".
// Longitude and latitude are the planet's own, in degrees as the maps place
// them; each collection's "description" is the planet's header comment and
// what the coordinates are, and its "orbivane-settings" member the settings
// record (SettingsRecord.h).

// The three documents, in the order above.
struct WaterDocuments {
    std::string rivers, lakes, land;
};

// The documents of water, heights in metres and lengths in km by scale, with
// header in their description and settings as their record (left out when
// empty). Throws std::bad_alloc.
WaterDocuments riverGeoJson(const LandWater& water, const IcosphereWeld& weld, const PhysicalScale& scale,
                            const std::string& header, const std::string& settings);

// Where the lakes' or the land's file of target goes: suffix ("-lakes",
// "-land") before the name's extension.
SaveTarget siblingTarget(const SaveTarget& target, const std::string& suffix);

// Writes the three documents through one SaveSet: all or none; a target
// named "NAME.gpkg" gets one GeoPackage of the three layers instead
// (WaterGeoPackage.h). False with the reason in error when they cannot be
// written. written gets the rivers' file's name.
bool writeRiverFile(const SaveTarget& target, const LandWater& water, const IcosphereWeld& weld,
                    const PhysicalScale& scale, const std::string& header, const std::string& settings,
                    std::string& error, std::string* written = nullptr);
